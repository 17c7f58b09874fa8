<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="nl">
<context>
    <name>Alerts</name>
    <message>
        <source>Can only create a Library in the Root Drectory.
Error Code : E-%02d</source>
        <translation>Een bibliotheek kan alleen in de hoofdmap van het station worden gemaakt.
Foutcode : E-%02d</translation>
    </message>
    <message>
        <source>Cannot open a file.
See the processin dialog for the file name.
Skip the file or abort creating the library?
Error Code : E-%02d</source>
        <translation>Een bestand kan niet worden geopend.
De bestandsnaam staat in het voortgangsvenster.
Het bestand overslaan of het maken van de bibliotheek afbreken?
Foutcode : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while creating library data.
Error Code : E-%02d</source>
        <translation>Er is een fout opgetreden bij het maken van de bibliotheekgegevens.
Foutcode : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while writing library file.
Error Code : E-%02d</source>
        <translation>Er is een fout opgetreden bij het schrijven van een bibliotheekbestand.
Foutcode : E-%02d</translation>
    </message>
    <message>
        <source>Cannot make the library for multiple devices.
Error Code : E-%02d</source>
        <translation>De bibliotheek kan niet voor meerdere stations tegelijk worden gemaakt.
Foutcode : E-%02d</translation>
    </message>
    <message>
        <source>[%@] is not supported device.
Error Code : E-%02d</source>
        <translation>[%@] is geen ondersteund apparaat.
Foutcode : E-%02d</translation>
    </message>
    <message>
        <source>Selected device is removed.
Error Code : E-%02d</source>
        <translation>Het geselecteerde apparaat is verwijderd.
Foutcode : E-%02d</translation>
    </message>
    <message>
        <source>Library Creator</source>
        <translation>Library Creator</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Writes the music library of the player onto a removable drive (FAT or HFS).</source>
        <translation>Schrijft de muziekbibliotheek van de speler naar een verwisselbaar station (FAT of HFS).</translation>
    </message>
    <message>
        <source>Lists the folder PATH as a mounted volume of the file-system type TYPE (msdos or hfs), for a staging copy of a drive. Repeatable.</source>
        <translation>Toont de map PATH als gekoppeld volume met bestandssysteem TYPE (msdos of hfs), voor een werkkopie van een station. Herhaalbaar.</translation>
    </message>
    <message>
        <source>Walks through a job on the first drive given with --volume and saves pictures of each step into DIR, then quits.</source>
        <translation>Doorloopt een taak op het eerste station dat met --volume is opgegeven, bewaart een afbeelding van elke stap in DIR en stopt dan.</translation>
    </message>
    <message>
        <source>Runs one job on the drive mounted at DRIVE, then quits.</source>
        <translation>Voert één taak uit op het station dat op DRIVE is gekoppeld en stopt dan.</translation>
    </message>
    <message>
        <source>Try &apos;library-creator --help&apos; for more.</source>
        <translation>Meer informatie met &apos;library-creator --help&apos;.</translation>
    </message>
    <message>
        <source>--volume wants PATH:TYPE with TYPE msdos or hfs, not %1</source>
        <translation>--volume verwacht PATH:TYPE met TYPE msdos of hfs, niet %1</translation>
    </message>
    <message>
        <source>--volume: %1 is not a folder</source>
        <translation>--volume: %1 is geen map</translation>
    </message>
    <message>
        <source>one DRIVE at most, not %1</source>
        <translation>hooguit één DRIVE, niet %1</translation>
    </message>
</context>
<context>
    <name>Languages</name>
    <message>
        <source>Japanese</source>
        <translation>Japans</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Chinees</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Engels</translation>
    </message>
    <message>
        <source>French</source>
        <translation>Frans</translation>
    </message>
    <message>
        <source>German</source>
        <translation>Duits</translation>
    </message>
    <message>
        <source>Italian</source>
        <translation>Italiaans</translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation>Spaans</translation>
    </message>
    <message>
        <source>Dutch</source>
        <translation>Nederlands</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Russisch</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatisch</translation>
    </message>
</context>
<context>
    <name>MakeStart</name>
    <message>
        <source>library present</source>
        <translation>bibliotheek aanwezig</translation>
    </message>
    <message>
        <source>no library</source>
        <translation>geen bibliotheek</translation>
    </message>
    <message>
        <source>not usable: read-only</source>
        <translation>niet bruikbaar: alleen-lezen</translation>
    </message>
    <message>
        <source>not usable: start-up volume</source>
        <translation>niet bruikbaar: opstartvolume</translation>
    </message>
    <message>
        <source>not usable: not FAT or HFS</source>
        <translation>niet bruikbaar: geen FAT of HFS</translation>
    </message>
    <message>
        <source>not usable: cannot be examined</source>
        <translation>niet bruikbaar: kan niet worden onderzocht</translation>
    </message>
    <message>
        <source>%1
Mount path: %2
File system: %3
%4</source>
        <translation>%1
Koppelpunt: %2
Bestandssysteem: %3
%4</translation>
    </message>
    <message>
        <source>This drive cannot take a library (%1).</source>
        <translation>Op dit station kan geen bibliotheek komen (%1).</translation>
    </message>
    <message>
        <source>Please Select Drive.</source>
        <translation>Kies een station.</translation>
    </message>
    <message>
        <source>Are you sure you would like to update the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Weet u zeker dat u de bibliotheek met deze instellingen wilt bijwerken?

	Gekozen station : %1
	Taal van de ID-tags : %2</translation>
    </message>
    <message>
        <source>Are you sure you would like to create the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Weet u zeker dat u de bibliotheek met deze instellingen wilt maken?

	Gekozen station : %1
	Taal van de ID-tags : %2</translation>
    </message>
    <message>
        <source>A previous Library has been located on the selected drive!
Are you sure you want to overwrite this?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Op het gekozen station staat al een bibliotheek!
Weet u zeker dat u die wilt overschrijven?

	Gekozen station : %1
	Taal van de ID-tags : %2</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuleren</translation>
    </message>
    <message>
        <source>Another job is running on this drive; nothing was changed.</source>
        <translation>Er loopt al een andere taak op dit station; er is niets gewijzigd.</translation>
    </message>
    <message>
        <source>, byte %1</source>
        <translation>, byte %1</translation>
    </message>
    <message>
        <source>cannot be written</source>
        <translation>kan niet worden geschreven</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Overslaan</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Afbreken</translation>
    </message>
    <message>
        <source>%1 files are processed.</source>
        <translation>%1 bestanden verwerkt.</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>Voltooien</translation>
    </message>
    <message>
        <source>Are you sure you want to Stop creating the library?
The Library being created will be discarded!</source>
        <translation>Weet u zeker dat u het maken van de bibliotheek wilt stoppen?
De bibliotheek die wordt gemaakt, gaat verloren!</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nee</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>Creating..</source>
        <translation>Bezig met maken..</translation>
    </message>
    <message>
        <source>Updating..</source>
        <translation>Bezig met bijwerken..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>Verwerkt</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>Toegevoegd</translation>
    </message>
</context>
<context>
    <name>Windows</name>
    <message>
        <source>Library Creator</source>
        <translation>Library Creator</translation>
    </message>
    <message>
        <source>&amp;Drive</source>
        <translation>&amp;Station</translation>
    </message>
    <message>
        <source>ID &amp;Tag Language</source>
        <translation>&amp;Taal van de ID-tags</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliotheek</translation>
    </message>
    <message>
        <source>&amp;Create a new library</source>
        <translation>Nieuwe bibliotheek &amp;maken</translation>
    </message>
    <message>
        <source>&amp;Update the library</source>
        <translation>Bibliotheek &amp;bijwerken</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>S&amp;tarten</translation>
    </message>
    <message>
        <source>Creating..</source>
        <translation>Bezig met maken..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>Verwerkt</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>Totaal</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>Verstreken tijd</translation>
    </message>
    <message>
        <source>Remaining time</source>
        <translation>Resterende tijd</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Annuleren</translation>
    </message>
</context>
</TS>

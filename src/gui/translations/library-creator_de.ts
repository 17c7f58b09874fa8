<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>Alerts</name>
    <message>
        <source>Can only create a Library in the Root Drectory.
Error Code : E-%02d</source>
        <translation>Eine Bibliothek kann nur im Stammverzeichnis des Laufwerks erstellt werden.
Fehlercode : E-%02d</translation>
    </message>
    <message>
        <source>Cannot open a file.
See the processin dialog for the file name.
Skip the file or abort creating the library?
Error Code : E-%02d</source>
        <translation>Eine Datei kann nicht geöffnet werden.
Den Dateinamen zeigt das Fortschrittsfenster.
Datei überspringen oder das Erstellen der Bibliothek abbrechen?
Fehlercode : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while creating library data.
Error Code : E-%02d</source>
        <translation>Beim Erstellen der Bibliotheksdaten ist ein Fehler aufgetreten.
Fehlercode : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while writing library file.
Error Code : E-%02d</source>
        <translation>Beim Schreiben einer Bibliotheksdatei ist ein Fehler aufgetreten.
Fehlercode : E-%02d</translation>
    </message>
    <message>
        <source>Cannot make the library for multiple devices.
Error Code : E-%02d</source>
        <translation>Die Bibliothek kann nicht für mehrere Laufwerke zugleich erstellt werden.
Fehlercode : E-%02d</translation>
    </message>
    <message>
        <source>[%@] is not supported device.
Error Code : E-%02d</source>
        <translation>[%@] wird als Laufwerk nicht unterstützt.
Fehlercode : E-%02d</translation>
    </message>
    <message>
        <source>Selected device is removed.
Error Code : E-%02d</source>
        <translation>Das ausgewählte Laufwerk wurde entfernt.
Fehlercode : E-%02d</translation>
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
        <translation>Schreibt die Musikbibliothek des Players auf ein Wechsellaufwerk (FAT oder HFS).</translation>
    </message>
    <message>
        <source>Lists the folder PATH as a mounted volume of the file-system type TYPE (msdos or hfs), for a staging copy of a drive. Repeatable.</source>
        <translation>Führt den Ordner PATH als eingehängtes Laufwerk mit dem Dateisystem TYPE (msdos oder hfs), für eine Arbeitskopie eines Laufwerks. Mehrfach angebbar.</translation>
    </message>
    <message>
        <source>Walks through a job on the first drive given with --volume and saves pictures of each step into DIR, then quits.</source>
        <translation>Durchläuft einen Auftrag auf dem ersten mit --volume angegebenen Laufwerk, speichert ein Bild jedes Schritts in DIR und beendet sich.</translation>
    </message>
    <message>
        <source>Runs one job on the drive mounted at DRIVE, then quits.</source>
        <translation>Führt einen Auftrag auf dem unter DRIVE eingehängten Laufwerk aus und beendet sich.</translation>
    </message>
    <message>
        <source>Try &apos;library-creator --help&apos; for more.</source>
        <translation>Mehr dazu mit &apos;library-creator --help&apos;.</translation>
    </message>
    <message>
        <source>--volume wants PATH:TYPE with TYPE msdos or hfs, not %1</source>
        <translation>--volume erwartet PATH:TYPE mit TYPE msdos oder hfs, nicht %1</translation>
    </message>
    <message>
        <source>--volume: %1 is not a folder</source>
        <translation>--volume: %1 ist kein Ordner</translation>
    </message>
    <message>
        <source>one DRIVE at most, not %1</source>
        <translation>höchstens ein DRIVE, nicht %1</translation>
    </message>
</context>
<context>
    <name>Languages</name>
    <message>
        <source>Japanese</source>
        <translation>Japanisch</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Chinesisch</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Englisch</translation>
    </message>
    <message>
        <source>French</source>
        <translation>Französisch</translation>
    </message>
    <message>
        <source>German</source>
        <translation>Deutsch</translation>
    </message>
    <message>
        <source>Italian</source>
        <translation>Italienisch</translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation>Spanisch</translation>
    </message>
    <message>
        <source>Dutch</source>
        <translation>Niederländisch</translation>
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
        <translation>Bibliothek vorhanden</translation>
    </message>
    <message>
        <source>no library</source>
        <translation>keine Bibliothek</translation>
    </message>
    <message>
        <source>not usable: read-only</source>
        <translation>nicht nutzbar: schreibgeschützt</translation>
    </message>
    <message>
        <source>not usable: start-up volume</source>
        <translation>nicht nutzbar: Startvolume</translation>
    </message>
    <message>
        <source>not usable: not FAT or HFS</source>
        <translation>nicht nutzbar: weder FAT noch HFS</translation>
    </message>
    <message>
        <source>not usable: cannot be examined</source>
        <translation>nicht nutzbar: kann nicht geprüft werden</translation>
    </message>
    <message>
        <source>%1
Mount path: %2
File system: %3
%4</source>
        <translation>%1
Einhängepunkt: %2
Dateisystem: %3
%4</translation>
    </message>
    <message>
        <source>This drive cannot take a library (%1).</source>
        <translation>Auf diesem Laufwerk kann keine Bibliothek angelegt werden (%1).</translation>
    </message>
    <message>
        <source>Please Select Drive.</source>
        <translation>Bitte ein Laufwerk wählen.</translation>
    </message>
    <message>
        <source>Are you sure you would like to update the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Möchten Sie die Bibliothek mit diesen Einstellungen aktualisieren?

	Gewähltes Laufwerk : %1
	Sprache der ID-Tags : %2</translation>
    </message>
    <message>
        <source>Are you sure you would like to create the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Möchten Sie die Bibliothek mit diesen Einstellungen erstellen?

	Gewähltes Laufwerk : %1
	Sprache der ID-Tags : %2</translation>
    </message>
    <message>
        <source>A previous Library has been located on the selected drive!
Are you sure you want to overwrite this?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Auf dem gewählten Laufwerk wurde bereits eine Bibliothek gefunden!
Möchten Sie sie wirklich überschreiben?

	Gewähltes Laufwerk : %1
	Sprache der ID-Tags : %2</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Another job is running on this drive; nothing was changed.</source>
        <translation>Auf diesem Laufwerk läuft bereits ein anderer Auftrag; es wurde nichts verändert.</translation>
    </message>
    <message>
        <source>, byte %1</source>
        <translation>, Byte %1</translation>
    </message>
    <message>
        <source>cannot be written</source>
        <translation>kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Überspringen</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>%1 files are processed.</source>
        <translation>%1 Dateien wurden verarbeitet.</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Are you sure you want to Stop creating the library?
The Library being created will be discarded!</source>
        <translation>Möchten Sie das Erstellen der Bibliothek wirklich beenden?
Die begonnene Bibliothek wird verworfen!</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>Creating..</source>
        <translation>Wird erstellt..</translation>
    </message>
    <message>
        <source>Updating..</source>
        <translation>Wird aktualisiert..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>Verarbeitet</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>Hinzugefügt</translation>
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
        <translation>&amp;Laufwerk</translation>
    </message>
    <message>
        <source>ID &amp;Tag Language</source>
        <translation>&amp;Sprache der ID-Tags</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliothek</translation>
    </message>
    <message>
        <source>&amp;Create a new library</source>
        <translation>Neue Bibliothek &amp;erstellen</translation>
    </message>
    <message>
        <source>&amp;Update the library</source>
        <translation>Bibliothek &amp;aktualisieren</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>S&amp;tarten</translation>
    </message>
    <message>
        <source>Creating..</source>
        <translation>Wird erstellt..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>Verarbeitet</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>Gesamt</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>Verstrichene Zeit</translation>
    </message>
    <message>
        <source>Remaining time</source>
        <translation>Restzeit</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>Abbre&amp;chen</translation>
    </message>
</context>
</TS>

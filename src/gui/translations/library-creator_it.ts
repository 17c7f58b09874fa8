<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it">
<context>
    <name>Alerts</name>
    <message>
        <source>Can only create a Library in the Root Drectory.
Error Code : E-%02d</source>
        <translation>La libreria può essere creata solo nella cartella principale dell’unità.
Codice di errore : E-%02d</translation>
    </message>
    <message>
        <source>Cannot open a file.
See the processin dialog for the file name.
Skip the file or abort creating the library?
Error Code : E-%02d</source>
        <translation>Impossibile aprire un file.
Il nome del file è indicato nella finestra di avanzamento.
Saltare il file o interrompere la creazione della libreria?
Codice di errore : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while creating library data.
Error Code : E-%02d</source>
        <translation>Si è verificato un errore durante la creazione dei dati della libreria.
Codice di errore : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while writing library file.
Error Code : E-%02d</source>
        <translation>Si è verificato un errore durante la scrittura di un file della libreria.
Codice di errore : E-%02d</translation>
    </message>
    <message>
        <source>Cannot make the library for multiple devices.
Error Code : E-%02d</source>
        <translation>Impossibile creare la libreria per più unità contemporaneamente.
Codice di errore : E-%02d</translation>
    </message>
    <message>
        <source>[%@] is not supported device.
Error Code : E-%02d</source>
        <translation>[%@] non è un dispositivo supportato.
Codice di errore : E-%02d</translation>
    </message>
    <message>
        <source>Selected device is removed.
Error Code : E-%02d</source>
        <translation>Il dispositivo selezionato è stato rimosso.
Codice di errore : E-%02d</translation>
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
        <translation>Scrive la libreria musicale del lettore su un’unità rimovibile (FAT o HFS).</translation>
    </message>
    <message>
        <source>Lists the folder PATH as a mounted volume of the file-system type TYPE (msdos or hfs), for a staging copy of a drive. Repeatable.</source>
        <translation>Elenca la cartella PATH come volume montato con file system TYPE (msdos o hfs), per una copia di lavoro di un’unità. Ripetibile.</translation>
    </message>
    <message>
        <source>Walks through a job on the first drive given with --volume and saves pictures of each step into DIR, then quits.</source>
        <translation>Esegue un’operazione sulla prima unità indicata con --volume, salva un’immagine di ogni passaggio in DIR e poi esce.</translation>
    </message>
    <message>
        <source>Runs one job on the drive mounted at DRIVE, then quits.</source>
        <translation>Esegue un’operazione sull’unità montata in DRIVE, poi esce.</translation>
    </message>
    <message>
        <source>Try &apos;library-creator --help&apos; for more.</source>
        <translation>Per altre informazioni: &apos;library-creator --help&apos;.</translation>
    </message>
    <message>
        <source>--volume wants PATH:TYPE with TYPE msdos or hfs, not %1</source>
        <translation>--volume richiede PATH:TYPE con TYPE msdos o hfs, non %1</translation>
    </message>
    <message>
        <source>--volume: %1 is not a folder</source>
        <translation>--volume: %1 non è una cartella</translation>
    </message>
    <message>
        <source>one DRIVE at most, not %1</source>
        <translation>al massimo un DRIVE, non %1</translation>
    </message>
</context>
<context>
    <name>Languages</name>
    <message>
        <source>Japanese</source>
        <translation>Giapponese</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Cinese</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Inglese</translation>
    </message>
    <message>
        <source>French</source>
        <translation>Francese</translation>
    </message>
    <message>
        <source>German</source>
        <translation>Tedesco</translation>
    </message>
    <message>
        <source>Italian</source>
        <translation>Italiano</translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation>Spagnolo</translation>
    </message>
    <message>
        <source>Dutch</source>
        <translation>Olandese</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Russo</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatico</translation>
    </message>
</context>
<context>
    <name>MakeStart</name>
    <message>
        <source>library present</source>
        <translation>libreria presente</translation>
    </message>
    <message>
        <source>no library</source>
        <translation>nessuna libreria</translation>
    </message>
    <message>
        <source>not usable: read-only</source>
        <translation>non utilizzabile: sola lettura</translation>
    </message>
    <message>
        <source>not usable: start-up volume</source>
        <translation>non utilizzabile: volume di avvio</translation>
    </message>
    <message>
        <source>not usable: not FAT or HFS</source>
        <translation>non utilizzabile: né FAT né HFS</translation>
    </message>
    <message>
        <source>not usable: cannot be examined</source>
        <translation>non utilizzabile: impossibile esaminarlo</translation>
    </message>
    <message>
        <source>%1
Mount path: %2
File system: %3
%4</source>
        <translation>%1
Punto di montaggio: %2
File system: %3
%4</translation>
    </message>
    <message>
        <source>This drive cannot take a library (%1).</source>
        <translation>Questa unità non può contenere una libreria (%1).</translation>
    </message>
    <message>
        <source>Please Select Drive.</source>
        <translation>Selezionare un’unità.</translation>
    </message>
    <message>
        <source>Are you sure you would like to update the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Aggiornare la libreria con queste impostazioni?

	Unità selezionata : %1
	Lingua dei tag ID : %2</translation>
    </message>
    <message>
        <source>Are you sure you would like to create the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Creare la libreria con queste impostazioni?

	Unità selezionata : %1
	Lingua dei tag ID : %2</translation>
    </message>
    <message>
        <source>A previous Library has been located on the selected drive!
Are you sure you want to overwrite this?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Sull’unità selezionata è già presente una libreria!
Sovrascriverla?

	Unità selezionata : %1
	Lingua dei tag ID : %2</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
    <message>
        <source>Another job is running on this drive; nothing was changed.</source>
        <translation>Un’altra operazione è in corso su questa unità; non è stato modificato nulla.</translation>
    </message>
    <message>
        <source>, byte %1</source>
        <translation>, byte %1</translation>
    </message>
    <message>
        <source>cannot be written</source>
        <translation>impossibile scrivere</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Salta</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Interrompi</translation>
    </message>
    <message>
        <source>%1 files are processed.</source>
        <translation>%1 file elaborati.</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>Fine</translation>
    </message>
    <message>
        <source>Are you sure you want to Stop creating the library?
The Library being created will be discarded!</source>
        <translation>Interrompere la creazione della libreria?
La libreria in corso di creazione verrà scartata!</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Sì</translation>
    </message>
    <message>
        <source>No</source>
        <translation>No</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>Creating..</source>
        <translation>Creazione..</translation>
    </message>
    <message>
        <source>Updating..</source>
        <translation>Aggiornamento..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>Elaborati</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>Aggiunti</translation>
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
        <translation>&amp;Unità</translation>
    </message>
    <message>
        <source>ID &amp;Tag Language</source>
        <translation>Lingua dei &amp;tag ID</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Libreria</translation>
    </message>
    <message>
        <source>&amp;Create a new library</source>
        <translation>&amp;Crea una nuova libreria</translation>
    </message>
    <message>
        <source>&amp;Update the library</source>
        <translation>&amp;Aggiorna la libreria</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Avvia</translation>
    </message>
    <message>
        <source>Creating..</source>
        <translation>Creazione..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>Elaborati</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>Totale</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>Tempo trascorso</translation>
    </message>
    <message>
        <source>Remaining time</source>
        <translation>Tempo rimanente</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Annulla</translation>
    </message>
</context>
</TS>

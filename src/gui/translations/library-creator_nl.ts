<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="nl">
<context>
    <name>Alerts</name>
    <message>
        <source>Can only create a Library in the Root Drectory.
Error Code : E-%02d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot open a file.
See the processin dialog for the file name.
Skip the file or abort creating the library?
Error Code : E-%02d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error occurred while creating library data.
Error Code : E-%02d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Error occurred while writing library file.
Error Code : E-%02d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot make the library for multiple devices.
Error Code : E-%02d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>[%@] is not supported device.
Error Code : E-%02d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Selected device is removed.
Error Code : E-%02d</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Library Creator</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Writes the music library of the player onto a removable drive (FAT or HFS).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lists the folder PATH as a mounted volume of the file-system type TYPE (msdos or hfs), for a staging copy of a drive. Repeatable.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Walks through a job on the first drive given with --volume and saves pictures of each step into DIR, then quits.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Runs one job on the drive mounted at DRIVE, then quits.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Try &apos;library-creator --help&apos; for more.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--volume wants PATH:TYPE with TYPE msdos or hfs, not %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--volume: %1 is not a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>one DRIVE at most, not %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Languages</name>
    <message>
        <source>Japanese</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>English</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>French</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>German</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Italian</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dutch</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Russian</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>MakeStart</name>
    <message>
        <source>library present</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no library</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not usable: read-only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not usable: start-up volume</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not usable: not FAT or HFS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not usable: cannot be examined</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1
Mount path: %2
File system: %3
%4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>This drive cannot take a library (%1).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Please Select Drive.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure you would like to update the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure you would like to create the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A previous Library has been located on the selected drive!
Are you sure you want to overwrite this?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Another job is running on this drive; nothing was changed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, byte %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot be written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Skip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Abort</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 files are processed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Finish</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Are you sure you want to Stop creating the library?
The Library being created will be discarded!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>Creating..</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Updating..</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Processed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Added</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Windows</name>
    <message>
        <source>Library Creator</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Drive</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ID &amp;Tag Language</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Library</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Create a new library</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Update the library</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Creating..</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Processed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Total</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remaining time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>

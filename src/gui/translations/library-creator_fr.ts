<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>Alerts</name>
    <message>
        <source>Can only create a Library in the Root Drectory.
Error Code : E-%02d</source>
        <translation>La bibliothèque ne peut être créée qu’à la racine du lecteur.
Code d’erreur : E-%02d</translation>
    </message>
    <message>
        <source>Cannot open a file.
See the processin dialog for the file name.
Skip the file or abort creating the library?
Error Code : E-%02d</source>
        <translation>Impossible d’ouvrir un fichier.
Le nom du fichier figure dans la fenêtre de progression.
Ignorer ce fichier ou abandonner la création de la bibliothèque ?
Code d’erreur : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while creating library data.
Error Code : E-%02d</source>
        <translation>Une erreur s’est produite lors de la création des données de la bibliothèque.
Code d’erreur : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while writing library file.
Error Code : E-%02d</source>
        <translation>Une erreur s’est produite lors de l’écriture d’un fichier de la bibliothèque.
Code d’erreur : E-%02d</translation>
    </message>
    <message>
        <source>Cannot make the library for multiple devices.
Error Code : E-%02d</source>
        <translation>Impossible de créer la bibliothèque pour plusieurs lecteurs à la fois.
Code d’erreur : E-%02d</translation>
    </message>
    <message>
        <source>[%@] is not supported device.
Error Code : E-%02d</source>
        <translation>[%@] n’est pas un périphérique pris en charge.
Code d’erreur : E-%02d</translation>
    </message>
    <message>
        <source>Selected device is removed.
Error Code : E-%02d</source>
        <translation>Le périphérique sélectionné a été retiré.
Code d’erreur : E-%02d</translation>
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
        <translation>Écrit la bibliothèque musicale du lecteur sur un support amovible (FAT ou HFS).</translation>
    </message>
    <message>
        <source>Lists the folder PATH as a mounted volume of the file-system type TYPE (msdos or hfs), for a staging copy of a drive. Repeatable.</source>
        <translation>Présente le dossier PATH comme un volume monté de type TYPE (msdos ou hfs), pour une copie de travail d’un lecteur. Peut être répété.</translation>
    </message>
    <message>
        <source>Walks through a job on the first drive given with --volume and saves pictures of each step into DIR, then quits.</source>
        <translation>Déroule une tâche sur le premier lecteur indiqué par --volume, enregistre une image de chaque étape dans DIR, puis quitte.</translation>
    </message>
    <message>
        <source>Runs one job on the drive mounted at DRIVE, then quits.</source>
        <translation>Exécute une tâche sur le lecteur monté en DRIVE, puis quitte.</translation>
    </message>
    <message>
        <source>Try &apos;library-creator --help&apos; for more.</source>
        <translation>Pour en savoir plus : &apos;library-creator --help&apos;.</translation>
    </message>
    <message>
        <source>--volume wants PATH:TYPE with TYPE msdos or hfs, not %1</source>
        <translation>--volume attend PATH:TYPE avec TYPE msdos ou hfs, et non %1</translation>
    </message>
    <message>
        <source>--volume: %1 is not a folder</source>
        <translation>--volume : %1 n’est pas un dossier</translation>
    </message>
    <message>
        <source>one DRIVE at most, not %1</source>
        <translation>un seul DRIVE au plus, et non %1</translation>
    </message>
</context>
<context>
    <name>Languages</name>
    <message>
        <source>Japanese</source>
        <translation>Japonais</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Chinois</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Anglais</translation>
    </message>
    <message>
        <source>French</source>
        <translation>Français</translation>
    </message>
    <message>
        <source>German</source>
        <translation>Allemand</translation>
    </message>
    <message>
        <source>Italian</source>
        <translation>Italien</translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation>Espagnol</translation>
    </message>
    <message>
        <source>Dutch</source>
        <translation>Néerlandais</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Russe</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatique</translation>
    </message>
</context>
<context>
    <name>MakeStart</name>
    <message>
        <source>library present</source>
        <translation>bibliothèque présente</translation>
    </message>
    <message>
        <source>no library</source>
        <translation>aucune bibliothèque</translation>
    </message>
    <message>
        <source>not usable: read-only</source>
        <translation>inutilisable : lecture seule</translation>
    </message>
    <message>
        <source>not usable: start-up volume</source>
        <translation>inutilisable : volume de démarrage</translation>
    </message>
    <message>
        <source>not usable: not FAT or HFS</source>
        <translation>inutilisable : ni FAT ni HFS</translation>
    </message>
    <message>
        <source>not usable: cannot be examined</source>
        <translation>inutilisable : impossible à examiner</translation>
    </message>
    <message>
        <source>%1
Mount path: %2
File system: %3
%4</source>
        <translation>%1
Point de montage : %2
Système de fichiers : %3
%4</translation>
    </message>
    <message>
        <source>This drive cannot take a library (%1).</source>
        <translation>Ce lecteur ne peut pas accueillir de bibliothèque (%1).</translation>
    </message>
    <message>
        <source>Please Select Drive.</source>
        <translation>Veuillez choisir un lecteur.</translation>
    </message>
    <message>
        <source>Are you sure you would like to update the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Voulez-vous vraiment mettre à jour la bibliothèque avec ces réglages ?

	Lecteur choisi : %1
	Langue des balises ID : %2</translation>
    </message>
    <message>
        <source>Are you sure you would like to create the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Voulez-vous vraiment créer la bibliothèque avec ces réglages ?

	Lecteur choisi : %1
	Langue des balises ID : %2</translation>
    </message>
    <message>
        <source>A previous Library has been located on the selected drive!
Are you sure you want to overwrite this?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Une bibliothèque existe déjà sur le lecteur choisi !
Voulez-vous vraiment la remplacer ?

	Lecteur choisi : %1
	Langue des balises ID : %2</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Another job is running on this drive; nothing was changed.</source>
        <translation>Une autre tâche est en cours sur ce lecteur ; rien n’a été modifié.</translation>
    </message>
    <message>
        <source>, byte %1</source>
        <translation>, octet %1</translation>
    </message>
    <message>
        <source>cannot be written</source>
        <translation>écriture impossible</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Ignorer</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Abandonner</translation>
    </message>
    <message>
        <source>%1 files are processed.</source>
        <translation>%1 fichiers ont été traités.</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>Terminer</translation>
    </message>
    <message>
        <source>Are you sure you want to Stop creating the library?
The Library being created will be discarded!</source>
        <translation>Voulez-vous vraiment arrêter la création de la bibliothèque ?
La bibliothèque en cours de création sera abandonnée !</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Oui</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Non</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>Creating..</source>
        <translation>Création..</translation>
    </message>
    <message>
        <source>Updating..</source>
        <translation>Mise à jour..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>Traités</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>Ajoutés</translation>
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
        <translation>&amp;Lecteur</translation>
    </message>
    <message>
        <source>ID &amp;Tag Language</source>
        <translation>Langue des &amp;balises ID</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliothèque</translation>
    </message>
    <message>
        <source>&amp;Create a new library</source>
        <translation>&amp;Créer une nouvelle bibliothèque</translation>
    </message>
    <message>
        <source>&amp;Update the library</source>
        <translation>&amp;Mettre à jour la bibliothèque</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Démarrer</translation>
    </message>
    <message>
        <source>Creating..</source>
        <translation>Création..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>Traités</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>Temps écoulé</translation>
    </message>
    <message>
        <source>Remaining time</source>
        <translation>Temps restant</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Annuler</translation>
    </message>
</context>
</TS>

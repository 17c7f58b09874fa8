<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>Alerts</name>
    <message>
        <source>Can only create a Library in the Root Drectory.
Error Code : E-%02d</source>
        <translation>La biblioteca solo se puede crear en el directorio raíz de la unidad.
Código de error : E-%02d</translation>
    </message>
    <message>
        <source>Cannot open a file.
See the processin dialog for the file name.
Skip the file or abort creating the library?
Error Code : E-%02d</source>
        <translation>No se puede abrir un archivo.
El nombre del archivo aparece en la ventana de progreso.
¿Omitir el archivo o cancelar la creación de la biblioteca?
Código de error : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while creating library data.
Error Code : E-%02d</source>
        <translation>Se produjo un error al crear los datos de la biblioteca.
Código de error : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while writing library file.
Error Code : E-%02d</source>
        <translation>Se produjo un error al escribir un archivo de la biblioteca.
Código de error : E-%02d</translation>
    </message>
    <message>
        <source>Cannot make the library for multiple devices.
Error Code : E-%02d</source>
        <translation>No se puede crear la biblioteca para varias unidades a la vez.
Código de error : E-%02d</translation>
    </message>
    <message>
        <source>[%@] is not supported device.
Error Code : E-%02d</source>
        <translation>[%@] no es un dispositivo compatible.
Código de error : E-%02d</translation>
    </message>
    <message>
        <source>Selected device is removed.
Error Code : E-%02d</source>
        <translation>Se ha quitado el dispositivo seleccionado.
Código de error : E-%02d</translation>
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
        <translation>Escribe la biblioteca musical del reproductor en una unidad extraíble (FAT o HFS).</translation>
    </message>
    <message>
        <source>Lists the folder PATH as a mounted volume of the file-system type TYPE (msdos or hfs), for a staging copy of a drive. Repeatable.</source>
        <translation>Muestra la carpeta PATH como un volumen montado del tipo de sistema de archivos TYPE (msdos o hfs), para una copia de trabajo de una unidad. Se puede repetir.</translation>
    </message>
    <message>
        <source>Walks through a job on the first drive given with --volume and saves pictures of each step into DIR, then quits.</source>
        <translation>Recorre una tarea en la primera unidad indicada con --volume, guarda una imagen de cada paso en DIR y termina.</translation>
    </message>
    <message>
        <source>Runs one job on the drive mounted at DRIVE, then quits.</source>
        <translation>Ejecuta una tarea en la unidad montada en DRIVE y termina.</translation>
    </message>
    <message>
        <source>Try &apos;library-creator --help&apos; for more.</source>
        <translation>Para más información: &apos;library-creator --help&apos;.</translation>
    </message>
    <message>
        <source>--volume wants PATH:TYPE with TYPE msdos or hfs, not %1</source>
        <translation>--volume espera PATH:TYPE con TYPE msdos o hfs, no %1</translation>
    </message>
    <message>
        <source>--volume: %1 is not a folder</source>
        <translation>--volume: %1 no es una carpeta</translation>
    </message>
    <message>
        <source>one DRIVE at most, not %1</source>
        <translation>como máximo un DRIVE, no %1</translation>
    </message>
</context>
<context>
    <name>Languages</name>
    <message>
        <source>Japanese</source>
        <translation>Japonés</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Chino</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Inglés</translation>
    </message>
    <message>
        <source>French</source>
        <translation>Francés</translation>
    </message>
    <message>
        <source>German</source>
        <translation>Alemán</translation>
    </message>
    <message>
        <source>Italian</source>
        <translation>Italiano</translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation>Español</translation>
    </message>
    <message>
        <source>Dutch</source>
        <translation>Neerlandés</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Ruso</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automático</translation>
    </message>
</context>
<context>
    <name>MakeStart</name>
    <message>
        <source>library present</source>
        <translation>biblioteca presente</translation>
    </message>
    <message>
        <source>no library</source>
        <translation>sin biblioteca</translation>
    </message>
    <message>
        <source>not usable: read-only</source>
        <translation>no utilizable: solo lectura</translation>
    </message>
    <message>
        <source>not usable: start-up volume</source>
        <translation>no utilizable: volumen de arranque</translation>
    </message>
    <message>
        <source>not usable: not FAT or HFS</source>
        <translation>no utilizable: ni FAT ni HFS</translation>
    </message>
    <message>
        <source>not usable: cannot be examined</source>
        <translation>no utilizable: no se puede examinar</translation>
    </message>
    <message>
        <source>%1
Mount path: %2
File system: %3
%4</source>
        <translation>%1
Punto de montaje: %2
Sistema de archivos: %3
%4</translation>
    </message>
    <message>
        <source>This drive cannot take a library (%1).</source>
        <translation>Esta unidad no admite una biblioteca (%1).</translation>
    </message>
    <message>
        <source>Please Select Drive.</source>
        <translation>Seleccione una unidad.</translation>
    </message>
    <message>
        <source>Are you sure you would like to update the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>¿Seguro que desea actualizar la biblioteca con esta configuración?

	Unidad seleccionada : %1
	Idioma de las etiquetas ID : %2</translation>
    </message>
    <message>
        <source>Are you sure you would like to create the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>¿Seguro que desea crear la biblioteca con esta configuración?

	Unidad seleccionada : %1
	Idioma de las etiquetas ID : %2</translation>
    </message>
    <message>
        <source>A previous Library has been located on the selected drive!
Are you sure you want to overwrite this?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>¡Se ha encontrado una biblioteca anterior en la unidad seleccionada!
¿Seguro que desea sobrescribirla?

	Unidad seleccionada : %1
	Idioma de las etiquetas ID : %2</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Another job is running on this drive; nothing was changed.</source>
        <translation>Hay otra tarea en curso en esta unidad; no se ha cambiado nada.</translation>
    </message>
    <message>
        <source>, byte %1</source>
        <translation>, byte %1</translation>
    </message>
    <message>
        <source>cannot be written</source>
        <translation>no se puede escribir</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Omitir</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>%1 files are processed.</source>
        <translation>Se han procesado %1 archivos.</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>Finalizar</translation>
    </message>
    <message>
        <source>Are you sure you want to Stop creating the library?
The Library being created will be discarded!</source>
        <translation>¿Seguro que desea detener la creación de la biblioteca?
¡Se descartará la biblioteca que se está creando!</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Sí</translation>
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
        <translation>Creando..</translation>
    </message>
    <message>
        <source>Updating..</source>
        <translation>Actualizando..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>Procesados</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>Añadidos</translation>
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
        <translation>&amp;Unidad</translation>
    </message>
    <message>
        <source>ID &amp;Tag Language</source>
        <translation>Idioma de las &amp;etiquetas ID</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Biblioteca</translation>
    </message>
    <message>
        <source>&amp;Create a new library</source>
        <translation>&amp;Crear una biblioteca nueva</translation>
    </message>
    <message>
        <source>&amp;Update the library</source>
        <translation>Ac&amp;tualizar la biblioteca</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Iniciar</translation>
    </message>
    <message>
        <source>Creating..</source>
        <translation>Creando..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>Procesados</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>Tiempo transcurrido</translation>
    </message>
    <message>
        <source>Remaining time</source>
        <translation>Tiempo restante</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Cancelar</translation>
    </message>
</context>
</TS>

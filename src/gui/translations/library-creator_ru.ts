<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>Alerts</name>
    <message>
        <source>Can only create a Library in the Root Drectory.
Error Code : E-%02d</source>
        <translation>Библиотеку можно создать только в корневом каталоге диска.
Код ошибки : E-%02d</translation>
    </message>
    <message>
        <source>Cannot open a file.
See the processin dialog for the file name.
Skip the file or abort creating the library?
Error Code : E-%02d</source>
        <translation>Не удаётся открыть файл.
Имя файла показано в окне хода выполнения.
Пропустить файл или прервать создание библиотеки?
Код ошибки : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while creating library data.
Error Code : E-%02d</source>
        <translation>Ошибка при создании данных библиотеки.
Код ошибки : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while writing library file.
Error Code : E-%02d</source>
        <translation>Ошибка при записи файла библиотеки.
Код ошибки : E-%02d</translation>
    </message>
    <message>
        <source>Cannot make the library for multiple devices.
Error Code : E-%02d</source>
        <translation>Нельзя создать библиотеку сразу для нескольких устройств.
Код ошибки : E-%02d</translation>
    </message>
    <message>
        <source>[%@] is not supported device.
Error Code : E-%02d</source>
        <translation>[%@] — неподдерживаемое устройство.
Код ошибки : E-%02d</translation>
    </message>
    <message>
        <source>Selected device is removed.
Error Code : E-%02d</source>
        <translation>Выбранное устройство было извлечено.
Код ошибки : E-%02d</translation>
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
        <translation>Записывает музыкальную библиотеку плеера на съёмный диск (FAT или HFS).</translation>
    </message>
    <message>
        <source>Lists the folder PATH as a mounted volume of the file-system type TYPE (msdos or hfs), for a staging copy of a drive. Repeatable.</source>
        <translation>Показывает папку PATH как смонтированный том с файловой системой TYPE (msdos или hfs) — для рабочей копии диска. Можно указать несколько раз.</translation>
    </message>
    <message>
        <source>Walks through a job on the first drive given with --volume and saves pictures of each step into DIR, then quits.</source>
        <translation>Выполняет задание на первом диске, указанном в --volume, сохраняет снимок каждого шага в DIR и завершается.</translation>
    </message>
    <message>
        <source>Runs one job on the drive mounted at DRIVE, then quits.</source>
        <translation>Выполняет одно задание на диске, смонтированном в DRIVE, и завершается.</translation>
    </message>
    <message>
        <source>Try &apos;library-creator --help&apos; for more.</source>
        <translation>Подробнее: &apos;library-creator --help&apos;.</translation>
    </message>
    <message>
        <source>--volume wants PATH:TYPE with TYPE msdos or hfs, not %1</source>
        <translation>--volume ожидает PATH:TYPE, где TYPE — msdos или hfs, а не %1</translation>
    </message>
    <message>
        <source>--volume: %1 is not a folder</source>
        <translation>--volume: %1 — не папка</translation>
    </message>
    <message>
        <source>one DRIVE at most, not %1</source>
        <translation>не более одного DRIVE, а не %1</translation>
    </message>
</context>
<context>
    <name>Languages</name>
    <message>
        <source>Japanese</source>
        <translation>Японский</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>Китайский</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Английский</translation>
    </message>
    <message>
        <source>French</source>
        <translation>Французский</translation>
    </message>
    <message>
        <source>German</source>
        <translation>Немецкий</translation>
    </message>
    <message>
        <source>Italian</source>
        <translation>Итальянский</translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation>Испанский</translation>
    </message>
    <message>
        <source>Dutch</source>
        <translation>Нидерландский</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Русский</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Автоматически</translation>
    </message>
</context>
<context>
    <name>MakeStart</name>
    <message>
        <source>library present</source>
        <translation>библиотека есть</translation>
    </message>
    <message>
        <source>no library</source>
        <translation>библиотеки нет</translation>
    </message>
    <message>
        <source>not usable: read-only</source>
        <translation>нельзя использовать: только для чтения</translation>
    </message>
    <message>
        <source>not usable: start-up volume</source>
        <translation>нельзя использовать: загрузочный том</translation>
    </message>
    <message>
        <source>not usable: not FAT or HFS</source>
        <translation>нельзя использовать: не FAT и не HFS</translation>
    </message>
    <message>
        <source>not usable: cannot be examined</source>
        <translation>нельзя использовать: не удаётся проверить</translation>
    </message>
    <message>
        <source>%1
Mount path: %2
File system: %3
%4</source>
        <translation>%1
Точка монтирования: %2
Файловая система: %3
%4</translation>
    </message>
    <message>
        <source>This drive cannot take a library (%1).</source>
        <translation>На этом диске нельзя создать библиотеку (%1).</translation>
    </message>
    <message>
        <source>Please Select Drive.</source>
        <translation>Выберите диск.</translation>
    </message>
    <message>
        <source>Are you sure you would like to update the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Обновить библиотеку с этими настройками?

	Выбранный диск : %1
	Язык ID-тегов : %2</translation>
    </message>
    <message>
        <source>Are you sure you would like to create the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>Создать библиотеку с этими настройками?

	Выбранный диск : %1
	Язык ID-тегов : %2</translation>
    </message>
    <message>
        <source>A previous Library has been located on the selected drive!
Are you sure you want to overwrite this?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>На выбранном диске уже есть библиотека!
Перезаписать её?

	Выбранный диск : %1
	Язык ID-тегов : %2</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Another job is running on this drive; nothing was changed.</source>
        <translation>На этом диске уже выполняется другое задание; ничего не изменено.</translation>
    </message>
    <message>
        <source>, byte %1</source>
        <translation>, байт %1</translation>
    </message>
    <message>
        <source>cannot be written</source>
        <translation>запись невозможна</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>Пропустить</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Прервать</translation>
    </message>
    <message>
        <source>%1 files are processed.</source>
        <translation>Обработано файлов: %1.</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>Готово</translation>
    </message>
    <message>
        <source>Are you sure you want to Stop creating the library?
The Library being created will be discarded!</source>
        <translation>Остановить создание библиотеки?
Создаваемая библиотека будет удалена!</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Да</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Нет</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>Creating..</source>
        <translation>Создание..</translation>
    </message>
    <message>
        <source>Updating..</source>
        <translation>Обновление..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>Обработано</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>Добавлено</translation>
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
        <translation>&amp;Диск</translation>
    </message>
    <message>
        <source>ID &amp;Tag Language</source>
        <translation>&amp;Язык ID-тегов</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Библиотека</translation>
    </message>
    <message>
        <source>&amp;Create a new library</source>
        <translation>&amp;Создать новую библиотеку</translation>
    </message>
    <message>
        <source>&amp;Update the library</source>
        <translation>&amp;Обновить библиотеку</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Начать</translation>
    </message>
    <message>
        <source>Creating..</source>
        <translation>Создание..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>Обработано</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>Всего</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>Прошло времени</translation>
    </message>
    <message>
        <source>Remaining time</source>
        <translation>Осталось времени</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Отмена</translation>
    </message>
</context>
</TS>

<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Alerts</name>
    <message>
        <source>Can only create a Library in the Root Drectory.
Error Code : E-%02d</source>
        <translation>只能在驱动器的根目录中创建资料库。
错误代码 : E-%02d</translation>
    </message>
    <message>
        <source>Cannot open a file.
See the processin dialog for the file name.
Skip the file or abort creating the library?
Error Code : E-%02d</source>
        <translation>无法打开文件。
文件名显示在进度窗口中。
跳过该文件，还是中止创建资料库？
错误代码 : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while creating library data.
Error Code : E-%02d</source>
        <translation>创建资料库数据时出错。
错误代码 : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while writing library file.
Error Code : E-%02d</source>
        <translation>写入资料库文件时出错。
错误代码 : E-%02d</translation>
    </message>
    <message>
        <source>Cannot make the library for multiple devices.
Error Code : E-%02d</source>
        <translation>无法同时为多个设备创建资料库。
错误代码 : E-%02d</translation>
    </message>
    <message>
        <source>[%@] is not supported device.
Error Code : E-%02d</source>
        <translation>[%@] 是不受支持的设备。
错误代码 : E-%02d</translation>
    </message>
    <message>
        <source>Selected device is removed.
Error Code : E-%02d</source>
        <translation>所选设备已被移除。
错误代码 : E-%02d</translation>
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
        <translation>将播放器的音乐资料库写入可移动驱动器（FAT 或 HFS）。</translation>
    </message>
    <message>
        <source>Lists the folder PATH as a mounted volume of the file-system type TYPE (msdos or hfs), for a staging copy of a drive. Repeatable.</source>
        <translation>将文件夹 PATH 作为文件系统类型为 TYPE（msdos 或 hfs）的已挂载卷列出，用于驱动器的暂存副本。可重复指定。</translation>
    </message>
    <message>
        <source>Walks through a job on the first drive given with --volume and saves pictures of each step into DIR, then quits.</source>
        <translation>在 --volume 给出的第一个驱动器上完整运行一次任务，将每一步的截图保存到 DIR，然后退出。</translation>
    </message>
    <message>
        <source>Runs one job on the drive mounted at DRIVE, then quits.</source>
        <translation>在挂载于 DRIVE 的驱动器上运行一次任务，然后退出。</translation>
    </message>
    <message>
        <source>Try &apos;library-creator --help&apos; for more.</source>
        <translation>更多信息请运行 &apos;library-creator --help&apos;。</translation>
    </message>
    <message>
        <source>--volume wants PATH:TYPE with TYPE msdos or hfs, not %1</source>
        <translation>--volume 需要 PATH:TYPE，TYPE 为 msdos 或 hfs，而不是 %1</translation>
    </message>
    <message>
        <source>--volume: %1 is not a folder</source>
        <translation>--volume：%1 不是文件夹</translation>
    </message>
    <message>
        <source>one DRIVE at most, not %1</source>
        <translation>最多一个 DRIVE，而不是 %1 个</translation>
    </message>
</context>
<context>
    <name>Languages</name>
    <message>
        <source>Japanese</source>
        <translation>日语</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>中文</translation>
    </message>
    <message>
        <source>English</source>
        <translation>英语</translation>
    </message>
    <message>
        <source>French</source>
        <translation>法语</translation>
    </message>
    <message>
        <source>German</source>
        <translation>德语</translation>
    </message>
    <message>
        <source>Italian</source>
        <translation>意大利语</translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation>西班牙语</translation>
    </message>
    <message>
        <source>Dutch</source>
        <translation>荷兰语</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>俄语</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>自动</translation>
    </message>
</context>
<context>
    <name>MakeStart</name>
    <message>
        <source>library present</source>
        <translation>已有资料库</translation>
    </message>
    <message>
        <source>no library</source>
        <translation>没有资料库</translation>
    </message>
    <message>
        <source>not usable: read-only</source>
        <translation>无法使用：只读</translation>
    </message>
    <message>
        <source>not usable: start-up volume</source>
        <translation>无法使用：启动卷</translation>
    </message>
    <message>
        <source>not usable: not FAT or HFS</source>
        <translation>无法使用：既不是 FAT 也不是 HFS</translation>
    </message>
    <message>
        <source>not usable: cannot be examined</source>
        <translation>无法使用：无法检查</translation>
    </message>
    <message>
        <source>%1
Mount path: %2
File system: %3
%4</source>
        <translation>%1
挂载路径：%2
文件系统：%3
%4</translation>
    </message>
    <message>
        <source>This drive cannot take a library (%1).</source>
        <translation>无法在此驱动器上创建资料库（%1）。</translation>
    </message>
    <message>
        <source>Please Select Drive.</source>
        <translation>请选择驱动器。</translation>
    </message>
    <message>
        <source>Are you sure you would like to update the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>确定要使用这些设置更新资料库吗？

	所选驱动器 : %1
	ID 标签语言 : %2</translation>
    </message>
    <message>
        <source>Are you sure you would like to create the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>确定要使用这些设置创建资料库吗？

	所选驱动器 : %1
	ID 标签语言 : %2</translation>
    </message>
    <message>
        <source>A previous Library has been located on the selected drive!
Are you sure you want to overwrite this?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>在所选驱动器上找到了已有的资料库！
确定要覆盖它吗？

	所选驱动器 : %1
	ID 标签语言 : %2</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Another job is running on this drive; nothing was changed.</source>
        <translation>此驱动器上正在运行另一个任务；未做任何更改。</translation>
    </message>
    <message>
        <source>, byte %1</source>
        <translation>，第 %1 字节</translation>
    </message>
    <message>
        <source>cannot be written</source>
        <translation>无法写入</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>跳过</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>中止</translation>
    </message>
    <message>
        <source>%1 files are processed.</source>
        <translation>已处理 %1 个文件。</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>完成</translation>
    </message>
    <message>
        <source>Are you sure you want to Stop creating the library?
The Library being created will be discarded!</source>
        <translation>确定要停止创建资料库吗？
正在创建的资料库将被丢弃！</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>是</translation>
    </message>
    <message>
        <source>No</source>
        <translation>否</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>Creating..</source>
        <translation>正在创建..</translation>
    </message>
    <message>
        <source>Updating..</source>
        <translation>正在更新..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>已处理</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>已添加</translation>
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
        <translation>驱动器(&amp;D)</translation>
    </message>
    <message>
        <source>ID &amp;Tag Language</source>
        <translation>ID 标签语言(&amp;T)</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>资料库</translation>
    </message>
    <message>
        <source>&amp;Create a new library</source>
        <translation>创建新资料库(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Update the library</source>
        <translation>更新资料库(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>开始(&amp;S)</translation>
    </message>
    <message>
        <source>Creating..</source>
        <translation>正在创建..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>已处理</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>总数</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>已用时间</translation>
    </message>
    <message>
        <source>Remaining time</source>
        <translation>剩余时间</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>取消(&amp;C)</translation>
    </message>
</context>
</TS>

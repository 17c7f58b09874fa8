<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja">
<context>
    <name>Alerts</name>
    <message>
        <source>Can only create a Library in the Root Drectory.
Error Code : E-%02d</source>
        <translation>ライブラリはドライブのルートディレクトリにのみ作成できます。
エラーコード : E-%02d</translation>
    </message>
    <message>
        <source>Cannot open a file.
See the processin dialog for the file name.
Skip the file or abort creating the library?
Error Code : E-%02d</source>
        <translation>ファイルを開けません。
ファイル名は進行状況ウィンドウで確認できます。
このファイルをスキップしますか？ それともライブラリの作成を中止しますか？
エラーコード : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while creating library data.
Error Code : E-%02d</source>
        <translation>ライブラリデータの作成中にエラーが発生しました。
エラーコード : E-%02d</translation>
    </message>
    <message>
        <source>Error occurred while writing library file.
Error Code : E-%02d</source>
        <translation>ライブラリファイルの書き込み中にエラーが発生しました。
エラーコード : E-%02d</translation>
    </message>
    <message>
        <source>Cannot make the library for multiple devices.
Error Code : E-%02d</source>
        <translation>複数のドライブに同時にライブラリを作成することはできません。
エラーコード : E-%02d</translation>
    </message>
    <message>
        <source>[%@] is not supported device.
Error Code : E-%02d</source>
        <translation>[%@] はサポートされていないデバイスです。
エラーコード : E-%02d</translation>
    </message>
    <message>
        <source>Selected device is removed.
Error Code : E-%02d</source>
        <translation>選択したデバイスが取り外されました。
エラーコード : E-%02d</translation>
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
        <translation>プレーヤーの音楽ライブラリをリムーバブルドライブ（FAT または HFS）に書き込みます。</translation>
    </message>
    <message>
        <source>Lists the folder PATH as a mounted volume of the file-system type TYPE (msdos or hfs), for a staging copy of a drive. Repeatable.</source>
        <translation>フォルダー PATH を、ファイルシステムの種類 TYPE（msdos または hfs）のマウント済みボリュームとして一覧に加えます（ドライブの作業用コピー向け）。複数指定できます。</translation>
    </message>
    <message>
        <source>Walks through a job on the first drive given with --volume and saves pictures of each step into DIR, then quits.</source>
        <translation>--volume で指定した最初のドライブで処理を一通り実行し、各段階の画像を DIR に保存して終了します。</translation>
    </message>
    <message>
        <source>Runs one job on the drive mounted at DRIVE, then quits.</source>
        <translation>DRIVE にマウントされたドライブで処理を 1 回実行し、終了します。</translation>
    </message>
    <message>
        <source>Try &apos;library-creator --help&apos; for more.</source>
        <translation>詳しくは &apos;library-creator --help&apos; を実行してください。</translation>
    </message>
    <message>
        <source>--volume wants PATH:TYPE with TYPE msdos or hfs, not %1</source>
        <translation>--volume には PATH:TYPE（TYPE は msdos または hfs）を指定してください。%1 は使えません</translation>
    </message>
    <message>
        <source>--volume: %1 is not a folder</source>
        <translation>--volume: %1 はフォルダーではありません</translation>
    </message>
    <message>
        <source>one DRIVE at most, not %1</source>
        <translation>DRIVE は 1 つまでです（%1 個指定されました）</translation>
    </message>
</context>
<context>
    <name>Languages</name>
    <message>
        <source>Japanese</source>
        <translation>日本語</translation>
    </message>
    <message>
        <source>Chinese</source>
        <translation>中国語</translation>
    </message>
    <message>
        <source>English</source>
        <translation>英語</translation>
    </message>
    <message>
        <source>French</source>
        <translation>フランス語</translation>
    </message>
    <message>
        <source>German</source>
        <translation>ドイツ語</translation>
    </message>
    <message>
        <source>Italian</source>
        <translation>イタリア語</translation>
    </message>
    <message>
        <source>Spanish</source>
        <translation>スペイン語</translation>
    </message>
    <message>
        <source>Dutch</source>
        <translation>オランダ語</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>ロシア語</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>自動</translation>
    </message>
</context>
<context>
    <name>MakeStart</name>
    <message>
        <source>library present</source>
        <translation>ライブラリあり</translation>
    </message>
    <message>
        <source>no library</source>
        <translation>ライブラリなし</translation>
    </message>
    <message>
        <source>not usable: read-only</source>
        <translation>使用不可: 読み取り専用</translation>
    </message>
    <message>
        <source>not usable: start-up volume</source>
        <translation>使用不可: 起動ボリューム</translation>
    </message>
    <message>
        <source>not usable: not FAT or HFS</source>
        <translation>使用不可: FAT でも HFS でもありません</translation>
    </message>
    <message>
        <source>not usable: cannot be examined</source>
        <translation>使用不可: 調べることができません</translation>
    </message>
    <message>
        <source>%1
Mount path: %2
File system: %3
%4</source>
        <translation>%1
マウントパス: %2
ファイルシステム: %3
%4</translation>
    </message>
    <message>
        <source>This drive cannot take a library (%1).</source>
        <translation>このドライブにはライブラリを作成できません（%1）。</translation>
    </message>
    <message>
        <source>Please Select Drive.</source>
        <translation>ドライブを選択してください。</translation>
    </message>
    <message>
        <source>Are you sure you would like to update the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>この設定でライブラリを更新してもよろしいですか？

	選択したドライブ : %1
	ID タグの言語 : %2</translation>
    </message>
    <message>
        <source>Are you sure you would like to create the library using these settings?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>この設定でライブラリを作成してもよろしいですか？

	選択したドライブ : %1
	ID タグの言語 : %2</translation>
    </message>
    <message>
        <source>A previous Library has been located on the selected drive!
Are you sure you want to overwrite this?

	Selected Drive : %1
	ID Tag Language : %2</source>
        <translation>選択したドライブに既存のライブラリが見つかりました。
上書きしてもよろしいですか？

	選択したドライブ : %1
	ID タグの言語 : %2</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Another job is running on this drive; nothing was changed.</source>
        <translation>このドライブでは別の処理が実行中です。何も変更されていません。</translation>
    </message>
    <message>
        <source>, byte %1</source>
        <translation>、%1 バイト目</translation>
    </message>
    <message>
        <source>cannot be written</source>
        <translation>書き込めません</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>スキップ</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>中止</translation>
    </message>
    <message>
        <source>%1 files are processed.</source>
        <translation>%1 個のファイルを処理しました。</translation>
    </message>
    <message>
        <source>Finish</source>
        <translation>完了</translation>
    </message>
    <message>
        <source>Are you sure you want to Stop creating the library?
The Library being created will be discarded!</source>
        <translation>ライブラリの作成を中止してもよろしいですか？
作成中のライブラリは破棄されます。</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>はい</translation>
    </message>
    <message>
        <source>No</source>
        <translation>いいえ</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>Creating..</source>
        <translation>作成中..</translation>
    </message>
    <message>
        <source>Updating..</source>
        <translation>更新中..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>処理済み</translation>
    </message>
    <message>
        <source>Added</source>
        <translation>追加済み</translation>
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
        <translation>ドライブ(&amp;D)</translation>
    </message>
    <message>
        <source>ID &amp;Tag Language</source>
        <translation>ID タグの言語(&amp;T)</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>ライブラリ</translation>
    </message>
    <message>
        <source>&amp;Create a new library</source>
        <translation>新しいライブラリを作成(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Update the library</source>
        <translation>ライブラリを更新(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>開始(&amp;S)</translation>
    </message>
    <message>
        <source>Creating..</source>
        <translation>作成中..</translation>
    </message>
    <message>
        <source>Processed</source>
        <translation>処理済み</translation>
    </message>
    <message>
        <source>Total</source>
        <translation>合計</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>経過時間</translation>
    </message>
    <message>
        <source>Remaining time</source>
        <translation>残り時間</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>キャンセル(&amp;C)</translation>
    </message>
</context>
</TS>

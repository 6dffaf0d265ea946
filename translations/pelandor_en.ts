<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="en_US" sourcelanguage="ja_JP">
    <context>
        <name>FileCommands</name>
        <message>
            <source>ﾌｧｲﾙ操作の実行中です。終わるまでお待ち下さい</source>
            <translation>A file operation is running. Please wait until it has finished</translation>
        </message>
    </context>
    <context>
        <name>FileOperationTexts</name>
        <message>
            <source>移動</source>
            <translation>move</translation>
        </message>
        <message>
            <source>削除</source>
            <translation>delete</translation>
        </message>
        <message>
            <source>ｺﾋﾟｰ</source>
            <translation>copy</translation>
        </message>
        <message>
            <source>ｺﾋﾟｰしています...</source>
            <translation>Copying…</translation>
        </message>
        <message>
            <source>移動しています...</source>
            <translation>Moving…</translation>
        </message>
        <message>
            <source>削除しています...</source>
            <translation>Deleting…</translation>
        </message>
        <message>
            <source>ｺﾋﾟｰ先のﾌｫﾙﾀﾞを選択して下さい</source>
            <translation>Choose the folder to copy to</translation>
        </message>
        <message>
            <source>移動先のﾌｫﾙﾀﾞを選択して下さい</source>
            <translation>Choose the folder to move to</translation>
        </message>
        <message>
            <source>'%1' をごみ箱に移しますか?</source>
            <translation>Move '%1' to the trash?</translation>
        </message>
        <message>
            <source>'%1' を完全に削除しますか?</source>
            <translation>Delete '%1' permanently?</translation>
        </message>
        <message>
            <source>これらの %1 個のﾌｧｲﾙをごみ箱に移しますか?</source>
            <translation>Move these %1 files to the trash?</translation>
        </message>
        <message>
            <source>これらの %1 個のﾌｧｲﾙを完全に削除しますか?</source>
            <translation>Delete these %1 files permanently?</translation>
        </message>
        <message>
            <source>'%1' はごみ箱に移せません。
完全に削除しますか?</source>
            <translation>'%1' cannot be moved to the trash.
Delete it permanently?</translation>
        </message>
        <message>
            <source>以降のﾌｧｲﾙにも同じ処理を行う(&amp;A)</source>
            <translation>Do the same for &amp;all remaining files</translation>
        </message>
        <message>
            <source>置き換える(&amp;R)</source>
            <translation>&amp;Replace</translation>
        </message>
        <message>
            <source>削除する(&amp;D)</source>
            <translation>&amp;Delete</translation>
        </message>
        <message>
            <source>ｽｷｯﾌﾟ(&amp;S)</source>
            <translation>&amp;Skip</translation>
        </message>
        <message>
            <source>'%1' を%2できません: %2元と%2先が同じﾌｧｲﾙです</source>
            <translation>Cannot %2 '%1': the source and the destination are the same file</translation>
        </message>
        <message>
            <source>'%1' を%2できません: %3</source>
            <translation>Cannot %2 '%1': %3</translation>
        </message>
        <message>
            <source>'%1' はﾌｫﾙﾀﾞではありません</source>
            <translation>'%1' is not a folder</translation>
        </message>
        <message>
            <source>'%1' はﾌｧｲﾙではないので%2できません</source>
            <translation>Cannot %2 '%1': it is not a file</translation>
        </message>
        <message>
            <source>'%1' はｺﾋﾟｰ中に変更されました</source>
            <translation>'%1' was changed while it was being copied</translation>
        </message>
        <message>
            <source>'%1' を '%2' へｺﾋﾟｰしましたが、元のﾌｧｲﾙを削除できません: %3</source>
            <translation>Copied '%1' to '%2', but cannot delete the original: %3</translation>
        </message>
        <message>
            <source>'%1' はｺﾋﾟｰ中に変更されたため削除しませんでした。ｺﾋﾟｰ前の内容は '%2' にあります</source>
            <translation>'%1' was changed while it was being copied, so it was kept. The content it had before is in '%2'</translation>
        </message>
        <message>
            <source>%1 ﾊﾞｲﾄ  %2</source>
            <translation>%1 bytes  %2</translation>
        </message>
        <message>
            <source>このﾌｫﾙﾀﾞには既に '%1' という名前のﾌｧｲﾙがあります。

既存のﾌｧｲﾙ:  %2
新しいﾌｧｲﾙ:  %3

置き換えますか?</source>
            <translation>This folder already has a file named '%1'.

Existing file:  %2
New file:  %3

Replace it?</translation>
        </message>
        <message>
            <source>両方残す(&amp;K)</source>
            <translation>&amp;Keep Both</translation>
        </message>
        <message>
            <source>ﾌｧｲﾙは既に '%1' にあります: %2元と%2先が同じﾌｫﾙﾀﾞです</source>
            <translation>The files are already in '%1': the source and the destination are the same folder</translation>
        </message>
    </context>
    <context>
        <name>ImageTypeEntry</name>
        <message>
            <source>全ての画像ﾌｧｲﾙ</source>
            <translation>All image files</translation>
        </message>
    </context>
    <context>
        <name>ItemComparison</name>
        <message>
            <source>名前順</source>
            <translation>By name</translation>
        </message>
        <message>
            <source>種類順</source>
            <translation>By type</translation>
        </message>
        <message>
            <source>サイズ順</source>
            <translation>By size</translation>
        </message>
        <message>
            <source>日時順</source>
            <translation>By date</translation>
        </message>
    </context>
    <context>
        <name>ItemTexts</name>
        <message>
            <source>2色</source>
            <translation>2</translation>
        </message>
        <message>
            <source>16色</source>
            <translation>16</translation>
        </message>
        <message>
            <source>256色</source>
            <translation>256</translation>
        </message>
        <message>
            <source>65536色</source>
            <translation>65,536</translation>
        </message>
        <message>
            <source>1677万色</source>
            <translation>16.7M</translation>
        </message>
    </context>
    <context>
        <name>RegFile</name>
        <message>
            <source>空のﾌｧｲﾙです</source>
            <translation>The file is empty</translation>
        </message>
        <message>
            <source>REGEDIT4 で始まっていません</source>
            <translation>It does not begin with REGEDIT4</translation>
        </message>
        <message>
            <source>UTF-8 の文字として読めません</source>
            <translation>It is not valid UTF-8 text</translation>
        </message>
        <message>
            <source>ｷｰの行が ] で終わっていません</source>
            <translation>A key line does not end with ]</translation>
        </message>
        <message>
            <source>ｷｰの名前が正しくありません</source>
            <translation>Invalid key name</translation>
        </message>
        <message>
            <source>ｷｰの階層が深すぎます</source>
            <translation>Keys are nested too deeply</translation>
        </message>
        <message>
            <source>ｷｰが %1 の下にありません</source>
            <translation>The key is not under %1</translation>
        </message>
        <message>
            <source>値の前にｷｰの行がありません</source>
            <translation>A value comes before any key line</translation>
        </message>
        <message>
            <source>値の名前が正しくありません</source>
            <translation>Invalid value name</translation>
        </message>
        <message>
            <source>値の名前の後に = がありません</source>
            <translation>No = after the value name</translation>
        </message>
        <message>
            <source>文字列の中の \ は \\ と書きます</source>
            <translation>Write \ as \\ inside a string</translation>
        </message>
        <message>
            <source>文字列の値が正しくありません</source>
            <translation>Invalid string value</translation>
        </message>
        <message>
            <source>dword の値が正しくありません</source>
            <translation>Invalid dword value</translation>
        </message>
        <message>
            <source>値の種類が分かりません</source>
            <translation>Unknown value type</translation>
        </message>
        <message>
            <source>hex の値が正しくありません</source>
            <translation>Invalid hex value</translation>
        </message>
        <message>
            <source>hex の種類が正しくありません</source>
            <translation>Invalid hex type</translation>
        </message>
        <message>
            <source>hex の値が途中で終わっています</source>
            <translation>The hex value ends too early</translation>
        </message>
    </context>
    <context>
        <name>RegistryDeleteQuestion</name>
        <message>
            <source>レジストリ情報の削除</source>
            <translation>Delete Saved Settings</translation>
        </message>
        <message>
            <source>レジストリ情報を削除します。
この処理はソフトをアンインストールするときのみ行って下さい。</source>
            <translation>This deletes Pelandor's saved settings.
Do this only when you uninstall Pelandor.</translation>
        </message>
    </context>
    <context>
        <name>SettingsStore</name>
        <message>
            <source>%1: ﾌｫﾙﾀﾞを作れません</source>
            <translation>%1: cannot create the folder</translation>
        </message>
        <message>
            <source>%1: 他の Pelandor が使用中です</source>
            <translation>%1: in use by another Pelandor</translation>
        </message>
        <message>
            <source>設定ﾌｧｲﾙ '%1' の %2 行目が読めません (%3)</source>
            <translation>Cannot read line %2 of the settings file '%1' (%3)</translation>
        </message>
        <message>
            <source>
'%1' に移すこともできません</source>
            <translation>
It cannot be moved to '%1' either</translation>
        </message>
        <message>
            <source>。
このﾌｧｲﾙは '%1' に残し、新しい設定ﾌｧｲﾙを作ります。</source>
            <translation>.
The file is kept as '%1' and a new settings file is made.</translation>
        </message>
        <message>
            <source>%1: ﾛｯｸﾌｧｲﾙを作れません</source>
            <translation>%1: cannot create the lock file</translation>
        </message>
        <message>
            <source>%1: ﾛｯｸﾌｧｲﾙを作る権限がありません</source>
            <translation>%1: no permission to create the lock file</translation>
        </message>
        <message>
            <source>設定ﾌｧｲﾙ '%1' のﾌｫﾙﾀﾞに書き込めないため、設定の変更は保存できません</source>
            <translation>The folder of the settings file '%1' cannot be written, so changes to the settings cannot be saved</translation>
        </message>
    </context>
    <context>
        <name>ToolStore</name>
        <message>
            <source>'%1' の設定に失敗しました</source>
            <translation>Cannot set '%1'</translation>
        </message>
        <message>
            <source>'%1' の取得に失敗しました</source>
            <translation>Cannot read '%1'</translation>
        </message>
        <message>
            <source>'%1' のﾃﾞｰﾀ型が不正です</source>
            <translation>'%1' has the wrong data type</translation>
        </message>
        <message>
            <source>外部ﾂｰﾙの設定を最後まで読めなかったため、保存しません (読めなかったﾂｰﾙが失われます)</source>
            <translation>The external tools could not be read to the end, so they are not saved (the tools not read would be lost)</translation>
        </message>
    </context>
    <context>
        <name>WallpaperSetter</name>
        <message>
            <source>このデスクトップ環境では壁紙を設定できません</source>
            <translation>The wallpaper cannot be set on this desktop</translation>
        </message>
        <message>
            <source>このデスクトップ環境 (%1) では壁紙を設定できません</source>
            <translation>The wallpaper cannot be set on this desktop (%1)</translation>
        </message>
        <message>
            <source>Xfce の背景の設定が見つからないため、壁紙を設定できません</source>
            <translation>The wallpaper cannot be set: Xfce's background settings were not found</translation>
        </message>
        <message>
            <source>壁紙を設定できません (%1: %2)</source>
            <translation>Cannot set the wallpaper (%1: %2)</translation>
        </message>
    </context>
    <context>
        <name>pelandor::FileListModel</name>
        <message>
            <source>ﾌｧｲﾙ名</source>
            <translation>Name</translation>
        </message>
        <message>
            <source>ﾌｧｲﾙの種類</source>
            <translation>Type</translation>
        </message>
        <message>
            <source>ﾌｧｲﾙｻｲｽﾞ</source>
            <translation>Size</translation>
        </message>
        <message>
            <source>ﾌｧｲﾙ日時</source>
            <translation>Date</translation>
        </message>
        <message>
            <source>画像ｻｲｽﾞ</source>
            <translation>Dimensions</translation>
        </message>
        <message>
            <source>色数</source>
            <translation>Colours</translation>
        </message>
        <message>
            <source>読み込み中</source>
            <translation>Reading…</translation>
        </message>
    </context>
    <context>
        <name>pelandor::TExtToolsDialog</name>
        <message>
            <source>外部ﾂｰﾙの設定</source>
            <translation>External Tools</translation>
        </message>
        <message>
            <source>追加</source>
            <translation>Add</translation>
        </message>
        <message>
            <source>編集</source>
            <translation>Edit</translation>
        </message>
        <message>
            <source>削除</source>
            <translation>Delete</translation>
        </message>
        <message>
            <source>ｷｬﾝｾﾙ</source>
            <translation>Cancel</translation>
        </message>
    </context>
    <context>
        <name>pelandor::TMainWindow</name>
        <message>
            <source>読込み</source>
            <translation>Read</translation>
        </message>
        <message>
            <source>中止</source>
            <translation>Stop</translation>
        </message>
        <message>
            <source>サムネイル表示</source>
            <translation>Thumbnails</translation>
        </message>
        <message>
            <source>画像情報一覧</source>
            <translation>Details</translation>
        </message>
        <message>
            <source>名前でｿｰﾄ</source>
            <translation>Sort by Name</translation>
        </message>
        <message>
            <source>種類でｿｰﾄ</source>
            <translation>Sort by Type</translation>
        </message>
        <message>
            <source>ｻｲｽﾞでｿｰﾄ</source>
            <translation>Sort by Size</translation>
        </message>
        <message>
            <source>日時でｿｰﾄ</source>
            <translation>Sort by Date</translation>
        </message>
        <message>
            <source>昇順</source>
            <translation>Ascending</translation>
        </message>
        <message>
            <source>降順</source>
            <translation>Descending</translation>
        </message>
        <message>
            <source>ﾌｧｲﾙ(&amp;F)</source>
            <translation>&amp;File</translation>
        </message>
        <message>
            <source>ﾌｧｲﾙｺﾋﾟｰ(&amp;C)</source>
            <translation>&amp;Copy Files…</translation>
        </message>
        <message>
            <source>ﾌｧｲﾙ移動(&amp;M)</source>
            <translation>&amp;Move Files…</translation>
        </message>
        <message>
            <source>ﾌｧｲﾙ削除(&amp;D)</source>
            <translation>&amp;Delete Files</translation>
        </message>
        <message>
            <source>ﾚｼﾞｽﾄﾘ情報の削除(&amp;R)</source>
            <translation>Delete Saved &amp;Settings…</translation>
        </message>
        <message>
            <source>終了(&amp;X)</source>
            <translation>E&amp;xit</translation>
        </message>
        <message>
            <source>表示(&amp;V)</source>
            <translation>&amp;View</translation>
        </message>
        <message>
            <source>読込み(&amp;R)</source>
            <translation>&amp;Read</translation>
        </message>
        <message>
            <source>中止(&amp;C)</source>
            <translation>S&amp;top</translation>
        </message>
        <message>
            <source>表示形式(&amp;S)</source>
            <translation>&amp;Layout</translation>
        </message>
        <message>
            <source>サムネイル(&amp;S)</source>
            <translation>&amp;Thumbnails</translation>
        </message>
        <message>
            <source>画像情報一覧(&amp;I)</source>
            <translation>&amp;Details</translation>
        </message>
        <message>
            <source>並び替え(&amp;S)</source>
            <translation>&amp;Sort</translation>
        </message>
        <message>
            <source>名前順(&amp;N)</source>
            <translation>By &amp;Name</translation>
        </message>
        <message>
            <source>種類順(&amp;T)</source>
            <translation>By &amp;Type</translation>
        </message>
        <message>
            <source>サイズ順(&amp;S)</source>
            <translation>By &amp;Size</translation>
        </message>
        <message>
            <source>日時順(&amp;D)</source>
            <translation>By &amp;Date</translation>
        </message>
        <message>
            <source>昇順(&amp;U)</source>
            <translation>&amp;Ascending</translation>
        </message>
        <message>
            <source>降順(&amp;D)</source>
            <translation>D&amp;escending</translation>
        </message>
        <message>
            <source>ﾋﾞｭｰｱ表示(&amp;V)</source>
            <translation>Open in &amp;Viewer</translation>
        </message>
        <message>
            <source>ｵﾌﾟｼｮﾝ(&amp;O)</source>
            <translation>&amp;Options</translation>
        </message>
        <message>
            <source>外部ﾂｰﾙの設定(&amp;T)</source>
            <translation>External &amp;Tools…</translation>
        </message>
        <message>
            <source>ﾍﾙﾌﾟ(&amp;H)</source>
            <translation>&amp;Help</translation>
        </message>
        <message>
            <source>ﾊﾞｰｼﾞｮﾝ情報(&amp;A)</source>
            <translation>&amp;About Pelandor</translation>
        </message>
        <message>
            <source>ﾋﾞｭｰｱ表示</source>
            <translation>Open in Viewer</translation>
        </message>
        <message>
            <source>ﾘﾌﾚｯｼｭ</source>
            <translation>Refresh</translation>
        </message>
        <message>
            <source>画像ｺﾋﾟｰ</source>
            <translation>Copy Image</translation>
        </message>
        <message>
            <source>ﾌｧｲﾙｺﾋﾟｰ</source>
            <translation>Copy Files…</translation>
        </message>
        <message>
            <source>ﾌｧｲﾙ移動</source>
            <translation>Move Files…</translation>
        </message>
        <message>
            <source>ﾌｧｲﾙ削除</source>
            <translation>Delete Files</translation>
        </message>
        <message>
            <source>ﾊﾞｰｼﾞｮﾝ情報</source>
            <translation>About Pelandor</translation>
        </message>
        <message>
            <source>ﾌｫﾙﾀﾞ '%1' を読めません: %2</source>
            <translation>Cannot read the folder '%1': %2</translation>
        </message>
        <message>
            <source>'%1' が見つかりません</source>
            <translation>'%1' not found</translation>
        </message>
        <message>
            <source>中断</source>
            <translation>Stopped</translation>
        </message>
        <message>
            <source>実行中の処理が終わるまでお待ち下さい</source>
            <translation>Please wait until the running command has finished</translation>
        </message>
    </context>
    <context>
        <name>pelandor::TSpi</name>
        <message>
            <source>PluginがLoadされていません(%1)</source>
            <translation>Plug-in not loaded (%1)</translation>
        </message>
    </context>
    <context>
        <name>pelandor::TToolInfoDialog</name>
        <message>
            <source>登録ﾂｰﾙ情報</source>
            <translation>Tool</translation>
        </message>
        <message>
            <source>登録名</source>
            <translation>Name</translation>
        </message>
        <message>
            <source>実行ファイル</source>
            <translation>Program</translation>
        </message>
        <message>
            <source>ｷｬﾝｾﾙ</source>
            <translation>Cancel</translation>
        </message>
        <message>
            <source>参照</source>
            <translation>Browse…</translation>
        </message>
        <message>
            <source>実行ﾌｧｲﾙ (*);;ﾌﾟﾛｸﾞﾗﾑﾌｧｲﾙ (*.exe);;全てのﾌｧｲﾙ (*)</source>
            <translation>Programs (*);;Windows programs (*.exe);;All files (*)</translation>
        </message>
    </context>
    <context>
        <name>pelandor::TViewWindow</name>
        <message>
            <source>ﾋﾞｯﾄﾏｯﾌﾟﾌｧｲﾙ (*.bmp)</source>
            <translation>Bitmap files (*.bmp)</translation>
        </message>
        <message>
            <source>JPEGﾌｧｲﾙ (*.jpg)</source>
            <translation>JPEG files (*.jpg)</translation>
        </message>
        <message>
            <source>閉じる</source>
            <translation>Close</translation>
        </message>
        <message>
            <source>ﾌｧｲﾙに保存</source>
            <translation>Save As</translation>
        </message>
        <message>
            <source>BMP形式</source>
            <translation>BMP…</translation>
        </message>
        <message>
            <source>JPEG形式</source>
            <translation>JPEG…</translation>
        </message>
        <message>
            <source>壁紙に設定</source>
            <translation>Set as Wallpaper</translation>
        </message>
        <message>
            <source>全体</source>
            <translation>Tiled</translation>
        </message>
        <message>
            <source>中央</source>
            <translation>Centred</translation>
        </message>
    </context>
</TS>
<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>TFormEditServer</name>
    <message>
        <source>服务器显示名称:</source>
        <translation>Display name:</translation>
    </message>
    <message>
        <source>服务器名称:</source>
        <translation>Server:</translation>
    </message>
    <message>
        <source>服务器地址:</source>
        <translation>Address:</translation>
    </message>
    <message>
        <source>服务器端口:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>所属服务器分组:</source>
        <translation>Group:</translation>
    </message>
    <message>
        <source>确定(&amp;O)</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>取消(&amp;X)</source>
        <translation>&amp;Cancel</translation>
    </message>
</context>
<context>
    <name>TFormEditUpData</name>
    <message>
        <source>MD5值计算(支持文件托放)</source>
        <translation>MD5 digest (drop a file here)</translation>
    </message>
    <message>
        <source>文件名：</source>
        <translation>File:</translation>
    </message>
    <message>
        <source>MD5值：</source>
        <translation>MD5:</translation>
    </message>
    <message>
        <source>更新提示:</source>
        <translation>Hint:</translation>
    </message>
    <message>
        <source>是否解压:</source>
        <translation>Unzip:</translation>
    </message>
    <message>
        <source>解压只支持Zip格式</source>
        <translation>Only Zip archives are unpacked.</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>下载地址:</source>
        <translation>URL:</translation>
    </message>
    <message>
        <source>更新文件下载地址。</source>
        <translation>Where the update file is downloaded from.</translation>
    </message>
    <message>
        <source>直接下载</source>
        <translation>Direct</translation>
    </message>
    <message>
        <source>百度相册</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>保存位置:</source>
        <translation>Folder:</translation>
    </message>
    <message>
        <source>文件更新后保存文件夹位置，例如：要保存到登录器所在的 Data 文件夹下就填  .\Data\ 既可</source>
        <translation>The folder the updated file is saved in: for the Data folder beside the launcher, enter .\Data\</translation>
    </message>
    <message>
        <source>保存文件名:</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>下载完成后，保存文件名称设置。</source>
        <translation>The name the downloaded file is saved under.</translation>
    </message>
    <message>
        <source>检测模式:</source>
        <translation>Check:</translation>
    </message>
    <message>
        <source>版本号(未完成)</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>是否存在</source>
        <translation>Exists</translation>
    </message>
    <message>
        <source>PAK文件(未完成)</source>
        <translation>PAK file</translation>
    </message>
    <message>
        <source>MD5值</source>
        <translation>MD5</translation>
    </message>
    <message>
        <source>版本号:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>当客户端保存的升级版本低于该版本号时，自动更新该文件。建议每一项都使用不同的版本号。</source>
        <translation>The file is updated when the version that the player&apos;s launcher recorded is lower than this one. Best give every entry a version of its own.</translation>
    </message>
    <message>
        <source>下载效验:</source>
        <translation>Verify:</translation>
    </message>
    <message>
        <source>确定(&amp;O)</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>取消(&amp;X)</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>填入效验(&amp;F)</source>
        <translation>&amp;Fill in</translation>
    </message>
    <message>
        <source>把这个文件的MD5值填入下载效验；不解压的更新项同时填入文件MD5值，签名的服务器列表就固定了这个下载。</source>
        <translation>Puts this file&apos;s MD5 into Verify, and into File MD5 too when the entry is no zip: a signed server list then pins this download.</translation>
    </message>
</context>
<context>
    <name>TFormMain</name>
    <message>
        <source>Velmora登录器配置器</source>
        <translation>Velmora Launcher Configurator</translation>
    </message>
    <message>
        <source>服务器列表</source>
        <translation>Server list</translation>
    </message>
    <message>
        <source>服务器设置</source>
        <translation>Servers</translation>
    </message>
    <message>
        <source>分组设置</source>
        <translation>Groups</translation>
    </message>
    <message>
        <source>分组列表:</source>
        <translation>Group:</translation>
    </message>
    <message>
        <source>分组上移</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>分组下移</source>
        <translation>Down</translation>
    </message>
    <message>
        <source>增加分组</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>删除分组</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>服务器组,显示名称,服务器名称,服务器地址,端口</source>
        <translation>Group,Display name,Server name,Address,Port</translation>
    </message>
    <message>
        <source>增加(&amp;A)</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>修改(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>删除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>上移</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>下移</source>
        <translation>Down</translation>
    </message>
    <message>
        <source>网页设置</source>
        <translation>Web pages</translation>
    </message>
    <message>
        <source>登录器设置</source>
        <translation>Launcher pages</translation>
    </message>
    <message>
        <source>登录器窗口:</source>
        <translation>Launcher:</translation>
    </message>
    <message>
        <source>官方网站:</source>
        <translation>Home:</translation>
    </message>
    <message>
        <source>充值中心:</source>
        <translation>Top-up:</translation>
    </message>
    <message>
        <source>游戏内网页地址</source>
        <translation>In-game pages</translation>
    </message>
    <message>
        <source>联系GM按扭:</source>
        <translation>Contact GM:</translation>
    </message>
    <message>
        <source>充值按扭:</source>
        <translation>Payment:</translation>
    </message>
    <message>
        <source>数据更新设置</source>
        <translation>Updates</translation>
    </message>
    <message>
        <source>更新列表</source>
        <translation>Update list</translation>
    </message>
    <message>
        <source>更新提示,保存位置,保存文件名,下载地址,解压,检测,下载,时间,版本号,MD5,下载效验</source>
        <translation>Hint,Folder,File name,URL,Unzip,Check,Via,Date,Version,MD5,Verify</translation>
    </message>
    <message>
        <source>保存配置信息(&amp;S)</source>
        <translation>&amp;Save settings</translation>
    </message>
    <message>
        <source>建议保存，方便下次更新使用。</source>
        <translation>Save, so that the next update starts from these settings.</translation>
    </message>
    <message>
        <source>生成配置文件(&amp;W)</source>
        <translation>&amp;Write server info</translation>
    </message>
    <message>
        <source>游戏登录器</source>
        <translation>Game launcher</translation>
    </message>
    <message>
        <source>基本信息</source>
        <translation>Basics</translation>
    </message>
    <message>
        <source>游戏名字：</source>
        <translation>Game name:</translation>
    </message>
    <message>
        <source>列表地址：</source>
        <translation>List URL:</translation>
    </message>
    <message>
        <source>生成登录器</source>
        <translation>Generate</translation>
    </message>
    <message>
        <source>游戏客户端</source>
        <translation>Game client</translation>
    </message>
    <message>
        <source>启动命令：</source>
        <translation>Command:</translation>
    </message>
    <message>
        <source>留空则登录器不启动游戏。程序须是登录器文件夹中的 .exe，参数中可用 %addr% %port% %name% %group%。这一栏不随配置保存。</source>
        <translation>Empty: the launcher starts no game. The program must be an .exe in the launcher&apos;s folder; the arguments may use %addr% %port% %name% %group%. Not saved with the configuration.</translation>
    </message>
    <message>
        <source>签名</source>
        <translation>Signing</translation>
    </message>
    <message>
        <source>创建签名密钥(&amp;K)</source>
        <translation>Create &amp;key</translation>
    </message>
    <message>
        <source>导出密钥备份(&amp;E)</source>
        <translation>&amp;Export backup</translation>
    </message>
    <message>
        <source>发布(&amp;P)...</source>
        <translation>Publish(&amp;P)...</translation>
    </message>
</context>
<context>
    <name>Tarnwick</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>增加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>请输入你要增加的服务器分组:</source>
        <translation>Name of the server group to add:</translation>
    </message>
    <message>
        <source>增加服务器列表</source>
        <translation>Add a server</translation>
    </message>
    <message>
        <source>修改服务器列表</source>
        <translation>Edit the server</translation>
    </message>
    <message>
        <source>增加更新列表</source>
        <translation>Add an update</translation>
    </message>
    <message>
        <source>修改更新列表</source>
        <translation>Edit the update</translation>
    </message>
    <message>
        <source>配置信息已修改，是否保存？</source>
        <translation>The settings have changed. Save them?</translation>
    </message>
    <message>
        <source>版本号:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>PAK更新时间:</source>
        <translation>PAK date:</translation>
    </message>
    <message>
        <source>文件MD5值:</source>
        <translation>File MD5:</translation>
    </message>
    <message>
        <source>保存(&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>不保存(&amp;N)</source>
        <translation>Do&amp;n&apos;t save</translation>
    </message>
    <message>
        <source>提示信息</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>错误提示</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>服务器分组内容不能为空!</source>
        <translation>The group name must not be empty.</translation>
    </message>
    <message>
        <source>该分组已存在！</source>
        <translation>This group exists already.</translation>
    </message>
    <message>
        <source>请先选择你要删除的分组信息!</source>
        <translation>Choose the group to delete first.</translation>
    </message>
    <message>
        <source>请选择好分组</source>
        <translation>Choose a group first.</translation>
    </message>
    <message>
        <source>该分组已经在最顶层</source>
        <translation>It is at the top already.</translation>
    </message>
    <message>
        <source>该分组已经在最底层</source>
        <translation>It is at the bottom already.</translation>
    </message>
    <message>
        <source>服务器显示名称不能为空!</source>
        <translation>The display name must not be empty.</translation>
    </message>
    <message>
        <source>服务器名称不能为空!</source>
        <translation>The server name must not be empty.</translation>
    </message>
    <message>
        <source>服务器地址不能为空!</source>
        <translation>The server address must not be empty.</translation>
    </message>
    <message>
        <source>请选择服务器分组!</source>
        <translation>Choose the server&apos;s group.</translation>
    </message>
    <message>
        <source>请先选择你要修改的服务器信息!</source>
        <translation>Choose the server to edit first.</translation>
    </message>
    <message>
        <source>请先选择你要删除的服务器信息!</source>
        <translation>Choose the server to delete first.</translation>
    </message>
    <message>
        <source>这两台服务器属于不同分组，保存时各分组的服务器分开写入，保存的顺序不会改变</source>
        <translation>These two servers belong to different groups. Each group&apos;s servers are saved together, so the saved order would not change.</translation>
    </message>
    <message>
        <source>更新提示不能为空!</source>
        <translation>The hint must not be empty.</translation>
    </message>
    <message>
        <source>下载不能为空!</source>
        <translation>The download address must not be empty.</translation>
    </message>
    <message>
        <source>保存位置不能为空!</source>
        <translation>The folder must not be empty.</translation>
    </message>
    <message>
        <source>保存文件名不能为空!</source>
        <translation>The file name must not be empty.</translation>
    </message>
    <message>
        <source>请先选择你要修改的更新信息!</source>
        <translation>Choose the update entry to edit first.</translation>
    </message>
    <message>
        <source>请先选择你要删除的更新信息!</source>
        <translation>Choose the update entry to delete first.</translation>
    </message>
    <message>
        <source>网页地址不能为空!（空地址不会被重新载入，发布的将是默认地址）</source>
        <translation>The web page address must not be empty. (An empty address is not loaded again: the default address would be published.)</translation>
    </message>
    <message>
        <source>保存配置成功完成！</source>
        <translation>The settings were saved.</translation>
    </message>
    <message>
        <source>生成配置成功完成！</source>
        <translation>ServerInfo.txt was written.</translation>
    </message>
    <message>
        <source>登录器生成成功！</source>
        <translation>The launcher was generated.</translation>
    </message>
    <message>
        <source>登录器设置文件最多可有 65,536 字节</source>
        <translation>a launcher settings file may be at most 65,536 bytes</translation>
    </message>
    <message>
        <source>它不是登录器设置（应为 JSON 对象）</source>
        <translation>it holds no launcher settings (a JSON object is expected)</translation>
    </message>
    <message>
        <source>“%1”不是文本</source>
        <translation>&quot;%1&quot; is not text</translation>
    </message>
    <message>
        <source>“%1”含有 GBK 无法表示的字符</source>
        <translation>&quot;%1&quot; holds characters that GBK cannot represent</translation>
    </message>
    <message>
        <source>登录器设置文件“%1”无法使用：%2</source>
        <translation>The launcher settings file &quot;%1&quot; cannot be used: %2</translation>
    </message>
    <message>
        <source>%1%2登录器页使用初始值；这个文件保持原样，直到登录器设置被改动时才被替换。</source>
        <translation>%1%2The launcher tab starts with the initial values; the file is left as it is until a launcher setting changes.</translation>
    </message>
    <message>
        <source>登录器设置无法保存在工作文件夹中，下次启动时不会被记住：%1</source>
        <translation>The launcher settings cannot be kept in the working folder, so the next start will not remember them: %1</translation>
    </message>
    <message>
        <source>%1%2已写入：%3</source>
        <translation>%1%2Written: %3</translation>
    </message>
    <message>
        <source>无法在文件管理器中打开工作文件夹“%1”。</source>
        <translation>The working folder &quot;%1&quot; could not be opened in the file manager.</translation>
    </message>
    <message>
        <source>在文件管理器中打开工作文件夹</source>
        <translation>Open the working folder in the file manager</translation>
    </message>
    <message>
        <source>工作文件夹：%1</source>
        <translation>Working folder: %1</translation>
    </message>
    <message>
        <source>游戏名字不能留空！</source>
        <translation>The game name must not be empty.</translation>
    </message>
    <message>
        <source>列表地址不能留空！</source>
        <translation>The list address must not be empty.</translation>
    </message>
    <message>
        <source>登录器映像中没有游戏客户端(GameClient)的位置，未生成登录器！</source>
        <translation>The launcher image has no place for the game client (GameClient): no launcher was generated.</translation>
    </message>
    <message>
        <source>游戏客户端命令太长，登录器映像中放不下，未生成登录器！</source>
        <translation>The game client command is too long for the launcher image: no launcher was generated.</translation>
    </message>
    <message>
        <source>生成登录器失败(无法删除旧文件)！</source>
        <translation>The launcher was not generated (the old file could not be deleted).</translation>
    </message>
    <message>
        <source>没有权限</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>文件或文件夹不存在</source>
        <translation>No such file or directory</translation>
    </message>
    <message>
        <source>文件正被另一个程序使用</source>
        <translation>The file is in use by another program</translation>
    </message>
    <message>
        <source>无法打开文件“%1”。%2</source>
        <translation>Cannot open file &quot;%1&quot;. %2</translation>
    </message>
    <message>
        <source>无法创建文件“%1”。%2</source>
        <translation>Cannot create file &quot;%1&quot;. %2</translation>
    </message>
    <message>
        <source>无法读取文件“%1”。%2</source>
        <translation>Cannot read file &quot;%1&quot;. %2</translation>
    </message>
    <message>
        <source>文件比预期的短</source>
        <translation>The file ended before its expected size</translation>
    </message>
    <message>
        <source>无法读取文档</source>
        <translation>The document could not be read</translation>
    </message>
    <message>
        <source>%1%2行：%3%2%4</source>
        <translation>%1%2Line: %3%2%4</translation>
    </message>
    <message>
        <source>文档中有不是 GBK 文字的字节</source>
        <translation>The document holds bytes that are not GBK text</translation>
    </message>
    <message>
        <source>文档的格式不正确</source>
        <translation>The document is not well-formed</translation>
    </message>
    <message>
        <source>无法在文件夹“%1”中工作。%2</source>
        <translation>Cannot work in folder &quot;%1&quot;. %2</translation>
    </message>
    <message>
        <source>找不到本程序自己的文件夹：XDG_DATA_HOME 和 HOME 都不是绝对路径。请给出要在其中工作的文件夹：tarnwick 文件夹</source>
        <translation>Cannot find a folder of its own: neither XDG_DATA_HOME nor HOME names an absolute folder. Give the folder to work in: tarnwick FOLDER</translation>
    </message>
    <message>
        <source>是否确定删除分组[%1]信息？%2将会同时删除所有该组的服务器列表!</source>
        <translation>Delete the group [%1]?%2All servers of this group are deleted with it.</translation>
    </message>
    <message>
        <source>%1%2原来的 Tarnwick.xml 载入时未能完整读取，覆盖前已另存为：%2%3</source>
        <translation>%1%2The old Tarnwick.xml did not load whole; before it was replaced, it was kept as:%2%3</translation>
    </message>
    <message>
        <source>分组%1重名：保存时它的服务器会在每个同名分组下各写一次，再次载入后服务器会成倍增加。%2请删除多余的同名分组。</source>
        <translation>The group name %1 is used more than once: saving writes its servers once under every group of that name, so they multiply each time the file is loaded again.%2Delete the extra groups of that name.</translation>
    </message>
    <message>
        <source>Tarnwick.xml 正被另一个程序使用：%1。%2为免覆盖它的修改，本窗口不打开这个文件夹；请关闭那个程序后再试。</source>
        <translation>Tarnwick.xml is in use by another program: %1.%2So as not to overwrite its changes, this window does not open the folder; close that program and try again.</translation>
    </message>
    <message>
        <source>文件不是有效的 Windows 可执行文件：%1</source>
        <translation>The file is not a valid Windows executable: %1</translation>
    </message>
    <message>
        <source>%1位于文件之外</source>
        <translation>%1 lies outside the file</translation>
    </message>
    <message>
        <source>要写入的一个 16 位字段位于文件之外</source>
        <translation>a 16-bit field written lies outside the file</translation>
    </message>
    <message>
        <source>要写入的一个 32 位字段位于文件之外</source>
        <translation>a 32-bit field written lies outside the file</translation>
    </message>
    <message>
        <source>这个名字不能用作文件名（不能含有 \ / : * ? &quot; &lt; &gt; | 或控制字符，也不能是“.”或“..”）。</source>
        <translation>The name is not allowed as a file name (it may not hold \ / : * ? &quot; &lt; &gt; | or control characters, nor be &quot;.&quot; or &quot;..&quot;).</translation>
    </message>
    <message>
        <source>找不到资源 %1</source>
        <translation>Resource %1 not found</translation>
    </message>
    <message>
        <source>DOS 头</source>
        <translation>the DOS header</translation>
    </message>
    <message>
        <source>没有 MZ 签名</source>
        <translation>no MZ signature</translation>
    </message>
    <message>
        <source>PE 签名</source>
        <translation>the PE signature</translation>
    </message>
    <message>
        <source>没有 PE 签名</source>
        <translation>no PE signature</translation>
    </message>
    <message>
        <source>文件头</source>
        <translation>the file header</translation>
    </message>
    <message>
        <source>节太多</source>
        <translation>too many sections</translation>
    </message>
    <message>
        <source>可选头</source>
        <translation>the optional header</translation>
    </message>
    <message>
        <source>可选头的标识未知</source>
        <translation>unknown optional header magic</translation>
    </message>
    <message>
        <source>可选头太短</source>
        <translation>the optional header is too short</translation>
    </message>
    <message>
        <source>节或文件的对齐值不是 2 的幂</source>
        <translation>the section or file alignment is not a power of two</translation>
    </message>
    <message>
        <source>一个数据目录</source>
        <translation>a data directory</translation>
    </message>
    <message>
        <source>节表</source>
        <translation>the section table</translation>
    </message>
    <message>
        <source>节 %1 超出了文件的结尾</source>
        <translation>section %1 extends past the end of the file</translation>
    </message>
    <message>
        <source>可执行文件最多可有 4,294,967,295 字节（4 GiB）</source>
        <translation>an executable can be at most 4,294,967,295 bytes (4 GiB)</translation>
    </message>
    <message>
        <source>资源目录位于各节之外</source>
        <translation>the resource directory lies outside the sections</translation>
    </message>
    <message>
        <source>一个资源目录</source>
        <translation>a resource directory</translation>
    </message>
    <message>
        <source>资源目录多次引用同一个表</source>
        <translation>the resource directory refers to its tables more than once</translation>
    </message>
    <message>
        <source>一个资源目录条目</source>
        <translation>a resource directory entry</translation>
    </message>
    <message>
        <source>一个资源数据条目</source>
        <translation>a resource data entry</translation>
    </message>
    <message>
        <source>资源数据位于各节之外</source>
        <translation>resource data lies outside the sections</translation>
    </message>
    <message>
        <source>一个资源名称</source>
        <translation>a resource name</translation>
    </message>
    <message>
        <source>一个资源类型或名称条目含有数据而不是目录</source>
        <translation>a resource type or name entry holds data instead of a directory</translation>
    </message>
    <message>
        <source>一个资源语言条目含有目录而不是数据</source>
        <translation>a resource language entry holds a directory instead of data</translation>
    </message>
    <message>
        <source>资源放不进一个资源节</source>
        <translation>The resources do not fit a resource section</translation>
    </message>
    <message>
        <source>一个资源目录中的条目太多</source>
        <translation>Too many entries in one resource directory</translation>
    </message>
    <message>
        <source>资源语言用字符串命名</source>
        <translation>a resource language is named by a string</translation>
    </message>
    <message>
        <source>资源名称太长</source>
        <translation>A resource name is too long</translation>
    </message>
    <message>
        <source>调试目录位于各节之外</source>
        <translation>the debug directory lies outside the sections</translation>
    </message>
    <message>
        <source>调试目录</source>
        <translation>the debug directory</translation>
    </message>
    <message>
        <source>可执行文件将超过 4 GB</source>
        <translation>The executable would grow beyond 4 GB</translation>
    </message>
    <message>
        <source>版本信息的格式不正确：%1</source>
        <translation>The version information is malformed: %1</translation>
    </message>
    <message>
        <source>一个版本条目</source>
        <translation>a version entry</translation>
    </message>
    <message>
        <source>一个条目的长度超出了它的上级</source>
        <translation>an entry&apos;s length does not fit its parent</translation>
    </message>
    <message>
        <source>一个条目的名称没有结束符</source>
        <translation>an entry&apos;s name has no terminator</translation>
    </message>
    <message>
        <source>一个版本条目的名称</source>
        <translation>a version entry&apos;s name</translation>
    </message>
    <message>
        <source>条目嵌套太深</source>
        <translation>entries are nested too deeply</translation>
    </message>
    <message>
        <source>一个版本值</source>
        <translation>a version value</translation>
    </message>
    <message>
        <source>语言与代码页表</source>
        <translation>the translation table</translation>
    </message>
    <message>
        <source>文件“%1”有 %2 字节；%3</source>
        <translation>The file &quot;%1&quot; is %2 bytes long; %3</translation>
    </message>
    <message>
        <source>写入数据流出错：%1</source>
        <translation>Stream write error: %1</translation>
    </message>
    <message>
        <source>无法锁定文件“%1”。%2</source>
        <translation>Cannot lock file &quot;%1&quot;. %2</translation>
    </message>
    <message>
        <source>这个文件夹所在的文件系统不能锁定文件（是不支持锁定的网络共享吗？）：%1</source>
        <translation>The file system of this folder cannot lock files (a network share without lock support?): %1</translation>
    </message>
    <message>
        <source>这不是普通文件</source>
        <translation>It is not a regular file</translation>
    </message>
    <message>
        <source>文档最多可有 1,073,741,824 字节（1 GiB）</source>
        <translation>a document may be at most 1,073,741,824 bytes (1 GiB)</translation>
    </message>
    <message>
        <source>无法将类型 (%1) 的值转换为类型 (%2)</source>
        <translation>Could not convert variant of type (%1) into type (%2)</translation>
    </message>
    <message>
        <source>文档中有 GBK 无法表示的字符 %1</source>
        <translation>The document holds the character %1, which GBK cannot represent</translation>
    </message>
    <message>
        <source>文档中有 GBK 无法表示的字符</source>
        <translation>The document holds a character that GBK cannot represent</translation>
    </message>
    <message>
        <source>Loginframe 的文字</source>
        <translation>the text of Loginframe</translation>
    </message>
    <message>
        <source>ContactGM 的文字</source>
        <translation>the text of ContactGM</translation>
    </message>
    <message>
        <source>Payment 的文字</source>
        <translation>the text of Payment</translation>
    </message>
    <message>
        <source>Payment2 的文字</source>
        <translation>the text of Payment2</translation>
    </message>
    <message>
        <source>Home 的文字</source>
        <translation>the text of Home</translation>
    </message>
    <message>
        <source>有一段文字长于 10,000,000 字节，即文档中一段内容最多可有的长度</source>
        <translation>A text value is longer than 10,000,000 bytes, the most that one piece of a document may hold</translation>
    </message>
    <message>
        <source>元素不是只含一个文字节点</source>
        <translation>Element does not contain a single text node</translation>
    </message>
    <message>
        <source>分组的 Name</source>
        <translation>the Name of a Group</translation>
    </message>
    <message>
        <source>服务器的 Name</source>
        <translation>the Name of a Server</translation>
    </message>
    <message>
        <source>Child 的文字</source>
        <translation>the text of a Child</translation>
    </message>
    <message>
        <source>Child 的 Addrs</source>
        <translation>the Addrs of a Child</translation>
    </message>
    <message>
        <source>Child 的 Port</source>
        <translation>the Port of a Child</translation>
    </message>
    <message>
        <source>Config 的文字</source>
        <translation>the text of a Config</translation>
    </message>
    <message>
        <source>Config 的 SDir</source>
        <translation>the SDir of a Config</translation>
    </message>
    <message>
        <source>Config 的 FName</source>
        <translation>the FName of a Config</translation>
    </message>
    <message>
        <source>Config 的 DUrl</source>
        <translation>the DUrl of a Config</translation>
    </message>
    <message>
        <source>值 %1 含有控制字符 %2，XML 文档不能含有它</source>
        <translation>The value %1 holds the control character %2, which an XML document cannot hold</translation>
    </message>
    <message>
        <source>值 %1 含有不是 GBK 文字的字节，无法写入</source>
        <translation>The value %1 holds bytes that are not GBK text, so it cannot be written</translation>
    </message>
    <message>
        <source>没有问题</source>
        <translation>nothing</translation>
    </message>
    <message>
        <source>它含有“&lt;”到“{”以外的字符，编码从不写出这样的字符</source>
        <translation>it holds a character outside &quot;&lt;&quot; to &quot;{&quot;, which the encoding never writes</translation>
    </message>
    <message>
        <source>它的长度不是编码会得出的长度</source>
        <translation>its length is not one that the encoding gives</translation>
    </message>
    <message>
        <source>它的最后一个字符中有编码不会置上的位</source>
        <translation>its last character has bits set that the encoding leaves clear</translation>
    </message>
    <message>
        <source>它比任何编码后的值都短</source>
        <translation>it is shorter than any encoded value</translation>
    </message>
    <message>
        <source>它的长度字节与它的长度不符</source>
        <translation>its length byte does not match its length</translation>
    </message>
    <message>
        <source>它的压缩流的开头与编码器写出的不同</source>
        <translation>its compressed stream does not start as the encoder&apos;s do</translation>
    </message>
    <message>
        <source>它的压缩数据已损坏</source>
        <translation>its compressed data is broken</translation>
    </message>
    <message>
        <source>它的压缩数据没有到结尾就中断了</source>
        <translation>its compressed data stops before its end</translation>
    </message>
    <message>
        <source>它的压缩数据结束后还有字节</source>
        <translation>bytes follow the end of its compressed data</translation>
    </message>
    <message>
        <source>它的校验和与内容不符</source>
        <translation>its checksum does not match its contents</translation>
    </message>
    <message>
        <source>它解码后多于 10,240 字节，即一个值最多可有的长度</source>
        <translation>it decodes to more than 10,240 bytes, the most that a value may hold</translation>
    </message>
    <message>
        <source>它解码后的字节不是 GBK 文字</source>
        <translation>it decodes to bytes that are not GBK text</translation>
    </message>
    <message>
        <source>未知问题</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>zlib 错误：%1</source>
        <translation>zlib error: %1</translation>
    </message>
    <message>
        <source>zlib 错误 %1：%2</source>
        <translation>zlib error %1: %2</translation>
    </message>
    <message>
        <source>值有 %1 字节；一个值最多可有 %2 字节。</source>
        <translation>The value is %1 bytes long; a value may hold at most %2 bytes.</translation>
    </message>
    <message>
        <source>编码后的值将有 %1 个字符；编码后的值最多可有 %2 个字符。</source>
        <translation>The encoded value would be %1 characters long; an encoded value may hold at most %2 characters.</translation>
    </message>
    <message>
        <source>%1 不是用这套密钥材料写的：它的值没有一个能用本程序所带的密钥材料解码</source>
        <translation>%1 was not written with this key material: none of its values decodes with the key material this program was built with</translation>
    </message>
    <message>
        <source>%1，第 %2 行：%3太长：%4</source>
        <translation>%1, line %2: %3 is too long: %4</translation>
    </message>
    <message>
        <source>%1，第 %2 行：%3已损坏：%4</source>
        <translation>%1, line %2: %3 is damaged: %4</translation>
    </message>
    <message>
        <source>%1 是空的：服务器信息文件以“$BEGIN”一行开头</source>
        <translation>%1 is empty: a server information file starts with the line &quot;$BEGIN&quot;</translation>
    </message>
    <message>
        <source>%1 以 %2 字节顺序标记开头：服务器信息文件是以“$BEGIN”一行开头的 GBK 文字</source>
        <translation>%1 starts with a %2 byte-order mark: a server information file is GBK text that starts with the line &quot;$BEGIN&quot;</translation>
    </message>
    <message>
        <source>%1，第 1 行：应是“$BEGIN”的地方是 %2：这不是服务器信息文件</source>
        <translation>%1, line 1: %2 stands where &quot;$BEGIN&quot; should: this is not a server information file</translation>
    </message>
    <message>
        <source>%1 有 %2 字节；%3</source>
        <translation>%1 is %2 bytes long; %3</translation>
    </message>
    <message>
        <source>%1，第 2 行：应是声明 %3 的地方是 %2</source>
        <translation>%1, line 2: %2 stands where the declaration %3 should</translation>
    </message>
    <message>
        <source>%1，第 %2 行：“$END”之后还有一行（%3）；服务器信息文件以“$END”一行结束</source>
        <translation>%1, line %2: a line after &quot;$END&quot; (%3); the line &quot;$END&quot; ends a server information file</translation>
    </message>
    <message>
        <source>%1，第 %2 行：文件结束时没有“$END”一行，它被截短了</source>
        <translation>%1, line %2: the file ends without the line &quot;$END&quot;, so it was cut short</translation>
    </message>
    <message>
        <source>服务器信息文件最多可有 268,435,456 字节（256 MiB）</source>
        <translation>a server information file may be at most 268,435,456 bytes (256 MiB)</translation>
    </message>
    <message>
        <source>%1长于 10,000,000 字节，即文档中一段内容最多可有的长度</source>
        <translation>%1 is longer than 10,000,000 bytes, the most that one piece of a document may hold</translation>
    </message>
    <message>
        <source>有一个名称长于 50,000 字节，即名称最多可有的长度</source>
        <translation>A name is longer than 50,000 bytes, the most that a name may hold</translation>
    </message>
    <message>
        <source>元素嵌套超过 256 层，即文档最多可嵌套的层数</source>
        <translation>The elements are nested more than 256 levels deep, the most that a document may nest</translation>
    </message>
    <message>
        <source>文档的一部分</source>
        <translation>A part of the document</translation>
    </message>
    <message>
        <source>一个属性值</source>
        <translation>An attribute value</translation>
    </message>
    <message>
        <source>一段注释</source>
        <translation>A comment</translation>
    </message>
    <message>
        <source>一段 CDATA</source>
        <translation>A CDATA section</translation>
    </message>
    <message>
        <source>一条处理指令</source>
        <translation>A processing instruction</translation>
    </message>
    <message>
        <source>不支持实体声明（实体“%1”）</source>
        <translation>Entity declarations are not supported (entity &quot;%1&quot;)</translation>
    </message>
    <message>
        <source>创建 XML 解析器时内存不足</source>
        <translation>Out of memory while creating the XML parser</translation>
    </message>
    <message>
        <source>文档太大，无法读取：文档最多可有 2 GiB 文字</source>
        <translation>The document is too large to be read: it may hold at most 2 GiB of text</translation>
    </message>
    <message>
        <source>磁盘空间不足</source>
        <translation>No space left on device</translation>
    </message>
    <message>
        <source>不允许这样操作</source>
        <translation>Operation not permitted</translation>
    </message>
    <message>
        <source>文件系统是只读的</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>路径中有一项不是文件夹</source>
        <translation>Not a directory</translation>
    </message>
    <message>
        <source>这是一个文件夹</source>
        <translation>Is a directory</translation>
    </message>
    <message>
        <source>文件已存在</source>
        <translation>File exists</translation>
    </message>
    <message>
        <source>文件太大</source>
        <translation>File too large</translation>
    </message>
    <message>
        <source>超出了磁盘配额</source>
        <translation>Disk quota exceeded</translation>
    </message>
    <message>
        <source>打开的文件太多</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>文件名太长</source>
        <translation>File name too long</translation>
    </message>
    <message>
        <source>输入输出错误</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>另一个程序</source>
        <translation>another program</translation>
    </message>
    <message>
        <source>%1（进程 %2，主机 %3，自 %4 起）</source>
        <translation>%1, process %2 on host %3, since %4</translation>
    </message>
    <message>
        <source>登录器窗口</source>
        <translation>Launcher</translation>
    </message>
    <message>
        <source>联系GM按扭</source>
        <translation>Contact GM</translation>
    </message>
    <message>
        <source>充值按扭</source>
        <translation>Payment</translation>
    </message>
    <message>
        <source>充值中心</source>
        <translation>Top-up</translation>
    </message>
    <message>
        <source>官方网站</source>
        <translation>Home</translation>
    </message>
    <message>
        <source>文档是空的</source>
        <translation>Document is empty</translation>
    </message>
    <message>
        <source>文档结尾之后还有内容</source>
        <translation>Extra content at the end of the document</translation>
    </message>
    <message>
        <source>文档中有 XML 不允许的字符</source>
        <translation>The document holds a character that XML does not allow</translation>
    </message>
    <message>
        <source>引用了未声明的实体</source>
        <translation>An entity is referenced that is not declared</translation>
    </message>
    <message>
        <source>实体引用缺少结尾的分号</source>
        <translation>An entity reference lacks its closing semicolon</translation>
    </message>
    <message>
        <source>属性值中不能有“&lt;”</source>
        <translation>An attribute value may not hold &quot;&lt;&quot;</translation>
    </message>
    <message>
        <source>属性没有值</source>
        <translation>An attribute has no value</translation>
    </message>
    <message>
        <source>同一个属性出现了两次</source>
        <translation>An attribute appears twice</translation>
    </message>
    <message>
        <source>属性值应以引号开头</source>
        <translation>An attribute value must start with a quote</translation>
    </message>
    <message>
        <source>属性值缺少结尾的引号</source>
        <translation>An attribute value lacks its closing quote</translation>
    </message>
    <message>
        <source>这里需要一个空格</source>
        <translation>A space is required here</translation>
    </message>
    <message>
        <source>这里需要一个名称</source>
        <translation>A name is required here</translation>
    </message>
    <message>
        <source>属性名后需要“=”</source>
        <translation>&quot;=&quot; is required after an attribute name</translation>
    </message>
    <message>
        <source>标签缺少结尾的“&gt;”</source>
        <translation>A tag lacks its closing &quot;&gt;&quot;</translation>
    </message>
    <message>
        <source>缺少结束标签“&lt;/”</source>
        <translation>An end tag &quot;&lt;/&quot; is missing</translation>
    </message>
    <message>
        <source>开始标签和结束标签不匹配</source>
        <translation>A start tag and its end tag do not match</translation>
    </message>
    <message>
        <source>文档在一个元素结束之前就结束了</source>
        <translation>The document ends before an element does</translation>
    </message>
    <message>
        <source>XML 声明只能在文档的开头</source>
        <translation>The XML declaration may only stand at the start of the document</translation>
    </message>
    <message>
        <source>找不到显示器（DISPLAY 和 WAYLAND_DISPLAY 都没有设置）。%1请在图形会话中运行它，或改用命令行前端：%1  tarnwick-cli help</source>
        <translation>no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).%1Run it in a graphical session, or use the command-line front end instead:%1  tarnwick-cli help</translation>
    </message>
    <message>
        <source>%1%2请试试“tarnwick --help”。</source>
        <translation>%1%2Try &apos;tarnwick --help&apos;.</translation>
    </message>
    <message>
        <source>未知的语言“%1”（应为 zh_CN 或 en）</source>
        <translation>unknown language &apos;%1&apos; (zh_CN or en)</translation>
    </message>
    <message>
        <source>--language 需要 zh_CN 或 en</source>
        <translation>--language needs zh_CN or en</translation>
    </message>
    <message>
        <source>未知的选项“%1”</source>
        <translation>unknown option &apos;%1&apos;</translation>
    </message>
    <message>
        <source>给出了不止一个文件夹（“%1”、“%2”）</source>
        <translation>more than one folder given (&apos;%1&apos;, &apos;%2&apos;)</translation>
    </message>
    <message>
        <source>文件夹名是空的</source>
        <translation>the folder name is empty</translation>
    </message>
    <message>
        <source>--own-folder 和文件夹不能同时给出</source>
        <translation>--own-folder and a folder exclude each other</translation>
    </message>
    <message>
        <source>用法：tarnwick [--language zh_CN|en] [--own-folder | 文件夹]%1%1在工作文件夹中编辑 Tarnwick.xml，写出 ServerInfo.txt 和登录器：%1给出了文件夹时是它，否则是当前文件夹。%1%1  --own-folder  在 %2 中工作，%1                第一次使用时创建（桌面菜单这样启动它）%1  --language zh_CN|en%1                使用这种语言；不给出时，系统的语言是英文则用英文，%1                否则用中文%1  --help        显示本说明%1  --version     显示版本%1%1Qt 自己的选项（-platform、-style 等）也可以使用。%1tarnwick-cli 在命令行上做同样的工作。%1</source>
        <translation>Usage: tarnwick [--language zh_CN|en] [--own-folder | FOLDER]%1%1Edits Tarnwick.xml and writes ServerInfo.txt and the launcher in the working%1folder: FOLDER if given, else the current directory.%1%1  --own-folder  work in %2,%1                created on first use (the desktop menu starts it so)%1  --language zh_CN|en%1                speak this language; without it, English when the%1                system&apos;s is English, else Chinese%1  --help        show this text%1  --version     show the version%1%1Qt&apos;s own options (-platform, -style, ...) are accepted too.%1tarnwick-cli does the same jobs from the command line.%1</translation>
    </message>
    <message>
        <source>分组“%1”</source>
        <translation>group &quot;%1&quot;</translation>
    </message>
    <message>
        <source>分组“%2”的服务器“%1”</source>
        <translation>server &quot;%1&quot; of group &quot;%2&quot;</translation>
    </message>
    <message>
        <source>网页地址 %1</source>
        <translation>web address %1</translation>
    </message>
    <message>
        <source>更新项“%1”“%2”</source>
        <translation>update entry &quot;%1&quot; &quot;%2&quot;</translation>
    </message>
    <message>
        <source>登录器映像不能校验签名（没有放公钥的位置），未生成登录器！</source>
        <translation>The launcher image cannot check signatures (it has no room for public keys); no launcher was generated!</translation>
    </message>
    <message>
        <source>密钥文件最多可有 16,384 字节</source>
        <translation>a key file may be at most 16,384 bytes long</translation>
    </message>
    <message>
        <source>序号文件最多可有 64 字节</source>
        <translation>a serial file may be at most 64 bytes long</translation>
    </message>
    <message>
        <source>密钥文件“%1”无法使用：%2</source>
        <translation>The key file &quot;%1&quot; cannot be used: %2</translation>
    </message>
    <message>
        <source>公钥有误</source>
        <translation>a public key is malformed</translation>
    </message>
    <message>
        <source>私钥有误</source>
        <translation>a private key is malformed</translation>
    </message>
    <message>
        <source>私钥是为其他用户或其他计算机加密的，无法解密</source>
        <translation>a private key was encrypted for another user or another computer and cannot be decrypted</translation>
    </message>
    <message>
        <source>私钥与公钥不成对</source>
        <translation>a private key does not belong to its public key</translation>
    </message>
    <message>
        <source>这个登录器没有签名公钥，会接受网络上传来的任何服务器列表。创建签名密钥后，服务器列表和登录器都会签名。</source>
        <translation>This launcher has no signing keys: it trusts whatever server list the network serves. Once a signing key is created, server lists and launchers are signed.</translation>
    </message>
    <message>
        <source>这个登录器只接受用密钥 %1（或备用密钥 %2）签名的服务器列表。</source>
        <translation>This launcher accepts only server lists signed with the key %1 (or the backup key %2).</translation>
    </message>
    <message>
        <source>这不是 Tarnwick 的密钥文件</source>
        <translation>this is no Tarnwick key file</translation>
    </message>
    <message>
        <source>行数不对</source>
        <translation>it has the wrong number of lines</translation>
    </message>
    <message>
        <source>缺少某个密钥</source>
        <translation>a key is missing</translation>
    </message>
    <message>
        <source>签名密钥与备用密钥相同</source>
        <translation>the signing key and the backup key are the same</translation>
    </message>
    <message>
        <source>还没有签名密钥：“%1”不存在。</source>
        <translation>There is no signing key yet: &quot;%1&quot; does not exist.</translation>
    </message>
    <message>
        <source>签名序号正被另一个程序使用：%1</source>
        <translation>Another program is signing with these keys: %1</translation>
    </message>
    <message>
        <source>序号文件已损坏</source>
        <translation>the serial file is damaged</translation>
    </message>
    <message>
        <source>签名文件太长</source>
        <translation>the signature file is too long</translation>
    </message>
    <message>
        <source>签名文件不完整（最后一行没有结束）</source>
        <translation>the signature file ends in the middle of a line</translation>
    </message>
    <message>
        <source>这不是 Tarnwick 的列表签名文件</source>
        <translation>This is no Tarnwick list signature file</translation>
    </message>
    <message>
        <source>签名文件的行数不对</source>
        <translation>the signature file has the wrong number of lines</translation>
    </message>
    <message>
        <source>签名文件第 %1 行应为“%2”</source>
        <translation>line %1 of the signature file should start with &quot;%2&quot;</translation>
    </message>
    <message>
        <source>签名文件中的长度有误</source>
        <translation>the signature file&apos;s length is malformed</translation>
    </message>
    <message>
        <source>签名文件中的 SHA-256 有误</source>
        <translation>the signature file&apos;s SHA-256 is malformed</translation>
    </message>
    <message>
        <source>签名文件中的序号有误</source>
        <translation>the signature file&apos;s serial is malformed</translation>
    </message>
    <message>
        <source>签名文件中的时间有误</source>
        <translation>the signature file&apos;s time is malformed</translation>
    </message>
    <message>
        <source>签名文件中的密钥编号有误</source>
        <translation>the signature file&apos;s key id is malformed</translation>
    </message>
    <message>
        <source>签名文件中的签名有误</source>
        <translation>the signature file&apos;s signature is malformed</translation>
    </message>
    <message>
        <source>签名与签名文件的内容不符（签名文件被改动过）</source>
        <translation>the signature does not hold for the signature file&apos;s lines (the signature file was changed)</translation>
    </message>
    <message>
        <source>服务器列表与它的签名不符（列表被改动过）</source>
        <translation>the server list does not match its signature (the list was changed)</translation>
    </message>
    <message>
        <source>密码库出错（%1）：%2</source>
        <translation>The cryptography library failed (%1): %2</translation>
    </message>
    <message>
        <source>无法为当前用户加密私钥（DPAPI）。%1</source>
        <translation>The private key cannot be encrypted for the current user (DPAPI). %1</translation>
    </message>
    <message>
        <source>找不到用户的设置文件夹：HOME 和 XDG_CONFIG_HOME 都没有设置。</source>
        <translation>The user&apos;s settings folder is unknown: neither HOME nor XDG_CONFIG_HOME is set.</translation>
    </message>
    <message>
        <source>找不到用户的设置文件夹（%APPDATA%）。</source>
        <translation>The user&apos;s settings folder (%APPDATA%) is unknown.</translation>
    </message>
    <message>
        <source>签名文件最多可有 4,096 字节</source>
        <translation>a signature file may be at most 4,096 bytes long</translation>
    </message>
    <message>
        <source>系统没有指定用户的设置文件夹，无法保存签名密钥：服务器列表和登录器都不签名。</source>
        <translation>The system names no settings folder for the user, so no signing key can be kept: server lists and launchers are not signed.</translation>
    </message>
    <message>
        <source>签名密钥无法使用，生成配置文件和登录器都会失败：%1</source>
        <translation>The signing key cannot be used, so writing server info and generating launchers fail: %1</translation>
    </message>
    <message>
        <source>没有签名密钥：服务器列表和登录器都不签名，登录器会接受网络上传来的任何服务器列表。</source>
        <translation>No signing key: server lists and launchers are not signed, and launchers accept any server list the network serves.</translation>
    </message>
    <message>
        <source>服务器列表和登录器都用密钥 %1 签名（备用密钥 %2）。</source>
        <translation>Server lists and launchers are signed with key %1 (backup key %2).</translation>
    </message>
    <message>
        <source>用这个密钥生成的登录器只接受用它签名的服务器列表，丢失它就再也不能为这些登录器发布列表，所以创建后请立即导出备份并离线保存。%1是否创建签名密钥？</source>
        <translation>Launchers made with this key accept only server lists it signs, so losing it means no more lists for those launchers: export a backup right after creating it and keep it offline.%1Create the signing key?</translation>
    </message>
    <message>
        <source>已有签名密钥（%1），不会替换它。</source>
        <translation>A signing key exists already (%1); it is not replaced.</translation>
    </message>
    <message>
        <source>已创建签名密钥 %1 和备用密钥 %2。%3请现在导出备份，离线保存（例如抽屉里的U盘），不要放在网站服务器上。</source>
        <translation>Signing key %1 and backup key %2 created.%3Export a backup now and keep it offline (a USB stick in a drawer), never on the web host.</translation>
    </message>
    <message>
        <source>导出签名密钥备份</source>
        <translation>Export the signing keys</translation>
    </message>
    <message>
        <source>“%1”已存在，没有写入：备份不会覆盖任何文件。</source>
        <translation>&quot;%1&quot; exists already; nothing written: a backup never replaces a file.</translation>
    </message>
    <message>
        <source>两对密钥已未加密地写入“%1”。%2请把它离线保存（例如抽屉里的U盘），不要放在网站服务器上，并删除其他副本。</source>
        <translation>Both key pairs were written to &quot;%1&quot;, unencrypted.%2Keep it offline (a USB stick in a drawer), never on the web host, and delete other copies.</translation>
    </message>
    <message>
        <source>%1%2已用密钥 %3 签名：请把 ServerInfo.txt.sig 与 ServerInfo.txt 一起发布。</source>
        <translation>%1%2Signed with key %3: publish ServerInfo.txt.sig together with ServerInfo.txt.</translation>
    </message>
    <message>
        <source>%1%2%2以下更新项没有固定下载文件的MD5值（下载效验），检查签名的登录器不会安装它们：%3%2%2在更新项中拖入文件并按“填入效验”，再生成配置文件。</source>
        <translation>%1%2%2These update entries pin no MD5 of their download (Verify), so launchers that check signatures will not install them:%3%2%2Drop the file on the entry&apos;s dialog, press &quot;Fill in&quot;, then write server info again.</translation>
    </message>
    <message>
        <source>%1%2%3</source>
        <translation>%1%2%3</translation>
    </message>
    <message>
        <source>游戏客户端命令不能只有空格！不让登录器启动游戏时请清空这一栏。</source>
        <translation>The game client&apos;s command cannot be only blanks. Empty the field for a launcher that starts no game.</translation>
    </message>
    <message>
        <source>增加分组</source>
        <translation>add group</translation>
    </message>
    <message>
        <source>删除分组</source>
        <translation>delete group</translation>
    </message>
    <message>
        <source>移动分组</source>
        <translation>move group</translation>
    </message>
    <message>
        <source>增加服务器</source>
        <translation>add server</translation>
    </message>
    <message>
        <source>修改服务器</source>
        <translation>edit server</translation>
    </message>
    <message>
        <source>删除服务器</source>
        <translation>delete server</translation>
    </message>
    <message>
        <source>移动服务器</source>
        <translation>move server</translation>
    </message>
    <message>
        <source>增加更新</source>
        <translation>add update entry</translation>
    </message>
    <message>
        <source>修改更新</source>
        <translation>edit update entry</translation>
    </message>
    <message>
        <source>删除更新</source>
        <translation>delete update entry</translation>
    </message>
    <message>
        <source>输入</source>
        <translation>typing</translation>
    </message>
    <message>
        <source>撤销</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>撤销%1</source>
        <translation>Undo %1</translation>
    </message>
    <message>
        <source>重做</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>重做%1</source>
        <translation>Redo %1</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>版本</source>
        <translation>Version</translation>
    </message>
    <message>
        <source>存在</source>
        <translation>Exists</translation>
    </message>
    <message>
        <source>直接</source>
        <translation>Direct</translation>
    </message>
    <message>
        <source>百度</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>服务器名称与服务器地址的个数必须相同：有几条线路，就用分号 ; 隔开写几个名称和几个地址，一一对应，例如名称 电信;网通 与地址 10.0.0.1;10.0.0.2</source>
        <translation>The server names and addresses must be equally many: for several lines, separate the names and the addresses with ; so that each name has its address, for example names Telecom;Unicom with addresses 10.0.0.1;10.0.0.2.</translation>
    </message>
    <message>
        <source>每条线路需要一个端口：端口的个数必须与名称、地址的个数相同，用分号 ; 隔开，例如 7000;7000</source>
        <translation>Every line needs a port: give as many ports as names and addresses, separated with ;, for example 7000;7000.</translation>
    </message>
    <message>
        <source>端口必须是 1 到 65535 之间的整数，只写数字，多条线路时用分号 ; 隔开，例如 7000;7100</source>
        <translation>A port is a whole number from 1 to 65535, digits only; separate several with ;, for example 7000;7100.</translation>
    </message>
    <message>
        <source>检测模式为MD5值时，文件MD5值必须是32位十六进制数字：在窗口中把文件拖到MD5值计算框里，或在命令行用 --file 给出文件，即可算出并填入。</source>
        <translation>With the MD5 check, the file&apos;s MD5 must be 32 hexadecimal digits: drop the file on the MD5 calculator in the window, or give it with --file on the command line, to fill it in.</translation>
    </message>
    <message>
        <source>下载效验必须是32位十六进制的MD5值；不效验时写 20050505 或留空。</source>
        <translation>The download check must be an MD5 of 32 hexadecimal digits; for no check, write 20050505 or leave it empty.</translation>
    </message>
    <message>
        <source>网页地址必须以 http:// 或 https:// 开头，后接网站名，中间不能有空格，例如 http://www.example.com/pay.html（登录器不打开其他地址）</source>
        <translation>A web page address must start with http:// or https:// and a site name, without blanks, for example http://www.example.com/pay.html (launchers open no other addresses).</translation>
    </message>
    <message>
        <source>Tarnwick.xml 没有完整载入，窗口中是损坏处之前读到的内容：%1%2%1损坏处之后的分组、服务器、网页地址和更新没有载入。第一次保存前，原文件会先另存为 Tarnwick.damaged-日期-时间.xml，不会丢失。</source>
        <translation>Tarnwick.xml did not load whole; the window shows what stood before the damage:%1%2%1The groups, servers, web addresses and updates after the damage were not loaded. Before the first save the file is kept as Tarnwick.damaged-DATE-TIME.xml, so nothing is lost.</translation>
    </message>
    <message>
        <source>文件夹 %1 是只读的，不能在其中创建或替换文件</source>
        <translation>The folder %1 is read-only: no file can be created or replaced in it</translation>
    </message>
    <message>
        <source>%1 是只读文件，不会被覆盖</source>
        <translation>%1 is a read-only file and is never saved over</translation>
    </message>
    <message>
        <source>%1，所以这里无法保存，Tarnwick.xml 只供查看。%2要修改，请去掉只读属性，或把文件夹复制到可以写入的位置，然后重新打开。</source>
        <translation>%1, so nothing can be saved here: Tarnwick.xml is open for viewing only.%2To edit it, remove the read-only attribute or copy the folder to a place you can write to, then open it again.</translation>
    </message>
    <message>
        <source>没有写入任何文件：%1。</source>
        <translation>Nothing was written: %1.</translation>
    </message>
    <message>
        <source>Tarnwick.xml 中有登录器无法使用的内容（已原样保留，请修改）：%1</source>
        <translation>Tarnwick.xml holds what launchers cannot use (kept as it is; please mend it):%1</translation>
    </message>
    <message>
        <source>%1%2：%3</source>
        <translation>%1%2: %3</translation>
    </message>
    <message>
        <source>分组[%1]的服务器[%2]</source>
        <translation>server [%2] of group [%1]</translation>
    </message>
    <message>
        <source>第 %1 项更新[%2]</source>
        <translation>update entry %1 [%2]</translation>
    </message>
    <message>
        <source>网页[%1]“%2”</source>
        <translation>web page [%1] &quot;%2&quot;</translation>
    </message>
    <message>
        <source>%1%2……另有 %3 处</source>
        <translation>%1%2... and %3 more</translation>
    </message>
    <message>
        <source>无法读取保存在系统密钥环中的密码。%1</source>
        <translation>Cannot read the password kept in the system&apos;s keyring. %1</translation>
    </message>
    <message>
        <source>无法把密码保存到系统的密钥环。%1</source>
        <translation>Cannot save the password in the system&apos;s keyring. %1</translation>
    </message>
    <message>
        <source>无法从系统的密钥环删除密码。%1</source>
        <translation>Cannot remove the password from the system&apos;s keyring. %1</translation>
    </message>
    <message>
        <source>配置信息已修改。发布的是保存的 Tarnwick.xml 和生成的 ServerInfo.txt：%1先保存并生成配置文件？</source>
        <translation>The configuration has changed. What is published is the saved Tarnwick.xml and the ServerInfo.txt written from it:%1save and write the configuration file first?</translation>
    </message>
    <message>
        <source>正确</source>
        <translation>ok</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>WRONG</translation>
    </message>
    <message>
        <source>发布前检查</source>
        <translation>Check before</translation>
    </message>
    <message>
        <source>发布后校验</source>
        <translation>Check after</translation>
    </message>
    <message>
        <source>%1第 %2 项</source>
        <translation>%1, entry %2</translation>
    </message>
    <message>
        <source>请填写发布到哪里：sftp://、ftp://、ftps://、http(s)://（WebDAV）地址或一个文件夹</source>
        <translation>Say where to publish: an sftp://, ftp://, ftps:// or http(s):// (WebDAV) address, or a folder</translation>
    </message>
    <message>
        <source>服务器 %1 拒绝了这个密码。%3请重新输入用户 %2 的密码：</source>
        <translation>The server %1 refused the password.%3Password of the user %2 again:</translation>
    </message>
    <message>
        <source>服务器 %1 上用户 %2 的密码：</source>
        <translation>Password of the user %2 on the server %1:</translation>
    </message>
    <message>
        <source>将密码保存在系统的密钥环中？%3（服务器 %1，用户 %2）</source>
        <translation>Keep the password in the system&apos;s keyring?%3(server %1, user %2)</translation>
    </message>
    <message>
        <source>服务器 %1 的主机密钥与以前记下的不同：可能有人冒充这台服务器。%3新密钥的指纹：%3%2%3只有服务器管理员确认换过密钥时才能信任它。信任这个密钥并记在 known_hosts 中？</source>
        <translation>The host key of the server %1 differs from the one remembered: someone may be posing as this server.%3The new key&apos;s fingerprint:%3%2%3Trust it only when the server&apos;s administrator confirms the key was changed. Trust this key and remember it in known_hosts?</translation>
    </message>
    <message>
        <source>还不认识服务器 %1 的主机密钥，它的指纹：%3%2%3请先与服务器管理员核对指纹。信任这个密钥并记在 known_hosts 中？</source>
        <translation>The host key of the server %1 is not known yet; its fingerprint:%3%2%3Compare the fingerprint with the server&apos;s administrator first. Trust this key and remember it in known_hosts?</translation>
    </message>
    <message>
        <source>正在检查工作文件夹…</source>
        <translation>Checking the working folder…</translation>
    </message>
    <message>
        <source>正在检查网站上已有的文件…</source>
        <translation>Checking the files already on the site…</translation>
    </message>
    <message>
        <source>正在上传…</source>
        <translation>Uploading…</translation>
    </message>
    <message>
        <source>正在校验玩家获取的文件…</source>
        <translation>Checking what players fetch…</translation>
    </message>
    <message>
        <source>已发送 %1 / %2%3%4</source>
        <translation>Sent %1 / %2%3%4</translation>
    </message>
    <message>
        <source>，每秒 %1</source>
        <translation>, %1 per second</translation>
    </message>
    <message>
        <source>，还剩 %1</source>
        <translation>, %1 left</translation>
    </message>
    <message>
        <source>第 %1/%2 个文件：%3</source>
        <translation>File %1/%2: %3</translation>
    </message>
    <message>
        <source>正在校验第 %1/%2 项</source>
        <translation>Checking %1/%2</translation>
    </message>
    <message>
        <source>步骤</source>
        <translation>Step</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>检查</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>说明</source>
        <translation>Found</translation>
    </message>
    <message>
        <source>路径或地址</source>
        <translation>Path or address</translation>
    </message>
    <message>
        <source>拒绝</source>
        <translation>Refused</translation>
    </message>
    <message>
        <source>上传</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>已发送</source>
        <translation>sent</translation>
    </message>
    <message>
        <source>未改变</source>
        <translation>unchanged</translation>
    </message>
    <message>
        <source>服务器不能改名覆盖文件：放置时曾有片刻没有这个文件</source>
        <translation>The server cannot rename over a file: for a moment it was missing</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>发布完成：玩家获取的文件全部正确</source>
        <translation>Published: everything players fetch is right</translation>
    </message>
    <message>
        <source>没有上传任何文件：请先改正表中的问题</source>
        <translation>Nothing was uploaded: mend what the table shows first</translation>
    </message>
    <message>
        <source>文件已上传，但玩家获取的文件并非全部正确：见表中的“错误”</source>
        <translation>Uploaded, but not everything players fetch is right: see &quot;WRONG&quot; in the table</translation>
    </message>
    <message>
        <source>已取消校验：文件已上传，但没有全部校验玩家获取的文件</source>
        <translation>Checking cancelled: the files are up, but not everything players fetch was checked</translation>
    </message>
    <message>
        <source>已取消，但有些文件已放置到位：请再次发布以完成</source>
        <translation>Cancelled, but some files are in place already: publish again to complete it</translation>
    </message>
    <message>
        <source>已取消：网站保持玩家看到的原样</source>
        <translation>Cancelled: the site is as players saw it</translation>
    </message>
    <message>
        <source>发布在放置文件时失败：%1%2有些文件已放置到位，请再次发布以完成</source>
        <translation>The publish failed while files were put in place: %1%2Some files are in place already; publish again to complete it</translation>
    </message>
    <message>
        <source>发布失败：%1%2网站保持玩家看到的原样；请再次发布以完成</source>
        <translation>The publish failed: %1%2The site is as players saw it; publish again to complete it</translation>
    </message>
    <message>
        <source>发布</source>
        <translation>Publish</translation>
    </message>
    <message>
        <source>浏览...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>sftp://用户@主机/目录/、ftp://、ftps://、https://（WebDAV）或文件夹</source>
        <translation>sftp://user@host/folder/, ftp://, ftps://, https:// (WebDAV) or a folder</translation>
    </message>
    <message>
        <source>登录器的列表地址</source>
        <translation>The launcher&apos;s list address</translation>
    </message>
    <message>
        <source>留空则用登录器的列表地址：%1</source>
        <translation>Empty for the launcher&apos;s list address: %1</translation>
    </message>
    <message>
        <source>网站在本机的副本；留空则更新文件须已在网站上</source>
        <translation>The site&apos;s copy on this machine; empty when the update files are on the site already</translation>
    </message>
    <message>
        <source>留空则用 SSH 代理和常用的密钥</source>
        <translation>Empty for the SSH agent&apos;s keys and the usual ones</translation>
    </message>
    <message>
        <source>显式 TLS（FTP 的 AUTH TLS）(&amp;T)</source>
        <translation>Explicit TLS (FTP&apos;s AUTH TLS)(&amp;T)</translation>
    </message>
    <message>
        <source>深度校验（下载并校验每个文件的 MD5）(&amp;M)</source>
        <translation>Deep check (download every file and check its MD5)(&amp;M)</translation>
    </message>
    <message>
        <source>全部重新上传(&amp;F)</source>
        <translation>Upload everything again(&amp;F)</translation>
    </message>
    <message>
        <source>发布到(&amp;D)：</source>
        <translation>Publish to(&amp;D):</translation>
    </message>
    <message>
        <source>列表地址(&amp;L)：</source>
        <translation>List address(&amp;L):</translation>
    </message>
    <message>
        <source>网站文件夹(&amp;S)：</source>
        <translation>Site folder(&amp;S):</translation>
    </message>
    <message>
        <source>SFTP 密钥文件(&amp;K)：</source>
        <translation>SFTP key file(&amp;K):</translation>
    </message>
    <message>
        <source>发布(&amp;P)</source>
        <translation>Publish(&amp;P)</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>选择发布到的文件夹</source>
        <translation>Choose the folder to publish to</translation>
    </message>
    <message>
        <source>选择网站在本机的副本</source>
        <translation>Choose the site&apos;s copy on this machine</translation>
    </message>
    <message>
        <source>选择 SFTP 私钥文件</source>
        <translation>Choose the SFTP private key file</translation>
    </message>
    <message>
        <source>正在取消…</source>
        <translation>Cancelling…</translation>
    </message>
    <message>
        <source>是(&amp;Y)</source>
        <translation>Yes(&amp;Y)</translation>
    </message>
    <message>
        <source>否(&amp;N)</source>
        <translation>No(&amp;N)</translation>
    </message>
    <message>
        <source>无法初始化网络传输</source>
        <translation>Cannot start network transfers</translation>
    </message>
    <message>
        <source>已取消</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>服务器拒绝了用户名或密码（%1）</source>
        <translation>The server refused the user name or the password (%1)</translation>
    </message>
    <message>
        <source>服务器拒绝了用户名或密码（HTTP 401）</source>
        <translation>The server refused the user name or the password (HTTP 401)</translation>
    </message>
    <message>
        <source>%1：服务器回答 HTTP %2</source>
        <translation>%1: the server answered HTTP %2</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>发布的目标文件夹“%1”不存在</source>
        <translation>The folder to publish to, &quot;%1&quot;, does not exist</translation>
    </message>
    <message>
        <source>文件过大</source>
        <translation>The file is too large</translation>
    </message>
    <message>
        <source>无法创建文件夹“%1”</source>
        <translation>Cannot create the folder &quot;%1&quot;</translation>
    </message>
    <message>
        <source>发布设置未能保存：%1</source>
        <translation>The publish settings could not be remembered: %1</translation>
    </message>
    <message>
        <source>文件夹“%1”中没有 Tarnwick.xml</source>
        <translation>The folder &quot;%1&quot; holds no Tarnwick.xml</translation>
    </message>
    <message>
        <source>发布设置文件最多可有 65,536 字节</source>
        <translation>A publish settings file holds at most 65,536 bytes</translation>
    </message>
    <message>
        <source>没有给出发布的目标</source>
        <translation>Where to publish is not given</translation>
    </message>
    <message>
        <source>“%1”不是可用的地址</source>
        <translation>&quot;%1&quot; is no usable address</translation>
    </message>
    <message>
        <source>“%1”含有密码：密码不能写在地址中，请使用系统的密钥环、~/.netrc 或环境变量 TARNWICK_PUBLISH_PASSWORD</source>
        <translation>&quot;%1&quot; holds a password: passwords are never written in an address; use the system&apos;s keyring, ~/.netrc or the environment variable TARNWICK_PUBLISH_PASSWORD</translation>
    </message>
    <message>
        <source>不能发布到“%1”：只支持 sftp://、ftp://、ftps://、http(s)://（WebDAV）和本地文件夹</source>
        <translation>Cannot publish to &quot;%1&quot;: only sftp://, ftp://, ftps://, http(s):// (WebDAV) and local folders are supported</translation>
    </message>
    <message>
        <source>它不是发布设置（应为 JSON 对象）</source>
        <translation>it is no publish settings file (a JSON object is expected)</translation>
    </message>
    <message>
        <source>“%1”不是 true 或 false</source>
        <translation>&quot;%1&quot; is neither true nor false</translation>
    </message>
    <message>
        <source>发布设置文件“%1”无法使用：%2</source>
        <translation>The publish settings file &quot;%1&quot; cannot be used: %2</translation>
    </message>
    <message>
        <source>目标上的发布记录 %1 无法使用：所有文件都重新上传</source>
        <translation>The destination&apos;s publish record %1 cannot be used: every file is uploaded again</translation>
    </message>
    <message>
        <source>临时文件 %1 未能删除；下次发布时会被覆盖</source>
        <translation>The temporary file %1 could not be removed; the next publish writes over it</translation>
    </message>
    <message>
        <source>服务器不允许改名覆盖已有文件：%1 是先删除旧文件再改名的，其间短暂缺失</source>
        <translation>The server does not rename over a file: %1 was put in place by deleting the old one first, and was missing for a moment</translation>
    </message>
    <message>
        <source>发布记录未能写入（%1）：下次发布会重新上传这些文件</source>
        <translation>The publish record could not be written (%1): the next publish uploads these files again</translation>
    </message>
    <message>
        <source>服务器没有说明原因（磁盘满了吗？）</source>
        <translation>the server gave no reason (is its disk full?)</translation>
    </message>
    <message>
        <source>服务器认为请求有误</source>
        <translation>the server took the request for a wrong one</translation>
    </message>
    <message>
        <source>连接中断</source>
        <translation>the connection broke</translation>
    </message>
    <message>
        <source>服务器不支持这个操作</source>
        <translation>the server does not support this operation</translation>
    </message>
    <message>
        <source>服务器磁盘空间不足</source>
        <translation>the server&apos;s disk is full</translation>
    </message>
    <message>
        <source>%1（服务器说：%2）</source>
        <translation>%1 (the server said: %2)</translation>
    </message>
    <message>
        <source>SFTP 状态码 %1</source>
        <translation>SFTP status %1</translation>
    </message>
    <message>
        <source>无法把“%1”上传到服务器 %2：%3。</source>
        <translation>Cannot upload &quot;%1&quot; to the server %2: %3.</translation>
    </message>
    <message>
        <source>无法从服务器 %2 读取“%1”：%3。</source>
        <translation>Cannot read &quot;%1&quot; from the server %2: %3.</translation>
    </message>
    <message>
        <source>无法在服务器 %2 上创建文件夹“%1”：%3。</source>
        <translation>Cannot create the folder &quot;%1&quot; on the server %2: %3.</translation>
    </message>
    <message>
        <source>无法删除服务器 %2 上的“%1”：%3。</source>
        <translation>Cannot remove &quot;%1&quot; on the server %2: %3.</translation>
    </message>
    <message>
        <source>无法在服务器 %2 上把“%1”改名为“%3”：%4。</source>
        <translation>Cannot rename &quot;%1&quot; to &quot;%3&quot; on the server %2: %4.</translation>
    </message>
    <message>
        <source>服务器 %1 不提供 SFTP。请检查地址，或请服务器管理员打开 SFTP。</source>
        <translation>The server %1 offers no SFTP. Check the address, or ask the server&apos;s administrator to turn SFTP on.</translation>
    </message>
    <message>
        <source>服务器 %1 上没有文件夹“%2”。请检查发布地址中的路径。</source>
        <translation>The server %1 has no folder &quot;%2&quot;. Check the path in the address to publish to.</translation>
    </message>
    <message>
        <source>服务器 %1 上的“%2”超过了 %3 字节，不像是 Tarnwick 写的文件。</source>
        <translation>&quot;%2&quot; on the server %1 holds more than %3 bytes: no file Tarnwick wrote.</translation>
    </message>
    <message>
        <source>服务器 %1 不允许再开一个 SFTP 通道。</source>
        <translation>The server %1 does not allow another SFTP channel.</translation>
    </message>
    <message>
        <source>版本应答不完整</source>
        <translation>the version answer is cut short</translation>
    </message>
    <message>
        <source>改名的应答不完整</source>
        <translation>the answer to the rename is cut short</translation>
    </message>
    <message>
        <source>应答与请求不符</source>
        <translation>the answer does not match the request</translation>
    </message>
    <message>
        <source>应答的长度不对</source>
        <translation>the answer&apos;s length is wrong</translation>
    </message>
    <message>
        <source>服务器关闭了 SFTP 通道</source>
        <translation>the server closed the SFTP channel</translation>
    </message>
    <message>
        <source>服务器 %1 的 SFTP 应答无法使用：%2。请稍后再试，或请服务器管理员检查 SFTP 服务。</source>
        <translation>The SFTP answer of the server %1 cannot be used: %2. Try again later, or ask the server&apos;s administrator to check the SFTP service.</translation>
    </message>
    <message>
        <source>HTTP %1</source>
        <translation>HTTP %1</translation>
    </message>
    <message>
        <source>超过 %1 字节</source>
        <translation>more than %1 bytes</translation>
    </message>
    <message>
        <source>%1 字节，相同</source>
        <translation>%1 bytes, the same</translation>
    </message>
    <message>
        <source>不同：收到 %1 字节，应为 %2 字节</source>
        <translation>different: %1 bytes received, %2 expected</translation>
    </message>
    <message>
        <source>MD5 %1</source>
        <translation>MD5 %1</translation>
    </message>
    <message>
        <source>MD5 是 %1，应为 %2</source>
        <translation>MD5 %1, %2 expected</translation>
    </message>
    <message>
        <source>%1 字节</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>服务器没有给出长度</source>
        <translation>the server gave no length</translation>
    </message>
    <message>
        <source>%1 字节，应为 %2 字节</source>
        <translation>%1 bytes, %2 expected</translation>
    </message>
    <message>
        <source>逐字节</source>
        <translation>bytes</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>length</translation>
    </message>
    <message>
        <source>MD5</source>
        <translation>MD5</translation>
    </message>
    <message>
        <source>服务器信息文件最多可有 256 MiB</source>
        <translation>A server information file holds at most 256 MiB</translation>
    </message>
    <message>
        <source>列表地址“%1”不可用：它应是 http:// 或 https:// 开头、以文件名结尾的地址，即登录器的列表地址</source>
        <translation>The list address &quot;%1&quot; cannot be used: it must start with http:// or https:// and end with a file name: the launcher&apos;s list address</translation>
    </message>
    <message>
        <source>更新 %1（%2）：下载地址“%3”不是可用的地址</source>
        <translation>Update %1 (%2): the download address &quot;%3&quot; is no usable address</translation>
    </message>
    <message>
        <source>更新 %1（%2）：网站文件夹中没有它要下载的文件“%3”</source>
        <translation>Update %1 (%2): the site folder lacks the file it downloads, &quot;%3&quot;</translation>
    </message>
    <message>
        <source>更新 %1（%2）：文件“%3”的 MD5 是 %4，与下载效验 %5 不符</source>
        <translation>Update %1 (%2): the MD5 of &quot;%3&quot; is %4, not its download check %5</translation>
    </message>
    <message>
        <source>更新 %1（%2）：文件“%3”的 MD5 是 %4，与条目的 MD5 %5 不符：每个登录器每次都会重新下载它</source>
        <translation>Update %1 (%2): the MD5 of &quot;%3&quot; is %4, not the entry&apos;s MD5 %5: every launcher would download it again on every run</translation>
    </message>
    <message>
        <source>还没有生成 ServerInfo.txt（“%1”）</source>
        <translation>ServerInfo.txt has not been written (&quot;%1&quot;)</translation>
    </message>
    <message>
        <source>ServerInfo.txt 不是按 Tarnwick.xml 现在的内容生成的：请先生成配置文件</source>
        <translation>ServerInfo.txt was not written from Tarnwick.xml as it is now: write the configuration file first</translation>
    </message>
    <message>
        <source>没有 ServerInfo.txt.sig：用你的密钥生成的登录器不会接受这个列表；请重新生成配置文件</source>
        <translation>There is no ServerInfo.txt.sig: launchers made with your key would refuse the list; write the configuration file again</translation>
    </message>
    <message>
        <source>ServerInfo.txt.sig 是用另一个密钥签名的（%1）：请重新生成配置文件</source>
        <translation>ServerInfo.txt.sig was signed with another key (%1): write the configuration file again</translation>
    </message>
    <message>
        <source>ServerInfo.txt.sig 与 ServerInfo.txt 不符（%1）：请重新生成配置文件</source>
        <translation>ServerInfo.txt.sig does not match ServerInfo.txt (%1): write the configuration file again</translation>
    </message>
    <message>
        <source>更新文件</source>
        <translation>update file</translation>
    </message>
    <message>
        <source>登录器</source>
        <translation>launcher</translation>
    </message>
    <message>
        <source>签名</source>
        <translation>signature</translation>
    </message>
    <message>
        <source>服务器列表</source>
        <translation>server list</translation>
    </message>
    <message>
        <source>known_hosts 文件最多可有 4 MB</source>
        <translation>A known_hosts file holds at most 4 MB</translation>
    </message>
    <message>
        <source>无法启动 SSH 库（libssh2）。</source>
        <translation>Cannot start the SSH library (libssh2).</translation>
    </message>
    <message>
        <source>服务器 %1 已有 %2 秒没有应答。请检查网络后再试。</source>
        <translation>The server %1 has not answered for %2 seconds. Check the network and try again.</translation>
    </message>
    <message>
        <source>与服务器 %1 的连接断开了（%2）。请检查网络后再试。</source>
        <translation>The connection to the server %1 broke (%2). Check the network and try again.</translation>
    </message>
    <message>
        <source>服务器 %1 的应答无法使用（%2）。请稍后再试，或请服务器管理员检查 SSH 服务。</source>
        <translation>The answer of the server %1 cannot be used (%2). Try again later, or ask the server&apos;s administrator to check the SSH service.</translation>
    </message>
    <message>
        <source>SSH 协议出错</source>
        <translation>an SSH protocol error</translation>
    </message>
    <message>
        <source>双方没有共同支持的加密算法</source>
        <translation>no cipher that both sides support</translation>
    </message>
    <message>
        <source>对方不像是 SSH 服务器</source>
        <translation>the other side does not look like an SSH server</translation>
    </message>
    <message>
        <source>无法与服务器 %1 建立 SSH 连接（%2）。请检查地址和端口。</source>
        <translation>Cannot make an SSH connection to the server %1 (%2). Check the address and the port.</translation>
    </message>
    <message>
        <source>服务器 %1 的主机密钥是 Tarnwick 不支持的类型（指纹 %2）。</source>
        <translation>The host key of the server %1 is of a type Tarnwick does not support (fingerprint %2).</translation>
    </message>
    <message>
        <source>服务器 %1 的主机密钥（指纹 %2）已在 %3 中吊销，不能使用。</source>
        <translation>The host key of the server %1 (fingerprint %2) is revoked in %3 and cannot be used.</translation>
    </message>
    <message>
        <source>服务器 %1 的主机密钥变了：新密钥的指纹是 %2，与 %3 中记下的不同。可能有人冒充这台服务器；请向服务器管理员核实新指纹，无误后再明确接受它。</source>
        <translation>The host key of the server %1 changed: the new key&apos;s fingerprint is %2, not the one remembered in %3. Someone may be posing as this server; check the new fingerprint with the server&apos;s administrator, and only then accept it explicitly.</translation>
    </message>
    <message>
        <source>服务器 %1 的主机密钥还未知（指纹 %2）。请向服务器管理员核实指纹，无误后再接受它。</source>
        <translation>The host key of the server %1 is not known yet (fingerprint %2). Check the fingerprint with the server&apos;s administrator, and only then accept it.</translation>
    </message>
    <message>
        <source>无法用密钥文件“%1”登录服务器 %2：文件读不出，口令不对，或者密钥类型不受支持。</source>
        <translation>Cannot log in to the server %2 with the key file &quot;%1&quot;: the file cannot be read, the passphrase is wrong, or the key type is not supported.</translation>
    </message>
    <message>
        <source>服务器 %1 只接受这些登录方式：%2；请为用户 %3 给出相应的密码或密钥。</source>
        <translation>The server %1 takes only these ways to log in: %2; give a password or a key for the user %3 that fits.</translation>
    </message>
    <message>
        <source>服务器 %1 拒绝了用户 %2 的登录（试过：%3）。请检查用户名、密码或密钥。</source>
        <translation>The server %1 refused the login of the user %2 (tried: %3). Check the user name, the password or the key.</translation>
    </message>
    <message>
        <source>对方拒绝连接（端口对吗？SSH 服务在运行吗？）</source>
        <translation>the connection was refused (is the port right? is the SSH service running?)</translation>
    </message>
    <message>
        <source>连接超时</source>
        <translation>the connection timed out</translation>
    </message>
    <message>
        <source>网络不通</source>
        <translation>the network is unreachable</translation>
    </message>
    <message>
        <source>无法连接服务器 %1：%2。请检查地址和网络后再试。</source>
        <translation>Cannot connect to the server %1: %2. Check the address and the network and try again.</translation>
    </message>
    <message>
        <source>找不到服务器 %1：%2。请检查服务器的名字。</source>
        <translation>Cannot find the server %1: %2. Check the server&apos;s name.</translation>
    </message>
    <message>
        <source>名字无法解析</source>
        <translation>the name cannot be resolved</translation>
    </message>
    <message>
        <source>文件“%1”在发布时被改动了：请重新发布</source>
        <translation>The file &quot;%1&quot; was changed during the publish: publish again</translation>
    </message>
    <message>
        <source>更新 %1（%2）：无法生成块索引：%3</source>
        <translation>Update %1 (%2): the block index cannot be made: %3</translation>
    </message>
    <message>
        <source>块索引</source>
        <translation>block index</translation>
    </message>
</context>
</TS>

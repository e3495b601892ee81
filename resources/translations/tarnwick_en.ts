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
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件或文件夹不存在</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>没有足够的空间</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件正被另一个程序使用</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法打开文件“%1”。%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法创建文件“%1”。%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法读取文件“%1”。%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文件比预期的短</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法读取文档</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1%2行：%3%2%4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文档中有不是 GBK 文字的字节</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>文档的格式不正确</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法在文件夹“%1”中工作。%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>找不到本程序自己的文件夹：XDG_DATA_HOME 和 HOME 都不是绝对路径。请给出要在其中工作的文件夹：tarnwick 文件夹</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>

<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>TarnwickCli</name>
    <message>
        <source>Cannot read %1. %2</source>
        <translation>无法读取%1。%2</translation>
    </message>
    <message>
        <source>%1: reading stopped past the limit; %2</source>
        <translation>%1：读取超过上限，已停止；%2</translation>
    </message>
    <message>
        <source>standard input</source>
        <translation>标准输入</translation>
    </message>
    <message>
        <source>Cannot write to standard output</source>
        <translation>无法写入标准输出</translation>
    </message>
    <message>
        <source>Cannot read standard input. %1</source>
        <translation>无法读取标准输入。%1</translation>
    </message>
    <message>
        <source>standard input: more than 10,240 bytes; a value may hold at most 10,240 bytes</source>
        <translation>标准输入：超过 10,240 字节；一个值最多只能有 10,240 字节</translation>
    </message>
    <message>
        <source>%1: added</source>
        <translation>%1：新增</translation>
    </message>
    <message>
        <source>%1: added (%2)</source>
        <translation>%1：新增（%2）</translation>
    </message>
    <message>
        <source>%1: removed</source>
        <translation>%1：删除</translation>
    </message>
    <message>
        <source>%1: removed (%2)</source>
        <translation>%1：删除（%2）</translation>
    </message>
    <message>
        <source>%1: changed from &quot;%2&quot; to &quot;%3&quot;</source>
        <translation>%1：由“%2”改为“%3”</translation>
    </message>
    <message>
        <source>%1: %2 changed from &quot;%3&quot; to &quot;%4&quot;</source>
        <translation>%1：%2 由“%3”改为“%4”</translation>
    </message>
    <message>
        <source>%1: moved</source>
        <translation>%1：位置移动</translation>
    </message>
    <message>
        <source>up to date</source>
        <translation>已是最新</translation>
    </message>
    <message>
        <source>up to date: %1 holds the values that serverinfo writes now, but its text differs from line %2 (another writer&apos;s layout or compression)</source>
        <translation>已是最新：%1 中的值与 serverinfo 现在写出的相同，但文本从第 %2 行起不同（由另一个程序排版或压缩）</translation>
    </message>
    <message>
        <source>%1 differs from what serverinfo writes now from Tarnwick.xml (published, then now):</source>
        <translation>%1 与 serverinfo 现在由 Tarnwick.xml 写出的内容不同（前为已发布的，后为现在的）：</translation>
    </message>
    <message>
        <source>load Tarnwick.xml and write it back</source>
        <translation>载入 Tarnwick.xml 并写回</translation>
    </message>
    <message>
        <source>load Tarnwick.xml and write ServerInfo.txt</source>
        <translation>载入 Tarnwick.xml 并生成 ServerInfo.txt</translation>
    </message>
    <message>
        <source>encode the bytes of standard input (at most 10,240)%1as ServerInfo.txt does</source>
        <translation>按 ServerInfo.txt 的方式编码标准输入的字节%1（最多 10,240 个）</translation>
    </message>
    <message>
        <source>print the document that ServerInfo.txt (or FILE, or%1standard input; at most 256 MiB) was written from,%1checking every value; redirected, the bytes of a%1Tarnwick.xml; status 2 when it cannot be read</source>
        <translation>输出 ServerInfo.txt（或 FILE，或标准输入；最大%1为 256 MiB）据以写出的文档，并检查每个值；输出%1被重定向时为 Tarnwick.xml 的原样字节；无法读取%1时状态为 2</translation>
    </message>
    <message>
        <source>MD5 digest of each file, in the format of md5sum;%1status 2 when a file cannot be read (the others%1are still done)</source>
        <translation>以 md5sum 的格式给出每个文件的 MD5 值；有文件无法%1读取时状态为 2（其余文件照常计算）</translation>
    </message>
    <message>
        <source>%1: has %2 characters; the window&apos;s field holds at most %3</source>
        <translation>%1：有 %2 个字符；窗口中的输入框最多只能容纳 %3 个</translation>
    </message>
    <message>
        <source>ROW: must be a row number as &quot;%1 list&quot; shows it, from 1; not &quot;%2&quot;</source>
        <translation>ROW：应为“%1 list”显示的行号（从 1 开始），不能是“%2”</translation>
    </message>
    <message>
        <source>ROW: there is no row %1 in the %2 list (it has %3)</source>
        <translation>ROW：%2 列表中没有第 %1 行（共 %3 行）</translation>
    </message>
    <message>
        <source>%1: no group is named &quot;%2&quot;</source>
        <translation>%1：没有名为“%2”的分组</translation>
    </message>
    <message>
        <source>Group</source>
        <translation>分组</translation>
    </message>
    <message>
        <source>Servers</source>
        <translation>服务器数</translation>
    </message>
    <message>
        <source>NAME: group &quot;%1&quot; holds 1 server, which is deleted with it; standard input is not a terminal to ask on, so confirm with --yes</source>
        <translation>NAME：分组“%1”中有 1 台服务器，会随分组一起删除；标准输入不是终端，无法询问，请用 --yes 确认</translation>
    </message>
    <message>
        <source>NAME: group &quot;%1&quot; holds %2 servers, which are deleted with it; standard input is not a terminal to ask on, so confirm with --yes</source>
        <translation>NAME：分组“%1”中有 %2 台服务器，会随分组一起删除；标准输入不是终端，无法询问，请用 --yes 确认</translation>
    </message>
    <message>
        <source>NAME: not confirmed; group &quot;%1&quot; is kept</source>
        <translation>NAME：未确认，分组“%1”保持不变</translation>
    </message>
    <message>
        <source>Row</source>
        <translation>行号</translation>
    </message>
    <message>
        <source>Display name</source>
        <translation>显示名称</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Address</source>
        <translation>地址</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>端口</translation>
    </message>
    <message>
        <source>Hint</source>
        <translation>更新提示</translation>
    </message>
    <message>
        <source>Save folder</source>
        <translation>保存位置</translation>
    </message>
    <message>
        <source>File name</source>
        <translation>保存文件名</translation>
    </message>
    <message>
        <source>Download address</source>
        <translation>下载地址</translation>
    </message>
    <message>
        <source>Unzip</source>
        <translation>解压</translation>
    </message>
    <message>
        <source>Check</source>
        <translation>检测</translation>
    </message>
    <message>
        <source>Download</source>
        <translation>下载</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>Version</source>
        <translation>版本号</translation>
    </message>
    <message>
        <source>Download check</source>
        <translation>下载效验</translation>
    </message>
    <message>
        <source>%1: takes one of %2; not &quot;%3&quot;</source>
        <translation>%1：应为 %2 之一，不能是“%3”</translation>
    </message>
    <message>
        <source>--ver: takes a whole number from 1 to 65535, as the dialog&apos;s version field does; not &quot;%1&quot;</source>
        <translation>--ver：与对话框的版本号一栏一样，应为 1 到 65535 的整数，不能是“%1”</translation>
    </message>
    <message>
        <source>NAME: is one of Loginframe, ContactGM, Payment, Payment2, Home; not &quot;%1&quot;</source>
        <translation>NAME：应为 Loginframe、ContactGM、Payment、Payment2、Home 之一，不能是“%1”</translation>
    </message>
    <message>
        <source>Window</source>
        <translation>窗口</translation>
    </message>
    <message>
        <source>the server groups, with their servers&apos; count</source>
        <translation>列出服务器分组及各组的服务器数</translation>
    </message>
    <message>
        <source>add a group at the end</source>
        <translation>在末尾增加一个分组</translation>
    </message>
    <message>
        <source>delete the group and its servers; a group that%1holds servers asks on a terminal, else needs --yes</source>
        <translation>删除分组及其服务器；分组中有服务器时在终端上%1询问，否则需要 --yes</translation>
    </message>
    <message>
        <source>move the group one place up or down</source>
        <translation>将分组上移或下移一位</translation>
    </message>
    <message>
        <source>the servers, numbered by ROW</source>
        <translation>列出服务器，以 ROW 编号</translation>
    </message>
    <message>
        <source>add a server (port 7000 unless given); names,%1addresses and ports of several connections are%1joined by &quot;;&quot;</source>
        <translation>增加一台服务器（未给出端口时为 7000）；多个连接的%1名称、地址和端口用“;”连接</translation>
    </message>
    <message>
        <source>change a server; the group is chosen again, as in%1the window; fields not given keep their values</source>
        <translation>修改一台服务器；与窗口中一样，分组须重新选择；%1未给出的字段保持原值</translation>
    </message>
    <message>
        <source>delete a server</source>
        <translation>删除一台服务器</translation>
    </message>
    <message>
        <source>move a server one row up or down; refused when the%1neighbour is of another group, as the saved file keeps%1each group&apos;s servers together and would not change</source>
        <translation>将服务器上移或下移一行；相邻的服务器属于其他分组时%1不予执行：保存的文件把各分组的服务器写在一起，%1顺序不会改变</translation>
    </message>
    <message>
        <source>the update entries, numbered by ROW</source>
        <translation>列出更新条目，以 ROW 编号</translation>
    </message>
    <message>
        <source>delete an update entry</source>
        <translation>删除一个更新条目</translation>
    </message>
    <message>
        <source>the five web page addresses, or the one named:%1Loginframe, ContactGM, Payment, Payment2, Home</source>
        <translation>列出五个网页地址，或给出名称的那一个：%1Loginframe、ContactGM、Payment、Payment2、Home</translation>
    </message>
    <message>
        <source>set one address (not empty: an empty one is not%1read back, and the placeholder would be published)</source>
        <translation>设置一个地址（不能为空：空地址不会被重新载入，%1发布的将是默认地址）</translation>
    </message>
    <message>
        <source>Tarnwick.xml is in use by %1; waited %2 s for it (--wait SECONDS waits longer). Nothing was changed.</source>
        <translation>Tarnwick.xml 正被 %1 使用；已等待 %2 秒（用 --wait SECONDS 可等待更久）。未做任何修改。</translation>
    </message>
    <message>
        <source>Tarnwick.xml does not load whole, so it is not edited (the window keeps a copy of it before it saves over it): %1</source>
        <translation>Tarnwick.xml 未能完整载入，因此不作修改（窗口程序在覆盖保存前会保留它的副本）：%1</translation>
    </message>
    <message>
        <source>--client and --no-client: give one of them</source>
        <translation>--client 和 --no-client 只能给出其中一个</translation>
    </message>
    <message>
        <source>the remembered game client: %1 (--client COMMAND or --no-client decides here)</source>
        <translation>记住的游戏客户端：%1（可用 --client COMMAND 或 --no-client 另行指定）</translation>
    </message>
    <message>
        <source>note: %1 holds the folder, so the launcher settings were not remembered</source>
        <translation>注意：%1 正在使用这个文件夹，登录器设置没有被记住</translation>
    </message>
    <message>
        <source>note: the launcher settings were not remembered: %1</source>
        <translation>注意：登录器设置没有被记住：%1</translation>
    </message>
    <message>
        <source>%1; give GAMENAME and LISTURL</source>
        <translation>%1；请给出 GAMENAME 和 LISTURL</translation>
    </message>
    <message>
        <source>this folder remembers no launcher settings yet (%1): give GAMENAME and LISTURL</source>
        <translation>这个文件夹还没有记住登录器设置（%1）：请给出 GAMENAME 和 LISTURL</translation>
    </message>
    <message>
        <source>note: %1; it is replaced by this launcher&apos;s settings</source>
        <translation>注意：%1；它会被这个登录器的设置替换</translation>
    </message>
    <message>
        <source>note: Tarnwick.xml is open in %1; what is read here lacks its unsaved edits</source>
        <translation>注意：Tarnwick.xml 已在 %1 中打开；此处读到的内容不含它尚未保存的修改</translation>
    </message>
    <message>
        <source>--client: needs the game client&apos;s command, such as &quot;%1&quot;</source>
        <translation>--client：需要游戏客户端的命令，例如“%1”</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>the translation table</source>
        <translation>翻译表</translation>
    </message>
    <message>
        <source>the file has no version resource</source>
        <translation>文件没有版本信息资源</translation>
    </message>
    <message>
        <source>the version resource has no translation table</source>
        <translation>版本信息资源中没有翻译表</translation>
    </message>
    <message>
        <source>the first translation&apos;s string table has no slot %1</source>
        <translation>第一个翻译的字符串表中没有 %1 这一项</translation>
    </message>
    <message>
        <source>the value has %1 characters; the slot %2 holds at most %3 (and a terminator)</source>
        <translation>值有 %1 个字符；%2 这一项最多只能容纳 %3 个（另加一个结束符）</translation>
    </message>
    <message>
        <source>the file&apos;s resource section has no room for the version resource</source>
        <translation>文件的资源节中没有容纳版本信息资源的空间</translation>
    </message>
    <message>
        <source>%1: %2; nothing written</source>
        <translation>%1：%2；未写入任何内容</translation>
    </message>
    <message>
        <source>%1 stamped in %2</source>
        <translation>已将 %1 写入 %2</translation>
    </message>
    <message>
        <source>%1: the file has no version resource with a translation table</source>
        <translation>%1：文件中没有带翻译表的版本信息资源</translation>
    </message>
    <message>
        <source>write the branded launcher GAMENAME.exe here; COMMAND%1starts the game client, an .exe in the launcher&apos;s%1folder, with %addr% %port% %name% %group% filled in;%1what is left out comes from the folder&apos;s remembered%1launcher settings, which then hold this launcher&apos;s</source>
        <translation>在此处生成登录器 GAMENAME.exe；COMMAND 用于启动%1游戏客户端（登录器文件夹中的 .exe），其中的%1%addr% %port% %name% %group% 会填入实际的值；%1没有给出的部分取自文件夹记住的登录器设置，%1生成后这些设置即为此登录器的设置</translation>
    </message>
    <message>
        <source>overwrite the string KEY of FILE&apos;s version resource;%1status 1, and nothing written, when FILE has no slot%1KEY or VALUE does not fit it</source>
        <translation>改写 FILE 版本信息资源中的字符串 KEY；FILE 中%1没有 KEY 这一项或 VALUE 放不下时状态为 1，%1不写入任何内容</translation>
    </message>
    <message>
        <source>list the first translation&apos;s version strings</source>
        <translation>列出第一个翻译的版本信息字符串</translation>
    </message>
    <message>
        <source>Usage: %1</source>
        <translation>用法：%1</translation>
    </message>
    <message>
        <source>work in FOLDER instead of the current folder: Tarnwick.xml,%1ServerInfo.txt, launchers and files named in arguments</source>
        <translation>在 FOLDER 而不是当前文件夹中工作：Tarnwick.xml、%1ServerInfo.txt、登录器以及参数中给出的文件都在那里</translation>
    </message>
    <message>
        <source>how long an edit waits for Tarnwick.xml while another%1program edits it (default 10)</source>
        <translation>另一个程序正在编辑 Tarnwick.xml 时，修改操作等待它的%1时间（默认 10 秒）</translation>
    </message>
    <message>
        <source>the language of messages and help, Chinese or English;%1by default English when LC_ALL, LC_MESSAGES or LANG%1starts with &quot;en&quot;, else Chinese; --json output and the%1files written are the same in both</source>
        <translation>提示信息和帮助的语言，中文或英文；默认在 LC_ALL、%1LC_MESSAGES 或 LANG 以“en”开头时为英文，否则为%1中文；--json 的输出和写出的文件在两种语言下相同</translation>
    </message>
    <message>
        <source>Commands:</source>
        <translation>命令：</translation>
    </message>
    <message>
        <source>this text</source>
        <translation>显示本帮助</translation>
    </message>
    <message>
        <source>the version</source>
        <translation>显示版本</translation>
    </message>
    <message>
        <source>Edits check what the window&apos;s dialogs check and save Tarnwick.xml as the%1window&apos;s save does, holding the folder&apos;s lock meanwhile; a window keeps the%1lock while it is open. Exit status: 0 done, 1 refused (the window&apos;s notice is%1printed on standard error and nothing is written) or, for verify,%1different, 2 a usage error or input that cannot be read. Texts are UTF-8 on%1the command line and GBK in the files.</source>
        <translation>修改操作的检查与窗口中各对话框的检查相同，保存 Tarnwick.xml 的方式也与%1窗口的保存相同，期间持有该文件夹的锁；窗口打开期间一直持有该锁。%1退出状态：0 表示完成；1 表示被拒绝（窗口的提示信息输出到标准错误，%1不写入任何内容），对 verify 则表示有差异；2 表示用法错误或输入%1无法读取。命令行上的文字为 UTF-8，文件中的文字为 GBK。</translation>
    </message>
    <message>
        <source>%1: needs a value; usage: %2</source>
        <translation>%1：需要一个值；用法：%2</translation>
    </message>
    <message>
        <source>-C: %1: no such folder</source>
        <translation>-C：%1：没有这个文件夹</translation>
    </message>
    <message>
        <source>--wait: takes a number of seconds from 0 to 86400; not &quot;%1&quot;</source>
        <translation>--wait：应为 0 到 86400 之间的秒数，不能是“%1”</translation>
    </message>
    <message>
        <source>%1: unknown command; &apos;tarnwick-cli help&apos; lists them</source>
        <translation>%1：未知的命令；“tarnwick-cli help”会列出所有命令</translation>
    </message>
    <message>
        <source>%1: needs a value; usage: tarnwick-cli %2</source>
        <translation>%1：需要一个值；用法：tarnwick-cli %2</translation>
    </message>
    <message>
        <source>%1: unknown option; usage: tarnwick-cli %2</source>
        <translation>%1：未知的选项；用法：tarnwick-cli %2</translation>
    </message>
    <message>
        <source>usage: tarnwick-cli %1</source>
        <translation>用法：tarnwick-cli %1</translation>
    </message>
    <message>
        <source>%1: holds a character that GBK cannot represent</source>
        <translation>%1：含有 GBK 无法表示的字符</translation>
    </message>
    <message>
        <source>--language: %1</source>
        <translation>--language：%1</translation>
    </message>
    <message>
        <source>ServerInfo.txt signed with key %1 (ServerInfo.txt.sig)</source>
        <translation>ServerInfo.txt 已用密钥 %1 签名（ServerInfo.txt.sig）</translation>
    </message>
    <message>
        <source>warning: update %1 (%2) pins no digest of its download (--down-md5, or --md5 with --check md5 when it is no zip; update edit %1 --file FILE fills them): launchers that check signatures will not install it</source>
        <translation>警告：更新项 %1（%2）没有给出下载文件的校验值（--down-md5，或不是压缩包时用 --md5 和 --check md5；update edit %1 --file 文件 可以填写）：校验签名的登录器不会安装它</translation>
    </message>
    <message>
        <source>signature: none; launchers made with your key refuse this list</source>
        <translation>签名：没有；用你的密钥生成的登录器会拒绝这个列表</translation>
    </message>
    <message>
        <source>signature: good, key %1, serial %2, signed %3</source>
        <translation>签名：正确，密钥 %1，序号 %2，签名时间 %3</translation>
    </message>
    <message>
        <source>signature: made with key %1, which is not yours (%2)</source>
        <translation>签名：用密钥 %1 签名，不是你的密钥（%2）</translation>
    </message>
    <message>
        <source>signature: BAD: %1</source>
        <translation>签名：有误：%1</translation>
    </message>
    <message>
        <source>compare a published ServerInfo.txt (at most 256 MiB)%1with what serverinfo writes now: &quot;up to date&quot; and%1status 0, or the differences and status 1; status 2%1when it cannot be read:%1curl -s URL | tarnwick-cli verify -%1and the signature: FILE.sig beside FILE, or the one%1given; status 1 when launchers made with%1your key would refuse the list</source>
        <translation>把已发布的 ServerInfo.txt（最多 256 MiB）%1与 serverinfo 现在写出的内容比较：相同时显示“up to date”%1（状态 0），否则列出差别（状态 1）；无法读取时%1状态 2：%1curl -s URL | tarnwick-cli verify -%1并检查签名：FILE 旁边的 FILE.sig，或指定的%1签名文件；用你的密钥生成的登录器会拒绝%1这个列表时状态 1</translation>
    </message>
    <message>
        <source>OPTIONS: --zip no|yes, --check none|version|exists|pak|md5,%1--download direct|album, --date TEXT, --ver 1..65535,%1--md5 TEXT, --down-md5 TEXT; a new entry starts from%1the dialog&apos;s starting values (save folder .\, date and%1download check 20050505, version 1, no, none, direct);%1--file LOCALFILE fills --down-md5 (and --md5 when no zip)%1with the digest of the file to publish, which lists%1signed for launchers must pin</source>
        <translation>OPTIONS：--zip no|yes, --check none|version|exists|pak|md5,%1--download direct|album, --date TEXT, --ver 1..65535,%1--md5 TEXT, --down-md5 TEXT；新条目从对话框的%1初始值开始（保存位置 .\，时间和下载效验 20050505，%1版本号 1，no，none，direct）；%1--file 本地文件 用要发布的文件的校验值填写 --down-md5%1（不是压缩包时也填写 --md5）：为登录器签名的列表%1必须给出这些校验值</translation>
    </message>
    <message>
        <source>no signing key (%1 does not exist); &quot;tarnwick-cli key new&quot; makes one</source>
        <translation>没有签名密钥（%1 不存在）；用“tarnwick-cli key new”创建</translation>
    </message>
    <message>
        <source>signing key: %1</source>
        <translation>签名密钥：%1</translation>
    </message>
    <message>
        <source>backup key:  %1</source>
        <translation>备用密钥：%1</translation>
    </message>
    <message>
        <source>key file:    %1</source>
        <translation>密钥文件：%1</translation>
    </message>
    <message>
        <source>serials:     %1</source>
        <translation>序号文件：%1</translation>
    </message>
    <message>
        <source>a signing key exists already (%1); key new never replaces one</source>
        <translation>已有签名密钥（%1）；key new 不会替换已有的密钥</translation>
    </message>
    <message>
        <source>made a signing key and a backup key</source>
        <translation>已创建签名密钥和备用密钥</translation>
    </message>
    <message>
        <source>Now run &quot;tarnwick-cli key export FILE&quot; and keep FILE offline: without the keys,%1lists can no longer be signed for the launchers made with them.</source>
        <translation>现在请运行“tarnwick-cli key export 文件”，并把文件离线保存：没有这些密钥，%1就不能再为用它们生成的登录器签名列表。</translation>
    </message>
    <message>
        <source>%1 exists already; nothing written</source>
        <translation>%1 已存在；没有写入</translation>
    </message>
    <message>
        <source>keys imported</source>
        <translation>密钥已导入</translation>
    </message>
    <message>
        <source>these keys are here already</source>
        <translation>这些密钥已经在这里</translation>
    </message>
    <message>
        <source>other signing keys are here (%1); nothing imported</source>
        <translation>这里已有其他签名密钥（%1）；没有导入</translation>
    </message>
    <message>
        <source>make a signing key and a backup key in the user&apos;s%1settings folder (never over existing keys); from then%1on serverinfo signs ServerInfo.txt and launchers accept%1only lists signed by them</source>
        <translation>在用户的设置文件夹中创建签名密钥和备用密钥%1（不会覆盖已有的密钥）；此后 serverinfo%1会签名 ServerInfo.txt，登录器只接受%1用它们签名的列表</translation>
    </message>
    <message>
        <source>the keys&apos; ids and where they are</source>
        <translation>密钥的编号和位置</translation>
    </message>
    <message>
        <source>write both key pairs to FILE, for the backup that belongs%1offline</source>
        <translation>把两对密钥写入 FILE，作为应离线保存的%1备份</translation>
    </message>
    <message>
        <source>take both key pairs from an exported FILE</source>
        <translation>从导出的 FILE 导入两对密钥</translation>
    </message>
    <message>
        <source>both key pairs written to %1, unencrypted: keep it offline (a USB stick in a drawer),%2never on the web host, and delete other copies</source>
        <translation>两对密钥已写入 %1（未加密）：请离线保存（例如放在抽屉里的 U 盘上），%2不要放在网站服务器上，并删除其他副本</translation>
    </message>
    <message>
        <source>the backup key signs from now on, which every launcher made before accepts;%1a new backup key was made: export the keys again and keep them offline</source>
        <translation>从现在起由备用密钥签名，之前生成的登录器都接受它；%1已创建新的备用密钥：请重新导出密钥并离线保存</translation>
    </message>
    <message>
        <source>when the signing key was lost or exposed: the backup%1signs from now on (launchers made before accept it)%1and a new backup is made</source>
        <translation>签名密钥丢失或泄露时：从此由备用密钥%1签名（之前生成的登录器接受它），%1并创建新的备用密钥</translation>
    </message>
    <message>
        <source>note: there is no Tarnwick.xml in %1; what follows is what a new one starts with</source>
        <translation>注意：%1 中没有 Tarnwick.xml；以下是新建时的初始内容</translation>
    </message>
    <message>
        <source>Tarnwick.xml does not load whole; what follows is what stood before the damage: %1</source>
        <translation>Tarnwick.xml 没有完整载入；以下是损坏处之前读到的内容：%1</translation>
    </message>
    <message>
        <source>%1 uses only a Tarnwick.xml that loads whole: %2</source>
        <translation>%1 只使用能完整载入的 Tarnwick.xml：%2</translation>
    </message>
    <message>
        <source>%1 refused the password; password for %2: </source>
        <translation>%1 拒绝了这个密码；%2 的密码：</translation>
    </message>
    <message>
        <source>Password for %2 at %1: </source>
        <translation>%1 上 %2 的密码：</translation>
    </message>
    <message>
        <source>Keep the password in the system&apos;s keyring?</source>
        <translation>把密码保存在系统的密钥环中？</translation>
    </message>
    <message>
        <source>The host %1 is not known; its key&apos;s fingerprint is %2.</source>
        <translation>还不认识主机 %1；它的密钥指纹是 %2。</translation>
    </message>
    <message>
        <source>Standard input is no terminal to ask on: accept the key with --accept-host-key %1 once you have checked it with the server&apos;s administrator.</source>
        <translation>标准输入不是可以询问的终端：与服务器管理员核对指纹后，用 --accept-host-key %1 接受这个密钥。</translation>
    </message>
    <message>
        <source>Trust this key and remember it in known_hosts?</source>
        <translation>信任这个密钥并记在 known_hosts 中？</translation>
    </message>
    <message>
        <source>%1 left</source>
        <translation>还剩 %1</translation>
    </message>
    <message>
        <source>WRONG</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>结果</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>Found</source>
        <translation>结果说明</translation>
    </message>
    <message>
        <source>sent</source>
        <translation>已发送</translation>
    </message>
    <message>
        <source>unchanged</source>
        <translation>未改变</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>上传</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>大小</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>路径</translation>
    </message>
    <message>
        <source>--to: where to publish is not given, and this folder has not been published before</source>
        <translation>--to：没有给出发布到哪里，这个文件夹以前也没有发布过</translation>
    </message>
    <message>
        <source>Files this publish does not upload, asked of the players&apos; address:</source>
        <translation>这次不上传的文件，从玩家的地址查询：</translation>
    </message>
    <message>
        <source>What players fetch:</source>
        <translation>玩家获取的文件：</translation>
    </message>
    <message>
        <source>published: %1 sent, everything players fetch is right</source>
        <translation>发布完成：发送了 %1，玩家获取的文件全部正确</translation>
    </message>
    <message>
        <source>nothing was uploaded</source>
        <translation>没有上传任何文件</translation>
    </message>
    <message>
        <source>cancelled; the site is as players saw it</source>
        <translation>已取消；网站保持玩家看到的原样</translation>
    </message>
    <message>
        <source>the publish stopped while files were put in place: publish again to complete it</source>
        <translation>发布在放置文件时中断：请再次发布以完成</translation>
    </message>
    <message>
        <source>the site is as players saw it; publish again to complete it</source>
        <translation>网站保持玩家看到的原样；请再次发布以完成</translation>
    </message>
    <message>
        <source>uploaded, but not everything players fetch is right (see the table)</source>
        <translation>已上传，但玩家获取的文件并非全部正确（见表）</translation>
    </message>
    <message>
        <source>upload the update files, the launcher, ServerInfo.txt.sig%1and ServerInfo.txt to DESTINATION (sftp://, ftp://,%1ftps://, http(s):// WebDAV, or a folder) under%1temporary names, then put them in place in that%1order; only what changed since the last publish%1is sent (--full: everything). URL: the launcher&apos;s%1list address (default: the remembered one); FOLDER:%1the local copy of the site, where each DownUrl%1below the list&apos;s folder maps to a file. Refused,%1with nothing uploaded, when ServerInfo.txt or its%1signature is not current, or a file&apos;s MD5 differs%1from its entry. Afterwards what players fetch is%1checked over URL (--deep: every digest): status 0%1when all is right, 1 when not, 2 for bad input.%1Passwords: the system&apos;s keyring, ~/.netrc, or%1TARNWICK_PUBLISH_PASSWORD; SFTP keys from%1ssh-agent or --key; a new host key is trusted%1when confirmed on the terminal or with%1--accept-host-key. The choices are remembered%1in Tarnwick.publish.json (never a password)</source>
        <translation>把更新文件、登录器、ServerInfo.txt.sig 和%1ServerInfo.txt 上传到 DESTINATION（sftp://、ftp://、%1ftps://、http(s):// WebDAV 或文件夹）：先用临时名，%1全部上传后再按这个顺序放置到位；只发送上次发布%1以来改变了的文件（--full：全部）。URL：登录器的%1列表地址（默认为记住的地址）；FOLDER：网站在%1本机的副本，列表所在文件夹之下的每个 DownUrl%1对应其中的一个文件。ServerInfo.txt 或其签名不是%1最新的、或者文件的 MD5 与条目不符时不予执行，%1不上传任何文件。之后从 URL 校验玩家获取的%1文件（--deep：每个校验值）：全部正确时状态为 0，%1否则为 1，输入有误时为 2。密码：系统的密钥环、%1~/.netrc 或 TARNWICK_PUBLISH_PASSWORD；SFTP 密钥%1来自 ssh-agent 或 --key；新的主机密钥须在终端上%1确认或用 --accept-host-key 接受。这些选择记在%1Tarnwick.publish.json 中（从不记密码）</translation>
    </message>
    <message>
        <source>write FILE.blocks beside each file of 4 MiB or more:%1the block index with which launchers fetch only%1what changed in a file they hold; publish makes%1it itself; by hand, upload it after its file;%1status 2 when a file cannot be read (the others%1are still done)</source>
        <translation>为每个 4 MiB 及以上的文件在旁边写出 FILE.blocks：%1登录器凭这个块索引只下载已有文件中改动的部分；%1发布时会自动生成；手工上传时请在文件之后上传；%1有文件无法读取时状态为 2（其余文件照常处理）</translation>
    </message>
    <message>
        <source>%1: smaller than %2, which launchers download whole: no index written</source>
        <translation>%1：小于 %2，登录器会整个下载，未写出块索引</translation>
    </message>
    <message>
        <source>%1: %2 blocks of %3 bytes, index of %4 bytes</source>
        <translation>%1：%2 块，每块 %3 字节，索引 %4 字节</translation>
    </message>
</context>
</TS>

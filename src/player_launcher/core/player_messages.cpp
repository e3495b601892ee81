#include "player_launcher/core/player_messages.h"

#include "player_launcher/core/texts.h"

#include <new>

namespace tarnwick::player {

std::string AdviceFor(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::NoRoom: return "磁盘空间不足：请清理磁盘后重试。";
    case ErrorKind::NoPermission:
        return "没有权限：游戏文件夹或文件是只读的，或被安全软件阻止。请把游戏装在有写入权限的文件夹，或以管理员身份运行登录器。";
    case ErrorKind::InUse: return "文件正被另一个程序使用：请关闭游戏和其他正在使用它的程序后重试。";
    case ErrorKind::NotFound: return "文件或文件夹不存在：请检查游戏是否完整安装。";
    case ErrorKind::Damaged: return "文件已损坏：请删除它后重试。";
    case ErrorKind::Failed: break;
    }
    return "请稍后重试；如果仍然失败，请联系游戏管理员。";
}

std::string FileFailureText(const std::string& action, const std::filesystem::path& path, ErrorKind kind)
{
    return "无法" + action + "“" + ShownPath(path) + "”。" + AdviceFor(kind);
}

std::string FileFailureText(const std::string& action, const std::filesystem::path& path, const std::error_code& error)
{
    return FileFailureText(action, path, KindOfErrorCode(error));
}

std::string FileFailureText(const std::string& action, const std::filesystem::filesystem_error& error)
{
    return FileFailureText(action, error.path1(), error.code());
}

// The shared layers' errors are worded in GBK, as all their text is.
std::string ErrorTextOf(const Error& error) { return ShownUtf8OfGbk(error.what()); }

std::string ExceptionText(const std::exception& error)
{
    if (const auto* ours = dynamic_cast<const Error*>(&error))
        return ErrorTextOf(*ours);
    if (const auto* file = dynamic_cast<const std::filesystem::filesystem_error*>(&error))
        return FileFailureText("访问", *file);
    if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr)
        return "内存不足：请关闭其他程序后重试。";
    if (const auto* system = dynamic_cast<const std::system_error*>(&error))
        return "登录器出错（错误代码 " + std::to_string(system->code().value()) + "）。" +
               AdviceFor(KindOfErrorCode(system->code()));
    return "登录器内部出错。" + AdviceFor(ErrorKind::Failed);
}


// Downloads: the server list and update files.

namespace {

// What the status says the server meant, and what the player can do about it.
std::string StatusMeaning(long status)
{
    switch (status) {
    case 401:
    case 403: return "（服务器拒绝访问）。请联系游戏管理员。";
    case 404: return "（服务器上没有这个文件）。请联系游戏管理员。";
    case 500: return "（服务器内部错误）。服务器暂时出了问题，请稍后再试。";
    case 502:
    case 503:
    case 504: return "（服务器暂时无法提供服务）。请稍后再试。";
    default: break;
    }
    if (status >= 300 && status < 400)
        return "（服务器要求转到其他地址，但没有给出可用的地址）。请联系游戏管理员。";
    if (status >= 500)
        return "。服务器暂时出了问题，请稍后再试。";
    return "。请稍后重试；如果仍然失败，请联系游戏管理员。";
}

std::string WithCode(std::string text, long code)
{
    return code == 0 ? text : text + "（错误代码 " + std::to_string(code) + "）";
}

constexpr std::string_view kCheckNetwork = "请检查网络连接后重试。";
constexpr std::string_view kAskOperator = "请联系游戏管理员。";

} // namespace

std::string FailureText(const DownloadFailure& failure, const Subject& subject)
{
    const bool list = subject.IsList();
    const std::string what = list ? "服务器列表" : "更新文件“" + subject.file + "”";
    const std::string host = failure.detail.empty() ? (list ? "服务器列表地址" : "更新服务器") : "“" + failure.detail + "”";
    std::string_view said = failure.detail;
    if (said.ends_with("。"))
        said.remove_suffix(std::string_view("。").size());
    const std::string detail = said.empty() ? std::string() : "：" + std::string(said);
    switch (failure.problem) {
    case DownloadProblem::None: return {};
    case DownloadProblem::NotStamped:
        return list ? "这个登录器没有设置服务器列表地址：生成登录器时没有写入列表地址。请向游戏管理员索取新的登录器。"
                    : what + "没有下载地址。" + std::string(kAskOperator);
    case DownloadProblem::BadAddress:
        return what + "的下载地址不可用" + detail + "。" + std::string(kAskOperator);
    case DownloadProblem::NoConnection:
        return WithCode("无法连接到" + host + "，" + what + "没有下载：找不到服务器或连接被拒绝", failure.code) +
               "。" + std::string(kCheckNetwork) + "如果网络正常，可能是服务器暂时关闭，请稍后再试。";
    case DownloadProblem::Timeout:
        return "下载" + what + "时连接" + host + "超时：" + std::to_string(kConnectSeconds) + " 秒内未能连上，或 " +
               std::to_string(kReadSeconds) + " 秒内没有收到数据" +
               (list ? "，或下载超过 " + std::to_string(kTotalSeconds) + " 秒" : std::string()) + "。" +
               std::string(kCheckNetwork) + "如果网络正常，可能是服务器繁忙，请稍后再试。";
    case DownloadProblem::HttpStatus:
        return what + "下载失败：服务器返回 HTTP " + std::to_string(failure.code) + StatusMeaning(failure.code);
    case DownloadProblem::Redirect:
        return failure.detail.empty()
                   ? what + "的下载地址被转到了不允许的地址：只接受 http 和 https，且不从 https 转到 http。" +
                         std::string(kAskOperator)
                   : what + "的下载地址转向有误" + detail + "。" + std::string(kAskOperator);
    case DownloadProblem::SecureChannel:
        return WithCode("无法与" + host + "建立安全连接（HTTPS 证书无效或不受信任），" + what + "没有下载", failure.code) +
               "。请检查电脑的日期和时间是否正确；如果正确，请联系游戏管理员。";
    case DownloadProblem::Network:
        return WithCode("下载" + what + "时出现网络错误", failure.code) + "。" + std::string(kCheckNetwork);
    case DownloadProblem::Incomplete:
        return what + "没有下载完整：连接在 " + failure.detail + " 处中断。" + std::string(kCheckNetwork);
    case DownloadProblem::TooLarge:
        return list ? "服务器列表文件太大：超过 " + SizeText(kMaxListBytes) + " 的上限，不是服务器列表。" +
                          std::string(kAskOperator)
                    : what + "太大，超过了" + (said.empty() ? std::string("允许的上限") : " " + std::string(said) + " 的上限") +
                          "。" + std::string(kAskOperator);
    case DownloadProblem::Damaged:
        return what + "无法使用（已损坏、不完整或用其他密钥生成）" + detail + "。" + std::string(kAskOperator);
    case DownloadProblem::Unsigned:
        return what + "没有签名，已拒绝：这个登录器只接受运营者签名的列表（服务器上缺少 ServerInfo.txt.sig）。" +
               std::string(kAskOperator);
    case DownloadProblem::OtherKey:
        return what + "是用其他密钥签名的（密钥编号 " + failure.detail +
               "），已拒绝：这个登录器只接受它的运营者签名的列表。" + std::string(kAskOperator);
    case DownloadProblem::BadSignature:
        return what + "的签名已损坏或不符，已拒绝" + detail + "。请稍后重试；如果仍然失败，请联系游戏管理员。";
    case DownloadProblem::Older:
        return what + "比这个登录器已经用过的列表旧（序号 " + failure.detail +
               "），已拒绝：可能有人重放了旧列表。请稍后重试；如果仍然失败，请联系游戏管理员。";
    case DownloadProblem::KeysDamaged:
        return "这个登录器中的签名公钥已损坏，不能接受任何服务器列表。请向游戏管理员重新下载登录器。";
    }
    return {};
}

std::string NotRefreshedText(const DownloadFailure& why)
{
    return "服务器列表未能刷新，这是上次取得的列表，可能不是最新的。" + FailureText(why);
}

std::string KeptListShownText(std::size_t groups, std::size_t servers, const DownloadFailure& why)
{
    return "服务器列表未能刷新，显示的是上次取得的列表（" + std::to_string(groups) + " 个服务器组，" +
           std::to_string(servers) + " 个服务器），可能不是最新的，也没有检查更新；仍可以开始游戏。\n" + FailureText(why);
}

std::string SizeText(std::uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    char text[32];
    if (bytes < 1024 * 1024)
        std::snprintf(text, sizeof text, "%.1f KB", static_cast<double>(bytes) / 1024.0);
    else
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
    return text;
}

std::string ProgressText(std::uint64_t received, std::optional<std::uint64_t> total)
{
    std::string text = "正在下载服务器列表：" + SizeText(received);
    if (total && *total > 0)
        text += " / " + SizeText(*total) + "（" + std::to_string(std::min<std::uint64_t>(received * 100 / *total, 100)) +
                "%）";
    return text;
}

// Where update files may go, and which pages open.

std::string PathRefusalText(PathRefusal refusal)
{
    switch (refusal) {
    case PathRefusal::None: return {};
    case PathRefusal::Empty: return "没有文件名";
    case PathRefusal::Absolute: return "路径从磁盘根目录开始，不在登录器所在的文件夹内";
    case PathRefusal::Drive: return "路径指定了盘符，不在登录器所在的文件夹内";
    case PathRefusal::Network: return "路径指向网络或设备路径，不在登录器所在的文件夹内";
    case PathRefusal::ParentStep: return "路径含有“..”，会走出登录器所在的文件夹";
    case PathRefusal::Stream: return "路径含有冒号（数据流或盘符），不允许";
    case PathRefusal::DeviceName: return "路径含有设备名（如 CON、NUL、COM1），不允许";
    case PathRefusal::TrailingDotOrSpace: return "文件或文件夹名以点或空格结尾，Windows 会把它当作另一个名字";
    case PathRefusal::BadCharacter: return "路径含有文件名不允许的字符";
    case PathRefusal::TooLong: return "路径太长（文件名最多 255 个字符，整个路径最多 200 个字符）";
    }
    return {};
}

std::string RefusalText(const CheckedAddress& checked)
{
    switch (checked.check) {
    case AddressCheck::Web: return {};
    case AddressCheck::Empty: return "没有设置这个网址。";
    case AddressCheck::NoScheme:
        return "“" + ShownUtf8(checked.address) + "”不是网址（只打开以 http:// 或 https:// 开头的地址）。";
    case AddressCheck::OtherScheme:
        return "不打开“" + ShownUtf8(checked.scheme) + ":”类型的地址（只打开 http 和 https 网址）：" +
               ShownUtf8(checked.address);
    case AddressCheck::NoHost: return "网址“" + ShownUtf8(checked.address) + "”没有主机名。";
    case AddressCheck::BadCharacter: return "网址中含有空格或控制字符，不予打开。";
    }
    return {};
}

// Archives.

namespace {

std::string MemberText(std::u16string_view member) { return "“" + ShownUtf8(member) + "”"; }

// A broken archive may be a broken download; a refused one is the operator's to mend.
constexpr std::string_view kTryAgain = "请重试；如果仍然失败，请联系游戏管理员。";

} // namespace

std::string ArchiveText(ArchiveProblem problem, std::u16string_view member, std::uint64_t count, std::uint64_t limit)
{
    const std::string name = MemberText(member);
    const std::string number = std::to_string(count), cap = std::to_string(limit);
    const auto mend = [](std::string text) { return text + "。" + std::string(kAskOperator); };
    const auto again = [](std::string text) { return text + "。" + std::string(kTryAgain); };
    switch (problem) {
    case ArchiveProblem::NotZip: return again("下载的文件不是可以读取的 zip 压缩包");
    case ArchiveProblem::DirectoryDamaged: return again("压缩包的目录已损坏");
    case ArchiveProblem::TooManyMembers: return mend("压缩包中有 " + number + " 个文件，超过上限 " + cap + " 个");
    case ArchiveProblem::NameUnreadable: return mend("压缩包中有一个文件名无法识别（既不是 UTF-8 也不是 GBK）");
    case ArchiveProblem::Encrypted: return mend("压缩包中的 " + name + " 已加密，无法解压");
    case ArchiveProblem::UnsupportedMethod: return mend("压缩包中的 " + name + " 使用了不支持的压缩方式");
    case ArchiveProblem::MemberTooLarge:
        return mend("压缩包中的 " + name + " 解压后有 " + number + " 字节，超过单个文件的上限 " + cap + " 字节");
    case ArchiveProblem::TotalTooLarge: return mend("压缩包解压后超过 " + cap + " 字节的上限");
    case ArchiveProblem::Duplicate: return mend("压缩包中有两个文件都解压到 " + name);
    case ArchiveProblem::ChangedWhileRead: return again("压缩包的内容在读取时改变了");
    case ArchiveProblem::MemberUnreadable: return again("无法读取压缩包中的 " + name);
    case ArchiveProblem::MemberGrew: return again("压缩包中的 " + name + " 比目录中写的大小更大");
    case ArchiveProblem::MemberDamaged: return again("压缩包中的 " + name + " 已损坏");
    case ArchiveProblem::MemberChecksum: return again("压缩包中的 " + name + " 校验值不符，已损坏");
    }
    return {};
}

std::string ArchiveMemberRefused(std::u16string_view member, PathRefusal refusal)
{
    return "压缩包中的 " + MemberText(member) + " 不能解压：" + PathRefusalText(refusal) + "。" +
           std::string(kAskOperator);
}

// Update files and the launcher's own.

Subject UpdateFileSubject(std::string_view url)
{
    const std::string_view path = url.substr(0, url.find_first_of("?#"));
    const std::size_t slash = path.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return Subject::File(std::string(name.empty() ? url : name));
}

std::string TransferText(TransferProblem problem, const Subject& subject, int status)
{
    const std::string what = subject.IsList() ? "服务器列表" : "更新文件“" + subject.file + "”";
    switch (problem) {
    case TransferProblem::RangeAnswerWrong:
        return "续传" + what + "时服务器的回答不对（HTTP " + std::to_string(status) + "），将重新下载整个文件。" +
               std::string(kTryAgain);
    case TransferProblem::LongerThanAnnounced:
        return "服务器发来的" + what + "比它声明的长度多，已停止下载。" + std::string(kTryAgain);
    }
    return {};
}

std::string SelfUpdateText(SelfUpdateProblem problem, ErrorKind kind)
{
    constexpr std::string_view kKept = "，已继续使用原来的登录器。";
    const std::string ask = std::string(kKept) + std::string(kAskOperator);
    switch (problem) {
    case SelfUpdateProblem::NotAProgram: return "下载的新版登录器不是可以运行的程序" + ask;
    case SelfUpdateProblem::OtherMachine: return "下载的新版登录器是为另一种电脑做的程序，不能在这台电脑上运行" + ask;
    case SelfUpdateProblem::NoWindow: return "下载的新版登录器不是有窗口的程序" + ask;
    case SelfUpdateProblem::CannotStart: return "无法启动新版登录器" + std::string(kKept) + AdviceFor(kind);
    case SelfUpdateProblem::DidNotStart: return "下载的新版登录器没有正常启动" + ask;
    }
    return {};
}

// Update entries.

std::string NeedText(NeedReason reason)
{
    switch (reason) {
    case NeedReason::Missing: return "文件不存在";
    case NeedReason::Md5Differs: return "文件的 MD5 值与更新列表不同";
    case NeedReason::NoVersionRecord: return "没有记录已安装的版本";
    case NeedReason::NoDateRecord: return "没有记录已安装的日期";
    case NeedReason::DateDiffers: return "更新列表中的日期与已安装的不同";
    case NeedReason::NoArchiveRecord: return "没有记录已安装的压缩包";
    case NeedReason::ArchiveIncomplete: return "压缩包的文件不全";
    case NeedReason::ArchiveMd5Differs: return "压缩包的 MD5 值与更新列表不同";
    }
    return {};
}

std::string VersionLowerText(std::uint64_t installed, std::uint64_t wanted)
{
    return "已安装版本 " + std::to_string(installed) + " 低于 " + std::to_string(wanted);
}

std::string Md5NotDigestText(std::string_view md5)
{
    return "更新列表中的 MD5 值不是 32 位十六进制数" + (md5.empty() ? std::string() : "：" + std::string(md5)) + "。" +
           std::string(kAskOperator);
}

std::string VersionNotNumberText(std::string_view version)
{
    return "更新列表中的版本号不是整数：" + std::string(version) + "。" + std::string(kAskOperator);
}

std::string AlbumSkippedText(std::string_view reason) { return "不支持百度相册下载（" + std::string(reason) + "）"; }

std::string EntryProblemText(EntryProblem problem)
{
    switch (problem) {
    case EntryProblem::PathNotText: return "保存位置或文件名不是有效的文字。" + std::string(kAskOperator);
    case EntryProblem::NotPinned:
        return "签名的列表没有给出这个文件的校验值（DownMD5 或 MD5），不予安装。" + std::string(kAskOperator);
    }
    return {};
}

std::string PathRefusedText(std::string_view path, PathRefusal refusal)
{
    return "保存位置“" + std::string(path) + "”不允许：" + PathRefusalText(refusal) + "。" + std::string(kAskOperator);
}

std::string UrlNotTextText(std::string_view url)
{
    return "下载地址不是有效的文字：" + std::string(url) + "。" + std::string(kAskOperator);
}

std::string DownloadFailedText(std::string_view why) { return "下载失败：" + std::string(why); }

std::string DigestMismatchText(std::string_view expected, std::string_view got)
{
    return "下载的文件校验值不符（应为 " + std::string(expected) + "，实为 " + std::string(got) + "），原文件未改动。" +
           std::string(kTryAgain);
}

std::string UpdatedUnrecordedText(std::string_view why) { return "已更新，但" + std::string(why); }

// Starting the game.

std::string ClientCheckText(ClientCheck check)
{
    // Each refusal is the launcher's configuration: only its operator can change it.
    const auto refused = [&](std::string_view why) { return std::string(why) + std::string(kAskOperator); };
    switch (check) {
    case ClientCheck::Ready: return {};
    case ClientCheck::NotConfigured: return refused("未配置游戏客户端：生成登录器时没有写入游戏客户端命令。");
    case ClientCheck::NoProgram: return refused("游戏客户端命令中没有程序名。");
    case ClientCheck::FieldInProgram: return refused("游戏客户端的程序名中不能使用 %addr% 等字段。");
    case ClientCheck::OutsideFolder: return refused("只能启动登录器所在文件夹中的程序，不允许“..”或其他文件夹的路径。");
    case ClientCheck::NetworkPath: return refused("不能启动网络路径（\\\\服务器\\共享）上的程序。");
    case ClientCheck::DriveRelative: return refused("游戏客户端路径“C:程序名”形式不明确，应写登录器文件夹中的相对路径。");
    case ClientCheck::BadProgramName: return refused("游戏客户端的程序名含有文件名中不允许的字符。");
    case ClientCheck::NotAProgram: return refused("游戏客户端必须是 .exe 程序（不启动批处理或脚本）。");
    case ClientCheck::NoConnection: return "这个服务器没有可用的连接地址。请选择其他服务器或线路。";
    case ClientCheck::FieldNotAllowed:
        return refused("服务器的名称、地址或端口含有不允许的字符（引号、反斜杠、控制字符、空格或无法识别的文字），不能启动游戏。");
    }
    return {};
}

std::string ClientMissingText(std::string_view program)
{
    return "找不到游戏客户端“" + std::string(program) + "”。请检查游戏是否完整安装在登录器所在的文件夹。";
}

std::string ClientStartFailedText(std::string_view program, unsigned long error, ErrorKind kind)
{
    return "无法启动游戏客户端“" + std::string(program) + "”（错误代码 " + std::to_string(error) + "）。" + AdviceFor(kind);
}

std::string GameStartedText(std::string_view server, std::string_view entry)
{
    return "游戏已启动：" + std::string(server) + " / " + std::string(entry);
}

std::string NoSuchServerText(std::string_view group, std::string_view server, std::optional<unsigned long> entry)
{
    return "服务器列表中没有这个服务器或线路：" + std::string(group) + " / " + std::string(server) +
           (entry ? " / " + std::to_string(*entry) : std::string());
}

std::string LauncherFailedText(const std::exception& error) { return "登录器无法运行：" + ExceptionText(error); }

std::string ActionFailedText(const std::exception& error) { return "操作失败：" + ExceptionText(error); }

// The window.

std::string ConnectingText(std::string_view listUrl) { return "正在连接服务器列表地址：" + std::string(listUrl); }

std::string ListShownText(std::size_t groups, std::size_t servers)
{
    return "服务器列表已更新：" + std::to_string(groups) + " 个服务器组，" + std::to_string(servers) + " 个服务器。";
}

std::string UpdateStoppedText(std::string_view why) { return "更新中止：" + std::string(why); }

std::string PageNotTextText(std::string_view address) { return "网址中有无法识别的文字，不予打开：" + std::string(address); }

std::string BrowserFailedText(long long code, std::string_view address)
{
    return "无法打开浏览器（错误代码 " + std::to_string(code) + "）。请把这个网址复制到浏览器中打开：" + std::string(address);
}

// The update run.

std::string EntryCheckingText(std::string_view entry) { return std::string(entry) + "：正在检查"; }

std::string RunProgressText(std::size_t entries, std::size_t done, std::string_view downloaded, std::string_view rate)
{
    return "共 " + std::to_string(entries) + " 项，已完成 " + std::to_string(done) + " 项；本次已下载 " +
           std::string(downloaded) + "，" + std::string(rate);
}

std::string RunSummaryText(const std::size_t (&counts)[4])
{
    std::string text = "更新完成：";
    for (std::size_t outcome : {1u, 0u, 2u, 3u}) // updated, current, skipped, failed
        text += std::string(kOutcomeWords[outcome]) + " " + std::to_string(counts[outcome]) + " 项" +
                (outcome == 3 ? "。" : "，");
    return text;
}

std::string NameNotKeptText(bool lineBreak)
{
    return std::string("服务器组或服务器的名称中有") + (lineBreak ? "换行" : "无法保存的文字") +
           "，无法保存。下次启动时请重新选择服务器。";
}

std::string ChoiceNotKeptText(std::string_view why) { return "已启动游戏，但无法记住所选的服务器：" + std::string(why); }

} // namespace tarnwick::player

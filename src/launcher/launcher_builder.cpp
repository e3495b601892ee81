#include "launcher/launcher_builder.h"

#include "config/error.h"
#include "config/file_io.h"
#include "config/text.h"
#include "launcher/mapped_file.h"
#include "launcher/version_stamp.h"

#include <optional>
#include <system_error>

namespace tarnwick {
namespace {

constexpr std::size_t kGameNameBytes = 20;
constexpr std::size_t kServerListBytes = 200;

// Texts are written in UTF-8 here and shown as GBK, like all core text.
std::string Gbk(const char8_t* utf8)
{
    return Utf8ToGbk(reinterpret_cast<const char*>(utf8));
}

// A game name becomes a file name in the folder, so it may not name another
// folder or hold what Windows refuses in a file name. The test walks GBK
// characters: a trail byte may have the value of '\' or '|'.
bool AllowedAsFileName(std::string_view name)
{
    if (name == "." || name == "..")
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto b = static_cast<unsigned char>(name[i]);
        if (b >= 0x81 && b <= 0xFE && i + 1 < name.size()) {
            ++i;
            continue;
        }
        if (b < 0x20 || b == 0x7F || std::string_view("\\/:*?\"<>|").find(static_cast<char>(b)) != std::string_view::npos)
            return false;
    }
    return true;
}

Error NameNotAllowed(const std::filesystem::path& folder, const std::string& fileName)
{
    return Error("Cannot create file \"" + PathText(folder) + "/" + fileName + "\". " +
                 "The name is not allowed as a file name (it may not hold \\ / : * ? \" < > | or control "
                 "characters, nor be \".\" or \"..\").");
}

} // namespace

LauncherBuilder::LauncherBuilder(std::span<const std::byte> image, std::filesystem::path folder)
    : image_(image), folder_(std::move(folder))
{
}

void LauncherBuilder::GenerateLoginButtonClick(std::string_view gameNameEdit, std::string_view serverListEdit,
                                               Notifier& notifier) const
{
    // Both are trimmed before they are cut, so a cut can leave a trailing space;
    // a cut never leaves half a character.
    const std::string gameName(CutGbk(Trimmed(gameNameEdit), kGameNameBytes));
    const std::string serverListUrl(CutGbk(Trimmed(serverListEdit), kServerListBytes));
    if (gameName.empty()) {
        notifier.Notice(NoticeKind::Refusal, Gbk(u8"错误提示"), Gbk(u8"游戏名字不能留空！"));
        return;
    }
    if (serverListUrl.empty()) {
        notifier.Notice(NoticeKind::Refusal, Gbk(u8"错误提示"), Gbk(u8"列表地址不能留空！"));
        return;
    }

    // The launcher is a Windows program: it carries the name it would have
    // there. On this system the file's name is the same text in UTF-8.
    const std::string outputPath = ".\\" + gameName + ".exe";
    if (!AllowedAsFileName(gameName))
        throw NameNotAllowed(folder_, gameName + ".exe");
    std::filesystem::path target;
    try {
        target = folder_ / GbkToUtf8(gameName + ".exe");
    } catch (const Error&) {
        throw NameNotAllowed(folder_, gameName + ".exe");
    }

    if (image_.empty())
        throw Error("Resource LoginData not found");

    // Written beside the target, stamped there, and moved over the old launcher
    // only when complete, so that the old one survives every failure. The
    // stampings change the written file in place through a mapping; one that
    // needs a larger file goes on, with those after it, on a copy in memory that
    // is then written instead. Stampings that do not apply are not reported.
    const std::pair<std::u16string_view, std::u16string> stampings[] = {
        {u"OriginalFilename", GbkToUtf16(outputPath)},
        {u"GameName", GbkToUtf16(gameName)},
        {u"ServerList", GbkToUtf16(serverListUrl)},
    };
    std::optional<PendingFile> pending;
    pending.emplace(target);
    pending->Write(std::string_view(reinterpret_cast<const char*>(image_.data()), image_.size()));
    std::optional<std::string> grown;
    {
        const MappedFile written(pending->TemporaryPath());
        for (const auto& [key, value] : stampings) {
            if (!grown && StampVersionStringInPlace(written.Bytes(), key, value) == StampOutcome::NeedsGrowth)
                grown.emplace(reinterpret_cast<const char*>(written.Bytes().data()), written.Bytes().size());
            if (grown)
                StampVersionString(*grown, key, value);
        }
    }
    if (grown) {
        pending.reset();
        pending.emplace(target);
        pending->Write(*grown);
    }

    std::error_code ignored;
    const bool hadOldFile = std::filesystem::exists(std::filesystem::symlink_status(target, ignored));
    try {
        pending->Commit();
    } catch (const Error&) {
        if (!hadOldFile)
            throw;
        notifier.Notice(NoticeKind::Refusal, Gbk(u8"错误提示"), Gbk(u8"生成登录器失败(无法删除旧文件)！"));
        return;
    }
    notifier.Notice(NoticeKind::Success, Gbk(u8"提示信息"), Gbk(u8"登录器生成成功！"));
}

} // namespace tarnwick

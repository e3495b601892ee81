#include "launcher/launcher_builder.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "base/translatable.h"
#include "launcher/resource_tree.h"
#include "launcher/resource_update.h"
#include "launcher/version_stamp.h"
#include "sign/trusted_keys.h"

#include <optional>
#include <string>

namespace tarnwick {
namespace {

constexpr std::size_t kGameNameBytes = 20;
constexpr std::size_t kServerListBytes = 200;

// A game name becomes a file name in the folder, so it may not name another
// folder or hold what Windows refuses in a file name. The test walks GBK
// characters: a trail byte may have the value of '\' or '|'.
bool AllowedAsFileName(std::string_view name)
{
    if (name == "." || name == "..")
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto b = static_cast<unsigned char>(name[i]);
        if (IsGbkLead(b) && i + 1 < name.size()) {
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
    // Named as text: no path holds such a name faithfully (on Windows "c:x"
    // would replace the folder, and a narrow path is read in the ANSI code page).
    return CannotCreateFileNamed(PathText(folder) + "/" + fileName,
                            Message(QT_TRANSLATE_NOOP("Tarnwick", "这个名字不能用作文件名（不能含有 \\ / : * ? \" < > | "
                                                                  "或控制字符，也不能是“.”或“..”）。")));
}

// Puts the keys into the image's room for them, in place; false when the
// image has none (an image that cannot check signatures must not pretend to).
bool StampTrustedKeys(std::string& image, std::span<const crypto::PublicKey> keys)
{
    const std::span<const std::byte> bytes = AsBytes(image);
    const ResourceId type = ResourceId::Number(sign::kRcDataType);
    const ResourceId name = ResourceId::Name(std::u16string(sign::kTrustedKeysResource));
    const auto found = LocateResource(bytes, PeImage::Parse(bytes), type, name);
    if (found.size() != 1 || found[0].size != sign::kTrustedKeysBytes ||
        !sign::ReadTrustedKeys(bytes.subspan(found[0].offset, found[0].size)))
        return false;
    const std::string blob = sign::TrustedKeysBlob(keys);
    return UpdateResource(image, type, name, found[0].language, AsBytes(blob)) == ResourceUpdate::Overwritten;
}

} // namespace

Message OutcomeText(BuildOutcome outcome)
{
    switch (outcome) {
    case BuildOutcome::Written: return Message(QT_TRANSLATE_NOOP("Tarnwick", "登录器生成成功！"));
    case BuildOutcome::NoGameName: return Message(QT_TRANSLATE_NOOP("Tarnwick", "游戏名字不能留空！"));
    case BuildOutcome::NoListUrl: return Message(QT_TRANSLATE_NOOP("Tarnwick", "列表地址不能留空！"));
    case BuildOutcome::OldFileInUse: break;
    case BuildOutcome::NoClientSlot: return Message(QT_TRANSLATE_NOOP("Tarnwick", "登录器映像中没有游戏客户端(GameClient)的位置，未生成登录器！"));
    case BuildOutcome::ClientTooLong: return Message(QT_TRANSLATE_NOOP("Tarnwick", "游戏客户端命令太长，登录器映像中放不下，未生成登录器！"));
    case BuildOutcome::NoKeySlot: return Message(QT_TRANSLATE_NOOP("Tarnwick", "登录器映像不能校验签名（没有放公钥的位置），未生成登录器！"));
    }
    return Message(QT_TRANSLATE_NOOP("Tarnwick", "生成登录器失败(无法删除旧文件)！"));
}

LauncherBuilder::LauncherBuilder(std::span<const std::byte> image, std::filesystem::path folder)
    : image_(image), folder_(std::move(folder))
{
}

std::string LauncherBuilder::GameName(std::string_view gameNameEdit)
{
    // Trimmed before it is cut, so a cut can leave a trailing space; a cut
    // never leaves half a character.
    return std::string(CutGbk(Trimmed(gameNameEdit), kGameNameBytes));
}

std::filesystem::path LauncherBuilder::Target(std::string_view gameNameEdit) const
{
    // The launcher is a Windows program: it carries the name it would have
    // there. On this system the file's name is the same text in UTF-8.
    const std::string gameName = GameName(gameNameEdit);
    const auto fileName = AllowedAsFileName(gameName) ? TryGbkToUtf8(gameName + ".exe") : std::nullopt;
    if (!fileName)
        throw NameNotAllowed(folder_, gameName + ".exe");
    return folder_ / Utf8Path(*fileName);
}

BuildOutcome LauncherBuilder::Build(std::string_view gameNameEdit, std::string_view serverListEdit,
                                    std::optional<std::string_view> clientCommand,
                                    std::span<const crypto::PublicKey> trustedKeys) const
{
    const std::string gameName = GameName(gameNameEdit);
    const std::string serverListUrl(CutGbk(Trimmed(serverListEdit), kServerListBytes));
    if (gameName.empty())
        return BuildOutcome::NoGameName;
    if (serverListUrl.empty())
        return BuildOutcome::NoListUrl;

    const std::string outputPath = ".\\" + gameName + ".exe";
    const std::filesystem::path target = Target(gameNameEdit);

    if (image_.empty())
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "找不到资源 %1")).Arg("LoginData"));

    // Stamped in memory and written beside the target, then moved over the old
    // launcher only when complete, so that the old one survives every failure.
    // Stampings that do not apply are not reported.
    std::string launcher(reinterpret_cast<const char*>(image_.data()), image_.size());
    StampImage(launcher, u"OriginalFilename", GbkToUtf16(outputPath));
    StampImage(launcher, u"GameName", GbkToUtf16(gameName));
    StampImage(launcher, u"ServerList", GbkToUtf16(serverListUrl));
    // A client the operator asked for must be there: a launcher that silently
    // lacks it would tell players that no client is configured.
    if (clientCommand) {
        const StampResult client = StampImage(launcher, u"GameClient", GbkToUtf16(Trimmed(*clientCommand)));
        if (client.status == StampStatus::TooLong)
            return BuildOutcome::ClientTooLong;
        if (!client.Stamped())
            return BuildOutcome::NoClientSlot;
    }
    if (!trustedKeys.empty() && !StampTrustedKeys(launcher, trustedKeys))
        return BuildOutcome::NoKeySlot;
    PendingFile pending(target);
    pending.Write(launcher);

    // Only a launcher that is running (or otherwise held open) is "in use";
    // a full disk or a refused folder is reported as what it is.
    try {
        pending.Commit();
    } catch (const Error& error) {
        if (error.Kind() != ErrorKind::InUse)
            throw;
        return BuildOutcome::OldFileInUse;
    }
    return BuildOutcome::Written;
}

} // namespace tarnwick

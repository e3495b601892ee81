#include "ui/logic/signing_logic.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"
#include "launcher/launcher_builder.h"
#include "sign/list_signature.h"
#include "ui/logic/gbk_literal.h"

#include <string>

namespace tarnwick::ui {
namespace {

// "签名密钥 %1（备用密钥 %2）" and the like: both ids, the signing key's first.
Message WithKeyIds(const char* pattern, const sign::SigningKeys& keys)
{
    Message text(pattern);
    text.Arg(sign::KeyIdOf(keys.signing.publicKey)).Arg(sign::KeyIdOf(keys.backup.publicKey));
    return text;
}

} // namespace

void SigningLogic::Show(const edit::Notice& notice) { operator_.Notice(notice.kind, notice.caption, notice.text); }

std::optional<sign::SigningKeys> SigningLogic::Keys() const { return store_ ? store_->Load() : std::nullopt; }

SigningStatus SigningLogic::Status() const
{
    if (!store_)
        return {Message(QT_TRANSLATE_NOOP("Tarnwick", "系统没有指定用户的设置文件夹，无法保存签名密钥：服务器列表和登录器都不签名。"))};
    std::optional<sign::SigningKeys> keys;
    try {
        keys = store_->Load();
    } catch (const Error& error) {
        // Writing the list refuses too, and says the same.
        return {Message(QT_TRANSLATE_NOOP("Tarnwick", "签名密钥无法使用，生成配置文件和登录器都会失败：%1")).Inner(error.Text())};
    }
    if (!keys)
        return {Message(QT_TRANSLATE_NOOP("Tarnwick", "没有签名密钥：服务器列表和登录器都不签名，登录器会接受网络上传来的任何服务器列表。")),
                true};
    return {WithKeyIds(QT_TRANSLATE_NOOP("Tarnwick", "服务器列表和登录器都用密钥 %1 签名（备用密钥 %2）。"), *keys), false, true};
}

void SigningLogic::CreateKey()
{
    if (!store_)
        return;
    Message question(QT_TRANSLATE_NOOP("Tarnwick", "用这个密钥生成的登录器只接受用它签名的服务器列表，丢失它就再也不能为这些登录器发布列表，"
                                                   "所以创建后请立即导出备份并离线保存。%1是否创建签名密钥？"));
    const edit::Notice ask = edit::InfoNotice(NoticeKind::Confirmation, question.Arg(edit::kMessageLineBreak));
    if (!operator_.Notice(ask.kind, ask.caption, ask.text))
        return;
    // Another program may have made one since the tab was shown.
    if (!store_->Create()) {
        Show(edit::ErrorNotice(Message(QT_TRANSLATE_NOOP("Tarnwick", "已有签名密钥（%1），不会替换它。")).Arg(PathText(store_->KeyFile()))));
        return;
    }
    if (const std::optional<sign::SigningKeys> keys = store_->Load())
        Show(edit::InfoNotice(NoticeKind::Success,
                              WithKeyIds(QT_TRANSLATE_NOOP("Tarnwick", "已创建签名密钥 %1 和备用密钥 %2。%3请现在导出备份，"
                                                                       "离线保存（例如抽屉里的U盘），不要放在网站服务器上。"),
                                         *keys)
                                  .Arg(edit::kMessageLineBreak)));
}

void SigningLogic::ExportKey()
{
    if (!store_ || !store_->Load())
        return;
    std::filesystem::path file;
    if (!operator_.ChooseNewFile(Gbk(QT_TRANSLATE_NOOP("Tarnwick", "导出签名密钥备份")), file))
        return;
    if (!store_->Export(file)) {
        Show(edit::ErrorNotice(Message(QT_TRANSLATE_NOOP("Tarnwick", "“%1”已存在，没有写入：备份不会覆盖任何文件。")).Arg(PathText(file))));
        return;
    }
    Show(edit::InfoNotice(NoticeKind::Success,
                          Message(QT_TRANSLATE_NOOP("Tarnwick", "两对密钥已未加密地写入“%1”。%2请把它离线保存（例如抽屉里的U盘），"
                                                                "不要放在网站服务器上，并删除其他副本。"))
                              .Arg(PathText(file))
                              .Arg(edit::kMessageLineBreak)));
}

edit::Notice ServerInfoWrittenNotice(const edit::ServerInfoWritten& written, const SetupModel& model)
{
    const edit::Notice done = edit::ServerInfoWrittenNotice(written.file);
    if (!written.keyId || !written.signatureFile)
        return done;
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "%1%2已用密钥 %3 签名：请把 ServerInfo.txt.sig 与 ServerInfo.txt 一起发布。"));
    text.Inner(edit::WithWrittenFile(done.text, *written.signatureFile)).Arg(edit::kMessageLineBreak).Arg(*written.keyId);
    if (written.unpinned.empty())
        return edit::InfoNotice(NoticeKind::Success, text);
    // Numbers and names are the operator's data, the same in every language.
    std::string entries;
    for (std::size_t row : written.unpinned) {
        const UpdateEntry& entry = model.updates.At(row);
        entries += edit::kMessageLineBreak + std::to_string(row + 1) + ". " + (entry.Hint.empty() ? entry.SaveName : entry.Hint);
    }
    Message warning(QT_TRANSLATE_NOOP("Tarnwick", "%1%2%2以下更新项没有固定下载文件的MD5值（下载效验），检查签名的登录器不会安装它们："
                                                  "%3%2%2在更新项中拖入文件并按“填入效验”，再生成配置文件。"));
    warning.Inner(text).Arg(edit::kMessageLineBreak).Arg(entries);
    return edit::InfoNotice(NoticeKind::Success, warning);
}

edit::Notice LauncherWrittenNotice(const std::filesystem::path& file, const std::optional<sign::SigningKeys>& keys)
{
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "%1%2%3"));
    text.Inner(edit::WithWrittenFile(OutcomeText(BuildOutcome::Written), file))
        .Arg(edit::kMessageLineBreak)
        .Inner(sign::LauncherTrustText(keys));
    return edit::InfoNotice(NoticeKind::Success, text);
}

} // namespace tarnwick::ui

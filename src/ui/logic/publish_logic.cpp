#include "ui/logic/publish_logic.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"
#include "publish/shown_text.h"

#include <algorithm>
#include <cstdio>

namespace tarnwick::ui {
namespace {

using namespace tarnwick::publish;

bool StartsWithScheme(std::string_view text, std::string_view scheme)
{
    text = Trimmed(text);
    if (text.size() < scheme.size() + 3 || text.substr(scheme.size(), 3) != "://")
        return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != scheme[i])
            return false;
    }
    return true;
}

std::string TrimmedText(const std::string& text) { return std::string(Trimmed(text)); }

Message Text(std::string gbk) { return Message::Untranslated(std::move(gbk)); }

Message CheckResult(bool ok)
{
    return Message(ok ? QT_TRANSLATE_NOOP("Tarnwick", "正确") : QT_TRANSLATE_NOOP("Tarnwick", "错误"));
}

PublishRow CheckRow(PublishRowKind kind, const FetchCheck& check)
{
    PublishRow row;
    row.kind = kind;
    row.problem = !check.ok;
    row.cells[0] = Message(kind == PublishRowKind::CheckBefore ? QT_TRANSLATE_NOOP("Tarnwick", "发布前检查")
                                                               : QT_TRANSLATE_NOOP("Tarnwick", "发布后校验"));
    row.cells[1] = CheckResult(check.ok);
    if (check.fetch) {
        row.cells[2] = check.fetch->row ? Message(QT_TRANSLATE_NOOP("Tarnwick", "%1第 %2 项"))
                                              .Phrase(RoleName(check.fetch->role))
                                              .Arg(std::to_string(*check.fetch->row + 1))
                                        : Message(RoleName(check.fetch->role));
        if (check.fetch->size)
            row.cells[3] = Text(SizeText(*check.fetch->size));
        row.cells[6] = Text(Shown(check.fetch->url));
    }
    row.cells[4] = Message(CheckKindName(check.kind));
    row.cells[5] = check.detail;
    return row;
}

} // namespace

RememberedFields ReadRememberedFields(const std::filesystem::path& folder)
{
    RememberedFields read;
    try {
        if (const std::optional<PublishSettings> settings = ReadPublishSettings(folder / kPublishSettingsFileName)) {
            read.fields.destination = settings->destination;
            read.fields.listUrl = settings->listUrl;
            read.fields.site = settings->site;
            read.fields.explicitTls = settings->explicitTls;
            read.fields.keyFile = settings->keyFile;
        }
    } catch (const Error& error) {
        read.problem = error.Text();
    }
    return read;
}

bool UsesExplicitTls(std::string_view destination) { return StartsWithScheme(destination, "ftp"); }
bool UsesKeyFile(std::string_view destination) { return StartsWithScheme(destination, "sftp"); }

std::optional<Message> FieldsRefusal(const PublishFields& fields)
{
    const std::string destination = TrimmedText(fields.destination);
    if (destination.empty())
        return Message(QT_TRANSLATE_NOOP("Tarnwick", "请填写发布到哪里：sftp://、ftp://、ftps://、http(s)://（WebDAV）"
                                                     "地址或一个文件夹"));
    try {
        ParseDestination(destination, false);
    } catch (const Error& error) {
        return error.Text();
    }
    return std::nullopt;
}

PublishRequest PublishRequestFor(const std::filesystem::path& folder, const PublishFields& fields)
{
    PublishRequest request;
    request.folder = folder;
    request.settings.destination = TrimmedText(fields.destination);
    request.settings.listUrl = TrimmedText(fields.listUrl);
    request.settings.site = TrimmedText(fields.site);
    // A checkbox left ticked from an FTP server means nothing for another kind,
    // and is not remembered as if it did.
    request.settings.explicitTls = fields.explicitTls && UsesExplicitTls(request.settings.destination);
    request.settings.keyFile = TrimmedText(fields.keyFile);
    request.deep = fields.deep;
    request.full = fields.full;
    return request;
}

Message PasswordPrompt(const CredentialKey& key, bool again)
{
    if (again)
        return Message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 拒绝了这个密码。%3请重新输入用户 %2 的密码："))
            .Arg(Shown(key.server))
            .Arg(Shown(key.user))
            .Arg("\n");
    return Message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 上用户 %2 的密码：")).Arg(Shown(key.server)).Arg(Shown(key.user));
}

Message RememberPasswordQuestion(const CredentialKey& key)
{
    return Message(QT_TRANSLATE_NOOP("Tarnwick", "将密码保存在系统的密钥环中？%3（服务器 %1，用户 %2）"))
        .Arg(Shown(key.server))
        .Arg(Shown(key.user))
        .Arg("\n");
}

Message HostKeyText(const HostKeyQuestion& question)
{
    // The fingerprint on a line of its own, to be compared with what the
    // server's administrator reads out.
    if (question.changed)
        return Message(QT_TRANSLATE_NOOP("Tarnwick", "服务器 %1 的主机密钥与以前记下的不同：可能有人冒充这台服务器。%3"
                                                     "新密钥的指纹：%3%2%3只有服务器管理员确认换过密钥时才能信任它。"
                                                     "信任这个密钥并记在 known_hosts 中？"))
            .Arg(Shown(question.host))
            .Arg(question.fingerprint)
            .Arg("\n");
    return Message(QT_TRANSLATE_NOOP("Tarnwick", "还不认识服务器 %1 的主机密钥，它的指纹：%3%2%3请先与服务器管理员核对指纹。"
                                                 "信任这个密钥并记在 known_hosts 中？"))
        .Arg(Shown(question.host))
        .Arg(question.fingerprint)
        .Arg("\n");
}

Message StageText(PublishStage stage)
{
    switch (stage) {
    case PublishStage::Checking: return Message(QT_TRANSLATE_NOOP("Tarnwick", "正在检查工作文件夹…"));
    case PublishStage::AskingHost: return Message(QT_TRANSLATE_NOOP("Tarnwick", "正在检查网站上已有的文件…"));
    case PublishStage::Uploading: return Message(QT_TRANSLATE_NOOP("Tarnwick", "正在上传…"));
    case PublishStage::Verifying: return Message(QT_TRANSLATE_NOOP("Tarnwick", "正在校验玩家获取的文件…"));
    }
    return Message();
}

Message UploadProgressText(const PublishProgress& progress)
{
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "已发送 %1 / %2%3%4"));
    text.Arg(SizeText(progress.sent)).Arg(SizeText(progress.total));
    if (progress.bytesPerSecond > 0)
        text.Inner(Message(QT_TRANSLATE_NOOP("Tarnwick", "，每秒 %1"))
                       .Arg(SizeText(static_cast<std::uint64_t>(progress.bytesPerSecond))));
    else
        text.Arg("");
    if (progress.secondsLeft)
        text.Inner(Message(QT_TRANSLATE_NOOP("Tarnwick", "，还剩 %1")).Arg(DurationText(*progress.secondsLeft)));
    else
        text.Arg("");
    return text;
}

Message UploadFileText(const PublishProgress& progress)
{
    return Message(QT_TRANSLATE_NOOP("Tarnwick", "第 %1/%2 个文件：%3"))
        .Arg(std::to_string(progress.fileNumber))
        .Arg(std::to_string(progress.fileCount))
        .Arg(Shown(progress.file));
}

Message CheckProgressText(std::size_t number, std::size_t count)
{
    return Message(QT_TRANSLATE_NOOP("Tarnwick", "正在校验第 %1/%2 项"))
        .Arg(std::to_string(number))
        .Arg(std::to_string(count));
}

int ProgressPermille(std::uint64_t done, std::uint64_t total)
{
    if (total == 0)
        return 0;
    if (done >= total)
        return 1000;
    // Both made small enough that a thousand times either fits.
    while (total >= (std::uint64_t{1} << 53)) {
        done >>= 1;
        total >>= 1;
    }
    // Full only when it is.
    return std::min(static_cast<int>(done * 1000 / total), 999);
}

const std::array<const char*, kPublishColumnCount>& PublishColumnCaptions()
{
    static const std::array<const char*, kPublishColumnCount> captions{
        QT_TRANSLATE_NOOP("Tarnwick", "步骤"), QT_TRANSLATE_NOOP("Tarnwick", "结果"),
        QT_TRANSLATE_NOOP("Tarnwick", "文件"), QT_TRANSLATE_NOOP("Tarnwick", "大小"),
        QT_TRANSLATE_NOOP("Tarnwick", "检查"), QT_TRANSLATE_NOOP("Tarnwick", "说明"),
        QT_TRANSLATE_NOOP("Tarnwick", "路径或地址")};
    return captions;
}

std::vector<PublishRow> PublishRows(const PublishOutcome& outcome)
{
    std::vector<PublishRow> rows;
    for (const PlanRefusal& refusal : outcome.plan.refusals) {
        PublishRow row;
        row.kind = PublishRowKind::Refusal;
        row.problem = true;
        row.cells[0] = Message(QT_TRANSLATE_NOOP("Tarnwick", "发布前检查"));
        row.cells[1] = Message(QT_TRANSLATE_NOOP("Tarnwick", "拒绝"));
        row.cells[2] = refusal.row ? Message(QT_TRANSLATE_NOOP("Tarnwick", "%1第 %2 项"))
                                         .Phrase(RoleName(FileRole::Update))
                                         .Arg(std::to_string(*refusal.row + 1))
                                   : Message(RoleName(FileRole::List));
        row.cells[5] = refusal.reason;
        rows.push_back(std::move(row));
    }
    // Checked before an upload that then did not happen: why it did not.
    // After an upload the checks afterwards ask the same again.
    if (outcome.result.files.empty())
        for (const FetchCheck& check : outcome.before)
            rows.push_back(CheckRow(PublishRowKind::CheckBefore, check));
    for (const PublishedFile& file : outcome.result.files) {
        PublishRow row;
        row.kind = PublishRowKind::Upload;
        row.cells[0] = Message(QT_TRANSLATE_NOOP("Tarnwick", "上传"));
        row.cells[1] = Message(file.sent ? QT_TRANSLATE_NOOP("Tarnwick", "已发送") : QT_TRANSLATE_NOOP("Tarnwick", "未改变"));
        row.cells[2] = Message(RoleName(file.role));
        row.cells[3] = Text(SizeText(file.size));
        if (file.way == ReplaceWay::DeleteThenRename)
            row.cells[5] = Message(QT_TRANSLATE_NOOP("Tarnwick", "服务器不能改名覆盖文件：放置时曾有片刻没有这个文件"));
        row.cells[6] = Text(Shown(file.path));
        rows.push_back(std::move(row));
    }
    for (const FetchCheck& check : outcome.after)
        rows.push_back(CheckRow(PublishRowKind::CheckAfter, check));
    for (const std::vector<Message>* notes : {&outcome.result.notes, &outcome.notes})
        for (const Message& note : *notes) {
            PublishRow row;
            row.kind = PublishRowKind::Note;
            row.problem = true;
            row.cells[0] = Message(QT_TRANSLATE_NOOP("Tarnwick", "提示"));
            row.cells[5] = note;
            rows.push_back(std::move(row));
        }
    return rows;
}

PublishStatusLine StatusLine(const PublishOutcome& outcome)
{
    const PublishResult& result = outcome.result;
    switch (outcome.status) {
    case PublishStatus::Published:
        return {Message(QT_TRANSLATE_NOOP("Tarnwick", "发布完成：玩家获取的文件全部正确")), true};
    case PublishStatus::Refused:
        return {Message(QT_TRANSLATE_NOOP("Tarnwick", "没有上传任何文件：请先改正表中的问题")), false};
    case PublishStatus::NotVerified:
        return {Message(QT_TRANSLATE_NOOP("Tarnwick", "文件已上传，但玩家获取的文件并非全部正确：见表中的“错误”")), false};
    case PublishStatus::Cancelled:
        // Cancelled while checking afterwards: everything is up already.
        if (!result.files.empty() && result.Succeeded())
            return {Message(QT_TRANSLATE_NOOP("Tarnwick", "已取消校验：文件已上传，但没有全部校验玩家获取的文件")), false};
        if (result.partlyPlaced)
            return {Message(QT_TRANSLATE_NOOP("Tarnwick", "已取消，但有些文件已放置到位：请再次发布以完成")), false};
        return {Message(QT_TRANSLATE_NOOP("Tarnwick", "已取消：网站保持玩家看到的原样")), false};
    case PublishStatus::Failed: {
        const Message failure = result.failure ? *result.failure : Message();
        if (result.partlyPlaced)
            return {Message(QT_TRANSLATE_NOOP("Tarnwick", "发布在放置文件时失败：%1%2有些文件已放置到位，请再次发布以完成"))
                        .Inner(failure)
                        .Arg("\n"),
                    false};
        return {Message(QT_TRANSLATE_NOOP("Tarnwick", "发布失败：%1%2网站保持玩家看到的原样；请再次发布以完成"))
                    .Inner(failure)
                    .Arg("\n"),
                false};
    }
    }
    return {};
}

} // namespace tarnwick::ui

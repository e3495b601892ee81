#include "edit/record_rules.h"

#include "base/text.h"
#include "config/document.h"
#include "config/update_rules.h"
#include "config/web_address.h"

#include <algorithm>

namespace tarnwick::edit {
namespace {

constexpr std::uint64_t kMaxPort = 65535;

// Enough to find them in a list; the rest are counted.
constexpr std::size_t kNamedAtMost = 10;

// Two messages one after the other: a pattern with no words to translate.
constexpr const char* kJoined = "%1%2";

} // namespace

Outcome CheckConnections(const ServerEntry& server)
{
    const std::size_t names = ValueCount(server.Name);
    if (names == 0)
        return Outcome::ServerNameBlank;
    if (ValueCount(server.Addr) != names)
        return Outcome::ConnectionCountsDiffer;
    const std::vector<std::string_view> ports = ValuesOf(server.Port);
    if (ports.size() != names)
        return Outcome::PortCountDiffers;
    for (const std::string_view port : ports) {
        const auto number = WholeNumber(port);
        if (!number || *number < 1 || *number > kMaxPort)
            return Outcome::PortOutOfRange;
    }
    return Outcome::Done;
}

Outcome CheckDigests(const UpdateEntry& entry)
{
    if (CheckKindOf(entry) == CheckKind::Md5 && !AsDigest(entry.MD5))
        return Outcome::Md5DigestMissing;
    const std::string_view downMd5 = Trimmed(entry.DownMD5);
    if (!DownloadDigest(entry) && !downMd5.empty() && downMd5 != kNoDownloadCheck)
        return Outcome::DownloadCheckInvalid;
    return Outcome::Done;
}

Outcome CheckWebPage(std::string_view address)
{
    if (address.empty())
        return Outcome::WebAddressEmpty;
    return CheckWebAddressGbk(address).Allowed() ? Outcome::Done : Outcome::WebAddressNotWeb;
}

UnusableRecords FindUnusable(const SetupModel& model)
{
    UnusableRecords unusable;
    std::size_t row = 0;
    for (const ServerEntry& server : model.servers) {
        if (const Outcome why = CheckConnections(server); why != Outcome::Done)
            unusable.servers.push_back({row, why});
        ++row;
    }
    row = 0;
    for (const UpdateEntry& entry : model.updates) {
        if (const Outcome why = CheckDigests(entry); why != Outcome::Done)
            unusable.updates.push_back({row, why});
        ++row;
    }
    for (std::size_t field = 0; field < kWebAddressFields.size(); ++field)
        if (const Outcome why = CheckWebPage(model.web.*kWebAddressFields[field].member); why != Outcome::Done)
            unusable.pages.push_back({field, why});
    return unusable;
}

Notice UnusableRecordsNotice(const SetupModel& model, const UnusableRecords& unusable)
{
    Message text(QT_TRANSLATE_NOOP("Tarnwick", "Tarnwick.xml 中有登录器无法使用的内容（已原样保留，请修改）：%1"));
    Message lines;
    std::size_t named = 0;
    const auto add = [&](Message line, Outcome why) {
        if (named++ >= kNamedAtMost)
            return;
        Message withReason(QT_TRANSLATE_NOOP("Tarnwick", "%1%2：%3"));
        withReason.Arg(kMessageLineBreak).Inner(line).Inner(RefusalNotice(why).text);
        lines = Message(kJoined).Inner(lines).Inner(withReason);
    };
    for (const UnusableRecord& record : unusable.servers) {
        const ServerEntry& server = model.servers.At(record.row);
        add(Message(QT_TRANSLATE_NOOP("Tarnwick", "分组[%1]的服务器[%2]")).Arg(server.Group).Arg(server.ShowName),
            record.why);
    }
    for (const UnusableRecord& record : unusable.updates) {
        const UpdateEntry& entry = model.updates.At(record.row);
        add(Message(QT_TRANSLATE_NOOP("Tarnwick", "第 %1 项更新[%2]")).Arg(std::to_string(record.row + 1)).Arg(entry.Hint),
            record.why);
    }
    for (const UnusableRecord& record : unusable.pages)
        add(Message(QT_TRANSLATE_NOOP("Tarnwick", "网页[%1]“%2”"))
                .Phrase(kWebAddressFields[record.row].caption)
                .Arg(model.web.*kWebAddressFields[record.row].member),
            record.why);
    if (named > kNamedAtMost)
        lines = Message(QT_TRANSLATE_NOOP("Tarnwick", "%1%2……另有 %3 处"))
                    .Inner(lines)
                    .Arg(kMessageLineBreak)
                    .Arg(std::to_string(named - kNamedAtMost));
    text.Inner(lines);
    return InfoNotice(NoticeKind::Success, text);
}

} // namespace tarnwick::edit

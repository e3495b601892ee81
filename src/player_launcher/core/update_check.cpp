#include "player_launcher/core/update_check.h"

#include "base/text.h"
#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/texts.h"

#include <nlohmann/json.hpp>

#include <charconv>

namespace tarnwick::player {
namespace {

constexpr std::string_view kStateFormat = "Tarnwick update state";
// 2 added pending records and an archive's members; a version 1 file reads as
// records without either.
constexpr int kStateVersion = 2;

std::string KeyOf(std::u16string_view path)
{
    std::u16string lower;
    for (char16_t c : path)
        lower += AsciiLower(c);
    return Utf8Of(lower);
}

Decision Needed(std::string reason) { return {Verdict::Needed, std::move(reason)}; }
Decision NoDigest(const UpdateItem& entry)
{
    return {Verdict::Skipped,
            Md5NotDigestText(entry.md5)};
}
Decision NoVersion(const UpdateItem& entry) { return {Verdict::Skipped, VersionNotNumberText(entry.version)}; }

} // namespace

bool IsArchive(const UpdateItem& entry) { return entry.zip; }

bool NeedsLocalDigest(const UpdateItem& entry) { return !IsArchive(entry) && entry.check == CheckKind::Md5; }

bool IsDirectDownload(const UpdateItem& entry) { return entry.direct; }

namespace {

// An archive is fetched once per change: what it unpacked is known by its
// record, and the record says which change it was.
Decision DecideArchive(const UpdateItem& entry, bool membersPresent, const std::optional<InstalledRecord>& recorded)
{
    const CheckKind kind = entry.check;
    const std::optional<std::string>& wantedMd5 = entry.wantedMd5;
    if (kind == CheckKind::Md5 && !wantedMd5)
        return NoDigest(entry);
    const std::optional<std::uint64_t> wantedVersion = WholeNumber(Trimmed(entry.version));
    if (kind == CheckKind::Version && !wantedVersion)
        return NoVersion(entry);
    if (!recorded || recorded->pending)
        return Needed(NeedText(NeedReason::NoArchiveRecord));
    if (!membersPresent)
        return Needed(NeedText(NeedReason::ArchiveIncomplete));
    switch (kind) {
    case CheckKind::Exists: return {};
    case CheckKind::Md5: return recorded->md5 == *wantedMd5 ? Decision{} : Needed(NeedText(NeedReason::ArchiveMd5Differs));
    case CheckKind::Version: {
        const std::optional<std::uint64_t> installed = WholeNumber(Trimmed(recorded->version));
        if (!installed)
            return Needed(NeedText(NeedReason::NoVersionRecord));
        return *installed < *wantedVersion
                   ? Needed(VersionLowerText(*installed, *wantedVersion))
                   : Decision{};
    }
    case CheckKind::Pak:
        return recorded->date == entry.date ? Decision{} : Needed(NeedText(NeedReason::DateDiffers));
    }
    return {};
}

} // namespace

Decision Decide(const UpdateItem& entry, bool exists, const std::optional<std::string>& localMd5,
                const std::optional<InstalledRecord>& given)
{
    if (IsArchive(entry))
        return DecideArchive(entry, exists, given);
    // A record of a file that was never seen in place tells nothing of it.
    const std::optional<InstalledRecord> recorded = given && !given->pending ? given : std::nullopt;
    switch (entry.check) {
    case CheckKind::Exists:
        return exists ? Decision{} : Needed(NeedText(NeedReason::Missing));
    case CheckKind::Md5: {
        // A value that is no digest would differ from every file: the file
        // would be fetched on every start, so the entry is reported instead.
        const std::optional<std::string>& wanted = entry.wantedMd5;
        if (!wanted)
            return NoDigest(entry);
        if (!exists)
            return Needed(NeedText(NeedReason::Missing));
        return localMd5 == wanted ? Decision{} : Needed(NeedText(NeedReason::Md5Differs));
    }
    case CheckKind::Version: {
        const std::optional<std::uint64_t> wanted = WholeNumber(Trimmed(entry.version));
        if (!wanted)
            return NoVersion(entry);
        if (!exists)
            return Needed(NeedText(NeedReason::Missing));
        const std::optional<std::uint64_t> installed = recorded ? WholeNumber(Trimmed(recorded->version)) : std::nullopt;
        if (!installed)
            return Needed(NeedText(NeedReason::NoVersionRecord));
        return *installed < *wanted ? Needed(VersionLowerText(*installed, *wanted))
                                    : Decision{};
    }
    case CheckKind::Pak:
        if (!exists)
            return Needed(NeedText(NeedReason::Missing));
        if (!recorded)
            return Needed(NeedText(NeedReason::NoDateRecord));
        return recorded->date == entry.date ? Decision{} : Needed(NeedText(NeedReason::DateDiffers));
    }
    return {};
}

UpdateState UpdateState::Parse(std::string_view text)
{
    UpdateState state;
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object() || document.value("format", "") != kStateFormat ||
        !document.contains("version") || !document["version"].is_number_integer() || !document.contains("files") ||
        !document["files"].is_array())
        return state;
    const int version = document["version"].get<int>();
    if (version != 1 && version != kStateVersion)
        return state;
    for (const nlohmann::json& file : document["files"]) {
        const auto text = [&](const char* key) -> std::optional<std::string> {
            if (!file.is_object() || !file.contains(key) || !file[key].is_string())
                return std::nullopt;
            return file[key].get<std::string>();
        };
        const auto path = text("path");
        const auto version = text("version");
        const auto date = text("date");
        const auto md5 = text("md5");
        // One record that does not read makes the whole file doubtful.
        if (!path || !version || !date || !md5 || (!md5->empty() && !AsDigest(*md5)))
            return {};
        InstalledRecord record{*version, *date, *md5, false, {}};
        if (file.contains("pending")) {
            if (!file["pending"].is_boolean())
                return {};
            record.pending = file["pending"].get<bool>();
        }
        if (file.contains("members")) {
            if (!file["members"].is_array())
                return {};
            for (const nlohmann::json& member : file["members"]) {
                if (!member.is_string())
                    return {};
                record.members.push_back(member.get<std::string>());
            }
        }
        state.records_[KeyOf(Utf16Of(*path))] = std::move(record);
    }
    return state;
}

std::string UpdateState::Text() const
{
    nlohmann::json files = nlohmann::json::array();
    for (const auto& [key, record] : records_)
        files.push_back({{"path", key},
                         {"version", record.version},
                         {"date", record.date},
                         {"md5", record.md5},
                         {"pending", record.pending},
                         {"members", record.members}});
    const nlohmann::json document = {{"format", kStateFormat}, {"version", kStateVersion}, {"files", files}};
    return document.dump(1) + "\n";
}

std::optional<InstalledRecord> UpdateState::Find(std::u16string_view path) const
{
    const auto found = records_.find(KeyOf(path));
    if (found == records_.end())
        return std::nullopt;
    return found->second;
}

void UpdateState::Set(std::u16string_view path, InstalledRecord record) { records_[KeyOf(path)] = std::move(record); }

void UpdateState::Remove(std::u16string_view path) { records_.erase(KeyOf(path)); }

} // namespace tarnwick::player

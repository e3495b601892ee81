#include "player_launcher/core/updater.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "digest/md5.h"
#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/texts.h"
#include "player_launcher/core/update_archive.h"
#include "player_launcher/core/update_path.h"

#include <algorithm>
#include <system_error>

namespace tarnwick::player {
namespace {

constexpr SizeLimit kStateLimit{kMaxUpdateStateBytes, "更新状态文件最多可有 4 MiB"};

// A file of the player's that could not be read, told in the player's words.
struct UnreadableFile {
    std::string text;
};

std::string Md5Of(const std::filesystem::path& file)
{
    Digest digest{};
    try {
        FileDigest(file, digest);
    } catch (const Error& error) {
        throw UnreadableFile{FileFailureText("读取", file, error.Kind())};
    }
    return DigestToHex(digest);
}

// Whatever the state file holds, or nothing when it cannot be read.
UpdateState ReadState(const std::filesystem::path& file)
{
    try {
        return UpdateState::Parse(ReadFile(file, kStateLimit));
    } catch (const Error&) {
        return {};
    }
}

// The save folder and name as a checked path; text that did not convert is
// refused as a bad character, never written with U+FFFD in its place.
CheckedPath TargetOf(const UpdateItem& entry)
{
    if (!entry.pathConverts)
        return {PathRefusal::BadCharacter, {}};
    return CheckUpdateTarget(Utf16Of(entry.saveDir), Utf16Of(entry.saveName));
}

// A path as Windows compares it: absolute, normalised, ASCII letters folded.
std::u16string ComparedPath(const std::filesystem::path& path)
{
    std::error_code failed;
    std::filesystem::path absolute = std::filesystem::absolute(path, failed);
    if (failed)
        absolute = path;
    std::u16string key = absolute.lexically_normal().u16string();
    for (char16_t& c : key)
        c = AsciiLower(c);
    return key;
}

bool IsFile(const std::filesystem::path& path)
{
    std::error_code failed;
    return std::filesystem::is_regular_file(path, failed);
}

// Whether an archive's files are all in place. A record written before
// members were kept names none: the entry's own file stands for them then.
bool MembersPresent(const std::filesystem::path& root, const InstalledRecord& record, const std::filesystem::path& target)
{
    if (record.members.empty())
        return IsFile(target);
    return std::all_of(record.members.begin(), record.members.end(), [&](const std::string& member) {
        try {
            return IsFile(PathBelow(root, Utf16Of(member)));
        } catch (const std::system_error&) {
            return false;
        }
    });
}

// Whether the download kept beside the target is the one a pending record
// was written for, of the same change of the entry: then it is whole and was
// checked, and is installed again without fetching it.
bool KeptDownloadFits(const std::filesystem::path& partial, const InstalledRecord& record, const UpdateItem& entry,
                      const std::optional<std::string>& expected)
{
    if (!record.pending || record.md5.empty() || record.version != entry.version || record.date != entry.date)
        return false;
    if (expected && *expected != record.md5)
        return false;
    if (entry.check == CheckKind::Md5 && entry.wantedMd5 != record.md5)
        return false;
    // A download stopped short has other bytes than the whole one: the
    // digest also tells a partial file from a whole one.
    if (!IsFile(partial))
        return false;
    try {
        return Md5Of(partial) == record.md5;
    } catch (const UnreadableFile&) {
        return false;
    }
}

} // namespace

std::filesystem::path PartialPathFor(const std::filesystem::path& target)
{
    std::filesystem::path partial = target;
    partial += ".download";
    return partial;
}

Updater::Updater(std::filesystem::path root, std::filesystem::path stateFile, UpdateFetcher& fetcher, Pinning pinning)
    : root_(std::move(root)), stateFile_(std::move(stateFile)), fetcher_(fetcher), pinning_(pinning)
{
}

void Updater::SetSelfInstall(std::filesystem::path ownImage, InstallStep& step)
{
    ownImageKey_ = ComparedPath(ownImage);
    selfStep_ = &step;
}

std::vector<EntryReport> Updater::Run(const std::vector<UpdateItem>& entries, const UpdateProgress& progress,
                                      const std::atomic<bool>* cancelled)
{
    // The MD5 checks first, all of them at once: on a game folder of
    // thousands of files they are most of the time a run takes.
    std::vector<std::size_t> hashed;
    std::vector<std::filesystem::path> files;
    std::vector<std::size_t> order;
    std::vector<std::size_t> last; // the launcher's own image
    std::vector<bool> self(entries.size(), false);
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const CheckedPath checked = TargetOf(entries[index]);
        if (checked.Allowed()) {
            const std::filesystem::path target = PathBelow(root_, checked.relative);
            if (NeedsLocalDigest(entries[index])) {
                hashed.push_back(index);
                files.push_back(target);
            }
            self[index] = selfStep_ != nullptr && ComparedPath(target) == ownImageKey_;
        }
        (self[index] ? last : order).push_back(index);
    }
    order.insert(order.end(), last.begin(), last.end());
    const std::vector<std::optional<Digest>> digests = FileDigests(files);
    std::vector<std::optional<std::string>> localMd5(entries.size());
    for (std::size_t i = 0; i < hashed.size(); ++i)
        if (digests[i])
            localMd5[hashed[i]] = DigestToHex(*digests[i]);

    state_ = ReadState(stateFile_);
    written_.clear();
    std::vector<EntryReport> reports(entries.size());
    for (const std::size_t index : order) {
        if (cancelled && cancelled->load()) {
            reports[index] = {index, EntryOutcome::Skipped, kCancelled};
        } else {
            if (progress.entryStarted)
                progress.entryStarted(index, entries[index].hint);
            reports[index] = RunEntry(index, entries[index], localMd5[index], self[index], progress, cancelled);
        }
        if (progress.entryDone)
            progress.entryDone(reports[index]);
    }
    return reports;
}

bool Updater::SaveState(std::string& why)
{
    try {
        // Lost to a power cut, a change only costs fetching that entry again:
        // atomic, not flushed.
        ReplaceFile(stateFile_, state_.Text(), Durability::Atomic);
        return true;
    } catch (const Error& error) {
        why = FileFailureText("记录安装状态", stateFile_, error.Kind());
        return false;
    }
}

EntryReport Updater::RunEntry(std::size_t index, const UpdateItem& entry, std::optional<std::string> localMd5,
                              bool self, const UpdateProgress& progress, const std::atomic<bool>* cancelled)
{
    const auto failed = [&](std::string why) { return EntryReport{index, EntryOutcome::Failed, std::move(why)}; };
    if (!entry.pathConverts)
        return failed(EntryProblemText(EntryProblem::PathNotText));
    const CheckedPath checked = TargetOf(entry);
    if (!checked.Allowed())
        return failed(PathRefusedText(entry.saveDir + entry.saveName, checked.refusal));
    const std::filesystem::path target = PathBelow(root_, checked.relative);
    const bool archive = IsArchive(entry);

    try {
        const bool exists = IsFile(target);
        // An earlier entry of this run may have replaced the file since its digest was taken.
        if (exists && NeedsLocalDigest(entry) && written_.contains(target))
            localMd5 = Md5Of(target);
        if (!exists)
            localMd5.reset();

        std::optional<InstalledRecord> recorded = state_.Find(checked.relative);
        if (recorded && recorded->pending && !archive && exists) {
            // The run that wrote it stopped after the file was put in place,
            // or another process put it there since: the file tells.
            if (!localMd5)
                localMd5 = Md5Of(target);
            if (*localMd5 == recorded->md5) {
                recorded->pending = false;
                state_.Set(checked.relative, *recorded);
                // Unwritten, it is only confirmed again by the next run.
                std::string ignored;
                SaveState(ignored);
            }
            if (!NeedsLocalDigest(entry))
                localMd5.reset();
        }
        const bool present = archive ? recorded && !recorded->pending && MembersPresent(root_, *recorded, target) : exists;
        const Decision decision = Decide(entry, present, localMd5, recorded);
        if (decision.verdict == Verdict::Current)
            return {index, EntryOutcome::Current, {}};
        if (decision.verdict == Verdict::Skipped)
            return {index, EntryOutcome::Skipped, decision.reason};
        if (!IsDirectDownload(entry))
            return {index, EntryOutcome::Skipped, AlbumSkippedText(decision.reason)};

        // Whatever a signed list does not pin could be anything the server holds.
        if (pinning_ == Pinning::Required && !entry.pinnedDigest)
            return failed(EntryProblemText(EntryProblem::NotPinned));
        // An address with U+FFFD in place of what did not convert is another address.
        if (!entry.urlConverts)
            return failed(UrlNotTextText(entry.downUrl));

        std::error_code folderFailed;
        std::filesystem::create_directories(target.parent_path(), folderFailed);
        if (folderFailed)
            return failed(FileFailureText("创建文件夹", target.parent_path(), folderFailed));
        const std::filesystem::path partial = PartialPathFor(target);
        const std::optional<std::string> expected =
            pinning_ == Pinning::Required ? entry.pinnedDigest : entry.downloadDigest;
        std::string downloaded;
        if (recorded && KeptDownloadFits(partial, *recorded, entry, expected)) {
            downloaded = recorded->md5;
        } else {
            // A stopped whole download is continued rather than patched.
            std::optional<FetchResult> patched;
            if (patcher_ && exists && !archive && !self && !IsFile(partial)) {
                patched = patcher_->Patch(entry.downUrl, target, partial, expected, progress.bytes, cancelled);
                if (!patched->error.empty() && cancelled && cancelled->load())
                    return failed(DownloadFailedText(patched->error));
                if (!patched->error.empty() || !patched->md5)
                    patched.reset();
            }
            // The digest is always taken on the way: the record names the
            // download by it, and a stopped run knows its file by it.
            const FetchResult fetched =
                patched ? *patched : fetcher_.Fetch(entry.downUrl, partial, true, progress.bytes, cancelled);
            if (!fetched.error.empty())
                return failed(DownloadFailedText(fetched.error));
            downloaded = fetched.md5 ? DigestToHex(*fetched.md5) : Md5Of(partial);
        }
        // A whole download with other contents must not be continued next time.
        if (expected && *expected != downloaded) {
            RemoveQuietly(partial);
            return failed(DigestMismatchText(*expected, downloaded));
        }

        const std::optional<InstalledRecord> before = state_.Find(checked.relative);
        InstalledRecord record{entry.version, entry.date, downloaded, true, {}};
        state_.Set(checked.relative, record);
        std::string unrecorded;
        SaveState(unrecorded);

        PlainFileInstall plain;
        ZipInstall unpack(root_, Utf16Of(entry.saveDir));
        InstallStep& step = self ? *selfStep_ : archive ? static_cast<InstallStep&>(unpack) : plain;
        const InstallResult installed = step.Install(partial, target, cancelled);
        if (!installed.error.empty()) {
            // An archive that would not unpack is fetched again, and its
            // record is as it was; a stopped unpacking continues from the kept archive.
            if (archive && !(cancelled && cancelled->load())) {
                RemoveQuietly(partial);
                if (before)
                    state_.Set(checked.relative, *before);
                else
                    state_.Remove(checked.relative);
                SaveState(unrecorded);
            }
            return failed(installed.error);
        }
        if (!installed.finished)
            return {index, EntryOutcome::Updated, installed.note};

        for (const std::u16string& member : installed.members) {
            record.members.push_back(Utf8Of(member));
            written_.insert(PathBelow(root_, member));
        }
        written_.insert(target);
        record.pending = false;
        state_.Set(checked.relative, record);
        const bool saved = SaveState(unrecorded);
        // Only now: until the record is final, the kept archive is what a stopped run unpacks again.
        if (archive)
            RemoveQuietly(partial);
        if (!saved)
            return {index, EntryOutcome::Updated, UpdatedUnrecordedText(unrecorded)};
        return {index, EntryOutcome::Updated, decision.reason};
    } catch (const UnreadableFile& error) {
        return failed(error.text);
    } catch (const Error& error) {
        return failed(ErrorTextOf(error));
    } catch (const std::filesystem::filesystem_error& error) {
        return failed(FileFailureText("更新文件", error));
    }
}

std::string ReportLine(const EntryReport& report, const UpdateItem& entry)
{
    std::string line = "[" + std::to_string(report.index + 1) + "] " + kOutcomeWords[static_cast<int>(report.outcome)] + "：" +
                       (entry.hint.empty() ? entry.saveName : entry.hint);
    if (!report.reason.empty())
        line += "（" + report.reason + "）";
    return line;
}

} // namespace tarnwick::player

#include "player_launcher/core/updater.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "digest/md5.h"
#include "player_launcher/core/update_archive.h"
#include "player_launcher/core/update_check.h"
#include "player_launcher/core/update_path.h"

#include <system_error>

namespace tarnwick::player {
namespace {

constexpr SizeLimit kStateLimit{kMaxUpdateStateBytes, "更新状态文件最多可有 4 MiB"};

std::string Utf8OfGbk(const std::string& gbk) { return TryGbkToUtf8(gbk).value_or("?"); }

std::string Md5Of(const std::filesystem::path& file)
{
    Digest digest{};
    FileDigest(file, digest);
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

// SaveDir and SaveName as a checked path; GBK that does not convert is refused as a bad character.
CheckedPath TargetOf(const UpdateEntry& entry)
{
    const std::optional<std::u16string> dir = TryGbkToUtf8(entry.SaveDir) ? std::optional(GbkToUtf16(entry.SaveDir)) : std::nullopt;
    const std::optional<std::u16string> name = TryGbkToUtf8(entry.SaveName) ? std::optional(GbkToUtf16(entry.SaveName)) : std::nullopt;
    if (!dir || !name)
        return {PathRefusal::BadCharacter, {}};
    return CheckUpdateTarget(*dir, *name);
}

std::string ErrorText(const Error& error) { return TryGbkToUtf8(error.what()).value_or(error.what()); }

void RemoveQuietly(const std::filesystem::path& file)
{
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
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

std::vector<EntryReport> Updater::Run(const std::vector<UpdateEntry>& entries, const UpdateProgress& progress,
                                      const std::atomic<bool>* cancelled)
{
    // The MD5 checks first, all of them at once: on a game folder of
    // thousands of files they are most of the time a run takes.
    std::vector<std::size_t> hashed;
    std::vector<std::filesystem::path> files;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        const CheckedPath checked = TargetOf(entries[index]);
        if (checked.Allowed() && NeedsLocalDigest(entries[index])) {
            hashed.push_back(index);
            files.push_back(PathBelow(root_, checked.relative));
        }
    }
    const std::vector<std::optional<Digest>> digests = FileDigests(files);
    std::vector<std::optional<std::string>> localMd5(entries.size());
    for (std::size_t i = 0; i < hashed.size(); ++i)
        if (digests[i])
            localMd5[hashed[i]] = DigestToHex(*digests[i]);

    written_.clear();
    std::vector<EntryReport> reports;
    for (std::size_t index = 0; index < entries.size(); ++index) {
        if (cancelled && cancelled->load()) {
            reports.push_back({index, EntryOutcome::Skipped, "已取消"});
        } else {
            if (progress.entryStarted)
                progress.entryStarted(index, Utf8OfGbk(entries[index].Hint));
            reports.push_back(RunEntry(index, entries[index], localMd5[index], progress, cancelled));
        }
        if (progress.entryDone)
            progress.entryDone(reports.back());
    }
    return reports;
}

EntryReport Updater::RunEntry(std::size_t index, const UpdateEntry& entry, std::optional<std::string> localMd5,
                              const UpdateProgress& progress, const std::atomic<bool>* cancelled)
{
    const auto failed = [&](std::string why) { return EntryReport{index, EntryOutcome::Failed, std::move(why)}; };
    const std::optional<std::string> saveDir = TryGbkToUtf8(entry.SaveDir);
    const std::optional<std::string> saveName = TryGbkToUtf8(entry.SaveName);
    if (!saveDir || !saveName)
        return failed("保存位置或文件名不是有效的文字");
    const std::u16string dir = GbkToUtf16(entry.SaveDir);
    const CheckedPath checked = TargetOf(entry);
    if (!checked.Allowed())
        return failed("保存位置“" + *saveDir + *saveName + "”不允许：" + PathRefusalText(checked.refusal));
    const std::filesystem::path target = PathBelow(root_, checked.relative);

    try {
        UpdateState state = ReadState(stateFile_);
        std::error_code statFailed;
        const bool exists = std::filesystem::is_regular_file(target, statFailed);
        // An earlier entry of this run may have replaced the file since its digest was taken.
        if (exists && NeedsLocalDigest(entry) && written_.contains(target))
            localMd5 = Md5Of(target);
        if (!exists)
            localMd5.reset();
        const Decision decision = Decide(entry, exists, localMd5, state.Find(checked.relative));
        if (decision.verdict == Verdict::Current)
            return {index, EntryOutcome::Current, {}};
        if (decision.verdict == Verdict::Skipped)
            return {index, EntryOutcome::Skipped, decision.reason};
        if (!IsDirectDownload(entry))
            return {index, EntryOutcome::Skipped, "不支持百度相册下载（" + decision.reason + "）"};

        // Whatever a signed list does not pin could be anything the server holds.
        if (pinning_ == Pinning::Required && !PinnedDigest(entry))
            return failed("签名的列表没有给出这个文件的校验值（DownMD5 或 MD5），不予安装");

        std::filesystem::create_directories(target.parent_path());
        const std::filesystem::path partial = PartialPathFor(target);
        // The digest is taken when something reads it: the download check,
        // or an MD5 entry's record. Hashing what nobody reads would cost a
        // large download as much time again as the transfer over a fast line.
        const std::optional<std::string> expected =
            pinning_ == Pinning::Required ? PinnedDigest(entry) : DownloadDigest(entry);
        const bool recordDigest = NeedsLocalDigest(entry);
        const FetchResult fetched =
            fetcher_.Fetch(Utf8OfGbk(entry.DownUrl), partial, expected || recordDigest, progress.bytes, cancelled);
        if (!fetched.error.empty())
            return failed("下载失败：" + fetched.error);
        std::string downloaded;
        if (expected || recordDigest)
            downloaded = fetched.md5 ? DigestToHex(*fetched.md5) : Md5Of(partial);
        // A whole download with other contents must not be continued next time.
        if (expected && *expected != downloaded) {
            RemoveQuietly(partial);
            return failed("下载的文件校验值不符（应为 " + *expected + "，实为 " + downloaded + "），原文件未改动");
        }
        std::string installedMd5 = downloaded;
        if (entry.Zip == words::kYes) {
            const ArchiveListing listing = ListArchive(partial, dir);
            std::string why = TestArchive(partial, listing);
            if (why.empty())
                why = UnpackArchive(partial, root_, listing, cancelled);
            RemoveQuietly(partial);
            if (!why.empty())
                return failed(why);
            installedMd5 =
                recordDigest && std::filesystem::is_regular_file(target, statFailed) ? Md5Of(target) : std::string();
            for (const ArchiveMember& member : listing.members)
                written_.insert(PathBelow(root_, member.relative));
        } else {
            std::filesystem::rename(partial, target);
        }
        written_.insert(target);
        state.Set(checked.relative, {entry.Ver, entry.Date, installedMd5});
        try {
            // Written after every entry, so a stopped run keeps what it did;
            // a change lost to a power cut only fetches that entry again.
            ReplaceFile(stateFile_, state.Text(), Durability::Atomic);
        } catch (const Error& error) {
            return {index, EntryOutcome::Updated, "已更新，但无法记录安装状态：" + ErrorText(error)};
        }
        return {index, EntryOutcome::Updated, decision.reason};
    } catch (const Error& error) {
        return failed(ErrorText(error));
    } catch (const std::filesystem::filesystem_error& error) {
        return failed(std::string("文件操作失败：") + error.what());
    }
}

std::string ReportLine(const EntryReport& report, const UpdateEntry& entry)
{
    static constexpr const char* kWords[] = {"已是最新", "已更新", "已跳过", "失败"};
    std::string line = "[" + std::to_string(report.index + 1) + "] " + kWords[static_cast<int>(report.outcome)] + "：" +
                       Utf8OfGbk(entry.Hint.empty() ? entry.SaveName : entry.Hint);
    if (!report.reason.empty())
        line += "（" + report.reason + "）";
    return line;
}

} // namespace tarnwick::player

#pragma once

#include "digest/md5.h"
#include "player_launcher/core/install_step.h"
#include "player_launcher/core/update_check.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The updater: brings the files of the update list into the launcher's
// folder, entry by entry. Each entry's path is checked first, its check type
// decides, the download goes into a partial file beside the target (kept, so
// that a stopped download continues), is checked against DownMD5 and only
// then replaces the file or is unpacked. A failed entry leaves the file it
// names as it was; the next entry is still tried.
//
// The record of an install is written twice: pending before the file is put
// in place, final after. A run killed in between finds the pending record
// and the file (or the kept download) it names, and fetches nothing again.
namespace tarnwick::player {

// Bytes of the current file so far, and its length when the server said it.
using FetchProgress = std::function<void(std::uint64_t received, std::optional<std::uint64_t> total)>;

struct FetchResult {
    std::string error;         // empty on success, else why (UTF-8)
    std::optional<Digest> md5; // of the whole file fetched, when the fetcher took it on the way
};

// What fetches a file: WinINet in the launcher, a stand-in in tests.
class UpdateFetcher {
public:
    virtual ~UpdateFetcher() = default;
    // Brings `url` whole into `partial`, continuing what it holds when the
    // server still serves the same file; with `digest`, takes its MD5 on the
    // way. On failure the partial file may stay for the next try.
    virtual FetchResult Fetch(const std::string& url, const std::filesystem::path& partial, bool digest,
                              const FetchProgress& progress, const std::atomic<bool>* cancelled) = 0;
};

// Brings a file up to date from the player's old copy, or says why it did not.
class UpdatePatcher {
public:
    virtual ~UpdatePatcher() = default;
    // Builds the file at `url` into `partial`, from `current` and what the
    // server holds, and takes its MD5. An error means `partial` was not
    // made (and nothing of the attempt is left); `expectedMd5` (when known)
    // must be the index's, or the index is taken for another file's.
    virtual FetchResult Patch(const std::string& url, const std::filesystem::path& current,
                              const std::filesystem::path& partial, const std::optional<std::string>& expectedMd5,
                              const FetchProgress& progress, const std::atomic<bool>* cancelled) = 0;
};

enum class EntryOutcome { Current, Updated, Skipped, Failed };

struct EntryReport {
    std::size_t index = 0;
    EntryOutcome outcome = EntryOutcome::Current;
    std::string reason; // UTF-8, empty for Current
};

// Told as the run goes: the entry started (its hint, UTF-8), its bytes, and
// how it ended.
struct UpdateProgress {
    std::function<void(std::size_t index, const std::string& hint)> entryStarted;
    FetchProgress bytes;
    std::function<void(const EntryReport& report)> entryDone;
};

// The partial download of a target: beside it, so that moving it into place
// is a rename on one volume.
std::filesystem::path PartialPathFor(const std::filesystem::path& target);

// Which downloads may be installed: those whose DownMD5 matches when it is
// given (a launcher that trusts whatever the network serves), or only those
// whose digest the signed list pins (see PinnedDigest).
enum class Pinning { WhereGiven, Required };

class Updater {
public:
    // `root` is the launcher's folder; `stateFile` what was installed (see UpdateState).
    Updater(std::filesystem::path root, std::filesystem::path stateFile, UpdateFetcher& fetcher,
            Pinning pinning = Pinning::WhereGiven);

    // The launcher's own image cannot be replaced while it runs: an entry
    // whose target is `ownImage` runs after all others, its download checked
    // as any other, and `step` installs it (see InstallResult::finished).
    void SetSelfInstall(std::filesystem::path ownImage, InstallStep& step);

    // A file the player already has (no archive, not the launcher itself) is
    // first brought up to date by `patcher`, and downloaded whole when that fails.
    void SetPatcher(UpdatePatcher& patcher) { patcher_ = &patcher; }

    // The reports in the order of the entries (the launcher's own image is
    // run last, and told last to `progress`).
    std::vector<EntryReport> Run(const std::vector<UpdateItem>& entries, const UpdateProgress& progress = {},
                                 const std::atomic<bool>* cancelled = nullptr);

private:
    // `localMd5`: the file's digest when the check needs it, taken before the run.
    EntryReport RunEntry(std::size_t index, const UpdateItem& entry, std::optional<std::string> localMd5,
                         bool self, const UpdateProgress& progress, const std::atomic<bool>* cancelled);
    // Writes the records; false when they could not be written (the reason in `why`).
    bool SaveState(std::string& why);

    std::filesystem::path root_;
    std::filesystem::path stateFile_;
    UpdateFetcher& fetcher_;
    Pinning pinning_;
    std::u16string ownImageKey_; // empty: none set
    InstallStep* selfStep_ = nullptr;
    UpdatePatcher* patcher_ = nullptr;
    UpdateState state_; // read at the start of a run, written after each change
    std::set<std::filesystem::path> written_; // targets replaced in this run: their digests taken before are old
};

// One line for the player or a script: "[n] outcome: hint (reason)", UTF-8.
std::string ReportLine(const EntryReport& report, const UpdateItem& entry);

} // namespace tarnwick::player

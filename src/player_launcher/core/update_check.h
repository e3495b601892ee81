#pragma once

#include "player_launcher/core/server_list.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Whether an update entry's file must be fetched, by the entry's check type,
// from what the player's folder holds and what the launcher recorded when it
// last installed the file.
namespace tarnwick::player {

// What the launcher installed last at one path. For an archive, the path is
// the archive's name (never kept) and md5 the archive's digest.
struct InstalledRecord {
    std::string version; // the entry's version
    std::string date;    // the entry's date
    std::string md5;     // the installed file's MD5, 32 lowercase hexadecimal digits
    // Written before the file is put in place: it counts only once the file
    // at the path is seen to have md5 (a run stopped in between left it).
    bool pending = false;
    std::vector<std::string> members; // an archive's files: checked relative paths, UTF-8
    bool operator==(const InstalledRecord&) const = default;
};

enum class Verdict {
    Current, // nothing to do
    Needed,  // fetch it
    Skipped, // the entry cannot be acted on (the reason says why)
};

struct Decision {
    Verdict verdict = Verdict::Current;
    std::string reason; // for the player, UTF-8; empty for Current
};

// What the check needs of the local file besides whether it exists: its MD5.
// Never for an archive, which is decided by its record alone.
bool NeedsLocalDigest(const UpdateItem& entry);

// Whether the entry's download is a zip archive to unpack.
bool IsArchive(const UpdateItem& entry);

// The decision for one entry. `localMd5` is the file's digest (lowercase
// hexadecimal) when the check needs it and the file exists; `recorded` is
// what the launcher installed there last, if anything (a pending record is
// none). For an archive, `exists` tells whether every file the record names
// is there, the archive itself being never kept.
Decision Decide(const UpdateItem& entry, bool exists, const std::optional<std::string>& localMd5,
                const std::optional<InstalledRecord>& recorded);

// Whether the download type is one the launcher can fetch ("直接").
bool IsDirectDownload(const UpdateItem& entry);

// What the launcher installed, by path, kept in one small file beside it.
// Parse never fails: a missing, damaged or foreign file is no record at all.
class UpdateState {
public:
    static UpdateState Parse(std::string_view text);
    std::string Text() const;

    // `path` is the checked relative path; paths compare without regard to
    // the case of ASCII letters, as Windows compares them.
    std::optional<InstalledRecord> Find(std::u16string_view path) const;
    void Set(std::u16string_view path, InstalledRecord record);
    void Remove(std::u16string_view path);

private:
    std::map<std::string, InstalledRecord> records_; // by the path's key (UTF-8, ASCII lower-cased)
};

// The most bytes a state file is read; a larger one is taken as damaged.
inline constexpr std::size_t kMaxUpdateStateBytes = 4 * 1024 * 1024;

} // namespace tarnwick::player

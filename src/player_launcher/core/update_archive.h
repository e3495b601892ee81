#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The zip archives of update entries marked "是": read from the network, so
// the whole directory is checked (every name inside the save folder, the
// caps, no encryption) and every member is inflated once with its checksum
// tested before the first file is written.
namespace tarnwick::player {

struct ArchiveLimits {
    std::uint64_t maxMemberBytes;
    std::uint64_t maxTotalBytes;
    std::uint64_t maxMembers;
};
// A client's largest data files are a few hundred megabytes.
inline constexpr ArchiveLimits kArchiveLimits{2ull << 30, 8ull << 30, 50'000};

struct ArchiveMember {
    std::u16string relative; // checked path below the launcher's folder
    bool folder = false;
    std::uint64_t size = 0; // as the directory states it; held to it while inflating
};

struct ArchiveListing {
    std::vector<ArchiveMember> members;
    std::string refusal; // why the archive is not unpacked (UTF-8), empty when it may be
    bool Allowed() const { return refusal.empty(); }
};

// Reads the directory and checks each member's name (UTF-8 when the archive
// says so, else GBK) under `saveDir`, the caps, and that no two members
// name the same file.
ArchiveListing ListArchive(const std::filesystem::path& zip, std::u16string_view saveDir,
                           const ArchiveLimits& limits = kArchiveLimits);

// Inflates every member without writing anything: empty when each one
// inflates to its stated size with its checksum, else why not (UTF-8).
std::string TestArchive(const std::filesystem::path& zip, const ArchiveListing& listing);

// Writes the listed members below `root` (the launcher's folder), each one
// built beside its target and moved over it only when whole. Empty on
// success, else why not; a failure here (no room, a file in use) may leave
// the members before it unpacked, each of them whole.
std::string UnpackArchive(const std::filesystem::path& zip, const std::filesystem::path& root,
                          const ArchiveListing& listing, const std::atomic<bool>* cancelled = nullptr);

} // namespace tarnwick::player

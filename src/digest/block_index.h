#pragma once

#include "base/crypto.h"
#include "digest/md5.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The block index of an update file: what a launcher holding an older version
// of the file needs to find the blocks it already has and fetch only the
// rest. It is published beside the file (NAME.blocks) and is read by
// launchers, so its layout is fixed:
//
//   "TWBLOCK1"                 8 bytes
//   block size                 u32, little-endian, a power of two from 1 KiB to 16 MiB
//   reserved                   u32, 0
//   length of the file         u64
//   SHA-256 of the whole file  32 bytes
//   MD5 of the whole file      16 bytes (what update lists name)
//   per block, in file order:  weak rolling checksum u32, MD5 of the block 16 bytes
//
// The last block may be shorter than the block size; a file of 0 bytes has no blocks.
namespace tarnwick::blocks {

// Files from this size on get an index: below it a whole download costs
// little more than the index and the requests.
inline constexpr std::uint64_t kIndexedFromBytes = 4ull << 20;
inline constexpr std::uint32_t kMinBlockSize = 1u << 10;
inline constexpr std::uint32_t kMaxBlockSize = 16u << 20;
// No index of a file a launcher would fetch (4 GiB) comes near this.
inline constexpr std::uint64_t kMaxIndexBytes = 16ull << 20;
inline constexpr char kIndexSuffix[] = ".blocks";

struct BlockSum {
    std::uint32_t weak = 0;
    Digest strong{};
    bool operator==(const BlockSum&) const = default;
};

struct BlockIndex {
    std::uint32_t blockSize = 0;
    std::uint64_t length = 0;
    crypto::Sha256Digest sha256{};
    Digest md5{};
    std::vector<BlockSum> blocks;

    std::uint64_t BlockStart(std::size_t block) const { return std::uint64_t(block) * blockSize; }
    std::uint32_t BlockLength(std::size_t block) const;
    bool operator==(const BlockIndex&) const = default;
};

// The block size for a file of `length` bytes: small enough that a change
// costs little more than itself, large enough that the index stays near
// 16,384 blocks (0.03% of a large file).
std::uint32_t ChooseBlockSize(std::uint64_t length);

// The checksum of a window that moves one byte at a time (two 16-bit sums,
// as rsync's): cheap to roll, so that every offset of an old file can be tried.
class RollingSum {
public:
    void Reset(const std::uint8_t* window, std::uint32_t length);
    // Moves the window one byte on: `out` leaves it, `in` enters it.
    void Roll(std::uint8_t out, std::uint8_t in)
    {
        a_ = static_cast<std::uint16_t>(a_ - out + in);
        b_ = static_cast<std::uint16_t>(b_ - length_ * out + a_);
    }
    std::uint32_t Value() const { return std::uint32_t(a_) | (std::uint32_t(b_) << 16); }

private:
    std::uint16_t a_ = 0;
    std::uint16_t b_ = 0;
    std::uint32_t length_ = 0;
};

std::uint32_t WeakSum(const std::uint8_t* bytes, std::uint32_t length);

// Indexes a file, its blocks on `workers` threads (0: one per processor).
// Throws Error when it cannot be read.
BlockIndex IndexFile(const std::filesystem::path& file, unsigned workers = 0);

std::string EncodeIndex(const BlockIndex& index);

// An index as it came from the network: nothing is trusted until it reads
// whole and consistent. Absent, with the reason in `why` (English, for logs
// and tests), when it does not.
std::optional<BlockIndex> DecodeIndex(std::string_view bytes, std::string& why);

// Where each block of the indexed file already is in `old`: its offset there,
// or none. Every offset of the old file is tried, so a block is found where
// an insertion or a deletion before it has moved it. The old file is scanned
// on `workers` threads (0: one per processor). Throws Error when `old` cannot
// be read; returns early (blocks not yet found stay none) once `cancelled`.
std::vector<std::optional<std::uint64_t>> FindBlocks(const BlockIndex& index, const std::filesystem::path& old,
                                                     unsigned workers = 0, const std::atomic<bool>* cancelled = nullptr);

} // namespace tarnwick::blocks

#pragma once

#include "launcher/byte_reader.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarnwick {

struct SectionHeader {
    std::string name; // up to 8 bytes, trailing NULs removed
    std::uint32_t virtualSize = 0;
    std::uint32_t virtualAddress = 0;
    std::uint32_t sizeOfRawData = 0;
    std::uint32_t pointerToRawData = 0;
    std::uint32_t characteristics = 0;
    std::size_t headerOffset = 0; // file offset of this 40-byte header
};

struct DataDirectory {
    std::uint32_t address = 0; // an RVA, except for the certificate table (a file offset)
    std::uint32_t size = 0;
};

// The headers and section table of a PE32 or PE32+ file, and where in the file
// each field lives so that an update can rewrite it.
class PeImage {
public:
    static constexpr std::size_t kResourceDirectory = 2;
    static constexpr std::size_t kSecurityDirectory = 4;
    static constexpr std::size_t kDebugDirectory = 6;

    // Raises Error when the bytes are not a well-formed PE file.
    static PeImage Parse(std::span<const std::byte> file);

    bool Is64() const { return is64_; }
    const std::vector<SectionHeader>& Sections() const { return sections_; }
    std::uint32_t FileAlignment() const { return fileAlignment_; }
    std::uint32_t SectionAlignment() const { return sectionAlignment_; }
    std::uint32_t CheckSum() const { return checkSum_; }
    std::uint32_t PointerToSymbolTable() const { return pointerToSymbolTable_; }
    std::size_t DirectoryCount() const { return directoryCount_; }
    DataDirectory Directory(std::size_t index) const;

    // Field offsets in the file.
    std::size_t CheckSumOffset() const { return optionalHeader_ + 64; }
    std::size_t SizeOfImageOffset() const { return optionalHeader_ + 56; }
    std::size_t SizeOfInitializedDataOffset() const { return optionalHeader_ + 8; }
    std::size_t PointerToSymbolTableOffset() const { return coffHeader_ + 8; }
    std::size_t DirectoryOffset(std::size_t index) const { return directories_ + 8 * index; }

    // The section whose virtual range holds the RVA, if any.
    const SectionHeader* SectionOfRva(std::uint32_t rva) const;
    // The file offset of size bytes at the RVA, when they all lie in one section's raw data.
    std::optional<std::uint64_t> RvaToOffset(std::uint32_t rva, std::uint32_t size) const;
    // The end of the last section's raw data: where bytes appended to the image (overlay) begin.
    std::uint64_t EndOfSectionData() const;

private:
    bool is64_ = false;
    std::size_t coffHeader_ = 0;
    std::size_t optionalHeader_ = 0;
    std::size_t directories_ = 0;
    std::size_t directoryCount_ = 0;
    std::uint32_t fileAlignment_ = 0;
    std::uint32_t sectionAlignment_ = 0;
    std::uint32_t checkSum_ = 0;
    std::uint32_t pointerToSymbolTable_ = 0;
    std::vector<DataDirectory> directoryValues_;
    std::vector<SectionHeader> sections_;
};

// The checksum that the optional header's CheckSum field holds for the file:
// the folded sum of its 16-bit words, the field itself counted as zero, plus the file's length.
std::uint32_t PeCheckSum(std::span<const std::byte> file, std::size_t checkSumOffset);

// The CheckSum after `size` bytes at `offset` of a file of fileSize bytes changed
// from oldBytes to newBytes, from the old CheckSum alone. Exact when the old one
// was; absent when it cannot have been (then the whole file must be summed).
std::optional<std::uint32_t> AdjustedCheckSum(std::uint32_t checkSum, std::uint64_t fileSize, std::uint64_t offset,
                                              std::span<const std::byte> oldBytes,
                                              std::span<const std::byte> newBytes);

std::uint64_t AlignUp(std::uint64_t value, std::uint32_t alignment);

// The headers address the file with 32-bit offsets and sizes, and Windows maps
// no image of 4 GiB or more: no executable is larger than this.
inline constexpr std::uint64_t kMaxExecutableBytes = 0xFFFFFFFFu;

// The whole file, read only when it is no larger than an executable can be;
// raises Error naming the limit otherwise (and the errors of ReadFile).
std::string ReadExecutable(const std::filesystem::path& path);

} // namespace tarnwick

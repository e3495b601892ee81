#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

// The block index kept beside a local update file (NAME.blocks), uploaded
// beside the file so that launchers holding an older copy fetch only the
// blocks they lack.
namespace tarnwick::publish {

// Whether a file of this many bytes gets an index.
bool WantsIndex(std::uint64_t fileSize);

std::filesystem::path IndexPathFor(const std::filesystem::path& file);

struct LocalIndex {
    std::filesystem::path path;
    std::uint64_t size = 0;      // of the index
    std::string md5;             // of the index, lower-case hexadecimal
    std::uint32_t blockSize = 0;
    std::size_t blockCount = 0;
    bool made = false;           // false: the one beside the file was kept
};

// Indexes the file on `workers` threads (0: one per processor) and replaces
// its index atomically. Raises Error when the file cannot be read or the
// index cannot be written; the index there before is then as it was.
LocalIndex WriteIndex(const std::filesystem::path& file, unsigned workers = 0);

// The index of the version of the file that is `length` bytes long with the
// MD5 `md5`: the one beside it when it is of that version, else made again.
// Raises Error as WriteIndex does, and when the file is no longer that
// version (it changed after its digest was taken).
LocalIndex CurrentIndex(const std::filesystem::path& file, std::uint64_t length, const std::string& md5,
                        unsigned workers = 0);

} // namespace tarnwick::publish

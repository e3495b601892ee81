#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

struct MD5Context {
    std::uint32_t state[4];
    std::uint32_t count[2]; // bits, low word first
    std::uint8_t buffer[64];
};

using Digest = std::array<std::uint8_t, 16>;
using ProgressCallback = std::function<void(int percent)>;

void MD5Init(MD5Context& context);
void MD5Update(MD5Context& context, const void* data, std::uint32_t length);
void MD5Final(MD5Context& context, Digest& digest);

// The MD5 of a file's contents, read in 16,384-byte chunks, with progress reports.
void FileDigest(const std::filesystem::path& fileName, Digest& digest, const ProgressCallback& callback = {});

std::string DigestToHex(const Digest& digest);

// The digests of many files, one file per worker and `workers` at once (0:
// one per processor), in the order given. A file that cannot be read, or is
// no file, gives none.
std::vector<std::optional<Digest>> FileDigests(const std::vector<std::filesystem::path>& files, unsigned workers = 0);

} // namespace tarnwick

#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick::publish {

// The MD5 of local files, taken again only for a file whose size or
// modification time changed since: a republish of a large site then reads
// nothing. The cache is a convenience: a damaged or missing one is rebuilt.
class DigestCache {
public:
    explicit DigestCache(std::filesystem::path file);

    // The digests (lower-case hex) of the files, in order; none for a file
    // that cannot be read. Files are hashed in parallel.
    std::vector<std::optional<std::string>> Digests(const std::vector<std::filesystem::path>& files);
    // Writes the cache when it changed; quiet when it cannot.
    void Save() noexcept;

private:
    struct Entry {
        std::uint64_t size = 0;
        long long time = 0;
        std::string md5;
    };
    std::filesystem::path file_;
    std::vector<std::pair<std::string, Entry>> entries_;
    bool changed_ = false;
};

} // namespace tarnwick::publish

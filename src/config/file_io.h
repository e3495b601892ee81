#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick {

// The whole file as bytes. Raises "Cannot open file ..." when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

// A new version of a file, built beside the target under a temporary name and
// moved over the target only by Commit(), so that a failure at any point leaves
// the old file as it was. An uncommitted temporary file is removed; one that a
// killed writer left behind is removed by the next commit to the same target.
class PendingFile {
public:
    explicit PendingFile(std::filesystem::path target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::filesystem::path& TemporaryPath() const { return temporary_; }
    const std::filesystem::path& Target() const { return target_; }

    // Writes all bytes to the temporary file and flushes them to the disk.
    void Write(std::string_view bytes);
    // Flushes the temporary file (which may also have been changed through its path) and renames it over the target.
    void Commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

// Replaces the target with the bytes atomically.
void ReplaceFile(const std::filesystem::path& target, std::string_view bytes);

} // namespace tarnwick

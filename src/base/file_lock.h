#pragma once

#include "base/message.h"
#include "base/file_io.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// An exclusive lock on a lock file, released when the owner is destroyed or the
// process ends however it ends (so a lock left by a killed program is taken
// over by the next one). Two owners conflict even within one process.
class FileLock {
public:
    struct Attempt;

    // Takes the lock on lockFile (created when missing), trying again until
    // `wait` has passed (0: one try). The holder then writes `holder`, one
    // line, into the lock file so that others can name it. Raises Error when
    // the lock file cannot be created or its file system cannot lock files.
    [[nodiscard]] static Attempt Acquire(const std::filesystem::path& lockFile, const std::string& holder,
                                         std::chrono::milliseconds wait);

    // The holder's description when another owner holds the lock now; nullopt
    // when nobody does or there is no lock file. Does not keep the lock.
    [[nodiscard]] static std::optional<std::string> HolderOf(const std::filesystem::path& lockFile);

    FileLock(FileLock&&) noexcept = default;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() { Release(); }

private:
    explicit FileLock(FileDescriptor file) : file_(std::move(file)) {}
    void Release() noexcept;

    FileDescriptor file_;
};

struct FileLock::Attempt {
    std::optional<FileLock> lock; // held, or empty when another owner holds it
    std::string holder;           // when not held: the holder's description as it wrote it (may be empty)
};

// "tarnwick-cli, process 1234 on host NAME, since 2026-12-07 17:20:03" (local
// time, UTF-8): who holds a FileLock, for the one who waits for it.
std::string ProcessDescription(std::string_view program);

// A holder's description for a message, in the operator's language where it
// has that form; else as written (an empty one as "another program").
Message HolderMessage(std::string_view utf8);

} // namespace tarnwick

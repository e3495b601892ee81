#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

// The one owner of an open file of the platform (a descriptor on POSIX, a
// HANDLE on Windows; -1 is "none" on both): it closes the file once, and
// moving hands the file on.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(std::intptr_t descriptor) : descriptor_(descriptor) {}
    ~FileDescriptor() { Reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : descriptor_(other.descriptor_) { other.descriptor_ = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    bool IsOpen() const { return descriptor_ != -1; }
    std::intptr_t Get() const { return descriptor_; }
    void Reset();

private:
    std::intptr_t descriptor_ = -1;
};

// The most bytes a caller accepts from a file, and the rule that a refusal
// states after the file's name and size: a Chinese phrase marked for the
// translation files, such as "文档最多可有 ... 字节".
struct SizeLimit {
    std::uint64_t maxBytes;
    const char* rule;
};

// Every failure below is raised as Error with the kind that the system's
// error gives (in use, no room, no permission, not found), so that callers
// need not read it from the message.

// The whole file as bytes. Raises "Cannot open file ..." when it cannot be
// opened and "Cannot read file ..." when reading fails; with a limit, a larger
// file is refused before anything is read.
std::string ReadFile(const std::filesystem::path& path);
std::string ReadFile(const std::filesystem::path& path, const SizeLimit& limit);

// A file read front to back, for hashing: opening it does not wait on a FIFO,
// and other programs may keep reading and writing it. Messages name shownPath.
class InputFile {
public:
    // Raises "Cannot open file ...".
    InputFile(const std::filesystem::path& path, std::filesystem::path shownPath);

    // The size of a regular file; 0 for devices and pipes, which have no
    // contents to speak of. Raises "Cannot read file ...".
    std::uint64_t RegularFileSize() const;
    // Fills the buffer; a file that ends first raises "Cannot read file ...".
    void ReadExactly(std::span<std::byte> buffer) const;
    // Reads at an offset, for files read out of order (an archive's directory
    // is at its end): the bytes read, fewer than asked only at the end of the
    // file. Raises "Cannot read file ...".
    std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> buffer) const;
    // Tells the system that the file will be read in order (only a hint).
    void ExpectSequentialReading() const;

private:
    FileDescriptor file_;
    std::filesystem::path shownPath_;
};

// How far a replaced file is taken: to the disk (a power loss keeps the new
// version or the old one), or only atomically (readers see the old or the new
// version whole, but a power loss may lose the change), for files that are
// cheap to rebuild and written often, where a flush each time costs more than
// the rare loss.
enum class Durability { Flushed, Atomic };

// Who may read a file written here: whoever the folder and the umask allow,
// or only its owner (private keys: mode 0600 on POSIX; on Windows the
// user's profile folder already is the owner's).
enum class Readers { Anyone, OwnerOnly };

// A new version of a file, built beside the target under a temporary name and
// moved over the target only by Commit(), so that a failure at any point leaves
// the old file as it was. An uncommitted temporary file is removed; one that a
// killed writer left behind is removed by the next commit to the same target.
class PendingFile {
public:
    explicit PendingFile(std::filesystem::path target, Readers readers = Readers::Anyone);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::filesystem::path& TemporaryPath() const { return temporary_; }
    const std::filesystem::path& Target() const { return target_; }

    // Appends the bytes to the temporary file.
    void Write(std::string_view bytes);
    // Flushes the temporary file to the disk (unless only Atomic is asked)
    // and renames it over the target.
    void Commit(Durability durability = Durability::Flushed);

private:
    std::filesystem::path target_;
    std::filesystem::path temporary_;
    FileDescriptor file_;
    bool committed_ = false;
};

// A file that grows across runs, such as a download continued where an
// earlier run stopped: it keeps what was written before, and new bytes go to
// its end. Nothing replaces it atomically; its owner decides when it is whole.
class GrowingFile {
public:
    // Opens the file, creating it when missing. Raises "Cannot create file ...".
    explicit GrowingFile(std::filesystem::path path);

    std::uint64_t Size() const;
    // Drops every byte past `size` (0 starts the file again).
    void Truncate(std::uint64_t size);
    void Append(std::string_view bytes);
    // Flushes what was appended to the disk.
    void Flush();

private:
    FileDescriptor file_;
    std::filesystem::path path_;
};

// What tells one version of a file from another without reading it: writing
// or replacing the file gives it another identity.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Absent when the file cannot be looked at.
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

// Replaces the target with the bytes atomically.
void ReplaceFile(const std::filesystem::path& target, std::string_view bytes,
                 Durability durability = Durability::Flushed, Readers readers = Readers::Anyone);

// Moves a whole file over the target (same volume) in one step and takes
// the move to the disk: a crash leaves the old target or the new one, never
// a part. Raises "Cannot create file ..." with the kind of the failure.
void MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& target);

// Removes a file when it is there. A file that cannot be removed stays: the
// callers only tidy up, and whatever stays is dealt with by the next run.
void RemoveQuietly(const std::filesystem::path& file) noexcept;

// Writes a new file with the bytes and flushes it to the disk, but only where
// nothing has the name yet, so that an earlier file is never overwritten:
// false, and nothing written, when the name is taken. Other failures raise
// "Cannot create file ..." and leave no part of the file behind.
bool CreateNewFile(const std::filesystem::path& path, std::string_view bytes, Readers readers = Readers::Anyone);

} // namespace tarnwick

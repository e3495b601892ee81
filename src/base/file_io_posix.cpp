// Files through POSIX calls.
#include "base/file_io.h"

#include "base/error.h"
#include "base/text.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

FileDescriptor Open(const std::filesystem::path& path, int flags, mode_t mode = 0666)
{
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

struct stat StatusOf(const FileDescriptor& file, const std::filesystem::path& path)
{
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0)
        throw CannotOpenFile(path, errno);
    return info;
}

// Some bytes into the buffer; 0 at the end of the file.
std::size_t ReadSome(const FileDescriptor& file, std::span<std::byte> buffer, const std::filesystem::path& path)
{
    for (;;) {
        const ssize_t got = ::read(file.Get(), buffer.data(), buffer.size());
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            throw CannotReadFile(path, errno);
    }
}

mode_t CurrentUmask()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::size_t kTemporaryRandomChars = 6; // mkstemp's XXXXXX

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether the name still leads to the open file.
bool NameLeadsTo(const std::filesystem::path& name, const FileDescriptor& file)
{
    struct stat opened {}, named {};
    return ::fstat(file.Get(), &opened) == 0 && ::lstat(name.c_str(), &named) == 0 && SameFile(opened, named);
}

// All of the bytes, or the errno of the failure (0 when all were written).
int WriteAll(const FileDescriptor& file, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t put = ::write(file.Get(), bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return 0;
}

[[noreturn]] void ThrowWriteError(int error)
{
    throw StreamWriteError(error);
}

// Makes a new or renamed name in the folder durable, where the folder can be opened for it.
void SyncFolderOf(const std::filesystem::path& path)
{
    const std::filesystem::path dir = path.parent_path();
    const FileDescriptor folder = Open(dir.empty() ? "." : dir, O_RDONLY | O_DIRECTORY);
    if (folder.IsOpen())
        ::fsync(folder.Get());
}

int Lock(const FileDescriptor& file, int operation)
{
    int rc;
    do
        rc = ::flock(file.Get(), operation);
    while (rc != 0 && errno == EINTR);
    return rc;
}

// Every writer holds an exclusive lock on its temporary file until the file has
// been renamed, and the lock goes with the process, however it ends. So a
// temporary of the target whose lock can be taken was left by a writer that
// was killed, and is removed; a live writer's is left alone.
void RemoveStaleTemporaries(const std::filesystem::path& target)
{
    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    const std::string prefix = target.filename().string() + std::string(kTemporaryMark);
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() != prefix.size() + kTemporaryRandomChars || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const FileDescriptor candidate = Open(it->path(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        if (!candidate.IsOpen() || Lock(candidate, LOCK_EX | LOCK_NB) != 0)
            continue;
        struct stat opened {};
        if (::fstat(candidate.Get(), &opened) == 0 && S_ISREG(opened.st_mode) && NameLeadsTo(it->path(), candidate))
            ::unlink(it->path().c_str());
    }
}

} // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        Reset();
        descriptor_ = other.descriptor_;
        other.descriptor_ = -1;
    }
    return *this;
}

void FileDescriptor::Reset()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
}

std::string ReadFile(const std::filesystem::path& path)
{
    return ReadFile(path, SizeLimit{UINT64_MAX, nullptr});
}

std::string ReadFile(const std::filesystem::path& path, const SizeLimit& limit)
{
    const FileDescriptor file = Open(path, O_RDONLY);
    if (!file.IsOpen())
        throw CannotOpenFile(path, errno);
    const struct stat info = StatusOf(file, path);
    if (S_ISDIR(info.st_mode))
        throw CannotOpenFile(path, EISDIR);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > limit.maxBytes)
        throw FileTooLarge(path, size, limit.rule);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    std::byte buffer[65536];
    while (const std::size_t got = ReadSome(file, buffer, path)) {
        bytes.append(reinterpret_cast<const char*>(buffer), got);
        // A file that grows while it is read is held to the same limit.
        if (bytes.size() > limit.maxBytes)
            throw FileTooLarge(path, bytes.size(), limit.rule);
    }
    return bytes;
}

InputFile::InputFile(const std::filesystem::path& path, std::filesystem::path shownPath)
    : file_(Open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK)), shownPath_(std::move(shownPath))
{
    if (!file_.IsOpen())
        throw CannotOpenFile(shownPath_, errno);
}

std::uint64_t InputFile::RegularFileSize() const
{
    struct stat info {};
    if (::fstat(file_.Get(), &info) != 0)
        throw CannotReadFile(shownPath_, errno);
    return S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
}

void InputFile::ReadExactly(std::span<std::byte> buffer) const
{
    while (!buffer.empty()) {
        const std::size_t got = ReadSome(file_, buffer, shownPath_);
        if (got == 0)
            throw FileEndedEarly(shownPath_);
        buffer = buffer.subspan(got);
    }
}

std::size_t InputFile::ReadAt(std::uint64_t offset, std::span<std::byte> buffer) const
{
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::pread(file_.Get(), buffer.data() + done, buffer.size() - done,
                                    static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw CannotReadFile(shownPath_, errno);
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void InputFile::ExpectSequentialReading() const
{
    ::posix_fadvise(file_.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
}

PendingFile::PendingFile(std::filesystem::path target, Readers readers) : target_(std::move(target))
{
    for (;;) {
        std::string pattern = target_.string() + std::string(kTemporaryMark) + std::string(kTemporaryRandomChars, 'X');
        file_ = FileDescriptor(::mkostemp(pattern.data(), O_CLOEXEC));
        if (!file_.IsOpen())
            throw CannotCreateFile(target_, errno);
        temporary_ = pattern;
        // Locked to show that a live writer owns it (see RemoveStaleTemporaries).
        // Between creation and lock another writer may have taken it for stale
        // and removed it; then the name no longer leads here, and a new one is taken.
        if (Lock(file_, LOCK_EX) != 0) {
            const int error = errno;
            ::unlink(temporary_.c_str());
            throw CannotCreateFile(target_, error);
        }
        if (NameLeadsTo(temporary_, file_))
            break;
    }
    // mkstemp creates 0600; give the file the mode a plain create would, or the
    // old file's, unless only its owner may read it.
    struct stat old {};
    const mode_t mode = readers == Readers::OwnerOnly          ? 0600
                        : (::stat(target_.c_str(), &old) == 0) ? (old.st_mode & 07777)
                                                                : (0666 & ~CurrentUmask());
    if (::fchmod(file_.Get(), mode) != 0) {
        const int error = errno;
        ::unlink(temporary_.c_str());
        throw CannotCreateFile(target_, error);
    }
}

PendingFile::~PendingFile()
{
    file_.Reset();
    if (!committed_)
        ::unlink(temporary_.c_str());
}

void PendingFile::Write(std::string_view bytes)
{
    if (const int error = WriteAll(file_, bytes))
        ThrowWriteError(error);
}

void PendingFile::Commit(Durability durability)
{
    if (durability == Durability::Flushed && ::fsync(file_.Get()) != 0)
        ThrowWriteError(errno);
    // Still open, and so still locked, while it is renamed.
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
        throw CannotCreateFile(target_, errno);
    committed_ = true;
    // Writes into the page cache report their errors as they happen; fsync
    // has reported the rest. The file is in place.
    file_.Reset();
    if (durability == Durability::Flushed)
        SyncFolderOf(target_);
    RemoveStaleTemporaries(target_);
}

GrowingFile::GrowingFile(std::filesystem::path path) : path_(std::move(path))
{
    file_ = Open(path_, O_WRONLY | O_CREAT | O_NOCTTY);
    if (!file_.IsOpen())
        throw CannotCreateFile(path_, errno);
    if (::lseek(file_.Get(), 0, SEEK_END) < 0)
        throw CannotCreateFile(path_, errno);
}

std::uint64_t GrowingFile::Size() const
{
    return static_cast<std::uint64_t>(StatusOf(file_, path_).st_size);
}

void GrowingFile::Truncate(std::uint64_t size)
{
    if (::ftruncate(file_.Get(), static_cast<off_t>(size)) != 0 || ::lseek(file_.Get(), 0, SEEK_END) < 0)
        ThrowWriteError(errno);
}

void GrowingFile::Append(std::string_view bytes)
{
    if (const int error = WriteAll(file_, bytes))
        ThrowWriteError(error);
}

void GrowingFile::Flush()
{
    if (::fsync(file_.Get()) != 0)
        ThrowWriteError(errno);
}

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                        static_cast<std::uint64_t>(info.st_size),
                        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

void ReplaceFile(const std::filesystem::path& target, std::string_view bytes, Durability durability, Readers readers)
{
    PendingFile file(target, readers);
    file.Write(bytes);
    file.Commit(durability);
}

void MoveFileOver(const std::filesystem::path& from, const std::filesystem::path& target)
{
    // The contents reach the disk before the name does, or a crash could
    // leave the new name on an empty file.
    const FileDescriptor file = Open(from, O_RDONLY | O_NOCTTY);
    if (!file.IsOpen())
        throw CannotCreateFile(target, errno);
    if (::fsync(file.Get()) != 0)
        ThrowWriteError(errno);
    if (::rename(from.c_str(), target.c_str()) != 0)
        throw CannotCreateFile(target, errno);
    SyncFolderOf(target);
}

void RemoveQuietly(const std::filesystem::path& file) noexcept
{
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

bool CreateNewFile(const std::filesystem::path& path, std::string_view bytes, Readers readers)
{
    // O_EXCL also refuses a symbolic link at the name, dangling or not.
    FileDescriptor file = Open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY, readers == Readers::OwnerOnly ? 0600 : 0666);
    if (!file.IsOpen()) {
        if (errno == EEXIST)
            return false;
        throw CannotCreateFile(path, errno);
    }
    int error = WriteAll(file, bytes);
    if (error == 0 && ::fsync(file.Get()) != 0)
        error = errno;
    if (error != 0) {
        // Only the file made here is removed, never one that took its name meanwhile.
        if (NameLeadsTo(path, file))
            ::unlink(path.c_str());
        throw CannotCreateFile(path, error);
    }
    file.Reset();
    SyncFolderOf(path);
    return true;
}

} // namespace tarnwick

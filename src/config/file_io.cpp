#include "config/file_io.h"

#include "config/error.h"
#include "config/text.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {
namespace {

struct Fd {
    int fd;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

mode_t CurrentUmask()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

constexpr std::string_view kTemporaryMark = ".tmp-";
constexpr std::size_t kTemporaryRandomChars = 6; // mkstemp's XXXXXX

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

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
        Fd candidate{::open(it->path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK)};
        if (candidate.fd < 0 || ::flock(candidate.fd, LOCK_EX | LOCK_NB) != 0)
            continue;
        struct stat opened {}, named {};
        if (::fstat(candidate.fd, &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::lstat(it->path().c_str(), &named) == 0 && SameFile(opened, named))
            ::unlink(it->path().c_str());
    }
}

} // namespace

std::string ReadFile(const std::filesystem::path& path)
{
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        throw CannotOpenFile(path, errno);
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        throw CannotOpenFile(path, errno);
    if (S_ISDIR(info.st_mode))
        throw CannotOpenFile(path, EISDIR);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t got = ::read(file.fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Error("Cannot read file \"" + PathText(path) + "\". " + SystemErrorText(errno));
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

PendingFile::PendingFile(std::filesystem::path target) : target_(std::move(target))
{
    for (;;) {
        std::string pattern = target_.string() + std::string(kTemporaryMark) + std::string(kTemporaryRandomChars, 'X');
        fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd_ < 0)
            throw CannotCreateFile(target_, SystemErrorText(errno));
        temporary_ = pattern;
        // Locked to show that a live writer owns it (see RemoveStaleTemporaries).
        // Between creation and lock another writer may have taken it for stale
        // and removed it; then the name no longer leads here, and a new one is taken.
        struct stat opened {}, named {};
        if (::flock(fd_, LOCK_EX) != 0 ||
            (::fstat(fd_, &opened) == 0 && ::lstat(temporary_.c_str(), &named) == 0 && SameFile(opened, named)))
            break;
        ::close(fd_);
    }
    // mkstemp creates 0600; give the file the mode a plain create would, or the old file's.
    struct stat old {};
    mode_t mode = (::stat(target_.c_str(), &old) == 0) ? (old.st_mode & 07777) : (0666 & ~CurrentUmask());
    ::fchmod(fd_, mode);
}

PendingFile::~PendingFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!committed_)
        ::unlink(temporary_.c_str());
}

void PendingFile::Write(std::string_view bytes)
{
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t put = ::write(fd_, data, left);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            throw Error("Stream write error: " + SystemErrorText(errno));
        }
        data += put;
        left -= static_cast<std::size_t>(put);
    }
}

void PendingFile::Commit()
{
    // fsync flushes the file's pages however they were changed, also those
    // written through a mapping of the temporary file (stamping).
    if (::fsync(fd_) != 0)
        throw Error("Stream write error: " + SystemErrorText(errno));
    // Still open, and so still locked, while it is renamed.
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
        throw CannotCreateFile(target_, SystemErrorText(errno));
    committed_ = true;
    // fsync has reported any write error; the file is in place.
    ::close(fd_);
    fd_ = -1;
    // Make the rename itself durable.
    std::filesystem::path dir = target_.parent_path();
    Fd dirFd{::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dirFd.fd >= 0)
        ::fsync(dirFd.fd);
    RemoveStaleTemporaries(target_);
}

void ReplaceFile(const std::filesystem::path& target, std::string_view bytes)
{
    PendingFile file(target);
    file.Write(bytes);
    file.Commit();
}

} // namespace tarnwick

// Lock files through flock: the lock belongs to the open file, so it keeps out
// every other open of the file, in this process too, and goes with the last
// descriptor of it, however the process ends.
#include "base/file_lock.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tarnwick {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kRetryPause{15};
// A holder's line is short; no more of a lock file is ever read.
constexpr std::size_t kMaxHolderBytes = 1024;
// A holder that has just taken the lock truncates the file, then writes its
// line: a reader that finds no whole line gives it this long to appear.
constexpr std::chrono::milliseconds kHolderWriteWait{200};
// A lock file removed each time just after it was locked is someone else's game.
constexpr int kMaxReopenings = 100;

int Lock(const FileDescriptor& file, int operation)
{
    int rc;
    do
        rc = ::flock(file.Get(), operation);
    while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
}

Error LockError(const std::filesystem::path& lockFile, int error)
{
    // Never go on without the lock: two programs would edit one working copy.
    if (error == ENOLCK || error == EOPNOTSUPP)
        return FileSystemLocksNoFiles(lockFile, SystemErrorText(error));
    return CannotLockFile(lockFile, SystemErrorText(error), KindOfErrno(error));
}

FileDescriptor Open(const std::filesystem::path& path, int flags)
{
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666);
    while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

bool NameLeadsTo(const std::filesystem::path& name, const FileDescriptor& file)
{
    struct stat opened {}, named {};
    return ::fstat(file.Get(), &opened) == 0 && ::lstat(name.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

// The holder's text as one line without control characters, so that a reader
// can tell a whole line from one still being written.
std::string OneLine(std::string_view holder)
{
    std::string line(holder.substr(0, kMaxHolderBytes - 1));
    std::replace_if(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    return line + '\n';
}

// Best effort: the lock is what keeps others out; its text only names the
// holder, and a file system too full for one line can still be locked.
void WriteHolder(const FileDescriptor& file, std::string_view holder)
{
    if (::ftruncate(file.Get(), 0) != 0)
        return;
    const std::string line = OneLine(holder);
    std::string_view left = line;
    while (!left.empty()) {
        const ssize_t put = ::pwrite(file.Get(), left.data(), left.size(), static_cast<off_t>(line.size() - left.size()));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return;
        left.remove_prefix(static_cast<std::size_t>(put));
    }
}

// Now plus the wait, where a wait of "for ever" would overflow the clock.
Clock::time_point Deadline(std::chrono::milliseconds wait)
{
    const auto now = Clock::now();
    if (wait <= std::chrono::milliseconds::zero())
        return now;
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now) <= wait
               ? Clock::time_point::max()
               : now + wait;
}

std::string HolderText(const FileDescriptor& file)
{
    const auto deadline = Clock::now() + kHolderWriteWait;
    for (;;) {
        char buffer[kMaxHolderBytes];
        const ssize_t got = ::pread(file.Get(), buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        const std::string_view text(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
        const std::size_t end = text.find('\n');
        if (end != std::string_view::npos)
            return std::string(text.substr(0, end));
        if (got < 0 || Clock::now() >= deadline)
            return std::string(text);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace

FileLock::Attempt FileLock::Acquire(const std::filesystem::path& lockFile, const std::string& holder,
                                    std::chrono::milliseconds wait)
{
    const auto deadline = Deadline(wait);
    for (int opening = 1;; ++opening) {
        FileDescriptor file = Open(lockFile, O_RDWR | O_CREAT);
        if (!file.IsOpen())
            throw CannotCreateFile(lockFile, errno);
        struct stat info {};
        if (::fstat(file.Get(), &info) != 0)
            throw CannotOpenFile(lockFile, errno);
        if (!S_ISREG(info.st_mode))
            throw CannotOpenFile(lockFile, Message(QT_TRANSLATE_NOOP("Tarnwick", "这不是普通文件")));

        int error;
        while ((error = Lock(file, LOCK_EX | LOCK_NB)) == EWOULDBLOCK) {
            const auto now = Clock::now();
            if (now >= deadline)
                return Attempt{std::nullopt, HolderText(file)};
            std::this_thread::sleep_for(std::min<Clock::duration>(kRetryPause, deadline - now));
        }
        if (error != 0)
            throw LockError(lockFile, error);
        // A lock on a file that lost its name meanwhile keeps nobody out: a
        // holder that was leaving removed it, or someone did by hand.
        if (NameLeadsTo(lockFile, file)) {
            WriteHolder(file, holder);
            return Attempt{FileLock(std::move(file)), {}};
        }
        if (opening == kMaxReopenings)
            throw LockError(lockFile, EBUSY);
    }
}

std::optional<std::string> FileLock::HolderOf(const std::filesystem::path& lockFile)
{
    // Not blocking: the name might be a pipe that nobody writes.
    const FileDescriptor file = Open(lockFile, O_RDONLY | O_NONBLOCK);
    if (!file.IsOpen()) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        throw CannotOpenFile(lockFile, errno);
    }
    // There is no asking who holds a flock. A shared lock can be had only when
    // nobody holds the exclusive one, and it is given back at once; a taker
    // that tries in that instant without waiting finds the lock held.
    const int error = Lock(file, LOCK_SH | LOCK_NB);
    if (error == 0) {
        Lock(file, LOCK_UN);
        return std::nullopt;
    }
    if (error != EWOULDBLOCK)
        throw LockError(lockFile, error);
    return HolderText(file);
}

FileLock& FileLock::operator=(FileLock&& other) noexcept
{
    if (this != &other) {
        Release();
        file_ = std::move(other.file_);
    }
    return *this;
}

void FileLock::Release() noexcept
{
    // Unlocked explicitly, as a child that was started meanwhile may share the open file.
    if (file_.IsOpen())
        Lock(file_, LOCK_UN);
    file_.Reset();
}

std::string ProcessDescription(std::string_view program)
{
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == '\0')
        std::snprintf(host, sizeof host, "(unknown)");
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char since[32] = "(unknown time)";
    if (::localtime_r(&now, &local) != nullptr)
        std::strftime(since, sizeof since, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(program) + ", process " + std::to_string(::getpid()) + " on host " + host + ", since " + since;
}

} // namespace tarnwick

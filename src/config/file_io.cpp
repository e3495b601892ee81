#include "config/file_io.h"

#include "config/error.h"
#include "config/text.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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
    std::string pattern = target_.string() + ".tmp-XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0)
        throw CannotCreateFile(target_, SystemErrorText(errno));
    temporary_ = pattern;
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
    if (::fsync(fd_) != 0)
        throw Error("Stream write error: " + SystemErrorText(errno));
    if (::close(fd_) != 0) {
        fd_ = -1;
        throw Error("Stream write error: " + SystemErrorText(errno));
    }
    fd_ = -1;
    // The temporary file may have been rewritten through its path (stamping); flush that too.
    {
        Fd again{::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC)};
        if (again.fd >= 0)
            ::fsync(again.fd);
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
        throw CannotCreateFile(target_, SystemErrorText(errno));
    committed_ = true;
    // Make the rename itself durable.
    std::filesystem::path dir = target_.parent_path();
    Fd dirFd{::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dirFd.fd >= 0)
        ::fsync(dirFd.fd);
}

void ReplaceFile(const std::filesystem::path& target, std::string_view bytes)
{
    PendingFile file(target);
    file.Write(bytes);
    file.Commit();
}

} // namespace tarnwick

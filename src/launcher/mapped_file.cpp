#include "launcher/mapped_file.h"

#include "config/error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

MappedFile::MappedFile(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        throw CannotOpenFile(path, errno);
    struct stat info {};
    int error = 0;
    if (::fstat(fd, &info) != 0) {
        error = errno;
    } else if (info.st_size > 0) {
        size_ = static_cast<std::size_t>(info.st_size);
        data_ = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (data_ == MAP_FAILED) {
            error = errno;
            data_ = nullptr;
            size_ = 0;
        }
    }
    ::close(fd); // the mapping keeps the file
    if (error != 0)
        throw CannotOpenFile(path, error);
}

MappedFile::~MappedFile()
{
    if (data_ != nullptr)
        ::munmap(data_, size_);
}

} // namespace tarnwick

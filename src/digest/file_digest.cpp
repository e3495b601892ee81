#include "config/error.h"
#include "config/text.h"
#include "digest/md5.h"

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

constexpr std::size_t kChunkSize = 16384;

class ReadOnlyFile {
public:
    ReadOnlyFile(const std::filesystem::path& path, const std::filesystem::path& fullPath)
    {
        // Non-blocking so that a FIFO cannot stall the open; it has no effect on
        // regular files, and other programs may keep reading and writing the file.
        do
            fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        while (fd_ < 0 && errno == EINTR);
        if (fd_ < 0)
            throw CannotOpenFile(fullPath, errno);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile() { ::close(fd_); }

    int Descriptor() const { return fd_; }

private:
    int fd_ = -1;
};

Error CannotReadFile(const std::filesystem::path& fullPath, const std::string& reason)
{
    return Error("Cannot read file \"" + PathText(fullPath) + "\". " + reason);
}

std::uint64_t SizeOf(const ReadOnlyFile& file, const std::filesystem::path& fullPath)
{
    struct stat info {};
    if (::fstat(file.Descriptor(), &info) != 0)
        throw CannotReadFile(fullPath, SystemErrorText(errno));
    // Devices and pipes report no meaningful size; they have no contents to hash.
    return S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
}

// A digest must only ever cover bytes that were in the file, so a file that
// shrinks while it is read, or a failing read, stops the digest.
void ReadExactly(const ReadOnlyFile& file, std::uint8_t* buffer, std::size_t length,
                 const std::filesystem::path& fullPath)
{
    std::size_t got = 0;
    while (got < length) {
        const ssize_t n = ::read(file.Descriptor(), buffer + got, length - got);
        if (n > 0)
            got += static_cast<std::size_t>(n);
        else if (n == 0)
            throw CannotReadFile(fullPath, "The file ended before its expected size");
        else if (errno != EINTR)
            throw CannotReadFile(fullPath, SystemErrorText(errno));
    }
}

// done / total x 100 with ties going to the even neighbour (12.5 gives 12),
// independent of the floating-point rounding mode the process happens to be in.
int RoundedPercent(std::uint64_t done, std::uint64_t total)
{
    const double exact = static_cast<double>(done) / static_cast<double>(total) * 100.0;
    double whole = std::floor(exact);
    const double fraction = exact - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    return static_cast<int>(whole);
}

void HashOpenFile(const ReadOnlyFile& file, const std::filesystem::path& fullPath, Digest& digest,
                  const ProgressCallback& callback)
{
    const std::uint64_t total = SizeOf(file, fullPath);
    ::posix_fadvise(file.Descriptor(), 0, 0, POSIX_FADV_SEQUENTIAL); // only a hint

    MD5Context context;
    MD5Init(context);
    if (callback)
        callback(0);

    std::vector<std::uint8_t> buffer(kChunkSize);
    std::uint64_t done = 0;
    while (done < total) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkSize, total - done));
        ReadExactly(file, buffer.data(), chunk, fullPath);
        done += chunk;
        MD5Update(context, buffer.data(), static_cast<std::uint32_t>(chunk));
        if (callback)
            callback(RoundedPercent(done, total));
    }
    MD5Final(context, digest);
}

} // namespace

void FileDigest(const std::filesystem::path& fileName, Digest& digest, const ProgressCallback& callback)
{
    digest.fill(0);

    // Only files are hashed: a path that is missing, cannot be queried or names
    // a directory gives the all-zero digest and no progress at all.
    std::error_code error;
    const auto status = std::filesystem::status(fileName, error);
    if (error || !std::filesystem::exists(status) || std::filesystem::is_directory(status))
        return;

    // Messages name the full path; the file itself is opened by the name given,
    // as normalising ".." away could lead past a symbolic link to another file.
    std::filesystem::path fullPath = std::filesystem::absolute(fileName, error);
    if (error)
        fullPath = fileName;
    fullPath = fullPath.lexically_normal();

    // The open raises before any report; from then on the final 0 is always
    // reported, after the file is closed, also when hashing fails.
    std::optional<ReadOnlyFile> file(std::in_place, fileName, fullPath);
    try {
        HashOpenFile(*file, fullPath, digest, callback);
    } catch (...) {
        file.reset();
        if (callback)
            callback(0);
        throw;
    }
    file.reset();
    if (callback)
        callback(0);
}

} // namespace tarnwick

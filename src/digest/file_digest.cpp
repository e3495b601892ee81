#include "base/file_io.h"
#include "digest/md5.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <optional>
#include <vector>

namespace tarnwick {

namespace {

constexpr std::size_t kChunkSize = 16384;

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

// A digest must only ever cover bytes that were in the file, so a file that
// shrinks while it is read, or a failing read, stops the digest.
void HashOpenFile(const InputFile& file, Digest& digest, const ProgressCallback& callback)
{
    const std::uint64_t total = file.RegularFileSize();
    file.ExpectSequentialReading();

    MD5Context context;
    MD5Init(context);
    if (callback)
        callback(0);

    std::vector<std::byte> buffer(kChunkSize);
    std::uint64_t done = 0;
    while (done < total) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkSize, total - done));
        file.ReadExactly(std::span(buffer.data(), chunk));
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
    std::optional<InputFile> file(std::in_place, fileName, fullPath);
    try {
        HashOpenFile(*file, digest, callback);
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

std::vector<std::optional<Digest>> FileDigests(const std::vector<std::filesystem::path>& files, unsigned workers)
{
    std::vector<std::optional<Digest>> digests(files.size());
    if (workers == 0)
        workers = std::max(1u, std::thread::hardware_concurrency());
    workers = static_cast<unsigned>(std::min<std::size_t>(workers, files.size()));
    // Each worker takes the next file not yet taken: large and small files
    // mix in a game folder, so fixed shares would leave one worker idle.
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < files.size(); i = next++) {
            std::error_code error;
            if (!std::filesystem::is_regular_file(files[i], error))
                continue;
            try {
                Digest digest{};
                FileDigest(files[i], digest);
                digests[i] = digest;
            } catch (const std::exception&) {
            }
        }
    };
    std::vector<std::jthread> pool;
    for (unsigned i = 1; i < workers; ++i)
        pool.emplace_back(work);
    work();
    return digests;
}

} // namespace tarnwick

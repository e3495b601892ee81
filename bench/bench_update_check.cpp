// The updater's MD5 checks over a game folder: 2,000 files, 4 GiB in all
// (sizes varying from small to large, as a client's are), in the page cache.
// FileDigests with a worker per processor against one md5sum over the same
// files, and one worker against md5sum, in the same run. This is the Linux
// build of the same code the launcher runs.
//   Targets: all workers at least 1.6x md5sum; one worker at least 0.9x.
//   bench_update_check [--files N] [--mib TOTAL] [--dir FOLDER]
#include "digest/md5.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Sizes that vary by a factor of about 20 around the mean, summing to `total`.
std::vector<std::uint64_t> Sizes(std::size_t files, std::uint64_t total)
{
    std::vector<std::uint64_t> weights(files);
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < files; ++i)
        sum += weights[i] = 1 + (i * 7919) % 40;
    std::vector<std::uint64_t> sizes(files);
    for (std::size_t i = 0; i < files; ++i)
        sizes[i] = total / sum * weights[i];
    return sizes;
}

void WriteFile(const fs::path& path, std::uint64_t size, std::uint64_t seed)
{
    std::vector<std::uint64_t> block(1 << 16); // 512 KiB
    std::uint64_t state = seed * 0x9e3779b97f4a7c15ull + 1;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (std::uint64_t written = 0; written < size;) {
        for (auto& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const std::uint64_t chunk = std::min<std::uint64_t>(size - written, block.size() * 8);
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(chunk));
        written += chunk;
    }
}

// md5sum over all files in one process, its output thrown away.
double Md5sum(const fs::path& list)
{
    const std::string command = "xargs -0 -a '" + list.string() + "' md5sum > /dev/null";
    const auto started = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "md5sum failed\n");
        std::exit(1);
    }
    return Seconds(started);
}

double Ours(const std::vector<fs::path>& files, unsigned workers)
{
    const auto started = Clock::now();
    const auto digests = tarnwick::FileDigests(files, workers);
    const double seconds = Seconds(started);
    if (std::any_of(digests.begin(), digests.end(), [](const auto& d) { return !d; })) {
        std::fprintf(stderr, "a file was not hashed\n");
        std::exit(1);
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t count = 2000;
    std::uint64_t mib = 4096;
    fs::path dir = fs::temp_directory_path() / ("tarnwick-bench-update-" + std::to_string(::getpid()));
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--files") == 0)
            count = std::strtoull(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--mib") == 0)
            mib = std::strtoull(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--dir") == 0)
            dir = fs::path(argv[i + 1]) / ("tarnwick-bench-update-" + std::to_string(::getpid()));
    }
    fs::create_directories(dir);
    std::vector<fs::path> files;
    const std::vector<std::uint64_t> sizes = Sizes(count, mib << 20);
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        files.push_back(dir / ("file" + std::to_string(i) + ".pak"));
        WriteFile(files.back(), sizes[i], i);
        total += sizes[i];
    }
    const fs::path list = dir / "files.list";
    {
        std::ofstream out(list, std::ios::binary);
        for (const fs::path& file : files)
            out << file.string() << '\0';
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("%zu files, %.2f GiB in all, %u processors; Linux build of the launcher's digest code\n", count,
                static_cast<double>(total) / (1ull << 30), cores);

    Md5sum(list); // warm: every file in the page cache
    double md5sum = 1e9, all = 1e9, one = 1e9;
    for (int round = 0; round < 3; ++round) {
        md5sum = std::min(md5sum, Md5sum(list));
        all = std::min(all, Ours(files, 0));
        one = std::min(one, Ours(files, 1));
    }
    const auto rate = [&](double seconds) { return static_cast<double>(total) / (1 << 20) / seconds; };
    std::printf("md5sum (one process):       %6.2f s  %6.0f MiB/s\n", md5sum, rate(md5sum));
    std::printf("FileDigests, %u workers:     %6.2f s  %6.0f MiB/s  %.2fx md5sum (target 1.6x: %s)\n", cores, all,
                rate(all), md5sum / all, md5sum / all >= 1.6 ? "met" : "NOT met");
    std::printf("FileDigests, 1 worker:      %6.2f s  %6.0f MiB/s  %.2fx md5sum (target 0.9x: %s)\n", one, rate(one),
                md5sum / one, md5sum / one >= 0.9 ? "met" : "NOT met");
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}

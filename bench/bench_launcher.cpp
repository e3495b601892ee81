// Generating a launcher from a 7.8 MB image against copying that image with cp.
// Generation flushes the new file to the disk before it replaces the old one
// (and flushes the folder after), which cp does not; so the figures also show
// cp followed by an fsync of the copy, and the three stampings alone on an
// image in memory.
#include "base/file_io.h"
#include "launcher/launcher_builder.h"
#include "launcher/pe_image.h"
#include "launcher/version_stamp.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kImageSize = 7'862'272;
constexpr int kRuns = 21;

// The carried stub padded with bytes after its last section to the real
// launcher's size, with its checksum made to match as a linker would.
std::string PaddedImage()
{
    const auto stub = tarnwick::CarriedLauncherImage();
    std::string image(reinterpret_cast<const char*>(stub.data()), stub.size());
    std::mt19937 random(7);
    while (image.size() < kImageSize)
        image.push_back(static_cast<char>(random() & 0xFF));
    const auto pe = tarnwick::PeImage::Parse(tarnwick::AsBytes(image));
    tarnwick::PutU32(image, pe.CheckSumOffset(), tarnwick::PeCheckSum(tarnwick::AsBytes(image), pe.CheckSumOffset()));
    return image;
}

template <typename Run>
double MedianMilliseconds(Run run)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = Clock::now();
        run();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Copy(const fs::path& from, const fs::path& to)
{
    const std::string source = from.string(), target = to.string();
    char* argv[] = {const_cast<char*>("cp"), const_cast<char*>(source.c_str()), const_cast<char*>(target.c_str()), nullptr};
    pid_t pid = 0;
    int status = 0;
    if (posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) != 0 || waitpid(pid, &status, 0) != pid ||
        status != 0)
        throw std::runtime_error("cp failed");
}

void FlushFile(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0)
        throw std::runtime_error("fsync failed");
    ::close(fd);
}

} // namespace

int main()
{
    const fs::path folder = fs::temp_directory_path() / ("tarnwick-bench-launcher-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string image = PaddedImage();
    tarnwick::ReplaceFile(folder / "LoginData.exe", image);

    int failures = 0;
    const tarnwick::LauncherBuilder builder(std::as_bytes(std::span(image.data(), image.size())), folder);
    const double generate = MedianMilliseconds([&] {
        failures += builder.Build("Velmora", "http://list.example.net:8888/ServerInfo.txt") !=
                    tarnwick::BuildOutcome::Written;
    });
    std::string launcher = image;
    const double stampOnly = MedianMilliseconds([&] {
        tarnwick::StampImage(launcher, u"OriginalFilename", u".\\Velmora.exe");
        tarnwick::StampImage(launcher, u"GameName", u"Velmora");
        tarnwick::StampImage(launcher, u"ServerList", u"http://list.example.net:8888/ServerInfo.txt");
    });
    const double copy = MedianMilliseconds([&] { Copy(folder / "LoginData.exe", folder / "Copy.exe"); });
    const double copyFlushed = MedianMilliseconds([&] {
        Copy(folder / "LoginData.exe", folder / "Copy.exe");
        FlushFile(folder / "Copy.exe");
    });
    fs::remove_all(folder);
    if (failures != 0) {
        std::fprintf(stderr, "bench_launcher: generation failed\n");
        return 1;
    }
    std::printf("launcher from a %zu-byte image (medians of %d runs)\n", image.size(), kRuns);
    std::printf("  generate (stamp in memory, write beside, fsync, rename): %6.2f ms\n", generate);
    std::printf("  the three stampings alone, in memory:                %6.2f ms\n", stampOnly);
    std::printf("  cp:                                                  %6.2f ms\n", copy);
    std::printf("  cp, then fsync of the copy:                          %6.2f ms\n", copyFlushed);
    std::printf("  ratio generate / cp: %.2f (target <= 1.5); generate / (cp + fsync): %.2f\n", generate / copy,
                generate / copyFlushed);
    return 0;
}

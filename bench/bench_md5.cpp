// MD5 throughput of FileDigest against md5sum and openssl on the same 1 GiB
// file in the page cache, in the same run; the block index of that file, as
// publishing makes it, against md5sum; then a sparse file just over 4 GiB,
// which must be hashed whole (skip it with --no-large).
#include "digest/block_index.h"
#include "digest/md5.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kGiB = 1ull << 30;
constexpr int kRounds = 3;

class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& name)
        : path_(fs::temp_directory_path() / (name + "-" + std::to_string(::getpid())))
    {
    }
    ~TemporaryFile()
    {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

void WritePseudoRandom(const fs::path& path, std::uint64_t size)
{
    std::vector<std::uint64_t> block(1 << 17); // 1 MiB
    std::uint64_t state = 0x9e3779b97f4a7c15ull;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (std::uint64_t written = 0; written < size; written += block.size() * 8) {
        for (auto& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
    }
    if (!out.flush())
        throw std::runtime_error("cannot write " + path.string());
}

// Runs a command and returns the first 32-character hexadecimal word it prints.
std::string DigestFromCommand(const std::string& command)
{
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return {};
    std::string output;
    char chunk[256];
    while (std::size_t got = std::fread(chunk, 1, sizeof chunk, pipe))
        output.append(chunk, got);
    if (::pclose(pipe) != 0)
        return {};
    for (std::size_t i = 0; i + 32 <= output.size(); ++i) {
        const auto word = output.substr(i, 32);
        if (word.find_first_not_of("0123456789abcdef") == std::string::npos &&
            (i + 32 == output.size() || !std::isxdigit(static_cast<unsigned char>(output[i + 32]))))
            return word;
    }
    return {};
}

bool Installed(const char* program)
{
    return std::system(("command -v " + std::string(program) + " >/dev/null 2>&1").c_str()) == 0;
}

struct Contender {
    std::string name;
    std::string command; // empty: FileDigest in this process
    bool available = true;
    std::vector<double> seconds;
    std::string digest;

    double Median()
    {
        std::sort(seconds.begin(), seconds.end());
        return seconds[seconds.size() / 2];
    }
};

void Measure(Contender& contender, const fs::path& path)
{
    const auto start = Clock::now();
    std::string digest;
    if (contender.command.empty()) {
        tarnwick::Digest bytes;
        tarnwick::FileDigest(path, bytes, [](int) {});
        digest = tarnwick::DigestToHex(bytes);
    } else {
        digest = DigestFromCommand(contender.command + " '" + path.string() + "'");
    }
    contender.seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    if (!contender.digest.empty() && contender.digest != digest)
        throw std::runtime_error(contender.name + " gave different digests in two rounds");
    contender.digest = digest;
}

double InMemoryKernel()
{
    std::vector<std::uint8_t> buffer(256u << 20, 0x5a);
    tarnwick::MD5Context context;
    tarnwick::MD5Init(context);
    const auto start = Clock::now();
    tarnwick::MD5Update(context, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    tarnwick::Digest digest;
    tarnwick::MD5Final(context, digest);
    return static_cast<double>(buffer.size()) / seconds / 1e6;
}

bool CompareWithTools(const fs::path& path, std::uint64_t size)
{
    std::vector<Contender> contenders = {
        {"FileDigest", "", true, {}, {}},
        {"md5sum", "md5sum", Installed("md5sum"), {}, {}},
        {"openssl dgst -md5", "openssl dgst -md5", Installed("openssl"), {}, {}},
    };
    // Rounds interleave the contenders so that a busy neighbour hurts all alike.
    for (int round = 0; round < kRounds; ++round)
        for (auto& contender : contenders)
            if (contender.available)
                Measure(contender, path);

    const double ours = static_cast<double>(size) / contenders[0].Median() / 1e6;
    bool agree = true;
    std::printf("%-20s %10s  %s\n", "", "MB/s", "digest");
    for (auto& contender : contenders) {
        if (!contender.available) {
            std::printf("%-20s %10s\n", contender.name.c_str(), "not installed");
            continue;
        }
        const double rate = static_cast<double>(size) / contender.Median() / 1e6;
        std::printf("%-20s %10.0f  %s\n", contender.name.c_str(), rate, contender.digest.c_str());
        if (&contender != &contenders[0]) {
            std::printf("  FileDigest / %-17s %.3f\n", contender.name.c_str(), ours / rate);
            agree = agree && contender.digest == contenders[0].digest;
        }
    }
    return agree;
}

// IndexFile on two workers (an operator's small machine) against md5sum of
// the same file: indexing reads the file once for its digests and once per
// worker for the blocks' sums.
bool IndexAgainstMd5sum(const fs::path& path, std::uint64_t size)
{
    const bool md5sum = Installed("md5sum");
    std::vector<double> indexing, hashing;
    std::string indexDigest, md5sumDigest;
    std::size_t blocks = 0;
    std::uint32_t blockSize = 0;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = Clock::now();
        const tarnwick::blocks::BlockIndex index = tarnwick::blocks::IndexFile(path, 2);
        indexing.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        indexDigest = tarnwick::DigestToHex(index.md5);
        blocks = index.blocks.size();
        blockSize = index.blockSize;
        if (md5sum) {
            const auto started = Clock::now();
            md5sumDigest = DigestFromCommand("md5sum '" + path.string() + "'");
            hashing.push_back(std::chrono::duration<double>(Clock::now() - started).count());
        }
    }
    const auto median = [](std::vector<double> seconds) {
        std::sort(seconds.begin(), seconds.end());
        return seconds[seconds.size() / 2];
    };
    const double mb = static_cast<double>(size) / 1e6;
    std::printf("\nblock index of the same file (%zu blocks of %u bytes), median of %d rounds:\n", blocks, blockSize,
                kRounds);
    std::printf("%-28s %8s %10s\n", "", "seconds", "MB/s");
    std::printf("%-28s %8.2f %10.0f\n", "IndexFile, 2 workers", median(indexing), mb / median(indexing));
    if (!md5sum) {
        std::printf("%-28s %8s\n", "md5sum", "not installed");
        return true;
    }
    std::printf("%-28s %8.2f %10.0f\n", "md5sum", median(hashing), mb / median(hashing));
    std::printf("  IndexFile time / md5sum time %.2f; whole-file MD5s %s\n", median(indexing) / median(hashing),
                indexDigest == md5sumDigest ? "agree" : "DIFFER");
    return indexDigest == md5sumDigest;
}

bool LargeSparseFile()
{
    TemporaryFile file("tarnwick-bench-md5-sparse");
    const std::uint64_t size = 4 * kGiB + 16385;
    {
        std::ofstream out(file.Path(), std::ios::binary);
        out << "head of a sparse file";
        out.seekp(static_cast<std::streamoff>(size - 4));
        out << "tail";
    }
    std::vector<int> seen;
    const auto start = Clock::now();
    tarnwick::Digest digest;
    tarnwick::FileDigest(file.Path(), digest, [&](int percent) {
        if (seen.empty() || seen.back() != percent)
            seen.push_back(percent);
    });
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::string ours = tarnwick::DigestToHex(digest);
    std::printf("\nsparse file of %llu bytes: FileDigest %.0f MB/s  %s\n",
                static_cast<unsigned long long>(size), static_cast<double>(size) / seconds / 1e6, ours.c_str());

    const bool progressOk = seen.size() == 102 && seen.front() == 0 && seen[100] == 100 && seen.back() == 0 &&
                            std::is_sorted(seen.begin(), seen.end() - 1);
    std::printf("progress 0, 1..100, 0: %s\n", progressOk ? "yes" : "NO");
    if (!Installed("md5sum"))
        return progressOk;
    const std::string theirs = DigestFromCommand("md5sum '" + file.Path().string() + "'");
    std::printf("md5sum               %s  %s\n", theirs.c_str(), theirs == ours ? "agrees" : "DIFFERS");
    return progressOk && theirs == ours;
}

} // namespace

int main(int argc, char** argv)
{
    const bool large = !(argc > 1 && std::strcmp(argv[1], "--no-large") == 0);
    try {
        std::printf("MD5 kernel in memory: %.0f MB/s\n\n", InMemoryKernel());

        TemporaryFile file("tarnwick-bench-md5");
        WritePseudoRandom(file.Path(), kGiB);
        tarnwick::Digest warm;
        tarnwick::FileDigest(file.Path(), warm); // the file is in the page cache from here on
        std::printf("1 GiB file in the page cache, median of %d rounds:\n", kRounds);
        bool ok = CompareWithTools(file.Path(), kGiB);
        ok = IndexAgainstMd5sum(file.Path(), kGiB) && ok;
        if (large)
            ok = LargeSparseFile() && ok;
        if (!ok) {
            std::printf("FAILED: digests or progress disagree\n");
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_md5: %s\n", error.what());
        return 1;
    }
    return 0;
}

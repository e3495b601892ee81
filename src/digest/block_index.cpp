#include "digest/block_index.h"

#include "base/error.h"
#include "base/file_io.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <span>
#include <thread>
#include <unordered_map>

namespace tarnwick::blocks {
namespace {

constexpr char kMagic[8] = {'T', 'W', 'B', 'L', 'O', 'C', 'K', '1'};
constexpr std::size_t kHeaderBytes = 8 + 4 + 4 + 8 + 32 + 16;
constexpr std::size_t kEntryBytes = 4 + 16;
// Old files are read in pieces of this size (plus one block of overlap).
constexpr std::size_t kScanChunk = 4u << 20;

unsigned WorkersFor(unsigned asked)
{
    if (asked != 0)
        return asked;
    return std::max(1u, std::thread::hardware_concurrency());
}

void PutU32(std::string& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void PutU64(std::string& out, std::uint64_t value)
{
    for (int shift = 0; shift < 64; shift += 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint64_t GetLittle(std::string_view bytes, std::size_t at, int width)
{
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

std::uint64_t BlockCountFor(std::uint64_t length, std::uint32_t blockSize)
{
    return length / blockSize + (length % blockSize != 0 ? 1 : 0);
}

Digest Md5Of(const std::uint8_t* bytes, std::size_t length)
{
    MD5Context context;
    MD5Init(context);
    MD5Update(context, bytes, static_cast<std::uint32_t>(length));
    Digest digest;
    MD5Final(context, digest);
    return digest;
}

// The blocks of the index by their weak sum, and a bit per weak sum value
// (folded to 2^24 bits) so that the offsets that find nothing, nearly all of
// them in a changed region, cost one memory access.
class BlockTable {
public:
    explicit BlockTable(const BlockIndex& index) : index_(index), filter_(std::size_t(1) << 18)
    {
        // The last block is only looked for where it ends the old file (see FindBlocks).
        const std::size_t full = index.length / index.blockSize;
        for (std::size_t block = 0; block < full; ++block) {
            const std::uint32_t weak = index.blocks[block].weak;
            byWeak_[weak].push_back(block);
            filter_[Fold(weak) >> 6] |= std::uint64_t(1) << (Fold(weak) & 63);
        }
    }

    bool MayHold(std::uint32_t weak) const { return (filter_[Fold(weak) >> 6] >> (Fold(weak) & 63)) & 1; }

    // The blocks whose sums are those of the window (none when its weak sum misleads).
    const std::vector<std::size_t>* Candidates(std::uint32_t weak) const
    {
        const auto found = byWeak_.find(weak);
        return found == byWeak_.end() ? nullptr : &found->second;
    }

    const BlockIndex& Index() const { return index_; }

private:
    static std::uint32_t Fold(std::uint32_t weak) { return (weak ^ (weak >> 24)) & 0xFFFFFF; }

    const BlockIndex& index_;
    std::vector<std::uint64_t> filter_;
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> byWeak_;
};

using Found = std::vector<std::optional<std::uint64_t>>;

// Tries every offset from `from` up to `to` (exclusive) of the old file as the
// start of a block; after a match the next block is tried right behind it.
void ScanRange(const BlockTable& table, const std::filesystem::path& old, std::uint64_t oldLength,
               std::uint64_t from, std::uint64_t to, Found& found, const std::atomic<bool>* cancelled)
{
    const BlockIndex& index = table.Index();
    const std::uint32_t size = index.blockSize;
    if (oldLength < size)
        return;
    to = std::min(to, oldLength - size + 1);
    if (from >= to)
        return;
    InputFile file(old, old);
    file.ExpectSequentialReading();
    std::vector<std::uint8_t> buffer;
    std::uint64_t bufferStart = from;
    // Holds the old file's bytes from bufferStart on; refilled so that the
    // window at `at` is whole in it.
    const auto ensure = [&](std::uint64_t at) {
        if (at >= bufferStart && at + size <= bufferStart + buffer.size())
            return;
        const std::uint64_t end = std::min<std::uint64_t>(oldLength, std::max<std::uint64_t>(at + size, at + kScanChunk));
        buffer.resize(static_cast<std::size_t>(end - at));
        const std::size_t read =
            file.ReadAt(at, std::as_writable_bytes(std::span(buffer.data(), buffer.size())));
        if (read < size)
            throw Error("Cannot read file " + old.string() + ": it changed while it was read");
        buffer.resize(read);
        bufferStart = at;
    };

    RollingSum sum;
    bool rolled = false; // whether `sum` holds the window at `at`
    std::uint64_t at = from;
    std::uint64_t checked = 0;
    while (at < to) {
        if (cancelled && (++checked & 0xFFFFF) == 0 && cancelled->load())
            return;
        ensure(at);
        const std::uint8_t* window = buffer.data() + (at - bufferStart);
        if (!rolled) {
            sum.Reset(window, size);
            rolled = true;
        }
        const std::uint32_t weak = sum.Value();
        bool matched = false;
        if (table.MayHold(weak)) {
            if (const std::vector<std::size_t>* candidates = table.Candidates(weak)) {
                const Digest strong = Md5Of(window, size);
                for (std::size_t block : *candidates) {
                    if (index.blocks[block].strong == strong) {
                        if (!found[block])
                            found[block] = at;
                        matched = true;
                    }
                }
            }
        }
        if (matched) {
            at += size;
            rolled = false;
            continue;
        }
        if (at + 1 >= to)
            break;
        // The byte that enters is still in the file: to <= oldLength - size + 1.
        const std::uint8_t leaving = window[0];
        ensure(at + 1);
        sum.Roll(leaving, buffer[static_cast<std::size_t>(at + size - bufferStart)]);
        ++at;
    }
}

} // namespace

std::uint32_t BlockIndex::BlockLength(std::size_t block) const
{
    const std::uint64_t start = BlockStart(block);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(blockSize, length - start));
}

std::uint32_t ChooseBlockSize(std::uint64_t length)
{
    const std::uint64_t wanted = std::bit_ceil(std::max<std::uint64_t>(1, length / 16384));
    return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(wanted, 4096, kMaxBlockSize));
}

void RollingSum::Reset(const std::uint8_t* window, std::uint32_t length)
{
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    for (std::uint32_t i = 0; i < length; ++i) {
        a += window[i];
        b += (length - i) * window[i];
    }
    a_ = static_cast<std::uint16_t>(a);
    b_ = static_cast<std::uint16_t>(b);
    length_ = length;
}

std::uint32_t WeakSum(const std::uint8_t* bytes, std::uint32_t length)
{
    RollingSum sum;
    sum.Reset(bytes, length);
    return sum.Value();
}

BlockIndex IndexFile(const std::filesystem::path& file, unsigned workers)
{
    InputFile whole(file, file);
    BlockIndex index;
    index.length = whole.RegularFileSize();
    index.blockSize = ChooseBlockSize(index.length);
    index.blocks.resize(static_cast<std::size_t>(BlockCountFor(index.length, index.blockSize)));

    // The whole-file digests on this thread, the blocks' sums on the workers,
    // each over its own stretch of blocks.
    const std::size_t count = index.blocks.size();
    const unsigned threads = static_cast<unsigned>(std::min<std::size_t>(WorkersFor(workers), std::max<std::size_t>(count, 1)));
    std::vector<std::exception_ptr> failures(threads);
    std::vector<std::thread> running;
    for (unsigned t = 0; t < threads; ++t) {
        running.emplace_back([&, t] {
            try {
                InputFile own(file, file);
                std::vector<std::uint8_t> block(index.blockSize);
                for (std::size_t i = count * t / threads; i < count * (t + 1) / threads; ++i) {
                    const std::uint32_t length = index.BlockLength(i);
                    if (own.ReadAt(index.BlockStart(i), std::as_writable_bytes(std::span(block.data(), length))) != length)
                        throw Error("Cannot read file " + file.string() + ": it changed while it was read");
                    index.blocks[i] = {WeakSum(block.data(), length), Md5Of(block.data(), length)};
                }
            } catch (...) {
                failures[t] = std::current_exception();
            }
        });
    }
    std::exception_ptr failure;
    try {
        whole.ExpectSequentialReading();
        crypto::Sha256Hasher sha;
        MD5Context md5;
        MD5Init(md5);
        std::vector<std::byte> chunk(1u << 20);
        for (std::uint64_t done = 0; done < index.length;) {
            const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), index.length - done));
            whole.ReadExactly(std::span(chunk.data(), piece));
            sha.Update(std::string_view(reinterpret_cast<const char*>(chunk.data()), piece));
            MD5Update(md5, chunk.data(), static_cast<std::uint32_t>(piece));
            done += piece;
        }
        index.sha256 = sha.Finish();
        MD5Final(md5, index.md5);
    } catch (...) {
        failure = std::current_exception();
    }
    for (std::thread& thread : running)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
    for (const std::exception_ptr& failed : failures)
        if (failed)
            std::rethrow_exception(failed);
    return index;
}

std::string EncodeIndex(const BlockIndex& index)
{
    std::string out(kMagic, sizeof kMagic);
    out.reserve(kHeaderBytes + index.blocks.size() * kEntryBytes);
    PutU32(out, index.blockSize);
    PutU32(out, 0);
    PutU64(out, index.length);
    out.append(reinterpret_cast<const char*>(index.sha256.data()), index.sha256.size());
    out.append(reinterpret_cast<const char*>(index.md5.data()), index.md5.size());
    for (const BlockSum& block : index.blocks) {
        PutU32(out, block.weak);
        out.append(reinterpret_cast<const char*>(block.strong.data()), block.strong.size());
    }
    return out;
}

std::optional<BlockIndex> DecodeIndex(std::string_view bytes, std::string& why)
{
    if (bytes.size() > kMaxIndexBytes) {
        why = "the index is larger than any index";
        return std::nullopt;
    }
    if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
        why = "not a block index";
        return std::nullopt;
    }
    BlockIndex index;
    index.blockSize = static_cast<std::uint32_t>(GetLittle(bytes, 8, 4));
    const std::uint64_t reserved = GetLittle(bytes, 12, 4);
    index.length = GetLittle(bytes, 16, 8);
    if (!std::has_single_bit(index.blockSize) || index.blockSize < kMinBlockSize || index.blockSize > kMaxBlockSize ||
        reserved != 0) {
        why = "the block size " + std::to_string(index.blockSize) + " is not one an index uses";
        return std::nullopt;
    }
    const std::uint64_t count = BlockCountFor(index.length, index.blockSize);
    if ((bytes.size() - kHeaderBytes) % kEntryBytes != 0 || (bytes.size() - kHeaderBytes) / kEntryBytes != count) {
        why = "the index has " + std::to_string((bytes.size() - kHeaderBytes) / kEntryBytes) + " blocks for a file of " +
              std::to_string(index.length) + " bytes";
        return std::nullopt;
    }
    std::memcpy(index.sha256.data(), bytes.data() + 24, index.sha256.size());
    std::memcpy(index.md5.data(), bytes.data() + 56, index.md5.size());
    index.blocks.resize(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < index.blocks.size(); ++i) {
        const std::size_t at = kHeaderBytes + i * kEntryBytes;
        index.blocks[i].weak = static_cast<std::uint32_t>(GetLittle(bytes, at, 4));
        std::memcpy(index.blocks[i].strong.data(), bytes.data() + at + 4, 16);
    }
    return index;
}

std::vector<std::optional<std::uint64_t>> FindBlocks(const BlockIndex& index, const std::filesystem::path& old,
                                                     unsigned workers, const std::atomic<bool>* cancelled)
{
    Found found(index.blocks.size());
    if (index.blocks.empty())
        return found;
    const std::uint64_t oldLength = InputFile(old, old).RegularFileSize();
    const BlockTable table(index);

    // Each worker takes a stretch of starting offsets; a block that straddles
    // two stretches is found by the first, which reads on past its end.
    const unsigned threads = WorkersFor(workers);
    std::vector<Found> own(threads, Found(index.blocks.size()));
    std::vector<std::exception_ptr> failures(threads);
    std::vector<std::thread> running;
    for (unsigned t = 0; t < threads; ++t) {
        running.emplace_back([&, t] {
            try {
                ScanRange(table, old, oldLength, oldLength * t / threads, oldLength * (t + 1) / threads, own[t], cancelled);
            } catch (...) {
                failures[t] = std::current_exception();
            }
        });
    }
    for (std::thread& thread : running)
        thread.join();
    for (const std::exception_ptr& failed : failures)
        if (failed)
            std::rethrow_exception(failed);
    for (const Found& part : own)
        for (std::size_t block = 0; block < found.size(); ++block)
            if (!found[block] && part[block])
                found[block] = part[block];

    // A shorter last block is looked for where files usually keep it: at the
    // old file's end, and at its own offset.
    const std::size_t last = index.blocks.size() - 1;
    const std::uint32_t lastLength = index.BlockLength(last);
    if (lastLength < index.blockSize && !found[last] && oldLength >= lastLength) {
        InputFile file(old, old);
        std::vector<std::uint8_t> bytes(lastLength);
        for (const std::uint64_t at : {oldLength - lastLength, index.BlockStart(last)}) {
            if (at + lastLength > oldLength)
                continue;
            if (file.ReadAt(at, std::as_writable_bytes(std::span(bytes.data(), bytes.size()))) != lastLength)
                continue;
            if (WeakSum(bytes.data(), lastLength) == index.blocks[last].weak &&
                Md5Of(bytes.data(), lastLength) == index.blocks[last].strong) {
                found[last] = at;
                break;
            }
        }
    }
    return found;
}

} // namespace tarnwick::blocks

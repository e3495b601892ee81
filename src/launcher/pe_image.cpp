#include "launcher/pe_image.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/translatable.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {
namespace {

constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::size_t kSectionHeaderSize = 40;
// The loader refuses more; the limit also bounds the work a crafted header can ask for.
constexpr std::uint16_t kMaxSections = 96;

bool IsPowerOfTwo(std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

} // namespace

std::uint64_t AlignUp(std::uint64_t value, std::uint32_t alignment)
{
    if (alignment <= 1)
        return value;
    return (value + alignment - 1) / alignment * alignment;
}

PeImage PeImage::Parse(std::span<const std::byte> file)
{
    ByteReader in(file);
    PeImage pe;
    if (in.U16(0, QT_TRANSLATE_NOOP("Tarnwick", "DOS 头")) != 0x5A4D)
        ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "没有 MZ 签名")));
    const std::uint32_t peOffset = in.U32(0x3C, QT_TRANSLATE_NOOP("Tarnwick", "DOS 头"));
    if (in.U32(peOffset, QT_TRANSLATE_NOOP("Tarnwick", "PE 签名")) != 0x00004550)
        ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "没有 PE 签名")));
    pe.coffHeader_ = peOffset + std::size_t{4};
    const std::uint16_t sectionCount = in.U16(pe.coffHeader_ + 2, QT_TRANSLATE_NOOP("Tarnwick", "文件头"));
    pe.pointerToSymbolTable_ = in.U32(pe.coffHeader_ + 8, QT_TRANSLATE_NOOP("Tarnwick", "文件头"));
    const std::uint16_t optionalSize = in.U16(pe.coffHeader_ + 16, QT_TRANSLATE_NOOP("Tarnwick", "文件头"));
    if (sectionCount > kMaxSections)
        ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "节太多")));
    pe.optionalHeader_ = pe.coffHeader_ + 20;

    const std::uint16_t magic = in.U16(pe.optionalHeader_, QT_TRANSLATE_NOOP("Tarnwick", "可选头"));
    if (magic != kPe32Magic && magic != kPe32PlusMagic)
        ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "可选头的标识未知")));
    pe.is64_ = magic == kPe32PlusMagic;
    const std::size_t fixedPart = pe.is64_ ? 112 : 96;
    if (optionalSize < fixedPart)
        ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "可选头太短")));
    in.Bytes(pe.optionalHeader_, optionalSize, QT_TRANSLATE_NOOP("Tarnwick", "可选头"));
    pe.sectionAlignment_ = in.U32(pe.optionalHeader_ + 32, QT_TRANSLATE_NOOP("Tarnwick", "可选头"));
    pe.fileAlignment_ = in.U32(pe.optionalHeader_ + 36, QT_TRANSLATE_NOOP("Tarnwick", "可选头"));
    pe.checkSum_ = in.U32(pe.CheckSumOffset(), QT_TRANSLATE_NOOP("Tarnwick", "可选头"));
    if (!IsPowerOfTwo(pe.fileAlignment_) || !IsPowerOfTwo(pe.sectionAlignment_))
        ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "节或文件的对齐值不是 2 的幂")));

    const std::uint32_t declared = in.U32(pe.optionalHeader_ + fixedPart - 4, QT_TRANSLATE_NOOP("Tarnwick", "可选头"));
    pe.directories_ = pe.optionalHeader_ + fixedPart;
    // Only the directories that the optional header really has room for count.
    pe.directoryCount_ = std::min<std::size_t>(declared, (optionalSize - fixedPart) / 8);
    for (std::size_t i = 0; i < pe.directoryCount_; ++i)
        pe.directoryValues_.push_back({in.U32(pe.DirectoryOffset(i), QT_TRANSLATE_NOOP("Tarnwick", "一个数据目录")),
                                       in.U32(pe.DirectoryOffset(i) + 4, QT_TRANSLATE_NOOP("Tarnwick", "一个数据目录"))});

    const std::size_t table = pe.optionalHeader_ + optionalSize;
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::size_t at = table + i * kSectionHeaderSize;
        auto nameBytes = in.Bytes(at, 8, QT_TRANSLATE_NOOP("Tarnwick", "节表"));
        SectionHeader s;
        s.name.assign(reinterpret_cast<const char*>(nameBytes.data()), 8);
        s.name.resize(std::strlen(s.name.c_str()));
        s.virtualSize = in.U32(at + 8, QT_TRANSLATE_NOOP("Tarnwick", "节表"));
        s.virtualAddress = in.U32(at + 12, QT_TRANSLATE_NOOP("Tarnwick", "节表"));
        s.sizeOfRawData = in.U32(at + 16, QT_TRANSLATE_NOOP("Tarnwick", "节表"));
        s.pointerToRawData = in.U32(at + 20, QT_TRANSLATE_NOOP("Tarnwick", "节表"));
        s.characteristics = in.U32(at + 36, QT_TRANSLATE_NOOP("Tarnwick", "节表"));
        s.headerOffset = at;
        if (s.sizeOfRawData != 0 && !in.Contains(s.pointerToRawData, s.sizeOfRawData))
            ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "节 %1 超出了文件的结尾")).Arg(s.name));
        pe.sections_.push_back(std::move(s));
    }
    return pe;
}

DataDirectory PeImage::Directory(std::size_t index) const
{
    return index < directoryValues_.size() ? directoryValues_[index] : DataDirectory{};
}

const SectionHeader* PeImage::SectionOfRva(std::uint32_t rva) const
{
    for (const auto& s : sections_) {
        const std::uint64_t extent = std::max(s.virtualSize, s.sizeOfRawData);
        if (rva >= s.virtualAddress && rva - std::uint64_t{s.virtualAddress} < extent)
            return &s;
    }
    return nullptr;
}

std::optional<std::uint64_t> PeImage::RvaToOffset(std::uint32_t rva, std::uint32_t size) const
{
    const SectionHeader* s = SectionOfRva(rva);
    if (s == nullptr)
        return std::nullopt;
    const std::uint64_t within = std::uint64_t{rva} - s->virtualAddress;
    if (within + size > s->sizeOfRawData)
        return std::nullopt;
    return std::uint64_t{s->pointerToRawData} + within;
}

std::uint64_t PeImage::EndOfSectionData() const
{
    std::uint64_t end = 0;
    for (const auto& s : sections_)
        if (s.sizeOfRawData != 0)
            end = std::max(end, std::uint64_t{s.pointerToRawData} + s.sizeOfRawData);
    return end;
}

std::uint32_t PeCheckSum(std::span<const std::byte> file, std::size_t checkSumOffset)
{
    // One's-complement addition is associative, so 32-bit words summed into a
    // 64-bit total and folded at the end give what the word-by-word fold gives.
    std::uint64_t total = 0;
    const std::size_t size = file.size();
    std::size_t i = 0;
    for (; i + 4 <= size; i += 4) {
        unsigned char b[4];
        std::memcpy(b, file.data() + i, 4);
        total += static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                 (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    }
    for (; i < size; i += 2) {
        std::uint32_t low = static_cast<std::uint8_t>(file[i]);
        std::uint32_t high = i + 1 < size ? static_cast<std::uint8_t>(file[i + 1]) : 0;
        total += low | (high << 8);
    }
    // Count the CheckSum field as zero: take back each of its bytes with the
    // weight that the summation above gave it.
    const std::size_t whole = size & ~std::size_t{3};
    for (std::size_t p = checkSumOffset; p < checkSumOffset + 4 && p < size; ++p) {
        const std::uint64_t b = static_cast<std::uint8_t>(file[p]);
        total -= p < whole ? b << (8 * (p % 4)) : b << (8 * (p % 2));
    }
    while (total >> 16)
        total = (total & 0xFFFF) + (total >> 16);
    return static_cast<std::uint32_t>(total) + static_cast<std::uint32_t>(size);
}

} // namespace tarnwick

namespace tarnwick {
namespace {

// The bytes' share of the word sum, modulo 0xFFFF: a byte at an odd offset is
// the high half of its word.
std::uint64_t WordSumModulo(std::uint64_t offset, std::span<const std::byte> bytes)
{
    std::uint64_t even = 0, odd = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        ((offset + i) % 2 ? odd : even) += static_cast<std::uint8_t>(bytes[i]);
    return (even + (odd % 0xFFFF) * 256) % 0xFFFF;
}

} // namespace

std::optional<std::uint32_t> AdjustedCheckSum(std::uint32_t checkSum, std::uint64_t fileSize, std::uint64_t offset,
                                              std::span<const std::byte> oldBytes,
                                              std::span<const std::byte> newBytes)
{
    // CheckSum = fold(word sum) + file size, where the fold is the word sum
    // modulo 0xFFFF written as 1..0xFFFF (0 only for an all-zero file, which a
    // PE file is not). So the fold can be adjusted by the change alone.
    const std::uint64_t fold = (std::uint64_t{checkSum} - fileSize) & 0xFFFFFFFFu;
    if (fold == 0 || fold > 0xFFFF || oldBytes.size() != newBytes.size())
        return std::nullopt;
    const std::uint64_t adjusted =
        (fold % 0xFFFF + WordSumModulo(offset, newBytes) + 0xFFFF - WordSumModulo(offset, oldBytes)) % 0xFFFF;
    return static_cast<std::uint32_t>((adjusted == 0 ? 0xFFFF : adjusted) + fileSize);
}

std::string ReadExecutable(const std::filesystem::path& path)
{
    return ReadFile(path, SizeLimit{kMaxExecutableBytes, QT_TRANSLATE_NOOP("Tarnwick", "可执行文件最多可有 4,294,967,295 字节（4 GiB）")});
}

} // namespace tarnwick

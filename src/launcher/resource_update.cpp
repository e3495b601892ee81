#include "launcher/resource_update.h"

#include "base/error.h"
#include "base/translatable.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace tarnwick {
namespace {

constexpr std::uint32_t kInitializedData = 0x00000040;
constexpr std::size_t kDebugEntrySize = 28;
constexpr std::size_t kDebugPointerToRawData = 24;

bool Overlaps(std::uint64_t start, std::uint64_t size, std::uint64_t otherStart, std::uint64_t otherSize)
{
    return start < otherStart + otherSize && otherStart < start + size;
}

void RefreshCheckSum(std::span<std::byte> file, const PeImage& pe)
{
    if (pe.CheckSum() != 0)
        PutU32(file, pe.CheckSumOffset(), PeCheckSum(file, pe.CheckSumOffset()));
}

// Where a file offset points once the bytes from `from` on have moved by `delta`.
class OffsetShift {
public:
    OffsetShift(std::uint64_t from, std::uint64_t delta) : from_(from), delta_(delta) {}
    std::uint64_t Moved(std::uint64_t offset) const { return offset >= from_ ? offset + delta_ : offset; }

private:
    std::uint64_t from_;
    std::uint64_t delta_;
};

// The file offsets held in the headers that point past the section data.
struct FileOffsetField {
    std::size_t where;     // offset of the 32-bit field
    std::uint32_t value;
};

std::vector<FileOffsetField> FileOffsetFields(std::span<const std::byte> file, const PeImage& pe)
{
    std::vector<FileOffsetField> fields;
    if (pe.PointerToSymbolTable() != 0)
        fields.push_back({pe.PointerToSymbolTableOffset(), pe.PointerToSymbolTable()});
    const DataDirectory security = pe.Directory(PeImage::kSecurityDirectory);
    if (security.address != 0)
        fields.push_back({pe.DirectoryOffset(PeImage::kSecurityDirectory), security.address});
    const DataDirectory debug = pe.Directory(PeImage::kDebugDirectory);
    if (debug.address != 0 && debug.size != 0) {
        const auto at = pe.RvaToOffset(debug.address, debug.size);
        if (!at)
            ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "调试目录位于各节之外")));
        ByteReader in(file);
        for (std::uint64_t e = 0; e + kDebugEntrySize <= debug.size; e += kDebugEntrySize) {
            const std::size_t where = static_cast<std::size_t>(*at + e + kDebugPointerToRawData);
            const std::uint32_t pointer = in.U32(where, QT_TRANSLATE_NOOP("Tarnwick", "调试目录"));
            if (pointer != 0)
                fields.push_back({where, pointer});
        }
    }
    return fields;
}

std::uint32_t Narrow(std::uint64_t value)
{
    if (value > std::numeric_limits<std::uint32_t>::max())
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "可执行文件将超过 4 GB")));
    return static_cast<std::uint32_t>(value);
}

} // namespace

ResourceUpdate UpdateResource(std::string& image, const ResourceId& type, const ResourceId& name,
                              std::uint16_t language, std::span<const std::byte> data)
{
    const std::span<std::byte> file = AsWritableBytes(image);
    const std::span<const std::byte> bytes = file;
    const PeImage pe = PeImage::Parse(bytes);

    for (const auto& found : LocateResource(bytes, pe, type, name)) {
        if (found.language == language && found.size == data.size()) {
            // Only the data changes, so the checksum can follow it without summing the whole file.
            std::optional<std::uint32_t> checkSum;
            if (pe.CheckSum() != 0)
                checkSum = AdjustedCheckSum(pe.CheckSum(), file.size(), found.offset,
                                            bytes.subspan(found.offset, found.size), data);
            std::memcpy(file.data() + found.offset, data.data(), data.size());
            if (checkSum)
                PutU32(file, pe.CheckSumOffset(), *checkSum);
            else
                RefreshCheckSum(file, pe);
            return ResourceUpdate::Overwritten;
        }
    }

    // The tree is laid out again, so the resource directory must own its whole
    // section: nothing else may live in the bytes that are rewritten.
    const DataDirectory resources = pe.Directory(PeImage::kResourceDirectory);
    if (resources.address == 0)
        return ResourceUpdate::Refused;
    const SectionHeader* found = pe.SectionOfRva(resources.address);
    if (found == nullptr || found->virtualAddress != resources.address)
        return ResourceUpdate::Refused;
    const SectionHeader section = *found;
    const std::uint64_t sectionExtent = std::max(section.virtualSize, section.sizeOfRawData);
    for (std::size_t i = 0; i < pe.DirectoryCount(); ++i) {
        const DataDirectory other = pe.Directory(i);
        if (i == PeImage::kResourceDirectory || i == PeImage::kSecurityDirectory || other.address == 0)
            continue;
        if (Overlaps(other.address, std::max<std::uint32_t>(other.size, 1), section.virtualAddress, sectionExtent))
            return ResourceUpdate::Refused;
    }

    ResourceTree tree = ReadResourceTree(bytes, pe);
    tree.Set(type, name, language, data);
    const std::string laidOut = LayOutResourceSection(tree, section.virtualAddress);

    // The section may not run into the next one in memory.
    std::uint64_t nextVirtual = std::numeric_limits<std::uint64_t>::max();
    for (const auto& s : pe.Sections())
        if (s.virtualAddress > section.virtualAddress)
            nextVirtual = std::min<std::uint64_t>(nextVirtual, s.virtualAddress);
    const bool lastInMemory = nextVirtual == std::numeric_limits<std::uint64_t>::max();
    if (!lastInMemory && section.virtualAddress + AlignUp(laidOut.size(), pe.SectionAlignment()) > nextVirtual)
        return ResourceUpdate::Refused;

    ByteReader in(bytes);
    const std::uint32_t sizeOfImage = in.U32(pe.SizeOfImageOffset(), QT_TRANSLATE_NOOP("Tarnwick", "可选头"));
    std::uint32_t newSizeOfImage = sizeOfImage;
    if (lastInMemory) {
        const std::uint64_t end = std::uint64_t{section.virtualAddress} + laidOut.size();
        newSizeOfImage = std::max(sizeOfImage, Narrow(AlignUp(end, pe.SectionAlignment())));
    }

    // Whatever else the headers point at by file offset must lie outside the
    // section's raw data, which is about to be rewritten.
    const std::uint64_t start = section.pointerToRawData;
    const std::uint64_t oldEnd = start + section.sizeOfRawData;
    const auto offsetFields = FileOffsetFields(bytes, pe);
    for (const auto& field : offsetFields)
        if (field.value >= start && field.value < oldEnd)
            return ResourceUpdate::Refused;

    if (laidOut.size() <= section.sizeOfRawData) {
        std::memcpy(file.data() + section.pointerToRawData, laidOut.data(), laidOut.size());
        std::memset(file.data() + section.pointerToRawData + laidOut.size(), 0, section.sizeOfRawData - laidOut.size());
        PutU32(file, section.headerOffset + 8, static_cast<std::uint32_t>(laidOut.size()));
        PutU32(file, pe.DirectoryOffset(PeImage::kResourceDirectory) + 4, static_cast<std::uint32_t>(laidOut.size()));
        PutU32(file, pe.SizeOfImageOffset(), newSizeOfImage);
        RefreshCheckSum(file, pe);
        return ResourceUpdate::Rebuilt;
    }

    // Growing moves everything after the section's raw data, so the section must
    // be the last one both in memory and in the file.
    if (!lastInMemory || oldEnd != pe.EndOfSectionData())
        return ResourceUpdate::Refused;
    const std::uint64_t newRaw = AlignUp(laidOut.size(), pe.FileAlignment());
    const std::uint64_t delta = newRaw - section.sizeOfRawData;
    const OffsetShift shift(oldEnd, delta);

    std::string grown;
    grown.reserve(image.size() + delta);
    grown.append(image, 0, start);
    grown.append(laidOut);
    grown.append(newRaw - laidOut.size(), '\0');
    grown.append(image, oldEnd, std::string::npos);

    PutU32(grown, section.headerOffset + 8, static_cast<std::uint32_t>(laidOut.size()));
    PutU32(grown, section.headerOffset + 16, Narrow(newRaw));
    PutU32(grown, pe.DirectoryOffset(PeImage::kResourceDirectory) + 4, static_cast<std::uint32_t>(laidOut.size()));
    PutU32(grown, pe.SizeOfImageOffset(), newSizeOfImage);
    if (section.characteristics & kInitializedData) {
        const std::uint32_t initialized = in.U32(pe.SizeOfInitializedDataOffset(), QT_TRANSLATE_NOOP("Tarnwick", "可选头"));
        PutU32(grown, pe.SizeOfInitializedDataOffset(), static_cast<std::uint32_t>(initialized + delta));
    }
    for (const auto& field : offsetFields)
        PutU32(grown, field.where, Narrow(shift.Moved(field.value)));
    RefreshCheckSum(AsWritableBytes(grown), pe);
    image = std::move(grown);
    return ResourceUpdate::Grown;
}

} // namespace tarnwick

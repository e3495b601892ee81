// The PE resource reader and StampVersionString on arbitrary files. A
// stamping that returns false leaves the file byte for byte as it was; one that
// returns true leaves a PE file that the reader still parses (its whole resource
// tree too, where it did before), whose version resource in the first
// translation's language holds the stamped value.
#include "fuzz_support.h"
#include "scratch_file.h"

#include "base/error.h"
#include "base/file_io.h"
#include "launcher/pe_image.h"
#include "launcher/resource_tree.h"
#include "launcher/version_info.h"
#include "launcher/version_stamp.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace tarnwick;
using namespace tarnwick::fuzzing;

namespace {

std::span<const std::byte> View(const std::string& bytes) { return AsBytes(bytes); }

// Walks everything the reader offers; only Error may come out of it.
void ReadAll(std::span<const std::byte> file)
{
    try {
        const PeImage pe = PeImage::Parse(file);
        const ResourceTree tree = ReadResourceTree(file, pe);
        for (const auto& type : tree.types)
            for (const auto& name : type.names)
                for (const auto& location : LocateResource(file, pe, type.id, name.id))
                    if (location.offset + location.size > file.size())
                        Broken("a located resource lies outside the file");
        if (!tree.types.empty())
            LayOutResourceSection(tree, pe.Directory(PeImage::kResourceDirectory).address);
    } catch (const Error&) {
    }
}

std::u16string Hex4(std::uint16_t value)
{
    static const char16_t digits[] = u"0123456789abcdef";
    return {digits[value >> 12], digits[(value >> 8) & 15], digits[(value >> 4) & 15], digits[value & 15]};
}

// The first translation of the file's version information, as the stamping reads it.
std::optional<std::pair<std::uint16_t, std::uint16_t>> FirstTranslation(std::span<const std::byte> file)
{
    std::vector<std::byte> buffer(VersionInfoSize(file));
    if (buffer.empty() || !ReadVersionInfo(file, buffer))
        return std::nullopt;
    const VersionValue t = QueryVersionValue(buffer, u"\\VarFileInfo\\Translation");
    if (t.length < 4)
        return std::nullopt;
    const ByteReader in(buffer);
    return std::pair{in.U16(t.offset, "translation"), in.U16(t.offset + 2, "translation")};
}

bool ReadsWhole(const std::string& file)
{
    try {
        ReadResourceTree(View(file), PeImage::Parse(View(file)));
        return true;
    } catch (const Error&) {
        return false;
    }
}

void CheckStamped(const std::string& original, const std::string& stamped, std::u16string_view key,
                  std::u16string_view value)
{
    const auto translation = FirstTranslation(View(original));
    if (!translation)
        Broken("a file without a translation was stamped");
    try {
        const PeImage pe = PeImage::Parse(View(stamped));
        // A same-size stamping touches only the version data, so a tree that
        // was malformed elsewhere before may stay so; one that read must still read.
        if (ReadsWhole(original))
            ReadResourceTree(View(stamped), pe);
        for (const auto& location : LocateResource(View(stamped), pe, ResourceId::Number(kVersionResourceType),
                                                   ResourceId::Number(kVersionResourceName))) {
            if (location.language != translation->first)
                continue;
            const auto buffer = View(stamped).subspan(location.offset, location.size);
            const std::u16string path =
                u"\\StringFileInfo\\" + Hex4(translation->first) + Hex4(translation->second) + u"\\" + std::u16string(key);
            if (VersionText(buffer, QueryVersionValue(buffer, path)) != value)
                Broken("the stamped value does not read back");
            return;
        }
        Broken("the stamped file has no version resource in the translation's language");
    } catch (const Error& e) {
        Broken("the stamped file no longer parses", e.what());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ScratchFile file("image.exe");
    const std::string original(reinterpret_cast<const char*>(data), size);
    ReadAll(View(original));

    // Key and value come from the input without taking bytes from the file's
    // front (where "MZ" must stay): the keys that callers pass, one in lower
    // case, one that images rarely hold; values of every length up to past a
    // slot, ASCII and Chinese.
    static const std::u16string_view keys[] = {u"OriginalFilename", u"originalfilename", u"GameName",
                                               u"ServerList", u"CompanyName"};
    const std::uint32_t mix = size * 2654435761u + (size ? data[size - 1] : 0);
    const std::u16string_view key = keys[mix % 5];
    std::u16string value;
    for (std::size_t i = 0, n = (mix >> 8) % 300; i < n; ++i)
        value.push_back((mix >> 20) & 1 ? static_cast<char16_t>(0x4E00 + i) : static_cast<char16_t>(u'A' + i % 26));

    PutFile(file.Path(), original);
    const StampResult result = StampFile(file.Path(), key, value);
    const std::string after = ReadFile(file.Path());
    if (!result.Stamped() && after != original)
        Broken("a stamping that did not apply changed the file");
    if (result.Stamped())
        CheckStamped(original, after, key, value);
    if (result.status == StampStatus::TooLong && value.size() + 1 <= result.room)
        Broken("a value refused as too long fits the room reported");

    // In memory, as the builder stamps: the same outcome and the same bytes.
    std::string image = original;
    const StampResult inMemory = StampImage(image, key, value);
    if (inMemory.status != result.status || image != after)
        Broken("in memory and in a file the stamping differ");
    return 0;
}

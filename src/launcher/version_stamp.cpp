#include "launcher/version_stamp.h"

#include "base/error.h"
#include "base/file_io.h"
#include "base/translatable.h"
#include "launcher/pe_image.h"
#include "launcher/resource_update.h"
#include "launcher/version_info.h"

#include <cstdio>
#include <vector>

namespace tarnwick {
namespace {

std::u16string Hex4(std::uint16_t value)
{
    char digits[5];
    std::snprintf(digits, sizeof digits, "%.4x", static_cast<unsigned>(value));
    return std::u16string(digits, digits + 4);
}

StampResult Refusal(StampStatus status) { return {status, 0, {}}; }

// The steps of a stamping; Error is raised for a file that is not a
// well-formed executable.
StampResult Stamp(std::string& image, std::u16string_view Key, std::u16string_view Value)
{
    const std::span<const std::byte> file = AsBytes(image);
    const std::uint32_t size = VersionInfoSize(file);
    if (size == 0)
        return Refusal(StampStatus::NoVersionResource);
    std::vector<std::byte> buffer(size);
    ReadVersionInfo(file, buffer);

    // Without a translation there is no table to pick, and no pair to read.
    const VersionValue translation = QueryVersionValue(buffer, u"\\\\VarFileInfo\\\\Translation");
    if (translation.length < 4)
        return Refusal(StampStatus::NoTranslation);
    const ByteReader in(buffer);
    const std::uint16_t language = in.U16(translation.offset, QT_TRANSLATE_NOOP("Tarnwick", "语言与代码页表"));
    const std::uint16_t codePage = in.U16(translation.offset + 2, QT_TRANSLATE_NOOP("Tarnwick", "语言与代码页表"));

    std::u16string path = u"\\\\StringFileInfo\\\\" + Hex4(language) + Hex4(codePage) + u"\\\\";
    path += Key;
    const VersionValue slot = QueryVersionValue(buffer, path);
    if (slot.length == 0)
        return Refusal(StampStatus::KeyAbsent);
    // The slot's room, terminator included, in the unit its length is recorded in.
    const std::size_t room = slot.text ? slot.length : slot.length / 2;
    if (Value.size() + 1 > room)
        return {StampStatus::TooLong, room, {}};

    for (std::size_t i = 0; i <= Value.size(); ++i) {
        const char16_t c = i < Value.size() ? Value[i] : u'\0';
        buffer[slot.offset + 2 * i] = static_cast<std::byte>(c & 0xFF);
        buffer[slot.offset + 2 * i + 1] = static_cast<std::byte>(c >> 8);
    }
    if (UpdateResource(image, ResourceId::Number(kVersionResourceType), ResourceId::Number(kVersionResourceName),
                       language, buffer) == ResourceUpdate::Refused)
        return Refusal(StampStatus::NoRoomInImage);
    return {};
}

} // namespace

StampResult StampImage(std::string& image, std::u16string_view Key, std::u16string_view Value)
{
    // A malformed file is an answer about the file, not a failure of the
    // stamping; the image is left as it was (UpdateResource changes nothing
    // when it raises).
    try {
        return Stamp(image, Key, Value);
    } catch (const Error& error) {
        return {StampStatus::NotAnExecutable, 0, error.Text()};
    }
}

StampResult StampFile(const std::filesystem::path& FileName, std::u16string_view Key, std::u16string_view Value)
{
    std::string image = ReadExecutable(FileName);
    StampResult result = StampImage(image, Key, Value);
    if (result.Stamped())
        ReplaceFile(FileName, image);
    return result;
}

bool StampVersionString(const std::filesystem::path& FileName, std::u16string_view Key, std::u16string_view Value)
{
    return StampFile(FileName, Key, Value).Stamped();
}

} // namespace tarnwick

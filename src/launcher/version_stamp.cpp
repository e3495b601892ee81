#include "launcher/version_stamp.h"

#include "config/error.h"
#include "config/file_io.h"
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

// The steps of a stamping on `image`; `growable`, when given, holds the same
// bytes and may grow.
StampOutcome Stamp(std::span<std::byte> image, std::string* growable, std::u16string_view Key,
                   std::u16string_view Value)
{
    constexpr auto kNotStamped = StampOutcome::NotStamped;
    try {
        const std::span<const std::byte> file = image;
        const std::uint32_t size = VersionInfoSize(file);
        if (size == 0)
            return kNotStamped;
        std::vector<std::byte> buffer(size);
        if (!ReadVersionInfo(file, buffer))
            return kNotStamped;

        // Without a translation there is no table to pick, and no pair to read.
        const VersionValue translation = QueryVersionValue(buffer, u"\\\\VarFileInfo\\\\Translation");
        if (translation.length < 4)
            return kNotStamped;
        const ByteReader in(buffer);
        const std::uint16_t language = in.U16(translation.offset, "the translation table");
        const std::uint16_t codePage = in.U16(translation.offset + 2, "the translation table");

        std::u16string path = u"\\\\StringFileInfo\\\\" + Hex4(language) + Hex4(codePage) + u"\\\\";
        path += Key;
        const VersionValue slot = QueryVersionValue(buffer, path);
        if (slot.length == 0)
            return kNotStamped;
        // The slot's room, terminator included, in the unit its length is recorded in.
        const std::size_t room = slot.text ? slot.length : slot.length / 2;
        if (Value.size() + 1 > room)
            return kNotStamped;

        for (std::size_t i = 0; i <= Value.size(); ++i) {
            const char16_t c = i < Value.size() ? Value[i] : u'\0';
            buffer[slot.offset + 2 * i] = static_cast<std::byte>(c & 0xFF);
            buffer[slot.offset + 2 * i + 1] = static_cast<std::byte>(c >> 8);
        }
        const auto type = ResourceId::Number(kVersionResourceType);
        const auto name = ResourceId::Number(kVersionResourceName);
        switch (growable ? UpdateResource(*growable, type, name, language, buffer)
                         : UpdateResourceInPlace(image, type, name, language, buffer)) {
        case ResourceUpdate::Overwritten:
        case ResourceUpdate::Rebuilt:
        case ResourceUpdate::Grown:
            return StampOutcome::Stamped;
        case ResourceUpdate::NeedsGrowth:
            return StampOutcome::NeedsGrowth;
        case ResourceUpdate::Refused:
            break;
        }
        return kNotStamped;
    } catch (const Error&) {
        return kNotStamped;
    }
}

} // namespace

bool StampVersionString(std::string& image, std::u16string_view Key, std::u16string_view Value)
{
    return Stamp(AsWritableBytes(image), &image, Key, Value) == StampOutcome::Stamped;
}

StampOutcome StampVersionStringInPlace(std::span<std::byte> image, std::u16string_view Key, std::u16string_view Value)
{
    return Stamp(image, nullptr, Key, Value);
}

bool StampVersionString(const std::filesystem::path& FileName, std::u16string_view Key, std::u16string_view Value)
{
    try {
        std::string image = ReadExecutable(FileName);
        if (!StampVersionString(image, Key, Value))
            return false;
        ReplaceFile(FileName, image);
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace tarnwick

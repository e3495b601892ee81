#include "launcher/version_stamp.h"

#include "config/error.h"
#include "config/file_io.h"
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

} // namespace

bool StampVersionString(std::string& image, std::u16string_view Key, std::u16string_view Value)
{
    try {
        const auto file = AsBytes(image);
        const std::uint32_t size = VersionInfoSize(file);
        if (size == 0)
            return false;
        std::vector<std::byte> buffer(size);
        if (!ReadVersionInfo(file, buffer))
            return false;

        // Without a translation there is no table to pick, and no pair to read.
        const VersionValue translation = QueryVersionValue(buffer, u"\\\\VarFileInfo\\\\Translation");
        if (translation.length < 4)
            return false;
        const ByteReader in(buffer);
        const std::uint16_t language = in.U16(translation.offset, "the translation table");
        const std::uint16_t codePage = in.U16(translation.offset + 2, "the translation table");

        std::u16string path = u"\\\\StringFileInfo\\\\" + Hex4(language) + Hex4(codePage) + u"\\\\";
        path += Key;
        const VersionValue slot = QueryVersionValue(buffer, path);
        if (slot.length == 0)
            return false;
        // The slot's room, terminator included, in the unit its length is recorded in.
        const std::size_t room = slot.text ? slot.length : slot.length / 2;
        if (Value.size() + 1 > room)
            return false;

        for (std::size_t i = 0; i <= Value.size(); ++i) {
            const char16_t c = i < Value.size() ? Value[i] : u'\0';
            buffer[slot.offset + 2 * i] = static_cast<std::byte>(c & 0xFF);
            buffer[slot.offset + 2 * i + 1] = static_cast<std::byte>(c >> 8);
        }
        return UpdateResource(image, ResourceId::Number(kVersionResourceType),
                              ResourceId::Number(kVersionResourceName), language, buffer) != ResourceUpdate::Refused;
    } catch (const Error&) {
        return false;
    }
}

bool StampVersionString(const std::filesystem::path& FileName, std::u16string_view Key, std::u16string_view Value)
{
    try {
        std::string image = ReadFile(FileName);
        if (!StampVersionString(image, Key, Value))
            return false;
        ReplaceFile(FileName, image);
        return true;
    } catch (const Error&) {
        return false;
    }
}

} // namespace tarnwick

#pragma once

#include "base/file_io.h"
#include "launcher/byte_reader.h"
#include "launcher/version_info.h"
#include "temporary_folder.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace tarnwick::test {

inline std::string Fixture(const std::string& name)
{
    return ReadFile(std::filesystem::path(TARNWICK_TEST_DATA) / name);
}

inline std::span<const std::byte> Bytes(const std::string& s) { return AsBytes(s); }

inline std::uint32_t U32At(const std::string& s, std::size_t offset) { return ByteReader(Bytes(s)).U32(offset, "test"); }

// The string of the version resource that the version functions read, up to its first NUL.
inline std::u16string VersionString(const std::string& image, std::u16string_view path)
{
    const auto found = FindVersionResource(Bytes(image));
    if (!found)
        return u"<no version resource>";
    const auto buffer = Bytes(image).subspan(found->offset, found->size);
    const auto value = QueryVersionValue(buffer, path);
    return value.length == 0 ? u"<absent>" : VersionText(buffer, value);
}

using TemporaryFolder = tarnwick::testing::TemporaryFolder;

} // namespace tarnwick::test

#pragma once

#include "base/file_io.h"
#include "launcher/byte_reader.h"
#include "launcher/version_info.h"

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

// A folder of its own under the system's temporary folder, removed afterwards.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const std::string& tag)
        : path_(std::filesystem::temp_directory_path() / ("tarnwick-" + tag + "-" + std::to_string(::getpid())))
    {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TemporaryFolder() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& Path() const { return path_; }
    std::size_t EntryCount() const
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(path_),
                                                      std::filesystem::directory_iterator()));
    }

private:
    std::filesystem::path path_;
};

} // namespace tarnwick::test

#pragma once

// Archives and folder snapshots for the updater's tests.
#include "base/file_io.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarnwick::player {

namespace fs = std::filesystem;

inline constexpr uLong kUtf8Names = 1u << 11;

struct Member {
    std::string name; // as stored: GBK, or UTF-8 with utf8 set
    std::string bytes;
    bool utf8 = false;
};

// An archive as zip tools write it, by minizip's own writer.
inline void WriteZip(const fs::path& path, const std::vector<Member>& members)
{
    zipFile zip = ::zipOpen64(path.string().c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    for (const Member& member : members) {
        zip_fileinfo info{};
        ASSERT_EQ(::zipOpenNewFileInZip4_64(zip, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                            Z_DEFLATED, 6, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0, 0,
                                            member.utf8 ? kUtf8Names : 0, 0),
                  ZIP_OK);
        ASSERT_EQ(::zipWriteInFileInZip(zip, member.bytes.data(), static_cast<unsigned>(member.bytes.size())), ZIP_OK);
        ASSERT_EQ(::zipCloseFileInZip(zip), ZIP_OK);
    }
    ASSERT_EQ(::zipClose(zip, nullptr), ZIP_OK);
}

// Every file below the folder and its contents, to tell that nothing changed.
inline std::map<std::string, std::string> Snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files[fs::relative(entry.path(), folder).generic_string()] =
            entry.is_regular_file() ? ReadFile(entry.path()) : std::string("<folder>");
    return files;
}

} // namespace tarnwick::player

#pragma once

#include "config/model.h"
#include "digest/md5.h"
#include "publish/site_plan.h"
#include "temporary_folder.h"

#include <cstdint>
#include <fstream>
#include <string>

namespace tarnwick::publish::testing {

inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes)
{
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

inline std::string ReadBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Bytes that differ from block to block, as a game's file does, `seed` telling
// one version from another.
inline std::string VariedBytes(std::size_t size, std::uint64_t seed)
{
    std::string bytes(size, '\0');
    std::uint64_t state = seed * 0x9e3779b97f4a7c15ull + 1;
    for (char& c : bytes) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        c = static_cast<char>(state);
    }
    return bytes;
}

// A working folder with its list written, and a site folder of update files.
struct SiteFixture {
    tarnwick::testing::TemporaryFolder temporary;
    std::filesystem::path folder = temporary.path() / "work";
    std::filesystem::path site = temporary.path() / "site";
    SetupModel model;
    std::string list = "$BEGIN\r\nthe list\r\n$END\r\n";

    SiteFixture() { WriteBytes(folder / "ServerInfo.txt", list); }

    // An update entry fetching `path` below the site, whose file holds `bytes`.
    void AddUpdate(const std::string& path, const std::string& bytes, bool pinned = true)
    {
        WriteBytes(site / path, bytes);
        UpdateEntry entry;
        entry.Hint = path;
        entry.SaveDir = ".\\";
        entry.SaveName = std::filesystem::path(path).filename().string();
        entry.DownUrl = "http://game.example.com/patch/" + path;
        entry.Zip = "否";
        entry.CheckType = "MD5";
        entry.MD5 = pinned ? Md5Hex(bytes) : "20050505";
        entry.DownMD5 = pinned ? Md5Hex(bytes) : "20050505";
        model.updates.Append(entry);
    }

    PlanInput Input() const
    {
        PlanInput input;
        input.folder = folder;
        input.model = &model;
        input.listUrl = "http://game.example.com/patch/ServerInfo.txt";
        input.site = site;
        input.expectedList = list;
        return input;
    }
};

} // namespace tarnwick::publish::testing

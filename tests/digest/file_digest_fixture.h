#pragma once

#include "digest/md5.h"

#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tarnwick {

namespace fs = std::filesystem;

inline const std::string kZeroHex(32, '0');

class FileDigestTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(dir_ / "locked", fs::perms::owner_all, ignored);
    }

    fs::path WriteFile(const std::string& name, std::size_t size)
    {
        std::string bytes(size, '\0');
        std::uint32_t seed = static_cast<std::uint32_t>(size) * 2654435761u + 1;
        for (auto& byte : bytes) {
            seed = seed * 1103515245u + 12345u;
            byte = static_cast<char>(seed >> 23);
        }
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
        return path;
    }

    // Hashes the file and returns the percentages the callback saw.
    std::vector<int> Percentages(const fs::path& path, Digest& digest)
    {
        std::vector<int> seen;
        FileDigest(path, digest, [&](int percent) { seen.push_back(percent); });
        return seen;
    }

    tarnwick::testing::TemporaryFolder folder_;
    const fs::path dir_ = folder_.path();
};

} // namespace tarnwick

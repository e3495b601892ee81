#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <stdexcept>
#include <string>

namespace tarnwick::testing {

// A fresh folder of its own under the system's temporary folder, removed with
// its contents, also after a test made it read-only.
class TemporaryFolder {
public:
    TemporaryFolder()
    {
        // create_directory makes a folder only where none was, as mkdtemp does.
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = std::filesystem::temp_directory_path() / ("tarnwick-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_))
                return;
        }
        throw std::runtime_error("cannot create a temporary folder");
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Every entry below the folder with the bytes of each file, to tell that nothing was written.
    std::map<std::string, std::string> Contents() const
    {
        std::map<std::string, std::string> contents;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
            std::string bytes = "<folder>";
            if (entry.is_regular_file()) {
                std::ifstream file(entry.path(), std::ios::binary);
                bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
            }
            contents[std::filesystem::relative(entry.path(), path_).generic_string()] = bytes;
        }
        return contents;
    }
    std::size_t EntryCount() const
    {
        return static_cast<std::size_t>(
            std::distance(std::filesystem::directory_iterator(path_), std::filesystem::directory_iterator()));
    }

private:
    std::filesystem::path path_;
};

} // namespace tarnwick::testing

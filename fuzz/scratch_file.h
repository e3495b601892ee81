#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include <unistd.h>

namespace tarnwick::fuzzing {

// A file of this process's own for APIs that take a path: in /dev/shm when it
// exists (no disk traffic per input), else in the temporary folder.
class ScratchFile {
public:
    explicit ScratchFile(std::string_view name)
    {
        std::error_code error;
        std::filesystem::path folder = "/dev/shm";
        if (!std::filesystem::is_directory(folder, error))
            folder = std::filesystem::temp_directory_path();
        folder /= "tarnwick-fuzz-" + std::to_string(::getpid());
        std::filesystem::create_directories(folder);
        path_ = folder / std::string(name);
    }
    ~ScratchFile()
    {
        std::error_code error;
        std::filesystem::remove(path_, error);
        std::filesystem::remove(path_.parent_path(), error); // only once it is empty
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace tarnwick::fuzzing

#pragma once

#include <cstddef>
#include <filesystem>
#include <span>

namespace tarnwick {

// A file mapped into memory for reading and writing in place; changes reach
// the file (through the page cache) and the mapping ends with the object.
class MappedFile {
public:
    // Raises "Cannot open file ..." when the file cannot be opened or mapped.
    explicit MappedFile(const std::filesystem::path& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::span<std::byte> Bytes() const { return {static_cast<std::byte*>(data_), size_}; }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace tarnwick

#pragma once

#include <filesystem>
#include <string_view>

namespace tarnwick {

// Overwrites one string of the first translation's string table in the file's
// version resource, in place. True only when the file was updated.
bool StampVersionString(const std::filesystem::path& FileName, std::u16string_view Key,
                        std::u16string_view Value);

} // namespace tarnwick

#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick {

// Overwrites one string of the first translation's string table in the file's
// version resource, in place. True only when the file was updated.
bool StampVersionString(const std::filesystem::path& FileName, std::u16string_view Key,
                        std::u16string_view Value);

// The same on an executable held in memory: true only when `image` was
// updated; otherwise it is left as it was.
bool StampVersionString(std::string& image, std::u16string_view Key, std::u16string_view Value);

enum class StampOutcome { Stamped, NotStamped, NeedsGrowth };

// The same on an image whose size cannot change (a mapped file): NeedsGrowth,
// with the image left as it was, where only a larger file would hold the update.
StampOutcome StampVersionStringInPlace(std::span<std::byte> image, std::u16string_view Key, std::u16string_view Value);

} // namespace tarnwick

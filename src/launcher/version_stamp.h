#pragma once

#include "base/message.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarnwick {

// Why a stamping did or did not apply.
enum class StampStatus {
    Stamped,
    NotAnExecutable,   // not a well-formed PE file, or its resources are malformed
    NoVersionResource,
    NoTranslation,     // the version block has no translation table
    KeyAbsent,         // the first translation's table lacks the key, or its value is empty
    TooLong,           // the value and its terminator need more than the slot's room
    NoRoomInImage,     // the resource section can neither hold the block nor grow
};

struct StampResult {
    StampStatus status = StampStatus::Stamped;
    std::size_t room = 0; // TooLong: what the slot holds, in wide characters, terminator included
    Message detail;       // NotAnExecutable: what is wrong with the file

    bool Stamped() const { return status == StampStatus::Stamped; }
};

// Overwrites one string of the first translation's string table in the
// version resource of an executable held in memory. The image changes only
// when the result is Stamped.
StampResult StampImage(std::string& image, std::u16string_view Key, std::u16string_view Value);

// The same on a file, replaced atomically only when stamped. Raises Error when
// the file cannot be read or written.
StampResult StampFile(const std::filesystem::path& FileName, std::u16string_view Key, std::u16string_view Value);

// The version functions' interface: true only when the file was updated.
// Raises Error as StampFile does.
bool StampVersionString(const std::filesystem::path& FileName, std::u16string_view Key,
                        std::u16string_view Value);

} // namespace tarnwick

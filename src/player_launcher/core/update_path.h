#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// Where an update may write. The update list and the archives it names come
// from the network, so every path they give is checked to lie inside the
// launcher's folder before anything is written: it is relative, steps only
// down, and names nothing that Windows would read as something else (a
// device, a stream, a name it silently shortens).
namespace tarnwick::player {

enum class PathRefusal {
    None,
    Empty,              // no file name at all
    Absolute,           // "\x", "/x": from the root of the drive
    Drive,              // "C:x", "C:\x"
    Network,            // "\\server\share", "\\?\", "\\.\"
    ParentStep,         // ".." anywhere
    Stream,             // "file:stream", or any other colon
    DeviceName,         // CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, with any extension
    TrailingDotOrSpace, // "name." or "name ": Windows drops them, so the name is another file's
    BadCharacter,       // a control character or one of < > " | ? *
    TooLong,            // a name over 255 characters, or a path over kMaxRelativePath
};

// Longest relative path accepted, in UTF-16 units: it and the launcher's own
// folder must fit the paths Windows handles without long-path support.
inline constexpr std::size_t kMaxRelativePath = 200;

// The checked relative path (components joined by '\', no "." components),
// or why there is none. `relative` is set only when the answer is None.
struct CheckedPath {
    PathRefusal refusal = PathRefusal::None;
    std::u16string relative;
    bool Allowed() const { return refusal == PathRefusal::None; }
};

// An update entry's SaveDir and SaveName: the folder may be empty or "." (the
// launcher's folder) and may end with a separator; the name names one file.
CheckedPath CheckUpdateTarget(std::u16string_view saveDir, std::u16string_view saveName);

// A member of a zip archive ('/' or '\' between folders), under `saveDir`.
// A member that ends with a separator is a folder: its path is checked and
// returned without a file name.
CheckedPath CheckArchiveMember(std::u16string_view saveDir, std::u16string_view member);

// A checked relative path below the launcher's folder, as the system names it.
std::filesystem::path PathBelow(const std::filesystem::path& root, std::u16string_view relative);


} // namespace tarnwick::player

#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

// Writes UTF-8 text to an open standard stream of the platform (a descriptor
// on POSIX, a HANDLE on Windows). A Windows console gets it as wide
// characters, so that Chinese shows whatever the console's code page is (left
// as it is for the programs that come after); a file or a pipe gets the bytes
// as given. Bytes that are no UTF-8 reach a console as U+FFFD. False when
// the text could not be written.
bool WriteText(std::intptr_t stream, std::string_view utf8);

// Writes UTF-8 text to the program's standard output or error. A Windows
// program of the window subsystem has neither when it is started from a
// console: it writes to the console it was started from, beginning on a line
// of its own, since the console has already shown its next prompt. False when
// the text could not be written (or there is nowhere to write it).
bool WriteStandardOutput(std::string_view utf8);
bool WriteStandardError(std::string_view utf8);

// Whether the stream is a console (Windows) or a terminal (POSIX).
bool IsConsole(std::intptr_t stream);

// A line typed on the terminal without showing it (a password), as UTF-8,
// without its line end; none when standard input is no terminal or ends.
std::optional<std::string> ReadHiddenLine();

// While it lives, the terminal's interrupt (Ctrl+C) sets the flag instead of
// ending the program, so that a long operation can stop cleanly. One at a time.
class InterruptCatcher {
public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;
    bool Interrupted() const;
};

} // namespace tarnwick

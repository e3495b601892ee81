// Terminals take UTF-8 bytes as they are.
#include "base/console.h"

#include <cerrno>
#include <unistd.h>

namespace tarnwick {

bool WriteText(std::intptr_t stream, std::string_view utf8)
{
    while (!utf8.empty()) {
        const ssize_t put = ::write(static_cast<int>(stream), utf8.data(), utf8.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        utf8.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

bool WriteStandardOutput(std::string_view utf8) { return WriteText(STDOUT_FILENO, utf8); }
bool WriteStandardError(std::string_view utf8) { return WriteText(STDERR_FILENO, utf8); }

bool IsConsole(std::intptr_t stream) { return ::isatty(static_cast<int>(stream)) == 1; }

} // namespace tarnwick

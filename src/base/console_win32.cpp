// A console shows the bytes written to it in its code page, which is rarely
// UTF-8 (936 on Chinese Windows); wide characters show right in any.
#include "base/console.h"

#include "base/text.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

namespace tarnwick {
namespace {

HANDLE Native(std::intptr_t stream) { return reinterpret_cast<HANDLE>(stream); }

bool WriteBytes(HANDLE out, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), INT_MAX));
        if (!::WriteFile(out, bytes.data(), part, &written, nullptr) || written == 0)
            return false;
        bytes.remove_prefix(written);
    }
    return true;
}

bool WriteWide(HANDLE console, std::string_view utf8)
{
    // In parts: a console takes a limited amount in one call.
    constexpr std::size_t kPart = 16 * 1024;
    while (!utf8.empty()) {
        std::string_view part = utf8.substr(0, kPart);
        if (part.size() < utf8.size())
            part = part.substr(0, std::max<std::size_t>(WholeUtf8Prefix(part), 1));
        const int size = ::MultiByteToWideChar(CP_UTF8, 0, part.data(), static_cast<int>(part.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(size), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, part.data(), static_cast<int>(part.size()), wide.data(), size);
        for (std::wstring_view rest = wide; !rest.empty();) {
            DWORD written = 0;
            if (!::WriteConsoleW(console, rest.data(), static_cast<DWORD>(rest.size()), &written, nullptr) || written == 0)
                return false;
            rest.remove_prefix(written);
        }
        utf8.remove_prefix(part.size());
    }
    return true;
}

// The handle to write to: the one inherited (a pipe, a file, a console), else
// the console the program was started from, opened once for both streams.
struct StandardStream {
    HANDLE handle = nullptr;
    bool attached = false;
};

StandardStream Standard(DWORD which)
{
    const HANDLE inherited = ::GetStdHandle(which);
    if (inherited != nullptr && inherited != INVALID_HANDLE_VALUE)
        return {inherited, false};
    static const HANDLE console = [] {
        if (!::AttachConsole(ATTACH_PARENT_PROCESS))
            return HANDLE(nullptr);
        const HANDLE opened =
            ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        return opened == INVALID_HANDLE_VALUE ? HANDLE(nullptr) : opened;
    }();
    return {console, true};
}

bool WriteStandard(DWORD which, std::string_view utf8)
{
    const StandardStream stream = Standard(which);
    if (stream.handle == nullptr)
        return false;
    // The console did not wait for a program of the window subsystem and has
    // shown its prompt: the text starts below it, once.
    static bool lineStarted = false;
    if (stream.attached && !lineStarted) {
        lineStarted = true;
        if (!WriteWide(stream.handle, "\r\n"))
            return false;
    }
    return WriteText(reinterpret_cast<std::intptr_t>(stream.handle), utf8);
}

} // namespace

bool WriteStandardOutput(std::string_view utf8) { return WriteStandard(STD_OUTPUT_HANDLE, utf8); }
bool WriteStandardError(std::string_view utf8) { return WriteStandard(STD_ERROR_HANDLE, utf8); }

bool IsConsole(std::intptr_t stream)
{
    DWORD mode = 0;
    return ::GetConsoleMode(Native(stream), &mode) != 0;
}

bool WriteText(std::intptr_t stream, std::string_view utf8)
{
    return IsConsole(stream) ? WriteWide(Native(stream), utf8) : WriteBytes(Native(stream), utf8);
}

} // namespace tarnwick

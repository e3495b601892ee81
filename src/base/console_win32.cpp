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

} // namespace

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

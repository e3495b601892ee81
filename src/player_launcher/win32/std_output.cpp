#include "std_output.h"

#include <windows.h>

#include <climits>

namespace tarnwick::player {
namespace {

HANDLE Inherited(DWORD which)
{
    const HANDLE handle = ::GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        return handle;
    // Started from a console without redirection: write to that console.
    static const bool attached = ::AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    if (!attached)
        return nullptr;
    const HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return console == INVALID_HANDLE_VALUE ? nullptr : console;
}

void Write(DWORD which, std::string_view text)
{
    const HANDLE out = Inherited(which);
    if (out == nullptr)
        return;
    // A pipe takes a large document in parts.
    while (!text.empty()) {
        DWORD written = 0;
        const DWORD part = text.size() > INT_MAX ? INT_MAX : static_cast<DWORD>(text.size());
        if (!::WriteFile(out, text.data(), part, &written, nullptr) || written == 0)
            return;
        text.remove_prefix(written);
    }
}

} // namespace

void WriteOut(std::string_view utf8) { Write(STD_OUTPUT_HANDLE, utf8); }
void WriteError(std::string_view utf8) { Write(STD_ERROR_HANDLE, utf8); }

} // namespace tarnwick::player

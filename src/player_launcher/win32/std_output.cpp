#include "std_output.h"

#include "base/console.h"

#include <windows.h>

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
    // A console gets wide characters, a file or a pipe the UTF-8 bytes.
    if (const HANDLE out = Inherited(which); out != nullptr)
        WriteText(reinterpret_cast<std::intptr_t>(out), text);
}

} // namespace

void WriteOut(std::string_view utf8) { Write(STD_OUTPUT_HANDLE, utf8); }
void WriteError(std::string_view utf8) { Write(STD_ERROR_HANDLE, utf8); }

} // namespace tarnwick::player

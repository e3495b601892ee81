// What the operator types at a console: a password without echo, Ctrl+C.
// Apart from console_win32.cpp, which the launcher players run links.
#include "base/console.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace tarnwick {

std::optional<std::string> ReadHiddenLine()
{
    const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!::GetConsoleMode(input, &mode))
        return std::nullopt;
    ::SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    std::wstring line;
    bool ended = false;
    for (;;) {
        wchar_t c = 0;
        DWORD got = 0;
        if (!::ReadConsoleW(input, &c, 1, &got, nullptr) || got == 0) {
            ended = true;
            break;
        }
        if (c == L'\n')
            break;
        if (c != L'\r')
            line += c;
    }
    ::SetConsoleMode(input, mode);
    WriteStandardError("\n");
    if (ended && line.empty())
        return std::nullopt;
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

namespace {
// A console control handler runs on a thread of its own and can reach nothing else.
std::atomic<bool> interrupted{false};

BOOL WINAPI OnControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    interrupted = true;
    return TRUE;
}
} // namespace

InterruptCatcher::InterruptCatcher()
{
    interrupted = false;
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

InterruptCatcher::~InterruptCatcher() { ::SetConsoleCtrlHandler(OnControl, FALSE); }

bool InterruptCatcher::Interrupted() const { return interrupted; }

} // namespace tarnwick

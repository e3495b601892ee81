// Windows hands a narrow main its arguments in the ANSI code page, which loses
// every character outside it; wmain (linked with -municode) gets them whole.
#include "base/program_entry.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {

bool ToUtf8(const wchar_t* wide, std::string& out)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return false;
    out.assign(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, out.data(), size, nullptr, nullptr);
    out.pop_back(); // the terminator
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    // Text mode would turn LF into CR LF on output and end input at byte 0x1A:
    // encode must see the bytes given, and digests print md5sum's lines.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> arguments(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) {
        if (!ToUtf8(argv[i], arguments[static_cast<std::size_t>(i)])) {
            std::fprintf(stderr, "Argument %d is not valid UTF-16 text\n", i);
            return 1;
        }
    }
    return tarnwick::ProgramMain(std::move(arguments));
}

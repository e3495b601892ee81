// Windows hands a narrow main its arguments in the ANSI code page, which loses
// every character outside it; wmain (linked with -municode) gets them whole.
// Output goes the other way: a console shows bytes in its own code page, so
// std::cout and std::cerr reach a console as wide characters.
#include "base/program_entry.h"

#include "base/console.h"
#include "base/text.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <streambuf>

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

// A standard stream's UTF-8 bytes written to a console whole characters at a
// time; a character cut by a flush waits for its other bytes.
class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) { setp(buffer_, buffer_ + sizeof buffer_); }
    ~ConsoleBuffer() override { sync(); }
    ConsoleBuffer(const ConsoleBuffer&) = delete;
    ConsoleBuffer& operator=(const ConsoleBuffer&) = delete;

protected:
    int_type overflow(int_type c) override
    {
        if (Drain() != 0 || pptr() == epptr())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Drain(); }

private:
    int Drain()
    {
        const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        const std::size_t whole = tarnwick::WholeUtf8Prefix(pending);
        if (!tarnwick::WriteText(reinterpret_cast<std::intptr_t>(console_), pending.substr(0, whole)))
            return -1;
        const std::size_t rest = pending.size() - whole;
        std::memmove(buffer_, pending.data() + whole, rest);
        setp(buffer_, buffer_ + sizeof buffer_);
        pbump(static_cast<int>(rest));
        return 0;
    }

    HANDLE console_;
    char buffer_[4096];
};

// While it lives, the stream writes to its console through a ConsoleBuffer.
class ConsoleRoute {
public:
    ConsoleRoute(std::ostream& stream, DWORD which) : stream_(stream)
    {
        const HANDLE handle = ::GetStdHandle(which);
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !tarnwick::IsConsole(reinterpret_cast<std::intptr_t>(handle)))
            return;
        buffer_.emplace(handle);
        original_ = stream_.rdbuf(&*buffer_);
    }
    ~ConsoleRoute()
    {
        if (original_ == nullptr)
            return;
        stream_.flush();
        stream_.rdbuf(original_);
    }
    ConsoleRoute(const ConsoleRoute&) = delete;
    ConsoleRoute& operator=(const ConsoleRoute&) = delete;

private:
    std::ostream& stream_;
    std::optional<ConsoleBuffer> buffer_;
    std::streambuf* original_ = nullptr;
};

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
    const ConsoleRoute out(std::cout, STD_OUTPUT_HANDLE);
    const ConsoleRoute error(std::cerr, STD_ERROR_HANDLE);
    return tarnwick::ProgramMain(std::move(arguments));
}

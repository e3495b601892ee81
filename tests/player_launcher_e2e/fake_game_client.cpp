// Stands in for a game client, a windows program as game clients are (a
// console program started from the launcher would get a console of its own):
// writes what it was started with to
// started.txt in its own folder (UTF-8, one item per line: the command line,
// the current folder, then each argument as Windows splits them) and ends.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr)
        return 1;
    wchar_t own[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring folder(own, length);
    folder.erase(folder.find_last_of(L'\\'));
    wchar_t current[MAX_PATH];
    const DWORD currentLength = ::GetCurrentDirectoryW(MAX_PATH, current);

    std::string text = Utf8(::GetCommandLineW()) + "\n" + Utf8(std::wstring(current, currentLength)) + "\n";
    for (int i = 1; i < argc; ++i)
        text += Utf8(argv[i]) + "\n";
    // Whole or not at all: the test waits for the file to appear.
    const std::wstring partial = folder + L"\\started.part";
    const HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    if (!ok || written != text.size())
        return 1;
    return ::MoveFileExW(partial.c_str(), (folder + L"\\started.txt").c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

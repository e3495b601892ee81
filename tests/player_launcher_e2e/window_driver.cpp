// Looks at a running launcher window from another process, through the
// messages its list controls answer, as a player's eyes would: waits for the
// list to arrive and tells what the three lists show.
//
//   launcher_window_driver TITLE show
//       prints "rows G S E" (the rows of the group list, of the selected
//       group's server list and of the selected server's entry list),
//       "shown G S E" (the selected rows, -1 for none), then as "running" does
//   launcher_window_driver TITLE running
//       waits until an update runs (the refresh button reads 取消更新) and
//       its status names an entry, and prints "start E" (1 when the start
//       button is enabled) and "status TEXT"
//   launcher_window_driver TITLE cancel
//       presses the cancel button (its command, sent to the window)
//   launcher_window_driver TITLE finished
//       waits until no update runs and the status tells how it ended; prints
//       as "running" does
//   launcher_window_driver TITLE close
//       closes the window as its close button does
//   launcher_window_driver TITLE glyphs SHOT.bmp
//       waits until the status line tells a failure, prints "details V" (1
//       when the button for the whole text is shown) and "status TEXT", then
//       puts kGlyphProbe in the status line, takes the window's picture from
//       the screen into SHOT.bmp (32-bit, as the screen shows it) and prints
//       "status-box L T R B", the status line's box in that picture
//
// Exit 0 when every step happened, 1 with a line on standard error otherwise.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr wchar_t kLauncherClass[] = L"TarnwickLauncherWindow";
constexpr auto kPatience = std::chrono::seconds(60);

template <class Test>
bool WaitFor(Test test, std::chrono::steady_clock::duration patience = kPatience)
{
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!test()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "launcher_window_driver: %s\n", what);
    return 1;
}

// Groups, servers, entries: in the order the window made them. Descendants
// are enumerated too (each list's header), which do not match.
std::vector<HWND> Lists(HWND window)
{
    std::vector<HWND> lists;
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM context) -> BOOL {
            wchar_t type[64] = {};
            ::GetClassNameW(child, type, 64);
            if (std::wstring(type) == WC_LISTVIEWW)
                reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&lists));
    return lists;
}

int Count(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

int Selected(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)); }

std::wstring TextOf(HWND control)
{
    wchar_t text[1024] = {};
    ::GetWindowTextW(control, text, 1024);
    return text;
}

// The window's child of that class whose text passes the test.
HWND ChildWith(HWND window, const wchar_t* type, bool (*test)(const std::wstring&))
{
    struct Search {
        const wchar_t* type;
        bool (*test)(const std::wstring&);
        HWND found;
    } search{type, test, nullptr};
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM context) -> BOOL {
            auto& search = *reinterpret_cast<Search*>(context);
            wchar_t type[64] = {};
            ::GetClassNameW(child, type, 64);
            if (std::wstring(type) != search.type || !search.test(TextOf(child)))
                return TRUE;
            search.found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool IsCancel(const std::wstring& text) { return text == L"取消更新"; }
bool IsRefresh(const std::wstring& text) { return text == L"刷新列表"; }
bool IsStart(const std::wstring& text) { return text == L"开始游戏"; }
// The status line: the one static that is no list's caption.
bool IsStatus(const std::wstring& text) { return text != L"服务器组" && text != L"服务器" && text != L"线路"; }
bool TellsTheEnd(const std::wstring& text) { return text.starts_with(L"更新完成") || text.starts_with(L"更新已取消"); }
bool IsDetails(const std::wstring& text) { return text == L"详情"; }
bool TellsAFailure(const std::wstring& text)
{
    return text.starts_with(L"无法连接到") || text.starts_with(L"下载服务器列表时");
}

// Digits, Latin letters and Chinese characters, each on its own between
// blanks, so that the picture tells them apart.
constexpr wchar_t kGlyphProbe[] = L"0 1 2 3 4 5 6 7 8 9 A B C x y z 华 东 电 信";

// The window as the screen shows it, written as a 32-bit BMP.
bool SaveWindowPicture(HWND window, const wchar_t* path)
{
    RECT frame{};
    ::GetWindowRect(window, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // rows bottom up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    const bool copied = ::BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY) != FALSE;
    ::GdiFlush();
    bool written = false;
    if (copied && bits != nullptr) {
        const DWORD size = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
        BITMAPFILEHEADER header{};
        header.bfType = 0x4D42;
        header.bfOffBits = sizeof header + sizeof info.bmiHeader;
        header.bfSize = header.bfOffBits + size;
        if (FILE* file = _wfopen(path, L"wb")) {
            written = std::fwrite(&header, sizeof header, 1, file) == 1 &&
                      std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file) == 1 &&
                      std::fwrite(bits, size, 1, file) == 1;
            written = std::fclose(file) == 0 && written;
        }
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return written;
}

void PrintUtf8(const std::wstring& text)
{
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void PrintUpdateState(HWND window)
{
    const HWND start = ChildWith(window, L"Button", IsStart);
    std::printf("start %d\n", start != nullptr && ::IsWindowEnabled(start) ? 1 : 0);
    std::wstring status = TextOf(ChildWith(window, L"Static", IsStatus));
    for (wchar_t& c : status)
        if (c == L'\n' || c == L'\r')
            c = L' ';
    PrintUtf8(L"status " + status + L"\n");
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return Fail("usage: launcher_window_driver TITLE show|close");
    HWND window = nullptr;
    if (!WaitFor([&] { return (window = ::FindWindowW(kLauncherClass, argv[1])) != nullptr; }))
        return Fail("no launcher window with that title appeared");
    const std::wstring action = argv[2];
    if (action == L"close") {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (action == L"running") {
        // Running, and past its checks: the status names the entry.
        if (!WaitFor([&] {
                return ChildWith(window, L"Button", IsCancel) != nullptr &&
                       TextOf(ChildWith(window, L"Static", IsStatus)).starts_with(L"[");
            }))
            return Fail("no update started");
        PrintUpdateState(window);
        return 0;
    }
    if (action == L"cancel") {
        const HWND cancel = ChildWith(window, L"Button", IsCancel);
        if (cancel == nullptr)
            return Fail("no cancel button");
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(cancel), BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    if (action == L"finished") {
        if (!WaitFor([&] {
                return ChildWith(window, L"Button", IsRefresh) != nullptr &&
                       TellsTheEnd(TextOf(ChildWith(window, L"Static", IsStatus)));
            }))
            return Fail("the update did not end");
        PrintUpdateState(window);
        return 0;
    }
    if (action == L"glyphs") {
        if (argc < 4)
            return Fail("glyphs needs the picture's file");
        HWND status = nullptr;
        if (!WaitFor([&] {
                status = ChildWith(window, L"Static", IsStatus);
                return status != nullptr && TellsAFailure(TextOf(status));
            }))
            return Fail("the status line never told the failure");
        const HWND details = ChildWith(window, L"Button", IsDetails);
        std::printf("details %d\n", details != nullptr && ::IsWindowVisible(details) ? 1 : 0);
        PrintUtf8(L"status " + TextOf(status) + L"\n");
        ::SetForegroundWindow(window);
        ::SetWindowTextW(status, kGlyphProbe);
        ::InvalidateRect(status, nullptr, TRUE);
        ::UpdateWindow(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        if (!SaveWindowPicture(window, argv[3]))
            return Fail("the window's picture could not be taken");
        RECT frame{}, box{};
        ::GetWindowRect(window, &frame);
        ::GetWindowRect(status, &box);
        std::printf("status-box %ld %ld %ld %ld\n", box.left - frame.left, box.top - frame.top, box.right - frame.left,
                    box.bottom - frame.top);
        return 0;
    }
    if (action != L"show")
        return Fail("the action is show, running, cancel, finished, glyphs or close");
    // The title is set before the window makes its controls.
    std::vector<HWND> lists;
    if (!WaitFor([&] { return (lists = Lists(window)).size() == 3; }))
        return Fail("the window does not hold three lists");
    // The list has arrived when the group list has rows and one is selected.
    if (!WaitFor([&] { return Count(lists[0]) > 0 && Selected(lists[0]) >= 0; }))
        return Fail("the server list never arrived");
    std::printf("rows %d %d %d\n", Count(lists[0]), Count(lists[1]), Count(lists[2]));
    std::printf("shown %d %d %d\n", Selected(lists[0]), Selected(lists[1]), Selected(lists[2]));
    PrintUpdateState(window);
    return 0;
}

// Plays the player at a running launcher window, through the messages its
// controls answer from another process: waits for the list, picks a group,
// a server and a connection entry with the keyboard, and presses start.
//
//   launcher_window_driver TITLE pick GROUP SERVER ENTRY
//       prints "shown G S E", the rows selected when the list arrived (-1 for
//       none), picks the rows and presses the start button
//   launcher_window_driver TITLE close
//       closes the window as its close button does
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

struct Controls {
    std::vector<HWND> lists; // groups, servers, entries: in the order the window made them
    HWND start = nullptr;
    HWND status = nullptr; // the status line: the last static text
};

Controls Find(HWND window)
{
    Controls found;
    // Descendants too (each list's header), which match neither.
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM context) -> BOOL {
            auto& controls = *reinterpret_cast<Controls*>(context);
            wchar_t type[64] = {};
            ::GetClassNameW(child, type, 64);
            if (std::wstring(type) == WC_LISTVIEWW)
                controls.lists.push_back(child);
            // The start button is the last button the window makes.
            else if (std::wstring(type) == L"Button")
                controls.start = child;
            else if (std::wstring(type) == L"Static")
                controls.status = child;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring Text(HWND control)
{
    wchar_t text[1024] = {};
    ::GetWindowTextW(control, text, 1024);
    return text;
}

// The text of a message box that the window's thread shows, or nothing.
std::wstring MessageBoxText(HWND window)
{
    struct Search {
        HWND owner;
        std::wstring text;
    } search{window, {}};
    ::EnumThreadWindows(
        ::GetWindowThreadProcessId(window, nullptr),
        [](HWND candidate, LPARAM context) -> BOOL {
            auto& found = *reinterpret_cast<Search*>(context);
            wchar_t type[16] = {};
            ::GetClassNameW(candidate, type, 16);
            if (std::wstring(type) != L"#32770" || !::IsWindowVisible(candidate))
                return TRUE;
            // The message is the box's static text that is not its icon.
            ::EnumChildWindows(
                candidate,
                [](HWND child, LPARAM context) -> BOOL {
                    wchar_t kind[16] = {};
                    ::GetClassNameW(child, kind, 16);
                    if (std::wstring(kind) == L"Static")
                        *reinterpret_cast<std::wstring*>(context) += Text(child);
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&found.text));
            return found.text.empty();
        },
        reinterpret_cast<LPARAM>(&search));
    return search.text;
}

// Each control's kind, state and text, for a failure's report.
void Describe(HWND window)
{
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM) -> BOOL {
            wchar_t kind[32] = {};
            ::GetClassNameW(child, kind, 32);
            std::fwprintf(stderr, L"  %ls%ls: %ls\n", kind, ::IsWindowEnabled(child) ? L"" : L" (disabled)",
                          Text(child).c_str());
            return TRUE;
        },
        0);
}

int Count(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

int Selected(HWND list) { return static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED)); }

void Key(HWND list, WPARAM key)
{
    ::PostMessageW(list, WM_KEYDOWN, key, 1);
    ::PostMessageW(list, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

// The row chosen as a player does: Home, then Down as often as needed.
bool Pick(HWND list, int row)
{
    if (!WaitFor([&] { return Count(list) > row; }))
        return false;
    Key(list, VK_HOME);
    for (int i = 0; i < row; ++i)
        Key(list, VK_DOWN);
    return WaitFor([&] { return Selected(list) == row; }, std::chrono::seconds(10));
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return Fail("usage: launcher_window_driver TITLE pick GROUP SERVER ENTRY | TITLE close");
    HWND window = nullptr;
    if (!WaitFor([&] { return (window = ::FindWindowW(kLauncherClass, argv[1])) != nullptr; }))
        return Fail("no launcher window with that title appeared");
    const std::wstring action = argv[2];
    if (action == L"close") {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (action != L"pick" || argc != 6)
        return Fail("pick wants GROUP SERVER ENTRY");
    // The title is set before the window makes its controls.
    Controls controls;
    if (!WaitFor([&] {
            controls = Find(window);
            return controls.lists.size() == 3 && controls.start != nullptr;
        })) {
        std::fprintf(stderr, "launcher_window_driver: found %zu lists%s\n", controls.lists.size(),
                     controls.start ? " and buttons" : ", no button");
        return Fail("the window does not hold three lists and a start button");
    }
    // The list has arrived when the group list has rows and one is selected.
    if (!WaitFor([&] { return Count(controls.lists[0]) > 0 && Selected(controls.lists[0]) >= 0; }))
        return Fail("the server list never arrived");
    std::printf("shown %d %d %d\n", Selected(controls.lists[0]), Selected(controls.lists[1]),
                Selected(controls.lists[2]));
    std::fflush(stdout);
    for (int i = 0; i < 3; ++i)
        if (!Pick(controls.lists[static_cast<std::size_t>(i)], _wtoi(argv[3 + i])))
            return Fail("a row could not be picked");
    if (!WaitFor([&] { return ::IsWindowEnabled(controls.start) != FALSE; }, std::chrono::seconds(10)))
        return Fail("the start button stayed disabled");
    // What a click on the enabled button tells its window. Not BM_CLICK: the
    // button takes the mouse capture for it, which Wine grants only to the
    // active window, and on a display without a window manager that one may
    // not be. Posted: a refusal shows a message box that a sent one would wait on.
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(controls.start), BN_CLICKED),
                   reinterpret_cast<LPARAM>(controls.start));
    // The status line tells a start; a refusal is a message box of the window's thread.
    std::wstring refusal;
    std::wstring status;
    WaitFor([&] {
        refusal = MessageBoxText(window);
        status = Text(controls.status);
        return !refusal.empty() || status.starts_with(L"游戏已启动");
    });
    if (!refusal.empty()) {
        std::fwprintf(stderr, L"launcher_window_driver: the launcher says: %ls\n", refusal.c_str());
        return Fail("pressing start was refused");
    }
    if (!status.starts_with(L"游戏已启动")) {
        std::fwprintf(stderr, L"launcher_window_driver: the status line says: %ls\n", status.c_str());
        Describe(window);
        return Fail("the launcher did not say that the game started");
    }
    return 0;
}

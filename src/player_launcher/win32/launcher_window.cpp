#include "launcher_window.h"

#include "base/error.h"
#include "base/text.h"
#include "client_start.h"
#include "list_download.h"
#include "player_launcher/core/last_server.h"
#include "player_launcher/core/list_source.h"
#include "player_launcher/core/player_messages.h"
#include "player_launcher/core/text_fit.h"
#include "player_launcher/core/texts.h"
#include "player_launcher/core/web_address.h"
#include "self_image.h"
#include "wide.h"
#include "window_jobs.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <iterator>

namespace tarnwick::player {
namespace {

enum ControlId : int {
    kLink = 100,
    kHome,
    kPayment,
    kContact,
    kGroups,
    kServers,
    kEntries,
    kStatus,
    kProgress,
    kTotalProgress,
    kRefresh,
    kStart,
    kDetails,
};

// The jobs' events: lParam a ListEvent or an UpdateEvent that the window takes over.
constexpr UINT kListMessage = WM_APP + 1;
constexpr UINT kUpdateMessage = WM_APP + 2;

constexpr wchar_t kClassName[] = L"TarnwickLauncherWindow";
constexpr int kClientWidth = 760;
constexpr int kClientHeight = 490;

// The status line's box, and the button beside it that shows the whole of
// a text the box cannot hold.
constexpr RECT kStatusBox{10, 430, 452, 30};
constexpr RECT kDetailsBox{466, 433, 44, 24};

// The system's message font, as the system's own dialogs use it: on Windows
// it links the Chinese fonts, and it exists in every Wine prefix, where a
// font asked for by name (SimSun) may not, and what stands in for it may
// lack the Latin letters.
//
// Where that font has no Chinese characters of its own (Wine's has none, and
// finds none linked in a fresh prefix), the same size is asked for with the
// Chinese character set, which the system maps to a Chinese font it has; a
// font is taken only when it has glyphs for Latin letters, digits and Chinese
// characters alike.
bool DrawsAll(HFONT font)
{
    static constexpr wchar_t kSample[] = L"0123456789AZaz服务器列表已启动";
    constexpr int kLength = static_cast<int>(std::size(kSample)) - 1;
    const HDC dc = ::CreateCompatibleDC(nullptr);
    const HGDIOBJ old = ::SelectObject(dc, font);
    WORD glyphs[kLength] = {};
    const bool all = ::GetGlyphIndicesW(dc, kSample, kLength, glyphs, GGI_MARK_NONEXISTING_GLYPHS) == kLength &&
                     std::none_of(std::begin(glyphs), std::end(glyphs), [](WORD glyph) { return glyph == 0xFFFF; });
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return all;
}

HFONT MessageFont()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTW wanted{};
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        wanted = metrics.lfMessageFont;
    else
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof wanted, &wanted);
    const HFONT message = ::CreateFontIndirectW(&wanted);
    if (message == nullptr || DrawsAll(message))
        return message;
    LOGFONTW chinese = wanted;
    chinese.lfCharSet = GB2312_CHARSET;
    for (const wchar_t* face : {L"", L"Microsoft YaHei UI", L"Microsoft YaHei", L"SimSun"}) {
        ::lstrcpynW(chinese.lfFaceName, face, LF_FACESIZE);
        const HFONT font = ::CreateFontIndirectW(&chinese);
        if (font != nullptr && DrawsAll(font)) {
            ::DeleteObject(message);
            return font;
        }
        if (font != nullptr)
            ::DeleteObject(font);
    }
    return message;
}

// The status text laid out in the status box with the window's font.
FittedText FitStatus(HWND status, HFONT font)
{
    RECT box{};
    ::GetClientRect(status, &box);
    const HDC dc = ::GetDC(status);
    const HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    const int lineHeight = std::max<int>(1, static_cast<int>(metrics.tmHeight + metrics.tmExternalLeading));
    const int length = ::GetWindowTextLengthW(status);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(status, text.data(), length + 1)));
    const FittedText fitted = FitText(Utf16(text), box.right - box.left,
                                      static_cast<std::size_t>(std::max<int>(1, static_cast<int>(box.bottom - box.top) / lineHeight)),
                                      [dc](std::u16string_view run) {
                                          SIZE size{};
                                          ::GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(run.data()),
                                                                  static_cast<int>(run.size()), &size);
                                          return static_cast<int>(size.cx);
                                      });
    ::SelectObject(dc, old);
    ::ReleaseDC(status, dc);
    return fitted;
}

void DrawStatus(const DRAWITEMSTRUCT& item, HFONT font)
{
    const HDC dc = item.hDC;
    ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    const FittedText fitted = FitStatus(item.hwndItem, font);
    const HGDIOBJ old = ::SelectObject(dc, font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    int y = item.rcItem.top;
    for (const std::u16string& line : fitted.lines) {
        ::TextOutW(dc, item.rcItem.left, y, reinterpret_cast<const wchar_t*>(line.c_str()), static_cast<int>(line.size()));
        y += metrics.tmHeight + metrics.tmExternalLeading;
    }
    ::SelectObject(dc, old);
}

void SelectRow(HWND list, std::size_t row)
{
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, static_cast<int>(row), LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, static_cast<int>(row), FALSE);
}

void AddColumn(HWND list, int index, const wchar_t* title, int width)
{
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(title);
    column.cx = width;
    ListView_InsertColumn(list, index, &column);
}

} // namespace

LauncherWindow::LauncherWindow(HINSTANCE instance, LauncherSettings settings)
    : instance_(instance), settings_(std::move(settings))
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_LINK_CLASS};
    ::InitCommonControlsEx(&controls);
    font_ = MessageFont();
}

LauncherWindow::~LauncherWindow()
{
    // The jobs go first: each stops and joins its thread.
    listJob_.reset();
    updateJob_.reset();
    if (font_ != nullptr)
        ::DeleteObject(font_);
}

int LauncherWindow::Run(int show)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &LauncherWindow::Procedure;
    windowClass.hInstance = instance_;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassExW(&windowClass);

    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    const std::wstring title = Wide(settings_.title);
    if (!::CreateWindowExW(0, kClassName, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                           frame.bottom - frame.top, nullptr, nullptr, instance_, this))
        return 1;
    ::ShowWindow(window_, show);
    ::UpdateWindow(window_);
    StartDownload();

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (::IsDialogMessageW(window_, &message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}

LRESULT CALLBACK LauncherWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<LauncherWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<LauncherWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return ::DefWindowProcW(window, message, wParam, lParam);
    // Nothing may unwind through the system's code: a failure of one action
    // is told, and the window goes on.
    try {
        return self->Handle(message, wParam, lParam);
    } catch (const std::exception& error) {
        self->Warn(ActionFailedText(error));
        return 0;
    }
}

LRESULT LauncherWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: CreateControls(); return 0;
    case kListMessage: ShowList(TakeEvent<ListEvent>(lParam)); return 0;
    case kUpdateMessage: ShowUpdate(TakeEvent<UpdateEvent>(lParam)); return 0;
    case WM_NOTIFY: return Notify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_DRAWITEM:
        if (static_cast<int>(wParam) != kStatus)
            break;
        DrawStatus(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), font_);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            break;
        switch (LOWORD(wParam)) {
        case kHome:
        case kPayment:
        case kContact:
            if (list_)
                OpenPage(LOWORD(wParam) == kHome      ? list_->web.home
                         : LOWORD(wParam) == kPayment ? list_->web.payment2
                                                      : list_->web.contactGm);
            return 0;
        case kRefresh:
            if (updating_)
                CancelUpdate();
            else
                StartDownload();
            return 0;
        case kStart: StartGame(); return 0;
        case kDetails: ShowDetails(); return 0;
        default: break;
        }
        break;
    case WM_DESTROY:
        // Stopped between reads, never in the middle of a file; the window
        // is gone from the screen meanwhile.
        listJob_.reset();
        updateJob_.reset();
        updating_ = false;
        ::PostQuitMessage(0);
        return 0;
    default: break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

HWND LauncherWindow::Control(const wchar_t* type, const std::wstring& text, DWORD style, int id, RECT box)
{
    const HWND control = ::CreateWindowExW(0, type, text.c_str(), WS_CHILD | WS_VISIBLE | style, box.left, box.top,
                                           box.right, box.bottom, window_,
                                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return control;
}

void LauncherWindow::CreateControls()
{
    // Boxes are {x, y, width, height} at 96 dpi.
    link_ = Control(WC_LINK, WideOf(kLinkLoading), WS_TABSTOP, kLink, {10, 10, 740, 20});
    home_ = Control(L"BUTTON", L"官方网站", WS_TABSTOP | BS_PUSHBUTTON, kHome, {10, 36, 100, 28});
    payment_ = Control(L"BUTTON", L"充值中心", WS_TABSTOP | BS_PUSHBUTTON, kPayment, {118, 36, 100, 28});
    contact_ = Control(L"BUTTON", L"联系GM", WS_TABSTOP | BS_PUSHBUTTON, kContact, {226, 36, 100, 28});
    Control(L"STATIC", L"服务器组", SS_NOPREFIX, 0, {10, 76, 210, 16});
    Control(L"STATIC", L"服务器", SS_NOPREFIX, 0, {230, 76, 230, 16});
    Control(L"STATIC", L"线路", SS_NOPREFIX, 0, {470, 76, 280, 16});
    constexpr DWORD listStyle =
        WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA | LVS_NOSORTHEADER;
    groups_ = Control(WC_LISTVIEWW, L"", listStyle | LVS_NOCOLUMNHEADER, kGroups, {10, 94, 210, 330});
    servers_ = Control(WC_LISTVIEWW, L"", listStyle | LVS_NOCOLUMNHEADER, kServers, {230, 94, 230, 330});
    entries_ = Control(WC_LISTVIEWW, L"", listStyle, kEntries, {470, 94, 280, 330});
    for (HWND list : {groups_, servers_, entries_})
        ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    AddColumn(groups_, 0, L"服务器组", 185);
    AddColumn(servers_, 0, L"服务器", 205);
    AddColumn(entries_, 0, L"名称", 100);
    AddColumn(entries_, 1, L"地址", 110);
    AddColumn(entries_, 2, L"端口", 50);
    // Drawn by the window: wrapped where Chinese text may break, ended with
    // "…" when it does not fit; its window text stays the whole message.
    status_ = Control(L"STATIC", L"", SS_NOPREFIX | SS_OWNERDRAW, kStatus, kStatusBox);
    details_ = Control(L"BUTTON", L"详情", WS_TABSTOP | BS_PUSHBUTTON, kDetails, kDetailsBox);
    ::ShowWindow(details_, SW_HIDE);
    progress_ = Control(PROGRESS_CLASSW, L"", 0, kProgress, {10, 462, 500, 10});
    totalProgress_ = Control(PROGRESS_CLASSW, L"", 0, kTotalProgress, {10, 476, 500, 10});
    ::SendMessageW(totalProgress_, PBM_SETRANGE32, 0, 1000);
    refresh_ = Control(L"BUTTON", L"刷新列表", WS_TABSTOP | BS_PUSHBUTTON, kRefresh, {520, 440, 100, 32});
    start_ = Control(L"BUTTON", settings_.gameClient ? L"开始游戏" : L"未配置游戏客户端",
                     WS_TABSTOP | BS_DEFPUSHBUTTON, kStart, {630, 440, 120, 32});
    ::ShowWindow(progress_, SW_HIDE);
    ::ShowWindow(totalProgress_, SW_HIDE);
    UpdateButtons();
}

void LauncherWindow::StartDownload()
{
    if (downloading_)
        return;
    if (!settings_.listUrl) {
        ShowStatus(FailureText({DownloadProblem::NotStamped, 0, {}}));
        ::SetWindowTextW(link_, WideOf(kLinkNoList).c_str());
        return;
    }
    downloading_ = true;
    ShowStatus(ConnectingText(ShownUtf8(*settings_.listUrl)));
    UpdateButtons();
    // The last job has ended (its list came): taking its place joins its thread.
    listJob_ = std::make_unique<ListJob>(window_, kListMessage, ++generation_, *settings_.listUrl, settings_.trust);
}

void LauncherWindow::ShowProgress(std::uint64_t received, std::optional<std::uint64_t> total)
{
    if (!downloading_)
        return;
    ::ShowWindow(progress_, SW_SHOW);
    // A marquee when the length is unknown; kilobytes keep the range within an int.
    const bool known = total && *total > 0;
    const LONG_PTR style = ::GetWindowLongPtrW(progress_, GWL_STYLE);
    ::SetWindowLongPtrW(progress_, GWL_STYLE, known ? style & ~PBS_MARQUEE : style | PBS_MARQUEE);
    if (known) {
        ::SendMessageW(progress_, PBM_SETMARQUEE, FALSE, 0);
        ::SendMessageW(progress_, PBM_SETRANGE32, 0, static_cast<LPARAM>(*total / 1024 + 1));
        ::SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(received / 1024), 0);
    } else {
        ::SendMessageW(progress_, PBM_SETMARQUEE, TRUE, 50);
    }
    ShowStatus(ProgressText(received, total));
}

void LauncherWindow::ShowList(std::unique_ptr<ListEvent> event)
{
    if (event->generation != generation_)
        return;
    if (event->kind == ListEvent::Kind::Progress) {
        ShowProgress(event->received, event->total);
        return;
    }
    downloading_ = false;
    ::ShowWindow(progress_, SW_HIDE);
    if (!event->result.list) {
        // The list shown before (if any) stays: it was whole when it came.
        ShowStatus(event->thrown.empty() ? FailureText(event->result.failure) : event->thrown);
        if (!list_)
            ::SetWindowTextW(link_, WideOf(kLinkNoList).c_str());
        UpdateButtons();
        return;
    }
    list_ = std::move(event->result.list);
    choice_.reset();
    std::size_t servers = 0;
    for (const GroupView& group : list_->groups)
        servers += group.servers.size();
    const bool refreshed = event->result.origin != ListOrigin::NotRefreshed;
    ShowStatus(refreshed ? ListShownText(list_->groups.size(), servers)
                         : KeptListShownText(list_->groups.size(), servers, event->result.failure));

    const std::string& frame = list_->web.loginFrame;
    std::wstring shown = WideOf(frame);
    std::erase_if(shown, [](wchar_t c) { return c == L'<' || c == L'>'; });
    ::SetWindowTextW(link_, frame.empty() ? WideOf(kLinkNotSet).c_str() : (WideOf(kLinkLabel) + L"<a>" + shown + L"</a>").c_str());

    ListView_SetItemCountEx(groups_, static_cast<int>(list_->groups.size()), 0);
    ListView_SetItemCountEx(servers_, 0, 0);
    ListView_SetItemCountEx(entries_, 0, 0);
    const auto last = ReadLastServer(LastServerFile());
    const std::optional<Choice> remembered = last ? FindChoice(*list_, *last) : std::nullopt;
    if (remembered) {
        SelectGroup(remembered->group);
        SelectServer(remembered->server);
        SelectEntry(remembered->entry);
    } else if (!list_->groups.empty()) {
        SelectGroup(0);
    }
    UpdateButtons();
    // The kept list shown for want of a network runs no updates: they would
    // fetch what the list's fetch could not reach. The game starts from it.
    if (refreshed)
        StartUpdate();
}

void LauncherWindow::ShowStatus(const std::string& utf8)
{
    ::SetWindowTextW(status_, WideOf(utf8).c_str());
    ::InvalidateRect(status_, nullptr, TRUE);
    // The button only when the box cannot hold the whole text.
    const FittedText fitted = FitStatus(status_, font_);
    ::ShowWindow(details_, fitted.whole ? SW_HIDE : SW_SHOW);
}

void LauncherWindow::ShowDetails() const
{
    const int length = ::GetWindowTextLengthW(status_);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(status_, text.data(), length + 1)));
    const std::wstring title = Wide(settings_.title);
    ::MessageBoxW(window_, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
}

void LauncherWindow::SelectGroup(std::size_t group)
{
    if (!list_ || group >= list_->groups.size())
        return;
    choice_ = Choice{group, 0, 0};
    SelectRow(groups_, group);
    const auto& servers = list_->groups[group].servers;
    ListView_SetItemCountEx(servers_, static_cast<int>(servers.size()), 0);
    ListView_SetItemCountEx(entries_, 0, 0);
    ::InvalidateRect(servers_, nullptr, TRUE);
    if (!servers.empty())
        SelectServer(0);
    UpdateButtons();
}

void LauncherWindow::SelectServer(std::size_t server)
{
    if (!choice_ || server >= list_->groups[choice_->group].servers.size())
        return;
    choice_->server = server;
    choice_->entry = 0;
    SelectRow(servers_, server);
    const auto& entries = list_->groups[choice_->group].servers[server].entries;
    ListView_SetItemCountEx(entries_, static_cast<int>(entries.size()), 0);
    ::InvalidateRect(entries_, nullptr, TRUE);
    if (!entries.empty())
        SelectRow(entries_, 0);
    UpdateButtons();
}

void LauncherWindow::SelectEntry(std::size_t entry)
{
    if (!choice_ || entry >= list_->groups[choice_->group].servers[choice_->server].entries.size())
        return;
    choice_->entry = entry;
    SelectRow(entries_, entry);
}

void LauncherWindow::UpdateButtons()
{
    const bool loaded = list_.has_value();
    ::EnableWindow(home_, loaded && !list_->web.home.empty());
    ::EnableWindow(payment_, loaded && !list_->web.payment2.empty());
    ::EnableWindow(contact_, loaded && !list_->web.contactGm.empty());
    const bool cancelling = updating_ && updateJob_->Cancelled();
    ::SetWindowTextW(refresh_, !updating_ ? L"刷新列表" : cancelling ? L"正在取消…" : L"取消更新");
    ::EnableWindow(refresh_, updating_ ? !cancelling : !downloading_ && settings_.listUrl.has_value());
    const bool chosen = loaded && choice_ && choice_->server < list_->groups[choice_->group].servers.size();
    ::EnableWindow(start_, settings_.gameClient && chosen && !updating_);
}

std::wstring LauncherWindow::ItemText(HWND list, int item, int column) const
{
    if (!list_ || item < 0)
        return {};
    const auto row = static_cast<std::size_t>(item);
    if (list == groups_)
        return row < list_->groups.size() ? WideOf(list_->groups[row].name) : std::wstring();
    if (!choice_)
        return {};
    const auto& servers = list_->groups[choice_->group].servers;
    if (list == servers_)
        return row < servers.size() ? WideOf(servers[row].showName) : std::wstring();
    if (choice_->server >= servers.size())
        return {};
    const auto& entries = servers[choice_->server].entries;
    if (row >= entries.size())
        return {};
    const Connection& entry = entries[row];
    return WideOf(column == 0 ? entry.name : column == 1 ? entry.addr : entry.port);
}

LRESULT LauncherWindow::Notify(const NMHDR& header)
{
    if (header.idFrom == kLink && (header.code == NM_CLICK || header.code == NM_RETURN)) {
        if (list_)
            OpenPage(list_->web.loginFrame);
        return 0;
    }
    const HWND list = header.hwndFrom;
    if (list != groups_ && list != servers_ && list != entries_)
        return 0;
    switch (header.code) {
    case LVN_GETDISPINFOW: {
        auto& item = reinterpret_cast<NMLVDISPINFOW&>(const_cast<NMHDR&>(header)).item;
        if ((item.mask & LVIF_TEXT) != 0 && item.cchTextMax > 0)
            ::lstrcpynW(item.pszText, ItemText(list, item.iItem, item.iSubItem).c_str(), item.cchTextMax);
        return 0;
    }
    case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        const bool selected = (change.uNewState & LVIS_SELECTED) != 0 && (change.uOldState & LVIS_SELECTED) == 0;
        if (!selected || change.iItem < 0 || !choice_)
            return 0;
        const auto row = static_cast<std::size_t>(change.iItem);
        if (list == groups_ && row != choice_->group)
            SelectGroup(row);
        else if (list == servers_ && row != choice_->server)
            SelectServer(row);
        else if (list == entries_)
            choice_->entry = row;
        return 0;
    }
    case NM_DBLCLK:
        if (list != groups_ && reinterpret_cast<const NMITEMACTIVATE&>(header).iItem >= 0 && ::IsWindowEnabled(start_))
            StartGame();
        return 0;
    default: return 0;
    }
}

void LauncherWindow::OpenPage(const std::string& address)
{
    // The address comes from the network: only http and https reach the shell.
    const CheckedAddress checked = CheckWebAddress(ShownUtf16(address));
    if (!checked.Allowed()) {
        Warn(RefusalText(checked));
        return;
    }
    // U+FFFD in place of what did not convert would open another page.
    if (address.find(kReplacementUtf8) != std::string::npos) {
        Warn(PageNotTextText(address));
        return;
    }
    const std::wstring page = Wide(checked.address);
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(window_, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32)
        Warn(BrowserFailedText(static_cast<long long>(result), ShownUtf8(checked.address)));
}

void LauncherWindow::StartGame()
{
    if (!list_ || !choice_ || updating_)
        return;
    Started started;
    if (const std::string refusal = StartChosen(settings_.gameClient, *list_, *choice_, started); !refusal.empty()) {
        Warn(refusal);
        return;
    }
    ShowStatus(started.notRemembered.empty() ? started.line : started.notRemembered);
}

void LauncherWindow::StartUpdate()
{
    if (updating_ || !list_ || list_->updates.empty())
        return;
    updating_ = true;
    firstFailure_.reset();
    meter_.emplace(list_->updates.size(), UpdateMeter::Clock::now());
    // The list's download may have left the bar a marquee.
    ::SetWindowLongPtrW(progress_, GWL_STYLE, ::GetWindowLongPtrW(progress_, GWL_STYLE) & ~PBS_MARQUEE);
    ::SendMessageW(progress_, PBM_SETMARQUEE, FALSE, 0);
    ::SendMessageW(progress_, PBM_SETRANGE32, 0, 1000);
    ::SendMessageW(progress_, PBM_SETPOS, 0, 0);
    ::SendMessageW(totalProgress_, PBM_SETPOS, 0, 0);
    ::ShowWindow(progress_, SW_SHOW);
    ::ShowWindow(totalProgress_, SW_SHOW);
    ShowStatus(kCheckingUpdates);
    // The last run's job has ended: taking its place joins its thread.
    updateJob_ = std::make_unique<UpdateJob>(window_, kUpdateMessage, list_->updates,
                                             settings_.trust.Required() ? Pinning::Required : Pinning::WhereGiven);
    UpdateButtons();
}

void LauncherWindow::CancelUpdate()
{
    if (!updating_)
        return;
    updateJob_->Cancel();
    ShowStatus(kCancellingUpdate);
    UpdateButtons();
}

void LauncherWindow::ShowUpdate(std::unique_ptr<UpdateEvent> event)
{
    if (!updating_ || !meter_)
        return;
    using Kind = UpdateEvent::Kind;
    const bool cancelled = updateJob_->Cancelled();
    switch (event->kind) {
    case Kind::Started: meter_->EntryStarted(event->index, std::move(event->hint), event->at); break;
    case Kind::Bytes: meter_->Bytes(event->received, event->total, event->at); break;
    case Kind::Done:
        meter_->EntryDone(event->report);
        if (event->report.outcome == EntryOutcome::Failed && !firstFailure_)
            firstFailure_ = event->report;
        break;
    case Kind::Finished: {
        updating_ = false;
        updateJob_.reset();
        if (event->handedOff) {
            // The new launcher opens the window again in its place.
            ::DestroyWindow(window_);
            return;
        }
        ::ShowWindow(progress_, SW_HIDE);
        ::ShowWindow(totalProgress_, SW_HIDE);
        std::string summary = cancelled ? std::string(kUpdateCancelled) : meter_->Summary();
        if (!event->thrown.empty())
            summary += "\n" + UpdateStoppedText(event->thrown);
        else if (firstFailure_ && list_ && firstFailure_->index < list_->updates.size())
            summary += "\n" + ReportLine(*firstFailure_, list_->updates[firstFailure_->index]);
        ShowStatus(summary);
        UpdateButtons();
        return;
    }
    }
    if (!cancelled)
        ShowStatus(meter_->FileLine() + "\n" + meter_->OverallLine());
    ::SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(meter_->FilePermille()), 0);
    ::SendMessageW(totalProgress_, PBM_SETPOS, static_cast<WPARAM>(meter_->OverallPermille()), 0);
}

void LauncherWindow::Warn(const std::string& utf8) const
{
    const std::wstring title = Wide(settings_.title);
    ::MessageBoxW(window_, WideOf(utf8).c_str(), title.c_str(), MB_OK | MB_ICONWARNING);
}

} // namespace tarnwick::player

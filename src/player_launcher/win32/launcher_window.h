#pragma once

#include "player_launcher/core/server_list.h"
#include "player_launcher/core/stamped_strings.h"
#include "player_launcher/core/update_meter.h"
#include "window_jobs.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>

namespace tarnwick::player {

// The launcher's window: the operator's pages, the groups, servers and
// connection entries of the fetched list, and the start button. The list is
// fetched and read on a worker thread; the window shows it only once it read
// whole, so a failure never leaves a half-filled list. Then the update list
// runs on another worker thread, with its progress shown; the game cannot be
// started meanwhile, and the player may cancel it.
class LauncherWindow {
public:
    LauncherWindow(HINSTANCE instance, LauncherSettings settings);
    ~LauncherWindow();
    LauncherWindow(const LauncherWindow&) = delete;
    LauncherWindow& operator=(const LauncherWindow&) = delete;

    // Shows the window, starts the download and runs until it is closed.
    int Run(int show);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    HWND Control(const wchar_t* type, const std::wstring& text, DWORD style, int id, RECT box);
    void StartDownload();
    void ShowProgress(std::uint64_t received, std::optional<std::uint64_t> total);
    void ShowList(std::unique_ptr<ListEvent> event);
    void ShowStatus(const std::string& utf8);
    void ShowDetails() const;
    void StartUpdate();
    void CancelUpdate();
    void ShowUpdate(std::unique_ptr<UpdateEvent> event);

    void SelectGroup(std::size_t group);
    void SelectServer(std::size_t server);
    void SelectEntry(std::size_t entry);
    void UpdateButtons();
    LRESULT Notify(const NMHDR& header);
    std::wstring ItemText(HWND list, int item, int column) const;

    void OpenPage(const std::string& address);
    void StartGame();
    void Warn(const std::string& utf8) const;

    HINSTANCE instance_;
    LauncherSettings settings_;
    HWND window_ = nullptr;
    HWND link_ = nullptr;
    HWND home_ = nullptr;
    HWND payment_ = nullptr;
    HWND contact_ = nullptr;
    HWND groups_ = nullptr;
    HWND servers_ = nullptr;
    HWND entries_ = nullptr;
    HWND status_ = nullptr;
    HWND details_ = nullptr;
    HWND progress_ = nullptr;
    HWND totalProgress_ = nullptr;
    HWND refresh_ = nullptr;
    HWND start_ = nullptr;
    HFONT font_ = nullptr;

    std::optional<ServerList> list_;
    std::optional<Choice> choice_;
    // Each download has its number; a late result of an earlier one is dropped.
    int generation_ = 0;
    bool downloading_ = false;
    std::unique_ptr<ListJob> listJob_;

    // The update run: stopped and joined before the window goes, so that
    // closing the window mid-update stops it between reads, never in the
    // middle of a file.
    bool updating_ = false;
    std::unique_ptr<UpdateJob> updateJob_;
    std::optional<UpdateMeter> meter_;
    std::optional<EntryReport> firstFailure_;
};

} // namespace tarnwick::player

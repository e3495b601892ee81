#pragma once

#include "list_download.h"
#include "player_launcher/core/update_meter.h"
#include "player_launcher/core/updater.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// The window's two workers: fetching the list, and running the update list.
// Each job owns its thread and joins it when it goes, so no thread outlives
// the window's object; each posts typed events that the window only shows.
// An event is posted as a message whose lParam owns the event; the window
// takes it over with TakeEvent.
namespace tarnwick::player {

// Progress is posted at most this often.
inline constexpr auto kProgressInterval = std::chrono::milliseconds(100);

template <class Event>
void PostEvent(HWND window, UINT message, std::unique_ptr<Event> event)
{
    if (::PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(event.get())))
        event.release();
}

template <class Event>
std::unique_ptr<Event> TakeEvent(LPARAM lParam)
{
    return std::unique_ptr<Event>(reinterpret_cast<Event*>(lParam));
}

struct ListEvent {
    enum class Kind { Progress, Done };
    Kind kind = Kind::Progress;
    int generation = 0; // the job's: a late event of an earlier job is dropped
    std::uint64_t received = 0;
    std::optional<std::uint64_t> total;
    FetchedList result; // Done
    std::string thrown; // Done: what the player is told of a failure that raised
};

// Fetches and checks the list (FetchServerList, as "/list" does): the kept
// list when the server says it is unchanged or the network fails.
class ListJob {
public:
    ListJob(HWND window, UINT message, int generation, std::u16string url, ListTrustKeys trust);
    ~ListJob();
    ListJob(const ListJob&) = delete;
    ListJob& operator=(const ListJob&) = delete;

private:
    std::atomic<bool> cancelled_{false};
    std::thread thread_;
};

struct UpdateEvent {
    enum class Kind { Started, Bytes, Done, Finished };
    Kind kind = Kind::Started;
    UpdateMeter::Clock::time_point at = UpdateMeter::Clock::now();
    std::size_t index = 0;
    std::string hint;
    std::uint64_t received = 0;
    std::optional<std::uint64_t> total;
    EntryReport report;
    std::string thrown;     // Finished: what the player is told of a failure that raised
    bool handedOff = false; // Finished: a new launcher waits for this one to end
};

// Runs the update list (RunUpdates, as "/update" does). Cancelling stops it
// between reads, never in the middle of writing a file.
class UpdateJob {
public:
    UpdateJob(HWND window, UINT message, std::vector<UpdateItem> entries, Pinning pinning);
    ~UpdateJob();
    UpdateJob(const UpdateJob&) = delete;
    UpdateJob& operator=(const UpdateJob&) = delete;

    void Cancel() { cancelled_.store(true); }
    bool Cancelled() const { return cancelled_.load(); }

private:
    std::atomic<bool> cancelled_{false};
    std::thread thread_;
};

} // namespace tarnwick::player

#include "window_jobs.h"

#include "player_launcher/core/player_messages.h"
#include "self_image.h"
#include "self_update.h"

namespace tarnwick::player {

ListJob::ListJob(HWND window, UINT message, int generation, std::u16string url, ListTrustKeys trust)
{
    // The thread owns copies of all it uses but the flag, which outlives it.
    thread_ = std::thread([this, window, message, generation, url = std::move(url), trust = std::move(trust)] {
        UpdateMeter::Clock::time_point shown{};
        const DownloadProgress progress = [&](std::uint64_t received, std::optional<std::uint64_t> total) {
            if (UpdateMeter::Clock::now() - shown < kProgressInterval)
                return;
            shown = UpdateMeter::Clock::now();
            auto event = std::make_unique<ListEvent>();
            event->generation = generation;
            event->received = received;
            event->total = total;
            PostEvent(window, message, std::move(event));
        };
        auto done = std::make_unique<ListEvent>();
        done->kind = ListEvent::Kind::Done;
        done->generation = generation;
        try {
            done->result = FetchServerList(url, trust, OwnListState(), progress, &cancelled_);
        } catch (const std::exception& error) {
            done->thrown = ExceptionText(error);
        }
        if (!cancelled_.load())
            PostEvent(window, message, std::move(done));
    });
}

ListJob::~ListJob()
{
    cancelled_.store(true);
    if (thread_.joinable())
        thread_.join();
}

UpdateJob::UpdateJob(HWND window, UINT message, std::vector<UpdateItem> entries, Pinning pinning)
{
    thread_ = std::thread([this, window, message, entries = std::move(entries), pinning] {
        using Kind = UpdateEvent::Kind;
        const auto post = [window, message](Kind kind, auto&& fill) {
            auto event = std::make_unique<UpdateEvent>();
            event->kind = kind;
            fill(*event);
            PostEvent(window, message, std::move(event));
        };
        UpdateMeter::Clock::time_point shown{};
        UpdateProgress progress;
        progress.entryStarted = [&](std::size_t index, const std::string& hint) {
            post(Kind::Started, [&](UpdateEvent& event) {
                event.index = index;
                event.hint = hint;
            });
        };
        progress.bytes = [&](std::uint64_t received, std::optional<std::uint64_t> total) {
            if (UpdateMeter::Clock::now() - shown < kProgressInterval)
                return;
            shown = UpdateMeter::Clock::now();
            post(Kind::Bytes, [&](UpdateEvent& event) {
                event.received = received;
                event.total = total;
            });
        };
        progress.entryDone = [&](const EntryReport& report) {
            post(Kind::Done, [&](UpdateEvent& event) { event.report = report; });
        };
        std::string thrown;
        bool handedOff = false;
        try {
            handedOff = RunUpdates(entries, pinning, progress, &cancelled_).handedOff;
        } catch (const std::exception& error) {
            thrown = ExceptionText(error);
        }
        post(Kind::Finished, [&](UpdateEvent& event) {
            event.thrown = thrown;
            event.handedOff = handedOff;
        });
    });
}

UpdateJob::~UpdateJob()
{
    cancelled_.store(true);
    if (thread_.joinable())
        thread_.join();
}

} // namespace tarnwick::player

#include "player_launcher/core/update_meter.h"

#include "player_launcher/core/list_source.h"
#include "player_launcher/core/player_messages.h"

#include <algorithm>
#include <iterator>

namespace tarnwick::player {
namespace {

static_assert(std::size(kOutcomeWords) == static_cast<std::size_t>(EntryOutcome::Failed) + 1,
              "a word for each outcome");

std::string RateText(std::uint64_t bytes, UpdateMeter::Clock::duration elapsed)
{
    const double seconds = std::chrono::duration<double>(elapsed).count();
    // Under half a second the figure says nothing yet.
    if (seconds < 0.5)
        return "—";
    return SizeText(static_cast<std::uint64_t>(static_cast<double>(bytes) / seconds)) + "/s";
}

} // namespace

UpdateMeter::UpdateMeter(std::size_t entries, Clock::time_point started)
    : entries_(entries), started_(started), fileStarted_(started), now_(started)
{
}

void UpdateMeter::EntryStarted(std::size_t index, std::string hint, Clock::time_point now)
{
    index_ = index;
    hint_ = std::move(hint);
    firstReceived_.reset();
    received_ = 0;
    total_.reset();
    fileStarted_ = now;
    now_ = now;
}

void UpdateMeter::Bytes(std::uint64_t received, std::optional<std::uint64_t> total, Clock::time_point now)
{
    if (!firstReceived_ || received < *firstReceived_) {
        firstReceived_ = received;
        fileStarted_ = now;
    }
    received_ = received;
    total_ = total;
    now_ = now;
}

void UpdateMeter::EntryDone(const EntryReport& report)
{
    ++done_;
    ++counts_[static_cast<int>(report.outcome)];
    if (firstReceived_)
        earlierFiles_ += received_ - *firstReceived_;
    firstReceived_.reset();
    received_ = 0;
    total_.reset();
}

std::string UpdateMeter::FileLine() const
{
    std::string line = "[" + std::to_string(index_ + 1) + "/" + std::to_string(entries_) + "] " + hint_;
    if (!firstReceived_)
        return EntryCheckingText(line);
    line += "：" + SizeText(received_);
    if (total_ && *total_ > 0)
        line += " / " + SizeText(*total_) + "（" + std::to_string(FilePermille() / 10) + "%）";
    return line + "，" + RateText(received_ - *firstReceived_, now_ - fileStarted_);
}

std::string UpdateMeter::OverallLine() const
{
    const std::uint64_t bytes = earlierFiles_ + (firstReceived_ ? received_ - *firstReceived_ : 0);
    return RunProgressText(entries_, done_, SizeText(bytes), RateText(bytes, now_ - started_));
}

int UpdateMeter::FilePermille() const
{
    if (!total_ || *total_ == 0)
        return 0;
    return static_cast<int>(std::min<std::uint64_t>(received_ * 1000 / *total_, 1000));
}

int UpdateMeter::OverallPermille() const
{
    if (entries_ == 0)
        return 1000;
    const std::uint64_t permille = (done_ * 1000 + static_cast<std::uint64_t>(FilePermille())) / entries_;
    return static_cast<int>(std::min<std::uint64_t>(permille, 1000));
}

std::string UpdateMeter::Summary() const
{
    return RunSummaryText(counts_);
}

bool UpdateMeter::AllCurrent() const
{
    return counts_[static_cast<int>(EntryOutcome::Skipped)] == 0 && counts_[static_cast<int>(EntryOutcome::Failed)] == 0;
}

} // namespace tarnwick::player

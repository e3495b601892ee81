#pragma once

#include "player_launcher/core/updater.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick::player {

// What the window shows of an update run: the current file's hint, bytes and
// rate, the whole run's progress and rate, and the summary at the end. Fed
// with the updater's progress; times are given, so that it reads the same
// in tests as in the window.
class UpdateMeter {
public:
    using Clock = std::chrono::steady_clock;

    UpdateMeter(std::size_t entries, Clock::time_point started);

    void EntryStarted(std::size_t index, std::string hint, Clock::time_point now);
    void Bytes(std::uint64_t received, std::optional<std::uint64_t> total, Clock::time_point now);
    void EntryDone(const EntryReport& report);

    // "[3/9] HINT：1.2 MB / 3.4 MB（35%），850.0 KB/s" (UTF-8).
    std::string FileLine() const;
    // "共 9 项，已完成 2 项；本次已下载 12.3 MB，1.1 MB/s".
    std::string OverallLine() const;
    // 0 to 1000.
    int FilePermille() const;
    int OverallPermille() const;
    // "更新完成：已更新 5 项，已是最新 2 项，跳过 1 项，失败 1 项。"
    std::string Summary() const;
    // Whether no entry was skipped or failed.
    bool AllCurrent() const;

private:
    std::size_t entries_;
    Clock::time_point started_;
    std::size_t index_ = 0;
    std::string hint_;
    std::size_t done_ = 0;
    std::size_t counts_[4] = {};
    // This file: where its bytes stood when first told (a resumed download
    // starts past 0) and when, and where they stand.
    std::optional<std::uint64_t> firstReceived_;
    std::uint64_t received_ = 0;
    std::optional<std::uint64_t> total_;
    Clock::time_point fileStarted_;
    Clock::time_point now_;
    std::uint64_t earlierFiles_ = 0; // bytes downloaded for finished files of this run
};

} // namespace tarnwick::player

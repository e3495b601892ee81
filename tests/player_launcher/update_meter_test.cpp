#include "player_launcher/core/update_meter.h"

#include <gtest/gtest.h>

namespace tarnwick::player {
namespace {

using namespace std::chrono_literals;
const UpdateMeter::Clock::time_point t0{};

TEST(UpdateMeter, TellsTheFileAndTheRunWithRatesFromThisRunsBytesOnly)
{
    UpdateMeter meter(4, t0);
    meter.EntryStarted(0, "补丁一", t0);
    EXPECT_EQ(meter.FileLine(), "[1/4] 补丁一：正在检查");
    // A resumed download starts at 1 MB: only what comes now counts for the rate.
    meter.Bytes(1 << 20, 4 << 20, t0 + 1s);
    meter.Bytes(3 << 20, 4 << 20, t0 + 2s);
    EXPECT_EQ(meter.FileLine(), "[1/4] 补丁一：3.0 MB / 4.0 MB（75%），2.0 MB/s");
    EXPECT_EQ(meter.FilePermille(), 750);
    EXPECT_EQ(meter.OverallPermille(), 187);
    meter.EntryDone({0, EntryOutcome::Updated, {}});
    meter.EntryStarted(1, "补丁二", t0 + 2s);
    meter.EntryDone({1, EntryOutcome::Current, {}});
    EXPECT_EQ(meter.OverallLine(), "共 4 项，已完成 2 项；本次已下载 2.0 MB，1.0 MB/s");
    EXPECT_EQ(meter.OverallPermille(), 500);
    meter.EntryDone({2, EntryOutcome::Skipped, "百度"});
    meter.EntryDone({3, EntryOutcome::Failed, "404"});
    EXPECT_EQ(meter.Summary(), "更新完成：已更新 1 项，已是最新 1 项，已跳过 1 项，失败 1 项。");
    EXPECT_FALSE(meter.AllCurrent());
    EXPECT_EQ(meter.OverallPermille(), 1000);
}

TEST(UpdateMeter, UnknownLengthsAndEarlyFiguresShowNoMadeUpNumbers)
{
    UpdateMeter meter(1, t0);
    meter.EntryStarted(0, "hint", t0);
    meter.Bytes(500, std::nullopt, t0 + 100ms);
    EXPECT_EQ(meter.FileLine(), "[1/1] hint：500 B，—");
    EXPECT_EQ(meter.FilePermille(), 0);
    meter.EntryDone({0, EntryOutcome::Updated, {}});
    EXPECT_TRUE(meter.AllCurrent());
    EXPECT_EQ(UpdateMeter(0, t0).OverallPermille(), 1000);
}

} // namespace
} // namespace tarnwick::player

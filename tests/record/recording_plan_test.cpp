#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "record/plot_export.h"
#include "record/record_file_name.h"
#include "record/recording_plan.h"

namespace vorn::record {
namespace {

constexpr std::uint64_t kPlenty = std::numeric_limits<std::uint64_t>::max();

TEST(RecordingPlan, WholeSweepsRequestLengthAndTimeout) {
    RecordingPlan plan = PlanRecording(1, 256, 2.0, kPlenty);
    ASSERT_TRUE(plan.fits) << plan.message;
    EXPECT_DOUBLE_EQ(plan.sampleRate, 128000.0);
    EXPECT_EQ(plan.frames, 128000);
    EXPECT_EQ(plan.requestBytes, 8 * 128000 + 10240);
    EXPECT_EQ(plan.timeoutMs, 2000);

    plan = PlanRecording(15, 128, 1.0, kPlenty);
    ASSERT_TRUE(plan.fits) << plan.message;
    EXPECT_EQ(plan.frames, 1920000);
    EXPECT_EQ(plan.requestBytes, 15370240);
    EXPECT_EQ(plan.timeoutMs, 30000);
    EXPECT_EQ(plan.memoryBytes, 40ull * 1920000 + 10240);

    plan = PlanRecording(1, 1024, 10.0, kPlenty);
    EXPECT_DOUBLE_EQ(plan.sampleRate, 102400.0);
    EXPECT_EQ(plan.frames, 102400);

    // 1.005 s of 10 ms sweeps is 100.5 sweeps: rounded up to 101.
    plan = PlanRecording(1.005, 1024, 10.0, kPlenty);
    EXPECT_EQ(plan.frames, 101 * 1024);
}

TEST(RecordingPlan, ReadoutShowsTheSameFrameCount) {
    for (const double sweepMs : {1.0, 2.0, 4.0, 10.0}) {
        for (const int samples : {128, 256, 512, 1024}) {
            for (const double seconds : {1.0, 3.0, 15.0, 200.0}) {
                const RecordingPlan plan = PlanRecording(seconds, samples, sweepMs, kPlenty);
                EXPECT_EQ(TotalSamplesReadout(seconds, samples / (sweepMs / 1000), samples),
                          plan.frames);
            }
        }
    }
    EXPECT_EQ(TotalSamplesReadout(1e6, 1024000.0, 1024), std::int64_t{1024000000000});
    EXPECT_EQ(TotalSamplesReadout(1.0, std::numeric_limits<double>::quiet_NaN(), 128), 0);
    EXPECT_EQ(TotalSamplesReadout(1.0, 128000.0, 0), 0);
    EXPECT_EQ(TotalSamplesReadout(1e300, 1e300, 128), std::numeric_limits<std::int64_t>::max());
}

TEST(RecordingPlan, RefusesWhatTheTransferLengthCannotHold) {
    // 8n + 10240 <= INT_MAX holds up to n = 268434175; at 1 ms and 128 samples the last whole
    // sweep count below is 2097141 (n = 268434048), the next one is 8 bytes over the limit.
    RecordingPlan plan = PlanRecording(2097.1405, 128, 1.0, kPlenty);
    ASSERT_TRUE(plan.fits) << plan.message;
    EXPECT_EQ(plan.frames, 268434048);
    EXPECT_EQ(plan.requestBytes, 2147482624);

    plan = PlanRecording(2097.1415, 128, 1.0, kPlenty);
    EXPECT_FALSE(plan.fits);
    EXPECT_EQ(plan.frames, 0);
    EXPECT_EQ(plan.requestBytes, 0);
    EXPECT_EQ(plan.longestSeconds, 2097);
    EXPECT_EQ(plan.message, "Recording too long: at most 2097 s at these settings");

    plan = PlanRecording(1000000, 256, 2.0, kPlenty);
    EXPECT_FALSE(plan.fits);
    EXPECT_EQ(plan.message, "Recording too long: at most 2097 s at these settings");
    plan = PlanRecording(1000000, 1024, 1.0, kPlenty);
    EXPECT_EQ(plan.message, "Recording too long: at most 262 s at these settings");
    // The longest duration named is one that is accepted.
    EXPECT_TRUE(PlanRecording(262, 1024, 1.0, kPlenty).fits);
    EXPECT_FALSE(PlanRecording(263, 1024, 1.0, kPlenty).fits);
}

TEST(RecordingPlan, RefusesWhatMemoryCannotHold) {
    // 40 bytes per frame (read buffer and two complex entries) plus the spare read bytes.
    const std::uint64_t limit = 40ull * 128000 * 10 + 10240;
    EXPECT_TRUE(PlanRecording(10, 256, 2.0, limit).fits);
    const RecordingPlan plan = PlanRecording(11, 256, 2.0, limit);
    EXPECT_FALSE(plan.fits);
    EXPECT_EQ(plan.message, "Recording too long: at most 10 s at these settings");
    EXPECT_FALSE(PlanRecording(1, 256, 2.0, 1000).fits);
    EXPECT_EQ(PlanRecording(1, 256, 2.0, 1000).longestSeconds, 0);
}

TEST(RecordingPlan, RefusesSettingsThatMakeNoSense) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const auto& [seconds, samples, sweepMs] : {std::tuple{0.0, 128, 1.0},
                                                    {-1.0, 128, 1.0},
                                                    {nan, 128, 1.0},
                                                    {inf, 128, 1.0},
                                                    {1.0, 0, 1.0},
                                                    {1.0, -128, 1.0},
                                                    {1.0, 128, 0.0},
                                                    {1.0, 128, nan}}) {
        const RecordingPlan plan = PlanRecording(seconds, samples, sweepMs, kPlenty);
        EXPECT_FALSE(plan.fits);
        EXPECT_FALSE(plan.message.empty());
        EXPECT_EQ(plan.frames, 0);
    }
    // The longest duration the timeout can hold, with a sweep rate low enough not to matter.
    EXPECT_FALSE(PlanRecording(1073742, 128, 10000.0, kPlenty).fits);
    EXPECT_EQ(PlanRecording(1073741, 128, 10000.0, kPlenty).timeoutMs, 2147482000);
}

TEST(RecordingPlan, DefaultLimitIsThisMachinesMemory) {
    EXPECT_GT(PhysicalMemoryBytes(), 0u);
    EXPECT_TRUE(PlanRecording(15, 128, 1.0).fits);
}

TEST(DefaultRecordFileName, FormatsLocalTime) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    // 2026-03-01 14:05:09 UTC
    EXPECT_EQ(DefaultRecordFileName(1772373909), "2026-03-01-14-05-09.dat");
    EXPECT_EQ(DefaultRecordFileName(0).size(), 23u);
    EXPECT_EQ(DefaultRecordFileName(std::numeric_limits<std::time_t>::max()), "recording.dat");
}

TEST(PlotExportFileName, FirstCheckedFormatDecides) {
    EXPECT_EQ(PlotExportFileName(ExportedPlot::Top, true, true, true), "Vorn_GUI_TopView.pdf");
    EXPECT_EQ(PlotExportFileName(ExportedPlot::Bottom, false, true, true),
              "Vorn_GUI_BottomView.jpg");
    EXPECT_EQ(PlotExportFileName(ExportedPlot::Bottom, false, false, true),
              "Vorn_GUI_BottomView.png");
    EXPECT_FALSE(PlotExportFileName(ExportedPlot::Top, false, false, false).has_value());
}

}  // namespace
}  // namespace vorn::record

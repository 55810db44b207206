#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>
#include <tuple>
#include <utility>

#include "device/radar_constants.h"
#include "record/record_file_name.h"
#include "record/recording_plan.h"

namespace vorn::record {
namespace {

constexpr std::uint64_t kPlenty = std::numeric_limits<std::uint64_t>::max();
const double kNan = std::numeric_limits<double>::quiet_NaN();

TEST(RecordingPlan, WholeSweepsRequestLengthAndTimeout) {
    const RecordingPlan plan = PlanRecording(15, 128, 1.0, kPlenty);
    ASSERT_TRUE(plan.fits) << plan.message;
    EXPECT_EQ(plan.frames, 1920000);
    EXPECT_EQ(plan.requestBytes, 15370240);
    EXPECT_EQ(plan.timeoutMs, 30000);
    // 1.005 s of 10 ms sweeps is 100.5 sweeps: rounded up to 101, as the readout shows.
    EXPECT_EQ(TotalSamplesReadout(1.005, 102400.0, 1024), 101 * 1024);
    EXPECT_EQ(TotalSamplesReadout(1e300, 1e300, 128), std::numeric_limits<std::int64_t>::max());
}

TEST(RecordingPlan, RefusesWhatTheTransferLengthOrMemoryCannotHold) {
    // The recording is one read: up to the frames a read takes (8n + 10240 <= INT_MAX), in
    // whole sweeps of 1 ms; the longest duration named is one that is accepted.
    const std::pair<int, int> limits[] = {{128, 2097}, {1024, 262}};
    for (const auto& [samples, longest] : limits) {
        SCOPED_TRACE(samples);
        const int sweeps = kMaxReadFrames / samples;
        const RecordingPlan last = PlanRecording((sweeps - 0.5) / 1000.0, samples, 1.0, kPlenty);
        ASSERT_TRUE(last.fits);
        EXPECT_EQ(last.frames, sweeps * samples);
        EXPECT_LE(last.requestBytes, std::numeric_limits<int>::max());
        const RecordingPlan over = PlanRecording((sweeps + 0.5) / 1000.0, samples, 1.0, kPlenty);
        EXPECT_FALSE(over.fits);
        EXPECT_EQ(over.frames, 0);
        EXPECT_EQ(over.message, "Recording too long: at most " + std::to_string(longest) +
                                    " s at these settings");
        EXPECT_EQ(over.longestSeconds, longest);
        EXPECT_TRUE(PlanRecording(longest, samples, 1.0, kPlenty).fits);
        EXPECT_FALSE(PlanRecording(longest + 1, samples, 1.0, kPlenty).fits);
    }
    // The timeout in milliseconds must fit an int too.
    EXPECT_FALSE(PlanRecording(1073742, 128, 10000.0, kPlenty).fits);
    EXPECT_EQ(PlanRecording(1073741, 128, 10000.0, kPlenty).timeoutMs, 2147482000);
    // 40 bytes a frame (read buffer and two complex entries) and the spare read bytes.
    const std::uint64_t limit = 40ull * 128000 * 10 + 10240;
    EXPECT_EQ(PlanRecording(11, 256, 2.0, limit).longestSeconds, 10);
    EXPECT_TRUE(PlanRecording(15, 128, 1.0).fits);
}

TEST(RecordingPlan, RefusesSettingsThatMakeNoSense) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::tuple<double, int, double> bad[] = {
        {0.0, 128, 1.0}, {-1.0, 128, 1.0}, {kNan, 128, 1.0}, {inf, 128, 1.0},
        {1.0, 0, 1.0},   {1.0, -128, 1.0}, {1.0, 128, 0.0},  {1.0, 128, kNan}};
    for (const auto& [seconds, samples, sweepMs] : bad) {
        const RecordingPlan plan = PlanRecording(seconds, samples, sweepMs, kPlenty);
        EXPECT_FALSE(plan.fits) << seconds << " s, " << samples << ", " << sweepMs << " ms";
        EXPECT_FALSE(plan.message.empty());
        EXPECT_EQ(plan.frames, 0);
    }
}

TEST(RecordFileNames, LocalTime) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(DefaultRecordFileName(1772373909), "2026-03-01-14-05-09.dat");
    EXPECT_EQ(DefaultRecordFileName(std::numeric_limits<std::time_t>::max()), "recording.dat");
}

}  // namespace
}  // namespace vorn::record

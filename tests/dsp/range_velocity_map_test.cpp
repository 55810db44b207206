#include "dsp/range_velocity_map.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/dsp/synthetic_signal.h"

namespace vorn::dsp {
namespace {

constexpr double kCenter = 5.65e9;

RangeVelocityMapSettings Settings(int samples, int sweeps) {
    RangeVelocityMapSettings s;
    s.samplesPerSweep = samples;
    s.sweepCount = sweeps;
    s.sweepTimeMs = 1.0;
    s.bandwidthHz = 100e6;
    s.centerFrequencyHz = kCenter;
    s.iqBalancing.dcSubtract = true;
    const RangeVelocityGeometry g = MakeRangeVelocityGeometry(1.0, samples, sweeps, 100e6, kCenter);
    s.rangeWindow = {0.0, static_cast<double>(g.rangeSliderMaximum)};
    s.velocityWindow = {0.0, static_cast<double>(g.velocitySliderMaximum)};
    return s;
}

SampleBlock Burst(const std::vector<testing::Target>& targets, const RangeVelocityMapSettings& s) {
    return testing::FmcwBurst(targets, s.samplesPerSweep, s.sweepCount, s.sweepTimeMs,
                              s.bandwidthHz, s.centerFrequencyHz);
}

struct Cell {
    std::size_t row = 0;
    std::size_t column = 0;
};

Cell MapPeak(const std::vector<double>& map) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < map.size(); ++i) {
        if (map[i] > map[best]) best = i;
    }
    return {best / kMapColumns, best % kMapColumns};
}

double RowRange(std::size_t row, const RangeVelocityGeometry& g) {
    return static_cast<double>(row) * g.maxRange / 512.0;
}

double ColumnVelocity(std::size_t column, const RangeVelocityGeometry& g) {
    return (static_cast<double>(column) - 512.0) * 2.0 * g.maxVelocity / 1024.0;
}

TEST(RangeVelocityGeometry, DerivedQuantities) {
    const RangeVelocityGeometry g = MakeRangeVelocityGeometry(1.0, 128, 64, 1e8, 5.65e9);
    EXPECT_NEAR(g.maxRange, 95.93358656, 1e-8);
    EXPECT_NEAR(g.maxVelocity, 13.265153008849557, 1e-12);
    EXPECT_EQ(g.rangeSliderMaximum, 95);
    EXPECT_EQ(g.velocitySliderMaximum, 13);
    EXPECT_EQ(g.totalSamples, 8192);
    EXPECT_EQ(g.timeoutMs, 1128);
}

TEST(RangeVelocityMap, TargetPeaksAtItsRangeAndVelocity) {
    for (const double velocity : {5.0, -4.0}) {
        for (const int sweeps : {64, 1024}) {
            RangeVelocityMapSettings s = Settings(128, sweeps);
            s.hammingWindow = sweeps == 64;
            SampleBlock block = Burst({{30.0, velocity, 50.0}}, s);
            RangeVelocityMapProcessor processor;
            ClutterCanceller clutter;
            const RangeVelocityMapResult r = processor.Process(block, s, clutter);
            ASSERT_EQ(r.map.size(), kMapRows * kMapColumns);
            const Cell peak = MapPeak(r.map);
            const RangeVelocityGeometry& g = r.geometry;
            EXPECT_NEAR(RowRange(peak.row, g), 30.0, g.maxRange / 512.0) << velocity << sweeps;
            EXPECT_NEAR(ColumnVelocity(peak.column, g), velocity, 2.0 * g.maxVelocity / 1024.0)
                << velocity << sweeps;
        }
    }
}

TEST(RangeVelocityMap, WindowsSuppressWhatLiesOutside) {
    RangeVelocityMapSettings s = Settings(128, 64);
    const testing::Target strong{20.0, 2.0, 200.0};
    const testing::Target weak{60.0, 9.0, 20.0};
    RangeVelocityMapProcessor processor;
    ClutterCanceller clutter;
    SampleBlock block = Burst({strong, weak}, s);
    const Cell open = MapPeak(processor.Process(block, s, clutter).map);
    EXPECT_NEAR(RowRange(open.row, MakeRangeVelocityGeometry(1.0, 128, 64, 1e8, kCenter)), 20.0,
                0.5);

    s.rangeWindow = {45.0, 80.0};
    s.velocityWindow = {6.0, 12.0};
    block = Burst({strong, weak}, s);
    const RangeVelocityMapResult r = processor.Process(block, s, clutter);
    EXPECT_TRUE(r.rangeWindowActive);
    EXPECT_TRUE(r.velocityWindowActive);
    const Cell windowed = MapPeak(r.map);
    EXPECT_NEAR(RowRange(windowed.row, r.geometry), 60.0, 0.5);
    EXPECT_NEAR(ColumnVelocity(windowed.column, r.geometry), 9.0, 0.1);
}

TEST(RangeVelocityMap, StaticReturnsVanishWithDcSubtraction) {
    RangeVelocityMapSettings s = Settings(128, 64);
    SampleBlock block = Burst({{40.0, 0.0, 500.0}}, s);
    RangeVelocityMapProcessor processor;
    ClutterCanceller clutter;
    const RangeVelocityMapResult r = processor.Process(block, s, clutter);
    const std::size_t row = static_cast<std::size_t>(40.0 / r.geometry.maxRange * 512.0 + 0.5);
    EXPECT_LT(r.map[row * kMapColumns + 512], 0.0);  // rounding residue only
}

TEST(VelocityProfile, SumsScaledBinsAndCopiesZeroVelocityDown) {
    std::vector<double> map(kMapRows * kMapColumns, 1.0);
    for (std::size_t c = 0; c < kMapColumns; ++c) map[512 * kMapColumns + c] = 10.0;
    map[3 * kMapColumns + 700] = 1025.0;
    map[512 * kMapColumns + 512] = 40.0;
    const std::vector<double> profile = VelocityProfile(map);
    ASSERT_EQ(profile.size(), 1024u);
    EXPECT_DOUBLE_EQ(profile[0], 10.5);
    EXPECT_DOUBLE_EQ(profile[700], 11.5);
    EXPECT_DOUBLE_EQ(profile[512], 40.5);
    EXPECT_DOUBLE_EQ(profile[511], profile[512]);
    EXPECT_EQ(VelocityProfile({}).size(), 1024u);
}

TEST(RangeVelocityMap, DegenerateBlocksKeepTheMapAndScaleUsable) {
    RangeVelocityMapSettings s = Settings(128, 64);
    s.iqBalancing = {true, true};
    s.hammingWindow = true;
    s.rangeWeighting = true;
    s.clutterMode = ClutterMode::MovingAverage;
    RangeVelocityMapProcessor processor;
    ClutterCanceller clutter;

    SampleBlock zeros(8192);
    const RangeVelocityMapResult r = processor.Process(zeros, s, clutter);
    for (std::size_t i = 0; i < r.map.size(); i += 997) ASSERT_TRUE(std::isinf(r.map[i]));
    const DynamicRange range = AutoDynamicRange({true, true, 50, -50}, r.map);
    EXPECT_EQ(range.maximum, 50);
    EXPECT_EQ(range.minimum, 0);
    EXPECT_EQ(VelocityProfile(r.map).size(), 1024u);

    SampleBlock shortBlock = Burst({{30.0, 3.0, 50.0}}, s);
    shortBlock.resize(3000);
    EXPECT_EQ(processor.Process(shortBlock, s, clutter).map.size(), kMapRows * kMapColumns);

    s.sweepCount = 8;  // a new burst length reuses nothing of the old plan
    SampleBlock small = Burst({{30.0, 3.0, 50.0}}, s);
    EXPECT_EQ(processor.Process(small, s, clutter).map.size(), kMapRows * kMapColumns);
}

}  // namespace
}  // namespace vorn::dsp

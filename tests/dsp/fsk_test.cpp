#include "dsp/fsk.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/dsp/synthetic_signal.h"

namespace vorn::dsp {
namespace {

FskSettings Settings(int sweeps) {
    FskSettings s;
    s.samplesPerSweep = 128;
    s.sweepCount = sweeps;
    s.sweepTimeMs = 1.0;
    s.centerFrequencyHz = 5.6e9;
    s.threshold = 0.0;
    const FskGeometry g = MakeFskGeometry(1.0, 128, sweeps, 5.6e9);
    s.velocityWindow = {static_cast<double>(-g.velocitySliderMaximum),
                        static_cast<double>(g.velocitySliderMaximum)};
    return s;
}

SampleBlock Burst(const std::vector<testing::Target>& targets, const FskSettings& s) {
    SampleBlock block(static_cast<std::size_t>(s.samplesPerSweep * s.sweepCount),
                      Complex(2048.0, 2048.0));
    for (const testing::Target& t : targets) {
        const SampleBlock one = testing::FskBurst(t, s.samplesPerSweep, s.sweepCount, s.sweepTimeMs,
                                                  s.centerFrequencyHz, Complex());
        for (std::size_t n = 0; n < block.size(); ++n) block[n] += one[n];
    }
    return block;
}

TEST(FskGeometry, DerivedQuantities) {
    const FskGeometry g = MakeFskGeometry(1.0, 128, 64, 5.6e9);
    EXPECT_DOUBLE_EQ(g.maxVelocity, 13.383591875);
    EXPECT_EQ(g.velocitySliderMaximum, 13);
    EXPECT_EQ(g.velocitySliderStep, 0);
    EXPECT_EQ(g.toneBOffset, 69u);
    EXPECT_EQ(g.totalSamples, 8192);
    EXPECT_EQ(g.timeoutMs, 1128);
}

TEST(FskRange, PhaseDifferenceGivesRange) {
    EXPECT_NEAR(FskRangeFromPhases(kPi, 0.0), 12.491352416666667, 1e-9);
    EXPECT_NEAR(FskRangeFromPhases(0.0, kPi / 2), 0.75 * kFskMaxRange, 1e-9);
    EXPECT_NEAR(FskRangeFromPhases(1.0, 1.0), 0.0, 1e-12);
    EXPECT_NEAR(FskRangeFromPhases(-kPi / 2 + 0.2, 0.2), 0.75 * kFskMaxRange, 1e-9);
}

TEST(FskRange, TrackMarkStaysInsideTheRow) {
    EXPECT_EQ(FskRangeMarkIndex(0.0), 0u);
    EXPECT_EQ(FskRangeMarkIndex(kFskMaxRange / 2), 512u);
    EXPECT_EQ(FskRangeMarkIndex(kFskMaxRange), 1023u);  // a wrap that rounds up to 2 pi
    EXPECT_EQ(FskRangeMarkIndex(1e9), 1023u);
    EXPECT_EQ(FskRangeMarkIndex(-3.0), 0u);
    EXPECT_FALSE(FskRangeMarkIndex(std::nan("")).has_value());
    const std::vector<double> row = FskRangeTrackRow(kFskMaxRange);
    ASSERT_EQ(row.size(), 1024u);
    EXPECT_EQ(row[1023], 1.0);
    EXPECT_EQ(FskRangeTrackRow(std::nan("")), std::vector<double>(1024, 0.0));
}

TEST(Fsk, TargetGivesRangeAndVelocity) {
    for (const bool hamming : {false, true}) {
        for (const testing::Target target :
             {testing::Target{10.0, 4.0, 100.0}, testing::Target{21.5, -7.5, 100.0}}) {
            FskSettings s = Settings(64);
            s.hammingWindow = hamming;
            FskProcessor processor;
            const FskResult r = processor.Process(Burst({target}, s), s);
            ASSERT_TRUE(r.detected);
            EXPECT_NEAR(r.range, target.range, 1e-6);
            EXPECT_NEAR(r.velocity, target.velocity, 2.0 * 2.0 * r.geometry.maxVelocity / 1023.0);
            EXPECT_EQ(r.spectrum[512], r.spectrum[513]);
            EXPECT_EQ(r.rangeTrackRow[*FskRangeMarkIndex(target.range)], 1.0);
            EXPECT_EQ(r.scope.i.size(), 128u);
            EXPECT_FALSE(r.windowActive);
            EXPECT_EQ(r.searchBins.end, 1024u);
        }
    }
}

TEST(Fsk, PeakAtTheThresholdIsNoDetection) {
    FskSettings s = Settings(64);
    FskProcessor processor;
    const SampleBlock block = Burst({{10.0, 4.0, 100.0}}, s);
    s.threshold = processor.Process(block, s).peakLevel;
    const FskResult r = processor.Process(block, s);
    EXPECT_FALSE(r.detected);
    EXPECT_EQ(r.range, 0.0);
    EXPECT_EQ(r.velocity, 0.0);
    EXPECT_EQ(r.rangeTrackRow[0], 1.0);
}

TEST(Fsk, VelocityWindowLimitsSearchAndWaterfallRow) {
    FskSettings s = Settings(128);
    s.velocityWindow = {0.0, 5.0};
    FskProcessor processor;
    const FskResult r = processor.Process(Burst({{5.0, -6.0, 300.0}, {15.0, 3.0, 30.0}}, s), s);
    EXPECT_TRUE(r.windowActive);
    EXPECT_EQ(r.searchBins.first, 512u);
    EXPECT_EQ(r.searchBins.end, 703u);
    ASSERT_TRUE(r.detected);
    EXPECT_NEAR(r.velocity, 3.0, 0.1);
    EXPECT_NEAR(r.range, 15.0, 0.5);
    EXPECT_EQ(r.velocityRow[0], r.minimumLevel);
    EXPECT_EQ(r.velocityRow[1023], r.minimumLevel);
    EXPECT_EQ(r.velocityRow[600], r.spectrum[600]);
}

TEST(Fsk, DegenerateBlocksDoNotReachPastTheData) {
    FskSettings s = Settings(64);
    s.hammingWindow = true;
    FskProcessor processor;
    const FskResult zeros = processor.Process(SampleBlock(8192), s);
    EXPECT_FALSE(zeros.detected);
    EXPECT_TRUE(std::isinf(zeros.peakLevel));

    SampleBlock shortBlock = Burst({{10.0, 4.0, 100.0}}, s);
    shortBlock.resize(1000);
    EXPECT_EQ(processor.Process(shortBlock, s).spectrum.size(), 1024u);
    EXPECT_EQ(processor.Process(SampleBlock(), s).scope.i.size(), 0u);

    s.sweepCount = 5000;  // more periods than a Doppler transform holds
    EXPECT_EQ(processor.Process(SampleBlock(300), s).spectrum.size(), 1024u);
}

}  // namespace
}  // namespace vorn::dsp

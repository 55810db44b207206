#include "dsp/fmcw_range.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/dsp/synthetic_signal.h"

namespace vorn::dsp {
namespace {

FmcwRangeSettings Settings(int samples, double bandwidthHz) {
    FmcwRangeSettings s;
    s.samplesPerSweep = samples;
    s.bandwidthHz = bandwidthHz;
    s.sweepTimeMs = 1.0;
    const FmcwRangeGeometry g = MakeFmcwRangeGeometry(1.0, samples, bandwidthHz);
    s.window = {0.0, static_cast<double>(g.sliderMaximum)};
    return s;
}

SampleBlock Sweep(const std::vector<testing::Target>& targets, const FmcwRangeSettings& s,
                  Complex dcOffset = {2048.0, 2048.0}) {
    return testing::FmcwBurst(targets, s.samplesPerSweep, 1, s.sweepTimeMs, s.bandwidthHz,
                              5.6e9 + s.bandwidthHz / 2, dcOffset);
}

TEST(FmcwRangeGeometry, MaxRangeForTheSelectableCombinations) {
    EXPECT_NEAR(MakeFmcwRangeGeometry(1.0, 128, 100e6).maxRange, 95.934, 1e-3);
    EXPECT_NEAR(MakeFmcwRangeGeometry(1.0, 1024, 100e6).maxRange, 767.469, 1e-3);
    EXPECT_NEAR(MakeFmcwRangeGeometry(1.0, 512, 300e6).maxRange, 127.911, 1e-3);
    EXPECT_NEAR(MakeFmcwRangeGeometry(1.0, 256, 400e6).maxRange, 47.967, 1e-3);
    const FmcwRangeGeometry g = MakeFmcwRangeGeometry(4.0, 128, 100e6);
    EXPECT_EQ(g.sliderMaximum, 95);
    EXPECT_DOUBLE_EQ(g.sampleRate, 32000.0);
}

TEST(FmcwRange, TargetShowsAtItsRangeUnderEveryConditioning) {
    for (const int samples : {128, 256, 1024}) {
        for (const bool conditioned : {false, true}) {
            FmcwRangeSettings s = Settings(samples, 150e6);
            s.iqBalancing = {conditioned, conditioned};
            s.hammingWindow = conditioned;
            const double maxRange = MakeFmcwRangeGeometry(1.0, samples, 150e6).maxRange;
            const double range = 0.37 * maxRange;
            // Raw codes carry a large DC offset that only the DC subtraction removes.
            const Complex dc = conditioned ? Complex(2048.0, 2048.0) : Complex();
            SampleBlock block = Sweep({{range, 0.0, 200.0}}, s, dc);
            ClutterCanceller clutter;
            FmcwRangeProcessor processor;
            const FmcwRangeResult r = processor.Process(block, s, clutter);
            ASSERT_EQ(r.profile.size(), 513u);
            EXPECT_NEAR(r.detectedRange, range, maxRange / 512.0) << samples << conditioned;
            EXPECT_FALSE(r.windowActive);
            EXPECT_EQ(r.searchBins.end, 513u);
            EXPECT_EQ(r.scope.i.size(), static_cast<std::size_t>(samples));
        }
    }
}

TEST(FmcwRange, WindowRestrictsTheSearchToItsBins) {
    FmcwRangeSettings s = Settings(256, 150e6);
    s.iqBalancing.dcSubtract = true;
    const testing::Target strong{30.0, 0.0, 500.0};
    const testing::Target weak{80.0, 0.0, 20.0};
    FmcwRangeProcessor processor;
    ClutterCanceller clutter;

    SampleBlock block = Sweep({strong, weak}, s);
    EXPECT_NEAR(processor.Process(block, s, clutter).detectedRange, 30.0, 0.5);

    s.window = {60.0, 100.0};
    block = Sweep({strong, weak}, s);
    const FmcwRangeResult r = processor.Process(block, s, clutter);
    EXPECT_TRUE(r.windowActive);
    EXPECT_EQ(r.zoneLower, 60.0);
    EXPECT_NEAR(r.detectedRange, 80.0, 0.5);
    EXPECT_GE(r.peakBin, r.searchBins.first);
    EXPECT_LT(r.peakBin, r.searchBins.end);

    // Lower equal to upper: the range of the window's first bin.
    s.window = {50.0, 50.0};
    block = Sweep({strong, weak}, s);
    const FmcwRangeResult narrow = processor.Process(block, s, clutter);
    EXPECT_EQ(narrow.peakBin, narrow.searchBins.first);
}

TEST(FmcwRange, WeightingScalesBinsByTheFourthPowerOfRange) {
    FmcwRangeSettings s = Settings(128, 100e6);
    SampleBlock noise(128);
    unsigned seed = 7;
    for (Complex& z : noise) {
        seed = seed * 1664525u + 1013904223u;
        z = {static_cast<double>(seed >> 20), static_cast<double>((seed >> 8) & 0xFFF)};
    }
    ClutterCanceller clutter;
    FmcwRangeProcessor processor;
    SampleBlock plain = noise;
    const FmcwRangeResult unweighted = processor.Process(plain, s, clutter);
    s.rangeWeighting = true;
    SampleBlock weighted = noise;
    const FmcwRangeResult w = processor.Process(weighted, s, clutter);
    EXPECT_NEAR(w.profile[512] - unweighted.profile[512], 3.0103, 1e-3);
    EXPECT_NEAR(w.profile[0] - unweighted.profile[0], -105.4, 0.05);
    EXPECT_NEAR(w.profile[100] - unweighted.profile[100], 3.0103 + 40.0 * std::log10(101.0 / 513.0),
                1e-3);
}

TEST(FmcwRange, ClutterReferenceLeavesOnlyTheNewTarget) {
    FmcwRangeSettings s = Settings(256, 150e6);
    s.clutterMode = ClutterMode::Reference;
    ClutterCanceller clutter;
    FmcwRangeProcessor processor;
    const testing::Target wall{20.0, 0.0, 1000.0};
    SampleBlock first = Sweep({wall}, s);
    const FmcwRangeResult empty = processor.Process(first, s, clutter);
    EXPECT_TRUE(std::isinf(empty.profile[40]));
    SampleBlock second = Sweep({wall, {70.0, 0.0, 10.0}}, s);
    EXPECT_NEAR(processor.Process(second, s, clutter).detectedRange, 70.0, 0.5);
}

TEST(FmcwRange, DegenerateBlocksDoNotStopTheChain) {
    FmcwRangeSettings s = Settings(128, 100e6);
    s.iqBalancing = {true, true};
    s.hammingWindow = true;
    s.rangeWeighting = true;
    ClutterCanceller clutter;
    FmcwRangeProcessor processor;

    SampleBlock zeros(128);
    const FmcwRangeResult r = processor.Process(zeros, s, clutter);
    for (double p : r.profile) ASSERT_TRUE(std::isinf(p) && p < 0);
    EXPECT_EQ(r.peakBin, 0u);
    const DynamicRange range = AutoDynamicRange({true, true, 50, -50}, r.profile);
    EXPECT_EQ(range.maximum, 50);
    EXPECT_EQ(range.minimum, 0);

    SampleBlock shortBlock(40, Complex(1.0, 2.0));
    EXPECT_EQ(processor.Process(shortBlock, s, clutter).profile.size(), 513u);
    SampleBlock empty;
    EXPECT_EQ(processor.Process(empty, s, clutter).profile.size(), 513u);
}

}  // namespace
}  // namespace vorn::dsp

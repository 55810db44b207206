#include "dsp/scales.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "dsp/fft.h"
#include "tests/dsp/synthetic_signal.h"

namespace vorn::dsp {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::nan("");

std::size_t PeakBin(const SampleBlock& spectrum) {
    std::size_t best = 0;
    for (std::size_t k = 1; k < spectrum.size(); ++k) {
        if (std::norm(spectrum[k]) > std::norm(spectrum[best])) best = k;
    }
    return best;
}

TEST(Transform, ToneLandsInItsBinIncludingNegativeFrequencies) {
    SampleBlock positive = testing::Tone(1024, 100.0 / 1024.0);
    TransformBlock(positive);
    EXPECT_EQ(PeakBin(positive), 100u);
    EXPECT_NEAR(std::abs(positive[100]), 1024.0, 1e-9);  // unscaled

    SampleBlock negative = testing::Tone(1024, -37.0 / 1024.0);
    TransformBlock(negative);
    EXPECT_EQ(PeakBin(negative), 1024u - 37u);
}

TEST(Transform, PadsShortBlocksAndCutsLongOnes) {
    SampleBlock shortBlock = testing::Tone(128, 0.25);
    TransformBlock(shortBlock);
    ASSERT_EQ(shortBlock.size(), 1024u);
    EXPECT_EQ(PeakBin(shortBlock), 256u);
    EXPECT_NEAR(std::abs(shortBlock[256]), 128.0, 1e-9);

    SampleBlock longBlock = testing::Tone(2048, 0.125);
    for (std::size_t n = 1024; n < 2048; ++n) longBlock[n] = Complex(1e6, 0.0);
    TransformBlock(longBlock);
    EXPECT_EQ(PeakBin(longBlock), 128u);
    EXPECT_NEAR(std::abs(longBlock[128]), 1024.0, 1e-9);
}

TEST(Transform, KeptPlanGivesIdenticalResults) {
    BlockTransformer transformer;
    for (std::size_t length : {128u, 1000u, 1024u, 3000u}) {
        SampleBlock a = testing::Tone(length, 0.0123, 3.0, {2048.0, 1000.0});
        SampleBlock b = a;
        TransformBlock(a);
        transformer.Transform(b);
        EXPECT_EQ(a, b) << length;
    }
    SampleBlock empty;
    transformer.Transform(empty);
    EXPECT_EQ(empty, SampleBlock(1024));
}

TEST(Decibels, SquaredAndPlainMagnitudeConventions) {
    EXPECT_DOUBLE_EQ(PowerDb({3.0, 4.0}), 10.0 * std::log10(25.0));
    EXPECT_DOUBLE_EQ(MagnitudeDb({3.0, 4.0}), 10.0 * std::log10(5.0));
    EXPECT_EQ(PowerDb({0.0, 0.0}), -kInf);
}

TEST(PeakSearch, FirstOfEqualExtremesWithinTheRun) {
    const std::vector<double> v{1.0, 5.0, 2.0, 5.0, -3.0, -3.0, 9.0};
    EXPECT_EQ(FirstMaximumIndex(v, 0, 6), 1u);
    EXPECT_EQ(FirstMaximumIndex(v, 2, 6), 3u);
    EXPECT_EQ(FirstMaximumIndex(v, 0, 100), 6u);
    EXPECT_EQ(FirstMinimumIndex(v, 0, 6), 4u);
    EXPECT_EQ(FirstMaximumIndex(v, 3, 3), 3u);  // empty run: its first index
    EXPECT_EQ(FirstMaximumIndex(v, 50, 60), 6u);
    EXPECT_EQ(FirstMaximumIndex({}, 0, 10), 0u);
    EXPECT_EQ(FirstMaximumIndex({-kInf, -kInf, -2.0}, 0, 3), 2u);
}

TEST(AutoDynamicRange, TruncatesMaximumAndIntegerMean) {
    const DynamicRangeControls controls{true, true, 50, -50};
    const DynamicRange r = AutoDynamicRange(controls, {1.9, 1.9, kInf});
    EXPECT_EQ(r.minimum, 1);  // sum 1 then 2 over two finite values
    EXPECT_EQ(r.maximum, 1);
    EXPECT_EQ(AutoDynamicRange(controls, {-7.9, -3.2, -kInf}).minimum,
              -5);  // (-7 + -3.2 -> -10) / 2
    EXPECT_EQ(AutoDynamicRange(controls, {-7.9, -12.5}).maximum, -7);
    EXPECT_EQ(AutoDynamicRange(controls, {kNan, 3.5, 2.0}).maximum, 3);
}

TEST(IntegerConversions, SaturateInsteadOfOverflowing) {
    EXPECT_EQ(TruncateToInt(-3.9), -3);
    EXPECT_EQ(TruncateToInt(kNan), 0);
    EXPECT_EQ(TruncateToInt(-kInf), std::numeric_limits<int>::min());
    EXPECT_EQ(TruncateToInt(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(TimeoutMs(1128.9), 1128);
    EXPECT_EQ(TimeoutMs(kInf), 1000000000000);
    EXPECT_EQ(TimeoutMs(kNan), 0);
}

TEST(AutoDynamicRange, ClearBoxesKeepTheSliders) {
    const DynamicRange r = AutoDynamicRange({false, false, 42, -17}, {100.0, 200.0});
    EXPECT_EQ(r.maximum, 42);
    EXPECT_EQ(r.minimum, -17);
}

TEST(AutoDynamicRange, SeparateRunsAreCutToTheValues) {
    const std::vector<double> v{10.0, 20.0, 90.0, 90.0};
    const DynamicRange r = AutoDynamicRange({true, true, 0, 0}, v, 2, 1000);
    EXPECT_EQ(r.maximum, 20);
    EXPECT_EQ(r.minimum, 52);
}

TEST(AutoDynamicRange, NonFiniteAndHugeRunsKeepAUsableScale) {
    const DynamicRangeControls controls{true, true, 50, -50};
    const std::vector<double> silent(513 * 1024, -kInf);
    const DynamicRange r = AutoDynamicRange(controls, silent);
    EXPECT_EQ(r.maximum, 50);  // no finite value: the slider stays
    EXPECT_EQ(r.minimum, 0);
    const DynamicRange nan = AutoDynamicRange(controls, std::vector<double>(10, kNan));
    EXPECT_EQ(nan.maximum, 50);
    EXPECT_EQ(nan.minimum, 0);
    const DynamicRange huge = AutoDynamicRange(controls, {1e300, 1e300});
    EXPECT_EQ(huge.maximum, std::numeric_limits<int>::max());
    EXPECT_GT(huge.minimum, 0);
    EXPECT_EQ(AutoDynamicRange(controls, {}).maximum, 50);
}

TEST(Axes, LabelsFollowTheirBinConventions) {
    const std::vector<double> range = RangeAxis(95.93358656);
    ASSERT_EQ(range.size(), 513u);
    EXPECT_DOUBLE_EQ(range[512], 512.0 * 95.93358656 / 513.0);
    const std::vector<double> cw = CwVelocityAxis(13.384);
    EXPECT_DOUBLE_EQ(cw[512], 0.0);
    EXPECT_DOUBLE_EQ(cw[0], -13.384);
    const std::vector<double> fsk = FskVelocityAxis(10.0);
    EXPECT_DOUBLE_EQ(fsk[0], -10.0);
    EXPECT_NEAR(fsk[1023], 10.0, 1e-12);
    EXPECT_NEAR(fsk[512], 10.0 / 1023.0, 1e-12);
}

TEST(TimeScope, AxisPeriodSpanAndSplit) {
    EXPECT_DOUBLE_EQ(ResolveSamplePeriod(-1.0, 1.0, 128), 0.001 / 128);
    EXPECT_DOUBLE_EQ(ResolveSamplePeriod(2e-6, 1.0, 128), 2e-6);
    EXPECT_EQ(ResolveSamplePeriod(-1.0, 1.0, 0), 0.0);
    const std::vector<double> axis = TimeAxis(4, 0.5);
    EXPECT_EQ(axis, (std::vector<double>{0.0, 0.5, 1.0, 1.5}));
    EXPECT_DOUBLE_EQ(ScopeSpanEnd(0), 0.0008);
    EXPECT_DOUBLE_EQ(ScopeSpanEnd(3), 0.0098);
    const IqTraces traces = SplitIq({{1.0, 2.0}, {3.0, 4.0}});
    EXPECT_EQ(traces.i, (std::vector<double>{1.0, 3.0}));
    EXPECT_EQ(traces.q, (std::vector<double>{2.0, 4.0}));
}

TEST(WindowSliders, OrderActivityAndSearchedBins) {
    EXPECT_EQ(OrderWindowBounds(30, 20, true).lower, 20);
    EXPECT_EQ(OrderWindowBounds(30, 20, false).upper, 30);
    EXPECT_EQ(OrderWindowBounds(10, 20, false).lower, 10);

    EXPECT_FALSE(IsWindowActive({0, 95}, 0.0, 95.93358656));
    EXPECT_TRUE(IsWindowActive({0, 94}, 0.0, 95.93358656));
    EXPECT_TRUE(IsWindowActive({1, 95}, 0.0, 95.93358656));
    EXPECT_FALSE(IsWindowActive({-13, 13}, -13.383591875, 13.383591875));

    const BinRange all = WindowBins(0.0, 95.9, 0.0, 95.9, 513);
    EXPECT_EQ(all.first, 0u);
    EXPECT_EQ(all.end, 513u);
    const BinRange part = WindowBins(10.0, 20.0, 0.0, 95.93358656, 513);
    EXPECT_EQ(part.first, 53u);
    EXPECT_EQ(part.end, 106u);
    const BinRange fsk = WindowBins(0.0, 5.0, -13.383591875, 2 * 13.383591875, 1024);
    EXPECT_EQ(fsk.first, 512u);
    EXPECT_EQ(fsk.end, 703u);
    const BinRange outside = WindowBins(-50.0, 500.0, 0.0, 95.9, 513);
    EXPECT_EQ(outside.first, 0u);
    EXPECT_EQ(outside.end, 513u);
}

}  // namespace
}  // namespace vorn::dsp

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

TEST(Transform, UnscaledBinsForEveryLengthAndTheKeptPlanAgrees) {
    struct Case {
        std::size_t length;
        double cycles;
        std::size_t bin;
        double magnitude;
    };
    // Short blocks are padded, long ones cut: the junk after 1024 samples must not show.
    for (const Case& c :
         {Case{1024, 100.0 / 1024, 100, 1024.0}, Case{1024, -37.0 / 1024, 987, 1024.0},
          Case{128, 0.25, 256, 128.0}, Case{2048, 0.125, 128, 1024.0}}) {
        SampleBlock block = testing::Tone(c.length, c.cycles);
        for (std::size_t n = 1024; n < block.size(); ++n) block[n] = Complex(1e6, 0.0);
        SampleBlock kept = block;
        TransformBlock(block);
        ASSERT_EQ(block.size(), 1024u);
        EXPECT_EQ(PeakBin(block), c.bin) << c.length;
        EXPECT_NEAR(std::abs(block[c.bin]), c.magnitude, 1e-9) << c.length;
        BlockTransformer transformer;
        transformer.Transform(kept);
        EXPECT_EQ(kept, block) << c.length;
    }
    EXPECT_DOUBLE_EQ(MagnitudeDb({3.0, 4.0}), 10.0 * std::log10(5.0));
    EXPECT_EQ(PowerDb({0.0, 0.0}), -kInf);
}

TEST(PeakSearch, FirstOfEqualExtremesWithinTheRun) {
    const std::vector<double> v{1.0, 5.0, 2.0, 5.0, -3.0, -3.0, 9.0};
    EXPECT_EQ(FirstMaximumIndex(v, 0, 6), 1u);
    EXPECT_EQ(FirstMaximumIndex(v, 2, 6), 3u);
    EXPECT_EQ(FirstMinimumIndex(v, 0, 6), 4u);
    EXPECT_EQ(FirstMaximumIndex(v, 3, 3), 3u);  // empty run: its first index
    EXPECT_EQ(FirstMaximumIndex(v, 50, 60), 6u);
    EXPECT_EQ(FirstMaximumIndex({}, 0, 10), 0u);
    EXPECT_EQ(FirstMaximumIndex({-kInf, -kInf, -2.0}, 0, 3), 2u);
}

TEST(AutoDynamicRange, TruncatesAndKeepsAUsableScaleForAnyValues) {
    const DynamicRangeControls on{true, true, 50, -50};
    EXPECT_EQ(AutoDynamicRange(on, {1.9, 1.9, kInf}).minimum, 1);  // sum 1 then 2 over two
    EXPECT_EQ(AutoDynamicRange(on, {-7.9, -3.2, -kInf}).minimum, -5);
    EXPECT_EQ(AutoDynamicRange(on, {-7.9, -12.5}).maximum, -7);
    EXPECT_EQ(AutoDynamicRange(on, {kNan, 3.5, 2.0}).maximum, 3);
    const DynamicRange off = AutoDynamicRange({false, false, 42, -17}, {100.0, 200.0});
    EXPECT_EQ(off.maximum, 42);
    EXPECT_EQ(off.minimum, -17);
    const DynamicRange runs =
        AutoDynamicRange({true, true, 0, 0}, {10.0, 20.0, 90.0, 90.0}, 2, 1000);
    EXPECT_EQ(runs.maximum, 20);
    EXPECT_EQ(runs.minimum, 52);
    // No finite value: the slider stays.
    for (const std::vector<double>& silent :
         {std::vector<double>(513 * 1024, -kInf), std::vector<double>(10, kNan), {}}) {
        const DynamicRange r = AutoDynamicRange(on, silent);
        EXPECT_EQ(r.maximum, 50);
        EXPECT_EQ(r.minimum, 0);
    }
    const DynamicRange huge = AutoDynamicRange(on, {1e300, 1e300});
    EXPECT_EQ(huge.maximum, std::numeric_limits<int>::max());
    EXPECT_GT(huge.minimum, 0);
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

TEST(Axes, BinConventionsAndScopeTraces) {
    EXPECT_DOUBLE_EQ(RangeAxis(95.93358656).at(512), 512.0 * 95.93358656 / 513.0);
    EXPECT_DOUBLE_EQ(CwVelocityAxis(13.384).at(512), 0.0);
    EXPECT_NEAR(FskVelocityAxis(10.0).at(512), 10.0 / 1023.0, 1e-12);
    EXPECT_DOUBLE_EQ(ResolveSamplePeriod(-1.0, 1.0, 128), 0.001 / 128);
    EXPECT_EQ(ResolveSamplePeriod(-1.0, 1.0, 0), 0.0);
    EXPECT_EQ(TimeAxis(4, 0.5), (std::vector<double>{0.0, 0.5, 1.0, 1.5}));
    EXPECT_DOUBLE_EQ(ScopeSpanEnd(3), 0.0098);
    const IqTraces traces = SplitIq({{1.0, 2.0}, {3.0, 4.0}});
    EXPECT_EQ(traces.q, (std::vector<double>{2.0, 4.0}));
}

TEST(WindowSliders, OrderActivityAndSearchedBins) {
    EXPECT_EQ(OrderWindowBounds(30, 20, true).lower, 20);
    EXPECT_EQ(OrderWindowBounds(30, 20, false).upper, 30);
    EXPECT_FALSE(IsWindowActive({0, 95}, 0.0, 95.93358656));
    EXPECT_TRUE(IsWindowActive({0, 94}, 0.0, 95.93358656));
    EXPECT_FALSE(IsWindowActive({-13, 13}, -13.383591875, 13.383591875));
    const BinRange part = WindowBins(10.0, 20.0, 0.0, 95.93358656, 513);
    EXPECT_EQ(part.first, 53u);
    EXPECT_EQ(part.end, 106u);
    const BinRange outside = WindowBins(-50.0, 500.0, 0.0, 95.9, 513);
    EXPECT_EQ(outside.first, 0u);
    EXPECT_EQ(outside.end, 513u);
}

}  // namespace
}  // namespace vorn::dsp

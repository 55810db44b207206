#include "dsp/conditioning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "dsp/clutter_canceller.h"
#include "dsp/scales.h"
#include "tests/dsp/synthetic_signal.h"

namespace vorn::dsp {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNan = std::nan("");

double Energy(const SampleBlock& block) {
    double sum = 0.0;
    for (const Complex& z : block) sum += std::norm(z);
    return sum;
}

TEST(IqBalancing, DcSubtractionRemovesEachSegmentsOwnMean) {
    SampleBlock block = testing::Tone(256, 1.0 / 32.0, 10.0, {2000.0, 1500.0});
    for (std::size_t n = 128; n < 256; ++n) block[n] += Complex(300.0, -700.0);
    block.push_back({5.0, 5.0});  // beyond the whole segments: untouched
    ApplyIqBalancing(block, 2, {true, false});
    for (std::size_t s = 0; s < 2; ++s) {
        Complex sum;
        for (std::size_t n = 0; n < 128; ++n) sum += block[s * 128 + n];
        EXPECT_NEAR(std::abs(sum), 0.0, 1e-9) << s;
    }
    EXPECT_EQ(block.back(), Complex(5.0, 5.0));
    EXPECT_NEAR(block[0].real(), 10.0, 1e-9);
}

// Whole chains run on silent, short and empty blocks in chains_test.cpp; here the cases only a
// stage sees.
TEST(Conditioning, PartialSegmentsHammingEndsAndProportionalChannels) {
    SampleBlock ones(100, Complex(1.0, 1.0));
    SubtractDcOffset(ones, 64, 4);  // only one whole segment fits
    EXPECT_EQ(ones[0], Complex(0.0, 0.0));
    EXPECT_EQ(ones[99], Complex(1.0, 1.0));
    // The window divides by N - 2: its ends sit at 0.08 on samples 0 and N - 2.
    const std::vector<double> w = HammingWeights(128);
    EXPECT_NEAR(w[0], 0.08, 1e-15);
    EXPECT_NEAR(w[126], 0.08, 1e-15);
    EXPECT_EQ(HammingWeights(2), std::vector<double>(2, 1.0));
    // Exactly proportional channels: b/a - rho^2 may round below zero.
    std::vector<double> iValues(1000);
    std::vector<double> qValues(1000);
    for (std::size_t n = 0; n < iValues.size(); ++n) {
        iValues[n] = 0.1 * std::sin(0.37 * n) + 0.3;
        qValues[n] = 3.0 * iValues[n];
    }
    CorrectQuadratureImbalance(iValues, qValues);
    for (std::size_t n = 0; n < iValues.size(); ++n) {
        ASSERT_FALSE(std::isnan(iValues[n]) || std::isnan(qValues[n])) << n;
    }
    std::vector<double> shortI(3, 1.0), longQ(5, 2.0);
    CorrectQuadratureImbalance(shortI, longQ);
    EXPECT_EQ(longQ[4], 2.0);
}

TEST(Decimation, KeepsLowFrequenciesAndIgnoresInvalidFactors) {
    SampleBlock high = testing::Tone(8192, 0.5, 1.0, {100.0, -50.0});
    DecimateBlock(high, 128);
    ASSERT_EQ(high.size(), 64u);
    // A half-rate tone is cancelled by the first stage, the DC offset by each.
    EXPECT_LT(Energy(high) / 64.0, 1e-12);
    const SampleBlock original = testing::Tone(100, 0.1, 1.0, {3.0, 4.0});
    for (int factor : {1, 0, -8}) {
        SampleBlock block = original;
        DecimateBlock(block, factor);
        EXPECT_EQ(block, original) << factor;
    }
}

TEST(ClutterCanceller, ReferenceRecapturesAndMovingAverageFollowsTheCount) {
    ClutterCanceller clutter;
    const SampleBlock scene = testing::Tone(256, 0.05, 500.0, {2048.0, 2048.0});
    SampleBlock first = scene;
    clutter.Apply(first, ClutterMode::Reference, 2);
    EXPECT_EQ(Energy(first), 0.0);
    EXPECT_FALSE(clutter.ResetPending());
    SampleBlock moved = testing::Tone(256, 0.05, 500.0, {2048.0, 2049.0});
    clutter.Apply(moved, ClutterMode::Reference, 2);
    EXPECT_NEAR(std::abs(moved[17] - Complex(0.0, 1.0)), 0.0, 1e-9);
    clutter.RequestReset();
    clutter.Apply(moved, ClutterMode::Reference, 2);
    EXPECT_EQ(Energy(moved), 0.0);
    // A block of another length without a reset must not read past the stored reference.
    SampleBlock longer(300, Complex(9.0, 9.0));
    clutter.Apply(longer, ClutterMode::Reference, 2);
    EXPECT_EQ(Energy(longer), 0.0);
    EXPECT_EQ(clutter.Reference().size(), 300u);
    ClutterCanceller averaging;
    for (int i = 0; i < 8; ++i) {
        SampleBlock block(32, Complex(i, 0.0));
        averaging.Apply(block, ClutterMode::MovingAverage, 8);
    }
    EXPECT_EQ(averaging.HistoryDepth(), 8u);
    SampleBlock block(32, Complex(8.0, 0.0));
    averaging.Apply(block, ClutterMode::MovingAverage, 3);
    EXPECT_EQ(averaging.HistoryDepth(), 3u);
    EXPECT_EQ(block[0], Complex(1.0, 0.0));  // 8 - mean(8, 7, 6)
    SampleBlock next(32, Complex(11.0, 2.0));
    averaging.Apply(next, ClutterMode::MovingAverage, 2);
    EXPECT_EQ(next[5], Complex(1.5, 1.0));  // half the difference from 8

    SampleBlock untouched(16, Complex(1.0, 1.0));
    ClutterCanceller off;
    off.Apply(untouched, ClutterMode::Disabled, 2);
    EXPECT_EQ(untouched[0], Complex(1.0, 1.0));
    EXPECT_TRUE(off.ResetPending());
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

TEST(WindowSliders, OrderActivityAndSearchedBins) {
    // (lower, upper, upper has focus, slider range) -> bounds at least 1 apart.
    struct Case {
        double lower, upper;
        bool upperFocus;
        double min, max;
        WindowBounds want;
    };
    for (const Case& c : {Case{30, 20, true, 0, 95, {19, 20}}, Case{30, 20, false, 0, 95, {30, 31}},
                          Case{45, 45, false, 0, 95, {45, 46}}, Case{45, 45, true, 0, 95, {44, 45}},
                          Case{95, 95, false, 0, 95, {94, 95}}, Case{0, 0, true, 0, 95, {0, 1}},
                          Case{-13, -13, true, -13, 13, {-13, -12}},
                          Case{3, 9, true, 0, 95, {3, 9}}, Case{0, 0, false, 0, 0, {0, 0}}}) {
        const WindowBounds got = OrderWindowBounds(c.lower, c.upper, c.upperFocus, c.min, c.max);
        EXPECT_EQ(got.lower, c.want.lower) << c.lower << " " << c.upper << " " << c.upperFocus;
        EXPECT_EQ(got.upper, c.want.upper) << c.lower << " " << c.upper << " " << c.upperFocus;
    }
    const BinRange part = WindowBins(10.0, 20.0, 0.0, 95.93358656, 513);
    EXPECT_EQ(part.first, 53u);
    EXPECT_EQ(part.end, 106u);
    const BinRange outside = WindowBins(-50.0, 500.0, 0.0, 95.9, 513);
    EXPECT_EQ(outside.first, 0u);
    EXPECT_EQ(outside.end, 513u);
}

}  // namespace
}  // namespace vorn::dsp

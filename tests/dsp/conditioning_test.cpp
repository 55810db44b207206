#include "dsp/conditioning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/dsp/synthetic_signal.h"

namespace vorn::dsp {
namespace {

double Mean(const std::vector<double>& v) {
    double sum = 0.0;
    for (double x : v) sum += x;
    return sum / static_cast<double>(v.size());
}

double Covariance(const std::vector<double>& a, const std::vector<double>& b) {
    const double ma = Mean(a);
    const double mb = Mean(b);
    double sum = 0.0;
    for (std::size_t n = 0; n < a.size(); ++n) sum += (a[n] - ma) * (b[n] - mb);
    return sum / static_cast<double>(a.size());
}

bool AllFinite(const SampleBlock& block) {
    return std::all_of(block.begin(), block.end(), [](const Complex& z) {
        return std::isfinite(z.real()) && std::isfinite(z.imag());
    });
}

TEST(IqBalancing, DcSubtractionRemovesEachSegmentsOwnMean) {
    SampleBlock block = testing::Tone(256, 1.0 / 32.0, 10.0, {2000.0, 1500.0});
    for (std::size_t n = 128; n < 256; ++n) block[n] += Complex(300.0, -700.0);
    block.push_back({5.0, 5.0});  // beyond the whole segments: untouched

    ApplyIqBalancing(block, 2, {true, false});

    for (std::size_t s = 0; s < 2; ++s) {
        Complex sum;
        for (std::size_t n = 0; n < 128; ++n) sum += block[s * 128 + n];
        EXPECT_NEAR(sum.real(), 0.0, 1e-9);
        EXPECT_NEAR(sum.imag(), 0.0, 1e-9);
    }
    EXPECT_EQ(block.back(), Complex(5.0, 5.0));
    // The tone itself survives unscaled.
    EXPECT_NEAR(block[0].real(), 10.0, 1e-9);
}

TEST(IqBalancing, BothOptionsGiveAPeakOfExactlyOnePerChannel) {
    SampleBlock block(512);
    for (std::size_t n = 0; n < block.size(); ++n) {
        block[n] = {2048.0 + 300.0 * std::cos(0.1 * n), 2048.0 + 40.0 * std::sin(0.1 * n + 0.3)};
    }
    ApplyIqBalancing(block, 1, {true, true});
    double peakI = 0.0;
    double peakQ = 0.0;
    for (const Complex& z : block) {
        peakI = std::max(peakI, std::abs(z.real()));
        peakQ = std::max(peakQ, std::abs(z.imag()));
    }
    EXPECT_DOUBLE_EQ(peakI, 1.0);
    EXPECT_DOUBLE_EQ(peakQ, 1.0);
}

TEST(IqBalancing, SilentChannelStaysFiniteUnderAmplitudeCorrection) {
    SampleBlock block(128, Complex(0.0, 0.0));
    for (std::size_t n = 0; n < block.size(); ++n) block[n] = {0.0, std::sin(0.2 * n)};
    ApplyIqBalancing(block, 1, {true, true});
    ASSERT_TRUE(AllFinite(block));
    EXPECT_EQ(block[7].real(), 0.0);

    SampleBlock zeros(128);
    ApplyIqBalancing(zeros, 4, {true, true});
    EXPECT_TRUE(AllFinite(zeros));
}

TEST(IqBalancing, DegenerateShapesDoNotReachPastTheBlock) {
    SampleBlock block(100, Complex(1.0, 1.0));
    SubtractDcOffset(block, 64, 4);  // only one whole segment fits
    EXPECT_EQ(block[0], Complex(0.0, 0.0));
    EXPECT_EQ(block[99], Complex(1.0, 1.0));
    NormalizeAmplitude(block, 0, 3);
    ApplyIqBalancing(block, 0, {true, true});
    SampleBlock empty;
    ApplyIqBalancing(empty, 1, {true, true});
    ApplyHammingWindow(empty, 128, 1);
    EXPECT_TRUE(empty.empty());
}

TEST(HammingWindow, WeightsUseTheNMinusTwoDivisor) {
    const std::vector<double> w = HammingWeights(128);
    EXPECT_NEAR(w[0], 0.08, 1e-15);
    EXPECT_NEAR(w[63], 1.0, 1e-15);
    EXPECT_NEAR(w[126], 0.08, 1e-15);
    EXPECT_DOUBLE_EQ(w[127], w[1]);

    SampleBlock block(256, Complex(1.0, -2.0));
    ApplyHammingWindow(block, 128, 2);
    EXPECT_NEAR(block[128 + 63].real(), 1.0, 1e-15);
    EXPECT_NEAR(block[128].imag(), -0.16, 1e-15);

    EXPECT_EQ(HammingWeights(2), std::vector<double>(2, 1.0));
}

TEST(QuadratureImbalance, RemovesAKnownGainAndPhaseError) {
    const double gain = 1.7;
    const double phase = 0.35;
    std::vector<double> iValues(4096);
    std::vector<double> qValues(4096);
    std::vector<double> trueQ(4096);
    for (std::size_t n = 0; n < iValues.size(); ++n) {
        const double angle = kTwoPi * 37.0 * n / 4096.0;
        iValues[n] = 500.0 + std::cos(angle);
        trueQ[n] = std::sin(angle);
        qValues[n] =
            800.0 + gain * (std::sin(phase) * std::cos(angle) + std::cos(phase) * trueQ[n]);
    }
    CorrectQuadratureImbalance(iValues, qValues);
    for (std::size_t n = 0; n < qValues.size(); n += 97) {
        EXPECT_NEAR(qValues[n], trueQ[n], 1e-9);
        EXPECT_NEAR(iValues[n], std::cos(kTwoPi * 37.0 * n / 4096.0), 1e-9);
    }
}

TEST(QuadratureImbalance, CorrelatedNoisyQComesOutEqualInPowerAndUncorrelated) {
    std::vector<double> iValues(2048);
    std::vector<double> qValues(2048);
    unsigned seed = 12345;
    for (std::size_t n = 0; n < iValues.size(); ++n) {
        seed = seed * 1103515245u + 12345u;
        const double noise = (static_cast<double>((seed >> 8) & 0xFFFF) / 65536.0 - 0.5) * 0.2;
        iValues[n] = std::cos(0.05 * n) + 3.0;
        qValues[n] = 2.0 * iValues[n] + noise;
    }
    CorrectQuadratureImbalance(iValues, qValues);
    const double varI = Covariance(iValues, iValues);
    EXPECT_NEAR(Covariance(qValues, qValues) / varI, 1.0, 1e-9);
    EXPECT_NEAR(Covariance(iValues, qValues) / varI, 0.0, 1e-9);
}

TEST(QuadratureImbalance, DegenerateBlocksStayFinite) {
    // Exactly proportional channels: b/a - rho^2 may round below zero.
    std::vector<double> iValues(1000);
    std::vector<double> qValues(1000);
    for (std::size_t n = 0; n < iValues.size(); ++n) {
        iValues[n] = 0.1 * std::sin(0.37 * n) + 0.3;
        qValues[n] = 3.0 * iValues[n];
    }
    CorrectQuadratureImbalance(iValues, qValues);
    for (std::size_t n = 0; n < iValues.size(); ++n) {
        ASSERT_FALSE(std::isnan(iValues[n]));
        ASSERT_FALSE(std::isnan(qValues[n]));
    }

    SampleBlock constant(64, Complex(2048.0, 2048.0));
    CorrectQuadratureImbalance(constant);
    EXPECT_TRUE(AllFinite(constant));
    EXPECT_EQ(constant[3], Complex(0.0, 0.0));

    std::vector<double> shortI(3, 1.0);
    std::vector<double> longQ(5, 2.0);
    CorrectQuadratureImbalance(shortI, longQ);
    EXPECT_EQ(longQ[4], 2.0);
}

TEST(Decimation, HalvesPerStageAndKeepsLowFrequencies) {
    SampleBlock block = testing::Tone(8192, 0.5 / 128.0 * 0.25, 1.0, {100.0, -50.0});
    SampleBlock high = testing::Tone(8192, 0.5, 1.0);
    DecimateBlock(block, 128);
    DecimateBlock(high, 128);
    ASSERT_EQ(block.size(), 64u);
    ASSERT_EQ(high.size(), 64u);

    double lowPower = 0.0;
    double highPower = 0.0;
    for (std::size_t n = 0; n < 64; ++n) {
        lowPower += std::norm(block[n]);
        highPower += std::norm(high[n]);
    }
    // Seven two-tap stages: the in-band tone gains about 2^7 in amplitude, a Nyquist
    // (half-rate) tone is cancelled by the first stage.
    EXPECT_GT(lowPower / 64.0, 100.0 * 100.0);
    EXPECT_LT(highPower / 64.0, 1e-12);
    Complex mean;
    for (const Complex& z : block) mean += z / 64.0;
    EXPECT_LT(std::abs(mean), 0.3 * std::sqrt(lowPower / 64.0));
}

TEST(Decimation, FactorOneAndInvalidFactorsLeaveTheBlock) {
    const SampleBlock original = testing::Tone(100, 0.1, 1.0, {3.0, 4.0});
    for (int factor : {1, 0, -8}) {
        SampleBlock block = original;
        DecimateBlock(block, factor);
        EXPECT_EQ(block, original) << factor;
    }
    SampleBlock tiny(3, Complex(1.0, 1.0));
    DecimateBlock(tiny, 128);
    EXPECT_TRUE(tiny.empty());
    SampleBlock odd(5, Complex(1.0, 2.0));
    DecimateBlock(odd, 2);
    EXPECT_EQ(odd.size(), 2u);
}

}  // namespace
}  // namespace vorn::dsp

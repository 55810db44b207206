#include "dsp/cw_velocity.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/dsp/synthetic_signal.h"

namespace vorn::dsp {
namespace {

CwVelocitySettings Settings(int samples, int sweeps) {
    CwVelocitySettings s;
    s.samplesPerSweep = samples;
    s.sweepCount = sweeps;
    s.sweepTimeMs = 1.0;
    s.centerFrequencyHz = 5.6e9;
    return s;
}

SampleBlock Record(const testing::Target& target, const CwVelocitySettings& s) {
    const CwGeometry g =
        MakeCwGeometry(s.sweepTimeMs, s.samplesPerSweep, s.sweepCount, s.centerFrequencyHz);
    return testing::CwRecord(target, static_cast<std::size_t>(g.totalSamples), g.sampleRate,
                             s.centerFrequencyHz);
}

TEST(CwGeometry, DerivedQuantities) {
    const CwGeometry g = MakeCwGeometry(1.0, 128, 64, 5.6e9);
    EXPECT_EQ(g.totalSamples, 8192);
    EXPECT_EQ(g.decimatedLength, 64);
    EXPECT_EQ(g.timeoutMs, 1128);
    EXPECT_NEAR(g.maxVelocity, 13.384, 1e-3);
    EXPECT_NEAR(g.velocityStep, 0.026, 1e-3);
    EXPECT_NEAR(MakeCwGeometry(10.0, 1024, 64, 5.6e9).maxVelocity, 10.707, 1e-3);
    EXPECT_DOUBLE_EQ(g.scopeSamplePeriod, 128.0 / 128000.0);
}

TEST(CwVelocity, DopplerTargetShowsAtItsSignedVelocity) {
    for (const double velocity : {5.0, -3.0, 11.2}) {
        for (const int sweeps : {64, 1024}) {
            CwVelocitySettings s = Settings(128, sweeps);
            s.hammingWindow = true;
            s.amplitudeCorrection = sweeps == 64;
            SampleBlock block = Record({0.0, velocity, 300.0}, s);
            CwVelocityProcessor processor;
            const CwVelocityResult r = processor.Process(block, s);
            ASSERT_EQ(r.spectrum.size(), 1024u);
            EXPECT_NEAR(r.peakVelocity, velocity, 2.0 * r.geometry.velocityStep)
                << velocity << " " << sweeps;
            EXPECT_EQ(r.scope.i.size(), static_cast<std::size_t>(sweeps * 128 / 128));
        }
    }
}

TEST(CwVelocity, ImbalanceCorrectionSuppressesTheMirrorTarget) {
    CwVelocitySettings s = Settings(128, 1024);
    s.hammingWindow = true;
    SampleBlock block = Record({0.0, 6.0, 300.0}, s);
    for (Complex& z : block) {
        const double i = z.real() - 2048.0;
        const double q = z.imag() - 2048.0;
        z = {2048.0 + i, 2000.0 + 1.6 * (std::sin(0.3) * i + std::cos(0.3) * q)};
    }
    CwVelocityProcessor processor;
    const CwVelocityResult r = processor.Process(block, s);
    const std::size_t mirror = 1024 - r.peakIndex;
    EXPECT_NEAR(r.peakVelocity, 6.0, 2.0 * r.geometry.velocityStep);
    // The spectrum is 10 log10 of the magnitude: 20 units are 40 dB of power. Uncorrected, this
    // distortion leaves the mirror only about 11 dB below the target.
    EXPECT_GT(r.spectrum[r.peakIndex] - r.spectrum[mirror], 20.0);
}

TEST(CwVelocity, DegenerateRecordsStayUsable) {
    CwVelocitySettings s = Settings(128, 64);
    s.amplitudeCorrection = true;
    s.hammingWindow = true;
    CwVelocityProcessor processor;
    SampleBlock zeros(8192);
    const CwVelocityResult r = processor.Process(zeros, s);
    for (double v : r.spectrum) ASSERT_FALSE(std::isnan(v));
    const DynamicRange range = AutoDynamicRange({true, true, 50, -50}, r.spectrum);
    EXPECT_EQ(range.maximum, 50);

    SampleBlock shortBlock(100, Complex(1.0, 1.0));
    EXPECT_EQ(processor.Process(shortBlock, s).spectrum.size(), 1024u);
}

}  // namespace
}  // namespace vorn::dsp

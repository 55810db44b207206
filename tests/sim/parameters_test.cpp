#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sim/parameters.h"
#include "sim/scene.h"

namespace vorn::sim {
namespace {

TEST(ParameterBlock, OnlyUniformMarkedBlocksCount) {
    std::vector<std::uint8_t> block;
    for (int i = 0; i < 1024; ++i) block.insert(block.end(), {0x64, 0xA0});
    ASSERT_TRUE(DecodeParameterBlock(block.data(), block.size()));
    EXPECT_EQ(DecodeParameterBlock(block.data(), block.size())->samplesPerSweep, 256);

    EXPECT_FALSE(DecodeParameterBlock(block.data(), 0));
    EXPECT_FALSE(DecodeParameterBlock(block.data(), 3));
    EXPECT_FALSE(DecodeParameterBlock(nullptr, 2));
    EXPECT_FALSE(DecodeParameterWord(0xA164));

    std::vector<std::uint8_t> mixed = block;
    mixed[1000] = 0x65;
    EXPECT_FALSE(DecodeParameterBlock(mixed.data(), mixed.size()));
}

// The scene's returns at sample n, one by one, each target at its range at that time.
std::complex<double> PlainSum(const Scene& scene, const RadarParameters& p, std::uint64_t n) {
    const double timeS = static_cast<double>(n) / p.SampleRate();
    const double motionS =
        scene.motionPeriodS > 0.0 ? std::fmod(timeS, scene.motionPeriodS) : timeS;
    std::complex<double> sum;
    for (const Target& t : scene.targets)
        sum += std::polar(t.amplitude, ReturnPhase(p, t.rangeM + t.velocityMps * motionS, n));
    for (const Target& c : scene.clutter)
        sum += std::polar(c.amplitude, ReturnPhase(p, c.rangeM, n));
    return sum;
}

// The synthesis works the fixed returns out once per sweep position; every sample must still be
// the plain sum of the scene's returns, digitised, in every mode and from any start (a
// triangle's fixed returns repeat only every second sweep).
TEST(Scene, FramesAreTheCleanSamplesFromAnyStartInEveryMode) {
    Scene scene = DefaultDemoScene();
    scene.noiseRms = 0.0;
    scene.dcOffset = {};
    scene.quadratureGain = 1.0;
    scene.quadraturePhaseRad = 0.0;
    scene.channel2Gain = {1.0, 0.0};
    scene.channel2DcOffset = {};
    for (const RadarMode mode :
         {RadarMode::FmcwSawtooth, RadarMode::FmcwTriangle, RadarMode::Fsk, RadarMode::Cw}) {
        RadarParameters p;
        p.mode = mode;
        p.samplesPerSweep = 64;
        for (const std::uint64_t first : {0ULL, 777ULL}) {
            const std::vector<RawFrame> frames = SynthesiseFrames(scene, p, first, 300, 1);
            for (std::size_t k = 0; k < frames.size(); ++k) {
                const std::complex<double> s = PlainSum(scene, p, first + k);
                const auto counts = [&](double v) {
                    return static_cast<std::uint16_t>(std::round(scene.midScale + v));
                };
                ASSERT_EQ(frames[k].ch1.i, counts(s.real())) << int(mode) << " " << first + k;
                ASSERT_EQ(frames[k].ch1.q, counts(s.imag())) << int(mode) << " " << first + k;
                ASSERT_EQ(frames[k].ch2.i, frames[k].ch1.i);
            }
        }
    }
}

}  // namespace
}  // namespace vorn::sim

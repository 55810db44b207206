#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
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

// The stand-in's frames the plain way: sample by sample, each return one libm phasor, the noise
// from std::normal_distribution, then digitised.
std::vector<RawFrame> PlainFrames(const Scene& scene, const RadarParameters& p, std::uint64_t first,
                                  std::size_t count, std::uint64_t seed) {
    std::mt19937_64 rng(seed ^ (first * 0x9E3779B97F4A7C15ULL));
    std::normal_distribution<double> gauss(0.0, scene.noiseRms);
    const auto noise = [&] {
        if (scene.noiseRms <= 0.0) return std::complex<double>();
        const double re = gauss(rng);
        return std::complex<double>(re, gauss(rng));
    };
    const auto counts = [&](double v) {
        return static_cast<std::uint16_t>(std::clamp(std::round(v), 0.0, scene.fullScale));
    };
    const std::complex<double> quadrature = std::polar(1.0, scene.quadraturePhaseRad);
    const auto digitise = [&](std::complex<double> s, std::complex<double> dc) {
        const std::complex<double> n = noise();
        const double q = scene.quadratureGain * (s * quadrature).imag();
        return RawSample{counts(scene.midScale + dc.real() + s.real() + n.real()),
                         counts(scene.midScale + dc.imag() + q + n.imag())};
    };
    std::vector<RawFrame> frames(count);
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint64_t n = first + k;
        const double timeS = static_cast<double>(n) / p.SampleRate();
        const double motionS =
            scene.motionPeriodS > 0.0 ? std::fmod(timeS, scene.motionPeriodS) : timeS;
        std::complex<double> sum;
        for (const Target& t : scene.targets)
            sum += std::polar(t.amplitude, ReturnPhase(p, t.rangeM + t.velocityMps * motionS, n));
        for (const Target& c : scene.clutter)
            sum += std::polar(c.amplitude, ReturnPhase(p, c.rangeM, n));
        frames[k].ch1 = digitise(sum, scene.dcOffset);
        frames[k].ch2 = digitise(sum * scene.channel2Gain, scene.channel2DcOffset);
    }
    return frames;
}

// The synthesis works the fixed returns out once per sweep position, the moving ones and the
// noise a chunk at a time through vector maths; every converter value must still be the plain
// way's, in every mode, from any start, across chunks and with an odd chunk at the end (a
// triangle's fixed returns repeat only every second sweep).
TEST(Scene, FramesAreThePlainSynthesisFromAnyStartInEveryMode) {
    Scene scene = DefaultDemoScene();
    scene.motionPeriodS = 0.002;  // the targets jump back within the frames asked for
    for (const RadarMode mode :
         {RadarMode::FmcwSawtooth, RadarMode::FmcwTriangle, RadarMode::Fsk, RadarMode::Cw}) {
        RadarParameters p;
        p.mode = mode;
        p.samplesPerSweep = 64;
        for (const std::uint64_t first : {0ULL, 777ULL}) {
            const std::vector<RawFrame> frames = SynthesiseFrames(scene, p, first, 601, 5);
            const std::vector<RawFrame> plain = PlainFrames(scene, p, first, 601, 5);
            for (std::size_t k = 0; k < frames.size(); ++k) {
                const auto at = [&] {
                    return std::to_string(int(mode)) + " " + std::to_string(first + k);
                };
                ASSERT_EQ(frames[k].ch1.i, plain[k].ch1.i) << at();
                ASSERT_EQ(frames[k].ch1.q, plain[k].ch1.q) << at();
                ASSERT_EQ(frames[k].ch2.i, plain[k].ch2.i) << at();
                ASSERT_EQ(frames[k].ch2.q, plain[k].ch2.q) << at();
            }
        }
    }
}

}  // namespace
}  // namespace vorn::sim

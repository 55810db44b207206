// vorn-process --cfar on the stand-in radar's recordings (FMCW, 100 MHz, 1 ms, 64 sweeps of
// 128 samples, noise of 10 counts), over many seeds: two movers are both found where they
// are and noise alone gives few detections.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "record/sample_file_format.h"
#include "sim/scene.h"
#include "tools/offline_chain.h"
#include "tools/process_run.h"

namespace {

using namespace vorn;

constexpr int kSamples = 128;
constexpr int kSweeps = 64;
constexpr std::size_t kMapFrames = kSamples * kSweeps;
const record::FileHeader kHeader{5.65e9, 1.0, kSamples, 100e6};

// FMCW, 1 ms sweeps of 100 MHz.
const sim::RadarParameters kParameters{sim::RadarMode::FmcwSawtooth, 0.001, 100e6, kSamples};

sim::Scene Scene(std::vector<sim::Target> targets) {
    sim::Scene scene;
    scene.targets = std::move(targets);
    scene.noiseRms = 10.0;
    scene.dcOffset = {30.0, -20.0};
    return scene;
}

// Channel 1 of `maps` bursts as the window records them: complex converter counts.
std::vector<dsp::Complex> Burst(const sim::Scene& scene, std::size_t maps, std::uint64_t seed) {
    const auto raw = sim::SynthesiseFrames(scene, kParameters, 0, maps * kMapFrames, seed);
    std::vector<dsp::Complex> samples(raw.size());
    for (std::size_t k = 0; k < raw.size(); ++k)
        samples[k] = {double(raw[k].ch1.i), double(raw[k].ch1.q)};
    return samples;
}

std::vector<std::vector<tools::Detection>> DetectEachMap(const std::vector<dsp::Complex>& samples,
                                                         tools::OfflineChain& chain) {
    std::vector<std::vector<tools::Detection>> maps;
    for (std::size_t at = 0; at + kMapFrames <= samples.size(); at += kMapFrames)
        chain.Process(samples.data() + at, 1, maps.emplace_back());
    return maps;
}

tools::ProcessOptions CfarOptions() {
    tools::ProcessOptions o;
    o.cfar = true;
    return o;
}

TEST(ProcessCfar, TwoMoversFoundWithinABinAndNoiseGivesFewDetections) {
    tools::OfflineChain chain(kHeader, tools::ProcessMode::RangeVelocityMap, CfarOptions());
    const double rangeBin = chain.RowAxis()[1] - chain.RowAxis()[0];
    const double velocityBin = chain.Axis()[1] - chain.Axis()[0];
    const double secondsPerMap = kMapFrames / kParameters.SampleRate();
    constexpr int kSeeds = 8;
    constexpr std::size_t kMaps = 20;
    int found = 0, others = 0, maps = 0;
    for (int seed = 1; seed <= kSeeds; ++seed) {
        std::mt19937 rng(static_cast<unsigned>(seed));
        std::uniform_real_distribution<double> uniform(0.0, 1.0);
        // 20 to 40 m and 4 to 6 m/s apart, in either order, the weaker one either side; both
        // move at 1 m/s or more, as DC subtraction removes what stands still.
        const double near = 8.0 + 20.0 * uniform(rng);
        const double far = near + 20.0 + 20.0 * uniform(rng);
        const double v1 = -1.0 - 2.0 * uniform(rng);
        const double v2 = v1 + 4.0 + 2.0 * uniform(rng);
        const bool swap = uniform(rng) < 0.5;
        const std::vector<sim::Target> movers = {{near, swap ? v2 : v1, 10.0},
                                                 {far, swap ? v1 : v2, 30.0}};
        const auto detected = DetectEachMap(Burst(Scene(movers), kMaps, seed), chain);
        for (std::size_t m = 0; m < detected.size(); ++m, ++maps) {
            const double mid = (m + 0.5) * secondsPerMap;
            int matched = 0;
            for (const sim::Target& t : movers) {
                const double range = t.rangeM + t.velocityMps * mid;
                for (const tools::Detection& d : detected[m]) {
                    if (std::abs(*d.range - range) <= rangeBin &&
                        std::abs(*d.velocity - t.velocityMps) <= velocityBin) {
                        ++matched;
                        break;
                    }
                }
            }
            found += matched == 2;
            others += static_cast<int>(detected[m].size()) - matched;
        }
    }
    std::printf("two movers: both found in %d of %d maps, %.2f other detections per map\n", found,
                maps, double(others) / maps);
    EXPECT_GE(found, 0.95 * maps);
    EXPECT_LE(others, maps / 4);

    std::size_t falseAlarms = 0, noiseMaps = 0;
    for (int seed = 100; seed < 100 + kSeeds; ++seed) {
        for (const auto& d : DetectEachMap(Burst(Scene({}), kMaps, seed), chain)) {
            falseAlarms += d.size();
            ++noiseMaps;
        }
    }
    std::printf("noise only: %.2f detections per map\n", double(falseAlarms) / noiseMaps);
    EXPECT_LE(falseAlarms, 2 * noiseMaps);
}

}  // namespace

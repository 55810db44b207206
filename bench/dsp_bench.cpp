// Per-tick cost of each processing chain on synthetic bursts of whole converter counts, as the
// radar delivers them. Every iteration starts from a fresh copy of the raw block, as a tick
// starts from a fresh read; the copy is part of the timing.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "dsp/cfar.h"
#include "dsp/chain_settings.h"
#include "dsp/cw_velocity.h"
#include "dsp/decibels.h"
#include "dsp/fft.h"
#include "dsp/fmcw_range.h"
#include "dsp/fsk.h"
#include "dsp/range_velocity_map.h"

namespace vorn::dsp {
namespace {

SampleBlock RawBurst(std::size_t samplesPerSweep, std::size_t sweeps) {
    SampleBlock block(samplesPerSweep * sweeps);
    for (std::size_t s = 0; s < sweeps; ++s) {
        for (std::size_t n = 0; n < samplesPerSweep; ++n) {
            const double phase = kTwoPi * (0.137 * n + 0.071 * s);
            block[s * samplesPerSweep + n] = {std::round(2048.0 + 300.0 * std::cos(phase)),
                                              std::round(2048.0 + 280.0 * std::sin(phase + 0.05))};
        }
    }
    return block;
}

void BM_FmcwRangeProfile(benchmark::State& state) {
    const int samples = static_cast<int>(state.range(0));
    const SampleBlock raw = RawBurst(samples, 1);
    FmcwRangeSettings settings;
    settings.samplesPerSweep = samples;
    settings.iqBalancing = {true, false};
    settings.hammingWindow = true;
    settings.rangeWeighting = true;
    settings.window = {10.0, 40.0};
    FmcwRangeProcessor processor;
    ClutterCanceller clutter;
    for (auto _ : state) {
        SampleBlock block = raw;
        benchmark::DoNotOptimize(processor.Process(block, settings, clutter));
    }
}
BENCHMARK(BM_FmcwRangeProfile)
    ->Arg(128)
    ->Arg(256)
    ->Arg(512)
    ->Arg(1024)
    ->Unit(benchmark::kMicrosecond);

// Arguments: sweeps S, samples per sweep N.
void BM_RangeVelocityMap(benchmark::State& state) {
    const int sweeps = static_cast<int>(state.range(0));
    const int samples = static_cast<int>(state.range(1));
    const SampleBlock raw = RawBurst(samples, sweeps);
    RangeVelocityMapSettings settings;
    settings.samplesPerSweep = samples;
    settings.sweepCount = sweeps;
    settings.iqBalancing = {true, false};
    settings.hammingWindow = true;
    settings.rangeWeighting = true;
    settings.rangeWindow = {5.0, 50.0};
    settings.velocityWindow = {1.0, 8.0};
    RangeVelocityMapProcessor processor;
    ClutterCanceller clutter;
    for (auto _ : state) {
        SampleBlock block = raw;
        RangeVelocityMapResult result = processor.Process(block, settings, clutter);
        benchmark::DoNotOptimize(result.map.data());
        processor.Recycle(std::move(result));  // as the window and vorn-process do
    }
}
BENCHMARK(BM_RangeVelocityMap)->Args({64, 128})->Args({1024, 1024})->Unit(benchmark::kMillisecond);

// The 64 x 128 map of a noisy burst with two movers, alone (argument 0) and with CFAR
// detection at the default settings (1): the detector's share of a map tick.
void BM_RangeVelocityMapCfar(benchmark::State& state) {
    constexpr int kSweeps = 64;
    constexpr int kSamples = 128;
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0.0, 10.0);
    SampleBlock raw(kSweeps * kSamples);
    for (int s = 0; s < kSweeps; ++s) {
        for (int n = 0; n < kSamples; ++n) {
            Complex v(2048.0, 2048.0);
            for (const auto& [beat, doppler, amplitude] :
                 {std::tuple{0.16, 0.07, 30.0}, std::tuple{0.35, -0.11, 10.0}}) {
                v += std::polar(amplitude, kTwoPi * (beat * n + doppler * s));
            }
            raw[s * kSamples + n] = {std::round(v.real() + noise(rng)),
                                     std::round(v.imag() + noise(rng))};
        }
    }
    // As the window and vorn-process set the map up: the full windows, DC subtraction.
    OperatorChoices choices;
    choices.sweepCount = kSweeps;
    choices.iqBalancing.dcSubtract = true;
    const bool detect = state.range(0) != 0;
    RangeVelocityMapSettings settings =
        MakeRangeVelocityMapSettings(RadarParameters{}, choices, false);
    settings.keepPower = detect;
    RangeVelocityMapProcessor processor;
    ClutterCanceller clutter;
    std::size_t found = 0;
    for (auto _ : state) {
        SampleBlock block = raw;
        RangeVelocityMapResult result = processor.Process(block, settings, clutter);
        if (detect) {
            found = DetectMap(result.map.data(), result.power.data(), kMapRows, kMapColumns,
                              kSamples, kSweeps, CfarSettings{})
                        .size();
        }
        benchmark::DoNotOptimize(result.map.data());
        processor.Recycle(std::move(result));
    }
    if (detect) state.counters["detections"] = static_cast<double>(found);
}
BENCHMARK(BM_RangeVelocityMapCfar)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The floor under the 64 x 128 map: its two batched transforms alone.
void BM_RangeVelocityTransformsOnly(benchmark::State& state) {
    constexpr int kSweeps = 64;
    constexpr int kSize = static_cast<int>(kTransformSize);
    FftwBuffer range(kSweeps * kTransformSize);
    FftwBuffer transposed(kSweeps * kTransformSize);
    FftwBuffer doppler(kMapRows * kTransformSize);
    const FftPlan rangePlan =
        FftPlan::ForwardMany(kSize, kSweeps, range.raw(), 1, kSize, transposed.raw(), kSweeps, 1);
    const FftPlan dopplerPlan = FftPlan::ForwardMany(
        kSize, static_cast<int>(kMapRows), doppler.raw(), 1, kSize, doppler.raw(), 1, kSize);
    const SampleBlock raw = RawBurst(kTransformSize, kSweeps);
    std::copy(raw.begin(), raw.end(), range.data());
    for (auto _ : state) {
        rangePlan.Execute();
        dopplerPlan.Execute();
        benchmark::DoNotOptimize(doppler.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RangeVelocityTransformsOnly)->Unit(benchmark::kMillisecond);

// The map's decibel conversion alone, vectorised and with one libm call per bin.
std::vector<Complex> MapBins() {
    std::vector<Complex> bins(kMapRows * kMapColumns);
    for (std::size_t i = 0; i < bins.size(); ++i) {
        bins[i] = {std::cos(0.001 * static_cast<double>(i)) * 1e3, std::sin(0.37 * i) * 1e2};
    }
    return bins;
}

void BM_MapDecibels(benchmark::State& state) {
    const std::vector<Complex> bins = MapBins();
    std::vector<double> out(bins.size());
    for (auto _ : state) {
        PowerDbInto(bins.data(), out.data(), bins.size());
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_MapDecibels)->Unit(benchmark::kMillisecond);

void BM_MapDecibelsLibm(benchmark::State& state) {
    const std::vector<Complex> bins = MapBins();
    std::vector<double> out(bins.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < bins.size(); ++i) out[i] = PowerDb(bins[i]);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_MapDecibelsLibm)->Unit(benchmark::kMillisecond);

void BM_CwVelocity(benchmark::State& state) {
    const int sweeps = static_cast<int>(state.range(0));
    const int samples = static_cast<int>(state.range(1));
    const SampleBlock raw = RawBurst(samples, sweeps);
    CwVelocitySettings settings;
    settings.samplesPerSweep = samples;
    settings.sweepCount = sweeps;
    settings.hammingWindow = true;
    settings.amplitudeCorrection = true;
    CwVelocityProcessor processor;
    for (auto _ : state) {
        SampleBlock block = raw;
        benchmark::DoNotOptimize(processor.Process(block, settings));
    }
}
BENCHMARK(BM_CwVelocity)->Args({1024, 1024})->Unit(benchmark::kMillisecond);

void BM_Fsk(benchmark::State& state) {
    const int sweeps = static_cast<int>(state.range(0));
    const int samples = static_cast<int>(state.range(1));
    const SampleBlock raw = RawBurst(samples, sweeps);
    FskSettings settings;
    settings.samplesPerSweep = samples;
    settings.sweepCount = sweeps;
    settings.hammingWindow = true;
    settings.velocityWindow = {-3.0, 5.0};
    FskProcessor processor;
    for (auto _ : state) {
        benchmark::DoNotOptimize(processor.Process(raw, settings));
    }
}
BENCHMARK(BM_Fsk)->Args({1024, 1024})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vorn::dsp

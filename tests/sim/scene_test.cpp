#include <fftw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "device/radar_constants.h"
#include "sim/scene.h"

namespace vorn::sim {
namespace {

using cd = std::complex<double>;
constexpr double kPi = 3.141592653589793;

// Forward, unnormalised, zero-padded to `size`, as the processing routines transform.
std::vector<cd> Dft(std::vector<cd> x, int size) {
    x.resize(static_cast<std::size_t>(size));
    std::vector<cd> out(x.size());
    fftw_plan plan =
        fftw_plan_dft_1d(size, reinterpret_cast<fftw_complex*>(x.data()),
                         reinterpret_cast<fftw_complex*>(out.data()), FFTW_FORWARD, FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    return out;
}

std::size_t PeakBin(const std::vector<cd>& spectrum, std::size_t from, std::size_t to) {
    std::size_t best = from;
    for (std::size_t k = from; k < to; ++k)
        if (std::abs(spectrum[k]) > std::abs(spectrum[best])) best = k;
    return best;
}

std::vector<cd> Clean(const Scene& s, const RadarParameters& p, std::uint64_t first, int n) {
    std::vector<cd> x;
    for (int k = 0; k < n; ++k)
        x.push_back(CleanSample(s, p, first + static_cast<std::uint64_t>(k)));
    return x;
}

double WrapPi(double a) {
    return std::remainder(a, 2 * kPi);
}

Scene OneTarget(double range, double velocity) {
    Scene s;
    s.targets = {{range, velocity, 500.0}};
    return s;
}

RadarParameters Params(RadarMode mode, double sweepS, double bandwidth, int n) {
    RadarParameters p;
    p.mode = mode;
    p.sweepTimeS = sweepS;
    p.bandwidthHz = bandwidth;
    p.samplesPerSweep = n;
    return p;
}

TEST(ScenePhysics, FmcwTargetGivesItsBeatToneInTheRangeBinOfItsRange) {
    struct Case {
        double range;
        double bandwidth;
        int n;
    };
    for (const Case c : {Case{10.0, 150e6, 256}, Case{40.0, 100e6, 128}, Case{7.5, 400e6, 1024}}) {
        const RadarParameters p = Params(RadarMode::FmcwSawtooth, 0.001, c.bandwidth, c.n);
        const double beat = 2.0 * c.range * c.bandwidth / (kSpeedOfLight * p.sweepTimeS);
        const std::vector<cd> spectrum = Dft(Clean(OneTarget(c.range, 0.0), p, 0, c.n), 1024);
        const std::size_t peak = PeakBin(spectrum, 0, 513);
        EXPECT_NEAR(static_cast<double>(peak), beat / p.SampleRate() * 1024.0, 1.0) << c.range;
        const double rmax = c.n * kSpeedOfLight / (4.0 * c.bandwidth);
        EXPECT_NEAR(peak * rmax / 512.0, c.range, rmax / 512.0 + 1e-9) << c.range;
    }
}

TEST(ScenePhysics, DopplerPhaseAdvancesBy4PiFcVTOverCPerSweep) {
    for (const double v : {1.5, -2.0}) {
        const RadarParameters p = Params(RadarMode::FmcwSawtooth, 0.001, 150e6, 256);
        const Scene s = OneTarget(12.0, v);
        const double fc = 5.6e9 + p.bandwidthHz / 2.0;
        const double expected = 4.0 * kPi * fc * v * p.sweepTimeS / kSpeedOfLight;
        const std::vector<cd> a = Dft(Clean(s, p, 256 * 10, 256), 1024);
        const std::vector<cd> b = Dft(Clean(s, p, 256 * 11, 256), 1024);
        const std::size_t k = PeakBin(a, 0, 513);
        EXPECT_NEAR(WrapPi(std::arg(b[k]) - std::arg(a[k])), WrapPi(expected), 0.02) << v;
    }
}

TEST(ScenePhysics, FskTonesDifferInPhaseBy4PiDeltaFROverC) {
    const RadarParameters p = Params(RadarMode::Fsk, 0.001, 400e6, 256);
    for (const double range : {3.0, 10.0, 20.0}) {
        const Scene s = OneTarget(range, 0.0);
        const cd a = CleanSample(s, p, 5);
        const cd b = CleanSample(s, p, 128 + 5);
        double d = std::arg(a) - std::arg(b);
        d -= 2 * kPi * std::floor(d / (2 * kPi));
        EXPECT_NEAR(d * kSpeedOfLight / (4 * kPi * kFskStepHz), range, 1e-6);
        EXPECT_NEAR(std::arg(CleanSample(s, p, 5) / CleanSample(s, p, 100)), 0.0, 1e-9)
            << "tone A holds for the whole first half";
    }
}

TEST(SceneCounts, NoiseIsSeededAndCountsStayInTwelveBits) {
    const Scene s = DefaultDemoScene();
    const RadarParameters p = Params(RadarMode::FmcwSawtooth, 0.001, 400e6, 128);
    const std::vector<RawFrame> a = SynthesiseFrames(s, p, 1280, 512, 3);
    const std::vector<RawFrame> b = SynthesiseFrames(s, p, 1280, 512, 3);
    const std::vector<RawFrame> c = SynthesiseFrames(s, p, 1280, 512, 4);
    int differing = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
        ASSERT_EQ(a[k].ch1.i, b[k].ch1.i);
        ASSERT_EQ(a[k].ch2.q, b[k].ch2.q);
        differing += a[k].ch1.i != c[k].ch1.i;
        for (std::uint16_t v : {a[k].ch1.i, a[k].ch1.q, a[k].ch2.i, a[k].ch2.q}) ASSERT_LT(v, 4096);
    }
    EXPECT_GT(differing, 100);

    Scene loud = OneTarget(5.0, 0.0);
    loud.targets[0].amplitude = 5000.0;
    for (const RawFrame& r : SynthesiseFrames(loud, p, 0, 256, 1)) {
        ASSERT_LE(r.ch1.i, 4095);
        ASSERT_LE(r.ch1.q, 4095);
    }
}

}  // namespace
}  // namespace vorn::sim

#include "sim/scene.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "device/radar_constants.h"

namespace vorn::sim {

namespace {
constexpr double kTwoPi = 6.283185307179586;

std::uint16_t ToCounts(double value, double fullScale) {
    const double clamped = std::clamp(std::round(value), 0.0, fullScale);
    return static_cast<std::uint16_t>(clamped);
}

// quadrature: std::polar(1.0, scene.quadraturePhaseRad), worked out once per synthesis.
RawSample Digitise(const Scene& scene, std::complex<double> quadrature, std::complex<double> s,
                   std::complex<double> dc, std::complex<double> noise) {
    const double i = s.real();
    const double q = scene.quadratureGain * (s * quadrature).imag();
    return {ToCounts(scene.midScale + dc.real() + i + noise.real(), scene.fullScale),
            ToCounts(scene.midScale + dc.imag() + q + noise.imag(), scene.fullScale)};
}
}  // namespace

Scene DefaultDemoScene() {
    Scene s;
    s.targets = {{5.0, 0.9, 320.0}, {20.0, -1.2, 260.0}, {14.0, 0.4, 160.0}};
    s.clutter = {{1.2, 0.0, 480.0}, {3.1, 0.0, 140.0}};
    s.noiseRms = 4.0;
    s.dcOffset = {35.0, -22.0};
    s.quadratureGain = 1.05;
    s.quadraturePhaseRad = 0.05;
    s.channel2Gain = std::polar(0.85, 0.6);
    s.channel2DcOffset = {-18.0, 27.0};
    s.motionPeriodS = 10.0;
    return s;
}

namespace {
// ReturnPhase with the sample's sweep and place in it worked out by the caller.
double PhaseAt(const RadarParameters& p, double rangeM, std::uint64_t sweep, std::uint64_t j,
               std::uint64_t perSweep) {
    const double tInSweep = static_cast<double>(j) / p.SampleRate();
    const double tau = 2.0 * rangeM / kSpeedOfLight;
    const double slope = p.bandwidthHz / p.sweepTimeS;
    switch (p.mode) {
        case RadarMode::FmcwTriangle:
            if (sweep % 2 == 1) {
                // Down ramp: the echo comes from a higher frequency, so the beat tone is negative.
                return kTwoPi * tau *
                       (kCarrierBaseHz + p.bandwidthHz - slope * tInSweep + slope * tau / 2.0);
            }
            [[fallthrough]];
        case RadarMode::FmcwSawtooth:
            return kTwoPi * tau * (kCarrierBaseHz + slope * tInSweep - slope * tau / 2.0);
        case RadarMode::Fsk:
            // First half of each period: tone A; second half: tone B.
            return kTwoPi * tau * (j < perSweep / 2 ? kCarrierBaseHz + kFskStepHz : kCarrierBaseHz);
        case RadarMode::Cw:
            return kTwoPi * tau * kCarrierBaseHz;
    }
    return 0.0;
}
}  // namespace

double ReturnPhase(const RadarParameters& p, double rangeM, std::uint64_t n) {
    const auto perSweep = static_cast<std::uint64_t>(p.samplesPerSweep);
    return PhaseAt(p, rangeM, n / perSweep, n % perSweep, perSweep);
}

namespace {
// The moving returns at sample n, summed in scene order; each target stands at its range at
// that time (which starts again every motion period). The sweep, the place in it and the time
// of the motion are worked out once for all targets.
std::complex<double> MovingSum(const Scene& scene, const RadarParameters& p, std::uint64_t n) {
    const double timeS = static_cast<double>(n) / p.SampleRate();
    const double motionS =
        scene.motionPeriodS > 0.0 ? std::fmod(timeS, scene.motionPeriodS) : timeS;
    const auto perSweep = static_cast<std::uint64_t>(p.samplesPerSweep);
    const std::uint64_t sweep = n / perSweep;
    const std::uint64_t j = n % perSweep;
    std::complex<double> sum;
    for (const Target& t : scene.targets) {
        const double rangeM = t.rangeM + t.velocityMps * motionS;
        sum += std::polar(t.amplitude, PhaseAt(p, rangeM, sweep, j, perSweep));
    }
    return sum;
}

// A fixed return's phase depends only on the position in the sweep, and on a triangle also
// on whether the sweep goes up or down: samples this far apart see the same phasors.
std::uint64_t FixedPeriod(const RadarParameters& p) {
    const auto perSweep = static_cast<std::uint64_t>(std::max(1, p.samplesPerSweep));
    return p.mode == RadarMode::FmcwTriangle ? 2 * perSweep : perSweep;
}
}  // namespace

std::vector<RawFrame> SynthesiseFrames(const Scene& scene, const RadarParameters& p,
                                       std::uint64_t first, std::size_t count, std::uint64_t seed) {
    std::vector<RawFrame> frames(count);
    std::mt19937_64 rng(seed ^ (first * 0x9E3779B97F4A7C15ULL));
    std::normal_distribution<double> gauss(0.0, scene.noiseRms > 0.0 ? scene.noiseRms : 1.0);
    const bool noisy = scene.noiseRms > 0.0;
    auto noise = [&]() {
        if (!noisy) return std::complex<double>();
        const double re = gauss(rng);
        return std::complex<double>(re, gauss(rng));
    };
    const std::complex<double> quadrature = std::polar(1.0, scene.quadraturePhaseRad);
    // The fixed returns' phasors over one period, added after the moving ones in scene order,
    // so each sample is the plain return-by-return sum to the bit.
    const std::uint64_t period = FixedPeriod(p);
    const std::size_t fixedCount = scene.clutter.size();
    std::vector<std::complex<double>> fixed;
    if (fixedCount > 0 && count > 0) {
        const std::uint64_t used = std::min<std::uint64_t>(period, count);
        fixed.assign(static_cast<std::size_t>(period) * fixedCount, {});
        for (std::uint64_t k = 0; k < used; ++k) {
            const std::uint64_t n = first + k;
            for (std::size_t c = 0; c < fixedCount; ++c) {
                const Target& r = scene.clutter[c];
                fixed[static_cast<std::size_t>(n % period) * fixedCount + c] =
                    std::polar(r.amplitude, ReturnPhase(p, r.rangeM, n));
            }
        }
    }
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint64_t n = first + k;
        std::complex<double> s = MovingSum(scene, p, n);
        const std::complex<double>* f =
            fixedCount > 0 ? fixed.data() + static_cast<std::size_t>(n % period) * fixedCount
                           : nullptr;
        for (std::size_t c = 0; c < fixedCount; ++c) s += f[c];
        const std::complex<double> n1 = noise();
        const std::complex<double> n2 = noise();
        frames[k].ch1 = Digitise(scene, quadrature, s, scene.dcOffset, n1);
        frames[k].ch2 =
            Digitise(scene, quadrature, s * scene.channel2Gain, scene.channel2DcOffset, n2);
    }
    return frames;
}

}  // namespace vorn::sim

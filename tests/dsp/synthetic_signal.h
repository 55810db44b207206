#pragma once
// Synthetic radar returns for the tests: complex exponentials with the physics of each mode,
// riding on the converter's DC offset as raw samples do.
#include <cmath>
#include <cstddef>
#include <vector>

#include "dsp/sample_block.h"

namespace vorn::dsp::testing {

struct Target {
    double range = 0.0;     // m
    double velocity = 0.0;  // m/s, positive moving away
    double amplitude = 100.0;
};

inline SampleBlock Tone(std::size_t length, double cyclesPerSample, double amplitude = 1.0,
                        Complex offset = {}) {
    SampleBlock block(length);
    for (std::size_t n = 0; n < length; ++n) {
        block[n] =
            offset + std::polar(amplitude, kTwoPi * cyclesPerSample * static_cast<double>(n));
    }
    return block;
}

// S sawtooth sweeps of N samples: beat frequency 2RB/(cT), Doppler phase 4 pi fc v T / c per sweep.
inline SampleBlock FmcwBurst(const std::vector<Target>& targets, int samplesPerSweep, int sweeps,
                             double sweepTimeMs, double bandwidthHz, double centerFrequencyHz,
                             Complex dcOffset = {2048.0, 2048.0}) {
    const double t = sweepTimeMs * 0.001;
    const std::size_t n = static_cast<std::size_t>(samplesPerSweep);
    SampleBlock block(n * static_cast<std::size_t>(sweeps), dcOffset);
    for (const Target& target : targets) {
        const double beatCyclesPerSample =
            2.0 * target.range * bandwidthHz / (kSpeedOfLight * t) * (t / samplesPerSweep);
        const double dopplerPhasePerSweep =
            4.0 * kPi * centerFrequencyHz * target.velocity * t / kSpeedOfLight;
        for (int s = 0; s < sweeps; ++s) {
            for (std::size_t i = 0; i < n; ++i) {
                const double phase = kTwoPi * beatCyclesPerSample * static_cast<double>(i) +
                                     dopplerPhasePerSweep * s;
                block[s * n + i] += std::polar(target.amplitude, phase);
            }
        }
    }
    return block;
}

// A continuous wave record at fs: Doppler frequency 2 v fc / c.
inline SampleBlock CwRecord(const Target& target, std::size_t length, double sampleRate,
                            double centerFrequencyHz, Complex dcOffset = {2048.0, 2048.0}) {
    const double doppler = 2.0 * target.velocity * centerFrequencyHz / kSpeedOfLight;
    return Tone(length, doppler / sampleRate, target.amplitude, dcOffset);
}

// FSK periods of N samples: tone A in the first half, tone B in the second, both turning with
// the Doppler phase per period; A leads B by 4 pi df R / c.
inline SampleBlock FskBurst(const std::vector<Target>& targets, int samplesPerSweep, int periods,
                            double sweepTimeMs, double centerFrequencyHz,
                            Complex dcOffset = {2048.0, 2048.0}) {
    const double t = sweepTimeMs * 0.001;
    const std::size_t n = static_cast<std::size_t>(samplesPerSweep);
    SampleBlock block(n * static_cast<std::size_t>(periods), dcOffset);
    for (const Target& target : targets) {
        const double lead = 4.0 * kPi * 6.0e6 * target.range / kSpeedOfLight;
        const double dopplerPhasePerPeriod =
            4.0 * kPi * centerFrequencyHz * target.velocity * t / kSpeedOfLight;
        for (int p = 0; p < periods; ++p) {
            for (std::size_t i = 0; i < n; ++i) {
                const double phase = dopplerPhasePerPeriod * p + (i < n / 2 ? lead : 0.0);
                block[p * n + i] += std::polar(target.amplitude, phase);
            }
        }
    }
    return block;
}

}  // namespace vorn::dsp::testing

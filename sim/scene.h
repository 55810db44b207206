#pragma once
// The world the stand-in radar looks at, and the converter counts it produces in each mode.
//
// The radar's mixer delivers transmit times the conjugate of the echo, so a return at range R
// has phase 2π·f·2R/c, f being the transmit frequency at that moment. Hence a receding target
// (positive radial velocity) turns its phase forward from sweep to sweep and lands at positive
// Doppler frequencies, which the velocity displays show as positive velocities; an approaching
// target shows negative. The FMCW beat tone of a return is positive, 2RB/(cT).
#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/parameters.h"

namespace vorn::sim {

inline constexpr double kCarrierBaseHz = 5.6e9;  // FMCW sweeps start here; CW and FSK tone B
inline constexpr double kFskStepHz = 6e6;        // tone A lies this far above tone B

struct Target {
    double rangeM = 0.0;       // at stream time 0
    double velocityMps = 0.0;  // radial, positive = receding
    double amplitude = 0.0;    // peak converter counts
};

struct Scene {
    std::vector<Target> targets;
    std::vector<Target> clutter;  // fixed returns; their velocity is ignored
    double noiseRms = 0.0;        // counts, on I and on Q of each channel
    double midScale = 2048.0;     // converter mid-scale, 12-bit converter
    double fullScale = 4095.0;
    std::complex<double> dcOffset{0.0, 0.0};  // counts, real part on I, imaginary on Q
    double quadratureGain = 1.0;              // Q amplitude over I amplitude
    double quadraturePhaseRad = 0.0;          // Q phase error
    // Channel 2 is the second receive antenna: each return arrives scaled and turned by this.
    std::complex<double> channel2Gain{1.0, 0.0};
    std::complex<double> channel2DcOffset{0.0, 0.0};
    // When positive, moving targets jump back to their start range after this many seconds, so a
    // long demo keeps them in view. Zero keeps them moving for ever.
    double motionPeriodS = 0.0;
};

// Three moving targets (one approaching, two receding) between 5 and 20 m and strong static
// clutter close to the antennas, with noise, offsets and a little I/Q imbalance.
Scene DefaultDemoScene();

struct RawSample {
    std::uint16_t i = 0;
    std::uint16_t q = 0;
};

struct RawFrame {
    RawSample ch1;
    RawSample ch2;
};

// Phase of a return at the given range, at absolute sample index n of a stream with these
// parameters (radians, not wrapped).
double ReturnPhase(const RadarParameters& p, double rangeM, std::uint64_t n);

// Frames for samples first .. first + count - 1 of the stream: all returns summed on channel 1
// (channel 2 sees them scaled and turned), then offset, imbalance and noise. Deterministic: the
// noise depends only on seed and the sample indexes asked for.
std::vector<RawFrame> SynthesiseFrames(const Scene& scene, const RadarParameters& p,
                                       std::uint64_t first, std::size_t count, std::uint64_t seed);

}  // namespace vorn::sim

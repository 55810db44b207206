#pragma once
// The sample container and the fixed sizes every processing chain shares.
#include <complex>
#include <cstddef>
#include <vector>

namespace vorn::dsp {

using Complex = std::complex<double>;

// Samples in arrival order: real part I, imaginary part Q.
using SampleBlock = std::vector<Complex>;

inline constexpr double kSpeedOfLight = 299792458.0;
inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 6.283185307179586;

// Every spectrum is a 1024-point transform; range profiles keep its non-negative half.
inline constexpr std::size_t kTransformSize = 1024;
inline constexpr std::size_t kRangeBins = 513;
inline constexpr std::size_t kZeroVelocityIndex = 512;

// Doppler spectra are shown with the negative frequencies first: bin k lands at this index.
inline constexpr std::size_t CentredIndex(std::size_t bin) {
    return (bin + kZeroVelocityIndex) % kTransformSize;
}

}  // namespace vorn::dsp

#pragma once
// The ".dat" sample file: an optional four-line header, then one "<re>+<im>i" line per entry,
// channel 1 and channel 2 alternating.
#include <complex>
#include <optional>
#include <string>

#include "device/radar_constants.h"

namespace vorn::record {

// The operating state a recording was made in, as the window holds it.
struct RecordHeader {
    int operatingMode = 0;  // 0 FMCW sawtooth, 1 FMCW triangle, 2 FSK, 3 CW
    double centerFrequencyHz = 0.0;
    double sweepTimeMs = 0.0;
    int samplesPerSweep = 0;
    double bandwidthHz = 0.0;
};

// The four header lines as they stand in a file.
struct FileHeader {
    double frequencyHz = 0.0;
    double sweepTimeMs = 0.0;
    int samplesPerSweep = 0;
    double bandwidthHz = 0.0;

    bool operator==(const FileHeader& other) const {
        return frequencyHz == other.frequencyHz && sweepTimeMs == other.sweepTimeMs &&
               samplesPerSweep == other.samplesPerSweep && bandwidthHz == other.bandwidthHz;
    }
};

inline constexpr int kModeFmcwSawtooth = kOperatingModeFmcwSawtooth;
inline constexpr int kModeFmcwTriangle = kOperatingModeFmcwTriangle;
inline constexpr int kModeFsk = kOperatingModeFsk;
inline constexpr int kModeCw = kOperatingModeCw;

// The bottom of the radar's band: CW and FSK transmit there, and FMCW sweeps up from it.
inline constexpr double kBaseCarrierHz = 5.6e9;
// The carrier the processing assumes in an operating mode: the base carrier for CW and FSK,
// the sweep's centre for FMCW.
double CarrierHz(int operatingMode, double sweepCentreHz);

// FSK and CW files carry fixed values instead of the sweep's own.
inline constexpr double kFixedCarrierHz = 5800000000.0;
inline constexpr double kFskToneSpacingHz = 6000000.0;

// The header written for a recording; none for FMCW triangle or an unknown mode.
std::optional<FileHeader> HeaderLinesFor(const RecordHeader& header);

// Best guess of the mode a header was written in. An FMCW sweep of 400 MHz also sits at
// 5.8 GHz, so only the bandwidth tells the modes apart.
int InferOperatingMode(const FileHeader& header);

// "%f\n%f\n%d\n%f\n", independent of the C locale so a comma never replaces the point.
std::string FormatHeaderLines(const FileHeader& header);

// Truncation toward zero; out-of-range values saturate and NaN becomes 0.
int SampleToInt(double value);

// Longest line FormatSampleLine can produce: two ints of 11 characters, '+', 'i', '\n'.
inline constexpr int kMaxSampleLineLength = 2 * 11 + 3;

// Writes "<re>+<im>i\n" at out and returns the end. A negative imaginary part gives "12+-5i".
char* FormatSampleLine(char* out, std::complex<double> sample);

}  // namespace vorn::record

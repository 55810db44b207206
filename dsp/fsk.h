#pragma once
// FSK detection: each period holds tone A in its first half and tone B in its second. The
// Doppler spectra of one sample per tone and period give the velocity of the strongest target,
// the phase difference between the tones at its bin gives its range.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "dsp/band_pass.h"
#include "dsp/fft.h"
#include "dsp/sample_block.h"
#include "dsp/scales.h"

namespace vorn::dsp {

inline constexpr double kFskToneStepHz = 6000000.0;
inline constexpr double kFskMaxRange = 24.982704833333333;            // c / (2 df)
inline constexpr double kFskPhaseToRangeDivisor = 75398223.68615504;  // 4 pi df
inline constexpr std::size_t kFskToneAOffset = 5;

struct FskGeometry {
    double sweepTimeS = 0.0;      // T, one period
    int samplesPerSweep = 0;      // N
    int sweepCount = 0;           // S, periods per burst
    double sampleRate = 0.0;      // fs
    double maxVelocity = 0.0;     // vmax
    std::size_t toneBOffset = 0;  // trunc(N / 2 + 5)
    int totalSamples = 0;         // S * N
    std::int64_t timeoutMs = 0;
    int velocitySliderMaximum = 0;  // trunc(vmax); the minimum is its negative
    int velocitySliderStep = 0;     // trunc(2 vmax / S)
};

FskGeometry MakeFskGeometry(double sweepTimeMs, int samplesPerSweep, int sweepCount,
                            double centerFrequencyHz);

// Index of the range track's mark for a range in 0 ... Rmax. A phase difference that wraps to
// exactly 2 pi would land on 1024; it is held at 1023. A range that is not a number has no mark.
std::optional<std::size_t> FskRangeMarkIndex(double range);
// 1024 zeros with 1.0 at the mark.
std::vector<double> FskRangeTrackRow(double range);

// Range from the phase of tone A against tone B, wrapped to [0, 2 pi).
double FskRangeFromPhases(double phaseA, double phaseB);

struct FskSettings {
    double sweepTimeMs = 1.0;
    int samplesPerSweep = 128;
    int sweepCount = 64;
    double centerFrequencyHz = 5.6e9;
    bool hammingWindow = false;
    double threshold = 0.0;       // dB
    WindowBounds velocityWindow;  // signed metres per second, ordered
};

struct FskResult {
    FskGeometry geometry;
    bool windowActive = false;
    double zoneLower = 0.0;  // the shaded band; -vmax ... vmax when the window is off
    double zoneUpper = 0.0;
    std::vector<double> spectrum;  // 1024 values by velocity, index 512 is zero velocity
    BinRange searchBins;
    std::size_t peakIndex = 0;
    double peakLevel = 0.0;             // spectrum[peakIndex], for the level gauge
    double minimumLevel = 0.0;          // first minimum of the searched run
    bool detected = false;              // peakLevel strictly above the threshold
    double range = 0.0;                 // 0 without a detection
    double velocity = 0.0;              // 0 without a detection
    std::vector<double> velocityRow;    // velocity waterfall: spectrum, outside the run at minimum
    std::vector<double> rangeTrackRow;  // range track: the mark of `range`
    IqTraces scope;                     // period 0, DC removed
};

class FskProcessor {
public:
    FskProcessor();
    void Reset() { window_.Reset(); }
    FskResult Process(const SampleBlock& block, const FskSettings& settings);

private:
    BandPassWindow window_;
    FftwBuffer toneA_;
    FftwBuffer toneB_;
    FftPlan planA_;
    FftPlan planB_;
};

}  // namespace vorn::dsp

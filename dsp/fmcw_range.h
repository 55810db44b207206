#pragma once
// FMCW range profile: one sweep in, a 513-bin range profile in decibels out, with the range
// window, the outdoor range weighting and the peak search of the range scope.
#include <cstddef>
#include <vector>

#include "dsp/band_pass.h"
#include "dsp/clutter_canceller.h"
#include "dsp/conditioning.h"
#include "dsp/fft.h"
#include "dsp/sample_block.h"
#include "dsp/scales.h"

namespace vorn::dsp {

struct FmcwRangeGeometry {
    double sweepTimeS = 0.0;  // T
    int samplesPerSweep = 0;  // N
    double sampleRate = 0.0;  // fs = N / T
    double maxRange = 0.0;    // Rmax, the range of bin 512
    int sliderMaximum = 0;    // trunc(Rmax): full range of the window sliders
};

FmcwRangeGeometry MakeFmcwRangeGeometry(double sweepTimeMs, int samplesPerSweep,
                                        double bandwidthHz);

// ((i + 1) Rmax / 513)^2 / Rmax^2 in both parts of entry i, i = 0 ... 512.
std::vector<Complex> FmcwRangeWeighting(double maxRange);

struct FmcwRangeSettings {
    double sweepTimeMs = 1.0;
    int samplesPerSweep = 128;
    double bandwidthHz = 100e6;
    ClutterMode clutterMode = ClutterMode::Disabled;
    int clutterAverageCount = 2;
    IqBalancing iqBalancing;
    bool hammingWindow = false;
    bool rangeWeighting = false;
    WindowBounds window;  // slider values in metres, already ordered (OrderWindowBounds)
};

struct FmcwRangeResult {
    FmcwRangeGeometry geometry;
    IqTraces scope;               // after clutter cancellation and IQ balancing, before windowing
    std::vector<double> profile;  // 513 values, dB
    bool windowActive = false;
    double zoneLower = 0.0;  // the shaded band; 0 ... Rmax when the window is off
    double zoneUpper = 0.0;
    BinRange searchBins;
    std::size_t peakBin = 0;
    double detectedRange = 0.0;  // the range axis value of peakBin
};

// Keeps what lives from tick to tick: the range window's response and the transform plan.
class FmcwRangeProcessor {
public:
    // Called when the configuration changes, so the next active window is built anew.
    void Reset() { window_.Reset(); }

    // Conditions and transforms `block` in place (it ends as the 1024-bin transform).
    FmcwRangeResult Process(SampleBlock& block, const FmcwRangeSettings& settings,
                            ClutterCanceller& clutter);

private:
    BandPassWindow window_;
    std::vector<Complex> weighting_;
    double weightingRange_ = 0.0;
    BlockTransformer transformer_;
    std::vector<Complex> weighted_;  // the windowed bins of one tick, kept for its capacity
};

}  // namespace vorn::dsp

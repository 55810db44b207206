#include "dsp/fmcw_range.h"

#include <cmath>

#include "dsp/decibels.h"

namespace vorn::dsp {

FmcwRangeGeometry MakeFmcwRangeGeometry(double sweepTimeMs, int samplesPerSweep,
                                        double bandwidthHz) {
    FmcwRangeGeometry g;
    g.sweepTimeS = sweepTimeMs * 0.001;
    g.samplesPerSweep = samplesPerSweep;
    g.sampleRate = samplesPerSweep / g.sweepTimeS;
    g.maxRange = samplesPerSweep * kSpeedOfLight / (4.0 * bandwidthHz);
    g.sliderMaximum = TruncateToInt(g.maxRange);
    return g;
}

std::vector<Complex> FmcwRangeWeighting(double maxRange) {
    std::vector<Complex> weighting(kRangeBins);
    const double bins = static_cast<double>(kRangeBins);
    for (std::size_t i = 0; i < kRangeBins; ++i) {
        const double range = (static_cast<double>(i) + 1.0) * maxRange / bins;
        const double w = range * range / (maxRange * maxRange);
        weighting[i] = Complex(w, w);
    }
    return weighting;
}

FmcwRangeResult FmcwRangeProcessor::Process(SampleBlock& block, const FmcwRangeSettings& settings,
                                            ClutterCanceller& clutter) {
    FmcwRangeResult result;
    const FmcwRangeGeometry g =
        MakeFmcwRangeGeometry(settings.sweepTimeMs, settings.samplesPerSweep, settings.bandwidthHz);
    result.geometry = g;

    result.windowActive = IsWindowActive(settings.window, 0.0, g.maxRange);
    const std::vector<Complex>* response = nullptr;
    if (result.windowActive) {
        response = &window_.Response(settings.window.lower, settings.window.upper, g.maxRange);
    }
    if (settings.rangeWeighting && (weighting_.empty() || weightingRange_ != g.maxRange)) {
        weighting_ = FmcwRangeWeighting(g.maxRange);
        weightingRange_ = g.maxRange;
    }

    clutter.Apply(block, settings.clutterMode, settings.clutterAverageCount);
    ApplyIqBalancing(block, 1, settings.iqBalancing);
    result.scope = SplitIq(block);

    const std::size_t n = settings.samplesPerSweep > 0 ? settings.samplesPerSweep : 0;
    if (settings.hammingWindow) ApplyHammingWindow(block, n, 1);
    transformer_.Transform(block);

    // Windowed in a scratch copy: the block stays the plain transform for the caller.
    weighted_.assign(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(kRangeBins));
    for (std::size_t k = 0; k < kRangeBins; ++k) {
        if (response != nullptr) weighted_[k] *= (*response)[k];
        if (settings.rangeWeighting) weighted_[k] *= weighting_[k];
    }
    result.profile.resize(kRangeBins);
    PowerDbInto(weighted_.data(), result.profile.data(), kRangeBins);

    result.zoneLower = result.windowActive ? settings.window.lower : 0.0;
    result.zoneUpper = result.windowActive ? settings.window.upper : g.maxRange;
    result.searchBins = WindowBins(result.zoneLower, result.zoneUpper, 0.0, g.maxRange, kRangeBins);
    result.peakBin =
        FirstMaximumIndex(result.profile, result.searchBins.first, result.searchBins.end);
    result.detectedRange =
        static_cast<double>(result.peakBin) * g.maxRange / static_cast<double>(kRangeBins);
    return result;
}

}  // namespace vorn::dsp

#include "dsp/fsk.h"

#include <algorithm>
#include <cmath>

#include "dsp/conditioning.h"

namespace vorn::dsp {

FskGeometry MakeFskGeometry(double sweepTimeMs, int samplesPerSweep, int sweepCount,
                            double centerFrequencyHz) {
    FskGeometry g;
    g.sweepTimeS = sweepTimeMs * 0.001;
    g.samplesPerSweep = samplesPerSweep;
    g.sweepCount = sweepCount;
    const double n = samplesPerSweep;
    g.sampleRate = n * (1.0 / g.sweepTimeS);
    g.maxVelocity = (1.0 / g.sweepTimeS) * 0.5 * kSpeedOfLight / (centerFrequencyHz * 2.0);
    g.toneBOffset = static_cast<std::size_t>(std::max(0.0, n * 0.5 + 5.0));
    const double total = static_cast<double>(sweepCount) * n;
    g.totalSamples = std::max(0, TruncateToInt(total));
    const double timeout = g.totalSamples / g.sampleRate * 2000.0 + 1000.0;
    g.timeoutMs = TimeoutMs(timeout);
    g.velocitySliderMaximum = TruncateToInt(g.maxVelocity);
    if (sweepCount > 0) g.velocitySliderStep = TruncateToInt(g.maxVelocity * 2.0 / sweepCount);
    return g;
}

std::optional<std::size_t> FskRangeMarkIndex(double range) {
    const double position = range / kFskMaxRange * static_cast<double>(kTransformSize);
    if (std::isnan(position)) return std::nullopt;
    if (position <= 0.0) return 0;
    if (position >= static_cast<double>(kTransformSize - 1)) return kTransformSize - 1;
    return static_cast<std::size_t>(position);
}

std::vector<double> FskRangeTrackRow(double range) {
    std::vector<double> row(kTransformSize, 0.0);
    if (const auto mark = FskRangeMarkIndex(range)) row[*mark] = 1.0;
    return row;
}

double FskRangeFromPhases(double phaseA, double phaseB) {
    double d = phaseA - phaseB;
    d = d - kTwoPi * std::floor(d / kTwoPi);
    return d * kSpeedOfLight / kFskPhaseToRangeDivisor;
}

FskProcessor::FskProcessor()
    : toneA_(kTransformSize),
      toneB_(kTransformSize),
      planA_(FftPlan::Forward1d(static_cast<int>(kTransformSize), toneA_.raw(), toneA_.raw())),
      planB_(FftPlan::Forward1d(static_cast<int>(kTransformSize), toneB_.raw(), toneB_.raw())) {}

FskResult FskProcessor::Process(const SampleBlock& block, const FskSettings& settings) {
    FskResult r;
    const FskGeometry g = MakeFskGeometry(settings.sweepTimeMs, settings.samplesPerSweep,
                                          settings.sweepCount, settings.centerFrequencyHz);
    r.geometry = g;
    const double vmax = g.maxVelocity;

    r.windowActive = IsWindowActive(settings.velocityWindow, -vmax, vmax);
    const std::vector<Complex>* response = nullptr;
    if (r.windowActive) {
        response =
            &window_.Response(settings.velocityWindow.lower, settings.velocityWindow.upper, vmax);
    }

    // One sample of each tone per period; periods the block does not hold stay zero.
    const std::size_t n = static_cast<std::size_t>(std::max(0, settings.samplesPerSweep));
    const std::size_t periods = static_cast<std::size_t>(
        std::clamp(settings.sweepCount, 0, static_cast<int>(kTransformSize)));
    toneA_.Zero();
    toneB_.Zero();
    for (std::size_t p = 0; p < periods; ++p) {
        const std::size_t start = p * n;
        if (start + kFskToneAOffset < block.size()) toneA_[p] = block[start + kFskToneAOffset];
        if (start + g.toneBOffset < block.size()) toneB_[p] = block[start + g.toneBOffset];
    }
    SubtractDcOffset(toneA_.data(), periods, periods, 1);
    SubtractDcOffset(toneB_.data(), periods, periods, 1);
    if (settings.hammingWindow) {
        ApplyHammingWindow(toneA_.data(), periods, periods, 1);
        ApplyHammingWindow(toneB_.data(), periods, periods, 1);
    }
    planA_.Execute();
    planB_.Execute();

    constexpr double kScale = 0.0009765625;
    r.spectrum.resize(kTransformSize);
    for (std::size_t k = 0; k < kTransformSize; ++k) {
        Complex product = toneA_[k] * toneB_[k];
        if (response != nullptr) product *= (*response)[k];
        r.spectrum[CentredIndex(k)] =
            PowerDb(Complex(product.real() * kScale, product.imag() * kScale));
    }
    r.spectrum[kZeroVelocityIndex] = r.spectrum[kZeroVelocityIndex + 1];

    r.zoneLower = r.windowActive ? settings.velocityWindow.lower : -vmax;
    r.zoneUpper = r.windowActive ? settings.velocityWindow.upper : vmax;
    r.searchBins = WindowBins(r.zoneLower, r.zoneUpper, -vmax, 2.0 * vmax, kTransformSize);
    r.peakIndex = FirstMaximumIndex(r.spectrum, r.searchBins.first, r.searchBins.end);
    r.minimumLevel =
        r.spectrum[FirstMinimumIndex(r.spectrum, r.searchBins.first, r.searchBins.end)];
    r.peakLevel = r.spectrum[r.peakIndex];

    if (r.peakLevel > settings.threshold) {
        const std::size_t bin = CentredIndex(r.peakIndex);
        r.detected = true;
        r.range = FskRangeFromPhases(std::arg(toneA_[bin]), std::arg(toneB_[bin]));
        r.velocity = (2.0 * vmax / 1023.0) * static_cast<double>(r.peakIndex) - vmax;
    }

    r.velocityRow = r.spectrum;
    std::fill(r.velocityRow.begin(),
              r.velocityRow.begin() + static_cast<std::ptrdiff_t>(r.searchBins.first),
              r.minimumLevel);
    std::fill(r.velocityRow.begin() +
                  static_cast<std::ptrdiff_t>(std::max(r.searchBins.first, r.searchBins.end)),
              r.velocityRow.end(), r.minimumLevel);
    r.rangeTrackRow = FskRangeTrackRow(r.range);

    SampleBlock firstPeriod(block.begin(),
                            block.begin() + static_cast<std::ptrdiff_t>(std::min(n, block.size())));
    SubtractDcOffset(firstPeriod, firstPeriod.size(), 1);
    r.scope = SplitIq(firstPeriod);
    return r;
}

}  // namespace vorn::dsp

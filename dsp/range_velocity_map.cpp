#include "dsp/range_velocity_map.h"

#include <algorithm>
#include <cmath>

namespace vorn::dsp {
RangeVelocityGeometry MakeRangeVelocityGeometry(double sweepTimeMs, int samplesPerSweep,
                                                int sweepCount, double bandwidthHz,
                                                double centerFrequencyHz) {
    RangeVelocityGeometry g;
    g.sweepTimeS = sweepTimeMs * 0.001;
    g.samplesPerSweep = samplesPerSweep;
    g.sweepCount = sweepCount;
    const double n = samplesPerSweep;
    g.sampleRate = (1.0 / g.sweepTimeS) * n;
    g.maxRange = n * kSpeedOfLight / (bandwidthHz * 4.0);
    g.maxVelocity = (1.0 / g.sweepTimeS) * kSpeedOfLight / (centerFrequencyHz * 4.0);
    g.totalSamples = TruncateToInt(static_cast<double>(sweepCount) * n);
    const double timeout = g.totalSamples / g.sampleRate * 2000.0 + 1000.0;
    g.timeoutMs = TimeoutMs(timeout);
    g.rangeSliderMaximum = TruncateToInt(g.maxRange);
    g.velocitySliderMaximum = TruncateToInt(g.maxVelocity);
    return g;
}

std::vector<Complex> MapRangeWeighting(double maxRange) {
    constexpr double kFourPi = 12.566370614359172;
    const double step = maxRange * (1.0 / 1024.0);
    std::vector<Complex> weighting(kTransformSize);
    for (std::size_t k = 0; k < kTransformSize; ++k) {
        const double range = (static_cast<double>(k) + 1.0) * step;
        const double w = range * range * kFourPi / (kFourPi * maxRange * maxRange);
        weighting[k] = Complex(w, w);
    }
    return weighting;
}

std::vector<double> VelocityProfile(const std::vector<double>& map) {
    std::vector<double> profile(kMapColumns, 0.0);
    if (map.size() < kMapRows * kMapColumns) return profile;
    const std::size_t last = kMapRows - 1;
    for (std::size_t c = 0; c < kMapColumns; ++c) {
        double sum = 0.0;
        for (std::size_t b = 0; b < last; ++b) sum += map[b * kMapColumns + c] * (1.0 / 1024.0);
        profile[c] = map[last * kMapColumns + c] + sum;
    }
    profile[kZeroVelocityIndex - 1] = profile[kZeroVelocityIndex];
    return profile;
}

RangeVelocityMapProcessor::RangeVelocityMapProcessor()
    : dopplerBuffer_(kMapRows * kTransformSize),
      dopplerPlan_(FftPlan::ForwardMany(static_cast<int>(kTransformSize),
                                        static_cast<int>(kMapRows), dopplerBuffer_.raw(), 1,
                                        static_cast<int>(kTransformSize), dopplerBuffer_.raw(), 1,
                                        static_cast<int>(kTransformSize))) {}

void RangeVelocityMapProcessor::Reset() {
    rangeWindow_.Reset();
    velocityWindow_.Reset();
}

void RangeVelocityMapProcessor::PrepareRangeStage(std::size_t sweeps) {
    if (sweeps == sweeps_ && rangePlan_.valid()) return;
    sweeps_ = sweeps;
    rangePlan_ = FftPlan();
    rangeBuffer_ = FftwBuffer(sweeps * kTransformSize);
    transposedBuffer_ = FftwBuffer(sweeps * kTransformSize);
    // Output stride S and distance 1 transpose the result: bin b of sweep s lands at b * S + s.
    const int size = static_cast<int>(kTransformSize);
    const int howMany = static_cast<int>(sweeps);
    rangePlan_ = FftPlan::ForwardMany(size, howMany, rangeBuffer_.raw(), 1, size,
                                      transposedBuffer_.raw(), howMany, 1);
}

RangeVelocityMapResult RangeVelocityMapProcessor::Process(SampleBlock& block,
                                                          const RangeVelocityMapSettings& settings,
                                                          ClutterCanceller& clutter) {
    RangeVelocityMapResult result;
    const RangeVelocityGeometry g = MakeRangeVelocityGeometry(
        settings.sweepTimeMs, settings.samplesPerSweep, settings.sweepCount, settings.bandwidthHz,
        settings.centerFrequencyHz);
    result.geometry = g;

    result.rangeWindowActive = IsWindowActive(settings.rangeWindow, 0.0, g.maxRange);
    result.velocityWindowActive = IsWindowActive(settings.velocityWindow, 0.0, g.maxVelocity);
    const std::vector<Complex>* rangeResponse = nullptr;
    const std::vector<Complex>* velocityResponse = nullptr;
    if (result.rangeWindowActive) {
        rangeResponse = &rangeWindow_.Response(settings.rangeWindow.lower,
                                               settings.rangeWindow.upper, g.maxRange);
    }
    if (result.velocityWindowActive) {
        velocityResponse = &velocityWindow_.Response(settings.velocityWindow.lower,
                                                     settings.velocityWindow.upper, g.maxVelocity);
    }
    if (settings.rangeWeighting && (weighting_.empty() || weightingRange_ != g.maxRange)) {
        weighting_ = MapRangeWeighting(g.maxRange);
        weightingRange_ = g.maxRange;
    }

    const std::size_t n = static_cast<std::size_t>(std::max(0, settings.samplesPerSweep));
    const std::size_t sweeps = static_cast<std::size_t>(
        std::clamp(settings.sweepCount, 1, static_cast<int>(kTransformSize)));

    clutter.Apply(block, settings.clutterMode, settings.clutterAverageCount);
    if (settings.hammingWindow) ApplyHammingWindow(block, n, sweeps);
    ApplyIqBalancing(block, sweeps, settings.iqBalancing);

    PrepareRangeStage(sweeps);
    rangeBuffer_.Zero();
    const std::size_t copied = std::min(n, kTransformSize);
    for (std::size_t s = 0; s < sweeps && n > 0 && (s + 1) * n <= block.size(); ++s) {
        std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(s * n), copied,
                    rangeBuffer_.data() + s * kTransformSize);
    }
    rangePlan_.Execute();

    // Range bins 0 ... 512 go to the Doppler rows, windowed and weighted, zero-padded to 1024.
    for (std::size_t b = 0; b < kMapRows; ++b) {
        Complex* row = dopplerBuffer_.data() + b * kTransformSize;
        const Complex* bin = transposedBuffer_.data() + b * sweeps;
        for (std::size_t s = 0; s < sweeps; ++s) {
            Complex value = bin[s];
            if (rangeResponse != nullptr) value *= (*rangeResponse)[b];
            if (settings.rangeWeighting) value *= weighting_[b];
            row[s] = value;
        }
        std::fill(row + sweeps, row + kTransformSize, Complex());
        if (settings.iqBalancing.dcSubtract) SubtractDcOffset(row, sweeps, sweeps, 1);
    }
    dopplerPlan_.Execute();

    result.map.resize(kMapRows * kMapColumns);
    for (std::size_t b = 0; b < kMapRows; ++b) {
        const Complex* row = dopplerBuffer_.data() + b * kTransformSize;
        double* out = result.map.data() + b * kMapColumns;
        for (std::size_t k = 0; k < kTransformSize; ++k) {
            Complex value = row[k];
            if (velocityResponse != nullptr) value *= (*velocityResponse)[k];
            out[CentredIndex(k)] = PowerDb(value);
        }
    }
    return result;
}

}  // namespace vorn::dsp

#include "dsp/range_velocity_map.h"

#include <algorithm>
#include <cmath>

#include "dsp/decibels.h"

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

namespace {
// Range bins per Doppler group: its input and output (256 KB) stay in a core's cache.
constexpr std::size_t kDopplerGroup = 8;
constexpr std::size_t kDopplerTail = kMapRows % kDopplerGroup;
static_assert(kDopplerTail > 0, "the tail plan needs rows");

FftPlan DopplerPlan(std::size_t rows, FftwBuffer& in, FftwBuffer& out) {
    const int size = static_cast<int>(kTransformSize);
    return FftPlan::ForwardMany(size, static_cast<int>(rows), in.raw(), 1, size, out.raw(), 1,
                                size);
}
}  // namespace

RangeVelocityMapProcessor::RangeVelocityMapProcessor()
    : dopplerIn_(kDopplerGroup * kTransformSize),
      dopplerOut_(kDopplerGroup * kTransformSize),
      dopplerPlan_(DopplerPlan(kDopplerGroup, dopplerIn_, dopplerOut_)),
      dopplerTailPlan_(DopplerPlan(kDopplerTail, dopplerIn_, dopplerOut_)),
      // Made (and its pages touched) now, not by the first block.
      spareMap_(kMapRows * kMapColumns) {}

void RangeVelocityMapProcessor::Reset() {
    rangeWindow_.Reset();
    velocityWindow_.Reset();
}

void RangeVelocityMapProcessor::PrepareRangeStage(std::size_t sweeps) {
    if (sweeps == sweeps_ && rangePlan_.valid()) return;
    sweeps_ = sweeps;
    rangePlan_ = FftPlan();
    rangeIn_ = FftwBuffer(sweeps * kTransformSize);
    rangeOut_ = FftwBuffer(sweeps * kTransformSize);
    rangeDirty_ = 0;
    const int size = static_cast<int>(kTransformSize);
    rangePlan_ = FftPlan::ForwardMany(size, static_cast<int>(sweeps), rangeIn_.raw(), 1, size,
                                      rangeOut_.raw(), 1, size);
}

// Sweep s goes to row s, cut to 1024 samples; sweeps the block does not hold stay zero.
void RangeVelocityMapProcessor::LoadSweeps(const SampleBlock& block, std::size_t n,
                                           std::size_t sweeps) {
    const std::size_t copied = std::min(n, kTransformSize);
    for (std::size_t s = 0; s < sweeps; ++s) {
        Complex* row = rangeIn_.data() + s * kTransformSize;
        const bool present = n > 0 && (s + 1) * n <= block.size();
        const std::size_t written = present ? copied : 0;
        if (present) {
            std::copy_n(block.begin() + static_cast<std::ptrdiff_t>(s * n), copied, row);
        }
        if (rangeDirty_ > written) std::fill(row + written, row + rangeDirty_, Complex());
    }
    rangeDirty_ = copied;
}

// Range bins firstBin ... firstBin + bins - 1 of every sweep become the group's Doppler rows,
// windowed and weighted, with the slow-time mean removed.
void RangeVelocityMapProcessor::LoadDopplerRows(std::size_t firstBin, std::size_t bins,
                                                std::size_t sweeps,
                                                const std::vector<Complex>* rangeResponse,
                                                bool rangeWeighting, bool dcSubtract) {
    for (std::size_t s = 0; s < sweeps; ++s) {
        const Complex* sweep = rangeOut_.data() + s * kTransformSize + firstBin;
        for (std::size_t i = 0; i < bins; ++i) {
            const std::size_t b = firstBin + i;
            Complex value = sweep[i];
            if (rangeResponse != nullptr) value *= (*rangeResponse)[b];
            if (rangeWeighting) value *= weighting_[b];
            dopplerIn_[i * kTransformSize + s] = value;
        }
    }
    if (dcSubtract) {
        for (std::size_t i = 0; i < bins; ++i) {
            SubtractDcOffset(dopplerIn_.data() + i * kTransformSize, sweeps, sweeps, 1);
        }
    }
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
    LoadSweeps(block, n, sweeps);
    rangePlan_.Execute();

    result.map = std::move(spareMap_);
    result.map.resize(kMapRows * kMapColumns);  // every cell is written below
    if (settings.keepPower) {
        result.power = std::move(sparePower_);
        result.power.resize(kMapRows * kMapColumns);
    }
    double* powers = settings.keepPower ? result.power.data() : nullptr;
    // The profile sums the linear powers while the map is converted, in column order.
    std::vector<double> powerSum(settings.velocityProfile ? kMapColumns : 0, 0.0);
    double* sums = settings.velocityProfile ? powerSum.data() : nullptr;
    const Complex* gains = velocityResponse != nullptr ? velocityResponse->data() : nullptr;
    // Sweeps beyond this block's (a longer burst before) must not linger in the group rows.
    if (dopplerDirty_ > sweeps) {
        for (std::size_t i = 0; i < kDopplerGroup; ++i) {
            Complex* row = dopplerIn_.data() + i * kTransformSize;
            std::fill(row + sweeps, row + dopplerDirty_, Complex());
        }
    }
    dopplerDirty_ = sweeps;
    for (std::size_t first = 0; first < kMapRows; first += kDopplerGroup) {
        const std::size_t bins = std::min(kDopplerGroup, kMapRows - first);
        LoadDopplerRows(first, bins, sweeps, rangeResponse, settings.rangeWeighting,
                        settings.iqBalancing.dcSubtract);
        (bins == kDopplerGroup ? dopplerPlan_ : dopplerTailPlan_).Execute();
        for (std::size_t i = 0; i < bins; ++i) {
            const std::size_t b = first + i;
            const Complex* row = dopplerOut_.data() + i * kTransformSize;
            double* out = result.map.data() + b * kMapColumns;
            double* rowPowers = powers != nullptr ? powers + b * kMapColumns : nullptr;
            // Centred: bins 0 ... 511 go to columns 512 ... 1023 and the negative half before
            // them.
            PowerDbInto(row, gains, out + kZeroVelocityIndex, kTransformSize - kZeroVelocityIndex,
                        sums ? sums + kZeroVelocityIndex : nullptr,
                        rowPowers ? rowPowers + kZeroVelocityIndex : nullptr);
            PowerDbInto(row + kZeroVelocityIndex, gains ? gains + kZeroVelocityIndex : nullptr, out,
                        kZeroVelocityIndex, sums, rowPowers);
        }
    }
    if (settings.velocityProfile) {
        result.velocityProfile.resize(kMapColumns);
        for (std::size_t c = 0; c < kMapColumns; ++c) {
            result.velocityProfile[c] = PowerToDb(powerSum[c] * (1.0 / kMapRows));
        }
        result.velocityProfile[kZeroVelocityIndex - 1] = result.velocityProfile[kZeroVelocityIndex];
    }
    return result;
}

}  // namespace vorn::dsp

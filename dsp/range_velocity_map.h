#pragma once
// Range-velocity map: a burst of S sweeps becomes a 513 x 1024 power map in decibels, row b
// the range bin b, columns ordered by velocity (column 512 is zero velocity).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dsp/band_pass.h"
#include "dsp/clutter_canceller.h"
#include "dsp/conditioning.h"
#include "dsp/fft.h"
#include "dsp/sample_block.h"
#include "dsp/scales.h"

namespace vorn::dsp {

inline constexpr std::size_t kMapColumns = kTransformSize;
inline constexpr std::size_t kMapRows = kRangeBins;

struct RangeVelocityGeometry {
    double sweepTimeS = 0.0;        // T
    int samplesPerSweep = 0;        // N
    int sweepCount = 0;             // S
    double sampleRate = 0.0;        // fs = N / T
    double maxRange = 0.0;          // Rmax, range bin 512
    double maxVelocity = 0.0;       // vmax, Doppler bin 512
    int totalSamples = 0;           // S * N, the samples to request
    std::int64_t timeoutMs = 0;     // twice the burst's duration plus one second
    int rangeSliderMaximum = 0;     // trunc(Rmax)
    int velocitySliderMaximum = 0;  // trunc(vmax)
};

RangeVelocityGeometry MakeRangeVelocityGeometry(double sweepTimeMs, int samplesPerSweep,
                                                int sweepCount, double bandwidthHz,
                                                double centerFrequencyHz);

// ((k + 1) Rmax / 1024)^2 4 pi / (4 pi Rmax^2) in both parts of entry k, k = 0 ... 1023.
std::vector<Complex> MapRangeWeighting(double maxRange);

struct RangeVelocityMapSettings {
    double sweepTimeMs = 1.0;
    int samplesPerSweep = 128;
    int sweepCount = 64;
    double bandwidthHz = 100e6;
    double centerFrequencyHz = 5.65e9;
    ClutterMode clutterMode = ClutterMode::Disabled;
    int clutterAverageCount = 2;
    IqBalancing iqBalancing;  // dcSubtract also removes each range bin's slow-time mean
    bool hammingWindow = false;
    bool rangeWeighting = false;
    WindowBounds rangeWindow;      // metres, ordered
    WindowBounds velocityWindow;   // metres per second, ordered
    bool velocityProfile = false;  // also compute the velocity waterfall's row
    bool keepPower = false;        // also keep the map's linear powers (for a detector)
};

struct RangeVelocityMapResult {
    RangeVelocityGeometry geometry;
    bool rangeWindowActive = false;
    bool velocityWindowActive = false;
    std::vector<double> map;  // kMapRows x kMapColumns, row-major by range bin
    // When asked for: the power (re^2 + im^2) each map cell's decibels come from, same layout;
    // else empty.
    std::vector<double> power;
    // When asked for: per column, the power averaged over all 513 range bins, in decibels (a
    // target shows wherever its range is); the column below zero velocity takes the
    // zero-velocity value. kMapColumns values, else empty.
    std::vector<double> velocityProfile;
};

// Keeps both windows' responses, the weighting, the transform buffers and their plans.
class RangeVelocityMapProcessor {
public:
    RangeVelocityMapProcessor();
    void Reset();

    // Conditions `block` in place. A block shorter than S * N leaves the missing sweeps zero.
    RangeVelocityMapResult Process(SampleBlock& block, const RangeVelocityMapSettings& settings,
                                   ClutterCanceller& clutter);
    // Hands a result's map and powers back for the next Process to fill: fresh ones every
    // block would cost 4 MB each of zeroing and page faults.
    void Recycle(RangeVelocityMapResult&& result) {
        spareMap_ = std::move(result.map);
        if (!result.power.empty()) sparePower_ = std::move(result.power);
    }

private:
    void PrepareRangeStage(std::size_t sweeps);
    void LoadSweeps(const SampleBlock& block, std::size_t samplesPerSweep, std::size_t sweeps);
    void LoadDopplerRows(std::size_t firstBin, std::size_t bins, std::size_t sweeps,
                         const std::vector<Complex>* rangeResponse, bool rangeWeighting,
                         bool dcSubtract);

    BandPassWindow rangeWindow_;
    BandPassWindow velocityWindow_;
    std::vector<Complex> weighting_;
    double weightingRange_ = 0.0;
    std::size_t sweeps_ = 0;
    // The transforms are out of place so that their inputs keep the zero padding between
    // ticks: only the samples and sweeps that are really there are written each time.
    FftwBuffer rangeIn_;   // sweeps x 1024, one sweep per row
    FftwBuffer rangeOut_;  // sweeps x 1024, one sweep's range bins per row
    FftPlan rangePlan_;
    std::size_t rangeDirty_ = 0;  // no row of rangeIn_ holds non-zeros at or beyond this
    // The Doppler transforms go a few range bins at a time, each group converted to decibels
    // while it is still in cache: the whole 513-row stage would be 17 MB of buffers out of
    // cache, written and read back once more.
    FftwBuffer dopplerIn_;  // kDopplerGroup x 1024, one range bin per row, columns >= sweeps zero
    FftwBuffer dopplerOut_;
    FftPlan dopplerPlan_;           // a whole group
    FftPlan dopplerTailPlan_;       // the last, shorter group
    std::size_t dopplerDirty_ = 0;  // no row of dopplerIn_ holds non-zeros at or beyond this
    std::vector<double> spareMap_;
    std::vector<double> sparePower_;
};

}  // namespace vorn::dsp

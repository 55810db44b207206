#pragma once
// CW velocity spectrum: a record of several sweeps' worth of samples, decimated by 128,
// imbalance-corrected and turned into a 1024-bin Doppler spectrum ordered by velocity.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dsp/fft.h"
#include "dsp/sample_block.h"
#include "dsp/scales.h"

namespace vorn::dsp {

inline constexpr int kCwDecimation = 128;

struct CwGeometry {
    double sweepTimeS = 0.0;         // T
    int samplesPerSweep = 0;         // N
    double sampleRate = 0.0;         // fs = N / T
    int totalSamples = 0;            // M = trunc(sweep count * N)
    int decimatedLength = 0;         // L = M / 128
    double maxVelocity = 0.0;        // vmax
    double velocityStep = 0.0;       // 2 vmax / 1024
    std::int64_t timeoutMs = 0;      // twice the record's duration plus one second
    double scopeSamplePeriod = 0.0;  // 128 / fs
};

CwGeometry MakeCwGeometry(double sweepTimeMs, int samplesPerSweep, int sweepCount,
                          double centerFrequencyHz);

struct CwVelocitySettings {
    double sweepTimeMs = 1.0;
    int samplesPerSweep = 128;
    int sweepCount = 64;
    double centerFrequencyHz = 5.6e9;
    bool amplitudeCorrection = false;
    bool hammingWindow = false;
};

struct CwVelocityResult {
    CwGeometry geometry;
    IqTraces scope;                // the decimated, corrected record
    std::vector<double> spectrum;  // 1024 values, index 512 is 0 m/s
    std::size_t peakIndex = 0;
    double peakVelocity = 0.0;  // the velocity axis value of peakIndex
};

class CwVelocityProcessor {
public:
    // Decimates and transforms `block` in place.
    CwVelocityResult Process(SampleBlock& block, const CwVelocitySettings& settings);

private:
    BlockTransformer transformer_;
};

}  // namespace vorn::dsp

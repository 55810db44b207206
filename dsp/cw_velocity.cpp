#include "dsp/cw_velocity.h"

#include <cmath>

#include "dsp/conditioning.h"

namespace vorn::dsp {

CwGeometry MakeCwGeometry(double sweepTimeMs, int samplesPerSweep, int sweepCount,
                          double centerFrequencyHz) {
    CwGeometry g;
    g.sweepTimeS = sweepTimeMs * 0.001;
    g.samplesPerSweep = samplesPerSweep;
    g.sampleRate = samplesPerSweep / g.sweepTimeS;
    const double total = static_cast<double>(sweepCount) * samplesPerSweep;
    g.totalSamples = std::max(0, TruncateToInt(total));
    g.decimatedLength = g.totalSamples / kCwDecimation;
    g.maxVelocity = g.sampleRate * 0.0078125 * 0.5 * kSpeedOfLight / (2.0 * centerFrequencyHz);
    g.velocityStep = 2.0 * g.maxVelocity / static_cast<double>(kTransformSize);
    const double timeout = g.totalSamples / g.sampleRate * 2000.0 + 1000.0;
    g.timeoutMs = TimeoutMs(timeout);
    g.scopeSamplePeriod = kCwDecimation / g.sampleRate;
    return g;
}

CwVelocityResult CwVelocityProcessor::Process(SampleBlock& block,
                                              const CwVelocitySettings& settings) {
    CwVelocityResult result;
    const CwGeometry g = MakeCwGeometry(settings.sweepTimeMs, settings.samplesPerSweep,
                                        settings.sweepCount, settings.centerFrequencyHz);
    result.geometry = g;

    DecimateBlock(block, kCwDecimation);
    CorrectQuadratureImbalance(block);
    if (settings.amplitudeCorrection) NormalizeAmplitude(block, block.size(), 1);
    result.scope = SplitIq(block);
    if (settings.hammingWindow) ApplyHammingWindow(block, block.size(), 1);
    transformer_.Transform(block);

    constexpr double kScale = 1.0 / static_cast<double>(kTransformSize);
    result.spectrum.resize(kTransformSize);
    for (std::size_t k = 0; k < kTransformSize; ++k) {
        const Complex scaled(block[k].real() * kScale, block[k].imag() * kScale);
        result.spectrum[CentredIndex(k)] = MagnitudeDb(scaled);
    }
    result.peakIndex = FirstMaximumIndex(result.spectrum, 0, kTransformSize);
    result.peakVelocity = static_cast<double>(result.peakIndex) * g.velocityStep - g.maxVelocity;
    return result;
}

}  // namespace vorn::dsp

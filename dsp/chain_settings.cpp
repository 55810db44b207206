#include "dsp/chain_settings.h"

#include <algorithm>
#include <iterator>

namespace vorn::dsp {

bool IsSamplesPerSweepChoice(int samplesPerSweep) {
    return std::find(std::begin(kSamplesPerSweepChoices), std::end(kSamplesPerSweepChoices),
                     samplesPerSweep) != std::end(kSamplesPerSweepChoices);
}

WindowBounds FullRangeWindow(const FmcwRangeGeometry& geometry) {
    return {0.0, static_cast<double>(geometry.sliderMaximum)};
}

WindowBounds FullRangeWindow(const RangeVelocityGeometry& geometry) {
    return {0.0, static_cast<double>(geometry.rangeSliderMaximum)};
}

// The map's velocity window starts at zero, as its sliders always have.
WindowBounds FullVelocityWindow(const RangeVelocityGeometry& geometry) {
    return {0.0, static_cast<double>(geometry.velocitySliderMaximum)};
}

WindowBounds FullVelocityWindow(const FskGeometry& geometry) {
    const double v = geometry.velocitySliderMaximum;
    return {-v, v};
}

namespace {

// What both FMCW chains take.
template <typename Settings>
Settings FmcwSettings(const RadarParameters& radar, const OperatorChoices& choices) {
    Settings s;
    s.sweepTimeMs = radar.sweepTimeMs;
    s.samplesPerSweep = radar.samplesPerSweep;
    s.bandwidthHz = radar.bandwidthHz;
    s.clutterMode = choices.clutterMode;
    s.clutterAverageCount = choices.clutterAverageCount;
    s.iqBalancing = choices.iqBalancing;
    s.hammingWindow = choices.hammingWindow;
    s.rangeWeighting = choices.rangeWeighting;
    return s;
}

}  // namespace

FmcwRangeSettings MakeFmcwRangeSettings(const RadarParameters& radar,
                                        const OperatorChoices& choices) {
    FmcwRangeSettings s = FmcwSettings<FmcwRangeSettings>(radar, choices);
    s.window = choices.rangeWindow.value_or(FullRangeWindow(
        MakeFmcwRangeGeometry(radar.sweepTimeMs, radar.samplesPerSweep, radar.bandwidthHz)));
    return s;
}

RangeVelocityMapSettings MakeRangeVelocityMapSettings(const RadarParameters& radar,
                                                      const OperatorChoices& choices,
                                                      bool velocityProfile) {
    const RangeVelocityGeometry g =
        MakeRangeVelocityGeometry(radar.sweepTimeMs, radar.samplesPerSweep, choices.sweepCount,
                                  radar.bandwidthHz, radar.carrierHz);
    RangeVelocityMapSettings s = FmcwSettings<RangeVelocityMapSettings>(radar, choices);
    s.sweepCount = choices.sweepCount;
    s.centerFrequencyHz = radar.carrierHz;
    s.rangeWindow = choices.rangeWindow.value_or(FullRangeWindow(g));
    s.velocityWindow = choices.velocityWindow.value_or(FullVelocityWindow(g));
    s.velocityProfile = velocityProfile;
    return s;
}

CwVelocitySettings MakeCwVelocitySettings(const RadarParameters& radar,
                                          const OperatorChoices& choices) {
    CwVelocitySettings s;
    s.sweepTimeMs = radar.sweepTimeMs;
    s.samplesPerSweep = radar.samplesPerSweep;
    s.sweepCount = choices.sweepCount;
    s.centerFrequencyHz = radar.carrierHz;
    // CW takes neither clutter cancellation nor DC subtraction.
    s.amplitudeCorrection = choices.iqBalancing.amplitudeCorrection;
    s.hammingWindow = choices.hammingWindow;
    return s;
}

FskSettings MakeFskSettings(const RadarParameters& radar, const OperatorChoices& choices) {
    FskSettings s;
    s.sweepTimeMs = radar.sweepTimeMs;
    s.samplesPerSweep = radar.samplesPerSweep;
    s.sweepCount = choices.sweepCount;
    s.centerFrequencyHz = radar.carrierHz;
    s.hammingWindow = choices.hammingWindow;
    s.threshold = choices.threshold;
    s.velocityWindow = choices.velocityWindow.value_or(FullVelocityWindow(MakeFskGeometry(
        radar.sweepTimeMs, radar.samplesPerSweep, choices.sweepCount, radar.carrierHz)));
    return s;
}

}  // namespace vorn::dsp

#include "dsp/chain_settings.h"

namespace vorn::dsp {

namespace {

// What every chain takes.
template <typename Settings>
Settings CommonSettings(const RadarParameters& radar, const OperatorChoices& choices) {
    Settings s;
    s.sweepTimeMs = radar.sweepTimeMs;
    s.samplesPerSweep = radar.samplesPerSweep;
    s.hammingWindow = choices.hammingWindow;
    return s;
}

// What both FMCW chains take.
template <typename Settings>
Settings FmcwSettings(const RadarParameters& radar, const OperatorChoices& choices) {
    Settings s = CommonSettings<Settings>(radar, choices);
    s.bandwidthHz = radar.bandwidthHz;
    s.clutterMode = choices.clutterMode;
    s.clutterAverageCount = choices.clutterAverageCount;
    s.iqBalancing = choices.iqBalancing;
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
    CwVelocitySettings s = CommonSettings<CwVelocitySettings>(radar, choices);
    s.sweepCount = choices.sweepCount;
    s.centerFrequencyHz = radar.carrierHz;
    // CW takes neither clutter cancellation nor DC subtraction.
    s.amplitudeCorrection = choices.iqBalancing.amplitudeCorrection;
    return s;
}

FskSettings MakeFskSettings(const RadarParameters& radar, const OperatorChoices& choices) {
    FskSettings s = CommonSettings<FskSettings>(radar, choices);
    s.sweepCount = choices.sweepCount;
    s.centerFrequencyHz = radar.carrierHz;
    s.threshold = choices.threshold;
    s.velocityWindow = choices.velocityWindow.value_or(FullVelocityWindow(MakeFskGeometry(
        radar.sweepTimeMs, radar.samplesPerSweep, choices.sweepCount, radar.carrierHz)));
    return s;
}

}  // namespace vorn::dsp

#pragma once
// One path from the radar's parameters and the operator's choices to each chain's settings,
// for the window (choices from its controls) and vorn-process (choices from its options).
#include <optional>

#include "dsp/cw_velocity.h"
#include "dsp/fmcw_range.h"
#include "dsp/fsk.h"
#include "dsp/range_velocity_map.h"

namespace vorn::dsp {

// The radar's parameter choices, in the order of the form's combos.
inline constexpr double kSweepTimeChoicesMs[] = {1.0, 2.0, 4.0, 10.0};
inline constexpr int kSamplesPerSweepChoices[] = {128, 256, 512, 1024};
inline constexpr double kBandwidthChoicesHz[] = {100e6, 150e6, 300e6, 400e6};

struct RadarParameters {
    double sweepTimeMs = 1.0;
    int samplesPerSweep = 128;
    double bandwidthHz = 100e6;
    double carrierHz = 5.65e9;  // the carrier the processing assumes
};

struct OperatorChoices {
    int sweepCount = 64;  // sweeps (FSK: periods) per burst
    ClutterMode clutterMode = ClutterMode::Disabled;
    int clutterAverageCount = 2;
    IqBalancing iqBalancing;
    bool hammingWindow = true;
    bool rangeWeighting = false;
    double threshold = 0.0;  // FSK detection, dB
    // Ordered bounds; absent, the full span the window sliders get after a reset.
    std::optional<WindowBounds> rangeWindow;
    std::optional<WindowBounds> velocityWindow;
};

// The full spans of the window sliders. The map's velocity window starts at zero, as its
// sliders always have.
inline WindowBounds FullRangeWindow(const FmcwRangeGeometry& g) {
    return {0.0, 1.0 * g.sliderMaximum};
}
inline WindowBounds FullRangeWindow(const RangeVelocityGeometry& g) {
    return {0.0, 1.0 * g.rangeSliderMaximum};
}
inline WindowBounds FullVelocityWindow(const RangeVelocityGeometry& g) {
    return {0.0, 1.0 * g.velocitySliderMaximum};
}
inline WindowBounds FullVelocityWindow(const FskGeometry& g) {
    return {-1.0 * g.velocitySliderMaximum, 1.0 * g.velocitySliderMaximum};
}

FmcwRangeSettings MakeFmcwRangeSettings(const RadarParameters& radar,
                                        const OperatorChoices& choices);
RangeVelocityMapSettings MakeRangeVelocityMapSettings(const RadarParameters& radar,
                                                      const OperatorChoices& choices,
                                                      bool velocityProfile);
CwVelocitySettings MakeCwVelocitySettings(const RadarParameters& radar,
                                          const OperatorChoices& choices);
FskSettings MakeFskSettings(const RadarParameters& radar, const OperatorChoices& choices);

}  // namespace vorn::dsp

#pragma once
#include <array>

#include "device/radar_constants.h"  // the operating-mode codes

namespace vorn {

// Display-mode numbers: the digit at the end of radioSpectrumDisplay_N.
inline constexpr int kDisplayModeRangeScope = 1;
inline constexpr int kDisplayModeVelocityScope = 2;
inline constexpr int kDisplayModeRangeVelocityMap = 3;
inline constexpr int kDisplayModeVelocityWaterfall = 4;
inline constexpr int kDisplayModeRangeWaterfall = 5;
inline constexpr int kDisplayModeCount = 5;

// Element m - 1 tells whether display mode m may be chosen in the operating mode. Unknown
// operating modes allow nothing, like FMCW triangle.
std::array<bool, kDisplayModeCount> AllowedDisplayModes(int operatingMode);

bool IsDisplayModeAllowed(int operatingMode, int displayMode);

// The display mode to check once the operating mode is set, given the one checked now
// (0 when none is): the checked one itself unless the operating mode moves the selection off it.
int ForcedDisplayMode(int operatingMode, int checkedDisplayMode);

}  // namespace vorn

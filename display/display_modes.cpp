#include "display/display_modes.h"

namespace vorn {

std::array<bool, kDisplayModeCount> AllowedDisplayModes(int operatingMode) {
    switch (operatingMode) {
        case kOperatingModeFmcwSawtooth:
            return {true, false, true, true, true};
        case kOperatingModeFsk:
            return {false, true, false, true, true};
        case kOperatingModeCw:
            return {false, true, false, true, false};
        case kOperatingModeFmcwTriangle:
        default:
            return {false, false, false, false, false};
    }
}

bool IsDisplayModeAllowed(int operatingMode, int displayMode) {
    if (displayMode < 1 || displayMode > kDisplayModeCount) return false;
    return AllowedDisplayModes(operatingMode)[static_cast<std::size_t>(displayMode - 1)];
}

int ForcedDisplayMode(int operatingMode, int checkedDisplayMode) {
    switch (operatingMode) {
        case kOperatingModeFmcwSawtooth:
            return checkedDisplayMode == kDisplayModeVelocityScope ? kDisplayModeRangeScope
                                                                   : checkedDisplayMode;
        case kOperatingModeFsk:
            if (checkedDisplayMode == kDisplayModeRangeScope ||
                checkedDisplayMode == kDisplayModeRangeVelocityMap) {
                return kDisplayModeVelocityScope;
            }
            return checkedDisplayMode;
        case kOperatingModeCw:
            if (checkedDisplayMode == kDisplayModeRangeScope ||
                checkedDisplayMode == kDisplayModeRangeVelocityMap ||
                checkedDisplayMode == kDisplayModeRangeWaterfall) {
                return kDisplayModeVelocityScope;
            }
            return checkedDisplayMode;
        default:
            return checkedDisplayMode;
    }
}

}  // namespace vorn

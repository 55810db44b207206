#include "display/display_modes.h"

#include <gtest/gtest.h>

#include <array>

namespace vorn {
namespace {

using Allowed = std::array<bool, kDisplayModeCount>;

// The selection always lands on an allowed mode, except where nothing is allowed.
TEST(DisplayModes, AllowedAndForcedSelectionPerOperatingMode) {
    struct Case {
        int operatingMode;
        Allowed allowed;
        std::array<int, kDisplayModeCount + 1> forced;
    };
    const Case cases[] = {
        {kOperatingModeFmcwSawtooth, {true, false, true, true, true}, {0, 1, 1, 3, 4, 5}},
        {kOperatingModeFsk, {false, true, false, true, true}, {0, 2, 2, 2, 4, 5}},
        {kOperatingModeCw, {false, true, false, true, false}, {0, 2, 2, 2, 4, 2}},
        {kOperatingModeFmcwTriangle, {}, {0, 1, 2, 3, 4, 5}},
        {7, {}, {0, 1, 2, 3, 4, 5}},
        {-1, {}, {0, 1, 2, 3, 4, 5}}};
    for (const Case& c : cases) {
        EXPECT_EQ(AllowedDisplayModes(c.operatingMode), c.allowed) << c.operatingMode;
        EXPECT_FALSE(IsDisplayModeAllowed(c.operatingMode, 0)) << c.operatingMode;
        EXPECT_FALSE(IsDisplayModeAllowed(c.operatingMode, 6)) << c.operatingMode;
        for (int checked = 0; checked <= kDisplayModeCount; ++checked) {
            const int forced = ForcedDisplayMode(c.operatingMode, checked);
            EXPECT_EQ(forced, c.forced[checked]) << c.operatingMode << " " << checked;
            if (checked > 0) {
                EXPECT_EQ(IsDisplayModeAllowed(c.operatingMode, checked), c.allowed[checked - 1]);
            }
        }
    }
}

}  // namespace
}  // namespace vorn

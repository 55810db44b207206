#include "display/display_modes.h"

#include <gtest/gtest.h>

#include <array>

namespace vorn {
namespace {

using Allowed = std::array<bool, kDisplayModeCount>;

TEST(DisplayModes, AllowedPerOperatingMode) {
    EXPECT_EQ(AllowedDisplayModes(kOperatingModeFmcwSawtooth),
              (Allowed{true, false, true, true, true}));
    EXPECT_EQ(AllowedDisplayModes(kOperatingModeFmcwTriangle), Allowed{});
    EXPECT_EQ(AllowedDisplayModes(kOperatingModeFsk), (Allowed{false, true, false, true, true}));
    EXPECT_EQ(AllowedDisplayModes(kOperatingModeCw), (Allowed{false, true, false, true, false}));
    EXPECT_EQ(AllowedDisplayModes(7), Allowed{});
    EXPECT_EQ(AllowedDisplayModes(-1), Allowed{});
}

TEST(DisplayModes, IsAllowedRejectsModesOutsideTheButtons) {
    EXPECT_TRUE(IsDisplayModeAllowed(kOperatingModeFsk, kDisplayModeRangeWaterfall));
    EXPECT_FALSE(IsDisplayModeAllowed(kOperatingModeCw, kDisplayModeRangeWaterfall));
    EXPECT_FALSE(IsDisplayModeAllowed(kOperatingModeFmcwSawtooth, 0));
    EXPECT_FALSE(IsDisplayModeAllowed(kOperatingModeFmcwSawtooth, 6));
}

// The selection always lands on an allowed mode, except where nothing is allowed.
TEST(DisplayModes, ForcedSelectionPerOperatingMode) {
    const int expectedSawtooth[] = {0, 1, 1, 3, 4, 5};
    const int expectedFsk[] = {0, 2, 2, 2, 4, 5};
    const int expectedCw[] = {0, 2, 2, 2, 4, 2};
    for (int checked = 0; checked <= kDisplayModeCount; ++checked) {
        SCOPED_TRACE(checked);
        EXPECT_EQ(ForcedDisplayMode(kOperatingModeFmcwSawtooth, checked),
                  expectedSawtooth[checked]);
        EXPECT_EQ(ForcedDisplayMode(kOperatingModeFsk, checked), expectedFsk[checked]);
        EXPECT_EQ(ForcedDisplayMode(kOperatingModeCw, checked), expectedCw[checked]);
        EXPECT_EQ(ForcedDisplayMode(kOperatingModeFmcwTriangle, checked), checked);
        if (checked != 0) {
            for (int op : {kOperatingModeFmcwSawtooth, kOperatingModeFsk, kOperatingModeCw}) {
                EXPECT_TRUE(IsDisplayModeAllowed(op, ForcedDisplayMode(op, checked))) << op;
            }
        }
    }
}

}  // namespace
}  // namespace vorn

// The firmware image compiled into the program: fourteen records, each as long as it says. Its
// download runs at every activation of the window tests.
#include <gtest/gtest.h>

#include "device/firmware.h"

namespace {

TEST(EmbeddedFirmware, FourteenWholeRecords) {
    const auto records = vorn::ParseFirmwareRecords(vorn::EmbeddedFirmwareText());
    ASSERT_EQ(records.size(), 14u);
    for (const auto& record : records) EXPECT_EQ(record.size(), record[0] + 5u);
}

}  // namespace

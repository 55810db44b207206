// The application's device layer against the stand-in: the endpoint tables of every setting.
#include <gtest/gtest.h>

#include "device/cy_device.h"
#include "device/radar_constants.h"
#include "sim_test_support.h"

namespace vorn::sim::test {
namespace {

TEST(DeviceIntegration, EveryAlternateSettingHasItsEndpoints) {
    CCyDevice device(std::make_shared<SimBackend>(std::make_shared<SimRadar>()), true);
    ASSERT_TRUE(device.IsOpen());
    EXPECT_EQ(device.AltSettingCount(), 3);
    EXPECT_EQ(device.EndPointCount(), 1);
    ASSERT_TRUE(device.SetAltSetting(1));
    ASSERT_EQ(device.EndPointCount(), 7);
    for (int i = 1; i < 7; ++i) {
        EXPECT_NE(dynamic_cast<CCyBulkEndPoint*>(device.EndPoints[i]), nullptr) << i;
        EXPECT_EQ(device.EndPoints[i]->MaxPktSize, 512);
    }
    EXPECT_EQ(device.BulkOutEndPt->Address, 0x01);
    EXPECT_EQ(device.BulkInEndPt->Address, 0x81);
    ASSERT_TRUE(device.SetAltSetting(2));
    EXPECT_EQ(device.IsocInEndPt->Address, 0x86) << "isochronous in alt 2";
    std::uint8_t buf[8] = {};
    int len = 8;  // the seam has no isochronous transfers
    EXPECT_FALSE(device.IsocInEndPt->TransferData(buf, len));
    EXPECT_EQ(device.IsocInEndPt->LastStatus, UsbStatus::NotSupported);
    ASSERT_TRUE(device.SetAltSetting(3));
    EXPECT_EQ(device.InterruptInEndPt->Address, 0x81) << "interrupt in alt 3";
}

}  // namespace
}  // namespace vorn::sim::test

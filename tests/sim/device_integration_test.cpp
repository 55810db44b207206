// The application's device layer against the stand-in: the endpoint tables of every setting and
// one parameter block and sweep that match the scene.
#include <gtest/gtest.h>

#include <complex>
#include <vector>

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
    ASSERT_TRUE(device.SetAltSetting(3));
    EXPECT_EQ(device.InterruptInEndPt->Address, 0x81) << "interrupt in alt 3";
}

TEST(DeviceIntegration, ActivatesAndReadsOneSweep) {
    Rig rig;
    ASSERT_EQ(RadarDevice::ComposeParameterWord(1, 2, 1, 0), 0xA064);
    ASSERT_TRUE(rig.Activate(0xA064));
    EXPECT_TRUE(rig.radar->StreamingEnabled());
    EXPECT_EQ(rig.radar->vendorRequestCount(), 17);
    EXPECT_EQ(rig.radar->parameters().samplesPerSweep, 256);
    std::vector<std::complex<double>> samples;
    ASSERT_EQ(rig.device.ReadChannel1(samples, 256, 1000), 256);
    const std::vector<RawFrame> expected = SynthesiseFrames(
        rig.radar->scene(), rig.radar->parameters(), rig.radar->stream().lastFirstSample(), 256, 1);
    for (std::size_t k = 0; k < 256; ++k)
        ASSERT_EQ(samples[k], std::complex<double>(expected[k].ch1.i, expected[k].ch1.q)) << k;
}

}  // namespace
}  // namespace vorn::sim::test

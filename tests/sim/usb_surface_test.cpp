#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "device/radar_constants.h"
#include "sim/descriptors.h"
#include "sim/sim_backend.h"
#include "sim_test_support.h"

namespace vorn::sim::test {
namespace {

TEST(SimUsb, DeviceDescriptorIsTheBareFx2AndHonoursWLength) {
    SimBackend backend(std::make_shared<SimRadar>());
    backend.ListDevices();
    UsbStatus status = UsbStatus::Other;
    auto link = backend.Open(0, status);
    ASSERT_TRUE(link);
    std::vector<std::uint8_t> d(18);
    auto get = [&](std::uint16_t value, std::uint16_t length) {
        return link->ControlTransfer(0x80, kRequestGetDescriptor, value, 0, d.data(), length,
                                     kDescriptorTimeoutMs);
    };
    ASSERT_EQ(get(0x0100, 18).transferred, 18);
    EXPECT_EQ(d[8] | d[9] << 8, kRadarVendorId);
    EXPECT_EQ(d[10] | d[11] << 8, kRadarProductId);
    EXPECT_EQ(get(0x0100, 8).transferred, 8);
    EXPECT_EQ(get(0x0300, 4).status, UsbStatus::Pipe) << "no string descriptors without an EEPROM";
    EXPECT_EQ(get(0x0201, 9).status, UsbStatus::Pipe) << "only one configuration";
}

TEST(SimUsb, BulkEndpointsNakUntilTheRightFirmwareRuns) {
    Rig rig;
    EXPECT_FALSE(rig.Activate(0xA064, {})) << "no firmware";
    EXPECT_EQ(rig.WriteWord(0xA064), 0);
    std::vector<std::complex<double>> samples;
    EXPECT_EQ(rig.device.ReadChannel1(samples, 128, 1000), 0);

    Records wrong = FirmwareRecords();
    wrong[4][4 + 3] ^= 0x01;  // one byte of the main routine
    EXPECT_FALSE(rig.Activate(0xA064, wrong)) << "the download goes through, the block does not";
    EXPECT_FALSE(rig.radar->StreamingEnabled());

    ASSERT_TRUE(rig.Activate(0xA064));
    EXPECT_EQ(rig.radar->vendorRequestCount(), 3 + 2 * 17);  // read, hold, release with no records
    EXPECT_EQ(rig.radar->parameters().samplesPerSweep, 256);
    EXPECT_EQ(rig.device.ReadChannel1(samples, 256, 1000), 256);
}

TEST(SimBackendTest, UnplugAndReplugChangeTheListAndKillOldHandles) {
    auto first = std::make_shared<SimRadar>();
    auto second = std::make_shared<SimRadar>();
    SimBackend backend(first);
    backend.AddRadar(second);
    ASSERT_EQ(backend.ListDevices().size(), 2u);
    UsbStatus status = UsbStatus::Other;
    auto link = backend.Open(1, status);
    ASSERT_TRUE(link);
    EXPECT_EQ(backend.Open(2, status), nullptr);
    EXPECT_EQ(status, UsbStatus::NotFound);

    second->Unplug();
    EXPECT_EQ(link->SetAltSetting(0, 1), UsbStatus::NoDevice);
    EXPECT_EQ(backend.Open(1, status), nullptr) << "opened from a list made before the unplug";
    EXPECT_EQ(status, UsbStatus::NoDevice);
    EXPECT_EQ(backend.ListDevices().size(), 1u);

    second->Replug();
    EXPECT_EQ(link->ResetPort(), UsbStatus::NoDevice) << "a replugged device is a new device";
    ASSERT_EQ(backend.ListDevices().size(), 2u);
    auto fresh = backend.Open(1, status);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->ResetPort(), UsbStatus::Ok);
    EXPECT_TRUE(second->controller().cpuHeld()) << "the controller came back without firmware";
}

}  // namespace
}  // namespace vorn::sim::test

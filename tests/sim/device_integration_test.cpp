// The application's device layer against the stand-in: discovery, activation as the window
// does it, one parameter block and one sweep, and the failures activation must notice.
#include <gtest/gtest.h>

#include <complex>
#include <memory>
#include <vector>

#include "device/firmware.h"
#include "device/radar_constants.h"
#include "device/radar_device.h"
#include "sim/sim_backend.h"
#include "sim_test_support.h"

namespace vorn::sim::test {
namespace {

struct Rig {
    explicit Rig(std::shared_ptr<SimRadar> r)
        : radar(std::move(r)), backend(std::make_shared<SimBackend>(radar)), device(backend) {}
    std::shared_ptr<SimRadar> radar;
    std::shared_ptr<SimBackend> backend;
    RadarDevice device;
};

std::vector<std::vector<std::uint8_t>> ShippedRecords() {
    return ParseFirmwareRecords(ReadFirmwareText());
}

// Interface, both endpoints, firmware: the activation steps before the parameters.
bool Activate(RadarDevice& device, const std::vector<std::vector<std::uint8_t>>& records) {
    device.interfaceSelected = device.SelectStreamingInterface();
    if (device.interfaceSelected != 1) return false;
    device.outEndPointIndex = device.FindEndPoint(kParameterEndpoint);
    device.inEndPointIndex = device.FindEndPoint(kSampleEndpoint);
    if (device.outEndPointIndex == 0 || device.inEndPointIndex == 0) return false;
    return device.DownloadFirmware(records) == static_cast<int>(records.size());
}

TEST(DeviceIntegration, ActivatesAndReadsOneSweep) {
    Rig rig(std::make_shared<SimRadar>());
    ASSERT_EQ(rig.device.RefreshDevices(), 1);
    ASSERT_TRUE(Activate(rig.device, ShippedRecords()));
    EXPECT_TRUE(rig.radar->StreamingEnabled());
    EXPECT_EQ(rig.radar->vendorRequestCount(), 17);

    const std::uint16_t word = RadarDevice::ComposeParameterWord(1, 2, 1, 0);
    ASSERT_EQ(word, 0xA064);
    const std::vector<std::uint8_t> block = RadarDevice::BuildParameterBlock(word);
    ASSERT_EQ(rig.device.WriteBlock(block.data(), static_cast<int>(block.size())),
              kParameterBlockBytes);
    EXPECT_EQ(rig.radar->parameters().samplesPerSweep, 256);

    std::vector<std::complex<double>> samples;
    ASSERT_EQ(rig.device.ReadChannel1(samples, 256, 1000), 256);
    const std::vector<RawFrame> expected = SynthesiseFrames(
        rig.radar->scene(), rig.radar->parameters(), rig.radar->stream().lastFirstSample(), 256, 1);
    for (std::size_t k = 0; k < 256; ++k)
        ASSERT_EQ(samples[k], std::complex<double>(expected[k].ch1.i, expected[k].ch1.q)) << k;
    EXPECT_EQ(rig.device.ReadBothChannels(samples, 128, 1000), 256);
}

TEST(DeviceIntegration, ActivationFailuresShowWhereTheyHappen) {
    {
        auto radar = std::make_shared<SimRadar>();
        radar->faults().omitSampleEndpoint = true;
        Rig rig(radar);
        ASSERT_EQ(rig.device.RefreshDevices(), 1);
        EXPECT_EQ(rig.device.SelectStreamingInterface(), 1);
        EXPECT_NE(rig.device.FindEndPoint(kParameterEndpoint), 0);
        EXPECT_EQ(rig.device.FindEndPoint(kSampleEndpoint), 0);
    }
    {
        auto radar = std::make_shared<SimRadar>();
        radar->faults().failVendorRequestAt = 9;
        Rig rig(radar);
        ASSERT_EQ(rig.device.RefreshDevices(), 1);
        EXPECT_FALSE(Activate(rig.device, ShippedRecords()));
    }
    {
        Rig rig(std::make_shared<SimRadar>());
        ASSERT_EQ(rig.device.RefreshDevices(), 1);
        std::vector<std::vector<std::uint8_t>> wrong = ShippedRecords();
        wrong[2][4] = 0xA5;  // first opcode of the main routine
        ASSERT_TRUE(Activate(rig.device, wrong)) << "the download itself succeeds";
        const std::vector<std::uint8_t> block = RadarDevice::BuildParameterBlock(0xA064);
        EXPECT_NE(rig.device.WriteBlock(block.data(), static_cast<int>(block.size())),
                  kParameterBlockBytes);
    }
}

}  // namespace
}  // namespace vorn::sim::test

// The device layer over the stand-in radar: synchronisation faults it must absorb give exactly
// the samples of a clean stream, and a lost synchronisation gives only whole frames.
#include <gtest/gtest.h>

#include <complex>
#include <functional>
#include <memory>

#include "device/firmware.h"
#include "device/radar_device.h"
#include "sim/sim_backend.h"
#include "sim/sim_radar.h"

namespace {

using Samples = std::vector<std::complex<double>>;
using vorn::sim::SimRadar;

// A radar activated as the window does it.
struct ActiveRadar {
    ActiveRadar() {
        EXPECT_EQ(device.RefreshDevices(), 1);
        device.interfaceSelected = device.SelectStreamingInterface();
        device.outEndPointIndex = device.FindEndPoint(0x02);
        device.inEndPointIndex = device.FindEndPoint(0x86);
        auto records = vorn::ParseFirmwareRecords(vorn::EmbeddedFirmwareText());
        const auto count = static_cast<int>(records.size());
        EXPECT_EQ(device.DownloadFirmware(std::move(records)), count);
        const auto block = RadarDevice::BuildParameterBlock(0xA000);
        EXPECT_EQ(device.WriteBlock(block.data(), 2048), 2048);
    }
    std::shared_ptr<SimRadar> radar = std::make_shared<SimRadar>();
    RadarDevice device{std::make_shared<vorn::sim::SimBackend>(radar)};
};

}  // namespace

TEST(StreamSync, AbsorbedFaultsGiveTheSamplesOfACleanStream) {
    const std::pair<const char*, std::function<void(SimRadar&)>> faults[] = {
        {"start bit inside frames", [](SimRadar& r) { r.faults().startBitInData = true; }},
        {"garbage within the spare bytes", [](SimRadar& r) { r.faults().garbageWords = 4000; }},
    };
    for (const auto& [name, inject] : faults) {
        ActiveRadar clean;
        ActiveRadar faulty;
        inject(*faulty.radar);
        Samples expected;
        Samples got;
        ASSERT_EQ(clean.device.ReadBothChannels(expected, 1024, 1000), 2048) << name;
        ASSERT_EQ(faulty.device.ReadBothChannels(got, 1024, 1000), 2048) << name;
        EXPECT_EQ(got, expected) << name;
    }
}

TEST(StreamSync, LostSynchronisationDeliversOnlyWholeFrames) {
    ActiveRadar active;
    Samples samples(5, {9, 9});
    active.radar->faults().noStartBit = true;
    EXPECT_EQ(active.device.ReadChannel1(samples, 128, 1000), 0);
    EXPECT_TRUE(samples.empty());
    active.radar->faults() = {};
    active.radar->faults().garbageWords = 5000;  // the first frame lies beyond the request
    EXPECT_LT(active.device.ReadBothChannels(samples, 1024, 1000), 2048);
    EXPECT_EQ(samples.size() % 2, 0u);
}

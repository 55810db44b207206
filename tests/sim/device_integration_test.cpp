// The application's device layer against the stand-in: the endpoint tables of every setting.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <complex>
#include <functional>
#include <thread>
#include <vector>

#include "device/cy_device.h"
#include "device/radar_constants.h"
#include "device/radar_worker.h"
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

namespace vorn::sim::test {
namespace {

// The window's path to the radar: jobs on the worker, a read called off from another thread,
// and an unplug that reaches a read in flight.
TEST(DeviceIntegration, WorkerReadsInOrderAndAReadInFlightIsCalledOffAtOnce) {
    Rig rig(std::make_shared<SimRadar>(DefaultDemoScene(), Pacing::RealTime));
    ASSERT_TRUE(rig.Activate(0xA000));
    vorn::RadarWorker worker(rig.device);
    const auto block = RadarDevice::BuildParameterBlock(0xA000);

    std::atomic<int> got{-1};
    const auto read = [&](int frames) {
        worker.Post([&, frames](RadarDevice& device) {
            device.WriteBlock(block.data(), static_cast<int>(block.size()));
            std::vector<std::complex<double>> samples;
            got = device.ReadChannel1(samples, frames, 20000);
        });
    };
    read(128);
    worker.Run([](RadarDevice&) {});  // jobs run in order: the read is done
    EXPECT_EQ(got, 128);

    const struct {
        const char* name;
        std::function<void()> callOff;
    } cases[] = {
        {"cancel", [&] { worker.CancelAll(); }},
        {"unplug", [&] { rig.radar->Unplug(); }},
    };
    for (const auto& c : cases) {
        got = -1;
        read(128 * 1024);  // a second of samples
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto start = std::chrono::steady_clock::now();
        c.callOff();
        worker.CancelAll();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300)) << c.name;
        EXPECT_EQ(got, 0) << c.name;
    }
    EXPECT_EQ(rig.device.Device()->EndPoints[rig.device.inEndPointIndex]->LastStatus,
              UsbStatus::NoDevice);
}

}  // namespace
}  // namespace vorn::sim::test

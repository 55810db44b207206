// The application's device layer and its worker thread against the stand-in.
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

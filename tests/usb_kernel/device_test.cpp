// The device layer on the unchanged libusb, which reaches the stand-in radar through usbdevfs.
// Streaming, recording and faults through it are the window's tests; here a read that blocks in
// the kernel, ended from another thread through libusb's cancellation. As root umockdev cannot
// refuse an open; the window meets a refused open in shell_test.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "../sim/sim_test_support.h"
#include "device/libusb_backend.h"
#include "usbdevfs_radar.h"

namespace vorn::test {
namespace {

using namespace std::chrono_literals;

UsbStatus FailureStatus(const RadarDevice& device) {
    return device.LastFailure() ? device.LastFailure()->status : UsbStatus::Ok;
}

// A read the radar never answers, ended from another thread by an unplug or by the host.
TEST(KernelDevice, ABlockedReadEndsPromptlyWhenUnpluggedOrCalledOff) {
    UsbdevfsRadar kernel;
    auto radar = std::make_shared<sim::SimRadar>();
    kernel.Plug(radar);
    auto rig = std::make_unique<sim::test::Rig>(radar, std::make_shared<LibusbBackend>());
    RadarDevice& device = rig->device;
    struct Case {
        const char* name;
        std::function<void()> end;
        UsbStatus status;
    };
    const Case cases[] = {
        {"abort", [&] { device.AbortTransfers(); }, UsbStatus::Cancelled},
        {"unplug", [&] { kernel.Unplug(); }, UsbStatus::NoDevice},
    };
    ASSERT_TRUE(rig->Activate(0xA000));
    std::vector<std::complex<double>> samples;
    radar->UpdateFaults([](sim::SimFaults& f) { f.stalledStream = true; });
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        auto ender = std::async(std::launch::async, [&c] {
            std::this_thread::sleep_for(200ms);
            c.end();
        });
        EXPECT_EQ(device.ReadChannel1(samples, 1024, 20000), 0) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << c.name;
        EXPECT_EQ(FailureStatus(device), c.status) << c.name;
        ender.get();
        device.ClearAbort();
    }
    EXPECT_EQ(rig->WriteWord(0xA000), 0) << "the device is gone";
    EXPECT_EQ(FailureStatus(device), UsbStatus::NoDevice);
    rig.reset();
    EXPECT_EQ(kernel.UnknownRequests(), "");
}

}  // namespace
}  // namespace vorn::test

// The device layer on the unchanged libusb, which reaches the stand-in radar through usbdevfs.
// Streaming, recording and faults through it are the window's tests; here a read that blocks in
// the kernel, ended from another thread through libusb's cancellation. As root umockdev cannot
// refuse an open: that mapping is held in libusb_backend_test.cpp.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "../sim/sim_test_support.h"
#include "device/libusb_backend.h"
#include "device/radar_constants.h"
#include "usbdevfs_radar.h"

namespace vorn::test {
namespace {

using namespace std::chrono_literals;

class KernelDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        kernel.Plug(radar);
        backend = std::make_shared<LibusbBackend>();
        device = std::make_unique<RadarDevice>(backend);
    }
    void TearDown() override {
        device.reset();
        backend.reset();
        EXPECT_EQ(kernel.UnknownRequests(), "");
    }
    // Interface, endpoints, firmware and one parameter block, as the window activates.
    void Activate(std::uint16_t word = 0xA000) {
        ASSERT_EQ(device->RefreshDevices(), 1);
        ASSERT_EQ(device->interfaceSelected = device->SelectStreamingInterface(), 1);
        device->outEndPointIndex = device->FindEndPoint(kParameterEndpoint);
        device->inEndPointIndex = device->FindEndPoint(kSampleEndpoint);
        ASSERT_NE(device->outEndPointIndex, 0);
        ASSERT_NE(device->inEndPointIndex, 0);
        const auto records = sim::test::FirmwareRecords();
        ASSERT_EQ(device->DownloadFirmware(records), static_cast<int>(records.size()));
        ASSERT_EQ(WriteWord(word), kParameterBlockBytes);
    }
    int WriteWord(std::uint16_t word) {
        const auto block = RadarDevice::BuildParameterBlock(word);
        return device->WriteBlock(block.data(), static_cast<int>(block.size()));
    }
    UsbStatus FailureStatus() const {
        return device->LastFailure() ? device->LastFailure()->status : UsbStatus::Ok;
    }

    UsbdevfsRadar kernel;
    std::shared_ptr<sim::SimRadar> radar = std::make_shared<sim::SimRadar>();
    std::shared_ptr<LibusbBackend> backend;
    std::unique_ptr<RadarDevice> device;
    std::vector<std::complex<double>> samples;
};

// A read the radar never answers, ended from another thread by an unplug or by the host.
TEST_F(KernelDeviceTest, ABlockedReadEndsPromptlyWhenUnpluggedOrCalledOff) {
    struct Case {
        const char* name;
        std::function<void()> end;
        UsbStatus status;
    };
    const Case cases[] = {
        {"abort", [this] { device->AbortTransfers(); }, UsbStatus::Cancelled},
        {"unplug", [this] { kernel.Unplug(); }, UsbStatus::NoDevice},
    };
    ASSERT_NO_FATAL_FAILURE(Activate());
    radar->UpdateFaults([](sim::SimFaults& f) { f.stalledStream = true; });
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        auto ender = std::async(std::launch::async, [&c] {
            std::this_thread::sleep_for(200ms);
            c.end();
        });
        EXPECT_EQ(device->ReadChannel1(samples, 1024, 20000), 0) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << c.name;
        EXPECT_EQ(FailureStatus(), c.status) << c.name;
        ender.get();
        device->ClearAbort();
    }
    EXPECT_EQ(WriteWord(0xA000), 0) << "the device is gone";
    EXPECT_EQ(FailureStatus(), UsbStatus::NoDevice);
}

}  // namespace
}  // namespace vorn::test

// The application's device layer and its worker thread against the stand-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <complex>
#include <functional>
#include <thread>
#include <vector>

#include "device/cy_device.h"
#include "device/radar_constants.h"
#include "device/radar_worker.h"
#include "device/usb_transfer.h"
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

// The stand-in behind a link that takes only part of every bulk OUT transfer and calls it done:
// a short write the device layer must report, whatever status came with it.
class ShortWrites : public UsbDeviceLink {
public:
    explicit ShortWrites(std::unique_ptr<UsbDeviceLink> inner) : inner_(std::move(inner)) {}
    UsbTransferResult ControlTransfer(std::uint8_t type, std::uint8_t request, std::uint16_t value,
                                      std::uint16_t index, std::uint8_t* data, std::uint16_t length,
                                      unsigned timeoutMs) override {
        return inner_->ControlTransfer(type, request, value, index, data, length, timeoutMs);
    }
    UsbTransferResult BulkTransfer(std::uint8_t endpoint, std::uint8_t* data, int length,
                                   unsigned timeoutMs) override {
        const bool out = (endpoint & 0x80) == 0;
        return inner_->BulkTransfer(endpoint, data, out ? std::min(length, 1536) : length,
                                    timeoutMs);
    }
    std::unique_ptr<UsbBulkTransfer> SubmitBulkTransfer(std::uint8_t endpoint, std::uint8_t* data,
                                                        int length, unsigned timeoutMs) override {
        return std::make_unique<DeferredBulkTransfer>(
            [=](TransferCancel&) { return BulkTransfer(endpoint, data, length, timeoutMs); });
    }
    UsbStatus ResetPort() override { return inner_->ResetPort(); }
    UsbStatus SetAltSetting(std::uint8_t interface, std::uint8_t alt) override {
        return inner_->SetAltSetting(interface, alt);
    }

private:
    std::unique_ptr<UsbDeviceLink> inner_;
};

class ShortWriteBackend : public SimBackend {
public:
    using SimBackend::SimBackend;
    std::unique_ptr<UsbDeviceLink> Open(std::size_t index, UsbStatus& status) override {
        auto link = SimBackend::Open(index, status);
        return link ? std::make_unique<ShortWrites>(std::move(link)) : nullptr;
    }
};

TEST(DeviceIntegration, AParameterBlockWrittenInPartIsAFailure) {
    auto radar = std::make_shared<SimRadar>();
    Rig rig(radar, std::make_shared<ShortWriteBackend>(radar));
    ASSERT_TRUE(rig.Activate(0));  // firmware only: no block yet
    EXPECT_EQ(rig.WriteWord(0xA000), 1536);
    ASSERT_TRUE(rig.device.LastFailure());
    EXPECT_NE(DescribeUsbFailure(*rig.device.LastFailure()).find("1536 of 2048 bytes"),
              std::string::npos)
        << DescribeUsbFailure(*rig.device.LastFailure());
}

}  // namespace
}  // namespace vorn::sim::test

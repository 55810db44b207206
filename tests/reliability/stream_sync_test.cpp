// The device layer over the stand-in radar: synchronisation faults it must absorb give exactly
// the samples of a clean stream, and every libusb error a transfer can end with is a failed or
// short transfer to the layers above.
#include <gtest/gtest.h>

#include <complex>
#include <functional>
#include <memory>
#include <optional>

#include "device/firmware.h"
#include "device/libusb_api.h"
#include "device/radar_device.h"
#include "sim/sim_backend.h"
#include "sim/sim_radar.h"

namespace {

using Samples = std::vector<std::complex<double>>;
using vorn::sim::SimRadar;

// A link that, while `code` is set, ends the chosen transfers with that libusb error code and
// `partial` bytes moved, the way the libusb back end reports them.
struct Injection {
    std::optional<int> code;
    int partial = 0;
    bool bulk = true;
};

class InjectingLink : public vorn::UsbDeviceLink {
public:
    InjectingLink(std::unique_ptr<vorn::UsbDeviceLink> inner, const Injection& injection)
        : inner_(std::move(inner)), injection_(injection) {}

    vorn::UsbTransferResult ControlTransfer(std::uint8_t requestType, std::uint8_t request,
                                            std::uint16_t value, std::uint16_t index,
                                            std::uint8_t* data, std::uint16_t length,
                                            unsigned timeoutMs) override {
        // Only the firmware loader's vendor requests; descriptors keep working.
        if (injection_.code && !injection_.bulk && request == 0xA0) {
            return {vorn::MapLibusbError(*injection_.code), 0};
        }
        return inner_->ControlTransfer(requestType, request, value, index, data, length, timeoutMs);
    }
    vorn::UsbTransferResult BulkTransfer(std::uint8_t endpoint, std::uint8_t* data, int length,
                                         unsigned timeoutMs) override {
        if (!injection_.code || !injection_.bulk) {
            return inner_->BulkTransfer(endpoint, data, length, timeoutMs);
        }
        // The partial bytes are real stream content, as when a transfer dies part-way.
        auto real =
            inner_->BulkTransfer(endpoint, data, std::min(length, injection_.partial), timeoutMs);
        return {vorn::MapLibusbError(*injection_.code), real.transferred};
    }
    vorn::UsbStatus ResetPort() override { return inner_->ResetPort(); }
    vorn::UsbStatus SetAltSetting(std::uint8_t i, std::uint8_t a) override {
        return inner_->SetAltSetting(i, a);
    }

private:
    std::unique_ptr<vorn::UsbDeviceLink> inner_;
    const Injection& injection_;
};

class InjectingBackend : public vorn::UsbBackend {
public:
    explicit InjectingBackend(std::shared_ptr<SimRadar> radar)
        : inner_(std::make_shared<vorn::sim::SimBackend>(std::move(radar))) {}
    std::vector<vorn::UsbDeviceInfo> ListDevices() override { return inner_->ListDevices(); }
    std::unique_ptr<vorn::UsbDeviceLink> Open(std::size_t index, vorn::UsbStatus& status) override {
        auto link = inner_->Open(index, status);
        if (!link) return nullptr;
        return std::make_unique<InjectingLink>(std::move(link), injection);
    }
    Injection injection;

private:
    std::shared_ptr<vorn::sim::SimBackend> inner_;
};

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
    std::shared_ptr<InjectingBackend> backend = std::make_shared<InjectingBackend>(radar);
    RadarDevice device{backend};
};

const int kLibusbTransferErrors[] = {
    LIBUSB_ERROR_TIMEOUT, LIBUSB_ERROR_PIPE,   LIBUSB_ERROR_OVERFLOW, LIBUSB_ERROR_NO_DEVICE,
    LIBUSB_ERROR_IO,      LIBUSB_ERROR_ACCESS, LIBUSB_ERROR_BUSY,     LIBUSB_ERROR_INTERRUPTED,
    LIBUSB_ERROR_NO_MEM,  LIBUSB_ERROR_OTHER};

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

TEST(LibusbErrors, FailedSampleReadsDeliverNothingAndKeepTheOutput) {
    for (const int code : kLibusbTransferErrors) {
        ActiveRadar active;
        // Even with most of the stream moved before the error, a failed transfer is not data.
        active.backend->injection = {code, 8 * 128 + 8192, true};
        Samples samples(3, {7, 7});
        EXPECT_EQ(active.device.ReadChannel1(samples, 128, 1000), 0) << code;
        EXPECT_EQ(active.device.ReadBothChannels(samples, 128, 1000), 0) << code;
        EXPECT_EQ(samples, Samples(3, {7, 7})) << code;
        active.backend->injection = {};
        EXPECT_EQ(active.device.ReadChannel2(samples, 128, 1000), 128) << code;
    }
}

TEST(LibusbErrors, FailedParameterWritesReportWhatWasTaken) {
    const auto block = RadarDevice::BuildParameterBlock(0xA0CF);
    for (const int code : kLibusbTransferErrors) {
        ActiveRadar active;
        active.backend->injection = {code, 1536, true};
        // Fewer than 2048 bytes: the caller refuses the parameters.
        EXPECT_EQ(active.device.WriteBlock(block.data(), 2048), 1536) << code;
        active.backend->injection = {code, 0, true};
        EXPECT_EQ(active.device.WriteBlock(block.data(), 2048), 0) << code;
    }
}

TEST(LibusbErrors, FailedFirmwareTransfersAreNotCounted) {
    for (const int code : kLibusbTransferErrors) {
        ActiveRadar active;
        active.backend->injection = {code, 0, false};
        auto records = vorn::ParseFirmwareRecords(vorn::EmbeddedFirmwareText());
        const auto count = static_cast<int>(records.size());
        EXPECT_LT(active.device.DownloadFirmware(std::move(records)), count) << code;
    }
}

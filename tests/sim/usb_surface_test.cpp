#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "device/radar_constants.h"
#include "sim/descriptors.h"
#include "sim/sim_backend.h"
#include "sim_test_support.h"

namespace vorn::sim::test {
namespace {

struct Interface {
    int alt = -1;
    std::vector<SimEndpoint> endpoints;
};

std::vector<std::uint8_t> GetDescriptor(UsbDeviceLink& link, std::uint16_t value,
                                        std::uint16_t length, UsbTransferResult* result) {
    std::vector<std::uint8_t> buffer(length);
    *result = link.ControlTransfer(0x80, kRequestGetDescriptor, value, 0, buffer.data(), length,
                                   kDescriptorTimeoutMs);
    buffer.resize(static_cast<std::size_t>(std::max(0, result->transferred)));
    return buffer;
}

// Reads the configuration as the access layer does: 9 bytes for wTotalLength, then all of it.
std::vector<Interface> ReadInterfaces(UsbDeviceLink& link) {
    UsbTransferResult r;
    const std::vector<std::uint8_t> head = GetDescriptor(link, 0x0200, 9, &r);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(head.size(), 9u);
    const auto total = static_cast<std::uint16_t>(head[2] | head[3] << 8);
    const std::vector<std::uint8_t> all = GetDescriptor(link, 0x0200, total, &r);
    EXPECT_EQ(all.size(), total);
    std::vector<Interface> interfaces;
    for (std::size_t at = head[0]; at + 1 < all.size(); at += all[at]) {
        if (all[at] == 0) break;
        if (all[at + 1] == kDescriptorTypeInterface) {
            interfaces.push_back({all[at + 3], {}});
        } else if (all[at + 1] == kDescriptorTypeEndpoint && !interfaces.empty()) {
            interfaces.back().endpoints.push_back(
                {all[at + 2], all[at + 3],
                 static_cast<std::uint16_t>(all[at + 4] | all[at + 5] << 8), all[at + 6]});
        }
    }
    return interfaces;
}

const SimEndpoint* Find(const Interface& itf, std::uint8_t address) {
    for (const SimEndpoint& ep : itf.endpoints)
        if (ep.address == address) return &ep;
    return nullptr;
}

TEST(SimUsb, DeviceDescriptorIsTheBareFx2AndHonoursWLength) {
    SimBackend backend(std::make_shared<SimRadar>());
    auto link = OpenFirst(backend);
    ASSERT_TRUE(link);
    UsbTransferResult r;
    const std::vector<std::uint8_t> d = GetDescriptor(*link, 0x0100, 18, &r);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(d.size(), 18u);
    EXPECT_EQ(d[0], 18);
    EXPECT_EQ(d[1], kDescriptorTypeDevice);
    EXPECT_EQ(d[8] | d[9] << 8, kRadarVendorId);
    EXPECT_EQ(d[10] | d[11] << 8, kRadarProductId);
    EXPECT_EQ(d[17], 1);
    EXPECT_EQ(GetDescriptor(*link, 0x0100, 8, &r).size(), 8u);
    GetDescriptor(*link, 0x0300, 4, &r);
    EXPECT_EQ(r.status, UsbStatus::Pipe) << "no string descriptors without an EEPROM";
    GetDescriptor(*link, 0x0201, 9, &r);
    EXPECT_EQ(r.status, UsbStatus::Pipe) << "only one configuration";
}

TEST(SimUsb, ConfigurationHasTheFourDefaultAlternateSettings) {
    SimBackend backend(std::make_shared<SimRadar>());
    auto link = OpenFirst(backend);
    const std::vector<Interface> itfs = ReadInterfaces(*link);
    ASSERT_EQ(itfs.size(), 4u);
    for (int alt = 0; alt < 4; ++alt) EXPECT_EQ(itfs[static_cast<std::size_t>(alt)].alt, alt);
    EXPECT_TRUE(itfs[0].endpoints.empty());
    const Interface& streaming = itfs[1];
    ASSERT_EQ(streaming.endpoints.size(), 6u);
    for (std::uint8_t address : {0x01, 0x81, 0x02, 0x04, 0x86, 0x88}) {
        const SimEndpoint* ep = Find(streaming, address);
        ASSERT_NE(ep, nullptr) << int(address);
        EXPECT_EQ(ep->attributes & 3, 2) << "bulk";
    }
    EXPECT_EQ(Find(streaming, kParameterEndpoint)->maxPacketSize, 512);
    EXPECT_EQ(Find(streaming, kSampleEndpoint)->maxPacketSize, 512);
    EXPECT_EQ(Find(itfs[2], 0x86)->attributes & 3, 1) << "isochronous in alt 2";
    EXPECT_EQ(Find(itfs[3], 0x81)->attributes & 3, 3) << "interrupt in alt 3";
}

TEST(SimUsb, AlternateSettingFollowsSetGetAndPortReset) {
    auto radar = std::make_shared<SimRadar>();
    SimBackend backend(radar);
    auto link = OpenFirst(backend);
    auto getInterface = [&]() {
        std::uint8_t alt = 0xFF;
        const UsbTransferResult r =
            link->ControlTransfer(0x81, kRequestGetInterface, 0, 0, &alt, 1, kDefaultTimeoutMs);
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(r.transferred, 1);
        return alt;
    };
    EXPECT_EQ(getInterface(), 0);
    EXPECT_EQ(link->SetAltSetting(0, 1), UsbStatus::Ok);
    EXPECT_EQ(getInterface(), 1);
    EXPECT_EQ(link->SetAltSetting(0, 4), UsbStatus::NotFound);
    EXPECT_EQ(link->SetAltSetting(1, 1), UsbStatus::NotFound);
    EXPECT_EQ(getInterface(), 1);
    EXPECT_EQ(link->ResetPort(), UsbStatus::Ok);
    EXPECT_EQ(getInterface(), 0);
    EXPECT_TRUE(link->ControlTransfer(0x01, kRequestSetInterface, 2, 0, nullptr, 0, 1000).ok());
    EXPECT_EQ(getInterface(), 2);
}

TEST(SimUsb, BulkEndpointsNakUntilTheFirmwareRuns) {
    auto radar = std::make_shared<SimRadar>();
    SimBackend backend(radar);
    auto link = OpenFirst(backend);
    EXPECT_EQ(WriteParameterWord(*link, 0xA064).status, UsbStatus::NotFound) << "alt 0";
    ASSERT_EQ(link->SetAltSetting(0, 1), UsbStatus::Ok);
    const UsbTransferResult before = WriteParameterWord(*link, 0xA064);
    EXPECT_EQ(before.status, UsbStatus::Timeout);
    EXPECT_EQ(before.transferred, 0);
    UsbTransferResult read;
    ReadFrames(*link, 128, &read);
    EXPECT_EQ(read.status, UsbStatus::Timeout);

    ASSERT_EQ(Download(*link, FirmwareRecords()), 14);
    EXPECT_TRUE(radar->StreamingEnabled());
    const UsbTransferResult after = WriteParameterWord(*link, 0xA064);
    EXPECT_TRUE(after.ok());
    EXPECT_EQ(after.transferred, kParameterBlockBytes);
    EXPECT_EQ(radar->parameters().samplesPerSweep, 256);
    EXPECT_EQ(ReadFrames(*link, 256).ch1.size(), 256u);
}

TEST(SimUsb, ActivationRepeatsCleanlyAndAWrongImageFailsIt) {
    auto radar = std::make_shared<SimRadar>();
    SimBackend backend(radar);
    ASSERT_TRUE(Activate(backend, 0xA064));
    ASSERT_TRUE(Activate(backend, 0xA0CF)) << "second activation downloads again";
    EXPECT_EQ(radar->parameters().mode, RadarMode::Cw);

    auto link = OpenFirst(backend);
    ASSERT_EQ(link->SetAltSetting(0, 1), UsbStatus::Ok);
    std::vector<HexRecord> wrong = FirmwareRecords();
    wrong[4].data[3] ^= 0x01;  // one byte of the main routine
    ASSERT_EQ(Download(*link, wrong), 14) << "the download itself goes through";
    EXPECT_FALSE(radar->StreamingEnabled());
    EXPECT_NE(WriteParameterWord(*link, 0xA064).transferred, kParameterBlockBytes);
}

TEST(SimUsbFaults, FailedVendorRequestBreaksTheDownload) {
    auto radar = std::make_shared<SimRadar>();
    radar->faults().failVendorRequestAt = 5;  // read, hold, records 0..2, then this one
    SimBackend backend(radar);
    auto link = OpenFirst(backend);
    ASSERT_EQ(link->SetAltSetting(0, 1), UsbStatus::Ok);
    EXPECT_EQ(Download(*link, FirmwareRecords()), 13);
    EXPECT_EQ(radar->vendorRequestCount(), 17);
    EXPECT_FALSE(radar->StreamingEnabled());
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

    ASSERT_TRUE(Activate(backend, 0xA064));
    second->Unplug();
    EXPECT_EQ(link->SetAltSetting(0, 1), UsbStatus::NoDevice);
    std::uint8_t byte = 0;
    EXPECT_EQ(link->ControlTransfer(0xC0, 0xA0, 0xE600, 0, &byte, 1, 1000).status,
              UsbStatus::NoDevice);
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
    EXPECT_FALSE(second->StreamingEnabled());
    EXPECT_TRUE(first->StreamingEnabled()) << "the other radar is untouched";
}

}  // namespace
}  // namespace vorn::sim::test

#include <gtest/gtest.h>

#include "device/firmware.h"
#include "device/radar_device.h"
#include "fake_usb.h"

namespace {

using Records = std::vector<std::vector<std::uint8_t>>;

TEST(FirmwareParse, RecordsInImageOrder) {
    const Records records = vorn::ParseFirmwareRecords(
        ":0300000002"
        "00B843\r\n:02E60000ABCD9E\r\n:00000001FF\r\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0],
              (std::vector<std::uint8_t>{0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0xB8, 0x43}));
    EXPECT_EQ(records[1], (std::vector<std::uint8_t>{0x02, 0xE6, 0x00, 0x00, 0xAB, 0xCD, 0x9E}));
}

TEST(FirmwareParse, ArbitraryTextIsSafe) {
    EXPECT_TRUE(vorn::ParseFirmwareRecords("").empty());
    EXPECT_TRUE(vorn::ParseFirmwareRecords(":").empty());
    EXPECT_TRUE(vorn::ParseFirmwareRecords(":::abc:").empty());
    // Text before the first ':' is a piece like any other; made of non-hex it reads as zeros.
    const Records prose = vorn::ParseFirmwareRecords("no colon at all");
    ASSERT_EQ(prose.size(), 1u);
    EXPECT_EQ(prose[0], std::vector<std::uint8_t>(6, 0));
    // Non-hex characters read as 0; an odd character left over is ignored.
    const Records records = vorn::ParseFirmwareRecords("x\r\n:01zz00g0x\r\n");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0], (std::vector<std::uint8_t>{0x01, 0x00, 0x00, 0x00}));
    // A line without its CR LF loses its last two characters, never more than it has.
    const Records tail = vorn::ParseFirmwareRecords(":0400");
    ASSERT_EQ(tail.size(), 1u);
    EXPECT_EQ(tail[0], (std::vector<std::uint8_t>{0x04}));
}

class FirmwareDownload : public ::testing::Test {
protected:
    void SetUp() override {
        backend->devices = {fake::Fx2Device()};
        dev = backend->devices[0].get();
        dev->cpucs = 0x02;
        ASSERT_EQ(radar.RefreshDevices(), 1);
        dev->ClearRecords();
    }
    std::shared_ptr<fake::Backend> backend = std::make_shared<fake::Backend>();
    RadarDevice radar{backend};
    fake::Device* dev = nullptr;
};

TEST_F(FirmwareDownload, HoldRecordsRelease) {
    const Records records = {{0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0xB8, 0x43},
                             {0x02, 0x01, 0x23, 0x00, 0xAA, 0xBB, 0x00}};
    EXPECT_EQ(radar.DownloadFirmware(records), 2);
    const auto& c = dev->controls;
    ASSERT_EQ(c.size(), 5u);
    for (const auto& r : c) {
        EXPECT_EQ(r.request, 0xA0);
        EXPECT_EQ(r.index, 0);
        EXPECT_EQ(r.timeoutMs, 10000u);
    }
    EXPECT_EQ(c[0].requestType, 0xC0);
    EXPECT_EQ(c[0].value, 0xE600);
    EXPECT_EQ(c[0].length, 1);
    EXPECT_EQ(c[1].requestType, 0x40);
    EXPECT_EQ(c[1].data, std::vector<std::uint8_t>{0x03});
    EXPECT_EQ(c[2].value, 0x0000);
    EXPECT_EQ(c[2].data, (std::vector<std::uint8_t>{0x02, 0x00, 0xB8}));
    EXPECT_EQ(c[3].value, 0x0123);  // the full 16-bit load address
    EXPECT_EQ(c[3].data, (std::vector<std::uint8_t>{0xAA, 0xBB}));
    EXPECT_EQ(c[4].requestType, 0x40);
    EXPECT_EQ(c[4].value, 0xE600);
    EXPECT_EQ(c[4].data, std::vector<std::uint8_t>{0x02});
    EXPECT_EQ(dev->cpucs, 0x02);
    // The control endpoint keeps the loader request afterwards.
    EXPECT_EQ(radar.Device()->ControlEndPoint->ReqCode, 0xA0);
    EXPECT_EQ(radar.Device()->ControlEndPoint->Value, 0xE600);
}

TEST_F(FirmwareDownload, FailedRecordIsNotCountedButReleaseIsSent) {
    dev->controlFault = [](const fake::ControlRecord& r) {
        return r.value == 0x0010 ? vorn::UsbStatus::Pipe : vorn::UsbStatus::Ok;
    };
    const Records records = {
        {1, 0x00, 0x00, 0, 0x11, 0}, {1, 0x00, 0x10, 0, 0x22, 0}, {1, 0x00, 0x20, 0, 0x33, 0}};
    EXPECT_EQ(radar.DownloadFirmware(records), 2);
    ASSERT_EQ(dev->controls.size(), 6u);
    EXPECT_EQ(dev->controls.back().value, 0xE600);
    EXPECT_EQ(dev->controls.back().data, std::vector<std::uint8_t>{0x02});
}

TEST_F(FirmwareDownload, ShortAndEmptyRecords) {
    const Records records = {{0x04, 0x00, 0x00, 0x00, 0x01, 0x02},  // says 4, holds 2
                             {0x00, 0x00, 0x00, 0x01},              // nothing to load
                             {},                                    // not even a count
                             {0x01, 0x00}};                         // no address low byte
    EXPECT_EQ(radar.DownloadFirmware(records), 1);
    EXPECT_EQ(dev->controls.size(), 3u);  // read, hold, release
}

TEST(FirmwareDownloadWithoutDevice, WritesNothing) {
    RadarDevice radar(std::make_shared<fake::Backend>());
    EXPECT_EQ(radar.DownloadFirmware({{1, 0, 0, 0, 0, 0}}), 0);
    radar.RefreshDevices();
    EXPECT_EQ(radar.DownloadFirmware({{1, 0, 0, 0, 0, 0}}), 0);
}

}  // namespace

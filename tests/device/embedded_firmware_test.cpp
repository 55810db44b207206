#include <gtest/gtest.h>

#include <numeric>

#include "device/firmware.h"
#include "device/radar_device.h"
#include "fake_usb.h"

namespace {

TEST(EmbeddedFirmware, FourteenRecordsWithValidChecksums) {
    const std::string text = vorn::EmbeddedFirmwareText();
    ASSERT_FALSE(text.empty());
    const auto records = vorn::ParseFirmwareRecords(text);
    ASSERT_EQ(records.size(), 14u);
    EXPECT_EQ(records[0],
              (std::vector<std::uint8_t>{0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0xB8, 0x43}));
    EXPECT_EQ(records[1][1] * 256 + records[1][2], 0x00B8);
    for (const auto& record : records) {
        ASSERT_GE(record.size(), 5u);
        EXPECT_EQ(record.size(), record[0] + 5u);
        EXPECT_EQ(record[3], 0);  // data records only
        const int sum = std::accumulate(record.begin(), record.end(), 0);
        EXPECT_EQ(sum & 0xFF, 0);
    }
}

TEST(EmbeddedFirmware, DownloadIsSeventeenControlTransfers) {
    auto backend = std::make_shared<fake::Backend>();
    backend->devices = {fake::Fx2Device()};
    RadarDevice radar(backend);
    ASSERT_EQ(radar.RefreshDevices(), 1);
    auto& dev = *backend->devices[0];
    dev.ClearRecords();
    const auto records = vorn::ParseFirmwareRecords(vorn::EmbeddedFirmwareText());
    EXPECT_EQ(radar.DownloadFirmware(records), 14);
    ASSERT_EQ(dev.controls.size(), 17u);
    EXPECT_EQ(dev.controls[0].requestType, 0xC0);
    EXPECT_EQ(dev.controls[1].data, std::vector<std::uint8_t>{0x01});
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& c = dev.controls[i + 2];
        EXPECT_EQ(c.requestType, 0x40);
        EXPECT_EQ(c.request, 0xA0);
        EXPECT_EQ(c.value, records[i][1] * 256 + records[i][2]);
        EXPECT_EQ(c.length, records[i][0]);
        EXPECT_TRUE(std::equal(c.data.begin(), c.data.end(), records[i].begin() + 4));
    }
    EXPECT_EQ(dev.controls[16].value, 0xE600);
    EXPECT_EQ(dev.controls[16].data, std::vector<std::uint8_t>{0x00});
}

}  // namespace

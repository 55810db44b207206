#include <gtest/gtest.h>

#include "device/firmware.h"
#include "device/radar_device.h"
#include "fake_usb.h"

namespace {

TEST(EmbeddedFirmware, FourteenValidRecordsDownloadInSeventeenTransfers) {
    const auto records = vorn::ParseFirmwareRecords(vorn::EmbeddedFirmwareText());
    ASSERT_EQ(records.size(), 14u);
    for (const auto& record : records) ASSERT_EQ(record.size(), record[0] + 5u);
    auto backend = fake::BackendWith(1);
    RadarDevice radar(backend);
    ASSERT_EQ(radar.RefreshDevices(), 1);
    auto& dev = *backend->devices[0];
    dev.controls.clear();
    EXPECT_EQ(radar.DownloadFirmware(records), 14);
    ASSERT_EQ(dev.controls.size(), 17u);
    EXPECT_EQ(dev.controls[1].data, fake::Bytes{0x01});
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto& c = dev.controls[i + 2];
        EXPECT_EQ(c.value, records[i][1] * 256 + records[i][2]);
        EXPECT_TRUE(std::equal(c.data.begin(), c.data.end(), records[i].begin() + 4));
    }
    EXPECT_EQ(dev.controls[16].data, fake::Bytes{0x00});
}

}  // namespace

#include "device/radar_device.h"

#include <gtest/gtest.h>

#include "device/firmware.h"
#include "device/radar_constants.h"
#include "device/sample_frames.h"
#include "fake_usb.h"

using vorn::UsbStatus;
using Samples = std::vector<std::complex<double>>;

namespace {

// 1024 skipped words, then `frames` frames with recognisable values.
fake::Bytes Stream(int frames) {
    std::vector<std::uint16_t> words(1024, 0x1234);
    for (int k = 0; k < frames; ++k) {
        words.insert(words.end(),
                     {static_cast<std::uint16_t>(0x8000 | k), static_cast<std::uint16_t>(1000 + k),
                      static_cast<std::uint16_t>(0x8000 | (2000 + k)),
                      static_cast<std::uint16_t>(3000 + k)});
    }
    return fake::Words(words);
}

TEST(RadarDeviceParameters, WordAndLittleEndianBlock) {
    EXPECT_EQ(RadarDevice::ComposeParameterWord(1, 2, 1, 0), 0xA064);  // FMCW 2 ms 150 MHz 256
    EXPECT_EQ(RadarDevice::ComposeParameterWord(3, 0, 3, 3), 0xA0CF);  // CW 10 ms 400 MHz 1024
    // A stray code cannot reach the marker byte.
    EXPECT_EQ(RadarDevice::ComposeParameterWord(4, 0, 0, 0) & 0xFF00, 0xA000);
    const auto block = RadarDevice::BuildParameterBlock(0xA064);
    ASSERT_EQ(block.size(), 2048u);
    for (std::size_t i = 0; i < block.size(); i += 2)
        ASSERT_EQ(block[i] | block[i + 1] << 8, 0xA064);
}

TEST(RadarDeviceDiscovery, ListsOnlyAccessibleRadars) {
    auto backend = std::make_shared<fake::Backend>();
    RadarDevice radar(backend);
    EXPECT_EQ(radar.RefreshDevices(), 0);
    EXPECT_EQ(radar.FindEndPoint(0x02), 0);
    backend->devices = {fake::Fx2Device(), fake::Fx2Device(0x5678), fake::Fx2Device(),
                        fake::Fx2Device()};
    backend->openStatus = {UsbStatus::Ok, UsbStatus::Ok, UsbStatus::Ok, UsbStatus::Access};
    ASSERT_EQ(radar.RefreshDevices(), 2);
    EXPECT_EQ(radar.DeviceIndexOf(1), 2);
    EXPECT_EQ(radar.DeviceIndexOf(2), -1);
    EXPECT_EQ(radar.InaccessibleCount(), 1);

    ASSERT_TRUE(radar.OpenEntry(0));
    EXPECT_EQ(radar.SelectStreamingInterface(), 1);
    EXPECT_EQ(backend->devices[0]->resets, 1);
    EXPECT_EQ(backend->devices[2]->resets, 0);
    EXPECT_FALSE(radar.OpenEntry(5));
}

// A radar activated as the window does it, with the request records cleared afterwards.
class RadarDeviceStreaming : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(radar.RefreshDevices(), 1);
        ASSERT_EQ(radar.interfaceSelected = radar.SelectStreamingInterface(), 1);
        radar.outEndPointIndex = radar.FindEndPoint(0x02);
        radar.inEndPointIndex = radar.FindEndPoint(0x86);
        ASSERT_EQ(radar.inEndPointIndex, 5);
        dev.controls.clear();
    }
    std::shared_ptr<fake::Backend> backend = fake::BackendWith(1);
    fake::Device& dev = *backend->devices[0];
    RadarDevice radar{backend};
};

TEST_F(RadarDeviceStreaming, WriteBlockSendsTheParameterBlock) {
    const auto block = RadarDevice::BuildParameterBlock(0xA0CF);
    EXPECT_EQ(radar.WriteBlock(block.data(), 2048), 2048);
    ASSERT_EQ(dev.bulks.size(), 1u);
    EXPECT_EQ(dev.bulks[0].requestType, 0x02);
    EXPECT_EQ(dev.bulks[0].data, block);
    dev.outAccepted = 1536;
    dev.outStatus = UsbStatus::Timeout;
    EXPECT_EQ(radar.WriteBlock(block.data(), 2048), 1536);
    radar.outEndPointIndex = 0;  // never the control endpoint
    EXPECT_EQ(radar.WriteBlock(block.data(), 2048), 0);
    EXPECT_EQ(dev.bulks.size(), 2u);
    radar.outEndPointIndex = 3;
    radar.RefreshDevices();  // voids the indexes into the old table
    EXPECT_EQ(radar.WriteBlock(block.data(), 2048), 0);
    EXPECT_EQ(radar.inEndPointIndex, 0);
}

TEST_F(RadarDeviceStreaming, ReadsDeliverWhatIsWhole) {
    dev.inStream = Stream(100);
    Samples samples;
    EXPECT_EQ(radar.ReadChannel1(samples, 128, 1000), 100);
    EXPECT_EQ(dev.bulks[0].requestType, 0x86);
    EXPECT_EQ(dev.bulks[0].length, 8 * 128 + 10240);
    EXPECT_EQ(dev.bulks[0].timeoutMs, 1000u);
    EXPECT_EQ(samples[5], std::complex<double>(1005, 5));
    EXPECT_EQ(radar.ReadChannel2(samples, 128, 1000), 100);
    EXPECT_EQ(samples[99], std::complex<double>(3099, 2099));
    EXPECT_EQ(radar.ReadBothChannels(samples, 128, 1000), 200);
    EXPECT_EQ(samples[3], std::complex<double>(3001, 2001));
    dev.inStream.resize(2048);
    EXPECT_EQ(radar.ReadChannel1(samples, 128, 1000), 0);
    EXPECT_TRUE(samples.empty());
}

TEST_F(RadarDeviceStreaming, FailedOrUnreasonableReadsLeaveOutputAlone) {
    dev.inStream = Stream(128);
    dev.inStatus = UsbStatus::Timeout;
    Samples samples(3, {7, 7});
    EXPECT_EQ(radar.ReadChannel1(samples, 128, 1000), 0);
    EXPECT_EQ(samples, Samples(3, {7, 7}));
    dev.bulks.clear();
    EXPECT_EQ(radar.ReadChannel1(samples, -5, 1000), 0);
    // One frame beyond what a read takes (and what a recording may ask for) is refused before
    // any transfer.
    EXPECT_EQ(radar.ReadBothChannels(samples, vorn::kMaxReadFrames + 1, 1000), 0);
    EXPECT_EQ(radar.ReadBothChannels(samples, 0x7FFFFFFF / 8, 1000), 0);
    radar.inEndPointIndex = 9;
    EXPECT_EQ(radar.ReadChannel1(samples, 128, 1000), 0);
    EXPECT_TRUE(dev.bulks.empty());
    EXPECT_EQ(samples.size(), 3u);
}

TEST_F(RadarDeviceStreaming, TheLongestRecordingsReadReachTheEndpoint) {
    // The longest recordings at 128 and 1024 samples per sweep, and the read's own bound: each
    // is asked of the endpoint in full (the buffer is only reserved, the fake sends 2 frames).
    dev.inStream = Stream(2);
    for (const int n : {vorn::kMaxReadFrames, vorn::kMaxReadFrames / 128 * 128,
                        vorn::kMaxReadFrames / 1024 * 1024}) {
        Samples samples;
        EXPECT_EQ(radar.ReadBothChannels(samples, n, 1000), 4) << n;
        ASSERT_FALSE(dev.bulks.empty());
        EXPECT_EQ(dev.bulks.back().length, 8 * n + 10240) << n;
    }
}

using Records = std::vector<fake::Bytes>;

TEST(FirmwareParse, RecordsAndArbitraryText) {
    EXPECT_EQ(vorn::ParseFirmwareRecords(":0300000002"
                                         "00B843\r\n:02E60000ABCD9E\r\n:00000001FF\r\n"),
              (Records{{0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0xB8, 0x43},
                       {0x02, 0xE6, 0x00, 0x00, 0xAB, 0xCD, 0x9E}}));
    // A line without its CR LF loses its last two characters, never more than it has.
    EXPECT_EQ(vorn::ParseFirmwareRecords(":0400"), Records{{0x04}});
}

TEST(FirmwareDownload, HoldRecordsReleaseAndFailures) {
    RadarDevice radar(fake::BackendWith(0));
    EXPECT_EQ(radar.DownloadFirmware({{1, 0, 0, 0, 0, 0}}), 0);
    auto backend = fake::BackendWith(1);
    fake::Device& dev = *backend->devices[0];
    dev.cpucs = 0x02;
    RadarDevice device(backend);
    ASSERT_EQ(device.RefreshDevices(), 1);
    dev.controls.clear();
    dev.controlFault = [](const fake::Record& r) {
        return r.value == 0x0010 ? UsbStatus::Pipe : UsbStatus::Ok;
    };
    const Records records = {{0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0xB8, 0x43},
                             {0x02, 0x01, 0x23, 0x00, 0xAA, 0xBB, 0x00},
                             {1, 0x00, 0x10, 0, 0x22, 0},           // refused by the device
                             {0x04, 0x00, 0x00, 0x00, 0x01, 0x02},  // says 4, holds 2
                             {0x00, 0x00, 0x00, 0x01},              // nothing to load
                             {},
                             {0x01, 0x00}};          // no address low byte
    EXPECT_EQ(device.DownloadFirmware(records), 3);  // the empty one loads nothing, successfully
    const auto& c = dev.controls;
    ASSERT_EQ(c.size(), 6u);
    for (const auto& r : c) EXPECT_EQ(r.timeoutMs, 10000u);
    EXPECT_EQ(c[0].requestType, 0xC0);
    EXPECT_EQ(c[0].value, 0xE600);
    EXPECT_EQ(c[1].data, fake::Bytes{0x03});
    EXPECT_EQ(c[2].value, 0x0000);
    EXPECT_EQ(c[2].data, (fake::Bytes{0x02, 0x00, 0xB8}));
    EXPECT_EQ(c[3].value, 0x0123);  // the full 16-bit load address
    EXPECT_EQ(c[3].data, (fake::Bytes{0xAA, 0xBB}));
    EXPECT_EQ(c[5].requestType, 0x40);
    EXPECT_EQ(c[5].value, 0xE600);
    EXPECT_EQ(c[5].data, fake::Bytes{0x02});  // released even after a failed record
}

TEST(FrameSync, SkipsTheFirst1024WordsAndFindsTheStartBit) {
    std::vector<std::uint16_t> words(1030, 0x8000);  // start bits inside the skipped part
    for (std::size_t i = 1024; i < 1030; ++i) words[i] = 0x7FFF;
    words.insert(words.end(), {0x8123, 0x0456, 0xFFFF, 0xFFFF, 0x8005, 6, 7});
    auto bytes = fake::Words(words);
    bytes.push_back(0xAB);  // the incomplete frame and the odd byte are dropped
    EXPECT_EQ(vorn::FindFrameStart(bytes.data(), bytes.size()), 1030u);
    Samples s;
    EXPECT_EQ(vorn::UnpackFrames(bytes.data(), bytes.size(), 10, vorn::FrameChannels::Both, s), 2u);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0], std::complex<double>(1110.0, 291.0));
    // Bit 15 of word 2 is not part of the sample; word 3 keeps all 16 bits.
    EXPECT_EQ(s[1], std::complex<double>(65535.0, 32767.0));
    EXPECT_EQ(vorn::CountFrames(10, 11, 5), 0u);
    for (std::size_t size : {0u, 1u, 2048u, 2049u}) {
        std::vector<std::uint8_t> stream(size, 0xFF);
        EXPECT_EQ(vorn::UnpackFrames(stream.data(), size, 8, vorn::FrameChannels::One, s), 0u)
            << size;
        EXPECT_TRUE(s.empty());
    }
}

}  // namespace

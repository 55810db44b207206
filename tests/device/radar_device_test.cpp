#include "device/radar_device.h"

#include <gtest/gtest.h>

#include "fake_usb.h"

using vorn::UsbStatus;

namespace {

std::vector<std::uint8_t> Words(const std::vector<std::uint16_t>& words) {
    std::vector<std::uint8_t> bytes;
    for (std::uint16_t w : words) {
        bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    return bytes;
}

// 1024 skipped words, then `frames` frames with recognisable values.
std::vector<std::uint8_t> Stream(int frames, std::size_t leadIn = 0) {
    std::vector<std::uint16_t> words(1024 + leadIn, 0x1234);
    for (int k = 0; k < frames; ++k) {
        words.push_back(static_cast<std::uint16_t>(0x8000 | k));
        words.push_back(static_cast<std::uint16_t>(1000 + k));
        words.push_back(static_cast<std::uint16_t>(0x8000 | (2000 + k)));
        words.push_back(static_cast<std::uint16_t>(3000 + k));
    }
    return Words(words);
}

TEST(RadarDeviceParameters, WordExamples) {
    EXPECT_EQ(RadarDevice::ComposeParameterWord(1, 2, 1, 0), 0xA064);  // FMCW 2 ms 150 MHz 256
    EXPECT_EQ(RadarDevice::ComposeParameterWord(3, 0, 3, 3), 0xA0CF);  // CW 10 ms 400 MHz 1024
    EXPECT_EQ(RadarDevice::ComposeParameterWord(0, 0, 0, 0), 0xA000);
    EXPECT_EQ(RadarDevice::ComposeParameterWord(3, 3, 3, 3), 0xA0FF);
    // A stray code cannot reach the marker byte.
    EXPECT_EQ(RadarDevice::ComposeParameterWord(4, 0, 0, 0) & 0xFF00, 0xA000);
}

TEST(RadarDeviceParameters, BlockIsLittleEndianCopies) {
    const auto block = RadarDevice::BuildParameterBlock(0xA064);
    ASSERT_EQ(block.size(), 2048u);
    for (std::size_t i = 0; i < block.size(); i += 2) {
        ASSERT_EQ(block[i], 0x64);
        ASSERT_EQ(block[i + 1], 0xA0);
    }
}

TEST(RadarDeviceDiscovery, ListsOnlyRadars) {
    auto backend = std::make_shared<fake::Backend>();
    RadarDevice radar(backend);
    EXPECT_EQ(radar.Device(), nullptr);
    EXPECT_EQ(radar.RefreshDevices(), 0);
    EXPECT_EQ(radar.FindEndPoint(0x02), 0);

    backend->devices = {fake::Fx2Device(), fake::Fx2Device(0x1234, 0x5678), fake::Fx2Device()};
    ASSERT_EQ(radar.RefreshDevices(), 2);
    const RadarDeviceEntry& e = radar.DeviceList()[0];
    EXPECT_EQ(e.vendorId, 0x04B4);
    EXPECT_EQ(e.productId, 0x8613);
    EXPECT_EQ(e.configCount, 1);
    EXPECT_EQ(e.endPointCount, 1);
    EXPECT_EQ(e.interfaceCount, 1);
    EXPECT_EQ(e.altSettingCount, 3);
    EXPECT_EQ(radar.DeviceIndexOf(0), 0);
    EXPECT_EQ(radar.DeviceIndexOf(1), 2);
    EXPECT_EQ(radar.DeviceIndexOf(2), -1);
    EXPECT_EQ(radar.InaccessibleCount(), 0);
    // The device opened last stays open.
    ASSERT_NE(radar.Device(), nullptr);
    EXPECT_TRUE(radar.Device()->IsOpen());
}

TEST(RadarDeviceDiscovery, PermissionProblemsAreCounted) {
    auto backend = std::make_shared<fake::Backend>();
    backend->devices = {fake::Fx2Device(), fake::Fx2Device(), fake::Fx2Device()};
    backend->openStatus = {UsbStatus::Access, UsbStatus::Ok, UsbStatus::Busy};
    RadarDevice radar(backend);
    EXPECT_EQ(radar.RefreshDevices(), 1);
    EXPECT_EQ(radar.InaccessibleCount(), 1);
    EXPECT_EQ(radar.DeviceIndexOf(0), 1);
}

TEST(RadarDeviceDiscovery, OpenEntryUsesItsDevice) {
    auto backend = std::make_shared<fake::Backend>();
    backend->devices = {fake::Fx2Device(), fake::Fx2Device()};
    RadarDevice radar(backend);
    ASSERT_EQ(radar.RefreshDevices(), 2);
    ASSERT_TRUE(radar.OpenEntry(0));
    backend->devices[1]->resets = 0;
    EXPECT_EQ(radar.SelectStreamingInterface(), 1);
    EXPECT_EQ(backend->devices[0]->resets, 1);
    EXPECT_EQ(backend->devices[1]->resets, 0);
    EXPECT_FALSE(radar.OpenEntry(5));
}

std::shared_ptr<fake::Backend> OneRadar() {
    auto backend = std::make_shared<fake::Backend>();
    backend->devices = {fake::Fx2Device()};
    return backend;
}

// A radar activated as the window does it, with the request records cleared afterwards.
class RadarDeviceStreaming : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(radar.RefreshDevices(), 1);
        radar.interfaceSelected = radar.SelectStreamingInterface();
        ASSERT_EQ(radar.interfaceSelected, 1);
        radar.outEndPointIndex = radar.FindEndPoint(0x02);
        radar.inEndPointIndex = radar.FindEndPoint(0x86);
        dev.ClearRecords();
    }

    std::shared_ptr<fake::Backend> backend = OneRadar();
    fake::Device& dev = *backend->devices[0];
    RadarDevice radar{backend};
};

TEST_F(RadarDeviceStreaming, EndpointsOfSettingOne) {
    EXPECT_EQ(radar.outEndPointIndex, 3);
    EXPECT_EQ(radar.inEndPointIndex, 5);
    EXPECT_EQ(radar.FindEndPoint(0x83), 0);
}

TEST_F(RadarDeviceStreaming, WriteBlockSendsTheParameterBlock) {
    const auto block = RadarDevice::BuildParameterBlock(0xA0CF);
    EXPECT_EQ(radar.WriteBlock(block.data(), 2048), 2048);
    ASSERT_EQ(dev.bulks.size(), 1u);
    EXPECT_EQ(dev.bulks[0].endpoint, 0x02);
    EXPECT_EQ(dev.bulks[0].timeoutMs, 10000u);
    EXPECT_EQ(dev.bulks[0].data, block);

    dev.outAccepted = 1536;
    dev.outStatus = UsbStatus::Timeout;
    EXPECT_EQ(radar.WriteBlock(block.data(), 2048), 1536);

    radar.outEndPointIndex = 0;  // never the control endpoint
    EXPECT_EQ(radar.WriteBlock(block.data(), 2048), 0);
    EXPECT_EQ(dev.bulks.size(), 2u);
}

TEST_F(RadarDeviceStreaming, ReadAsksForWholeRequestWithTimeout) {
    dev.inStream = Stream(128);
    std::vector<std::complex<double>> samples;
    EXPECT_EQ(radar.ReadChannel1(samples, 128, 1000), 128);
    ASSERT_EQ(dev.bulks.size(), 1u);
    EXPECT_EQ(dev.bulks[0].endpoint, 0x86);
    EXPECT_EQ(dev.bulks[0].length, 8 * 128 + 10240);
    EXPECT_EQ(dev.bulks[0].timeoutMs, 1000u);
    EXPECT_EQ(radar.Device()->EndPoints[5]->TimeOut, 1000u);
    EXPECT_EQ(samples[5], std::complex<double>(1005, 5));
}

TEST_F(RadarDeviceStreaming, ShortStreamsDeliverWhatIsWhole) {
    dev.inStream = Stream(100);
    std::vector<std::complex<double>> samples;
    EXPECT_EQ(radar.ReadChannel1(samples, 128, 1000), 100);
    EXPECT_EQ(samples.size(), 100u);
    EXPECT_EQ(radar.ReadChannel2(samples, 128, 1000), 100);
    EXPECT_EQ(samples[99], std::complex<double>(3099, 2099));
    EXPECT_EQ(radar.ReadBothChannels(samples, 128, 1000), 200);
    ASSERT_EQ(samples.size(), 200u);
    EXPECT_EQ(samples[2], std::complex<double>(1001, 1));
    EXPECT_EQ(samples[3], std::complex<double>(3001, 2001));

    dev.inStream.resize(2048);
    EXPECT_EQ(radar.ReadChannel1(samples, 128, 1000), 0);
    EXPECT_TRUE(samples.empty());
}

TEST_F(RadarDeviceStreaming, FailedReadLeavesOutputAlone) {
    dev.inStream = Stream(128);
    dev.inStatus = UsbStatus::Timeout;
    std::vector<std::complex<double>> samples(3, {7, 7});
    EXPECT_EQ(radar.ReadChannel1(samples, 128, 1000), 0);
    EXPECT_EQ(samples, std::vector<std::complex<double>>(3, {7, 7}));
}

TEST_F(RadarDeviceStreaming, UnreasonableRequestsReadNothing) {
    std::vector<std::complex<double>> samples(2);
    EXPECT_EQ(radar.ReadChannel1(samples, 0, 1000), 0);
    EXPECT_EQ(radar.ReadChannel1(samples, -5, 1000), 0);
    EXPECT_EQ(radar.ReadBothChannels(samples, 0x7FFFFFFF / 8, 1000), 0);
    EXPECT_EQ(radar.ReadChannel1(samples, 128, -1), 0);
    radar.inEndPointIndex = 9;
    EXPECT_EQ(radar.ReadChannel1(samples, 128, 1000), 0);
    EXPECT_TRUE(dev.bulks.empty());
    EXPECT_EQ(samples.size(), 2u);
}

TEST_F(RadarDeviceStreaming, RefreshVoidsEndpointIndexes) {
    radar.RefreshDevices();
    EXPECT_EQ(radar.outEndPointIndex, 0);
    EXPECT_EQ(radar.inEndPointIndex, 0);
    const auto block = RadarDevice::BuildParameterBlock(0xA000);
    EXPECT_EQ(radar.WriteBlock(block.data(), 2048), 0);
}

TEST(RadarDeviceActivation, MissingSampleEndpointIsNotFound) {
    auto backend = std::make_shared<fake::Backend>();
    std::vector<std::uint8_t> body = fake::InterfaceDescriptor(0, 0, 0);
    for (const auto& part :
         {fake::InterfaceDescriptor(0, 1, 1), fake::EndpointDescriptor(0x02, 2, 512)}) {
        body.insert(body.end(), part.begin(), part.end());
    }
    auto device = fake::Fx2Device();
    device->configurations = {fake::Configuration(1, body)};
    backend->devices = {device};
    RadarDevice radar(backend);
    ASSERT_EQ(radar.RefreshDevices(), 1);
    EXPECT_EQ(radar.SelectStreamingInterface(), 1);
    EXPECT_EQ(radar.FindEndPoint(0x02), 1);
    EXPECT_EQ(radar.FindEndPoint(0x86), 0);
}

TEST(RadarDeviceActivation, RefusedSettingIsReported) {
    auto backend = std::make_shared<fake::Backend>();
    backend->devices = {fake::Fx2Device()};
    backend->devices[0]->setAltStatus = UsbStatus::Io;
    RadarDevice radar(backend);
    ASSERT_EQ(radar.RefreshDevices(), 1);
    EXPECT_EQ(radar.SelectStreamingInterface(), 0);
    EXPECT_EQ(radar.FindEndPoint(0x86), 0);
}

}  // namespace

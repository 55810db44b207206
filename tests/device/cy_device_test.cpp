#include "device/cy_device.h"

#include <gtest/gtest.h>

#include <random>

#include "fake_usb.h"

using vorn::UsbStatus;

namespace {

TEST(CyDeviceEnumeration, OpenCloseAndNoDevice) {
    CCyDevice none(fake::BackendWith(0), true);
    EXPECT_FALSE(none.Open(0));
    EXPECT_EQ(none.EndPointCount(), 0);
    EXPECT_FALSE(none.SetAltSetting(1));
    EXPECT_FALSE(none.Reset());
    EXPECT_EQ(none.EndPoints, nullptr);

    auto backend = fake::BackendWith(2);
    CCyDevice device(backend, true);
    ASSERT_TRUE(device.IsOpen());
    EXPECT_EQ(device.DeviceCount(), 2);
    EXPECT_EQ(device.VendorID, 0x04B4);
    EXPECT_EQ(device.EndPointCount(), 1);  // setting 0 has no endpoints of its own
    EXPECT_EQ(device.EndPoints[0], device.ControlEndPoint);
    // Descriptors are read as on the wire: device, then the 9-byte header, then the whole.
    const auto& c = backend->devices[0]->controls;
    ASSERT_GE(c.size(), 3u);
    EXPECT_EQ(c[0].requestType, 0x80);
    EXPECT_EQ(c[0].value, 0x0100);
    EXPECT_EQ(c[0].length, 18);
    EXPECT_EQ(c[1].length, 9);
    EXPECT_EQ(c[2].length, static_cast<int>(backend->devices[0]->configurations[0].size()));
    ASSERT_TRUE(device.Open(1));
    EXPECT_EQ(device.ProductID, 0x8614);
    EXPECT_FALSE(device.Open(2));
    device.Close();
    EXPECT_EQ(device.ControlEndPoint, nullptr);

    backend->openStatus = {UsbStatus::Access};
    EXPECT_FALSE(device.Open(0));
    EXPECT_EQ(device.LastOpenStatus(), UsbStatus::Access);
}

class CyDeviceFx2 : public ::testing::Test {
protected:
    std::shared_ptr<fake::Backend> backend = fake::BackendWith(1);
    fake::Device& dev = *backend->devices[0];
    CCyDevice device{backend, true};
};

TEST_F(CyDeviceFx2, MissingOrRefusedSettingLeavesTableUnchanged) {
    ASSERT_TRUE(device.SetAltSetting(1));
    ASSERT_EQ(device.EndPointCount(), 7);
    EXPECT_EQ(device.BulkInEndPt->Address, 0x81);
    CCyUSBEndPoint** table = device.EndPoints;
    EXPECT_FALSE(device.SetAltSetting(7));
    dev.setAltStatus = UsbStatus::Pipe;
    EXPECT_FALSE(device.SetAltSetting(0));
    EXPECT_EQ(device.EndPoints, table);
    EXPECT_EQ(device.BulkInEndPt->Address, 0x81);
}

TEST_F(CyDeviceFx2, BulkInPartialTimeoutAndBufferedMode) {
    ASSERT_TRUE(device.SetAltSetting(1));
    CCyUSBEndPoint* in = device.EndPoints[5];
    dev.inStream.assign(4, 0x11);
    std::vector<std::uint8_t> buf(8, 0xEE);
    int len = 8;
    EXPECT_TRUE(in->TransferData(buf.data(), len));
    EXPECT_EQ(len, 4);
    EXPECT_EQ(in->bytesWritten, 4u);
    EXPECT_EQ(dev.bulks.back().timeoutMs, 10000u);

    dev.inStatus = UsbStatus::Timeout;
    len = 8;
    EXPECT_FALSE(in->TransferData(buf.data(), len));
    EXPECT_EQ(len, 4);
    EXPECT_EQ(in->LastStatus, UsbStatus::Timeout);

    dev.inStatus = UsbStatus::Ok;
    in->XferMode = XMODE_BUFFERED;
    buf.assign(8, 0xEE);
    EXPECT_TRUE(in->TransferData(buf.data(), len));
    EXPECT_EQ(buf, (std::vector<std::uint8_t>{0x11, 0x11, 0x11, 0x11, 0xEE, 0xEE, 0xEE, 0xEE}));
}

// Descriptors a broken or hostile device might send.
TEST(CyDeviceMalformed, BadLengthsNeverReachPastTheData) {
    auto bad = fake::Endpoint(0x86, 2, 512);
    bad[0] = 200;  // runs far past wTotalLength
    auto longTotal = fake::Fx2Device()->configurations[0];
    longTotal[2] = 0xFF;
    longTotal[3] = 0x0F;  // claims 4095 bytes
    struct Case {
        const char* name;
        fake::Bytes config;
        int endpoints;  // in the current setting after Open
    } cases[] = {
        {"zero bLength stops parsing",
         fake::Configuration({fake::Interface(0, 1),
                              fake::Endpoint(0x86, 2, 512),
                              {0, 5, 0x02, 2, 0, 2, 0},
                              fake::Interface(1, 0)}),
         2},
        {"overlong descriptor is cut off",
         fake::Configuration({fake::Interface(0, 2), fake::Endpoint(0x02, 2, 512), bad}), 2},
        {"wTotalLength beyond what was sent", longTotal, 1},
        {"too short a header", {9, 2, 5, 0}, 0},
    };
    for (const Case& c : cases) {
        auto backend = fake::BackendWith(1);
        backend->devices[0]->configurations = {c.config};
        CCyDevice device(backend, true);
        EXPECT_TRUE(device.IsOpen()) << c.name;  // the handle stays usable for a reset
        EXPECT_EQ(device.EndPointCount(), c.endpoints) << c.name;
        EXPECT_EQ(device.Open(0), c.endpoints != 0) << c.name;
    }
    auto backend = fake::BackendWith(1);
    backend->devices[0]->deviceDescriptor.resize(10);
    CCyDevice device(backend, true);
    EXPECT_FALSE(device.Open(0));
    EXPECT_EQ(device.VendorID, 0);
}

TEST(CyDeviceMalformed, RandomBytesNeverOverread) {
    // Run under the address sanitizer this shows any read past the copy.
    std::mt19937 rng(1234);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> bytes(rng() % 120);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() % 12);
        if (bytes.size() > 4 && round % 2 == 0) bytes[2] = static_cast<std::uint8_t>(bytes.size());
        auto config = ParseConfiguration(bytes.data(), bytes.size(), nullptr);
        ASSERT_EQ(config == nullptr, bytes.size() < 9);
        if (!config) continue;
        EXPECT_LE(config->Interfaces.size(), 8u);
        for (const auto& iface : config->Interfaces) EXPECT_LE(iface->EndPointsFound(), 15);
    }
}

}  // namespace

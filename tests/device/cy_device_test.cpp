#include "device/cy_device.h"

#include <gtest/gtest.h>

#include <random>

#include "fake_usb.h"

using vorn::UsbStatus;

namespace {

std::shared_ptr<fake::Backend> BackendWith(int devices) {
    auto backend = std::make_shared<fake::Backend>();
    for (int i = 0; i < devices; ++i) {
        backend->devices.push_back(fake::Fx2Device(0x04B4, static_cast<std::uint16_t>(0x8613 + i)));
    }
    return backend;
}

TEST(CyDeviceEnumeration, NoDeviceAttached) {
    CCyDevice device(BackendWith(0), true);
    EXPECT_EQ(device.DeviceCount(), 0);
    EXPECT_FALSE(device.Open(0));
    EXPECT_EQ(device.ConfigCount(), 0);
    EXPECT_EQ(device.InterfaceCount(), 0);
    EXPECT_EQ(device.EndPointCount(), 0);
    EXPECT_EQ(device.AltSetting(), 0xFF);
    EXPECT_FALSE(device.SetAltSetting(1));
    EXPECT_FALSE(device.Reset());
    EXPECT_EQ(device.EndPoints, nullptr);
}

TEST(CyDeviceEnumeration, OneDeviceOpensAtConstruction) {
    auto backend = BackendWith(1);
    CCyDevice device(backend, true);
    ASSERT_TRUE(device.IsOpen());
    EXPECT_EQ(device.DeviceCount(), 1);
    EXPECT_EQ(device.VendorID, 0x04B4);
    EXPECT_EQ(device.ProductID, 0x8613);
    EXPECT_EQ(device.ConfigCount(), 1);
    EXPECT_EQ(device.InterfaceCount(), 1);
    EXPECT_EQ(device.AltSettingCount(), 3);
    EXPECT_EQ(device.AltSetting(), 0);
    EXPECT_EQ(device.EndPointCount(), 1);  // setting 0 has no endpoints of its own
    ASSERT_NE(device.ControlEndPoint, nullptr);
    EXPECT_EQ(device.EndPoints[0], device.ControlEndPoint);
    EXPECT_EQ(device.ControlEndPoint->MaxPktSize, 64);
    EXPECT_EQ(device.ControlEndPoint->TimeOut, 10000u);

    // Descriptors are read as on the wire: device, then the 9-byte header, then the whole.
    const auto& c = backend->devices[0]->controls;
    ASSERT_GE(c.size(), 3u);
    EXPECT_EQ(c[0].requestType, 0x80);
    EXPECT_EQ(c[0].request, 6);
    EXPECT_EQ(c[0].value, 0x0100);
    EXPECT_EQ(c[0].length, 18);
    EXPECT_EQ(c[0].timeoutMs, 5000u);
    EXPECT_EQ(c[1].value, 0x0200);
    EXPECT_EQ(c[1].length, 9);
    EXPECT_EQ(c[2].length, backend->devices[0]->configurations[0].size());
}

TEST(CyDeviceEnumeration, TwoDevicesOpenByIndex) {
    CCyDevice device(BackendWith(2), false);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.DeviceCount(), 2);
    ASSERT_TRUE(device.Open(1));
    EXPECT_EQ(device.ProductID, 0x8614);
    ASSERT_TRUE(device.Open(0));
    EXPECT_EQ(device.ProductID, 0x8613);
    EXPECT_FALSE(device.Open(2));
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.ConfigCount(), 0);
}

TEST(CyDeviceEnumeration, OpenFailureKeepsReason) {
    auto backend = BackendWith(1);
    backend->openStatus = {UsbStatus::Access};
    CCyDevice device(backend, true);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.LastOpenStatus(), UsbStatus::Access);
    EXPECT_EQ(device.EndPointCount(), 0);
}

TEST(CyDeviceEnumeration, OnlyTwoConfigurationsAreRead) {
    auto backend = BackendWith(1);
    auto& dev = *backend->devices[0];
    dev.deviceDescriptor = fake::DeviceDescriptor(0x04B4, 0x8613, 3);
    dev.configurations = {fake::Fx2Configuration(), fake::Fx2Configuration(),
                          fake::Fx2Configuration()};
    CCyDevice device(backend, true);
    EXPECT_EQ(device.ConfigCount(), 3);
    int configReads = 0;
    for (const auto& c : dev.controls) configReads += (c.value >> 8) == 2 ? 1 : 0;
    EXPECT_EQ(configReads, 4);
}

class CyDeviceFx2 : public ::testing::Test {
protected:
    std::shared_ptr<fake::Backend> backend = BackendWith(1);
    fake::Device& dev = *backend->devices[0];
    CCyDevice device{backend, true};
};

TEST_F(CyDeviceFx2, AlternateSettingOneHasTheBulkEndpoints) {
    ASSERT_TRUE(device.SetAltSetting(1));
    EXPECT_EQ(dev.setAltRequests, 1);
    EXPECT_EQ(device.AltSetting(), 1);
    ASSERT_EQ(device.EndPointCount(), 7);
    EXPECT_EQ(device.EndPoints[0], device.ControlEndPoint);
    const std::uint8_t expected[] = {0x01, 0x81, 0x02, 0x04, 0x86, 0x88};
    for (int i = 1; i < 7; ++i) {
        ASSERT_NE(device.EndPoints[i], nullptr);
        EXPECT_EQ(device.EndPoints[i]->Address, expected[i - 1]);
        EXPECT_EQ(device.EndPoints[i]->MaxPktSize, 512);
        EXPECT_NE(dynamic_cast<CCyBulkEndPoint*>(device.EndPoints[i]), nullptr);
        EXPECT_EQ(device.EndPoints[i]->TimeOut, 10000u);
    }
    ASSERT_NE(device.BulkOutEndPt, nullptr);
    ASSERT_NE(device.BulkInEndPt, nullptr);
    EXPECT_EQ(device.BulkOutEndPt->Address, 0x01);
    EXPECT_EQ(device.BulkInEndPt->Address, 0x81);
    EXPECT_EQ(device.IsocInEndPt, nullptr);
    EXPECT_EQ(device.InterruptOutEndPt, nullptr);
}

TEST_F(CyDeviceFx2, EndpointClassFollowsTransferType) {
    ASSERT_TRUE(device.SetAltSetting(2));
    ASSERT_EQ(device.EndPointCount(), 7);
    EXPECT_NE(dynamic_cast<CCyInterruptEndPoint*>(device.EndPoints[1]), nullptr);
    EXPECT_NE(dynamic_cast<CCyIsocEndPoint*>(device.EndPoints[3]), nullptr);
    ASSERT_NE(device.InterruptOutEndPt, nullptr);
    EXPECT_EQ(device.InterruptOutEndPt->Address, 0x01);
    EXPECT_EQ(device.InterruptInEndPt->Address, 0x81);
    EXPECT_EQ(device.IsocOutEndPt->Address, 0x02);
    EXPECT_EQ(device.IsocInEndPt->Address, 0x86);
    EXPECT_EQ(device.BulkOutEndPt->Address, 0x04);
    EXPECT_EQ(device.BulkInEndPt->Address, 0x88);

    // The seam has no isochronous transfers: the request fails without reaching the device.
    std::uint8_t buf[8] = {};
    int len = 8;
    dev.ClearRecords();
    EXPECT_FALSE(device.IsocOutEndPt->TransferData(buf, len));
    EXPECT_EQ(device.IsocOutEndPt->LastStatus, UsbStatus::NotSupported);
    EXPECT_TRUE(dev.bulks.empty());
}

TEST_F(CyDeviceFx2, HighBandwidthPacketSize) {
    ASSERT_TRUE(device.SetAltSetting(3));
    ASSERT_EQ(device.EndPointCount(), 3);
    EXPECT_EQ(device.EndPoints[1]->PktsPerFrame, 3);
    EXPECT_EQ(device.EndPoints[1]->MaxPktSize, 3072);
    EXPECT_EQ(device.EndPoints[2]->PktsPerFrame, 1);
    EXPECT_EQ(device.EndPoints[2]->MaxPktSize, 1024);
}

TEST_F(CyDeviceFx2, SameSettingIssuesNoRequest) {
    ASSERT_TRUE(device.SetAltSetting(1));
    CCyUSBEndPoint** table = device.EndPoints;
    EXPECT_TRUE(device.SetAltSetting(1));
    EXPECT_EQ(dev.setAltRequests, 1);
    EXPECT_EQ(device.EndPoints, table);
}

TEST_F(CyDeviceFx2, MissingOrRefusedSettingLeavesTableUnchanged) {
    ASSERT_TRUE(device.SetAltSetting(1));
    CCyUSBEndPoint** table = device.EndPoints;
    EXPECT_FALSE(device.SetAltSetting(7));
    EXPECT_EQ(dev.setAltRequests, 1);
    EXPECT_EQ(device.EndPoints, table);
    EXPECT_EQ(device.EndPointCount(), 7);

    dev.setAltStatus = UsbStatus::Pipe;
    EXPECT_FALSE(device.SetAltSetting(2));
    EXPECT_EQ(device.EndPoints, table);
    EXPECT_EQ(device.BulkInEndPt->Address, 0x81);
}

TEST_F(CyDeviceFx2, UnknownCurrentSettingGivesNoTable) {
    dev.getInterfaceStatus = UsbStatus::Pipe;
    ASSERT_TRUE(device.Open(0));
    EXPECT_EQ(device.AltSetting(), 0xFF);
    EXPECT_EQ(device.EndPoints, nullptr);
    EXPECT_EQ(device.EndPointCount(), 0);
}

TEST_F(CyDeviceFx2, ControlTimeoutIsWholeSeconds) {
    CCyControlEndPoint* ep = device.ControlEndPoint;
    ep->Target = TGT_DEVICE;
    ep->ReqType = REQ_VENDOR;
    ep->Direction = DIR_FROM_DEVICE;
    ep->ReqCode = 0xA0;
    ep->Value = 0xE600;
    ep->Index = 0;
    const std::pair<std::uint32_t, unsigned> cases[] = {
        {10000, 10000}, {500, 1000}, {0, 0}, {2500, 2000}, {1000, 1000}};
    for (const auto& [timeOut, expected] : cases) {
        dev.ClearRecords();
        ep->TimeOut = timeOut;
        std::uint8_t byte = 0;
        int len = 1;
        EXPECT_TRUE(ep->TransferData(&byte, len));
        ASSERT_EQ(dev.controls.size(), 1u);
        EXPECT_EQ(dev.controls[0].timeoutMs, expected) << "TimeOut " << timeOut;
        EXPECT_EQ(dev.controls[0].requestType, 0xC0);
    }
}

TEST_F(CyDeviceFx2, BulkInPartialAndTimeout) {
    ASSERT_TRUE(device.SetAltSetting(1));
    CCyUSBEndPoint* in = device.EndPoints[5];
    dev.inStream.assign(300, 0x5A);
    std::vector<std::uint8_t> buf(1024, 0);
    int len = 1024;
    EXPECT_TRUE(in->TransferData(buf.data(), len));
    EXPECT_EQ(len, 300);
    EXPECT_EQ(in->bytesWritten, 300u);
    EXPECT_EQ(dev.bulks.back().endpoint, 0x86);
    EXPECT_EQ(dev.bulks.back().timeoutMs, 10000u);

    dev.inStatus = UsbStatus::Timeout;
    len = 1024;
    EXPECT_FALSE(in->TransferData(buf.data(), len));
    EXPECT_EQ(len, 300);
    EXPECT_EQ(in->LastStatus, UsbStatus::Timeout);
}

TEST_F(CyDeviceFx2, BufferedInTouchesOnlyDeliveredBytes) {
    ASSERT_TRUE(device.SetAltSetting(1));
    CCyUSBEndPoint* in = device.EndPoints[5];
    in->XferMode = XMODE_BUFFERED;
    dev.inStream.assign(4, 0x11);
    std::vector<std::uint8_t> buf(8, 0xEE);
    int len = 8;
    EXPECT_TRUE(in->TransferData(buf.data(), len));
    EXPECT_EQ(len, 4);
    EXPECT_EQ(buf, (std::vector<std::uint8_t>{0x11, 0x11, 0x11, 0x11, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST_F(CyDeviceFx2, CloseInvalidatesEverything) {
    device.Close();
    device.Close();
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.EndPoints, nullptr);
    EXPECT_EQ(device.ControlEndPoint, nullptr);
    EXPECT_EQ(device.VendorID, 0);
    EXPECT_EQ(device.ConfigCount(), 0);
}

// Descriptors a broken or hostile device might send.
std::shared_ptr<fake::Backend> BackendServing(std::vector<std::uint8_t> config) {
    auto backend = BackendWith(1);
    backend->devices[0]->configurations = {std::move(config)};
    return backend;
}

TEST(CyDeviceMalformed, ZeroLengthDescriptorStopsParsing) {
    std::vector<std::uint8_t> body = fake::InterfaceDescriptor(0, 0, 1);
    const auto ep = fake::EndpointDescriptor(0x86, 2, 512);
    body.insert(body.end(), ep.begin(), ep.end());
    body.insert(body.end(), {0, 5, 0x02, 2, 0, 2, 0});  // bLength 0
    const auto more = fake::InterfaceDescriptor(0, 1, 0);
    body.insert(body.end(), more.begin(), more.end());
    CCyDevice device(BackendServing(fake::Configuration(1, body)), true);
    ASSERT_TRUE(device.IsOpen());
    EXPECT_EQ(device.EndPointCount(), 2);
    EXPECT_EQ(device.AltSettingCount(), 0);  // the interface after the bad byte was not reached
}

TEST(CyDeviceMalformed, OverlongDescriptorIsCutOff) {
    std::vector<std::uint8_t> body = fake::InterfaceDescriptor(0, 0, 2);
    auto ep = fake::EndpointDescriptor(0x02, 2, 512);
    body.insert(body.end(), ep.begin(), ep.end());
    ep = fake::EndpointDescriptor(0x86, 2, 512);
    ep[0] = 200;  // runs far past wTotalLength
    body.insert(body.end(), ep.begin(), ep.end());
    CCyDevice device(BackendServing(fake::Configuration(1, body)), true);
    ASSERT_TRUE(device.IsOpen());
    // bNumEndpoints says 2, one arrived: the table holds only what exists.
    ASSERT_EQ(device.EndPointCount(), 2);
    EXPECT_EQ(device.EndPoints[1]->Address, 0x02);
}

TEST(CyDeviceMalformed, TotalLengthBeyondWhatWasSent) {
    auto config = fake::Fx2Configuration();
    config[2] = 0xFF;
    config[3] = 0x0F;  // claims 4095 bytes
    CCyDevice device(BackendServing(config), true);
    ASSERT_TRUE(device.IsOpen());
    EXPECT_TRUE(device.SetAltSetting(1));
    EXPECT_EQ(device.EndPointCount(), 7);
}

TEST(CyDeviceMalformed, TooShortOrMissingDescriptorsFailOpen) {
    auto backend = BackendServing(std::vector<std::uint8_t>{9, 2, 5, 0});
    CCyDevice device(backend, true);
    EXPECT_TRUE(device.IsOpen());  // the handle stays usable for a reset
    EXPECT_EQ(device.EndPointCount(), 0);
    EXPECT_FALSE(device.Open(0));

    backend->devices[0]->deviceDescriptor.resize(10);
    EXPECT_FALSE(device.Open(0));
    EXPECT_EQ(device.VendorID, 0);
    EXPECT_EQ(device.ConfigCount(), 0);
}

TEST(CyDeviceMalformed, RandomBytesNeverOverread) {
    // Run under the address sanitizer this shows any read past the copy.
    std::mt19937 rng(1234);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> bytes(rng() % 120);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() % 12);
        if (bytes.size() > 4 && round % 2 == 0) bytes[2] = static_cast<std::uint8_t>(bytes.size());
        auto config = ParseConfiguration(bytes.data(), bytes.size(), nullptr);
        if (bytes.size() < 9) {
            EXPECT_EQ(config, nullptr);
            continue;
        }
        ASSERT_NE(config, nullptr);
        EXPECT_LE(config->Interfaces.size(), 8u);
        for (const auto& iface : config->Interfaces) EXPECT_LE(iface->EndPointsFound(), 15);
    }
}

}  // namespace

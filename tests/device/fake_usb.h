#pragma once
// A scripted USB device beneath CCyDevice: serves descriptors, answers GET_INTERFACE and the FX2
// loader request, records every request and injects faults.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "device/usb_backend.h"

namespace fake {

struct ControlRecord {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
    unsigned timeoutMs = 0;
    std::vector<std::uint8_t> data;  // OUT data as sent
};

struct BulkRecord {
    std::uint8_t endpoint = 0;
    int length = 0;
    unsigned timeoutMs = 0;
    std::vector<std::uint8_t> data;  // OUT data as sent
};

struct Device {
    std::vector<std::uint8_t> deviceDescriptor;
    std::vector<std::vector<std::uint8_t>> configurations;
    std::uint8_t currentAlt = 0;
    std::uint8_t cpucs = 0;

    std::vector<ControlRecord> controls;
    std::vector<BulkRecord> bulks;
    int resets = 0;
    int setAltRequests = 0;

    // Faults: a non-Ok answer replaces the normal handling of that request.
    std::function<vorn::UsbStatus(const ControlRecord&)> controlFault;
    vorn::UsbStatus setAltStatus = vorn::UsbStatus::Ok;
    vorn::UsbStatus getInterfaceStatus = vorn::UsbStatus::Ok;

    // Bulk IN serves inStream (up to the request) with inStatus; OUT takes outAccepted bytes
    // (all when negative) with outStatus.
    std::vector<std::uint8_t> inStream;
    vorn::UsbStatus inStatus = vorn::UsbStatus::Ok;
    vorn::UsbStatus outStatus = vorn::UsbStatus::Ok;
    int outAccepted = -1;

    // Requests after a clear, without the descriptor reads of Open.
    void ClearRecords() {
        controls.clear();
        bulks.clear();
    }
};

class Link : public vorn::UsbDeviceLink {
public:
    explicit Link(std::shared_ptr<Device> device) : device_(std::move(device)) {}
    vorn::UsbTransferResult ControlTransfer(std::uint8_t requestType, std::uint8_t request,
                                            std::uint16_t value, std::uint16_t index,
                                            std::uint8_t* data, std::uint16_t length,
                                            unsigned timeoutMs) override;
    vorn::UsbTransferResult BulkTransfer(std::uint8_t endpoint, std::uint8_t* data, int length,
                                         unsigned timeoutMs) override;
    vorn::UsbStatus ResetPort() override;
    vorn::UsbStatus SetAltSetting(std::uint8_t interfaceNumber, std::uint8_t altSetting) override;

private:
    std::shared_ptr<Device> device_;
};

class Backend : public vorn::UsbBackend {
public:
    std::vector<std::shared_ptr<Device>> devices;
    std::vector<vorn::UsbStatus> openStatus;  // per device; Ok when missing

    std::vector<vorn::UsbDeviceInfo> ListDevices() override;
    std::unique_ptr<vorn::UsbDeviceLink> Open(std::size_t index, vorn::UsbStatus& status) override;
};

// Descriptor builders.
std::vector<std::uint8_t> DeviceDescriptor(std::uint16_t vendor, std::uint16_t product,
                                           std::uint8_t configurations = 1);
std::vector<std::uint8_t> InterfaceDescriptor(std::uint8_t number, std::uint8_t alt,
                                              std::uint8_t endpoints);
std::vector<std::uint8_t> EndpointDescriptor(std::uint8_t address, std::uint8_t attributes,
                                             std::uint16_t maxPacket);
// Header with the right wTotalLength in front of body.
std::vector<std::uint8_t> Configuration(std::uint8_t interfaces,
                                        const std::vector<std::uint8_t>& body);

// The FX2 before firmware: interface 0 with settings 0..3; setting 1 has the six bulk endpoints.
std::vector<std::uint8_t> Fx2Configuration();
std::shared_ptr<Device> Fx2Device(std::uint16_t vendor = 0x04B4, std::uint16_t product = 0x8613);

}  // namespace fake

#pragma once
// A scripted USB device beneath CCyDevice: serves descriptors, answers GET_INTERFACE and the FX2
// loader request, records every request and injects faults.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "device/usb_backend.h"

namespace fake {

using Bytes = std::vector<std::uint8_t>;

struct Record {
    std::uint8_t requestType = 0;  // the endpoint address for bulk transfers
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    int length = 0;
    unsigned timeoutMs = 0;
    Bytes data;  // OUT data as sent
};

struct Device {
    Bytes deviceDescriptor;
    std::vector<Bytes> configurations;
    std::uint8_t currentAlt = 0;
    std::uint8_t cpucs = 0;
    std::vector<Record> controls;
    std::vector<Record> bulks;
    int resets = 0;
    // Faults: a non-Ok answer replaces the normal handling of that request.
    std::function<vorn::UsbStatus(const Record&)> controlFault;
    vorn::UsbStatus setAltStatus = vorn::UsbStatus::Ok;
    // Bulk IN serves inStream with inStatus; OUT takes outAccepted bytes (all when negative).
    Bytes inStream;
    vorn::UsbStatus inStatus = vorn::UsbStatus::Ok;
    vorn::UsbStatus outStatus = vorn::UsbStatus::Ok;
    int outAccepted = -1;
};

class Backend : public vorn::UsbBackend {
public:
    std::vector<std::shared_ptr<Device>> devices;
    std::vector<vorn::UsbStatus> openStatus;  // per device; Ok when missing
    std::vector<vorn::UsbDeviceInfo> ListDevices() override;
    std::unique_ptr<vorn::UsbDeviceLink> Open(std::size_t index, vorn::UsbStatus& status) override;
};

Bytes DeviceDescriptor(std::uint16_t vendor, std::uint16_t product, std::uint8_t configs = 1);
Bytes Interface(std::uint8_t alt, std::uint8_t endpoints);
Bytes Endpoint(std::uint8_t address, std::uint8_t attributes, std::uint16_t maxPacket);
// Header with the right wTotalLength in front of the concatenated parts.
Bytes Configuration(const std::vector<Bytes>& parts);
// The FX2 before firmware: interface 0 with settings 0 and 1; setting 1 has the six bulk endpoints.
std::shared_ptr<Device> Fx2Device(std::uint16_t product = 0x8613);
std::shared_ptr<Backend> BackendWith(int devices);
// Little-endian bytes of 16-bit words, as the sample stream carries them.
Bytes Words(const std::vector<std::uint16_t>& words);

}  // namespace fake

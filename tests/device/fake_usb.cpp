#include "fake_usb.h"

#include <algorithm>
#include <cstring>

using vorn::UsbStatus;
using vorn::UsbTransferResult;

namespace fake {

UsbTransferResult Link::ControlTransfer(std::uint8_t requestType, std::uint8_t request,
                                        std::uint16_t value, std::uint16_t index,
                                        std::uint8_t* data, std::uint16_t length,
                                        unsigned timeoutMs) {
    ControlRecord record{requestType, request, value, index, length, timeoutMs, {}};
    if ((requestType & 0x80) == 0 && data != nullptr) record.data.assign(data, data + length);
    device_->controls.push_back(record);
    if (device_->controlFault) {
        const UsbStatus fault = device_->controlFault(record);
        if (fault != UsbStatus::Ok) return {fault, 0};
    }
    auto serve = [&](const std::vector<std::uint8_t>& source) {
        const std::size_t n = std::min<std::size_t>(length, source.size());
        if (n > 0) std::memcpy(data, source.data(), n);
        return UsbTransferResult{UsbStatus::Ok, static_cast<int>(n)};
    };
    if (requestType == 0x80 && request == 0x06) {
        const int type = value >> 8;
        const std::size_t i = value & 0xFF;
        if (type == 1) return serve(device_->deviceDescriptor);
        if (type == 2 && i < device_->configurations.size()) {
            return serve(device_->configurations[i]);
        }
        return {UsbStatus::Pipe, 0};
    }
    if (requestType == 0x81 && request == 0x0A && length >= 1) {
        if (device_->getInterfaceStatus != UsbStatus::Ok) return {device_->getInterfaceStatus, 0};
        data[0] = device_->currentAlt;
        return {UsbStatus::Ok, 1};
    }
    if (request == 0xA0 && value == 0xE600 && length == 1) {
        if (requestType == 0xC0) {
            data[0] = device_->cpucs;
            return {UsbStatus::Ok, 1};
        }
        if (requestType == 0x40) {
            device_->cpucs = data[0];
            return {UsbStatus::Ok, 1};
        }
    }
    if (requestType == 0x40 && request == 0xA0) return {UsbStatus::Ok, length};
    return {UsbStatus::Pipe, 0};
}

UsbTransferResult Link::BulkTransfer(std::uint8_t endpoint, std::uint8_t* data, int length,
                                     unsigned timeoutMs) {
    BulkRecord record{endpoint, length, timeoutMs, {}};
    if ((endpoint & 0x80) == 0) record.data.assign(data, data + length);
    device_->bulks.push_back(record);
    if (endpoint & 0x80) {
        const std::size_t n =
            std::min<std::size_t>(static_cast<std::size_t>(length), device_->inStream.size());
        if (n > 0) std::memcpy(data, device_->inStream.data(), n);
        return {device_->inStatus, static_cast<int>(n)};
    }
    const int taken = device_->outAccepted < 0 ? length : std::min(length, device_->outAccepted);
    return {device_->outStatus, taken};
}

UsbStatus Link::ResetPort() {
    ++device_->resets;
    return UsbStatus::Ok;
}

UsbStatus Link::SetAltSetting(std::uint8_t, std::uint8_t altSetting) {
    ++device_->setAltRequests;
    if (device_->setAltStatus == UsbStatus::Ok) device_->currentAlt = altSetting;
    return device_->setAltStatus;
}

std::vector<vorn::UsbDeviceInfo> Backend::ListDevices() {
    std::vector<vorn::UsbDeviceInfo> list;
    for (const auto& d : devices) {
        const auto& dd = d->deviceDescriptor;
        vorn::UsbDeviceInfo info;
        if (dd.size() >= 12) {
            info.vendorId = static_cast<std::uint16_t>(dd[8] | (dd[9] << 8));
            info.productId = static_cast<std::uint16_t>(dd[10] | (dd[11] << 8));
        }
        info.location = "fake";
        list.push_back(info);
    }
    return list;
}

std::unique_ptr<vorn::UsbDeviceLink> Backend::Open(std::size_t index, UsbStatus& status) {
    if (index >= devices.size()) {
        status = UsbStatus::NotFound;
        return nullptr;
    }
    status = index < openStatus.size() ? openStatus[index] : UsbStatus::Ok;
    if (status != UsbStatus::Ok) return nullptr;
    return std::make_unique<Link>(devices[index]);
}

std::vector<std::uint8_t> DeviceDescriptor(std::uint16_t vendor, std::uint16_t product,
                                           std::uint8_t configurations) {
    return {18,
            1,
            0x00,
            0x02,
            0xFF,
            0xFF,
            0xFF,
            64,
            static_cast<std::uint8_t>(vendor & 0xFF),
            static_cast<std::uint8_t>(vendor >> 8),
            static_cast<std::uint8_t>(product & 0xFF),
            static_cast<std::uint8_t>(product >> 8),
            0x01,
            0xA0,
            0,
            0,
            0,
            configurations};
}

std::vector<std::uint8_t> InterfaceDescriptor(std::uint8_t number, std::uint8_t alt,
                                              std::uint8_t endpoints) {
    return {9, 4, number, alt, endpoints, 0xFF, 0xFF, 0xFF, 0};
}

std::vector<std::uint8_t> EndpointDescriptor(std::uint8_t address, std::uint8_t attributes,
                                             std::uint16_t maxPacket) {
    return {7,
            5,
            address,
            attributes,
            static_cast<std::uint8_t>(maxPacket & 0xFF),
            static_cast<std::uint8_t>(maxPacket >> 8),
            0};
}

std::vector<std::uint8_t> Configuration(std::uint8_t interfaces,
                                        const std::vector<std::uint8_t>& body) {
    const std::size_t total = 9 + body.size();
    std::vector<std::uint8_t> config{9,
                                     2,
                                     static_cast<std::uint8_t>(total & 0xFF),
                                     static_cast<std::uint8_t>(total >> 8),
                                     interfaces,
                                     1,
                                     0,
                                     0x80,
                                     50};
    config.insert(config.end(), body.begin(), body.end());
    return config;
}

namespace {

void Append(std::vector<std::uint8_t>& to, const std::vector<std::uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::vector<std::uint8_t> Fx2Configuration() {
    std::vector<std::uint8_t> body;
    Append(body, InterfaceDescriptor(0, 0, 0));
    Append(body, InterfaceDescriptor(0, 1, 6));
    for (std::uint8_t address : {0x01, 0x81, 0x02, 0x04, 0x86, 0x88}) {
        Append(body, EndpointDescriptor(address, 2, 512));
    }
    Append(body, InterfaceDescriptor(0, 2, 6));
    Append(body, EndpointDescriptor(0x01, 3, 64));
    Append(body, EndpointDescriptor(0x81, 3, 64));
    Append(body, EndpointDescriptor(0x02, 1, 512));
    Append(body, EndpointDescriptor(0x04, 2, 512));
    Append(body, EndpointDescriptor(0x86, 1, 512));
    Append(body, EndpointDescriptor(0x88, 2, 512));
    Append(body, InterfaceDescriptor(0, 3, 2));
    Append(body, EndpointDescriptor(0x02, 1, 0x1400));
    Append(body, EndpointDescriptor(0x86, 1, 1024));
    return Configuration(1, body);
}

std::shared_ptr<Device> Fx2Device(std::uint16_t vendor, std::uint16_t product) {
    auto device = std::make_shared<Device>();
    device->deviceDescriptor = DeviceDescriptor(vendor, product);
    device->configurations.push_back(Fx2Configuration());
    return device;
}

}  // namespace fake

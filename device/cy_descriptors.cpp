#include "device/cy_descriptors.h"

#include "device/radar_constants.h"

namespace {

std::uint16_t Word(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

constexpr std::size_t kInterfaceDescriptorBytes = 9;
constexpr std::size_t kEndpointDescriptorBytes = 7;

}  // namespace

void CCyUSBInterface::AddEndPoint(std::unique_ptr<CCyUSBEndPoint> endPoint) {
    if (found_ + 1 >= kMaxEndPointSlots) return;
    ++found_;
    EndPoints[found_] = endPoint.get();
    owned_[static_cast<std::size_t>(found_)] = std::move(endPoint);
}

std::unique_ptr<CCyUSBEndPoint> MakeEndPoint(vorn::UsbDeviceLink* link,
                                             const EndpointDescriptor& descriptor) {
    switch (descriptor.bmAttributes & 3) {
        case 0: {
            auto control = std::make_unique<CCyControlEndPoint>(link, descriptor.wMaxPacketSize);
            control->Address = descriptor.bEndpointAddress;
            control->Attributes = descriptor.bmAttributes;
            control->Interval = descriptor.bInterval;
            return control;
        }
        case 1:
            return std::make_unique<CCyIsocEndPoint>(link, descriptor);
        case 2:
            return std::make_unique<CCyBulkEndPoint>(link, descriptor);
        default:
            return std::make_unique<CCyInterruptEndPoint>(link, descriptor);
    }
}

std::unique_ptr<CCyUSBConfig> ParseConfiguration(const std::uint8_t* data, std::size_t length,
                                                 vorn::UsbDeviceLink* link) {
    if (data == nullptr || length < kConfigHeaderBytes) return nullptr;
    auto config = std::make_unique<CCyUSBConfig>();
    config->wTotalLength = Word(data + 2);
    config->bNumInterfaces = data[4];
    config->bConfigurationValue = data[5];
    config->bmAttributes = data[7];
    config->MaxPower = data[8];

    const std::size_t end = config->wTotalLength < length ? config->wTotalLength : length;
    std::size_t offset = data[0] > kConfigHeaderBytes ? data[0] : kConfigHeaderBytes;
    CCyUSBInterface* current = nullptr;
    int endpointsLeft = 0;
    while (offset + 2 <= end) {
        const std::size_t len = data[offset];
        const std::uint8_t type = data[offset + 1];
        // A length below 2 would never advance; one running past the end is cut off.
        if (len < 2 || offset + len > end) break;
        const std::uint8_t* d = data + offset;
        if (type == vorn::kDescriptorTypeInterface && len >= kInterfaceDescriptorBytes) {
            current = nullptr;
            if (config->Interfaces.size() < static_cast<std::size_t>(kMaxInterfaceObjects)) {
                auto iface = std::make_unique<CCyUSBInterface>();
                iface->bInterfaceNumber = d[2];
                iface->bAlternateSetting = d[3];
                iface->bNumEndpoints = d[4];
                iface->bInterfaceClass = d[5];
                iface->bInterfaceSubClass = d[6];
                iface->bInterfaceProtocol = d[7];
                current = iface.get();
                endpointsLeft = d[4];
                config->Interfaces.push_back(std::move(iface));
            }
        } else if (type == vorn::kDescriptorTypeEndpoint && len >= kEndpointDescriptorBytes &&
                   current != nullptr && endpointsLeft > 0) {
            EndpointDescriptor ep;
            ep.bLength = d[0];
            ep.bDescriptorType = d[1];
            ep.bEndpointAddress = d[2];
            ep.bmAttributes = d[3];
            ep.wMaxPacketSize = Word(d + 4);
            ep.bInterval = d[6];
            current->AddEndPoint(MakeEndPoint(link, ep));
            --endpointsLeft;
        }
        offset += len;
    }

    for (auto& iface : config->Interfaces) {
        int count = 0;
        for (const auto& other : config->Interfaces) {
            if (other->bInterfaceNumber == iface->bInterfaceNumber) ++count;
        }
        iface->bAltSettings = static_cast<std::uint8_t>(count);
    }
    return config;
}

#pragma once
// Configuration and interface objects built from a configuration descriptor as the device sent
// it. The parser trusts no length byte: whatever the device sends, it never reads past the copy.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "device/cy_endpoint.h"

inline constexpr int kMaxEndPointSlots = 16;  // slot 0 is the control endpoint
inline constexpr int kMaxInterfaceObjects = 8;
inline constexpr int kMaxConfigurations = 2;
inline constexpr std::size_t kConfigHeaderBytes = 9;

// One interface descriptor, that is one alternate setting, with the endpoints that follow it.
class CCyUSBInterface {
public:
    std::uint8_t bInterfaceNumber = 0;
    std::uint8_t bAlternateSetting = 0;
    std::uint8_t bNumEndpoints = 0;  // as the descriptor claims
    std::uint8_t bInterfaceClass = 0;
    std::uint8_t bInterfaceSubClass = 0;
    std::uint8_t bInterfaceProtocol = 0;
    std::uint8_t bAltSettings = 0;  // interface objects in the configuration with this number

    // Slot table handed out as the device's EndPoints; slot 0 gets the control endpoint.
    CCyUSBEndPoint* EndPoints[kMaxEndPointSlots] = {};

    // Endpoint objects actually built; fewer than bNumEndpoints when descriptors are missing.
    int EndPointsFound() const { return found_; }
    void AddEndPoint(std::unique_ptr<CCyUSBEndPoint> endPoint);

private:
    std::array<std::unique_ptr<CCyUSBEndPoint>, kMaxEndPointSlots> owned_;
    int found_ = 0;
};

class CCyUSBConfig {
public:
    std::uint16_t wTotalLength = 0;
    std::uint8_t bNumInterfaces = 0;
    std::uint8_t bConfigurationValue = 0;
    std::uint8_t bmAttributes = 0;
    std::uint8_t MaxPower = 0;
    std::vector<std::unique_ptr<CCyUSBInterface>> Interfaces;  // at most 8, descriptor order
};

// Builds the objects of one configuration descriptor; null when even the header is incomplete.
std::unique_ptr<CCyUSBConfig> ParseConfiguration(const std::uint8_t* data, std::size_t length,
                                                 vorn::UsbDeviceLink* link);

// The endpoint class given by bits 1..0 of bmAttributes.
std::unique_ptr<CCyUSBEndPoint> MakeEndPoint(vorn::UsbDeviceLink* link,
                                             const EndpointDescriptor& descriptor);

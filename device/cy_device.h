#pragma once
// One USB device opened through a back end, with its descriptors and the endpoint table of the
// current alternate setting. Keeps the chip maker's naming. Closing cannot fail on this side of
// the seam, so there is no close exception; there is no driver version either, so endpoints stay
// in direct mode unless a caller switches them.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/cy_descriptors.h"
#include "device/cy_endpoint.h"
#include "device/usb_backend.h"

inline constexpr std::size_t kDeviceDescriptorBytes = 18;

class CCyDevice {
public:
    CCyDevice(std::shared_ptr<vorn::UsbBackend> backend, bool openFirst);
    ~CCyDevice();
    CCyDevice(const CCyDevice&) = delete;
    CCyDevice& operator=(const CCyDevice&) = delete;

    // Devices the back end can drive right now.
    std::uint8_t DeviceCount();
    // Opens device n of the enumeration, closing any open one first.
    bool Open(std::uint8_t n);
    void Close();
    bool IsOpen() const { return link_ != nullptr; }
    // Why the last Open failed to get a handle (Access when permissions forbid it).
    vorn::UsbStatus LastOpenStatus() const { return lastOpenStatus_; }
    // The back end's list as of the last DeviceCount or Open.
    const std::vector<vorn::UsbDeviceInfo>& ListedDevices() const { return listed_; }
    // Bus location of the device the last Open was about; empty when it was not listed.
    std::string Location() const;
    // Outcome of the last port reset or alternate-setting request.
    vorn::UsbStatus LastRequestStatus() const { return lastRequestStatus_; }
    // The back end's name for the last error on this device (or of opening it); null if none.
    const char* LastErrorName() const;

    bool Reset();
    // Current alternate setting of the current interface; 0xFF when the request fails.
    std::uint8_t AltSetting();
    bool SetAltSetting(std::uint8_t alt);

    std::uint8_t ConfigCount() const;
    std::uint8_t InterfaceCount() const;
    std::uint8_t AltSettingCount() const;
    std::uint8_t EndPointCount() const;

    const std::array<std::uint8_t, kDeviceDescriptorBytes>& DeviceDescriptor() const {
        return deviceDescriptor_;
    }

    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    // Slots 0 to EndPointCount()-1; null while no endpoint table is set up.
    CCyUSBEndPoint** EndPoints = nullptr;
    CCyControlEndPoint* ControlEndPoint = nullptr;
    CCyIsocEndPoint* IsocInEndPt = nullptr;
    CCyIsocEndPoint* IsocOutEndPt = nullptr;
    CCyBulkEndPoint* BulkInEndPt = nullptr;
    CCyBulkEndPoint* BulkOutEndPt = nullptr;
    CCyInterruptEndPoint* InterruptInEndPt = nullptr;
    CCyInterruptEndPoint* InterruptOutEndPt = nullptr;

private:
    bool ReadDeviceDescriptor();
    void ReadConfigurations(std::uint8_t count);
    CCyUSBInterface* CurrentInterface() const;
    void SetEndPoints();
    void ClearEndPointPointers();
    std::uint8_t CurrentInterfaceNumber() const;

    std::shared_ptr<vorn::UsbBackend> backend_;
    std::vector<vorn::UsbDeviceInfo> listed_;
    vorn::UsbStatus lastOpenStatus_ = vorn::UsbStatus::Ok;
    vorn::UsbStatus lastRequestStatus_ = vorn::UsbStatus::Ok;
    std::size_t openIndex_ = 0;
    // Declared before the endpoint objects that point to it, so it outlives them.
    std::unique_ptr<vorn::UsbDeviceLink> link_;
    std::array<std::uint8_t, kDeviceDescriptorBytes> deviceDescriptor_{};
    std::vector<std::vector<std::uint8_t>> configDescriptors_;
    std::vector<std::unique_ptr<CCyUSBConfig>> configs_;
    std::unique_ptr<CCyControlEndPoint> controlEndPoint_;
    std::uint8_t cfgNum_ = 0;
    std::uint8_t intfcIndex_ = 0;
};

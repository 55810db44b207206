#pragma once
// The back end of the shipped program: the radars on this machine's USB buses, through libusb.
#include <memory>
#include <vector>

#include "device/libusb_api.h"
#include "device/usb_backend.h"

namespace vorn {

class LibusbBackend : public UsbBackend {
public:
    LibusbBackend();
    // For tests: a fake libusb beneath the back end. The table must outlive the back end.
    explicit LibusbBackend(const LibusbApi& api);
    ~LibusbBackend() override;
    LibusbBackend(const LibusbBackend&) = delete;
    LibusbBackend& operator=(const LibusbBackend&) = delete;

    // Only devices with the radar's vendor and product IDs; empty on a machine without USB.
    std::vector<UsbDeviceInfo> ListDevices() override;
    std::unique_ptr<UsbDeviceLink> Open(std::size_t index, UsbStatus& status) override;

    // Status of libusb_init: a machine without USB is normal, but worth a word in messages.
    UsbStatus InitStatus() const override { return initStatus_; }
    const char* LastErrorName() const override { return LibusbErrorName(lastError_); }

private:
    struct ListDeleter {
        const LibusbApi* api;
        void operator()(libusb_device** list) const { api->free_device_list(list, 1); }
    };
    using DeviceList = std::unique_ptr<libusb_device*, ListDeleter>;

    const LibusbApi* api_;
    UsbStatus initStatus_ = UsbStatus::Ok;
    int lastError_ = 0;  // libusb's code of the last failed call, for messages
    // Shared with every open link, so that the context ends after the last handle is closed.
    std::shared_ptr<libusb_context> context_;
    DeviceList list_;
    std::vector<libusb_device*> radars_;  // entries of list_, valid as long as it is
};

}  // namespace vorn

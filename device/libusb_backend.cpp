#include "device/libusb_backend.h"

#include <string>

#include "device/radar_constants.h"

namespace vorn {

namespace {

// Releases the claimed interface and closes the handle.
struct HandleCloser {
    const LibusbApi* api;
    void operator()(libusb_device_handle* handle) const {
        api->release_interface(handle, kRadarInterfaceNumber);
        api->close(handle);
    }
};
using HandlePtr = std::unique_ptr<libusb_device_handle, HandleCloser>;

// For a handle whose interface is not claimed yet.
struct OpenHandleCloser {
    const LibusbApi* api;
    void operator()(libusb_device_handle* handle) const { api->close(handle); }
};

class LibusbLink : public UsbDeviceLink {
public:
    LibusbLink(const LibusbApi* api, std::shared_ptr<libusb_context> context, HandlePtr handle)
        : api_(api), context_(std::move(context)), handle_(std::move(handle)) {}

    UsbTransferResult ControlTransfer(std::uint8_t requestType, std::uint8_t request,
                                      std::uint16_t value, std::uint16_t index, std::uint8_t* data,
                                      std::uint16_t length, unsigned timeoutMs) override {
        lastError_ = 0;
        if (data == nullptr && length > 0) return {UsbStatus::InvalidParam, 0};
        const int r = Note(api_->control_transfer(handle_.get(), requestType, request, value, index,
                                                  data, length, timeoutMs));
        if (r < 0) return {MapLibusbError(r), 0};
        // A device answering with more than the request allowed is a protocol error.
        if (r > length) return {UsbStatus::Overflow, length};
        return {UsbStatus::Ok, r};
    }

    UsbTransferResult BulkTransfer(std::uint8_t endpoint, std::uint8_t* data, int length,
                                   unsigned timeoutMs) override {
        lastError_ = 0;
        if (length < 0 || (data == nullptr && length > 0)) return {UsbStatus::InvalidParam, 0};
        int transferred = 0;
        const int r = Note(
            api_->bulk_transfer(handle_.get(), endpoint, data, length, &transferred, timeoutMs));
        if (transferred < 0) transferred = 0;
        if (transferred > length) transferred = length;
        return {MapLibusbError(r), transferred};
    }

    UsbStatus ResetPort() override {
        return MapLibusbError(Note(api_->reset_device(handle_.get())));
    }

    UsbStatus SetAltSetting(std::uint8_t interfaceNumber, std::uint8_t altSetting) override {
        return MapLibusbError(
            Note(api_->set_interface_alt_setting(handle_.get(), interfaceNumber, altSetting)));
    }

    const char* LastErrorName() const override { return LibusbErrorName(lastError_); }

private:
    // Keeps libusb's own code of the last request for messages; passes the result through.
    int Note(int result) {
        lastError_ = result < 0 ? result : 0;
        return result;
    }

    int lastError_ = 0;
    const LibusbApi* api_;
    std::shared_ptr<libusb_context> context_;
    HandlePtr handle_;
};

std::string Location(const LibusbApi& api, libusb_device* device) {
    std::string text = "bus " + std::to_string(api.get_bus_number(device));
    std::uint8_t ports[8] = {};
    const int depth = api.get_port_numbers(device, ports, static_cast<int>(sizeof ports));
    for (int i = 0; i < depth && i < static_cast<int>(sizeof ports); ++i) {
        text += (i == 0 ? " port " : ".") + std::to_string(ports[i]);
    }
    return text;
}

}  // namespace

LibusbBackend::LibusbBackend() : LibusbBackend(SystemLibusbApi()) {}

LibusbBackend::LibusbBackend(const LibusbApi& api) : api_(&api), list_(nullptr, ListDeleter{&api}) {
    libusb_context* context = nullptr;
    const int r = api_->init(&context);
    initStatus_ = MapLibusbError(r);
    lastError_ = r < 0 ? r : 0;
    if (r == 0) {
        const LibusbApi* table = api_;
        context_ = std::shared_ptr<libusb_context>(context,
                                                   [table](libusb_context* c) { table->exit(c); });
    }
}

LibusbBackend::~LibusbBackend() {
    radars_.clear();
    list_.reset();
}

std::vector<UsbDeviceInfo> LibusbBackend::ListDevices() {
    radars_.clear();
    list_.reset();
    std::vector<UsbDeviceInfo> found;
    if (!context_) return found;

    libusb_device** raw = nullptr;
    const ssize_t count = api_->get_device_list(context_.get(), &raw);
    lastError_ = count < 0 ? static_cast<int>(count) : 0;
    if (count < 0 || raw == nullptr) return found;
    list_.reset(raw);
    for (ssize_t i = 0; i < count && raw[i] != nullptr; ++i) {
        libusb_device_descriptor descriptor{};
        if (api_->get_device_descriptor(raw[i], &descriptor) != 0) continue;
        if (descriptor.idVendor != kRadarVendorId || descriptor.idProduct != kRadarProductId) {
            continue;
        }
        radars_.push_back(raw[i]);
        found.push_back(
            UsbDeviceInfo{descriptor.idVendor, descriptor.idProduct, Location(*api_, raw[i])});
    }
    return found;
}

std::unique_ptr<UsbDeviceLink> LibusbBackend::Open(std::size_t index, UsbStatus& status) {
    lastError_ = 0;
    if (index >= radars_.size()) {
        status = UsbStatus::NotFound;
        return nullptr;
    }
    libusb_device_handle* raw = nullptr;
    const int r = api_->open(radars_[index], &raw);
    lastError_ = r < 0 ? r : 0;
    if (r != 0 || raw == nullptr) {
        status = r != 0 ? MapLibusbError(r) : UsbStatus::Other;
        return nullptr;
    }
    std::unique_ptr<libusb_device_handle, OpenHandleCloser> opened(raw, OpenHandleCloser{api_});
    api_->set_auto_detach_kernel_driver(raw, 1);  // unsupported on some systems: not an error
    // Claimed here, at open, because selecting an alternate setting needs the claim.
    const int claimed = api_->claim_interface(raw, kRadarInterfaceNumber);
    if (claimed != 0) {
        lastError_ = claimed;
        status = MapLibusbError(claimed);
        return nullptr;
    }
    status = UsbStatus::Ok;
    return std::make_unique<LibusbLink>(api_, context_,
                                        HandlePtr(opened.release(), HandleCloser{api_}));
}

}  // namespace vorn

#include "device/libusb_backend.h"

#include <atomic>
#include <mutex>
#include <string>

#include "device/radar_constants.h"
#include "device/usb_transfer.h"

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

UsbStatus MapTransferStatus(libusb_transfer_status status) {
    switch (status) {
        case LIBUSB_TRANSFER_COMPLETED:
            return UsbStatus::Ok;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return UsbStatus::Timeout;
        case LIBUSB_TRANSFER_STALL:
            return UsbStatus::Pipe;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return UsbStatus::NoDevice;
        case LIBUSB_TRANSFER_OVERFLOW:
            return UsbStatus::Overflow;
        case LIBUSB_TRANSFER_CANCELLED:
            return UsbStatus::Cancelled;
        case LIBUSB_TRANSFER_ERROR:
            return UsbStatus::Io;
    }
    return UsbStatus::Other;
}

// One asynchronous bulk transfer. libusb runs its callback inside the event handling of the
// thread in Wait(); Cancel() only asks libusb to end it, which is safe from any thread.
class LibusbBulkTransfer : public UsbBulkTransfer {
public:
    // `lastError` receives the libusb error that stands for the outcome, for the link's
    // LastErrorName(); it must outlive the transfer.
    LibusbBulkTransfer(const LibusbApi* api, libusb_context* context, libusb_device_handle* handle,
                       std::uint8_t endpoint, std::uint8_t* data, int length, unsigned timeoutMs,
                       int* lastError)
        : api_(api), context_(context), lastError_(lastError) {
        transfer_ = api_->alloc_transfer(0);
        if (transfer_ == nullptr) {
            *lastError_ = LIBUSB_ERROR_NO_MEM;
            Finish({UsbStatus::Other, 0});
            return;
        }
        libusb_fill_bulk_transfer(transfer_, handle, endpoint, data, length, &Completed, this,
                                  timeoutMs);
        const int r = api_->submit_transfer(transfer_);
        if (r != 0) {
            *lastError_ = r;
            Finish({MapLibusbError(r), 0});
        }
    }
    ~LibusbBulkTransfer() override {
        if (!finished_) {
            Cancel();
            Wait();
        }
        if (transfer_ != nullptr) api_->free_transfer(transfer_);
    }
    LibusbBulkTransfer(const LibusbBulkTransfer&) = delete;
    LibusbBulkTransfer& operator=(const LibusbBulkTransfer&) = delete;

    UsbTransferResult Wait() override {
        while (!finished_) {
            timeval tv{0, 100000};
            const int r = api_->handle_events_timeout_completed(context_, &tv, &completed_);
            // Interrupted event handling is retried; anything else leaves the transfer in
            // libusb's hands, so it is cancelled and reaped before the buffer is given back.
            if (r != 0 && r != LIBUSB_ERROR_INTERRUPTED && r != LIBUSB_ERROR_TIMEOUT) {
                if (!cancelRequested_.exchange(true)) api_->cancel_transfer(transfer_);
            }
        }
        return result_;
    }

    void Cancel() override {
        std::lock_guard<std::mutex> lock(cancelMutex_);
        if (finished_ || cancelRequested_.exchange(true)) return;
        api_->cancel_transfer(transfer_);
    }

private:
    static void LIBUSB_CALL Completed(libusb_transfer* transfer) {
        auto* self = static_cast<LibusbBulkTransfer*>(transfer->user_data);
        int moved = transfer->actual_length;
        if (moved < 0) moved = 0;
        if (moved > transfer->length) moved = transfer->length;
        self->completed_ = 1;
        std::lock_guard<std::mutex> lock(self->cancelMutex_);
        *self->lastError_ = ErrorFor(transfer->status);
        self->Finish({MapTransferStatus(transfer->status), moved});
    }
    void Finish(UsbTransferResult result) {
        result_ = result;
        finished_ = true;
    }

    const LibusbApi* api_;
    libusb_context* context_;
    libusb_transfer* transfer_ = nullptr;
    // The error code libusb's synchronous calls give for the same outcome.
    static int ErrorFor(libusb_transfer_status status) {
        switch (status) {
            case LIBUSB_TRANSFER_TIMED_OUT:
                return LIBUSB_ERROR_TIMEOUT;
            case LIBUSB_TRANSFER_STALL:
                return LIBUSB_ERROR_PIPE;
            case LIBUSB_TRANSFER_NO_DEVICE:
                return LIBUSB_ERROR_NO_DEVICE;
            case LIBUSB_TRANSFER_OVERFLOW:
                return LIBUSB_ERROR_OVERFLOW;
            case LIBUSB_TRANSFER_ERROR:
                return LIBUSB_ERROR_IO;
            case LIBUSB_TRANSFER_CANCELLED:
                return LIBUSB_ERROR_INTERRUPTED;
            case LIBUSB_TRANSFER_COMPLETED:
                break;
        }
        return 0;
    }

    int* lastError_;
    int completed_ = 0;  // libusb's own flag for the event loop
    std::atomic<bool> finished_{false};
    std::atomic<bool> cancelRequested_{false};
    std::mutex cancelMutex_;
    UsbTransferResult result_;
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

    std::unique_ptr<UsbBulkTransfer> SubmitBulkTransfer(std::uint8_t endpoint, std::uint8_t* data,
                                                        int length, unsigned timeoutMs) override {
        lastError_ = 0;  // an older error must not stand for this transfer's
        if (length < 0 || (data == nullptr && length > 0)) {
            return std::make_unique<FinishedBulkTransfer>(
                UsbTransferResult{UsbStatus::InvalidParam, 0});
        }
        return std::make_unique<LibusbBulkTransfer>(api_, context_.get(), handle_.get(), endpoint,
                                                    data, length, timeoutMs, &lastError_);
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

#pragma once
// The seam beneath the USB access layer: the shipped program plugs in libusb, the demo
// and the tests plug in the stand-in radar. Nothing above CCyDevice knows which it has.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vorn {

// Outcome classes of a USB request; they follow libusb's error codes one to one.
enum class UsbStatus {
    Ok,
    Timeout,   // may come with partial data
    Pipe,      // endpoint stalled or request not supported
    Overflow,  // device sent more than asked
    NoDevice,  // unplugged
    Io,
    Access,  // no permission to open or claim
    Busy,    // claimed by someone else
    NotFound,
    InvalidParam,
    NotSupported,
    Other,
    Cancelled,  // ended by the host before it completed; may come with partial data
};

const char* UsbStatusName(UsbStatus status);

struct UsbTransferResult {
    UsbStatus status = UsbStatus::Other;
    int transferred = 0;  // bytes actually moved, also when the request failed part-way
    bool ok() const { return status == UsbStatus::Ok; }
};

// A bulk transfer handed to the back end. Wait() returns once it has ended, as completed,
// failed or cancelled; Cancel() may come from any thread, also before Wait() and after the end,
// and makes the transfer end soon with Cancelled and the bytes that moved so far. The buffer
// must stay valid until Wait() has returned; destroying an unfinished transfer cancels it and
// waits for its end.
class UsbBulkTransfer {
public:
    virtual ~UsbBulkTransfer() = default;
    virtual UsbTransferResult Wait() = 0;
    virtual void Cancel() = 0;
};

// One opened device. Descriptors and GET_INTERFACE travel as control transfers, as on the wire;
// SET_INTERFACE and the port reset are separate because the host stack must take part in them.
class UsbDeviceLink {
public:
    virtual ~UsbDeviceLink() = default;
    // Control transfer on endpoint 0. Direction comes from bit 7 of requestType.
    virtual UsbTransferResult ControlTransfer(std::uint8_t requestType, std::uint8_t request,
                                              std::uint16_t value, std::uint16_t index,
                                              std::uint8_t* data, std::uint16_t length,
                                              unsigned timeoutMs) = 0;
    // Bulk transfer; direction comes from bit 7 of endpoint. A timeout of 0 waits without limit.
    virtual UsbTransferResult BulkTransfer(std::uint8_t endpoint, std::uint8_t* data, int length,
                                           unsigned timeoutMs) = 0;
    // The same transfer, started now and cancellable while it runs.
    virtual std::unique_ptr<UsbBulkTransfer> SubmitBulkTransfer(std::uint8_t endpoint,
                                                                std::uint8_t* data, int length,
                                                                unsigned timeoutMs) = 0;
    virtual UsbStatus ResetPort() = 0;
    virtual UsbStatus SetAltSetting(std::uint8_t interfaceNumber, std::uint8_t altSetting) = 0;
    // The back end's own name for the error of the last request (libusb's, say); null when the
    // request worked or the back end has no names of its own.
    virtual const char* LastErrorName() const { return nullptr; }
};

struct UsbDeviceInfo {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string location;  // bus and port path, for messages
};

class UsbBackend {
public:
    virtual ~UsbBackend() = default;
    // Devices this back end can drive, in a stable order; Open() indexes into the latest list.
    virtual std::vector<UsbDeviceInfo> ListDevices() = 0;
    // Null on failure, with the reason in status (Access when permissions forbid it).
    virtual std::unique_ptr<UsbDeviceLink> Open(std::size_t index, UsbStatus& status) = 0;
    // Whether the back end came up at all: a machine without USB lists nothing, for a reason.
    virtual UsbStatus InitStatus() const { return UsbStatus::Ok; }
    // The back end's own name for its last error (start-up, listing or opening); null if none.
    virtual const char* LastErrorName() const { return nullptr; }
};

}  // namespace vorn

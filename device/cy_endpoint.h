#pragma once
// Endpoint objects of the USB access layer, kept in the chip maker's naming so that code written
// against its library reads the same. Requests go to the UsbDeviceLink as plain USB transfers: the
// Windows driver's 38-byte request block only ever served that driver, so it has no reader here.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "device/radar_constants.h"
#include "device/usb_backend.h"

enum CTL_XFER_TGT_TYPE { TGT_DEVICE = 0, TGT_INTFC = 1, TGT_ENDPT = 2, TGT_OTHER = 3 };
enum CTL_XFER_REQ_TYPE { REQ_STD = 0, REQ_CLASS = 1, REQ_VENDOR = 2 };
enum CTL_XFER_DIR_TYPE { DIR_TO_DEVICE = 0, DIR_FROM_DEVICE = 1 };
// Buffered transfers stage the data in the endpoint and hand the caller only the bytes that
// arrived; direct transfers let the link write into the caller's buffer.
enum XFER_MODE_TYPE { XMODE_BUFFERED = 0, XMODE_DIRECT = 1 };

// The fields of a standard endpoint descriptor that the endpoint objects are built from.
struct EndpointDescriptor {
    std::uint8_t bLength = 7;
    std::uint8_t bDescriptorType = 5;
    std::uint8_t bEndpointAddress = 0;
    std::uint8_t bmAttributes = 0;
    std::uint16_t wMaxPacketSize = 0;
    std::uint8_t bInterval = 0;
};

class CCyUSBEndPoint {
public:
    CCyUSBEndPoint(vorn::UsbDeviceLink* link, const EndpointDescriptor& descriptor);
    virtual ~CCyUSBEndPoint() = default;
    CCyUSBEndPoint(const CCyUSBEndPoint&) = delete;
    CCyUSBEndPoint& operator=(const CCyUSBEndPoint&) = delete;

    // One synchronous transfer of len bytes; len comes back as the bytes actually moved.
    bool TransferData(std::uint8_t* buf, int& len);
    // Ends the bulk transfer in flight (its caller sees Cancelled) and refuses new ones until
    // ResetAbort(). Safe from any thread: this is how a waiting read is called off.
    void Abort();
    void ResetAbort();

    vorn::UsbDeviceLink* hDevice;  // the owning device's link; not owned
    std::uint8_t DscLen;
    std::uint8_t DscType;
    std::uint8_t Address;
    std::uint8_t Attributes;
    std::uint16_t MaxPktSize;
    std::uint16_t PktsPerFrame;
    std::uint8_t Interval;
    std::uint32_t TimeOut = vorn::kDefaultTimeoutMs;
    // Outcome of the last transfer; takes the place of the driver's NT and USBD statuses.
    vorn::UsbStatus LastStatus = vorn::UsbStatus::Ok;
    std::uint32_t bytesWritten = 0;
    bool bIn;
    XFER_MODE_TYPE XferMode = XMODE_DIRECT;

protected:
    virtual vorn::UsbTransferResult BeginDataTransfer(std::uint8_t* buf, int len) = 0;
    vorn::UsbTransferResult BeginDirectTransfer(std::uint8_t* buf, int len);
    vorn::UsbTransferResult BeginBufferedTransfer(std::uint8_t* buf, int len);
    bool FinishDataTransfer(const vorn::UsbTransferResult& result, int& len);

private:
    // Bulk or interrupt transfer, into buf or from it.
    vorn::UsbTransferResult LinkTransfer(std::uint8_t* buf, int len);
    std::vector<std::uint8_t> staging_;
    std::mutex pendingMutex_;
    std::unique_ptr<vorn::UsbBulkTransfer> pending_;
    bool aborted_ = false;
};

class CCyControlEndPoint : public CCyUSBEndPoint {
public:
    CCyControlEndPoint(vorn::UsbDeviceLink* link, std::uint16_t maxPacketSize);

    // Timeout handed to the link: whole seconds of TimeOut, at least one second unless TimeOut
    // is 0, which waits without limit.
    std::uint32_t ControlTimeoutMs() const;

    CTL_XFER_TGT_TYPE Target = TGT_DEVICE;
    CTL_XFER_REQ_TYPE ReqType = REQ_VENDOR;
    CTL_XFER_DIR_TYPE Direction = DIR_TO_DEVICE;
    std::uint8_t ReqCode = 0;
    std::uint16_t Value = 0;
    std::uint16_t Index = 0;

protected:
    vorn::UsbTransferResult BeginDataTransfer(std::uint8_t* buf, int len) override;
};

class CCyBulkEndPoint : public CCyUSBEndPoint {
public:
    using CCyUSBEndPoint::CCyUSBEndPoint;

protected:
    vorn::UsbTransferResult BeginDataTransfer(std::uint8_t* buf, int len) override;
};

class CCyInterruptEndPoint : public CCyUSBEndPoint {
public:
    using CCyUSBEndPoint::CCyUSBEndPoint;

protected:
    vorn::UsbTransferResult BeginDataTransfer(std::uint8_t* buf, int len) override;
};

// The back-end seam carries no isochronous transfers (the radar has no such endpoint), so a
// transfer here reports NotSupported without touching the device.
class CCyIsocEndPoint : public CCyUSBEndPoint {
public:
    using CCyUSBEndPoint::CCyUSBEndPoint;

protected:
    vorn::UsbTransferResult BeginDataTransfer(std::uint8_t* buf, int len) override;
};

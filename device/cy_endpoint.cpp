#include "device/cy_endpoint.h"

#include <cstring>
#include <limits>

using vorn::UsbStatus;
using vorn::UsbTransferResult;

CCyUSBEndPoint::CCyUSBEndPoint(vorn::UsbDeviceLink* link, const EndpointDescriptor& descriptor)
    : hDevice(link),
      DscLen(descriptor.bLength),
      DscType(descriptor.bDescriptorType),
      Address(descriptor.bEndpointAddress),
      Attributes(descriptor.bmAttributes),
      PktsPerFrame(static_cast<std::uint16_t>(((descriptor.wMaxPacketSize >> 11) & 3) + 1)),
      Interval(descriptor.bInterval),
      bIn((descriptor.bEndpointAddress & 0x80) != 0) {
    MaxPktSize = static_cast<std::uint16_t>((descriptor.wMaxPacketSize & 0x7FF) * PktsPerFrame);
}

bool CCyUSBEndPoint::TransferData(std::uint8_t* buf, int& len) {
    if (hDevice == nullptr || len < 0 || (buf == nullptr && len > 0)) {
        LastStatus = hDevice == nullptr ? UsbStatus::NoDevice : UsbStatus::InvalidParam;
        bytesWritten = 0;
        len = 0;
        return false;
    }
    return FinishDataTransfer(BeginDataTransfer(buf, len), len);
}

UsbTransferResult CCyUSBEndPoint::BeginDirectTransfer(std::uint8_t* buf, int len) {
    return LinkTransfer(buf, len);
}

UsbTransferResult CCyUSBEndPoint::BeginBufferedTransfer(std::uint8_t* buf, int len) {
    staging_.assign(static_cast<std::size_t>(len), 0);
    if (!bIn && len > 0) std::memcpy(staging_.data(), buf, staging_.size());
    UsbTransferResult result = LinkTransfer(staging_.data(), len);
    if (bIn && result.transferred > 0) {
        const int copied = result.transferred < len ? result.transferred : len;
        std::memcpy(buf, staging_.data(), static_cast<std::size_t>(copied));
    }
    return result;
}

UsbTransferResult CCyUSBEndPoint::LinkTransfer(std::uint8_t* buf, int len) {
    vorn::UsbBulkTransfer* transfer = nullptr;
    {
        std::lock_guard<std::mutex> lock(pendingMutex_);
        if (aborted_) return UsbTransferResult{UsbStatus::Cancelled, 0};
        // The link takes the direction from the address, so a mismatch cannot slip through.
        pending_ = hDevice->SubmitBulkTransfer(Address, buf, len, TimeOut);
        transfer = pending_.get();
    }
    const UsbTransferResult result = transfer->Wait();
    std::lock_guard<std::mutex> lock(pendingMutex_);
    pending_.reset();
    return result;
}

void CCyUSBEndPoint::Abort() {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    aborted_ = true;
    if (pending_) pending_->Cancel();
}

void CCyUSBEndPoint::ResetAbort() {
    std::lock_guard<std::mutex> lock(pendingMutex_);
    aborted_ = false;
}

bool CCyUSBEndPoint::FinishDataTransfer(const UsbTransferResult& result, int& len) {
    int moved = result.transferred;
    if (moved < 0) moved = 0;
    if (moved > len) moved = len;  // a link must never claim more than it was given room for
    len = moved;
    bytesWritten = static_cast<std::uint32_t>(moved);
    LastStatus = result.status;
    return result.ok();
}

CCyControlEndPoint::CCyControlEndPoint(vorn::UsbDeviceLink* link, std::uint16_t maxPacketSize)
    : CCyUSBEndPoint(link, EndpointDescriptor{7, 5, 0, 0, maxPacketSize, 0}) {
    MaxPktSize = maxPacketSize;
    PktsPerFrame = 1;
    XferMode = XMODE_BUFFERED;
}

std::uint32_t CCyControlEndPoint::ControlTimeoutMs() const {
    if (TimeOut == 0) return 0;
    if (TimeOut < 1000) return 1000;
    return TimeOut / 1000 * 1000;
}

UsbTransferResult CCyControlEndPoint::BeginDataTransfer(std::uint8_t* buf, int len) {
    bIn = Direction == DIR_FROM_DEVICE;
    if (len > std::numeric_limits<std::uint16_t>::max()) {
        return UsbTransferResult{UsbStatus::InvalidParam, 0};
    }
    const auto requestType = static_cast<std::uint8_t>((static_cast<unsigned>(Direction) << 7) |
                                                       ((static_cast<unsigned>(ReqType) & 3) << 5) |
                                                       (static_cast<unsigned>(Target) & 0x1F));
    return hDevice->ControlTransfer(requestType, ReqCode, Value, Index, buf,
                                    static_cast<std::uint16_t>(len), ControlTimeoutMs());
}

UsbTransferResult CCyBulkEndPoint::BeginDataTransfer(std::uint8_t* buf, int len) {
    return XferMode == XMODE_DIRECT ? BeginDirectTransfer(buf, len)
                                    : BeginBufferedTransfer(buf, len);
}

UsbTransferResult CCyInterruptEndPoint::BeginDataTransfer(std::uint8_t* buf, int len) {
    return XferMode == XMODE_DIRECT ? BeginDirectTransfer(buf, len)
                                    : BeginBufferedTransfer(buf, len);
}

UsbTransferResult CCyIsocEndPoint::BeginDataTransfer(std::uint8_t*, int) {
    return UsbTransferResult{UsbStatus::NotSupported, 0};
}

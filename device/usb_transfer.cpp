#include "device/usb_transfer.h"

namespace vorn {

void TransferCancel::Cancel() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
    }
    wake_.notify_all();
}

bool TransferCancel::cancelled() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
}

bool TransferCancel::SleepUntil(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return !wake_.wait_until(lock, deadline, [this] { return cancelled_; });
}

UsbTransferResult DeferredBulkTransfer::Wait() {
    if (done_) return result_;
    result_ = cancel_.cancelled() ? UsbTransferResult{UsbStatus::Cancelled, 0} : run_(cancel_);
    done_ = true;
    return result_;
}

}  // namespace vorn

#pragma once
// Helpers for back ends that complete a bulk transfer on the thread that waits for it: the
// stand-in radar and test fakes. The transfer runs inside Wait(); Cancel() wakes any pacing
// sleep it is in and makes it end with Cancelled.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "device/usb_backend.h"

namespace vorn {

// A cancel flag with a sleep that it interrupts.
class TransferCancel {
public:
    void Cancel();
    bool cancelled() const;
    // Sleeps until the deadline; false when cancelled before or during the sleep.
    bool SleepUntil(std::chrono::steady_clock::time_point deadline) const;
    bool SleepFor(std::chrono::milliseconds duration) const {
        return SleepUntil(std::chrono::steady_clock::now() + duration);
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    bool cancelled_ = false;
};

class DeferredBulkTransfer : public UsbBulkTransfer {
public:
    using Run = std::function<UsbTransferResult(TransferCancel&)>;
    explicit DeferredBulkTransfer(Run run) : run_(std::move(run)) {}

    UsbTransferResult Wait() override;
    void Cancel() override { cancel_.Cancel(); }

private:
    Run run_;
    TransferCancel cancel_;
    bool done_ = false;
    UsbTransferResult result_;
};

// A transfer that ended before it started, such as one refused for its arguments.
class FinishedBulkTransfer : public UsbBulkTransfer {
public:
    explicit FinishedBulkTransfer(UsbTransferResult result) : result_(result) {}
    UsbTransferResult Wait() override { return result_; }
    void Cancel() override {}

private:
    UsbTransferResult result_;
};

}  // namespace vorn

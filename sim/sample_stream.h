#pragma once
// The EP6 IN side of the radar: what one bulk read returns, and how long it takes.
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <utility>

#include "device/usb_backend.h"
#include "sim/faults.h"
#include "sim/parameters.h"
#include "sim/scene.h"

namespace vorn {
class TransferCancel;
}
namespace vorn::sim {
struct Replay;
}

namespace vorn::sim {

// How a request waits on the device: a cancel by the host ends the wait early, and the
// device's lock is let go meanwhile, so that an unplug or a fault can reach it.
struct DeviceWait {
    const TransferCancel* cancel = nullptr;
    std::unique_lock<std::mutex>* deviceLock = nullptr;
    // False when the host cancelled before the deadline.
    bool Until(std::chrono::steady_clock::time_point deadline) const;
};

enum class Pacing {
    RealTime,          // a read lasts as long as the radar needs to sample what was asked for
    AsFastAsPossible,  // for tests: no waiting, also not for timeouts
};

// Layout of one read: kStaleWords of old FIFO content, kFillerWords without a start bit, the
// garbage words of the fault switch, then 8-byte frames, each read starting on a sweep boundary
// of the radar's free-running sweep clock.
class SampleStream {
public:
    static constexpr int kStaleWords = 1024;
    static constexpr int kFillerWords = 3;

    explicit SampleStream(std::uint64_t seed);

    // A cancel ends the wait for the samples early, with Cancelled and nothing delivered.
    UsbTransferResult Read(std::uint8_t* data, int length, unsigned timeoutMs, const Scene& scene,
                           const RadarParameters& params, const SimFaults& faults, Pacing pacing,
                           const DeviceWait& wait = {});

    // Back to sample 0, as after power-up.
    void Restart();
    // Frames come from the recording instead of the scene; null goes back to the scene.
    void SetReplay(std::shared_ptr<const Replay> replay) { replay_ = std::move(replay); }
    // Index of the next sample the radar will produce.
    std::uint64_t sampleClock() const { return clock_; }
    // Index of the first frame of the last read.
    std::uint64_t lastFirstSample() const { return lastFirst_; }

private:
    using Clock = std::chrono::steady_clock;

    UsbTransferResult Stall(unsigned timeoutMs, Pacing pacing, const DeviceWait& wait);
    // Waits as the radar would for `frames` samples; returns the fraction of them ready before
    // the timeout (1 when all were), or a negative value when the wait was cancelled.
    double Pace(double frames, const RadarParameters& params, unsigned timeoutMs, Pacing pacing,
                const DeviceWait& wait);

    std::uint64_t seed_;
    std::mt19937_64 rng_;
    std::uint64_t clock_ = 0;
    std::uint64_t lastFirst_ = 0;
    bool paced_ = false;
    Clock::time_point deadline_{};
    std::shared_ptr<const Replay> replay_;
};

}  // namespace vorn::sim

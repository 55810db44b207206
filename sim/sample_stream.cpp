#include "sim/sample_stream.h"

#include <algorithm>
#include <thread>
#include <vector>

#include "device/radar_constants.h"
#include "device/usb_transfer.h"
#include "sim/replay.h"

namespace vorn::sim {

namespace {
void PutWord(std::uint8_t* data, int length, int wordIndex, std::uint16_t word) {
    const int at = 2 * wordIndex;
    if (at < length) data[at] = static_cast<std::uint8_t>(word & 0xFF);
    if (at + 1 < length) data[at + 1] = static_cast<std::uint8_t>(word >> 8);
}

// A transfer without a limit still has to end in a test run; a real host would wait for ever.
unsigned EffectiveTimeout(unsigned timeoutMs) {
    return timeoutMs == 0 ? kDefaultTimeoutMs : timeoutMs;
}

}  // namespace

bool DeviceWait::Until(std::chrono::steady_clock::time_point deadline) const {
    if (deviceLock != nullptr) deviceLock->unlock();
    bool reached = true;
    if (cancel != nullptr)
        reached = cancel->SleepUntil(deadline);
    else
        std::this_thread::sleep_until(deadline);
    if (deviceLock != nullptr) deviceLock->lock();
    return reached;
}

namespace {
}  // namespace

SampleStream::SampleStream(std::uint64_t seed) : seed_(seed), rng_(seed) {}

void SampleStream::Restart() {
    clock_ = 0;
    lastFirst_ = 0;
    paced_ = false;
}

UsbTransferResult SampleStream::Stall(unsigned timeoutMs, Pacing pacing, const DeviceWait& wait) {
    paced_ = false;
    if (pacing == Pacing::RealTime &&
        !wait.Until(Clock::now() + std::chrono::milliseconds(EffectiveTimeout(timeoutMs))))
        return {UsbStatus::Cancelled, 0};
    return {UsbStatus::Timeout, 0};
}

double SampleStream::Pace(double frames, const RadarParameters& params, unsigned timeoutMs,
                          Pacing pacing, const DeviceWait& wait) {
    if (pacing != Pacing::RealTime) return 1.0;
    const Clock::time_point now = Clock::now();
    if (!paced_ || deadline_ < now) {
        // The radar kept sweeping while nobody read; those samples are gone.
        if (paced_) {
            const double idleS = std::chrono::duration<double>(now - deadline_).count();
            clock_ += static_cast<std::uint64_t>(idleS * params.SampleRate());
        }
        deadline_ = now;
        paced_ = true;
    }
    const auto need = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(frames / params.SampleRate()));
    const auto limit = std::chrono::milliseconds(EffectiveTimeout(timeoutMs));
    double ready = 1.0;
    if (deadline_ + need - now > limit) {
        const double available = std::chrono::duration<double>(now + limit - deadline_).count();
        ready = std::max(0.0, available / std::chrono::duration<double>(need).count());
        deadline_ = now + limit;
    } else {
        deadline_ += need;
    }
    if (!wait.Until(deadline_)) {
        // The host gave up on this read; the radar sweeps on regardless.
        paced_ = false;
        return -1.0;
    }
    return ready;
}

UsbTransferResult SampleStream::Read(std::uint8_t* data, int length, unsigned timeoutMs,
                                     const Scene& scene, const RadarParameters& params,
                                     const SimFaults& faults, Pacing pacing,
                                     const DeviceWait& wait) {
    if (data == nullptr || length < 0) return {UsbStatus::InvalidParam, 0};
    if (faults.stalledStream) return Stall(timeoutMs, pacing, wait);

    const int words = (length + 1) / 2;
    const int lead = std::min(words, kStaleWords + kFillerWords + std::max(0, faults.garbageWords));
    int frames = std::max(0, (words - lead + 3) / 4);  // the last one may be cut by the length
    const int needed = std::max(0, (length - kSpareReadBytes) / kFrameBytes);
    bool cut = false;
    if (faults.shortStream) {
        frames = std::min(frames, std::max(0, needed - 1));
        cut = true;
    }

    const double ready = Pace(needed > 0 ? needed : frames, params, timeoutMs, pacing, wait);
    if (ready < 0.0) return {UsbStatus::Cancelled, 0};
    bool timedOut = false;
    if (ready < 1.0) {
        frames = std::min(frames, static_cast<int>(ready * needed));
        cut = true;
        timedOut = true;
    }

    // Stale words: leftovers of earlier frames, start bits included, which the host must skip.
    std::uniform_int_distribution<int> counts(0, 4095);
    for (int w = 0; w < std::min(words, kStaleWords); ++w) {
        std::uint16_t word = static_cast<std::uint16_t>(counts(rng_));
        if (w % 4 == 0 && !faults.noStartBit) word |= kFrameStartBit;
        PutWord(data, length, w, word);
    }
    std::uniform_int_distribution<int> garbage(0, kSampleMask);
    for (int w = kStaleWords; w < lead; ++w) {
        const bool isFiller = w < kStaleWords + kFillerWords;
        PutWord(data, length, w,
                isFiller ? static_cast<std::uint16_t>(scene.midScale)
                         : static_cast<std::uint16_t>(garbage(rng_)));
    }

    const auto perSweep = static_cast<std::uint64_t>(params.samplesPerSweep);
    const std::uint64_t first = (clock_ + perSweep - 1) / perSweep * perSweep;
    const std::vector<RawFrame> raw =
        replay_ ? replay_->Frames(first, static_cast<std::size_t>(frames))
                : SynthesiseFrames(scene, params, first, static_cast<std::size_t>(frames), seed_);
    for (int k = 0; k < frames; ++k) {
        const RawFrame& f = raw[static_cast<std::size_t>(k)];
        std::uint16_t w0 = f.ch1.q & kSampleMask;
        if (!faults.noStartBit) w0 |= kFrameStartBit;
        std::uint16_t w2 = f.ch2.q & kSampleMask;
        if (faults.startBitInData) w2 |= kFrameStartBit;
        const int at = lead + 4 * k;
        PutWord(data, length, at, w0);
        PutWord(data, length, at + 1, f.ch1.i);
        PutWord(data, length, at + 2, w2);
        PutWord(data, length, at + 3, f.ch2.i);
    }
    lastFirst_ = first;
    clock_ = first + static_cast<std::uint64_t>(frames);

    int delivered = length;
    if (cut) delivered = std::min(length, 2 * (lead + 4 * frames));
    return {timedOut ? UsbStatus::Timeout : UsbStatus::Ok, delivered};
}

}  // namespace vorn::sim

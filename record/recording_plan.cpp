#include "record/recording_plan.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "device/radar_constants.h"

namespace vorn::record {

namespace {

constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();
constexpr std::int64_t kFrameBytes = vorn::kFrameBytes;
constexpr std::int64_t kSpareBytes = vorn::kSpareReadBytes;
// Two complex<double> entries per frame.
constexpr std::int64_t kEntryBytesPerFrame = 2 * 16;
constexpr double kTimeoutMsPerSecond = 2000.0;

std::uint64_t MemoryFor(std::int64_t frames) {
    return static_cast<std::uint64_t>(frames) * (kFrameBytes + kEntryBytesPerFrame) +
           static_cast<std::uint64_t>(kSpareBytes);
}

std::int64_t MaxFrames(std::uint64_t memoryLimitBytes) {
    // The recording is one read: what that read can take bounds it.
    std::int64_t frames = vorn::kMaxReadFrames;
    const std::uint64_t perFrame = kFrameBytes + kEntryBytesPerFrame;
    const std::uint64_t byMemory = memoryLimitBytes <= static_cast<std::uint64_t>(kSpareBytes)
                                       ? 0
                                       : (memoryLimitBytes - kSpareBytes) / perFrame;
    if (byMemory < static_cast<std::uint64_t>(frames)) frames = static_cast<std::int64_t>(byMemory);
    return frames;
}

// The plan without the longest-duration search; n is computed as the read-out does.
RecordingPlan Evaluate(double seconds, int samplesPerSweep, double sweepTimeMs,
                       std::uint64_t memoryLimitBytes) {
    RecordingPlan plan;
    plan.sampleRate = samplesPerSweep / (sweepTimeMs / 1000.0);
    const std::int64_t frames = TotalSamplesReadout(seconds, plan.sampleRate, samplesPerSweep);
    const double timeout = seconds * kTimeoutMsPerSecond;
    if (frames > MaxFrames(memoryLimitBytes) || !(timeout <= static_cast<double>(kIntMax))) {
        return plan;
    }
    plan.fits = true;
    plan.frames = static_cast<int>(frames);
    plan.requestBytes = static_cast<int>(kFrameBytes * frames + kSpareBytes);
    // A zero timeout would make the transfer wait forever.
    plan.timeoutMs = std::max(1, static_cast<int>(timeout));
    plan.memoryBytes = MemoryFor(frames);
    return plan;
}

int LongestSeconds(int samplesPerSweep, double sweepTimeMs, std::uint64_t memoryLimitBytes) {
    const std::int64_t sweeps = MaxFrames(memoryLimitBytes) / samplesPerSweep;
    double longest = std::floor(static_cast<double>(sweeps) * sweepTimeMs / 1000.0);
    longest = std::min(longest, std::floor(static_cast<double>(kIntMax) / kTimeoutMsPerSecond));
    // Rounding in the sweep count may push the bound over by a second; confirm it.
    for (int attempt = 0; attempt < 4 && longest > 0; ++attempt) {
        if (Evaluate(longest, samplesPerSweep, sweepTimeMs, memoryLimitBytes).fits) {
            return static_cast<int>(longest);
        }
        longest -= 1.0;
    }
    return 0;
}

}  // namespace

std::int64_t TotalSamplesReadout(double seconds, double samp_rate, int samplesPerSweep) {
    if (samplesPerSweep <= 0) return 0;
    const double frames = std::ceil(seconds * samp_rate / samplesPerSweep) * samplesPerSweep;
    if (!(frames > 0.0)) return 0;
    // 2^63 is exact as a double; anything at or above it saturates.
    if (frames >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(frames);
}

std::uint64_t PhysicalMemoryBytes() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    const std::uint64_t addressable = static_cast<std::uint64_t>(PTRDIFF_MAX);
    if (pages <= 0 || pageSize <= 0) return addressable;
    const std::uint64_t bytes =
        static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    return std::min(bytes, addressable);
}

RecordingPlan PlanRecording(double seconds, int samplesPerSweep, double sweepTimeMs,
                            std::uint64_t memoryLimitBytes) {
    if (!std::isfinite(seconds) || seconds <= 0.0 || samplesPerSweep <= 0 ||
        !std::isfinite(sweepTimeMs) || sweepTimeMs <= 0.0) {
        RecordingPlan plan;
        plan.message = "Recording settings are invalid";
        return plan;
    }
    RecordingPlan plan = Evaluate(seconds, samplesPerSweep, sweepTimeMs, memoryLimitBytes);
    plan.longestSeconds = LongestSeconds(samplesPerSweep, sweepTimeMs, memoryLimitBytes);
    if (!plan.fits) {
        plan.message = "Recording too long: at most " + std::to_string(plan.longestSeconds) +
                       " s at these settings";
    }
    return plan;
}

RecordingPlan PlanRecording(double seconds, int samplesPerSweep, double sweepTimeMs) {
    return PlanRecording(seconds, samplesPerSweep, sweepTimeMs, PhysicalMemoryBytes());
}

}  // namespace vorn::record

#pragma once
#include <cstdint>
#include <string>

namespace vorn::record {

// One recording is one bulk read; its frame count, request length and timeout are 32-bit ints.
struct RecordingPlan {
    bool fits = false;
    std::string message;            // why not, when fits is false
    double sampleRate = 0.0;        // samples per second and channel
    int frames = 0;                 // n, whole sweeps; 0 unless fits
    int requestBytes = 0;           // 8n + 10240
    int timeoutMs = 0;              // seconds * 2000
    std::uint64_t memoryBytes = 0;  // the read buffer plus 16 bytes per entry, two per frame
    int longestSeconds = 0;         // the longest whole-second recording at these settings
};

// Frames a recording of `seconds` takes at `samp_rate`, rounded up to whole sweeps; what the
// total-samples read-out shows. 0 for settings that make no sense.
std::int64_t TotalSamplesReadout(double seconds, double samp_rate, int samplesPerSweep);

// Memory the machine has; plans are limited to it.
std::uint64_t PhysicalMemoryBytes();

RecordingPlan PlanRecording(double seconds, int samplesPerSweep, double sweepTimeMs,
                            std::uint64_t memoryLimitBytes);

// As above, limited to the machine's physical memory.
RecordingPlan PlanRecording(double seconds, int samplesPerSweep, double sweepTimeMs);

}  // namespace vorn::record

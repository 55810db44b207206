#pragma once
// A monotonic high-resolution counter with a known frequency, for the update-time read-out.
#include <chrono>
#include <cstdint>

namespace vorn {

inline std::int64_t PerformanceFrequency() {
    using Period = std::chrono::steady_clock::period;
    return static_cast<std::int64_t>(Period::den / Period::num);
}

inline std::int64_t PerformanceCounter() {
    return static_cast<std::int64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

// Whole microseconds between two counter values, truncated; split so that the product
// with 1 000 000 cannot overflow for nanosecond counters and long intervals.
inline std::int64_t ElapsedMicroseconds(std::int64_t first, std::int64_t second,
                                        std::int64_t frequency) {
    const std::int64_t ticks = second - first;
    return (ticks / frequency) * 1000000 + ((ticks % frequency) * 1000000) / frequency;
}

}  // namespace vorn

#pragma once
// What the radar's logic makes of the parameter word the host sends on EP2.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace vorn::sim {

enum class RadarMode { FmcwSawtooth = 0, FmcwTriangle = 1, Fsk = 2, Cw = 3 };

struct RadarParameters {
    RadarMode mode = RadarMode::FmcwSawtooth;
    double sweepTimeS = 0.001;
    double bandwidthHz = 400e6;
    int samplesPerSweep = 128;

    double SampleRate() const { return samplesPerSweep / sweepTimeS; }
    bool operator==(const RadarParameters& o) const {
        return mode == o.mode && sweepTimeS == o.sweepTimeS && bandwidthHz == o.bandwidthHz &&
               samplesPerSweep == o.samplesPerSweep;
    }
};

// Empty unless the high byte is the 0xA0 marker.
std::optional<RadarParameters> DecodeParameterWord(std::uint16_t word);

// A block of little-endian copies of one word. Empty (the radar ignores the block) when the
// length is zero or odd, a word lacks the marker, or the copies disagree.
std::optional<RadarParameters> DecodeParameterBlock(const std::uint8_t* data, std::size_t length);

}  // namespace vorn::sim

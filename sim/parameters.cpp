#include "sim/parameters.h"

#include "device/radar_constants.h"

namespace vorn::sim {

namespace {
constexpr double kSweepTimesS[4] = {0.001, 0.002, 0.004, 0.010};
constexpr double kBandwidthsHz[4] = {400e6, 100e6, 150e6, 300e6};
constexpr int kSamplesPerSweep[4] = {128, 256, 512, 1024};
}  // namespace

std::optional<RadarParameters> DecodeParameterWord(std::uint16_t word) {
    if ((word & 0xFF00) != kParameterMarker) return std::nullopt;
    RadarParameters p;
    p.sweepTimeS = kSweepTimesS[(word >> 6) & 3];
    p.bandwidthHz = kBandwidthsHz[(word >> 4) & 3];
    p.samplesPerSweep = kSamplesPerSweep[(word >> 2) & 3];
    p.mode = static_cast<RadarMode>(word & 3);
    return p;
}

std::optional<RadarParameters> DecodeParameterBlock(const std::uint8_t* data, std::size_t length) {
    if (data == nullptr || length == 0 || length % 2 != 0) return std::nullopt;
    const auto first = static_cast<std::uint16_t>(data[0] | data[1] << 8);
    for (std::size_t i = 2; i < length; i += 2) {
        if (static_cast<std::uint16_t>(data[i] | data[i + 1] << 8) != first) return std::nullopt;
    }
    return DecodeParameterWord(first);
}

}  // namespace vorn::sim

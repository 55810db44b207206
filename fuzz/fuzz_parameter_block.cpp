// The stand-in radar's decoder of the parameter block the host writes.
#include <cstdlib>

#include "sim/parameters.h"

namespace {

bool Known(const vorn::sim::RadarParameters& p) {
    const bool sweep = p.sweepTimeS == 0.001 || p.sweepTimeS == 0.002 || p.sweepTimeS == 0.004 ||
                       p.sweepTimeS == 0.010;
    const bool samples = p.samplesPerSweep == 128 || p.samplesPerSweep == 256 ||
                         p.samplesPerSweep == 512 || p.samplesPerSweep == 1024;
    const int mode = static_cast<int>(p.mode);
    return sweep && samples && mode >= 0 && mode <= 3 && p.bandwidthHz > 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* block = size == 0 ? nullptr : data;
    const auto decoded = vorn::sim::DecodeParameterBlock(block, size);
    if (decoded) {
        if (size == 0 || size % 2 != 0 || !Known(*decoded)) std::abort();
        const auto word = static_cast<std::uint16_t>(data[0] | data[1] << 8);
        const auto single = vorn::sim::DecodeParameterWord(word);
        if (!single || !(*single == *decoded)) std::abort();
    }
    if (size >= 2) {
        const auto word =
            vorn::sim::DecodeParameterWord(static_cast<std::uint16_t>(data[0] | data[1] << 8));
        if (word && !Known(*word)) std::abort();
    }
    return 0;
}

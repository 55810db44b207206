#pragma once
// Misbehaviour the stand-in radar can be told to show, one switch per fault.
#include <optional>

namespace vorn::sim {

struct SimFaults {
    // EP6 IN returns Timeout with no data (the radar logic stopped filling the FIFO).
    bool stalledStream = false;
    // An IN transfer ends one frame before the frames the host asked for are complete.
    bool shortStream = false;
    // No word carries the frame-start bit.
    bool noStartBit = false;
    // Words of random content (bit 15 clear) between the filler and the first frame.
    int garbageWords = 0;
    // Bit 15 also set in the channel 2 Q word of every frame, where the host must ignore it.
    bool startBitInData = false;
    // The 0xA0 request with this index, counted from the first one since power-up, fails with
    // Pipe and has no effect.
    std::optional<int> failVendorRequestAt;
    // Alternate setting 1 without EP2 OUT / without EP6 IN.
    bool omitParameterEndpoint = false;
    bool omitSampleEndpoint = false;
    // EP2 OUT takes at most this many bytes of a transfer, then times out.
    std::optional<int> parameterBytesAccepted;
};

}  // namespace vorn::sim

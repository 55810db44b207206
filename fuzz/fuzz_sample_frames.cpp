// Frame synchronisation and unpacking on whatever bytes a transfer delivered.
#include <cstdlib>

#include "device/radar_constants.h"
#include "device/sample_frames.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // The first two bytes choose the channel selection and the frame limit; the rest is the
    // transfer, copied so the buffer ends exactly where the received bytes end.
    const auto channels = static_cast<vorn::FrameChannels>(data[0] % 3);
    const std::size_t maxFrames = data[1] < 250 ? data[1] : static_cast<std::size_t>(-1);
    const std::vector<std::uint8_t> bytes(data + 2, data + size);
    const std::uint8_t* stream = bytes.empty() ? nullptr : bytes.data();

    const std::size_t words = bytes.size() / 2;
    const std::size_t start = vorn::FindFrameStart(stream, bytes.size());
    const auto skipped = static_cast<std::size_t>(vorn::kSkippedWords);
    Check(start >= skipped);
    Check(words <= skipped ? start == skipped : start <= words);
    if (start < words) Check((vorn::StreamWord(stream, start) & vorn::kFrameStartBit) != 0);

    std::vector<std::complex<double>> samples(3, {-1.0, -1.0});
    const std::size_t count =
        vorn::UnpackFrames(stream, bytes.size(), maxFrames, channels, samples);
    const std::size_t frames = stream == nullptr ? 0 : vorn::CountFrames(words, start, maxFrames);
    Check(count == samples.size());
    Check(count == frames * (channels == vorn::FrameChannels::Both ? 2 : 1));
    Check(frames <= maxFrames);
    if (frames > 0) Check(start + frames * vorn::kFrameWords <= words);
    for (const auto& s : samples) {
        Check(s.real() >= 0 && s.real() <= 0xFFFF);
        Check(s.imag() >= 0 && s.imag() <= vorn::kSampleMask);
    }
    return 0;
}

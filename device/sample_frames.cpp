#include "device/sample_frames.h"

#include "device/radar_constants.h"

namespace vorn {

std::size_t FindFrameStart(const std::uint8_t* bytes, std::size_t byteCount) {
    const std::size_t words = byteCount / 2;
    const auto skipped = static_cast<std::size_t>(kSkippedWords);
    if (bytes == nullptr || words <= skipped) return skipped;
    for (std::size_t i = skipped; i < words; ++i) {
        if (StreamWord(bytes, i) & kFrameStartBit) return i;
    }
    return words;
}

std::size_t CountFrames(std::size_t wordCount, std::size_t start, std::size_t maxFrames) {
    if (start >= wordCount) return 0;
    const std::size_t whole = (wordCount - start) / kFrameWords;
    return whole < maxFrames ? whole : maxFrames;
}

std::size_t UnpackFrames(const std::uint8_t* bytes, std::size_t byteCount, std::size_t maxFrames,
                         FrameChannels channels, std::vector<std::complex<double>>& samples) {
    const std::size_t start = FindFrameStart(bytes, byteCount);
    const std::size_t frames = bytes == nullptr ? 0 : CountFrames(byteCount / 2, start, maxFrames);
    const std::size_t perFrame = channels == FrameChannels::Both ? 2 : 1;
    samples.resize(frames * perFrame);
    for (std::size_t k = 0; k < frames; ++k) {
        const std::size_t w = start + kFrameWords * k;
        const std::complex<double> one(StreamWord(bytes, w + 1),
                                       StreamWord(bytes, w) & kSampleMask);
        const std::complex<double> two(StreamWord(bytes, w + 3),
                                       StreamWord(bytes, w + 2) & kSampleMask);
        switch (channels) {
            case FrameChannels::One:
                samples[k] = one;
                break;
            case FrameChannels::Two:
                samples[k] = two;
                break;
            case FrameChannels::Both:
                samples[2 * k] = one;
                samples[2 * k + 1] = two;
                break;
        }
    }
    return samples.size();
}

}  // namespace vorn

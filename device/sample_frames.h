#pragma once
// Frame synchronisation and unpacking of the radar's sample stream: little-endian 16-bit words,
// four per frame, the first word of a frame marked by bit 15. Safe on any byte count.
#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorn {

enum class FrameChannels { One, Two, Both };

// Word i of a little-endian stream.
inline std::uint16_t StreamWord(const std::uint8_t* bytes, std::size_t i) {
    return static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

// Index of the first frame's word: the first word from 1024 on with bit 15 set; 1024 when the
// stream has no more than 1024 words, the word count when no word carries the bit.
std::size_t FindFrameStart(const std::uint8_t* bytes, std::size_t byteCount);

// Whole frames from word start on, at most maxFrames.
std::size_t CountFrames(std::size_t wordCount, std::size_t start, std::size_t maxFrames);

// Synchronises on the stream and unpacks up to maxFrames frames into samples (resized to what was
// delivered; channel 1 before channel 2 when both are asked for). Returns the sample count.
std::size_t UnpackFrames(const std::uint8_t* bytes, std::size_t byteCount, std::size_t maxFrames,
                         FrameChannels channels, std::vector<std::complex<double>>& samples);

}  // namespace vorn

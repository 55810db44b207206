#include "device/sample_frames.h"

#include <gtest/gtest.h>

namespace {

using vorn::FrameChannels;

std::vector<std::uint8_t> Words(const std::vector<std::uint16_t>& words) {
    std::vector<std::uint8_t> bytes;
    for (std::uint16_t w : words) {
        bytes.push_back(static_cast<std::uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(w >> 8));
    }
    return bytes;
}

TEST(FrameSync, SkipsTheFirst1024WordsAndFindsTheStartBit) {
    std::vector<std::uint16_t> words(1030, 0x8000);  // start bits inside the skipped part
    for (std::size_t i = 1024; i < 1030; ++i) words[i] = 0x7FFF;
    words.insert(words.end(), {0x8001, 2, 0x8003, 4, 0x8005, 6, 7, 8});
    const auto bytes = Words(words);
    EXPECT_EQ(vorn::FindFrameStart(bytes.data(), bytes.size()), 1030u);

    std::vector<std::complex<double>> samples;
    EXPECT_EQ(vorn::UnpackFrames(bytes.data(), bytes.size(), 10, FrameChannels::One, samples), 2u);
    EXPECT_EQ(samples[0], std::complex<double>(2, 1));
    EXPECT_EQ(samples[1], std::complex<double>(6, 5));
}

TEST(FrameSync, EdgesOfTheStream) {
    std::vector<std::uint8_t> bytes(2048, 0xFF);
    EXPECT_EQ(vorn::FindFrameStart(bytes.data(), bytes.size()), 1024u);
    EXPECT_EQ(vorn::FindFrameStart(nullptr, 0), 1024u);
    bytes.assign(2058, 0x00);  // five words after the skipped part, none marked
    EXPECT_EQ(vorn::FindFrameStart(bytes.data(), bytes.size()), 1029u);

    std::vector<std::complex<double>> samples(4);
    for (std::size_t size : {0u, 1u, 2047u, 2048u, 2049u}) {
        std::vector<std::uint8_t> stream(size, 0xFF);
        EXPECT_EQ(vorn::UnpackFrames(stream.data(), stream.size(), 8, FrameChannels::Both, samples),
                  0u)
            << size;
        EXPECT_TRUE(samples.empty());
    }
}

TEST(FrameSync, IncompleteLastFrameAndOddByteAreDropped) {
    std::vector<std::uint16_t> words(1024, 0);
    words.insert(words.end(), {0x8000, 1, 2, 3, 0x8000, 5, 6});
    auto bytes = Words(words);
    bytes.push_back(0xAB);
    std::vector<std::complex<double>> samples;
    EXPECT_EQ(vorn::UnpackFrames(bytes.data(), bytes.size(), 8, FrameChannels::Two, samples), 1u);
    EXPECT_EQ(samples[0], std::complex<double>(3, 2));
    EXPECT_EQ(vorn::CountFrames(10, 11, 5), 0u);
    EXPECT_EQ(vorn::CountFrames(1024 + 400, 1024, 50), 50u);
}

TEST(FrameUnpack, ChannelLayout) {
    std::vector<std::uint16_t> words(1024, 0);
    words.insert(words.end(), {0x8123, 0x0456, 0xFFFF, 0xFFFF});
    const auto bytes = Words(words);
    std::vector<std::complex<double>> samples;
    vorn::UnpackFrames(bytes.data(), bytes.size(), 1, FrameChannels::One, samples);
    EXPECT_EQ(samples.at(0), std::complex<double>(1110.0, 291.0));
    // Bit 15 of word 2 is not part of the sample; word 3 keeps all 16 bits.
    vorn::UnpackFrames(bytes.data(), bytes.size(), 1, FrameChannels::Two, samples);
    EXPECT_EQ(samples.at(0), std::complex<double>(65535.0, 32767.0));
    vorn::UnpackFrames(bytes.data(), bytes.size(), 1, FrameChannels::Both, samples);
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0], std::complex<double>(1110.0, 291.0));
    EXPECT_EQ(samples[1], std::complex<double>(65535.0, 32767.0));
}

}  // namespace

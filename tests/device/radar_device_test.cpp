// What the device layer computes without a device: the parameter word and block, the firmware
// text's records, and frame synchronisation. Transfers run against the stand-in (sim tests,
// window tests) and against the unchanged libusb (usb-kernel tests).
#include "device/radar_device.h"

#include <gtest/gtest.h>

#include "device/firmware.h"
#include "device/radar_constants.h"
#include "device/sample_frames.h"

using Samples = std::vector<std::complex<double>>;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Little-endian bytes of 16-bit words, as the sample stream carries them.
Bytes Words(const std::vector<std::uint16_t>& words) {
    Bytes bytes;
    for (std::uint16_t w : words)
        bytes.insert(bytes.end(), {std::uint8_t(w & 0xFF), std::uint8_t(w >> 8)});
    return bytes;
}

using Records = std::vector<Bytes>;

TEST(RadarDeviceParameters, WordAndLittleEndianBlock) {
    EXPECT_EQ(RadarDevice::ComposeParameterWord(1, 2, 1, 0), 0xA064);  // FMCW 2 ms 150 MHz 256
    EXPECT_EQ(RadarDevice::ComposeParameterWord(3, 0, 3, 3), 0xA0CF);  // CW 10 ms 400 MHz 1024
    // A stray code cannot reach the marker byte.
    EXPECT_EQ(RadarDevice::ComposeParameterWord(4, 0, 0, 0) & 0xFF00, 0xA000);
    const auto block = RadarDevice::BuildParameterBlock(0xA064);
    ASSERT_EQ(block.size(), 2048u);
    for (std::size_t i = 0; i < block.size(); i += 2)
        ASSERT_EQ(block[i] | block[i + 1] << 8, 0xA064);
}

TEST(FrameSync, SkipsTheFirst1024WordsAndFindsTheStartBit) {
    std::vector<std::uint16_t> words(1030, 0x8000);  // start bits inside the skipped part
    for (std::size_t i = 1024; i < 1030; ++i) words[i] = 0x7FFF;
    words.insert(words.end(), {0x8123, 0x0456, 0xFFFF, 0xFFFF, 0x8005, 6, 7});
    auto bytes = Words(words);
    bytes.push_back(0xAB);  // the incomplete frame and the odd byte are dropped
    EXPECT_EQ(vorn::FindFrameStart(bytes.data(), bytes.size()), 1030u);
    Samples s;
    EXPECT_EQ(vorn::UnpackFrames(bytes.data(), bytes.size(), 10, vorn::FrameChannels::Both, s), 2u);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0], std::complex<double>(1110.0, 291.0));
    // Bit 15 of word 2 is not part of the sample; word 3 keeps all 16 bits.
    EXPECT_EQ(s[1], std::complex<double>(65535.0, 32767.0));
    EXPECT_EQ(vorn::CountFrames(10, 11, 5), 0u);
    for (std::size_t size : {0u, 1u, 2048u, 2049u}) {
        std::vector<std::uint8_t> stream(size, 0xFF);
        EXPECT_EQ(vorn::UnpackFrames(stream.data(), size, 8, vorn::FrameChannels::One, s), 0u)
            << size;
        EXPECT_TRUE(s.empty());
    }
}

}  // namespace

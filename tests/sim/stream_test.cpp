#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "device/radar_constants.h"
#include "sim_test_support.h"

namespace vorn::sim::test {
namespace {

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.Activate(0xA000)); }  // 1 ms, 400 MHz, 128
    Rig rig{std::make_shared<SimRadar>(DefaultDemoScene())};
    SimRadar& radar = *rig.radar;
};

TEST_F(StreamTest, ReadHasStaleWordsFillerThenFramesMatchingTheScene) {
    std::vector<std::uint8_t> bytes(8 * 128 + kSpareReadBytes);
    int length = static_cast<int>(bytes.size());
    ASSERT_TRUE(rig.device.Device()->EndPoints[rig.device.inEndPointIndex]->TransferData(
        bytes.data(), length));
    EXPECT_EQ(length, 8 * 128 + kSpareReadBytes) << "the stream fills the whole request";
    std::vector<std::uint16_t> words;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        words.push_back(static_cast<std::uint16_t>(bytes[i] | bytes[i + 1] << 8));
    const int first = SampleStream::kStaleWords + SampleStream::kFillerWords;
    const int frames = (static_cast<int>(words.size()) - first) / 4;
    EXPECT_GE(frames, 128 + 1000);
    for (int k = 0; k < frames; ++k) {
        const auto at = static_cast<std::size_t>(first + 4 * k);
        ASSERT_NE(words[at] & kFrameStartBit, 0) << "frame " << k;
        ASSERT_EQ(words[at + 2] & kFrameStartBit, 0) << "frame " << k;
        ASSERT_LT(words[at + 1], 4096);
        ASSERT_LT(words[at + 3], 4096);
    }

    std::vector<std::complex<double>> both;
    ASSERT_EQ(rig.device.ReadBothChannels(both, 128, 1000), 256);
    const std::vector<RawFrame> expected = SynthesiseFrames(
        radar.scene(), radar.parameters(), radar.stream().lastFirstSample(), 128, 1);
    for (std::size_t k = 0; k < 128; ++k) {
        EXPECT_EQ(both[2 * k], std::complex<double>(expected[k].ch1.i, expected[k].ch1.q));
        EXPECT_EQ(both[2 * k + 1], std::complex<double>(expected[k].ch2.i, expected[k].ch2.q));
    }
}

}  // namespace
}  // namespace vorn::sim::test

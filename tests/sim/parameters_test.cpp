#include <gtest/gtest.h>

#include <vector>

#include "sim/parameters.h"

namespace vorn::sim {
namespace {

TEST(ParameterWord, DecodesEveryFieldOfTheMarkedWord) {
    const auto saw = DecodeParameterWord(0xA064);
    ASSERT_TRUE(saw);
    EXPECT_EQ(saw->mode, RadarMode::FmcwSawtooth);
    EXPECT_DOUBLE_EQ(saw->sweepTimeS, 0.002);
    EXPECT_DOUBLE_EQ(saw->bandwidthHz, 150e6);
    EXPECT_EQ(saw->samplesPerSweep, 256);

    const auto cw = DecodeParameterWord(0xA0CF);
    ASSERT_TRUE(cw);
    EXPECT_EQ(cw->mode, RadarMode::Cw);
    EXPECT_DOUBLE_EQ(cw->sweepTimeS, 0.010);
    EXPECT_DOUBLE_EQ(cw->bandwidthHz, 400e6);
    EXPECT_EQ(cw->samplesPerSweep, 1024);
    EXPECT_DOUBLE_EQ(cw->SampleRate(), 102400.0);
}

TEST(ParameterWord, WordsWithoutTheMarkerAreRejected) {
    for (unsigned high = 0; high < 256; ++high) {
        if (high == 0xA0) continue;
        EXPECT_FALSE(DecodeParameterWord(static_cast<std::uint16_t>(high << 8 | 0x64))) << high;
    }
}

TEST(ParameterBlock, OnlyUniformMarkedBlocksCount) {
    std::vector<std::uint8_t> block;
    for (int i = 0; i < 1024; ++i) block.insert(block.end(), {0x64, 0xA0});
    ASSERT_TRUE(DecodeParameterBlock(block.data(), block.size()));
    EXPECT_EQ(DecodeParameterBlock(block.data(), block.size())->samplesPerSweep, 256);

    EXPECT_FALSE(DecodeParameterBlock(block.data(), 0));
    EXPECT_FALSE(DecodeParameterBlock(block.data(), 3));
    EXPECT_FALSE(DecodeParameterBlock(nullptr, 2));

    std::vector<std::uint8_t> mixed = block;
    mixed[1000] = 0x65;
    EXPECT_FALSE(DecodeParameterBlock(mixed.data(), mixed.size()));

    std::vector<std::uint8_t> bigEndian;
    for (int i = 0; i < 1024; ++i) bigEndian.insert(bigEndian.end(), {0xA0, 0x64});
    EXPECT_FALSE(DecodeParameterBlock(bigEndian.data(), bigEndian.size()));
}

}  // namespace
}  // namespace vorn::sim

#include <gtest/gtest.h>

#include <vector>

#include "sim/parameters.h"

namespace vorn::sim {
namespace {

TEST(ParameterBlock, OnlyUniformMarkedBlocksCount) {
    std::vector<std::uint8_t> block;
    for (int i = 0; i < 1024; ++i) block.insert(block.end(), {0x64, 0xA0});
    ASSERT_TRUE(DecodeParameterBlock(block.data(), block.size()));
    EXPECT_EQ(DecodeParameterBlock(block.data(), block.size())->samplesPerSweep, 256);

    EXPECT_FALSE(DecodeParameterBlock(block.data(), 0));
    EXPECT_FALSE(DecodeParameterBlock(block.data(), 3));
    EXPECT_FALSE(DecodeParameterBlock(nullptr, 2));
    EXPECT_FALSE(DecodeParameterWord(0xA164));

    std::vector<std::uint8_t> mixed = block;
    mixed[1000] = 0x65;
    EXPECT_FALSE(DecodeParameterBlock(mixed.data(), mixed.size()));
}

}  // namespace
}  // namespace vorn::sim

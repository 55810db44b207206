#include <gtest/gtest.h>

#include <vector>

#include "sim/parameters.h"
#include "sim/scene.h"

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

TEST(SceneCounts, NoiseIsSeededAndCountsStayInTwelveBits) {
    const Scene s = DefaultDemoScene();
    RadarParameters p;
    p.mode = RadarMode::FmcwSawtooth;
    p.sweepTimeS = 0.001;
    p.bandwidthHz = 400e6;
    p.samplesPerSweep = 128;
    const std::vector<RawFrame> a = SynthesiseFrames(s, p, 1280, 512, 3);
    const std::vector<RawFrame> b = SynthesiseFrames(s, p, 1280, 512, 3);
    const std::vector<RawFrame> c = SynthesiseFrames(s, p, 1280, 512, 4);
    int differing = 0;
    for (std::size_t k = 0; k < a.size(); ++k) {
        ASSERT_EQ(a[k].ch1.i, b[k].ch1.i);
        ASSERT_EQ(a[k].ch2.q, b[k].ch2.q);
        differing += a[k].ch1.i != c[k].ch1.i;
        for (std::uint16_t v : {a[k].ch1.i, a[k].ch1.q, a[k].ch2.i, a[k].ch2.q}) ASSERT_LT(v, 4096);
    }
    EXPECT_GT(differing, 100);
}

}  // namespace
}  // namespace vorn::sim

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "device/radar_constants.h"
#include "sim/sim_backend.h"
#include "sim_test_support.h"

namespace vorn::sim::test {
namespace {

// FMCW sawtooth, 1 ms, 400 MHz, 128 samples.
constexpr std::uint16_t kWord128 = 0xA000;

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        radar = std::make_shared<SimRadar>(DefaultDemoScene());
        backend = std::make_unique<SimBackend>(radar);
        link = Activate(*backend, kWord128);
        ASSERT_TRUE(link);
    }
    std::shared_ptr<SimRadar> radar;
    std::unique_ptr<SimBackend> backend;
    std::unique_ptr<UsbDeviceLink> link;
};

TEST_F(StreamTest, ReadHasStaleWordsFillerThenFramesMatchingTheScene) {
    UsbTransferResult r;
    const Unpacked u = ReadFrames(*link, 128, &r);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.transferred, 8 * 128 + kSpareReadBytes) << "the stream fills the whole request";
    const int first = SampleStream::kStaleWords + SampleStream::kFillerWords;
    EXPECT_EQ(u.startWord, first);
    for (int w = kSkippedWords; w < first; ++w) EXPECT_EQ(u.words[w] & kFrameStartBit, 0);

    const int frames = (static_cast<int>(u.words.size()) - first) / 4;
    EXPECT_GE(frames, 128 + 1000);
    for (int k = 0; k < frames; ++k) {
        const auto at = static_cast<std::size_t>(first + 4 * k);
        ASSERT_NE(u.words[at] & kFrameStartBit, 0) << "frame " << k;
        ASSERT_EQ(u.words[at + 2] & kFrameStartBit, 0) << "frame " << k;
        ASSERT_LT(u.words[at + 1], 4096);
        ASSERT_LT(u.words[at + 3], 4096);
    }

    const std::uint64_t firstSample = radar->stream().lastFirstSample();
    const std::vector<RawFrame> expected =
        SynthesiseFrames(radar->scene(), radar->parameters(), firstSample, 128, 1);
    ASSERT_EQ(u.ch1.size(), 128u);
    for (std::size_t k = 0; k < 128; ++k) {
        EXPECT_EQ(u.ch1[k], std::complex<double>(expected[k].ch1.i, expected[k].ch1.q));
        EXPECT_EQ(u.ch2[k], std::complex<double>(expected[k].ch2.i, expected[k].ch2.q));
    }
}

TEST_F(StreamTest, EveryReadStartsOnASweepBoundaryAndTheClockRunsOn) {
    ReadFrames(*link, 128);
    const std::uint64_t a = radar->stream().lastFirstSample();
    const std::uint64_t afterFirst = radar->stream().sampleClock();
    ASSERT_TRUE(WriteParameterWord(*link, 0xA004).ok());  // 256 samples per sweep
    ReadFrames(*link, 256);
    const std::uint64_t b = radar->stream().lastFirstSample();
    EXPECT_EQ(a % 128, 0u);
    EXPECT_EQ(b % 256, 0u);
    EXPECT_GE(b, afterFirst);
    EXPECT_LT(b, afterFirst + 256);
}

TEST_F(StreamTest, StalledStreamTimesOutAtOnceWithoutData) {
    radar->faults().stalledStream = true;
    const auto start = std::chrono::steady_clock::now();
    UsbTransferResult r;
    const Unpacked u = ReadFrames(*link, 128, &r);
    EXPECT_EQ(r.status, UsbStatus::Timeout);
    EXPECT_EQ(r.transferred, 0);
    EXPECT_TRUE(u.ch1.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST_F(StreamTest, ShortStreamEndsOneFrameEarly) {
    radar->faults().shortStream = true;
    for (int n : {128, 1024}) {
        UsbTransferResult r;
        const Unpacked u = ReadFrames(*link, n, &r);
        EXPECT_TRUE(r.ok()) << "a short bulk IN transfer still succeeds";
        EXPECT_LT(r.transferred, 8 * n + kSpareReadBytes);
        EXPECT_EQ(u.ch1.size(), static_cast<std::size_t>(n - 1));
    }
}

TEST(StreamPacing, RealTimeReadsKeepThePaceOfTheSampleRate) {
    auto radar = std::make_shared<SimRadar>(DefaultDemoScene(), Pacing::RealTime);
    SimBackend backend(radar);
    auto link = Activate(backend, 0xA000);  // 128 kS/s
    ASSERT_TRUE(link);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 4; ++i) ASSERT_EQ(ReadFrames(*link, 128 * 16).ch1.size(), 2048u);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 0.060);  // 4 x 16 ms
    EXPECT_LT(seconds, 0.500);
}

}  // namespace
}  // namespace vorn::sim::test

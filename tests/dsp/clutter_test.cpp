#include "dsp/clutter_canceller.h"

#include <gtest/gtest.h>

#include "tests/dsp/synthetic_signal.h"

namespace vorn::dsp {
namespace {

double Energy(const SampleBlock& block) {
    double sum = 0.0;
    for (const Complex& z : block) sum += std::norm(z);
    return sum;
}

TEST(ClutterReference, CapturedSceneCancelsAndAMovingReturnStays) {
    ClutterCanceller clutter;
    const SampleBlock scene = testing::Tone(256, 0.05, 500.0, {2048.0, 2048.0});
    SampleBlock first = scene;
    clutter.Apply(first, ClutterMode::Reference, 2);
    EXPECT_EQ(Energy(first), 0.0);
    EXPECT_FALSE(clutter.ResetPending());

    SampleBlock same = scene;
    clutter.Apply(same, ClutterMode::Reference, 2);
    EXPECT_EQ(Energy(same), 0.0);

    const SampleBlock mover = testing::Tone(256, 0.2, 7.0);
    SampleBlock withMover = scene;
    for (std::size_t n = 0; n < withMover.size(); ++n) withMover[n] += mover[n];
    clutter.Apply(withMover, ClutterMode::Reference, 2);
    for (std::size_t n = 0; n < withMover.size(); n += 17) {
        EXPECT_NEAR(std::abs(withMover[n] - mover[n]), 0.0, 1e-9);
    }
}

TEST(ClutterReference, ResetAndLengthChangeCaptureAgain) {
    ClutterCanceller clutter;
    SampleBlock a(128, Complex(1.0, 2.0));
    clutter.Apply(a, ClutterMode::Reference, 2);
    clutter.RequestReset();
    SampleBlock b(128, Complex(5.0, 5.0));
    clutter.Apply(b, ClutterMode::Reference, 2);
    EXPECT_EQ(Energy(b), 0.0);
    EXPECT_EQ(clutter.Reference()[0], Complex(5.0, 5.0));

    // A block of another length without a reset must not read past the stored reference.
    SampleBlock longer(300, Complex(9.0, 9.0));
    clutter.Apply(longer, ClutterMode::Reference, 2);
    EXPECT_EQ(Energy(longer), 0.0);
    EXPECT_EQ(clutter.Reference().size(), 300u);
}

TEST(ClutterMovingAverage, CountTwoLeavesHalfTheDifference) {
    ClutterCanceller clutter;
    SampleBlock first(64, Complex(10.0, -4.0));
    clutter.Apply(first, ClutterMode::MovingAverage, 2);
    EXPECT_EQ(Energy(first), 0.0);

    SampleBlock second(64, Complex(14.0, 0.0));
    clutter.Apply(second, ClutterMode::MovingAverage, 2);
    EXPECT_EQ(second[5], Complex(2.0, 2.0));

    SampleBlock third(64, Complex(20.0, 0.0));
    clutter.Apply(third, ClutterMode::MovingAverage, 2);
    EXPECT_EQ(third[0], Complex(3.0, 0.0));
    EXPECT_EQ(clutter.HistoryDepth(), 2u);
}

TEST(ClutterMovingAverage, LoweringTheCountDropsTheOldest) {
    ClutterCanceller clutter;
    for (int i = 0; i < 8; ++i) {
        SampleBlock block(32, Complex(i, 0.0));
        clutter.Apply(block, ClutterMode::MovingAverage, 8);
    }
    EXPECT_EQ(clutter.HistoryDepth(), 8u);
    SampleBlock block(32, Complex(8.0, 0.0));
    clutter.Apply(block, ClutterMode::MovingAverage, 3);
    EXPECT_EQ(clutter.HistoryDepth(), 3u);
    EXPECT_EQ(block[0], Complex(1.0, 0.0));  // 8 - mean(8, 7, 6)

    clutter.RequestReset();
    SampleBlock afterReset(32, Complex(3.0, 3.0));
    clutter.Apply(afterReset, ClutterMode::MovingAverage, 3);
    EXPECT_EQ(Energy(afterReset), 0.0);
    EXPECT_EQ(clutter.HistoryDepth(), 1u);
    EXPECT_TRUE(clutter.Reference().empty());
}

TEST(ClutterMovingAverage, StaticReturnCancelsMovingOneStays) {
    ClutterCanceller clutter;
    const SampleBlock scene = testing::Tone(128, 0.1, 300.0, {2048.0, 2048.0});
    SampleBlock last;
    for (int tick = 0; tick < 16; ++tick) {
        last = scene;
        // A return whose phase turns by a quarter cycle per block.
        for (std::size_t n = 0; n < last.size(); ++n) {
            last[n] += std::polar(5.0, kTwoPi * (0.3 * n + 0.25 * tick));
        }
        clutter.Apply(last, ClutterMode::MovingAverage, 4);
    }
    // Over four blocks the moving return averages out, so it stays whole; the scene is gone.
    for (std::size_t n = 0; n < last.size(); n += 11) EXPECT_NEAR(std::abs(last[n]), 5.0, 1e-6);
}

TEST(ClutterDisabled, LeavesBlockAndResetFlag) {
    ClutterCanceller clutter;
    SampleBlock block(16, Complex(1.0, 1.0));
    clutter.Apply(block, ClutterMode::Disabled, 2);
    EXPECT_EQ(block[0], Complex(1.0, 1.0));
    EXPECT_TRUE(clutter.ResetPending());
}

}  // namespace
}  // namespace vorn::dsp

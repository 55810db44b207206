// End to end: a target placed in the stand-in's scene, read through the application's device
// layer, must come out of each processing chain at its range and velocity.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "device/radar_constants.h"
#include "dsp/clutter_canceller.h"
#include "dsp/cw_velocity.h"
#include "dsp/fmcw_range.h"
#include "dsp/fsk.h"
#include "dsp/range_velocity_map.h"
#include "sim_test_support.h"

namespace vorn::sim::test {
namespace {

Scene SceneWith(double range, double velocity) {
    Scene s = DefaultDemoScene();
    s.targets = {{range, velocity, 400.0}};
    s.clutter = {{1.2, 0.0, 100.0}};
    s.motionPeriodS = 0.0;
    return s;
}

class ProcessingTest : public ::testing::Test {
protected:
    dsp::SampleBlock Acquire(const Scene& scene, std::uint16_t word, int samples) {
        rig = std::make_unique<Rig>(std::make_shared<SimRadar>(scene));
        radar = rig->radar;
        EXPECT_TRUE(rig->Activate(word));
        dsp::SampleBlock block;
        EXPECT_EQ(rig->device.ReadChannel1(block, samples, 1000), samples);
        return block;
    }
    // Seconds from stream start to the middle of the last read.
    double MidReadTime(int samples) const {
        return (static_cast<double>(radar->stream().lastFirstSample()) + samples / 2.0) /
               radar->parameters().SampleRate();
    }
    std::unique_ptr<Rig> rig;
    std::shared_ptr<SimRadar> radar;
};

TEST_F(ProcessingTest, FmcwRangeProfileShowsTheTargetRange) {
    dsp::SampleBlock block = Acquire(SceneWith(15.0, 0.0), 0xA024, 256);  // 1 ms, 150 MHz, 256
    dsp::FmcwRangeSettings settings;
    settings.sweepTimeMs = 1.0;
    settings.samplesPerSweep = 256;
    settings.bandwidthHz = 150e6;
    settings.iqBalancing.dcSubtract = true;
    settings.hammingWindow = true;
    const double rmax = 256 * kSpeedOfLight / (4 * 150e6);
    settings.window = {0.0, std::trunc(rmax)};
    dsp::FmcwRangeProcessor processor;
    dsp::ClutterCanceller clutter;
    const dsp::FmcwRangeResult r = processor.Process(block, settings, clutter);
    EXPECT_NEAR(r.detectedRange, 15.0, 0.6);
}

TEST_F(ProcessingTest, RangeVelocityMapShowsTheTargetAtRangeAndVelocity) {
    const double range = 30.0;
    const double velocity = -3.0;
    const int sweeps = 64;
    dsp::SampleBlock block = Acquire(SceneWith(range, velocity), 0xA010, sweeps * 128);
    dsp::RangeVelocityMapSettings settings;
    settings.sweepTimeMs = 1.0;
    settings.samplesPerSweep = 128;
    settings.sweepCount = sweeps;
    settings.bandwidthHz = 100e6;
    settings.centerFrequencyHz = 5.65e9;
    settings.iqBalancing.dcSubtract = true;
    settings.hammingWindow = true;
    const dsp::RangeVelocityGeometry g =
        dsp::MakeRangeVelocityGeometry(1.0, 128, sweeps, 100e6, 5.65e9);
    settings.rangeWindow = {0.0, static_cast<double>(g.rangeSliderMaximum)};
    settings.velocityWindow = {0.0, static_cast<double>(g.velocitySliderMaximum)};
    dsp::RangeVelocityMapProcessor processor;
    dsp::ClutterCanceller clutter;
    const dsp::RangeVelocityMapResult r = processor.Process(block, settings, clutter);
    const auto peak =
        static_cast<std::size_t>(std::max_element(r.map.begin(), r.map.end()) - r.map.begin());
    const double shownRange = static_cast<double>(peak / dsp::kMapColumns) * g.maxRange / 512.0;
    const double shownVelocity =
        -g.maxVelocity + static_cast<double>(peak % dsp::kMapColumns) * 2 * g.maxVelocity / 1024.0;
    EXPECT_NEAR(shownRange, range + velocity * MidReadTime(sweeps * 128), 0.5);
    EXPECT_NEAR(shownVelocity, velocity, 0.3);
}

TEST_F(ProcessingTest, CwSpectrumShowsTheTargetVelocityWithItsSign) {
    for (const double velocity : {5.0, -4.0}) {
        dsp::SampleBlock block = Acquire(SceneWith(10.0, velocity), 0xA003, 64 * 128);
        dsp::CwVelocitySettings settings;
        settings.sweepTimeMs = 1.0;
        settings.samplesPerSweep = 128;
        settings.sweepCount = 64;
        settings.centerFrequencyHz = 5.6e9;
        settings.hammingWindow = true;
        dsp::CwVelocityProcessor processor;
        const dsp::CwVelocityResult r = processor.Process(block, settings);
        EXPECT_NEAR(r.peakVelocity, velocity, 0.3) << velocity;
    }
}

TEST_F(ProcessingTest, FskShowsTheTargetRangeAndVelocity) {
    const double range = 10.0;
    const double velocity = 1.0;
    const int periods = 64;
    dsp::SampleBlock block = Acquire(SceneWith(range, velocity), 0xA002, periods * 128);
    dsp::FskSettings settings;
    settings.sweepTimeMs = 1.0;
    settings.samplesPerSweep = 128;
    settings.sweepCount = periods;
    settings.centerFrequencyHz = 5.6e9;
    settings.threshold = 50.0;
    const dsp::FskGeometry g = dsp::MakeFskGeometry(1.0, 128, periods, 5.6e9);
    settings.velocityWindow = {static_cast<double>(-g.velocitySliderMaximum),
                               static_cast<double>(g.velocitySliderMaximum)};
    dsp::FskProcessor processor;
    const dsp::FskResult r = processor.Process(block, settings);
    ASSERT_TRUE(r.detected);
    EXPECT_NEAR(r.velocity, velocity, 0.15);
    // Tone B is sampled half a period after tone A; the target moves in between, which the
    // two-tone method reads as range. The real radar shows the same offset.
    const double toneGapS = 64.0 / radar->parameters().SampleRate();
    const double motionOffset = kCarrierBaseHz * velocity * toneGapS / kFskStepHz;
    EXPECT_NEAR(r.range, range + velocity * MidReadTime(periods * 128) - motionOffset, 0.3);
}

}  // namespace
}  // namespace vorn::sim::test

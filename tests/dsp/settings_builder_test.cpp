// The one path from the radar's parameters and the operator's choices to each chain's
// settings, which the window and vorn-process share.
#include <gtest/gtest.h>

#include "dsp/chain_settings.h"
#include "record/sigmf.h"

namespace vorn::dsp {
namespace {

constexpr RadarParameters kRadar{2.0, 256, 150e6, 5.675e9};

// Every field off its default, so that a field left out or taken from another shows.
OperatorChoices Chosen() {
    OperatorChoices c;
    c.sweepCount = 32;
    c.clutterMode = ClutterMode::MovingAverage;
    c.clutterAverageCount = 5;
    c.iqBalancing = {false, true};
    c.hammingWindow = false;
    c.rangeWeighting = true;
    c.threshold = 12.5;
    c.rangeWindow = WindowBounds{3.0, 17.0};
    c.velocityWindow = WindowBounds{-4.0, 6.0};
    return c;
}

void ExpectBounds(const WindowBounds& got, double lower, double upper) {
    EXPECT_EQ(got.lower, lower);
    EXPECT_EQ(got.upper, upper);
}

// The fields both FMCW chains take.
template <typename Settings>
void ExpectFmcwFields(const Settings& s) {
    EXPECT_EQ(s.sweepTimeMs, 2.0);
    EXPECT_EQ(s.samplesPerSweep, 256);
    EXPECT_EQ(s.bandwidthHz, 150e6);
    EXPECT_EQ(s.clutterMode, ClutterMode::MovingAverage);
    EXPECT_EQ(s.clutterAverageCount, 5);
    EXPECT_FALSE(s.iqBalancing.dcSubtract);
    EXPECT_TRUE(s.iqBalancing.amplitudeCorrection);
    EXPECT_FALSE(s.hammingWindow);
    EXPECT_TRUE(s.rangeWeighting);
}

// The fields every chain that transforms a burst of sweeps takes.
template <typename Settings>
void ExpectBurstFields(const Settings& s) {
    EXPECT_EQ(s.sweepTimeMs, 2.0);
    EXPECT_EQ(s.samplesPerSweep, 256);
    EXPECT_EQ(s.sweepCount, 32);
    EXPECT_EQ(s.centerFrequencyHz, 5.675e9);
    EXPECT_FALSE(s.hammingWindow);
}

TEST(SettingsBuilders, EachChainTakesTheRadarsParametersAndTheChoicesItUses) {
    const OperatorChoices c = Chosen();

    const FmcwRangeSettings range = MakeFmcwRangeSettings(kRadar, c);
    ExpectFmcwFields(range);
    ExpectBounds(range.window, 3.0, 17.0);

    for (const bool profile : {false, true}) {
        const RangeVelocityMapSettings map = MakeRangeVelocityMapSettings(kRadar, c, profile);
        ExpectFmcwFields(map);
        ExpectBurstFields(map);
        ExpectBounds(map.rangeWindow, 3.0, 17.0);
        ExpectBounds(map.velocityWindow, -4.0, 6.0);
        EXPECT_EQ(map.velocityProfile, profile);
    }

    const CwVelocitySettings cw = MakeCwVelocitySettings(kRadar, c);
    const FskSettings fsk = MakeFskSettings(kRadar, c);
    ExpectBurstFields(cw);
    ExpectBurstFields(fsk);
    EXPECT_TRUE(cw.amplitudeCorrection);
    EXPECT_EQ(fsk.threshold, 12.5);
    ExpectBounds(fsk.velocityWindow, -4.0, 6.0);
}

// Without a chosen window a chain sees the whole span the sliders cover after a reset: the
// whole metres of Rmax, the whole metres per second of vmax (signed for FSK).
TEST(SettingsBuilders, AWindowLeftOpenSpansTheSlidersWholeRange) {
    struct Case {
        RadarParameters radar;
        int sweeps;
        double rangeUpper;        // trunc(Rmax)
        double mapVelocityUpper;  // trunc(vmax) of the map
        double fskVelocity;       // trunc(vmax) of FSK at the radar's parameters
    };
    const Case cases[] = {
        {{1.0, 128, 100e6, 5.65e9}, 64, 95.0, 13.0, 13.0},
        {{2.0, 256, 150e6, 5.675e9}, 32, 127.0, 6.0, 6.0},
        {{10.0, 1024, 400e6, 5.8e9}, 16, 191.0, 1.0, 1.0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.radar.samplesPerSweep);
        OperatorChoices open;
        open.sweepCount = k.sweeps;
        ExpectBounds(MakeFmcwRangeSettings(k.radar, open).window, 0.0, k.rangeUpper);
        const RangeVelocityMapSettings map = MakeRangeVelocityMapSettings(k.radar, open, false);
        ExpectBounds(map.rangeWindow, 0.0, k.rangeUpper);
        ExpectBounds(map.velocityWindow, 0.0, k.mapVelocityUpper);
        ExpectBounds(MakeFskSettings(k.radar, open).velocityWindow, -k.fskVelocity, k.fskVelocity);
    }
}

// The window takes the carrier from its operating mode, vorn-process from the header the window
// writes: both must come to the same carrier, the base for CW and FSK, the sweep's centre for
// FMCW.
TEST(SettingsBuilders, TheCarrierReadFromARecordingIsTheOneTheWindowProcessedWith) {
    const struct {
        int mode;
        double bandwidthHz;
        double carrierHz;
    } cases[] = {
        {record::kModeFmcwSawtooth, 100e6, 5.65e9},
        {record::kModeFmcwSawtooth, 400e6, 5.8e9},
        {record::kModeFsk, 150e6, 5.6e9},
        {record::kModeCw, 300e6, 5.6e9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const double window = record::CarrierHz(c.mode, record::kBaseCarrierHz + c.bandwidthHz / 2);
        EXPECT_EQ(window, c.carrierHz);
        const auto lines = record::HeaderLinesFor({c.mode, window, 1.0, 128, c.bandwidthHz});
        ASSERT_TRUE(lines);
        EXPECT_EQ(record::TransmitCarrierHz(*lines), c.carrierHz);
    }
}

}  // namespace
}  // namespace vorn::dsp

// Each mode's chain on synthetic blocks: what only this layer can show (mirror suppression,
// thresholds, windows, CFAR rules) and degenerate blocks leaving a usable result. Placed targets
// at their range and velocity are held by the window's and the tool's tests.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "dsp/cfar.h"
#include "dsp/cw_velocity.h"
#include "dsp/fmcw_range.h"
#include "dsp/fsk.h"
#include "dsp/range_velocity_map.h"
#include "tests/dsp/synthetic_signal.h"

namespace vorn::dsp {
namespace {

using testing::Target;

void ExpectUsableScale(const std::vector<double>& values) {
    for (double v : values) ASSERT_FALSE(std::isnan(v));
    const DynamicRange range = AutoDynamicRange({true, true, 50, -50}, values);
    EXPECT_EQ(range.maximum, 50);
    EXPECT_EQ(range.minimum, 0);
}

TEST(CwVelocity, TargetShowsAtItsSignedVelocityAndItsMirrorIsSuppressed) {
    CwVelocitySettings s;
    s.samplesPerSweep = 128;
    s.hammingWindow = true;
    for (const double velocity : {5.0, -3.0, 11.2}) {
        for (const int sweeps : {64, 1024}) {
            s.sweepCount = sweeps;
            s.amplitudeCorrection = sweeps == 64;
            const CwGeometry g = MakeCwGeometry(1.0, 128, sweeps, 5.6e9);
            SampleBlock block =
                testing::CwRecord({0.0, velocity, 300.0}, g.totalSamples, g.sampleRate, 5.6e9);
            if (velocity == 5.0) {  // gain and phase error between the channels
                for (Complex& z : block) {
                    const double i = z.real() - 2048.0;
                    const double q = z.imag() - 2048.0;
                    z = {2048.0 + i, 2000.0 + 1.6 * (std::sin(0.3) * i + std::cos(0.3) * q)};
                }
            }
            CwVelocityProcessor processor;
            const CwVelocityResult r = processor.Process(block, s);
            ASSERT_EQ(r.spectrum.size(), 1024u);
            EXPECT_NEAR(r.peakVelocity, velocity, 2.0 * g.velocityStep) << velocity << sweeps;
            EXPECT_EQ(r.scope.i.size(), static_cast<std::size_t>(sweeps));
            // 10 log10 of the magnitude: 20 units are 40 dB of power; uncorrected, the mirror
            // lies only about 11 dB below.
            if (velocity == 5.0 && sweeps == 1024) {
                EXPECT_GT(r.spectrum[r.peakIndex] - r.spectrum[1024 - r.peakIndex], 20.0);
            }
        }
    }
}

FmcwRangeSettings FmcwSettings(int samples, double bandwidthHz) {
    FmcwRangeSettings s;
    s.samplesPerSweep = samples;
    s.bandwidthHz = bandwidthHz;
    const FmcwRangeGeometry g = MakeFmcwRangeGeometry(1.0, samples, bandwidthHz);
    s.window = {0.0, static_cast<double>(g.sliderMaximum)};
    return s;
}

SampleBlock Sweep(const std::vector<Target>& targets, const FmcwRangeSettings& s,
                  Complex dc = {2048.0, 2048.0}) {
    return testing::FmcwBurst(targets, s.samplesPerSweep, 1, 1.0, s.bandwidthHz,
                              5.6e9 + s.bandwidthHz / 2, dc);
}

TEST(FmcwRange, WindowSelectsTheTarget) {
    FmcwRangeSettings s = FmcwSettings(256, 150e6);
    s.iqBalancing.dcSubtract = true;
    const std::vector<Target> targets = {{30.0, 0.0, 500.0}, {80.0, 0.0, 20.0}};
    FmcwRangeProcessor processor;
    ClutterCanceller clutter;
    SampleBlock block = Sweep(targets, s);
    EXPECT_NEAR(processor.Process(block, s, clutter).detectedRange, 30.0, 0.5);
    s.window = {60.0, 100.0};
    block = Sweep(targets, s);
    const FmcwRangeResult r = processor.Process(block, s, clutter);
    EXPECT_TRUE(r.windowActive);
    EXPECT_NEAR(r.detectedRange, 80.0, 0.5);
}

FskSettings Fsk(int sweeps) {
    FskSettings s;
    s.samplesPerSweep = 128;
    s.sweepCount = sweeps;
    s.threshold = 0.0;
    const double limit = MakeFskGeometry(1.0, 128, sweeps, 5.6e9).velocitySliderMaximum;
    s.velocityWindow = {-limit, limit};
    return s;
}

TEST(Fsk, TargetGivesRangeAndVelocityAboveTheThreshold) {
    for (const bool hamming : {false, true}) {
        for (const Target target : {Target{10.0, 4.0, 100.0}, Target{21.5, -7.5, 100.0}}) {
            FskSettings s = Fsk(64);
            s.hammingWindow = hamming;
            FskProcessor processor;
            const FskResult r =
                processor.Process(testing::FskBurst({target}, 128, 64, 1.0, 5.6e9), s);
            ASSERT_TRUE(r.detected);
            EXPECT_NEAR(r.range, target.range, 1e-6);
            EXPECT_NEAR(r.velocity, target.velocity, 4.0 * r.geometry.maxVelocity / 1023.0);
            EXPECT_EQ(r.rangeTrackRow[*FskRangeMarkIndex(target.range)], 1.0);
            EXPECT_EQ(r.scope.i.size(), 128u);
        }
    }
    FskSettings s = Fsk(64);
    FskProcessor processor;
    const SampleBlock block = testing::FskBurst({{10.0, 4.0, 100.0}}, 128, 64, 1.0, 5.6e9);
    s.threshold = processor.Process(block, s).peakLevel;
    const FskResult below = processor.Process(block, s);
    EXPECT_FALSE(below.detected);
    EXPECT_EQ(below.range, 0.0);
    EXPECT_EQ(below.rangeTrackRow[0], 1.0);
}

TEST(Fsk, RangeMarkStaysInsideItsRow) {
    EXPECT_NEAR(FskRangeFromPhases(0.0, kPi / 2), 0.75 * kFskMaxRange, 1e-9);
    EXPECT_EQ(FskRangeMarkIndex(kFskMaxRange), 1023u);  // a wrap that rounds up to 2 pi
    EXPECT_EQ(FskRangeMarkIndex(1e9), 1023u);
    EXPECT_EQ(FskRangeMarkIndex(-3.0), 0u);
    EXPECT_FALSE(FskRangeMarkIndex(std::nan("")).has_value());
    EXPECT_EQ(FskRangeTrackRow(std::nan("")), std::vector<double>(1024, 0.0));
}

RangeVelocityMapSettings MapSettings(int sweeps) {
    RangeVelocityMapSettings s;
    s.samplesPerSweep = 128;
    s.sweepCount = sweeps;
    s.iqBalancing.dcSubtract = true;
    const RangeVelocityGeometry g = MakeRangeVelocityGeometry(1.0, 128, sweeps, 100e6, 5.65e9);
    s.rangeWindow = {0.0, static_cast<double>(g.rangeSliderMaximum)};
    s.velocityWindow = {0.0, static_cast<double>(g.velocitySliderMaximum)};
    return s;
}

// Silent, short, empty and oversized blocks, every conditioning on: each chain keeps its
// result's shape and leaves a scale the automatic dynamic range can use.
TEST(Chains, DegenerateBlocksLeaveAUsableResult) {
    FmcwRangeSettings fmcw = FmcwSettings(128, 100e6);
    fmcw.iqBalancing = {true, true};
    fmcw.hammingWindow = fmcw.rangeWeighting = true;
    RangeVelocityMapSettings map = MapSettings(64);
    map.iqBalancing = {true, true};
    map.hammingWindow = map.rangeWeighting = map.velocityProfile = true;
    map.clutterMode = ClutterMode::MovingAverage;
    CwVelocitySettings cw;
    cw.samplesPerSweep = 128;
    cw.sweepCount = 64;
    cw.hammingWindow = true;
    FskSettings fsk = Fsk(64);
    fsk.hammingWindow = true;
    FmcwRangeProcessor fmcwChain;
    RangeVelocityMapProcessor mapChain;
    CwVelocityProcessor cwChain;
    FskProcessor fskChain;
    ClutterCanceller clutter;
    for (const std::size_t length : {8192u, 1000u, 40u, 0u}) {
        SCOPED_TRACE(length);
        const SampleBlock silent(length, Complex(length == 8192 ? 0.0 : 1.0, 2.0));
        SampleBlock block = silent;
        const FmcwRangeResult range = fmcwChain.Process(block, fmcw, clutter);
        ASSERT_EQ(range.profile.size(), kRangeBins);
        block = silent;
        const RangeVelocityMapResult rv = mapChain.Process(block, map, clutter);
        ASSERT_EQ(rv.map.size(), kMapRows * kMapColumns);
        ASSERT_EQ(rv.velocityProfile.size(), kMapColumns);
        block = silent;
        const CwVelocityResult velocity = cwChain.Process(block, cw);
        ASSERT_EQ(velocity.spectrum.size(), 1024u);
        block = silent;
        const FskResult twoTone = fskChain.Process(block, fsk);
        ASSERT_EQ(twoTone.spectrum.size(), 1024u);
        if (length == 8192) {
            EXPECT_FALSE(twoTone.detected);
            EXPECT_EQ(range.peakBin, 0u);
            for (const auto* values : {&range.profile, &rv.map, &rv.velocityProfile,
                                       &velocity.spectrum, &twoTone.spectrum})
                ExpectUsableScale(*values);
        }
    }
    fsk.sweepCount = 5000;  // more periods than a Doppler transform holds
    SampleBlock block(300);
    EXPECT_EQ(fskChain.Process(block, fsk).spectrum.size(), 1024u);
}

// CFAR on noise maps in dB (exponential power, mean 1) with planted targets. Each case
// breaks one rule of the detector if it is broken: edges, grouping, zero cells, strongest
// first.
std::vector<double> NoiseDb(std::size_t cells, unsigned seed) {
    std::mt19937 rng(seed);
    std::exponential_distribution<double> power(1.0);
    std::vector<double> db(cells);
    for (double& v : db) v = 10.0 * std::log10(power(rng));
    return db;
}

TEST(Cfar, MapFindsEachTargetOnceAtItsStrongestCell) {
    struct Planted {
        std::size_t row, column;
    };
    const struct {
        const char* name;
        std::vector<Planted> targets;
        bool zeroEveryOtherColumn;  // as windows and DC removal leave them, -inf dB
    } cases[] = {
        {"two apart", {{100, 300}, {300, 700}}, false},
        {"at the corners", {{0, 0}, {512, 1023}}, false},
        {"zero columns", {{200, 500}}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<double> map = NoiseDb(kMapRows * kMapColumns, 7);
        if (c.zeroEveryOtherColumn) {
            for (std::size_t k = 0; k < map.size(); k += 2) map[k] = -INFINITY;
        }
        double level = 40.0;
        for (const Planted& t : c.targets) {
            // A 3 x 3 lobe, peak in the middle: one detection, not nine.
            for (int dr = -1; dr <= 1; ++dr)
                for (int dc = -1; dc <= 1; ++dc) {
                    const long r = static_cast<long>(t.row) + dr;
                    const long col = static_cast<long>(t.column) + dc;
                    if (r >= 0 && r < long(kMapRows) && col >= 0 && col < long(kMapColumns))
                        map[r * kMapColumns + col] = level - 3.0 * (dr != 0 || dc != 0);
                }
            map[t.row * kMapColumns + t.column] = level;
            level -= 10.0;
        }
        const std::vector<CfarDetection> found =
            DetectMap(map.data(), nullptr, kMapRows, kMapColumns, 128, 64, CfarSettings{});
        ASSERT_EQ(found.size(), c.targets.size());
        for (std::size_t k = 0; k < found.size(); ++k) {  // strongest first
            EXPECT_EQ(found[k].row, c.targets[k].row);
            EXPECT_EQ(found[k].column, c.targets[k].column);
            EXPECT_DOUBLE_EQ(found[k].level, 40.0 - 10.0 * k);
        }
    }
}

// The training sums come from summed-area tables built a few rows ahead of the scan: every
// cell's ratio must still be its power over the mean of the nonzero cells of its clipped
// training box, counted out directly, at every edge, on maps taller and shorter than the
// tables' ring, from the map's powers and from its decibels alike.
TEST(Cfar, EveryRatioIsItsTrainingBoxCountedOut) {
    const CfarSettings settings{1e-6, {2, 3}, {1, 4}};
    for (const auto& [rows, columns] : {std::pair{37, 53}, std::pair{6, 40}}) {
        std::vector<double> db = NoiseDb(std::size_t(rows) * columns, 11);
        for (std::size_t k = 0; k < db.size(); k += 7) db[k] = -INFINITY;  // zero cells
        std::vector<double> power(db.size());
        for (std::size_t k = 0; k < db.size(); ++k) power[k] = std::pow(10.0, db[k] / 10.0);
        const std::vector<double> fromPower = CfarMapRatios(
            db.data(), power.data(), std::size_t(rows), std::size_t(columns), 128, 64, settings);
        const std::vector<double> fromDb = CfarMapRatios(db.data(), nullptr, std::size_t(rows),
                                                         std::size_t(columns), 128, 64, settings);
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                double sum = 0.0;
                int n = 0;
                for (int i = std::max(0, r - 5); i <= std::min(rows - 1, r + 5); ++i) {
                    for (int j = std::max(0, c - 5); j <= std::min(columns - 1, c + 5); ++j) {
                        const double p = power[std::size_t(i) * columns + j];
                        if ((std::abs(i - r) <= 2 && std::abs(j - c) <= 1) || p <= 0.0) continue;
                        sum += p;
                        ++n;
                    }
                }
                const double p = power[std::size_t(r) * columns + c];
                const double expected = p > 0.0 && n > 0 && sum > 0.0 ? p * n / sum : 0.0;
                const std::size_t at = std::size_t(r) * columns + c;
                ASSERT_NEAR(fromPower[at], expected, 1e-9 * (1.0 + expected))
                    << rows << " rows, cell " << r << ", " << c;
                ASSERT_NEAR(fromDb[at], expected, 1e-6 * (1.0 + expected))
                    << rows << " rows, cell " << r << ", " << c;
            }
        }
    }
}

}  // namespace
}  // namespace vorn::dsp

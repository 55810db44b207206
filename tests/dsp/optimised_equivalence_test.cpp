// The optimised chains against straightforward ones: vectorised decibels against std::log10,
// the fused decimation against stage-by-stage buffers, the range-velocity map that keeps its
// plans and buffers from tick to tick against one made afresh for each tick, and the automatic
// colour-scale limits against their running sum truncated step by step.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "dsp/conditioning.h"
#include "dsp/decibels.h"
#include "dsp/range_velocity_map.h"
#include "dsp/scales.h"

namespace vorn::dsp {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

double ReferenceDb(const Complex& z) {
    return 10.0 * std::log10(z.real() * z.real() + z.imag() * z.imag());
}

// Special values must come out exactly as log10 gives them; finite ones within rounding.
void ExpectLikeLog10(const std::vector<double>& out, const std::vector<double>& expected,
                     const char* name) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (std::isnan(expected[i])) {
            ASSERT_TRUE(std::isnan(out[i])) << name << " " << i;
        } else if (!std::isfinite(expected[i])) {
            ASSERT_EQ(out[i], expected[i]) << name << " " << i;
        } else {
            ASSERT_NEAR(out[i], expected[i], 1e-9) << name << " " << i;
        }
    }
}

TEST(PowerDbInto, MatchesLog10AcrossScalesSplitPointsAndSpecialValues) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-500, 500);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double tiny = std::numeric_limits<double>::denorm_min();
    std::vector<Complex> in = {{0.0, 0.0},  {-0.0, 0.0}, {kInf, 0.0},   {0.0, -kInf},
                               {nan, 1.0},  {1.0, nan},  {nan, kInf},   {1e200, 1e200},
                               {tiny, 0.0}, {1e-160, 0}, {1e-155, 0.0}, {3.0, 4.0}};
    for (double m = 0.70; m < 1.45; m += 1e-4) in.emplace_back(std::sqrt(m), 0.0);
    for (int e = -1022; e <= 1023; ++e) in.emplace_back(std::sqrt(std::ldexp(1.0, e)), 0.0);
    for (int i = 0; i < 100001; ++i) {  // odd total: the scalar tail runs too
        in.emplace_back(std::ldexp(mantissa(rng), exponent(rng)),
                        std::ldexp(mantissa(rng), exponent(rng)));
    }
    std::vector<double> out(in.size());
    std::vector<double> expected(in.size());
    PowerDbInto(in.data(), out.data(), in.size());
    for (std::size_t i = 0; i < in.size(); ++i) expected[i] = ReferenceDb(in[i]);
    ExpectLikeLog10(out, expected, "plain");
    EXPECT_EQ(out[0], -kInf);
    EXPECT_EQ(out[2], kInf);

    std::normal_distribution<double> value(0.0, 1e3);
    std::vector<Complex> gains(4099);
    in.resize(gains.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        in[i] = {value(rng), value(rng)};
        gains[i] = {value(rng) * 1e-3, value(rng) * 1e-3};
    }
    // Infinite operands, where the product takes the library's careful path, and NaN.
    in[10] = in[11] = {kInf, kInf};
    gains[10] = {1.0, 0.0};
    gains[11] = {2.0, -1.0};
    in[12] = {nan, 1.0};
    in[13] = {0.0, 0.0};
    gains[4098] = {kInf, 1.0};
    out.resize(in.size());
    expected.resize(in.size());
    std::vector<double> sums(in.size(), 1.0);
    std::vector<double> powers(in.size());
    PowerDbInto(in.data(), gains.data(), out.data(), in.size(), sums.data(), powers.data());
    for (std::size_t i = 0; i < in.size(); ++i) expected[i] = ReferenceDb(in[i] * gains[i]);
    ExpectLikeLog10(out, expected, "with gains");
    EXPECT_EQ(out[10], kInf);
    EXPECT_EQ(out[13], -kInf);
    // The powers are added to the running sums, each at its own index.
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (!std::isfinite(expected[i])) continue;
        ASSERT_NEAR(sums[i], 1.0 + std::norm(in[i] * gains[i]), 1e-12 * sums[i]) << i;
        ASSERT_EQ(sums[i], 1.0 + powers[i]) << i;  // the very powers that were added
    }
    EXPECT_EQ(sums[13], 1.0);
}

// DecimateBlock as first written: a fresh work buffer per stage, the running sum, the mean
// removed by SubtractDcOffset, the even values kept.
SampleBlock ReferenceDecimate(SampleBlock current, int factor) {
    const int stages = static_cast<int>(std::floor(std::log(factor) / std::log(2.0) + 0.5));
    for (int stage = 0; stage < stages; ++stage) {
        const std::size_t length = current.size();
        SampleBlock work(length);
        if (stage > 0) {
            for (std::size_t i = 0; i < std::min<std::size_t>(2, length); ++i) work[i] = current[i];
        }
        for (std::size_t i = 2; i < length; ++i)
            work[i] = work[i - 1] + current[i] - current[i - 2];
        SubtractDcOffset(work, length, 1);
        SampleBlock next(length / 2);
        for (std::size_t i = 0; i < next.size(); ++i) next[i] = work[2 * i];
        current = std::move(next);
    }
    return current;
}

TEST(Decimation, BitForBitTheStageByStageResult) {
    std::mt19937_64 rng(5);
    std::uniform_int_distribution<int> counts(0, 4095);
    std::normal_distribution<double> noise(0.0, 300.0);
    for (const std::size_t length : {0u, 1u, 2u, 3u, 4u, 5u, 7u, 130u, 1023u, 8192u, 131072u}) {
        for (const bool integers : {true, false}) {
            SampleBlock block(length);
            for (Complex& z : block) {
                z = integers ? Complex(counts(rng), counts(rng))
                             : Complex(2048.0 + noise(rng), 2048.0 + noise(rng));
            }
            for (const int factor : {1, 2, 8, 128}) {
                SampleBlock fast = block;
                DecimateBlock(fast, factor);
                ASSERT_EQ(fast, ReferenceDecimate(block, factor))
                    << "length " << length << " factor " << factor;
            }
        }
    }
    // Too large for exact reordering at this length: must still equal the running sum.
    SampleBlock large(4096);
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = {std::ldexp(1.0, 45) + static_cast<double>(i % 7), static_cast<double>(i % 5)};
    }
    SampleBlock fast = large;
    DecimateBlock(fast, 4);
    EXPECT_EQ(fast, ReferenceDecimate(large, 4));
}

TEST(RangeVelocityMapEquivalence, SameMapTickAfterTickAcrossShapeChanges) {
    std::mt19937_64 rng(3);
    std::uniform_int_distribution<int> counts(0, 4095);
    RangeVelocityMapProcessor processor;
    ClutterCanceller clutter;
    struct Tick {
        int samples;
        int sweeps;
        bool shortRead;
        bool windows;
    };
    // Longer sweeps, then shorter ones, a short read and fewer sweeps: no padding written by
    // an earlier tick may survive into a later one.
    const Tick ticks[] = {{128, 64, false, false}, {256, 64, false, true}, {128, 64, false, true},
                          {128, 64, true, false},  {128, 32, false, true}, {64, 64, false, false},
                          {1024, 16, false, true}, {128, 64, false, false}};
    for (const Tick& t : ticks) {
        RangeVelocityMapSettings s;
        s.samplesPerSweep = t.samples;
        s.sweepCount = t.sweeps;
        s.iqBalancing = {true, false};
        s.hammingWindow = true;
        s.rangeWeighting = t.windows;
        const RangeVelocityGeometry g = MakeRangeVelocityGeometry(
            s.sweepTimeMs, t.samples, t.sweeps, s.bandwidthHz, s.centerFrequencyHz);
        s.rangeWindow = t.windows ? WindowBounds{2.0, g.maxRange * 0.6}
                                  : WindowBounds{0.0, std::trunc(g.maxRange)};
        s.velocityWindow = t.windows ? WindowBounds{1.0, g.maxVelocity * 0.5}
                                     : WindowBounds{0.0, std::trunc(g.maxVelocity)};
        SampleBlock block(static_cast<std::size_t>(t.samples) * t.sweeps);
        if (t.shortRead) block.resize(block.size() / 3);
        for (Complex& z : block)
            z = {static_cast<double>(counts(rng)), static_cast<double>(counts(rng))};
        // A processor of its own for this tick: fresh buffers, plans and weights.
        SampleBlock fresh = block;
        s.velocityProfile = t.windows;
        RangeVelocityMapProcessor once;
        ClutterCanceller onceClutter;
        const RangeVelocityMapResult expected = once.Process(fresh, s, onceClutter);
        const RangeVelocityMapResult r = processor.Process(block, s, clutter);
        ASSERT_EQ(r.map, expected.map);
        ASSERT_EQ(r.velocityProfile, expected.velocityProfile);
        ASSERT_EQ(r.velocityProfile.size(), t.windows ? 1024u : 0u);
    }
}

// The colour scale's limits as first written: a plain maximum and a running sum truncated to
// an integer after every finite value.
int ReferenceMaximum(const std::vector<double>& values, int fallback) {
    bool found = false;
    double largest = 0.0;
    for (const double v : values) {
        if (std::isfinite(v) && (!found || v > largest)) {
            largest = v;
            found = true;
        }
    }
    return found ? TruncateToInt(largest) : fallback;
}

// The running sum and the count of finite values, as first written.
std::pair<int, int> ReferenceSum(const std::vector<double>& values) {
    int sum = 0;
    int finite = 0;
    for (const double v : values) {
        if (!std::isfinite(v)) continue;
        sum = TruncateToInt(static_cast<double>(sum) + v);
        ++finite;
    }
    return {sum, finite};
}

int ReferenceMean(const std::vector<double>& values) {
    const auto [sum, finite] = ReferenceSum(values);
    return finite > 0 ? sum / finite : 0;
}

TEST(AutoLimits, SameAsTheStepByStepSumNearIntegersAndAtLargeValues) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const double scales[] = {1.0, 60.0, 3e6, 3e9};
    for (int trial = 0; trial < 400; ++trial) {
        // Short runs of small values too: their sum keeps crossing zero, where truncation
        // turns, and one step's error moves the mean.
        const bool shortRun = trial % 2 == 1;
        std::vector<double> values(shortRun ? 1 + rng() % 12 : rng() % 2000);
        const double scale = shortRun ? 1.5 : scales[trial / 2 % 4];
        for (double& v : values) {
            // Long runs drift down, up or nowhere: sums far from zero add up by blocks.
            v = unit(rng) * scale + (shortRun ? 0.0 : 40.0 * (trial % 3 - 1));
            switch (rng() % 40) {
                case 0:
                    v = std::nan("");
                    break;
                case 1:
                    v = -kInf;
                    break;
                case 2:
                    v = std::round(v);
                    break;
                // Just off an integer, where the double sum rounds onto it.
                case 3:
                    v = std::round(v) + 1e-13;
                    break;
                case 4:
                    v = std::round(v) - 1e-13;
                    break;
                case 5:
                    v = std::round(v) + 1e-8;
                    break;
                default:
                    break;
            }
        }
        ASSERT_EQ(AutoMean(values.data(), values.size()), ReferenceMean(values)) << trial;
        ASSERT_EQ(AutoMaximum(values.data(), values.size(), 7), ReferenceMaximum(values, 7))
            << trial;
        // Both rules at once take one pass over the values.
        const DynamicRange both = AutoDynamicRange(DynamicRangeControls{}, values);
        ASSERT_EQ(both.maximum, ReferenceMaximum(values, 50)) << trial;
        ASSERT_EQ(both.minimum, ReferenceMean(values)) << trial;
    }
}

// A decibel map's blocks: 256 values, a few on or just off an integer, negative, minus
// infinity or NaN. A negative value may turn the sum's truncation where the sum is small.
// The last value steers the reference sum to one below a multiple of the count, or onto one,
// so that a sum off by one either way moves the mean.
TEST(AutoLimits, WholeBlocksOfPlainValuesAddWhatTheStepsAdd) {
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> level(0.0, 100.0);
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<double> values(1023);
        for (double& v : values) {
            v = level(rng);
            switch (rng() % 2048) {
                case 0:
                    v = std::round(v);
                    break;
                case 1:
                    v = std::round(v) - 1e-13;  // the double sum rounds up onto the integer
                    break;
                case 2:
                    v = std::round(v) + 1e-8;
                    break;
                case 3:
                    v = -kInf;  // a zero power: counts for nothing
                    break;
                case 4:
                    v = std::nan("");
                    break;
                case 5:
                case 6:
                    v = -v;  // the map's zero-velocity column after DC removal: far below 0 dB
                    break;
                default:
                    break;
            }
        }
        if (trial % 7 == 0) values[0] = -0.25;  // truncates to 0 where the floor gives -1
        // A sum driven negative by the first block, which the next one brings back past zero.
        if (trial % 3 == 1) {
            for (std::size_t k = 0; k < 256; ++k) values[k] = -std::fabs(values[k]);
        }
        const auto [sum, finite] = ReferenceSum(values);
        const int count = finite + 1;
        const int residue = trial % 2 == 0 ? count - 1 : 0;
        values.push_back(static_cast<double>(((residue - sum) % count + count) % count));
        ASSERT_EQ(ReferenceSum(values).first % count, residue) << trial;
        ASSERT_EQ(AutoMean(values.data(), values.size()), ReferenceMean(values)) << trial;
        const DynamicRange both = AutoDynamicRange(DynamicRangeControls{}, values);
        ASSERT_EQ(both.maximum, ReferenceMaximum(values, 50)) << trial;
        ASSERT_EQ(both.minimum, ReferenceMean(values)) << trial;
    }
    // A block that takes a sum of 2^27 below zero and then meets a value just above an
    // integer: at that size the double sum drops the excess, and the truncated step lands one
    // short of the ceiling that the integer chain would add.
    std::vector<double> crossing(511, 0.0);
    std::fill_n(crossing.begin(), 128, 1048575.0);
    std::fill_n(crossing.begin() + 256, 200, -1048575.0);
    crossing[456] = 3.0 + 0x1p-30;
    const auto [sum, finite] = ReferenceSum(crossing);
    const int count = finite + 1;
    crossing.push_back(static_cast<double>(((-sum) % count + count) % count));
    EXPECT_EQ(AutoMean(crossing.data(), crossing.size()), ReferenceMean(crossing));
}

}  // namespace
}  // namespace vorn::dsp

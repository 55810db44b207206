#include "dsp/scales.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace vorn::dsp {
namespace {

std::size_t TruncIndex(double value, std::size_t limit) {
    if (!(value > 0.0)) return 0;
    if (value >= static_cast<double>(limit)) return limit;
    return static_cast<std::size_t>(value);
}

}  // namespace

int TruncateToInt(double value) {
    constexpr double kMax = static_cast<double>(std::numeric_limits<int>::max());
    constexpr double kMin = static_cast<double>(std::numeric_limits<int>::min());
    if (std::isnan(value)) return 0;
    if (value >= kMax) return std::numeric_limits<int>::max();
    if (value <= kMin) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

std::int64_t TimeoutMs(double milliseconds) {
    if (!(milliseconds > 0.0)) return 0;
    return static_cast<std::int64_t>(std::min(milliseconds, 1e12));
}

double PowerDb(const Complex& value) {
    const double re = value.real();
    const double im = value.imag();
    return 10.0 * std::log10(re * re + im * im);
}

double MagnitudeDb(const Complex& value) {
    const double re = value.real();
    const double im = value.imag();
    return 10.0 * std::log10(std::sqrt(re * re + im * im));
}

namespace {

// The first index whose value no later value in [first, end) beats by `better`.
template <class Better>
std::size_t FirstBestIndex(const std::vector<double>& values, std::size_t first, std::size_t end,
                           Better better) {
    if (values.empty()) return 0;
    end = std::min(end, values.size());
    first = std::min(first, values.size() - 1);
    std::size_t best = first;
    for (std::size_t i = first + 1; i < end; ++i) {
        if (better(values[i], values[best])) best = i;
    }
    return best;
}

}  // namespace

std::size_t FirstMaximumIndex(const std::vector<double>& values, std::size_t first,
                              std::size_t end) {
    return FirstBestIndex(values, first, end, [](double a, double b) { return a > b; });
}

std::size_t FirstMinimumIndex(const std::vector<double>& values, std::size_t first,
                              std::size_t end) {
    return FirstBestIndex(values, first, end, [](double a, double b) { return a < b; });
}

namespace {
// The largest finite value, minus infinity for none. It does not depend on the order it is
// looked for in, so four running maxima let the compiler vectorise.
double LargestFinite(const double* values, std::size_t count) {
    constexpr double kNone = -std::numeric_limits<double>::infinity();
    constexpr double kLargest = std::numeric_limits<double>::max();
    double largest[4] = {kNone, kNone, kNone, kNone};
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        for (std::size_t k = 0; k < 4; ++k) {
            const double v = values[i + k];
            largest[k] = std::fabs(v) <= kLargest && v > largest[k] ? v : largest[k];
        }
    }
    for (; i < count; ++i) {
        const double v = values[i];
        largest[0] = std::fabs(v) <= kLargest && v > largest[0] ? v : largest[0];
    }
    return std::max(std::max(largest[0], largest[1]), std::max(largest[2], largest[3]));
}

int MaximumRule(double largest, int fallback) {
    return largest > -std::numeric_limits<double>::infinity() ? TruncateToInt(largest) : fallback;
}
}  // namespace

int AutoMaximum(const double* values, std::size_t count, int fallback) {
    return MaximumRule(LargestFinite(values, count), fallback);
}

namespace {

typedef double V4d __attribute__((vector_size(32)));
typedef std::int64_t V4l __attribute__((vector_size(32)));

// The running mean's reference form: each step truncates the running sum toward zero.
void AddTruncating(const double* values, std::size_t count, int& sum, int& finite) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) continue;
        sum = TruncateToInt(static_cast<double>(sum) + values[i]);
        if (finite < std::numeric_limits<int>::max()) ++finite;
    }
}

// What the running mean needs of one block of values: the sums of their floors and ceilings,
// of the negative floors and of the positive ceilings, the count and the largest of the finite
// ones, and whether any finite value lies 2^20 or more from zero, within 2^-20 below an
// integer or within 2^-20 above one (where a double sum could round onto the integer). The
// floors come from the round-to-nearest trick (exact below 2^51); infinities and NaN count for
// nothing, as in the steps. Branch-free and built for AVX2 too, so that it vectorises.
struct BlockSums {
    double floorSum = 0.0;
    double floorDrop = 0.0;  // the negative floors alone
    double ceilSum = 0.0;
    double ceilRise = 0.0;  // the positive ceilings alone
    int present = 0;
    double largest = -std::numeric_limits<double>::infinity();
    bool wide = false;
    bool justBelow = false;
    bool justAbove = false;
};

// Which of the sums a pass works out: where the running sum is not negative only the floor
// branch can add a block whole, where it is negative only the ceiling branch; a block neither
// can add takes the pass that gives everything.
enum class Sums { kFloors, kCeilings, kAll };

template <Sums kWhich>
__attribute__((always_inline)) inline void SumBody(const double* v, std::size_t n, BlockSums& out) {
    constexpr bool kFloors = kWhich != Sums::kCeilings;
    constexpr bool kCeilings = kWhich != Sums::kFloors;
    constexpr double kValueLimit = 1048576.0;           // 2^20
    constexpr double kNearInteger = 1.0 / 1048576.0;    // 2^-20
    constexpr double kRoundMagic = 6755399441055744.0;  // 1.5 * 2^52
    constexpr double kLargest = std::numeric_limits<double>::max();
    constexpr double kNone = -std::numeric_limits<double>::infinity();
    const V4d zero = {0.0, 0.0, 0.0, 0.0};
    const V4d one = {1.0, 1.0, 1.0, 1.0};
    V4d floors = zero;
    V4d drops = zero;
    V4d ceils = zero;
    V4d rises = zero;
    V4d most = {kNone, kNone, kNone, kNone};
    V4l counted = {0, 0, 0, 0};
    V4l wide = {0, 0, 0, 0};
    V4l below = {0, 0, 0, 0};
    V4l above = {0, 0, 0, 0};
    std::size_t k = 0;
    for (; k + 4 <= n; k += 4) {
        V4d x;
        std::memcpy(&x, v + k, sizeof x);
        const V4l finite = (x <= kLargest) & (x >= -kLargest);       // NaN and infinities fail
        const V4l inRange = (x > -kValueLimit) & (x < kValueLimit);  // and these too
        const V4d held = inRange != 0 ? x : zero;
        const V4d nearest = (held + kRoundMagic) - kRoundMagic;
        const V4d down = nearest - (nearest > held ? one : zero);
        const V4d fraction = held - down;
        wide |= finite & ~inRange;
        counted -= inRange;
        most = (finite != 0) & (x > most) ? x : most;
        if constexpr (kFloors) {
            below |= fraction > 1.0 - kNearInteger;
            floors += down;
            drops += down < zero ? down : zero;
        }
        if constexpr (kCeilings) {
            const V4d up = down + (fraction != zero ? one : zero);
            above |= (fraction > zero) & (fraction < kNearInteger);
            ceils += up;
            rises += up > zero ? up : zero;
        }
    }
    out = BlockSums();
    out.floorSum = (floors[0] + floors[1]) + (floors[2] + floors[3]);
    out.floorDrop = (drops[0] + drops[1]) + (drops[2] + drops[3]);
    out.ceilSum = (ceils[0] + ceils[1]) + (ceils[2] + ceils[3]);
    out.ceilRise = (rises[0] + rises[1]) + (rises[2] + rises[3]);
    out.present = static_cast<int>((counted[0] + counted[1]) + (counted[2] + counted[3]));
    out.largest = std::max(std::max(most[0], most[1]), std::max(most[2], most[3]));
    out.wide = (wide[0] | wide[1] | wide[2] | wide[3]) != 0;
    out.justBelow = (below[0] | below[1] | below[2] | below[3]) != 0;
    out.justAbove = (above[0] | above[1] | above[2] | above[3]) != 0;
    for (; k < n; ++k) {
        const double x = v[k];
        if (!(std::fabs(x) <= kLargest)) continue;
        out.largest = std::max(out.largest, x);
        if (!(std::fabs(x) < kValueLimit)) {
            out.wide = true;
            continue;
        }
        const double down = std::floor(x);
        const double fraction = x - down;
        const double up = fraction != 0.0 ? down + 1.0 : down;
        ++out.present;
        if constexpr (kFloors) {
            out.justBelow |= fraction > 1.0 - kNearInteger;
            out.floorSum += down;
            out.floorDrop += std::min(down, 0.0);
        }
        if constexpr (kCeilings) {
            out.justAbove |= fraction > 0.0 && fraction < kNearInteger;
            out.ceilSum += up;
            out.ceilRise += std::max(up, 0.0);
        }
    }
}

__attribute__((target_clones("avx2", "default"))) void SumBlock(const double* v, std::size_t n,
                                                                BlockSums& out) {
    SumBody<Sums::kAll>(v, n, out);
}
__attribute__((target_clones("avx2", "default"))) void SumFloors(const double* v, std::size_t n,
                                                                 BlockSums& out) {
    SumBody<Sums::kFloors>(v, n, out);
}
__attribute__((target_clones("avx2", "default"))) void SumCeilings(const double* v, std::size_t n,
                                                                   BlockSums& out) {
    SumBody<Sums::kCeilings>(v, n, out);
}

// The chain s -> s + floor(v) where that is >= 0, s + ceil(v) where not, value by value.
int StepBlock(const double* v, std::size_t n, int s) {
    for (std::size_t k = 0; k < n; ++k) {
        if (!std::isfinite(v[k])) continue;
        const double down = std::floor(v[k]);
        const int t = s + static_cast<int>(down);
        s = t >= 0 ? t : s + static_cast<int>(down == v[k] ? down : down + 1.0);
    }
    return s;
}

// AutoMean, and where `largest` is not null the largest finite value too, in the same pass.
int Mean(const double* values, std::size_t count, double* largest) {
    // trunc(s + v) for an integer s is s + floor(v) when that is >= 0 and s + ceil(v) when
    // not, so the serial chain is integer additions instead of a double round trip per value.
    // That holds for the double sum too while its rounding cannot reach an integer: |s| and
    // |v| well inside 2^30, and v not just below an integer where the floor is taken nor just
    // above one where the ceiling is. Where the sum cannot change sign in a block, every step
    // takes the same branch and the block adds up in any order: from s >= 0 the negative
    // floors alone cannot take it below zero; from s < 0 the positive ceilings cannot bring
    // it to zero (nor so a step's s + floor, floor <= ceil). Blocks that may cross zero run
    // the chain step by step; blocks with any other value take the reference loop.
    constexpr std::size_t kBlock = 256;
    constexpr int kSumLimit = 536870912;  // 2^29
    int sum = 0;
    int finite = 0;
    for (std::size_t start = 0; start < count; start += kBlock) {
        const std::size_t n = std::min(kBlock, count - start);
        const double* v = values + start;
        BlockSums b;
        (sum >= 0 ? SumFloors : SumCeilings)(v, n, b);
        if (largest != nullptr) *largest = std::max(*largest, b.largest);
        const bool steady = !b.wide && sum < kSumLimit && sum > -kSumLimit &&
                            finite <= std::numeric_limits<int>::max() - static_cast<int>(kBlock);
        const double s = static_cast<double>(sum);
        const bool floorsAdd = steady && !b.justBelow && sum >= 0 && s + b.floorDrop >= 0.0;
        const bool ceilingsAdd = steady && !b.justAbove && sum < 0 && s + b.ceilRise < 0.0;
        // The branch the sign allows cannot take the block whole: it needs every sum.
        if (!floorsAdd && !ceilingsAdd) SumBlock(v, n, b);
        if (floorsAdd) {
            sum += static_cast<int>(b.floorSum);  // integers below 2^28, exactly
        } else if (ceilingsAdd) {
            sum += static_cast<int>(b.ceilSum);
        } else if (steady && !b.justBelow && !b.justAbove) {
            sum = StepBlock(v, n, sum);
        } else {
            AddTruncating(v, n, sum, finite);
            continue;
        }
        finite += b.present;
    }
    return finite > 0 ? sum / finite : 0;
}
}  // namespace

int AutoMean(const double* values, std::size_t count) {
    return Mean(values, count, nullptr);
}

DynamicRange AutoDynamicRange(const DynamicRangeControls& controls, const double* values,
                              std::size_t size, std::size_t maxCount, std::size_t minCount) {
    DynamicRange range{controls.sliderMaximum, controls.sliderMinimum};
    if (controls.autoMaximum && controls.autoMinimum && maxCount == minCount) {
        // Both over the same values: one pass (a map is half a million of them).
        double largest = -std::numeric_limits<double>::infinity();
        range.minimum = Mean(values, std::min(minCount, size), &largest);
        range.maximum = MaximumRule(largest, controls.sliderMaximum);
        return range;
    }
    if (controls.autoMaximum) {
        range.maximum = AutoMaximum(values, std::min(maxCount, size), controls.sliderMaximum);
    }
    if (controls.autoMinimum) range.minimum = AutoMean(values, std::min(minCount, size));
    return range;
}

DynamicRange AutoDynamicRange(const DynamicRangeControls& controls,
                              const std::vector<double>& values, std::size_t maxCount,
                              std::size_t minCount) {
    return AutoDynamicRange(controls, values.data(), values.size(), maxCount, minCount);
}

DynamicRange AutoDynamicRange(const DynamicRangeControls& controls,
                              const std::vector<double>& values) {
    return AutoDynamicRange(controls, values, values.size(), values.size());
}

std::vector<double> RangeAxis(double maxRange) {
    std::vector<double> axis(kRangeBins);
    for (std::size_t k = 0; k < kRangeBins; ++k) {
        axis[k] = static_cast<double>(k) * maxRange / static_cast<double>(kRangeBins);
    }
    return axis;
}

std::vector<double> CwVelocityAxis(double maxVelocity) {
    const double step = 2.0 * maxVelocity / static_cast<double>(kTransformSize);
    std::vector<double> axis(kTransformSize);
    for (std::size_t j = 0; j < kTransformSize; ++j) {
        axis[j] = static_cast<double>(j) * step - maxVelocity;
    }
    return axis;
}

std::vector<double> FskVelocityAxis(double maxVelocity) {
    std::vector<double> axis(kTransformSize);
    for (std::size_t i = 0; i < kTransformSize; ++i) {
        axis[i] = static_cast<double>(i) * (2.0 * maxVelocity / 1023.0) - maxVelocity;
    }
    return axis;
}

double ResolveSamplePeriod(double samplePeriod, double sweepTimeMs, int samplesPerSweep) {
    if (samplePeriod >= 0.0) return samplePeriod;
    if (samplesPerSweep <= 0) return 0.0;
    return (sweepTimeMs / 1000.0) / samplesPerSweep;
}

std::vector<double> TimeAxis(std::size_t length, double samplePeriod) {
    std::vector<double> axis(length);
    for (std::size_t i = 0; i < length; ++i) axis[i] = static_cast<double>(i) * samplePeriod;
    return axis;
}

double ScopeSpanEnd(int sweepTimeIndex) {
    switch (sweepTimeIndex) {
        case 1:
            return 0.0018;
        case 2:
            return 0.0038;
        case 3:
            return 0.0098;
        default:
            return 0.0008;
    }
}

IqTraces SplitIq(const SampleBlock& block) {
    IqTraces traces;
    traces.i.reserve(block.size());
    traces.q.reserve(block.size());
    for (const Complex& sample : block) {
        traces.i.push_back(sample.real());
        traces.q.push_back(sample.imag());
    }
    return traces;
}

WindowBounds OrderWindowBounds(double lower, double upper, bool upperHasFocus, double minimum,
                               double maximum) {
    const double width = maximum - minimum < kMinimumWindowWidth ? 0.0 : kMinimumWindowWidth;
    if (upper - lower >= width) return {lower, upper};
    if (upperHasFocus) {
        lower = upper - width;
        if (lower < minimum) {
            lower = minimum;
            upper = minimum + width;
        }
    } else {
        upper = lower + width;
        if (upper > maximum) {
            upper = maximum;
            lower = maximum - width;
        }
    }
    return {lower, upper};
}

bool KeepsMinimumWindowWidth(double lower, double upper) {
    return upper - lower >= kMinimumWindowWidth;
}

bool IsWindowActive(const WindowBounds& bounds, double fullLower, double fullUpper) {
    return !(bounds.upper == std::trunc(fullUpper) && bounds.lower == std::trunc(fullLower));
}

BinRange WindowBins(double lo, double hi, double axisStart, double axisSpan, std::size_t bins) {
    if (!(axisSpan > 0.0)) return {0, bins};
    const double scale = static_cast<double>(bins);
    BinRange range;
    range.first = TruncIndex((lo - axisStart) / axisSpan * scale, bins);
    range.end = TruncIndex((hi - axisStart) / axisSpan * scale, bins);
    return range;
}

}  // namespace vorn::dsp

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
typedef std::int32_t V4i __attribute__((vector_size(16)));

// The running mean's reference form: each step truncates the running sum toward zero.
void AddTruncating(const double* values, std::size_t count, int& sum, int& finite) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) continue;
        sum = TruncateToInt(static_cast<double>(sum) + values[i]);
        if (finite < std::numeric_limits<int>::max()) ++finite;
    }
}

// One block's floors and ceilings for AutoMean, the count of finite values in `present`, and
// whether a value rules the integer form out. Built for AVX2 too and picked at run time.
__attribute__((target_clones("avx2", "default"))) bool SplitBlock(const double* v, std::size_t n,
                                                                  std::int32_t* floors,
                                                                  std::int32_t* ceils,
                                                                  int& presentOut) {
    constexpr double kValueLimit = 1048576.0;         // 2^20
    constexpr double kNearInteger = 1.0 / 1048576.0;  // 2^-20
    constexpr double kLargest = std::numeric_limits<double>::max();
    int unsafe = 0;
    int present = 0;
    std::size_t k = 0;
    V4l unsafeLanes = {0, 0, 0, 0};
    V4l presentLanes = {0, 0, 0, 0};
    const V4d zero = {0.0, 0.0, 0.0, 0.0};
    for (; k + 4 <= n; k += 4) {
        V4d x;
        std::memcpy(&x, v + k, sizeof x);
        const V4d magnitude = x < zero ? -x : x;
        const V4l isFinite = magnitude <= kLargest;  // all ones or zero per lane
        x = magnitude < kValueLimit ? x : zero;
        // floor and ceil by truncation: exact for |x| < 2^20.
        const V4d toward = __builtin_convertvector(__builtin_convertvector(x, V4i), V4d);
        const V4d down = toward > x ? toward - 1.0 : toward;
        const V4d fraction = x - down;
        const V4d up = fraction != zero ? down + 1.0 : down;
        unsafeLanes |= isFinite & ((magnitude >= kValueLimit) |
                                   ((fraction > zero) & (fraction < kNearInteger)) |
                                   (fraction > 1.0 - kNearInteger));
        presentLanes -= isFinite;
        const V4i floor4 = __builtin_convertvector(isFinite != 0 ? down : zero, V4i);
        const V4i ceil4 = __builtin_convertvector(isFinite != 0 ? up : zero, V4i);
        std::memcpy(floors + k, &floor4, sizeof floor4);
        std::memcpy(ceils + k, &ceil4, sizeof ceil4);
    }
    for (int lane = 0; lane < 4; ++lane) {
        unsafe |= unsafeLanes[lane] != 0 ? 1 : 0;
        present += static_cast<int>(presentLanes[lane]);
    }
    for (; k < n; ++k) {
        const double magnitude = std::fabs(v[k]);
        if (!(magnitude <= kLargest)) {
            floors[k] = 0;
            ceils[k] = 0;
            continue;
        }
        if (!(magnitude < kValueLimit)) {
            unsafe = 1;
            break;
        }
        const double toward = static_cast<double>(static_cast<std::int32_t>(v[k]));
        const double down = toward > v[k] ? toward - 1.0 : toward;
        const double fraction = v[k] - down;
        if ((fraction > 0.0 && fraction < kNearInteger) || fraction > 1.0 - kNearInteger)
            unsafe = 1;
        floors[k] = static_cast<std::int32_t>(down);
        ceils[k] = static_cast<std::int32_t>(fraction != 0.0 ? down + 1.0 : down);
        ++present;
    }
    presentOut = present;
    return unsafe != 0;
}

// The common block of a decibel map: every finite value within 2^20 of zero and at least
// 2^-20 below the integer above it (infinities and NaN count for nothing, as in the steps).
// Gives the sum of the floors over the `present` finite values, the sum of the negative floors
// alone and the largest value (minus infinity for none); false for any other block. From a sum s
// with s + drop >= 0 every step then stays at or above zero and takes the floor, and no double sum
// can round up onto the next integer, so the block adds exactly its floors' sum. The floors come
// from the round-to-nearest trick (exact below 2^51), and the whole test runs without a branch, so
// that it vectorises.
__attribute__((target_clones("avx2", "default"))) bool PlainBlock(const double* v, std::size_t n,
                                                                  double& floorSum, double& drop,
                                                                  int& present, double& largest) {
    constexpr double kValueLimit = 1048576.0;           // 2^20
    constexpr double kNearInteger = 1.0 / 1048576.0;    // 2^-20
    constexpr double kRoundMagic = 6755399441055744.0;  // 1.5 * 2^52
    constexpr double kLargest = std::numeric_limits<double>::max();
    if (n % 4 != 0) return false;
    const V4d zero = {0.0, 0.0, 0.0, 0.0};
    const V4d one = {1.0, 1.0, 1.0, 1.0};
    V4d sums = zero;
    V4d drops = zero;
    V4l plain = {-1, -1, -1, -1};
    V4l counted = {0, 0, 0, 0};
    constexpr double kNone = -std::numeric_limits<double>::infinity();
    V4d most = {kNone, kNone, kNone, kNone};
    for (std::size_t k = 0; k < n; k += 4) {
        V4d x;
        std::memcpy(&x, v + k, sizeof x);
        const V4l finite = (x <= kLargest) & (x >= -kLargest);       // NaN and infinities fail
        const V4l inRange = (x > -kValueLimit) & (x < kValueLimit);  // and these too
        const V4d held = inRange != 0 ? x : zero;
        const V4d nearest = (held + kRoundMagic) - kRoundMagic;
        const V4d down = nearest - (nearest > held ? one : zero);
        const V4d fraction = held - down;
        plain &= ~finite | (inRange & ~(fraction > 1.0 - kNearInteger));
        counted -= inRange;
        sums += down;
        drops += down < zero ? down : zero;
        most = (inRange != 0) & (x > most) ? x : most;
    }
    floorSum = (sums[0] + sums[1]) + (sums[2] + sums[3]);
    drop = (drops[0] + drops[1]) + (drops[2] + drops[3]);
    present = static_cast<int>((counted[0] + counted[1]) + (counted[2] + counted[3]));
    largest = std::max(std::max(most[0], most[1]), std::max(most[2], most[3]));
    return (plain[0] & plain[1] & plain[2] & plain[3]) != 0;
}

// The chain s -> s + floor or s + ceil over one block. Where the sum cannot change sign in the
// block, every step takes the same branch and the block adds up in any order (vectorised):
// from s >= 0, the floors' negative parts alone cannot take it below zero; from s < 0, the
// ceilings' positive parts cannot bring it to zero, nor so a step's s + floor (floor <= ceil).
// Only a block that may cross zero runs the chain step by step.
std::int32_t AddBlock(std::int32_t s, const std::int32_t* floors, const std::int32_t* ceils,
                      std::size_t n) {
    std::int32_t floorSum = 0;
    std::int32_t floorDrop = 0;
    std::int32_t ceilSum = 0;
    std::int32_t ceilRise = 0;
    for (std::size_t k = 0; k < n; ++k) {
        floorSum += floors[k];
        floorDrop += std::min(floors[k], 0);
        ceilSum += ceils[k];
        ceilRise += std::max(ceils[k], 0);
    }
    if (s >= 0 && s + floorDrop >= 0) return s + floorSum;
    if (s < 0 && s + ceilRise < 0) return s + ceilSum;
    for (std::size_t k = 0; k < n; ++k) {
        const std::int32_t t = s + floors[k];
        s = t >= 0 ? t : s + ceils[k];
    }
    return s;
}

}  // namespace

namespace {
// AutoMean, and where `largest` is not null the largest finite value too, in the same pass:
// each block's maximum comes with its floors.
int Mean(const double* values, std::size_t count, double* largest) {
    // trunc(s + v) for an integer s is s + floor(v) when that is >= 0 and s + ceil(v) when
    // not, so the serial chain is integer additions instead of a double round trip per value.
    // That holds for the double sum too while its rounding cannot reach an integer: |s| and
    // |v| well inside 2^30 and v integral or at least 2^-20 from an integer. Blocks with any
    // other value take the reference loop.
    constexpr std::size_t kBlock = 256;
    constexpr int kSumLimit = 536870912;  // 2^29
    // 32 bits, so that the conversions vectorise.
    std::int32_t floors[kBlock];
    std::int32_t ceils[kBlock];
    int sum = 0;
    int finite = 0;
    for (std::size_t start = 0; start < count; start += kBlock) {
        const std::size_t n = std::min(kBlock, count - start);
        const double* v = values + start;
        double floorSum = 0.0;
        double drop = 0.0;
        int present = 0;
        double most = -std::numeric_limits<double>::infinity();
        const bool plain = PlainBlock(v, n, floorSum, drop, present, most);
        if (largest != nullptr) *largest = std::max(*largest, plain ? most : LargestFinite(v, n));
        if (plain && sum >= 0 && sum < kSumLimit &&
            finite <= std::numeric_limits<int>::max() - static_cast<int>(kBlock) &&
            static_cast<double>(sum) + drop >= 0.0) {
            sum += static_cast<int>(floorSum);  // an integer below 2^28, exactly
            finite += present;
            continue;
        }
        const bool unsafe =
            SplitBlock(v, n, floors, ceils, present) || !(sum < kSumLimit && sum > -kSumLimit);
        if (unsafe || finite > std::numeric_limits<int>::max() - static_cast<int>(kBlock)) {
            AddTruncating(v, n, sum, finite);
            continue;
        }
        sum = AddBlock(sum, floors, ceils, n);
        finite += present;
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

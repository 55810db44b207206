#include "dsp/scales.h"

#include <algorithm>
#include <cmath>
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

int AutoMaximum(const double* values, std::size_t count, int fallback) {
    bool found = false;
    double largest = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double v = values[i];
        if (!std::isfinite(v)) continue;
        if (!found || v > largest) {
            largest = v;
            found = true;
        }
    }
    return found ? TruncateToInt(largest) : fallback;
}

int AutoMean(const double* values, std::size_t count) {
    int sum = 0;
    int finite = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) continue;
        sum = TruncateToInt(static_cast<double>(sum) + values[i]);
        if (finite < std::numeric_limits<int>::max()) ++finite;
    }
    return finite > 0 ? sum / finite : 0;
}

DynamicRange AutoDynamicRange(const DynamicRangeControls& controls, const double* values,
                              std::size_t size, std::size_t maxCount, std::size_t minCount) {
    DynamicRange range{controls.sliderMaximum, controls.sliderMinimum};
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

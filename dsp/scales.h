#pragma once
// Decibels, peak searches, automatic colour and plot scales, and the axes shown with spectra.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dsp/sample_block.h"

namespace vorn::dsp {

// Truncation toward zero that saturates at the limits of int; not-a-number gives 0.
int TruncateToInt(double value);
// A read timeout in milliseconds, truncated and held to 0 ... 10^12.
std::int64_t TimeoutMs(double milliseconds);

// 10 log10(re^2 + im^2), no floor: an exact zero gives minus infinity.
double PowerDb(const Complex& value);
// 10 log10 |z|: the magnitude, not its square (the CW spectrum's convention).
double MagnitudeDb(const Complex& value);

// Index of the first maximum (or minimum) of values[first, end). The run is cut to the vector;
// an empty run yields `first` held inside the vector (0 for an empty vector).
std::size_t FirstMaximumIndex(const std::vector<double>& values, std::size_t first,
                              std::size_t end);
std::size_t FirstMinimumIndex(const std::vector<double>& values, std::size_t first,
                              std::size_t end);

// The "Auto" rules. The maximum is the truncated largest finite value; a run with no finite
// value keeps `fallback` (the slider), since minus infinity has no integer. The minimum is the
// truncated running mean of the finite values, 0 when there are none. Both saturate at the
// limits of int instead of overflowing.
int AutoMaximum(const double* values, std::size_t count, int fallback);
int AutoMean(const double* values, std::size_t count);

struct DynamicRangeControls {
    bool autoMaximum = true;
    bool autoMinimum = true;
    int sliderMaximum = 50;  // read at the start of the tick
    int sliderMinimum = -50;
};

struct DynamicRange {
    int maximum = 0;
    int minimum = 0;
};

// Applies each rule whose "Auto" box is checked, the slider value otherwise. The maximum runs
// over the first maxCount values, the mean over the first minCount; both are cut to the vector.
DynamicRange AutoDynamicRange(const DynamicRangeControls& controls, const double* values,
                              std::size_t size, std::size_t maxCount, std::size_t minCount);
DynamicRange AutoDynamicRange(const DynamicRangeControls& controls,
                              const std::vector<double>& values, std::size_t maxCount,
                              std::size_t minCount);
DynamicRange AutoDynamicRange(const DynamicRangeControls& controls,
                              const std::vector<double>& values);

// Bin k of a range profile is labelled k * maxRange / 513.
std::vector<double> RangeAxis(double maxRange);
// 1024 velocities -vmax + j * 2 vmax / 1024 (CW spectrum; index 512 is 0 m/s).
std::vector<double> CwVelocityAxis(double maxVelocity);
// 1024 velocities -vmax + i * 2 vmax / 1023, from -vmax to vmax inclusive (FSK spectrum).
std::vector<double> FskVelocityAxis(double maxVelocity);

// Time scope.
// A negative sample period stands for one sweep's duration divided by the samples per sweep.
double ResolveSamplePeriod(double samplePeriod, double sweepTimeMs, int samplesPerSweep);
std::vector<double> TimeAxis(std::size_t length, double samplePeriod);
// The range scope shows the sweep up to 0.2 ms before its end: 0.0008 s, 0.0018 s, 0.0038 s
// or 0.0098 s by the index of the sweep-time combo (1, 2, 4, 10 ms).
double ScopeSpanEnd(int sweepTimeIndex);

struct IqTraces {
    std::vector<double> i;
    std::vector<double> q;
};
IqTraces SplitIq(const SampleBlock& block);

// Window sliders. A window is at least kMinimumWindowWidth wide (1 m or 1 m/s), so it always
// passes something and a detection inside it is real. Bounds closer than that are parted; the
// slider with keyboard focus wins: with focus on the upper slider the lower one moves below
// it, otherwise the upper one moves above the lower one. Where the moved one would leave the
// sliders' range minimum ... maximum it stops at the end and the other yields. A range
// narrower than the width only keeps the bounds ordered.
struct WindowBounds {
    double lower = 0.0;
    double upper = 0.0;
};
inline constexpr double kMinimumWindowWidth = 1.0;
WindowBounds OrderWindowBounds(double lower, double upper, bool upperHasFocus, double minimum,
                               double maximum);
// Whether lower ... upper is at least that wide.
bool KeepsMinimumWindowWidth(double lower, double upper);

// The window is off when its sliders sit at the full range: fullLower ... trunc(fullUpper).
bool IsWindowActive(const WindowBounds& bounds, double fullLower, double fullUpper);

// First and past-the-end index of the bins a window covers, for a run of `bins` values that
// spans [axisStart, axisStart + axisSpan). Held inside 0 ... bins.
struct BinRange {
    std::size_t first = 0;
    std::size_t end = 0;
};
BinRange WindowBins(double lo, double hi, double axisStart, double axisSpan, std::size_t bins);

}  // namespace vorn::dsp

#pragma once
// Decibels of whole runs of transform output at once. Same values as PowerDb per element (to
// well below 1e-9 dB), but vectorisable: the range-velocity map converts half a million bins a
// tick, where a libm call per bin costs more than the transforms themselves.
#include <cstddef>

#include "dsp/sample_block.h"

namespace vorn::dsp {

// out[i] = 10 log10(re^2 + im^2) of in[i]. An exact zero gives minus infinity, an infinite
// power plus infinity and NaN stays NaN, exactly as std::log10 gives them.
void PowerDbInto(const Complex* in, double* out, std::size_t count);
// The same of in[i] * gains[i], multiplied exactly as std::complex does (a window's response),
// where gains is not null. Where they are not null, each element's power (re^2 + im^2 of the
// product) is also added to powerSum[i], so that sums over many rows cost no second pass over
// the transform output, and stored in powers[i] (the linear map a detector works on).
void PowerDbInto(const Complex* in, const Complex* gains, double* out, std::size_t count,
                 double* powerSum, double* powers);

// 10 log10(power) of one power, with libm's values for zero, infinite and NaN powers.
double PowerToDb(double power);

// 10 log10 of positive normal powers by exponent split, a table and a short series; the
// caller has checked the range. Exposed for the tests that hold it against std::log10.
double PowerToDbNormal(double power);

}  // namespace vorn::dsp

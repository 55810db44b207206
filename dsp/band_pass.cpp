#include "dsp/band_pass.h"

#include <algorithm>
#include <cmath>

#include "dsp/fft.h"

namespace vorn::dsp {
namespace {

constexpr double kKaiserBeta = 2.827433388230814;  // 0.9 pi

double ClampCutoff(double cutoff) {
    if (std::isnan(cutoff)) return 0.0;
    return std::clamp(cutoff, -0.5, 0.5);
}

}  // namespace

double BesselI0(double x) {
    const double ax = std::abs(x);
    if (ax < 3.75) {
        const double t = (x / 3.75) * (x / 3.75);
        return 1.0 +
               t * (3.5156229 +
                    t * (3.0899424 +
                         t * (1.2067492 + t * (0.2659732 + t * (0.0360768 + t * 0.0045813)))));
    }
    const double t = 3.75 / ax;
    const double poly =
        0.39894228 +
        t * (0.01328592 +
             t * (0.00225319 +
                  t * (-0.00157565 +
                       t * (0.00916281 +
                            t * (-0.02057706 +
                                 t * (0.02635537 + t * (-0.01647633 + t * 0.00392377)))))));
    return poly * std::exp(ax) / std::sqrt(ax);
}

void BuildBandPassResponse(std::vector<Complex>& response, std::size_t length, double lowCutoff,
                           double highCutoff) {
    response.assign(length, Complex());
    if (length == 0) return;
    double low = ClampCutoff(lowCutoff);
    double high = ClampCutoff(highCutoff);
    if (low > high) std::swap(low, high);

    const std::size_t half = length / 2;
    if (half == 0) {
        response[0] = Complex(2.0 * (high - low), 0.0);
        return;
    }
    const double m = static_cast<double>(half);
    const double i0Beta = BesselI0(kKaiserBeta);
    for (std::size_t j = 0; j < length; ++j) {
        const double n = static_cast<double>(j) - m;
        double tap = 2.0 * (high - low);
        if (j != half) {
            const double ratio = n / m;
            const double window = BesselI0(kKaiserBeta * std::sqrt(1.0 - ratio * ratio)) / i0Beta;
            tap = window * (std::sin(kTwoPi * high * n) - std::sin(kTwoPi * low * n)) / (kPi * n);
        }
        response[j] = Complex(tap, 0.0);
    }
    ForwardTransform(response);
}

const std::vector<Complex>& BandPassWindow::Response(double lower, double upper, double fullScale) {
    if (built_ && lower == lower_ && upper == upper_ && fullScale == fullScale_) return response_;
    lower_ = lower;
    upper_ = upper;
    fullScale_ = fullScale;
    built_ = true;
    // Without a usable full scale no band can be placed: pass everything unchanged.
    if (!(fullScale > 0.0) || !std::isfinite(fullScale)) {
        response_.assign(kTransformSize, Complex(1.0, 0.0));
        return response_;
    }
    BuildBandPassResponse(response_, kTransformSize, lower * 0.5 / fullScale,
                          upper * 0.5 / fullScale);
    return response_;
}

}  // namespace vorn::dsp

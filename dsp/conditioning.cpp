#include "dsp/conditioning.h"

#include <algorithm>
#include <cmath>

namespace vorn::dsp {
namespace {

// Whole segments that lie inside the data.
std::size_t FittingSegments(std::size_t dataSize, std::size_t segmentLength,
                            std::size_t segmentCount) {
    if (segmentLength == 0) return 0;
    return std::min(segmentCount, dataSize / segmentLength);
}

bool UsableScale(double peak) {
    return peak > 0.0 && std::isfinite(peak);
}

}  // namespace

void SubtractDcOffset(Complex* data, std::size_t dataSize, std::size_t segmentLength,
                      std::size_t segmentCount) {
    const std::size_t segments = FittingSegments(dataSize, segmentLength, segmentCount);
    for (std::size_t s = 0; s < segments; ++s) {
        Complex* segment = data + s * segmentLength;
        double sumI = 0.0;
        double sumQ = 0.0;
        for (std::size_t i = 0; i < segmentLength; ++i) {
            sumI += segment[i].real();
            sumQ += segment[i].imag();
        }
        const Complex mean(sumI / static_cast<double>(segmentLength),
                           sumQ / static_cast<double>(segmentLength));
        for (std::size_t i = 0; i < segmentLength; ++i) segment[i] -= mean;
    }
}

void SubtractDcOffset(SampleBlock& block, std::size_t segmentLength, std::size_t segmentCount) {
    SubtractDcOffset(block.data(), block.size(), segmentLength, segmentCount);
}

void NormalizeAmplitude(SampleBlock& block, std::size_t segmentLength, std::size_t segmentCount) {
    const std::size_t segments = FittingSegments(block.size(), segmentLength, segmentCount);
    for (std::size_t s = 0; s < segments; ++s) {
        Complex* segment = block.data() + s * segmentLength;
        double peakI = std::abs(segment[0].real());
        double peakQ = std::abs(segment[0].imag());
        for (std::size_t i = 1; i < segmentLength; ++i) {
            peakI = std::max(peakI, std::abs(segment[i].real()));
            peakQ = std::max(peakQ, std::abs(segment[i].imag()));
        }
        const double scaleI = UsableScale(peakI) ? peakI : 1.0;
        const double scaleQ = UsableScale(peakQ) ? peakQ : 1.0;
        for (std::size_t i = 0; i < segmentLength; ++i) {
            segment[i] = Complex(segment[i].real() / scaleI, segment[i].imag() / scaleQ);
        }
    }
}

void ApplyIqBalancing(SampleBlock& block, std::size_t segmentCount, const IqBalancing& options) {
    if (segmentCount == 0) return;
    const std::size_t segmentLength = block.size() / segmentCount;
    if (options.dcSubtract) SubtractDcOffset(block, segmentLength, segmentCount);
    if (options.amplitudeCorrection) NormalizeAmplitude(block, segmentLength, segmentCount);
}

std::vector<double> HammingWeights(std::size_t length) {
    std::vector<double> weights(length, 1.0);
    if (length < 3) return weights;
    const double divisor = static_cast<double>(length - 2);
    for (std::size_t i = 0; i < length; ++i) {
        weights[i] = 0.54 - 0.46 * std::cos(kTwoPi * static_cast<double>(i) / divisor);
    }
    return weights;
}

void ApplyHammingWindow(Complex* data, std::size_t dataSize, std::size_t windowLength,
                        std::size_t segmentCount) {
    const std::size_t segments = FittingSegments(dataSize, windowLength, segmentCount);
    if (segments == 0) return;
    const std::vector<double> weights = HammingWeights(windowLength);
    for (std::size_t s = 0; s < segments; ++s) {
        Complex* segment = data + s * windowLength;
        for (std::size_t i = 0; i < windowLength; ++i) segment[i] *= weights[i];
    }
}

void ApplyHammingWindow(SampleBlock& block, std::size_t windowLength, std::size_t segmentCount) {
    ApplyHammingWindow(block.data(), block.size(), windowLength, segmentCount);
}

void CorrectQuadratureImbalance(std::vector<double>& iValues, std::vector<double>& qValues) {
    const std::size_t length = std::min(iValues.size(), qValues.size());
    if (length == 0) return;
    const double count = static_cast<double>(length);

    double sumI = 0.0;
    double sumQ = 0.0;
    for (std::size_t n = 0; n < length; ++n) {
        sumI += iValues[n];
        sumQ += qValues[n];
    }
    const double meanI = sumI / count;
    const double meanQ = sumQ / count;

    double sumII = 0.0;
    double sumQQ = 0.0;
    double sumIQ = 0.0;
    for (std::size_t n = 0; n < length; ++n) {
        const double i = iValues[n] - meanI;
        const double q = qValues[n] - meanQ;
        sumII += i * i;
        sumQQ += q * q;
        sumIQ += i * q;
    }
    const double a = sumII / count;
    const double b = sumQQ / count;
    const double c = sumIQ / count;

    for (std::size_t n = 0; n < length; ++n) iValues[n] -= meanI;
    if (!UsableScale(a) || !UsableScale(b)) {
        for (std::size_t n = 0; n < length; ++n) qValues[n] -= meanQ;
        return;
    }

    const double rho = c / a;
    // Rounding can push b/a - rho^2 just below zero for fully correlated channels.
    const double sigma = std::sqrt(std::max(0.0, b / a - rho * rho));
    const double gain = std::sqrt(rho * rho + sigma * sigma);
    const double phase = std::atan(rho / sigma);
    const double sinPhase = std::sin(phase);
    const double cosPhase = std::cos(phase);
    for (std::size_t n = 0; n < length; ++n) {
        qValues[n] = ((qValues[n] - meanQ) / gain - sinPhase * iValues[n]) / cosPhase;
    }
}

void CorrectQuadratureImbalance(SampleBlock& block) {
    std::vector<double> iValues(block.size());
    std::vector<double> qValues(block.size());
    for (std::size_t n = 0; n < block.size(); ++n) {
        iValues[n] = block[n].real();
        qValues[n] = block[n].imag();
    }
    CorrectQuadratureImbalance(iValues, qValues);
    for (std::size_t n = 0; n < block.size(); ++n) block[n] = Complex(iValues[n], qValues[n]);
}

void DecimateBlock(SampleBlock& block, int factor) {
    if (factor < 1) return;
    const int stages = static_cast<int>(std::floor(std::log(factor) / std::log(2.0) + 0.5));
    SampleBlock current = std::move(block);
    SampleBlock work;
    for (int stage = 0; stage < stages; ++stage) {
        const std::size_t length = current.size();
        work.assign(length, Complex());
        if (stage > 0) {
            for (std::size_t i = 0; i < std::min<std::size_t>(2, length); ++i) work[i] = current[i];
        }
        for (std::size_t i = 2; i < length; ++i) {
            work[i] = work[i - 1] + current[i] - current[i - 2];
        }
        SubtractDcOffset(work, length, 1);
        current.resize(length / 2);
        for (std::size_t i = 0; i < current.size(); ++i) current[i] = work[2 * i];
    }
    block = std::move(current);
}

}  // namespace vorn::dsp

#include "dsp/conditioning.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

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
    // Rebuilt only when the length changes: the same weights, without N cosines per sweep.
    thread_local std::vector<double> weights;
    thread_local std::size_t weightsLength = 0;
    if (weightsLength != windowLength || weights.size() != windowLength) {
        weights = HammingWeights(windowLength);
        weightsLength = windowLength;
    }
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

namespace {

// Whole numbers small enough that every moving sum and the total of a stage stay below 2^53:
// then they are exact in whatever order they are added.
bool HoldsSmallIntegers(const SampleBlock& block) {
    if (block.empty()) return false;
    const double limit = 2251799813685248.0 / static_cast<double>(block.size());  // 2^51 / L
    // Below 2^51, adding and removing 1.5 * 2^52 rounds to a whole number: x is one exactly
    // when that leaves it unchanged. Branch-free, so the test costs a fraction of the stage.
    constexpr double kRound = 6755399441055744.0;
    const double* parts = reinterpret_cast<const double*>(block.data());
    const std::size_t count = 2 * block.size();
    bool small = true;
    std::size_t i = 0;
#if defined(__GNUC__)
    typedef double V2d __attribute__((vector_size(16)));
    typedef std::int64_t V2i __attribute__((vector_size(16)));
    const V2d round = {kRound, kRound};
    const V2d bound = {limit, limit};
    const V2d signBit = {-0.0, -0.0};
    constexpr std::size_t kChunk = 4096;
    for (; small && i + kChunk <= count; i += kChunk) {
        V2i ok = {-1, -1};
        for (std::size_t k = i; k < i + kChunk; k += 2) {
            V2d x;
            std::memcpy(&x, parts + k, sizeof x);
            const V2d magnitude = __builtin_bit_cast(
                V2d, __builtin_bit_cast(V2i, x) & ~__builtin_bit_cast(V2i, signBit));
            ok &= (magnitude < bound) & (((x + round) - round) == x);
        }
        small = (ok[0] & ok[1]) != 0;
    }
#endif
    for (; small && i < count; ++i) {
        const double x = parts[i];
        small = std::fabs(x) < limit && (x + kRound) - kRound == x;
    }
    return small;
}

// One half-band stage over data[0, length): the running sum b, its mean removed, every second
// value kept at the front of data. The running sum is added in the same order as it is written
// down, value by value, so the result is exactly that of building b, subtracting its mean and
// picking b[0], b[2], ...; only the odd values are never stored.
std::size_t DecimateStage(Complex* data, std::size_t length, bool firstStage) {
    if (length == 0) return 0;
    double bRe = firstStage ? 0.0 : data[0].real();
    double bIm = firstStage ? 0.0 : data[0].imag();
    double sumRe = 0.0 + bRe;
    double sumIm = 0.0 + bIm;
    double prev2Re = data[0].real();
    double prev2Im = data[0].imag();
    double prev1Re = length > 1 ? data[1].real() : 0.0;
    double prev1Im = length > 1 ? data[1].imag() : 0.0;
    data[0] = Complex(bRe, bIm);
    if (length > 1) {
        bRe = firstStage ? 0.0 : prev1Re;
        bIm = firstStage ? 0.0 : prev1Im;
        sumRe += bRe;
        sumIm += bIm;
    }
    for (std::size_t i = 2; i < length; ++i) {
        const double aRe = data[i].real();
        const double aIm = data[i].imag();
        bRe = bRe + aRe - prev2Re;
        bIm = bIm + aIm - prev2Im;
        sumRe += bRe;
        sumIm += bIm;
        prev2Re = prev1Re;
        prev2Im = prev1Im;
        prev1Re = aRe;
        prev1Im = aIm;
        // i / 2 < i - 1 for i >= 2: only values already read are overwritten.
        if (i % 2 == 0) data[i / 2] = Complex(bRe, bIm);
    }
    const Complex mean(sumRe / static_cast<double>(length), sumIm / static_cast<double>(length));
    const std::size_t kept = length / 2;
    for (std::size_t j = 0; j < kept; ++j) data[j] -= mean;
    return kept;
}

// The first stage over whole numbers: b[i] = a[i] + a[i-1] - a[1] - a[0] directly, which the
// running sum equals exactly there, taken two at a time with separate totals for even and odd
// values, so nothing chains one value to the next.
std::size_t DecimateIntegerStage(Complex* data, std::size_t length) {
    if (length < 4) return DecimateStage(data, length, true);
    const double offRe = data[1].real() + data[0].real();
    const double offIm = data[1].imag() + data[0].imag();
    double evenRe = 0.0;
    double evenIm = 0.0;
    double oddRe = 0.0;
    double oddIm = 0.0;
    double* d = reinterpret_cast<double*>(data);
    double prevRe = d[2];  // a[1]
    double prevIm = d[3];
    std::size_t i = 2;
    // Step i reads a[i], a[i + 1] and writes index i / 2 < i - 1: nothing still to be read.
    for (; i + 1 < length; i += 2) {
        const double aRe = d[2 * i];
        const double aIm = d[2 * i + 1];
        const double nRe = d[2 * i + 2];
        const double nIm = d[2 * i + 3];
        const double bRe = aRe + prevRe - offRe;
        const double bIm = aIm + prevIm - offIm;
        evenRe += bRe;
        evenIm += bIm;
        oddRe += nRe + aRe - offRe;
        oddIm += nIm + aIm - offIm;
        prevRe = nRe;
        prevIm = nIm;
        d[i] = bRe;  // complex index i / 2
        d[i + 1] = bIm;
    }
    if (i < length) {
        const double bRe = d[2 * i] + prevRe - offRe;
        const double bIm = d[2 * i + 1] + prevIm - offIm;
        evenRe += bRe;
        evenIm += bIm;
        d[i] = bRe;
        d[i + 1] = bIm;
    }
    data[0] = Complex();
    const Complex mean((evenRe + oddRe) / static_cast<double>(length),
                       (evenIm + oddIm) / static_cast<double>(length));
    const std::size_t kept = length / 2;
    for (std::size_t j = 0; j < kept; ++j) data[j] -= mean;
    return kept;
}

}  // namespace

void DecimateBlock(SampleBlock& block, int factor) {
    if (factor < 1) return;
    const int stages = static_cast<int>(std::floor(std::log(factor) / std::log(2.0) + 0.5));
    std::size_t length = block.size();
    for (int stage = 0; stage < stages; ++stage) {
        if (stage == 0 && HoldsSmallIntegers(block)) {
            length = DecimateIntegerStage(block.data(), length);
        } else {
            length = DecimateStage(block.data(), length, stage == 0);
        }
    }
    block.resize(length);
}

}  // namespace vorn::dsp

#pragma once
// In-place conditioning of sample blocks. Segment counts that do not fit the block are cut to
// the whole segments present, so a short read can never make these reach past the data.
#include <cstddef>
#include <vector>

#include "dsp/sample_block.h"

namespace vorn::dsp {

// Removes the mean of I and of Q from each segment separately.
void SubtractDcOffset(Complex* data, std::size_t dataSize, std::size_t segmentLength,
                      std::size_t segmentCount);
void SubtractDcOffset(SampleBlock& block, std::size_t segmentLength, std::size_t segmentCount);

// Scales I and Q of each segment independently to a peak magnitude of 1. A channel that is
// all zero in a segment is left as it is rather than turned into NaN.
void NormalizeAmplitude(SampleBlock& block, std::size_t segmentLength, std::size_t segmentCount);

struct IqBalancing {
    bool dcSubtract = false;
    bool amplitudeCorrection = false;
};

// DC subtraction, then amplitude correction, over block.size() / segmentCount long segments.
void ApplyIqBalancing(SampleBlock& block, std::size_t segmentCount, const IqBalancing& options);

// Weights 0.54 - 0.46 cos(2 pi i / (N - 2)); the radar's chain has always used N - 2, which
// puts the second 0.08 at i = N - 2. Windows shorter than 3 have no such shape: all ones.
std::vector<double> HammingWeights(std::size_t length);
void ApplyHammingWindow(SampleBlock& block, std::size_t windowLength, std::size_t segmentCount);
void ApplyHammingWindow(Complex* data, std::size_t dataSize, std::size_t windowLength,
                        std::size_t segmentCount);

// Removes the gain and phase error between I and Q. Blocks whose I or Q carries no power are
// only centred, since no ratio between the channels exists for them.
void CorrectQuadratureImbalance(std::vector<double>& iValues, std::vector<double>& qValues);
void CorrectQuadratureImbalance(SampleBlock& block);

// Decimates by a power of two in half-band (two-sample moving sum) stages.
void DecimateBlock(SampleBlock& block, int factor);

}  // namespace vorn::dsp

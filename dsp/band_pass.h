#pragma once
// Frequency responses of Kaiser-windowed band-pass FIR filters, used to window a spectrum by
// multiplying bin k by response[k].
#include <cstddef>
#include <vector>

#include "dsp/sample_block.h"

namespace vorn::dsp {

// Modified Bessel function of the first kind, order 0 (Abramowitz and Stegun 9.8.1, 9.8.2).
double BesselI0(double x);

// Fills `response` with `length` values: the DFT of the band-pass taps centred on length / 2.
// Cutoffs are in cycles per sample and are held to -0.5 <= low <= high <= 0.5.
void BuildBandPassResponse(std::vector<Complex>& response, std::size_t length, double lowCutoff,
                           double highCutoff);

// A range or velocity window: the operator's bounds in metres (or metres per second) against
// the full scale that bin 512 represents. The response is rebuilt only when they change.
class BandPassWindow {
public:
    const std::vector<Complex>& Response(double lower, double upper, double fullScale);
    // Forgets the bounds, so that the next request builds the response anew.
    void Reset() { built_ = false; }
    bool Built() const { return built_; }

private:
    std::vector<Complex> response_;
    double lower_ = 0.0;
    double upper_ = 0.0;
    double fullScale_ = 0.0;
    bool built_ = false;
};

}  // namespace vorn::dsp

#pragma once
// The plain, line by line parse of a sample file, which the shipped fast parser is held to, and
// helpers that only tests and benchmarks need.
#include <complex>
#include <string_view>
#include <vector>

#include "record/sample_file_reader.h"

namespace vorn::record {

// ReadResult of a sample file's text: LF and CR LF line ends, one line after the other.
ReadResult ParseSampleText(std::string_view text);

struct ChannelPair {
    std::vector<std::complex<double>> channel1;
    std::vector<std::complex<double>> channel2;
};

// Splits interleaved entries into the two channels; a trailing lone entry is dropped.
ChannelPair SplitChannels(const std::vector<std::complex<double>>& interleaved);

}  // namespace vorn::record

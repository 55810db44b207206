#pragma once
#include <complex>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "record/sample_body_parser.h"
#include "record/sample_file_format.h"

namespace vorn::record {

struct ReadResult {
    bool ok = false;
    // On failure: what is wrong and where, e.g. "line 7: expected <int>+<int>i".
    std::string message;
    std::optional<FileHeader> header;  // absent in FMCW triangle files
    // Interleaved entries, channel 1 first. An odd count fails but keeps the entries read.
    std::vector<std::complex<double>> samples;
};

// Parses the text of a sample file; accepts LF and CR LF line ends. The plain, line by line
// parse: the reference the fast one below is held to.
ReadResult ParseSampleText(std::string_view text);

// Reads and parses a sample file, or a SigMF recording given by its ".sigmf-meta"; failure
// messages begin with the file name.
ReadResult ReadSampleFile(const std::string& path);

// ReadResult with the entries as the file holds them, whole numbers, at half the memory.
struct EntryReadResult {
    bool ok = false;
    std::string message;  // as ReadResult's, word for word
    std::optional<FileHeader> header;
    std::vector<SampleEntry> entries;  // interleaved as ReadResult::samples, kept alike on failure
};

// ParseSampleText's result, parsed fast, the sample lines split between up to `threads` threads.
EntryReadResult ParseSampleEntries(std::string_view text, unsigned threads = 1);

// ReadSampleFile's result likewise.
EntryReadResult ReadSampleEntries(const std::string& path, unsigned threads = 1);

// Reads the `size` bytes a regular file had when it was opened into `out`. Returns an empty
// string, or why not: a read error, or a file that shrank or grew while it was read.
std::string ReadRegularFile(int fd, std::size_t size, char* out);

struct ChannelPair {
    std::vector<std::complex<double>> channel1;
    std::vector<std::complex<double>> channel2;
};

// Splits interleaved entries into the two channels; a trailing lone entry is dropped.
ChannelPair SplitChannels(const std::vector<std::complex<double>>& interleaved);

}  // namespace vorn::record

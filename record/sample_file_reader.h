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

// Reads and parses a sample file, or a SigMF recording given by its ".sigmf-meta"; failure
// messages begin with the file name.
ReadResult ReadSampleFile(const std::string& path);

// The header lines at the start of a sample file's text, or that it has none.
struct HeaderRead {
    std::string message;  // empty unless the first lines are neither a header nor a sample
    std::optional<FileHeader> header;
    long lines = 0;             // lines the header takes: 4, or 0 without one
    std::size_t bodyStart = 0;  // offset of the first sample line
};
HeaderRead ReadSampleHeader(std::string_view text);

// The message for a malformed sample line; `line` counts from the file's first line.
std::string SampleLineError(long line);
// The message for an odd number of entries.
std::string OddCountError(std::size_t entries);

// ReadResult with the entries as the file holds them, whole numbers, at half the memory.
struct EntryReadResult {
    bool ok = false;
    std::string message;  // as ReadResult's, word for word
    std::optional<FileHeader> header;
    std::vector<SampleEntry> entries;  // interleaved as ReadResult::samples, kept alike on failure
};

// Parses the text of a sample file (LF or CR LF line ends), the sample lines split between up
// to `threads` threads.
EntryReadResult ParseSampleEntries(std::string_view text, unsigned threads = 1);

// ReadSampleFile's result likewise.
EntryReadResult ReadSampleEntries(const std::string& path, unsigned threads = 1);

// Reads the `size` bytes a regular file had when it was opened into `out`. Returns an empty
// string, or why not: a read error, or a file that shrank or grew while it was read.
std::string ReadRegularFile(int fd, std::size_t size, char* out);

}  // namespace vorn::record

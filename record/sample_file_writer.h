#pragma once
#include <complex>
#include <cstddef>
#include <string>
#include <vector>

#include "record/sample_file_format.h"

namespace vorn::record {

struct WriteResult {
    bool ok = false;
    std::string message;  // names the file and the system's reason when ok is false
    std::size_t linesWritten = 0;
};

// Writes a recording (entries interleaved, channel 1 first) with the header its mode calls for.
// Creates or truncates the file. Every write and the close are checked; when one fails, a regular
// file we opened is removed again, so no partial file that could pass for a whole one remains.
WriteResult WriteSampleFile(const std::string& path, const RecordHeader& header,
                            const std::vector<std::complex<double>>& interleaved);

}  // namespace vorn::record

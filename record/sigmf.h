#pragma once
// A recording as a SigMF 1.x pair that other tools open: NAME.sigmf-meta (JSON) beside
// NAME.sigmf-data (cu16_le, both channels interleaved as in the ".dat"). The radar's parameters
// travel in the "vorn" namespace, so the pair reads back into exactly the ".dat"'s entries and
// header.
#include <complex>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "record/sample_body_parser.h"
#include "record/sample_file_format.h"
#include "record/sample_file_writer.h"

namespace vorn::record {

inline constexpr const char* kSigmfMetaSuffix = ".sigmf-meta";
inline constexpr const char* kSigmfDataSuffix = ".sigmf-data";

// Whether a path names a SigMF metadata file.
bool IsSigmfMetaPath(const std::string& path);
// The metadata file to write for a chosen name: a ".dat" or ".sigmf-data" suffix gives way to
// ".sigmf-meta", any other name gets it appended.
std::string SigmfMetaPathFor(const std::string& chosen);
// The data file beside a metadata file.
std::string SigmfDataPath(const std::string& metaPath);

// The carrier the radar transmitted a recording at (CarrierHz): an FMCW header records the
// sweep's centre, while CW and FSK headers say 5.8 GHz.
double TransmitCarrierHz(const FileHeader& header);

// The start of a recording from its default file name ("%Y-%m-%d-%H-%M-%S", local time, with
// or without ".dat"); none when the name is not of that form.
std::optional<std::time_t> RecordingTimeFromName(const std::string& stem);

// "<program> <version>" for core:recorder.
std::string RecorderName(const std::string& program);

struct SigmfRecording {
    FileHeader header;                     // as the ".dat" would carry it
    std::optional<std::time_t> startTime;  // when known
    std::string recorder;                  // the program and its version
};

// Writes the pair for `metaPath` (the data file beside it). Every value must be a whole count
// 0..65535; anything else is refused, naming the first. Both files are written to temporaries
// and put in place only when complete, so a failure leaves neither behind.
WriteResult WriteSigmf(const std::string& metaPath, const SigmfRecording& recording,
                       const std::vector<SampleEntry>& entries);
WriteResult WriteSigmf(const std::string& metaPath, const SigmfRecording& recording,
                       const std::vector<std::complex<double>>& interleaved);

struct SigmfRead {
    bool ok = false;
    std::string message;  // why not, naming the file
    std::optional<FileHeader> header;
    std::vector<SampleEntry> entries;
};

// Reads a pair this program wrote (or one laid out alike): cu16_le, two channels and the
// radar's parameters under "vorn:", or refuses it saying which is missing.
SigmfRead ReadSigmf(const std::string& metaPath);

}  // namespace vorn::record

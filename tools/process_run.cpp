#include "tools/process_run.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "record/sample_file_reader.h"
#include "record/sigmf.h"
#include "tools/block_runner.h"
#include "tools/npy_writer.h"
#include "tools/offline_chain.h"
#include "tools/output_directory.h"

namespace vorn::tools {

namespace {

constexpr long kHeaderLines = 4;

// Shortest text that reads back as the same double.
void AppendNumber(std::string& out, double value) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, r.ptr);
}

// One block's values: raw float64 for .npy, a CSV line per row of `rowLength` values.
void AppendSpectra(OutputFormat format, std::size_t rowLength, const std::vector<double>& values,
                   std::string& out) {
    if (format == OutputFormat::Npy) {
        AppendFloat64(out, values.data(), values.size());
        return;
    }
    for (std::size_t at = 0; at < values.size(); at += rowLength) {
        for (std::size_t k = at; k < std::min(values.size(), at + rowLength); ++k) {
            if (k > at) out += ',';
            AppendNumber(out, values[k]);
        }
        out += '\n';
    }
}

// Output in chunks of about this many bytes: large writes, little memory per worker.
constexpr std::size_t kChunkBytes = 1 << 20;

bool WriteAxis(const std::string& path, OutputFormat format, const std::vector<double>& axis,
               std::string& error) {
    OutputFile file;
    if (file.Open(path)) {
        std::string text = format == OutputFormat::Npy ? NpyHeader({axis.size()}) : std::string();
        AppendSpectra(format, axis.size(), axis, text);
        file.Write(text);
    }
    const bool ok = file.Close();
    if (!ok) error = file.error();
    return ok;
}

void AppendDetection(std::size_t block, const Detection& d, std::string& line) {
    line += std::to_string(block);
    line += ',';
    if (d.range) AppendNumber(line, *d.range);
    line += ',';
    if (d.velocity) AppendNumber(line, *d.velocity);
    line += ',';
    AppendNumber(line, d.level);
    line += '\n';
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    // Nearest rank.
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * values.size()));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

// Writes the recording as SigMF into OUTDIR under the recording's own name.
int ExportSigmf(const ProcessOptions& options, const record::EntryReadResult& recording,
                std::ostream& err) {
    const std::string& path = options.recording;
    for (std::size_t k = 0; k < recording.entries.size(); ++k) {
        const record::SampleEntry& e = recording.entries[k];
        for (const auto& [part, value] : {std::pair{"I", e.re}, std::pair{"Q", e.im}}) {
            if (value < 0 || value > 65535) {
                err << "vorn-process: \"" << path << "\": line "
                    << kHeaderLines + 1 + static_cast<long>(k) << ": " << part << " " << value
                    << " is outside 0 to 65535, the range of SigMF's "
                    << "cu16_le\n";
                return 2;
            }
        }
    }
    const std::string name = std::filesystem::path(path).filename().string();
    const std::string meta = record::SigmfMetaPathFor(name);
    const std::string stem = meta.substr(0, meta.size() - std::strlen(record::kSigmfMetaSuffix));
    std::error_code ignored;
    std::filesystem::create_directories(options.outputDirectory, ignored);
    record::SigmfRecording sigmf;
    sigmf.header = *recording.header;
    sigmf.startTime = record::RecordingTimeFromName(stem);
    sigmf.recorder = record::RecorderName("vorn-process");
    const record::WriteResult written = record::WriteSigmf(
        (std::filesystem::path(options.outputDirectory) / meta).string(), sigmf, recording.entries);
    if (!written.ok) {
        err << "vorn-process: " << written.message << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int RunVornProcess(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const ParsedArguments parsed = ParseProcessArguments(args);
    if (parsed.help) {
        out << ProcessUsage();
        return 0;
    }
    if (!parsed.error.empty()) {
        err << "vorn-process: " << parsed.error << "\nTry 'vorn-process --help'.\n";
        return 2;
    }
    const ProcessOptions& options = parsed.options;
    const std::string& path = options.recording;
    const auto bad = [&err](const std::string& message) {
        err << "vorn-process: " << message << "\n";
        return 2;
    };
    const auto atLine = [&path](long line, const std::string& message) {
        return "\"" + path + "\": line " + std::to_string(line) + ": " + message;
    };

    const std::string outputProblem = CheckOutputDirectory(options.outputDirectory);
    if (!outputProblem.empty()) return bad(outputProblem);

    const unsigned threads = options.threads > 0
                                 ? static_cast<unsigned>(options.threads)
                                 : std::max(1u, std::thread::hardware_concurrency());
    const record::EntryReadResult recording = record::ReadSampleEntries(path, threads);
    if (!recording.ok) {
        // The reader keeps the entries of a file whose count is odd; it fails on the last line.
        if (!recording.entries.empty())
            return bad(atLine(
                (recording.header ? kHeaderLines : 0) + static_cast<long>(recording.entries.size()),
                "channel 2 of the last frame is missing"));
        return bad(recording.message);
    }
    if (!recording.header) {
        if (recording.entries.empty()) return bad(atLine(1, "the file is empty"));
        return bad(atLine(1, "no header: the sweep parameters of the recording are unknown"));
    }
    const record::FileHeader& header = *recording.header;
    if (options.exportSigmf) return ExportSigmf(options, recording, err);
    const ProcessMode mode = options.mode.value_or(DefaultMode(header));
    if (const std::string why = CheckHeaderForMode(header, mode); !why.empty())
        return bad("\"" + path + "\": " + why);
    if (const std::string why = CheckOptionsForMode(options, mode); !why.empty()) return bad(why);

    std::vector<std::unique_ptr<OfflineChain>> chains;
    chains.push_back(std::make_unique<OfflineChain>(header, mode, options));
    const OfflineChain& chain = *chains.front();
    const std::size_t frames = recording.entries.size() / 2;
    const std::size_t blockFrames = chain.BlockFrames();
    const std::size_t blocks = frames / blockFrames;
    if (blocks == 0)
        return bad(atLine(kHeaderLines + static_cast<long>(recording.entries.size()),
                          "the recording ends before the first whole block (" +
                              std::to_string(frames) + " frames, a block takes " +
                              std::to_string(blockFrames) + ")"));

    std::string error;
    StagingDirectory staging;
    if (!staging.Create(options.outputDirectory, error)) {
        err << "vorn-process: " << error << "\n";
        return 1;
    }
    if (const std::size_t rest = frames % blockFrames; rest != 0)
        err << "vorn-process: dropped a trailing partial block of " << rest
            << " frames (a block takes " << blockFrames << ")\n";

    const bool csv = options.format == OutputFormat::Csv;
    const std::string extension = csv ? ".csv" : ".npy";
    std::vector<std::size_t> shape = chain.BlockShape();
    shape.insert(shape.begin(), blocks);
    bool ok = WriteAxis(staging.Add("axis" + extension), options.format, chain.Axis(), error);
    if (ok && mode == ProcessMode::RangeVelocityMap)
        ok = WriteAxis(staging.Add("range_axis" + extension), options.format, chain.RowAxis(),
                       error);

    OutputFile spectra;
    OutputFile detections;
    ok = ok && spectra.Open(staging.Add("spectra" + extension)) &&
         detections.Open(staging.Add("detections.csv"));
    std::vector<double> micros;
    if (ok) {
        if (!csv) spectra.Write(NpyHeader(shape));
        detections.Write(std::string("block,range_m,velocity_m_s,level_db\n"));
        if (options.bench) micros.resize(blocks);
        while (chain.Stateless() && chains.size() < threads)
            chains.push_back(std::make_unique<OfflineChain>(header, mode, options));
        const std::size_t rowLength = chain.Axis().size();
        std::size_t blockValues = rowLength;
        if (mode == ProcessMode::RangeVelocityMap) blockValues *= chain.RowAxis().size();
        BlockJob job;
        job.channel = recording.entries.data() + (options.channel - 1);
        job.blocks = blocks;
        job.blocksPerChunk = kChunkBytes / (blockValues * sizeof(double));
        job.micros = options.bench ? &micros : nullptr;
        RunBlocks(
            chains, job,
            [&](std::size_t b, const std::vector<double>& values,
                const std::vector<Detection>& found, std::string& spectraText,
                std::string& detectionText) {
                AppendSpectra(options.format, rowLength, values, spectraText);
                for (const Detection& detection : found)
                    AppendDetection(b, detection, detectionText);
            },
            [&](const std::string& spectraText, const std::string& detectionText) {
                spectra.Write(spectraText);
                detections.Write(detectionText);
            });
    }
    if (!spectra.Close() && ok) {
        ok = false;
        error = spectra.error();
    }
    if (!detections.Close() && ok) {
        ok = false;
        error = detections.error();
    }
    if (!ok || !staging.Commit(error)) {
        err << "vorn-process: " << error << "\n";
        return 1;
    }
    if (options.bench)
        out << "blocks " << blocks << ", processing time per block: median "
            << Percentile(micros, 0.5) << " us, 95th percentile " << Percentile(micros, 0.95)
            << " us\n";
    return 0;
}

}  // namespace vorn::tools

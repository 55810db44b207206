#include "tools/process_run.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <memory>

#include "record/sample_file_reader.h"
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

// Spectra as .npy (one array for the whole file) or CSV (one line per block row).
class SpectraWriter {
public:
    SpectraWriter(OutputFormat format, std::size_t rowLength)
        : format_(format), rowLength_(rowLength) {}

    bool Open(const std::string& path, const std::vector<std::size_t>& shape) {
        if (!file_.Open(path)) return false;
        if (format_ == OutputFormat::Npy) file_.Write(NpyHeader(shape));
        return true;
    }
    void Append(const std::vector<double>& values) {
        if (format_ == OutputFormat::Npy) {
            WriteFloat64(file_, values.data(), values.size());
            return;
        }
        for (std::size_t at = 0; at < values.size(); at += rowLength_) {
            line_.clear();
            for (std::size_t k = at; k < std::min(values.size(), at + rowLength_); ++k) {
                if (k > at) line_ += ',';
                AppendNumber(line_, values[k]);
            }
            line_ += '\n';
            file_.Write(line_);
        }
    }
    bool Close() { return file_.Close(); }
    const std::string& error() const { return file_.error(); }

private:
    OutputFormat format_;
    std::size_t rowLength_;
    OutputFile file_;
    std::string line_;
};

bool WriteAxis(const std::string& path, OutputFormat format, const std::vector<double>& axis,
               std::string& error) {
    SpectraWriter writer(format, axis.size());
    if (writer.Open(path, {axis.size()})) writer.Append(axis);
    const bool ok = writer.Close();
    if (!ok) error = writer.error();
    return ok;
}

std::string DetectionLine(std::size_t block, const Detection& d) {
    std::string line = std::to_string(block) + ",";
    if (d.range) AppendNumber(line, *d.range);
    line += ',';
    if (d.velocity) AppendNumber(line, *d.velocity);
    line += ',';
    AppendNumber(line, d.level);
    line += '\n';
    return line;
}

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    // Nearest rank.
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * values.size()));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
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

    const record::ReadResult recording = record::ReadSampleFile(path);
    if (!recording.ok) {
        // The reader keeps the entries of a file whose count is odd; it fails on the last line.
        if (!recording.samples.empty())
            return bad(atLine(
                (recording.header ? kHeaderLines : 0) + static_cast<long>(recording.samples.size()),
                "channel 2 of the last frame is missing"));
        return bad(recording.message);
    }
    if (!recording.header) {
        if (recording.samples.empty()) return bad(atLine(1, "the file is empty"));
        return bad(atLine(1, "no header: the sweep parameters of the recording are unknown"));
    }
    const record::FileHeader& header = *recording.header;
    const ProcessMode mode = options.mode.value_or(DefaultMode(header));
    if (const std::string why = CheckHeaderForMode(header, mode); !why.empty())
        return bad("\"" + path + "\": " + why);
    if (const std::string why = CheckOptionsForMode(options, mode); !why.empty()) return bad(why);

    OfflineChain chain(header, mode, options);
    const std::size_t frames = recording.samples.size() / 2;
    const std::size_t blockFrames = chain.BlockFrames();
    const std::size_t blocks = frames / blockFrames;
    if (blocks == 0)
        return bad(atLine(kHeaderLines + static_cast<long>(recording.samples.size()),
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

    SpectraWriter spectra(options.format, chain.Axis().size());
    OutputFile detections;
    ok = ok && spectra.Open(staging.Add("spectra" + extension), shape) &&
         detections.Open(staging.Add("detections.csv"));
    std::vector<double> micros;
    if (ok) {
        detections.Write(std::string("block,range_m,velocity_m_s,level_db\n"));
        if (options.bench) micros.reserve(blocks);
        const dsp::Complex* channel = recording.samples.data() + (options.channel - 1);
        Detection detection;
        for (std::size_t b = 0; b < blocks; ++b) {
            const auto start = std::chrono::steady_clock::now();
            const std::vector<double>& values =
                chain.Process(channel + 2 * b * blockFrames, 2, detection);
            if (options.bench)
                micros.push_back(std::chrono::duration<double, std::micro>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
            spectra.Append(values);
            detections.Write(DetectionLine(b, detection));
        }
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

#pragma once
// The command line of vorn-process: the window's processing controls as options, with the
// window's defaults.
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "dsp/cfar.h"
#include "dsp/clutter_canceller.h"

namespace vorn::tools {

enum class ProcessMode { Range, RangeVelocityMap, Velocity, Cw, Fsk };
enum class OutputFormat { Npy, Csv };

const char* ModeName(ProcessMode mode);

struct Interval {
    double lower = 0.0;
    double upper = 0.0;
};

struct ProcessOptions {
    std::optional<ProcessMode> mode;  // absent: from the recording's header
    int channel = 1;
    int sweeps = 64;
    bool dcSubtract = true;
    bool hamming = true;
    bool amplitudeCorrection = false;
    dsp::ClutterMode clutter = dsp::ClutterMode::Disabled;
    int clutterAverageCount = 2;
    bool rangeWeighting = false;
    std::optional<Interval> rangeWindow;     // absent: the window is off
    std::optional<Interval> velocityWindow;  // absent: the window is off
    double threshold = 8.0;
    bool cfar = false;  // every target by CA-CFAR instead of the strongest one
    dsp::CfarSettings cfarSettings;
    OutputFormat format = OutputFormat::Npy;
    bool bench = false;
    bool exportSigmf = false;  // convert the recording instead of processing it
    int threads = 0;  // 0: one per processor
    std::string recording;
    std::string outputDirectory;
    // The options the command line gave, by name ("--sweeps"), to refuse those a mode ignores.
    std::set<std::string> given;
};

struct ParsedArguments {
    ProcessOptions options;
    bool help = false;
    std::string error;  // empty when the arguments are usable
};

// args excludes the program name.
ParsedArguments ParseProcessArguments(const std::vector<std::string>& args);

// Empty when every given option applies to the mode; otherwise which one does not.
std::string CheckOptionsForMode(const ProcessOptions& options, ProcessMode mode);

std::string ProcessUsage();

}  // namespace vorn::tools

#include "tools/process_options.h"

#include <charconv>
#include <cmath>
#include <type_traits>

namespace vorn::tools {

namespace {

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    if constexpr (std::is_floating_point_v<T>) {
        if (r.ec == std::errc() && !std::isfinite(value)) return false;
    }
    return !text.empty() && r.ec == std::errc() && r.ptr == end;
}

bool ParseInterval(const std::string& text, Interval& out) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    return ParseNumber(text.substr(0, colon), out.lower) &&
           ParseNumber(text.substr(colon + 1), out.upper) && out.lower <= out.upper;
}

// "R:V", two counts of cells from 0 (automatic) to 256.
bool ParseCells(const std::string& text, int& range, int& doppler) {
    const std::size_t colon = text.find(':');
    return colon != std::string::npos && ParseNumber(text.substr(0, colon), range) &&
           ParseNumber(text.substr(colon + 1), doppler) && range >= 0 && range <= 256 &&
           doppler >= 0 && doppler <= 256;
}

bool ParseMode(const std::string& text, ProcessMode& mode) {
    for (ProcessMode m : {ProcessMode::Range, ProcessMode::RangeVelocityMap, ProcessMode::Velocity,
                          ProcessMode::Cw, ProcessMode::Fsk}) {
        if (text == ModeName(m)) {
            mode = m;
            return true;
        }
    }
    return false;
}

bool ParseClutter(const std::string& text, ProcessOptions& o) {
    if (text == "off") {
        o.clutter = dsp::ClutterMode::Disabled;
        return true;
    }
    if (text == "reference") {
        o.clutter = dsp::ClutterMode::Reference;
        return true;
    }
    const std::string prefix = "average:";
    if (text.compare(0, prefix.size(), prefix) != 0) return false;
    o.clutter = dsp::ClutterMode::MovingAverage;
    return ParseNumber(text.substr(prefix.size()), o.clutterAverageCount) &&
           o.clutterAverageCount >= 2 && o.clutterAverageCount <= 64;
}

// Applies one option that takes a value; false with `error` set when the value is bad.
bool ApplyValue(const std::string& name, const std::string& value, ProcessOptions& o,
                std::string& error) {
    bool ok = false;
    std::string expected;
    if (name == "--mode") {
        ProcessMode mode{};
        ok = ParseMode(value, mode);
        if (ok) o.mode = mode;
        expected = "range, rvmap, velocity, cw or fsk";
    } else if (name == "--channel") {
        ok = ParseNumber(value, o.channel) && (o.channel == 1 || o.channel == 2);
        expected = "1 or 2";
    } else if (name == "--sweeps") {
        ok = ParseNumber(value, o.sweeps) && o.sweeps >= 8 && o.sweeps <= 1024;
        expected = "an integer from 8 to 1024";
    } else if (name == "--clutter") {
        ok = ParseClutter(value, o);
        expected = "off, reference or average:K with K from 2 to 64";
    } else if (name == "--range-window" || name == "--velocity-window") {
        Interval interval;
        ok = ParseInterval(value, interval);
        (name == "--range-window" ? o.rangeWindow : o.velocityWindow) = interval;
        expected = "LO:HI with LO <= HI";
    } else if (name == "--threshold") {
        ok = ParseNumber(value, o.threshold);
        expected = "a number of dB";
    } else if (name == "--cfar-pfa") {
        double& pfa = o.cfarSettings.pfa;
        ok = ParseNumber(value, pfa) && pfa >= 1e-8 && pfa <= 1e-3;
        expected = "a probability from 1e-8 to 1e-3";
    } else if (name == "--cfar-guard" || name == "--cfar-train") {
        dsp::CfarSettings& c = o.cfarSettings;
        ok = name == "--cfar-guard" ? ParseCells(value, c.range.guard, c.doppler.guard)
                                    : ParseCells(value, c.range.train, c.doppler.train);
        expected = "R:V, cells in range and in Doppler, 0 to 256 (0: automatic)";
    } else if (name == "--threads") {
        ok = ParseNumber(value, o.threads) && o.threads >= 1 && o.threads <= 64;
        expected = "an integer from 1 to 64";
    } else if (name == "--format") {
        ok = value == "npy" || value == "csv";
        o.format = value == "csv" ? OutputFormat::Csv : OutputFormat::Npy;
        expected = "npy or csv";
    }
    if (!ok) error = "invalid value \"" + value + "\" for " + name + ": expected " + expected;
    return ok;
}

const std::set<std::string> kValueOptions = {
    "--mode",   "--channel",         "--sweeps",  "--clutter",  "--range-window", "--threshold",
    "--format", "--velocity-window", "--threads", "--cfar-pfa", "--cfar-guard",   "--cfar-train"};

}  // namespace

const char* ModeName(ProcessMode mode) {
    switch (mode) {
        case ProcessMode::Range:
            return "range";
        case ProcessMode::RangeVelocityMap:
            return "rvmap";
        case ProcessMode::Velocity:
            return "velocity";
        case ProcessMode::Cw:
            return "cw";
        case ProcessMode::Fsk:
            return "fsk";
    }
    return "?";
}

ParsedArguments ParseProcessArguments(const std::vector<std::string>& args) {
    ParsedArguments parsed;
    ProcessOptions& o = parsed.options;
    std::vector<std::string> positional;
    bool optionsEnd = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (optionsEnd || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnd = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            return parsed;
        }
        std::string value;
        bool hasValue = false;
        if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        o.given.insert(arg);
        if (kValueOptions.count(arg) != 0) {
            if (!hasValue) {
                if (i + 1 >= args.size()) {
                    parsed.error = "option " + arg + " needs a value";
                    return parsed;
                }
                value = args[++i];
            }
            if (!ApplyValue(arg, value, o, parsed.error)) return parsed;
            continue;
        }
        if (hasValue) {
            parsed.error = "option " + arg + " takes no value";
            return parsed;
        }
        if (arg == "--no-dc") {
            o.dcSubtract = false;
        } else if (arg == "--no-hamming") {
            o.hamming = false;
        } else if (arg == "--amplitude") {
            o.amplitudeCorrection = true;
        } else if (arg == "--range-weighting") {
            o.rangeWeighting = true;
        } else if (arg == "--cfar") {
            o.cfar = true;
        } else if (arg == "--bench") {
            o.bench = true;
        } else if (arg == "--export-sigmf") {
            o.exportSigmf = true;
        } else {
            parsed.error = "unknown option " + arg;
            return parsed;
        }
    }
    if (positional.size() != 2) {
        parsed.error = positional.size() < 2 ? "expected RECORDING.dat and OUTDIR"
                                             : "too many arguments: expected RECORDING.dat and "
                                               "OUTDIR";
        return parsed;
    }
    o.recording = positional[0];
    o.outputDirectory = positional[1];
    if (o.exportSigmf) {
        // A conversion processes nothing: a processing option would silently do nothing.
        for (const std::string& name : o.given) {
            if (name != "--export-sigmf" && name != "--threads") {
                parsed.error = name + " does not apply to --export-sigmf";
                return parsed;
            }
        }
    }
    return parsed;
}

std::string CheckOptionsForMode(const ProcessOptions& options, ProcessMode mode) {
    const bool fmcw = mode == ProcessMode::Range || mode == ProcessMode::RangeVelocityMap ||
                      mode == ProcessMode::Velocity;
    const struct {
        const char* name;
        bool applies;
    } rules[] = {
        {"--sweeps", mode != ProcessMode::Range},
        {"--no-dc", fmcw},
        {"--amplitude", mode != ProcessMode::Fsk},
        {"--clutter", fmcw},
        {"--range-weighting", fmcw},
        {"--range-window", fmcw},
        {"--velocity-window", mode != ProcessMode::Range && mode != ProcessMode::Cw},
        {"--threshold", mode == ProcessMode::Fsk},
        {"--cfar", mode == ProcessMode::Range || mode == ProcessMode::RangeVelocityMap},
    };
    for (const char* name : {"--cfar-pfa", "--cfar-guard", "--cfar-train"}) {
        if (!options.cfar && options.given.count(name) != 0)
            return std::string(name) + " needs --cfar";
    }
    for (const auto& rule : rules) {
        if (!rule.applies && options.given.count(rule.name) != 0)
            return std::string(rule.name) + " does not apply to --mode " + ModeName(mode);
    }
    return {};
}

std::string ProcessUsage() {
    return R"(Usage: vorn-process [options] RECORDING.dat OUTDIR
       vorn-process --export-sigmf RECORDING.dat OUTDIR

Processes a recording of the window (".dat") block by block with the processing of the live
display and writes into OUTDIR:
  spectra.npy      float64: (blocks, 513) for range, (blocks, 1024) for velocity, cw and fsk,
                   (blocks, 513, 1024) for rvmap; a velocity row is the power of each rvmap
                   column averaged over its 513 range bins, in dB (the window's Velocity
                   Waterfall row)
  axis.npy         the last dimension's axis: metres (range), metres per second (others)
  range_axis.npy   rvmap only: the range of each map row, in metres
  detections.csv   block,range_m,velocity_m_s,level_db: what the markers and dials show;
                   with --cfar one row per detection, strongest first, and no row for a
                   block without any

RECORDING is a ".dat" file or a SigMF recording given by its ".sigmf-meta" file (as
--export-sigmf writes it: cu16_le, two channels, the radar's parameters under "vorn:").

A block is what one display update reads: N frames (N samples per sweep) for range, S x N
frames for the other modes. A trailing partial block is dropped and counted on stderr.

Options (defaults are the window's):
  --mode MODE             range, rvmap, velocity, cw or fsk; default from the header:
                          bandwidth 0 is cw, 6000000 is fsk, anything else range
  --channel 1|2           receive channel (1)
  --sweeps S              sweeps per block, 8 to 1024 (64); not for range
  --no-dc                 no DC subtraction (on by default); FMCW modes
  --no-hamming            no Hamming window (on by default)
  --amplitude             amplitude correction; not for fsk
  --clutter MODE          clutter cancellation: off, reference (the first block) or
                          average:K (moving average of K blocks, 2 to 64) (off); FMCW modes
  --range-weighting       outdoor range weighting; FMCW modes
  --range-window LO:HI    range window in metres (off); FMCW modes
  --velocity-window LO:HI velocity window in m/s (off); rvmap, velocity and fsk
  --threshold DB          FSK detection threshold in dB (8)
  --cfar                  every target by cell-averaging CFAR instead of the strongest one;
                          range and rvmap. An rvmap row's range is corrected for the
                          target's velocity (its Doppler shift adds to the beat tone)
  --cfar-pfa P            false-alarm probability per cell, 1e-8 to 1e-3 (1e-6)
  --cfar-guard R:V        guard cells either side in range and in Doppler (0:0, automatic:
                          2 x 1024/N in range, 2 x 1024/S in Doppler); V unused by range
  --cfar-train R:V        training cells either side beyond the guard (0:0, automatic:
                          as the guard on the map, 8 x 1024/N in range mode)
  --format npy|csv        csv writes .csv files instead of the .npy ones (npy): spectra.csv
                          with one block a line (rvmap: one line per range bin, the blocks one
                          after the other), axis.csv and range_axis.csv on one line each
  --threads N             worker threads, 1 to 64 (one per processor); the output is the
                          same for any number. Clutter cancellation runs on one thread, as it
                          carries from block to block
  --bench                 print the median and 95th percentile processing time per block, in
                          microseconds, on stdout
  --export-sigmf          process nothing: write the recording as SigMF 1.x,
                          OUTDIR/NAME.sigmf-meta and OUTDIR/NAME.sigmf-data (NAME: the
                          recording's name without ".dat"); cu16_le samples, channels 1 and 2
                          interleaved, sample rate N / sweep time, the carrier the processing
                          assumes (FMCW 5.6 GHz + bandwidth/2, CW and FSK 5.6 GHz), the start
                          time in UTC when the name is the window's default
                          (%Y-%m-%d-%H-%M-%S.dat, local time), and the radar's parameters and
                          the four header lines under "vorn:". A recording without a header,
                          or with values outside 0 to 65535, is refused
  -h, --help              show this help

Bad input (missing or malformed header, a non-numeric sample line, a mode the header does not
allow, an empty file; a SigMF recording of another datatype or without "vorn:header") is
reported with the file and line, exit status 2, and nothing is written to OUTDIR.
)";
}

}  // namespace vorn::tools

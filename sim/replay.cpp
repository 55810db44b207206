#include "sim/replay.h"

#include <sstream>

#include "device/radar_constants.h"

namespace vorn::sim {

namespace {

constexpr int kHeaderLines = 4;

const char* ModeName(RadarMode mode) {
    switch (mode) {
        case RadarMode::FmcwSawtooth:
            return "FMCW";
        case RadarMode::FmcwTriangle:
            return "FMCW triangle";
        case RadarMode::Fsk:
            return "FSK";
        case RadarMode::Cw:
            return "CW";
    }
    return "unknown";
}

std::string Number(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// Whether some parameter word decodes to this sweep time, sample count (and bandwidth).
bool RadarCanRun(const RadarParameters& p, bool checkBandwidth) {
    for (int low = 0; low < 256; ++low) {
        const auto decoded =
            DecodeParameterWord(static_cast<std::uint16_t>(kParameterMarker | low));
        if (decoded && decoded->sweepTimeS == p.sweepTimeS &&
            decoded->samplesPerSweep == p.samplesPerSweep &&
            (!checkBandwidth || decoded->bandwidthHz == p.bandwidthHz))
            return true;
    }
    return false;
}

ReplayLoad Fail(const std::string& fileName, long line, const std::string& what) {
    ReplayLoad load;
    load.message = "\"" + fileName + "\": line " + std::to_string(line) + ": " + what;
    return load;
}

}  // namespace

std::string Replay::Mismatch(const RadarParameters& asked) const {
    std::string out;
    const auto add = [&out](const std::string& what) {
        out += out.empty() ? "Replay refused the operating parameters: " : "; ";
        out += what;
    };
    if (asked.mode != parameters.mode)
        add(std::string("mode ") + ModeName(asked.mode) + ", the recording is " +
            ModeName(parameters.mode));
    if (asked.sweepTimeS != parameters.sweepTimeS)
        add("sweep time " + Number(asked.sweepTimeS * 1000.0) + " ms, the recording has " +
            Number(parameters.sweepTimeS * 1000.0) + " ms");
    if (asked.samplesPerSweep != parameters.samplesPerSweep)
        add("samples per sweep " + std::to_string(asked.samplesPerSweep) + ", the recording has " +
            std::to_string(parameters.samplesPerSweep));
    if (bandwidthRecorded && asked.bandwidthHz != parameters.bandwidthHz)
        add("bandwidth " + Number(asked.bandwidthHz / 1e6) + " MHz, the recording has " +
            Number(parameters.bandwidthHz / 1e6) + " MHz");
    return out;
}

std::vector<RawFrame> Replay::Frames(std::uint64_t first, std::size_t count) const {
    std::vector<RawFrame> out(count);
    if (frames.empty()) return out;
    std::size_t at = static_cast<std::size_t>(first % frames.size());
    for (std::size_t k = 0; k < count; ++k) {
        out[k] = frames[at];
        if (++at == frames.size()) at = 0;
    }
    return out;
}

ReplayLoad MakeReplay(const record::ReadResult& parsed, const std::string& fileName) {
    if (!parsed.ok) {
        ReplayLoad load;
        load.message = parsed.message;
        return load;
    }
    if (!parsed.header)
        return Fail(fileName, 1,
                    "no header: the operating parameters of the recording are unknown");
    const record::FileHeader& h = *parsed.header;

    Replay replay;
    switch (record::InferOperatingMode(h)) {
        case record::kModeCw:
            replay.parameters.mode = RadarMode::Cw;
            replay.bandwidthRecorded = false;
            break;
        case record::kModeFsk:
            replay.parameters.mode = RadarMode::Fsk;
            replay.bandwidthRecorded = false;
            break;
        default:
            replay.parameters.mode = RadarMode::FmcwSawtooth;
            replay.parameters.bandwidthHz = h.bandwidthHz;
            break;
    }
    replay.parameters.sweepTimeS = h.sweepTimeMs / 1000.0;
    replay.parameters.samplesPerSweep = h.samplesPerSweep;
    if (!RadarCanRun(replay.parameters, false))
        return Fail(fileName, 2,
                    "sweep time " + Number(h.sweepTimeMs) + " ms with " +
                        std::to_string(h.samplesPerSweep) +
                        " samples per sweep is not a setting of the radar");
    if (replay.bandwidthRecorded && !RadarCanRun(replay.parameters, true))
        return Fail(fileName, 4,
                    "bandwidth " + Number(h.bandwidthHz) + " Hz is not a setting of the radar");

    const std::size_t perSweep = static_cast<std::size_t>(h.samplesPerSweep);
    const std::size_t frames = parsed.samples.size() / 2 / perSweep * perSweep;
    if (frames == 0)
        return Fail(fileName, kHeaderLines + static_cast<long>(parsed.samples.size()),
                    "the recording holds no whole sweep");
    replay.frames.resize(frames);
    // Q travels in 15 bits beside the frame-start bit and I in a word of its own; keeping both
    // to 15 bits leaves the start bit the only one the host can synchronise on.
    const auto word = [](double v, std::uint16_t& out) {
        if (!(v >= 0.0 && v <= kSampleMask)) return false;
        out = static_cast<std::uint16_t>(v);
        return true;
    };
    for (std::size_t k = 0; k < frames; ++k) {
        RawFrame& f = replay.frames[k];
        for (int c = 0; c < 2; ++c) {
            const auto& s = parsed.samples[2 * k + static_cast<std::size_t>(c)];
            RawSample& raw = c == 0 ? f.ch1 : f.ch2;
            if (!word(s.real(), raw.i) || !word(s.imag(), raw.q))
                return Fail(
                    fileName, kHeaderLines + 1 + static_cast<long>(2 * k) + c,
                    "value outside the converter's range 0 to " + std::to_string(kSampleMask));
        }
    }
    ReplayLoad load;
    load.replay = std::move(replay);
    return load;
}

ReplayLoad LoadReplay(const std::string& path) {
    return MakeReplay(record::ReadSampleFile(path), path);
}

}  // namespace vorn::sim

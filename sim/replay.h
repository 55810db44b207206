#pragma once
// Playing a recording back through the stand-in: its frames take the place of the synthetic
// scene, and the radar takes only parameter blocks that match what the recording was made with.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "record/sample_file_reader.h"
#include "sim/parameters.h"
#include "sim/scene.h"

namespace vorn::sim {

struct Replay {
    RadarParameters parameters;  // from the file's header
    // CW and FSK headers carry a fixed constant in place of the bandwidth, so it is not known.
    bool bandwidthRecorded = true;
    std::vector<RawFrame> frames;  // whole sweeps only

    // Empty when the radar may run with `asked`; otherwise every parameter that differs from
    // the recording, in words for the operator.
    std::string Mismatch(const RadarParameters& asked) const;

    // Frames for stream samples first .. first + count - 1; the recording repeats end to end.
    std::vector<RawFrame> Frames(std::uint64_t first, std::size_t count) const;
};

struct ReplayLoad {
    std::optional<Replay> replay;
    std::string message;  // why there is none, naming the file and line
};

// From a parsed sample file. Needs the header and values a converter word can carry; a
// trailing part sweep is left out so that every loop starts on a sweep boundary.
ReplayLoad MakeReplay(const record::ReadResult& parsed, const std::string& fileName);
ReplayLoad LoadReplay(const std::string& path);

}  // namespace vorn::sim

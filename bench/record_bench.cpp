// Offline range processing of a recording, parsing included: 15 s of 1 ms sweeps with 128
// samples (3.84 million lines), read, split into channels and turned into one range profile per
// sweep, as the offline tool does in range mode. Real time is 15 s.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "dsp/fmcw_range.h"
#include "plain_sample_parser.h"
#include "record/sample_file_reader.h"
#include "record/sample_file_writer.h"

namespace {

constexpr int kSamplesPerSweep = 128;
constexpr int kSweeps = 15000;
constexpr double kRecordingSeconds = 15.0;

std::string WriteRecording() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "vorn_bench_recording.dat").string();
    std::vector<std::complex<double>> interleaved(2u * kSamplesPerSweep * kSweeps);
    for (std::size_t i = 0; i < interleaved.size(); ++i) {
        const double phase = 0.37 * static_cast<double>(i / 2 % kSamplesPerSweep);
        interleaved[i] = {std::round(2048.0 + 900.0 * std::cos(phase)),
                          std::round(2048.0 + 850.0 * std::sin(phase))};
    }
    vorn::record::RecordHeader header;
    header.operatingMode = vorn::record::kModeFmcwSawtooth;
    header.centerFrequencyHz = 5.65e9;
    header.sweepTimeMs = 1.0;
    header.samplesPerSweep = kSamplesPerSweep;
    header.bandwidthHz = 100e6;
    if (!vorn::record::WriteSampleFile(path, header, interleaved).ok) return {};
    return path;
}

void BM_OfflineRangeProcessing(benchmark::State& state) {
    const std::string path = WriteRecording();
    if (path.empty()) {
        state.SkipWithError("could not write the recording");
        return;
    }
    using namespace vorn::dsp;
    FmcwRangeSettings settings;
    settings.samplesPerSweep = kSamplesPerSweep;
    settings.iqBalancing = {true, false};
    settings.hammingWindow = true;
    std::size_t profiles = 0;
    for (auto _ : state) {
        const vorn::record::ReadResult read = vorn::record::ReadSampleFile(path);
        if (!read.ok) {
            state.SkipWithError("could not read the recording");
            break;
        }
        const vorn::record::ChannelPair channels = vorn::record::SplitChannels(read.samples);
        FmcwRangeProcessor processor;
        ClutterCanceller clutter;
        profiles = 0;
        for (std::size_t s = 0; (s + 1) * kSamplesPerSweep <= channels.channel1.size(); ++s) {
            SampleBlock sweep(
                channels.channel1.begin() + static_cast<long>(s * kSamplesPerSweep),
                channels.channel1.begin() + static_cast<long>((s + 1) * kSamplesPerSweep));
            benchmark::DoNotOptimize(processor.Process(sweep, settings, clutter));
            ++profiles;
        }
    }
    state.counters["profiles"] = static_cast<double>(profiles);
    state.counters["x_realtime"] = benchmark::Counter(
        kRecordingSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    std::remove(path.c_str());
}
BENCHMARK(BM_OfflineRangeProcessing)->Unit(benchmark::kMillisecond)->Iterations(3);

// The fast reader alone, as vorn-process runs it: the recording parsed into whole-number
// entries on two threads.
void BM_ReadSampleEntries(benchmark::State& state) {
    const std::string path = WriteRecording();
    if (path.empty()) {
        state.SkipWithError("could not write the recording");
        return;
    }
    for (auto _ : state) {
        const vorn::record::EntryReadResult read = vorn::record::ReadSampleEntries(path, 2);
        if (!read.ok) {
            state.SkipWithError("could not read the recording");
            break;
        }
        benchmark::DoNotOptimize(read.entries.data());
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_ReadSampleEntries)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->MeasureProcessCPUTime();

}  // namespace

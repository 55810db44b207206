// vorn-process gives byte for byte the same files on one thread and on several, in every mode,
// with the settings whose state is built on first use (windows, weighting) and with clutter
// cancellation, which carries from block to block.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>

#include "record/sample_file_writer.h"
#include "tools/process_run.h"

namespace {

namespace fs = std::filesystem;

const fs::path kDir = fs::path(testing::TempDir()) / ("vorn-threads-" + std::to_string(getpid()));

// Noise with a tone, both channels, `frames` frames.
std::string Record(const std::string& name, int mode, double bandwidthHz, int frames) {
    std::mt19937 rng(static_cast<unsigned>(frames));
    std::normal_distribution<double> noise(0.0, 40.0);
    std::vector<std::complex<double>> entries(2u * static_cast<std::size_t>(frames));
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const double phase = 0.41 * static_cast<double>(k / 2);
        entries[k] = {std::round(2048 + 700 * std::cos(phase) + noise(rng)),
                      std::round(2048 + 650 * std::sin(phase) + noise(rng))};
    }
    const std::string path = (kDir / name).string();
    EXPECT_TRUE(
        vorn::record::WriteSampleFile(path, {mode, 5.65e9, 1.0, 128, bandwidthHz}, entries).ok);
    return path;
}

// Runs with the options and --threads N; returns each output file's bytes by name.
std::map<std::string, std::string> RunWith(const std::vector<std::string>& options, int threads) {
    static int runs = 0;
    const std::string out = (kDir / ("out" + std::to_string(runs++))).string();
    std::vector<std::string> args{"--threads", std::to_string(threads)};
    for (const std::string& o : options) args.push_back(o);
    args.push_back(out);
    std::ostringstream stdOut, stdErr;
    EXPECT_EQ(vorn::tools::RunVornProcess(args, stdOut, stdErr), 0) << stdErr.str();
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(out)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

}  // namespace

TEST(ProcessThreads, SameFilesOnOneThreadAndOnSeveral) {
    using namespace vorn::record;
    ASSERT_TRUE(fs::create_directories(kDir));
    // 600 range blocks: several output chunks, so the workers take turns writing.
    const std::string fmcw = Record("fmcw.dat", kModeFmcwSawtooth, 100e6, 600 * 128);
    const std::string shortFmcw = Record("short.dat", kModeFmcwSawtooth, 100e6, 5 * 8 * 128 + 77);
    const std::string cw = Record("cw.dat", kModeCw, 0.0, 12 * 8 * 128);
    const std::string fsk = Record("fsk.dat", kModeFsk, 0.0, 12 * 8 * 128);
    const std::vector<std::vector<std::string>> cases = {
        {"--channel", "2", "--range-window", "3:40", "--range-weighting", "--amplitude", fmcw},
        {"--format", "csv", "--no-hamming", "--no-dc", fmcw},
        {"--clutter", "average:4", fmcw},
        {"--clutter", "reference", "--mode", "velocity", "--sweeps", "8", shortFmcw},
        {"--mode", "rvmap", "--sweeps", "8", "--velocity-window", "0:5", shortFmcw},
        {"--mode", "velocity", "--sweeps", "8", "--range-window", "1:30", shortFmcw},
        {"--sweeps", "8", cw},
        {"--sweeps", "8", "--velocity-window", "-3:4", "--threshold", "3", fsk},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const auto single = RunWith(args, 1);
        EXPECT_GE(single.size(), 3u);
        for (int threads : {2, 3})
            EXPECT_TRUE(RunWith(args, threads) == single) << threads << " threads";
    }
    for (const char* count : {"0", "65", "two"}) {
        std::ostringstream out, err;
        EXPECT_EQ(vorn::tools::RunVornProcess({"--threads", count, fmcw, "out"}, out, err), 2);
        EXPECT_NE(err.str().find("expected an integer from 1 to 64"), std::string::npos)
            << err.str();
    }
    std::error_code ignored;
    fs::remove_all(kDir, ignored);
}

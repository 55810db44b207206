// vorn-process gives byte for byte the same files on one thread and on several, in every mode,
// with the settings whose state is built on first use (windows, weighting) and with clutter
// cancellation, which carries from block to block.
#include <gtest/gtest.h>
#include <stdlib.h>

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

class ProcessThreads : public ::testing::Test {
protected:
    ProcessThreads() {
        std::string pattern = testing::TempDir() + "vorn-threads-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        dir_ = pattern;
    }
    ~ProcessThreads() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

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
        const vorn::record::RecordHeader header{mode, 5.65e9, 1.0, 128, bandwidthHz};
        const std::string path = (dir_ / name).string();
        EXPECT_TRUE(vorn::record::WriteSampleFile(path, header, entries).ok);
        return path;
    }

    // Runs with the options, adding --threads N; returns each output file's bytes by name.
    std::map<std::string, std::string> Run(std::vector<std::string> args, int threads) {
        const std::string out = (dir_ / ("out" + std::to_string(runs_++))).string();
        args.insert(args.begin(), {"--threads", std::to_string(threads)});
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

    fs::path dir_;
    int runs_ = 0;
};

TEST_F(ProcessThreads, SameFilesOnOneThreadAndOnSeveral) {
    // 600 range blocks: several output chunks, so the workers take turns writing.
    using namespace vorn::record;
    const std::string fmcw = Record("fmcw.dat", kModeFmcwSawtooth, 100e6, 600 * 128);
    const std::string shortFmcw = Record("short.dat", kModeFmcwSawtooth, 100e6, 5 * 8 * 128 + 77);
    const std::string cw = Record("cw.dat", kModeCw, 0.0, 12 * 8 * 128);
    const std::string fsk = Record("fsk.dat", kModeFsk, 0.0, 12 * 8 * 128);
    const std::vector<std::vector<std::string>> cases = {
        {fmcw},
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
        const auto single = Run(args, 1);
        EXPECT_GE(single.size(), 3u);
        for (int threads : {2, 3})
            EXPECT_TRUE(Run(args, threads) == single) << threads << " threads";
    }
}

TEST_F(ProcessThreads, RefusesAThreadCountOutOfRange) {
    for (const char* count : {"0", "65", "two"}) {
        std::ostringstream out, err;
        EXPECT_EQ(vorn::tools::RunVornProcess({"--threads", count, "r.dat", "out"}, out, err), 2);
        EXPECT_NE(err.str().find("expected an integer from 1 to 64"), std::string::npos)
            << err.str();
    }
}

}  // namespace

// Range chains on several threads at once, each planning a new window response and a transform
// of another length on every block: the results must be those of one thread running them.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "dsp/fft.h"
#include "dsp/fmcw_range.h"
#include "tests/dsp/synthetic_signal.h"

namespace vorn::dsp {
namespace {

constexpr int kSamples = 256;
constexpr int kBlocks = 250;

// The profiles of kBlocks sweeps, the window moving every block; `seed` varies the targets.
std::vector<std::vector<double>> RunChain(int seed) {
    FmcwRangeSettings s;
    s.samplesPerSweep = kSamples;
    s.bandwidthHz = 150e6;
    s.iqBalancing.dcSubtract = true;
    FmcwRangeProcessor processor;  // plans its transform here, on this thread
    ClutterCanceller clutter;
    std::vector<std::vector<double>> profiles;
    for (int b = 0; b < kBlocks; ++b) {
        const double lower = 2.0 * ((b + seed) % 9);
        s.window = {lower, lower + 20.0 + b % 5};
        SampleBlock block = testing::FmcwBurst({{10.0 + seed + 0.1 * b, 0.0, 300.0}}, kSamples, 1,
                                               1.0, s.bandwidthHz, 5.6e9 + 75e6, {2048.0, 2048.0});
        profiles.push_back(processor.Process(block, s, clutter).profile);
        // Odd and prime lengths, whose plans take the planner longest.
        std::vector<Complex> odd(block.begin(), block.begin() + 61 + 7 * ((b + seed) % 23));
        ForwardTransform(odd);
        for (const Complex& v : odd) profiles.back().push_back(v.real());
    }
    return profiles;
}

TEST(FftThreads, ChainsPlanningOnSeveralThreadsMatchOneThread) {
    constexpr int kThreads = 4;
    std::vector<std::vector<std::vector<double>>> expected;
    for (int t = 0; t < kThreads; ++t) expected.push_back(RunChain(t));

    std::vector<std::vector<std::vector<double>>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back([&got, t] { got[t] = RunChain(t); });
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(got[t], expected[t]) << "thread " << t;
}

}  // namespace
}  // namespace vorn::dsp

// Every committed fuzz input, seeds and past findings alike, through the same checks the fuzz
// targets make, in the ordinary build (and under the sanitizers in theirs).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int FuzzSampleFrames(const std::uint8_t* data, std::size_t size);
extern "C" int FuzzFirmwareRecords(const std::uint8_t* data, std::size_t size);
extern "C" int FuzzSampleParsers(const std::uint8_t* data, std::size_t size);
extern "C" int FuzzParameterBlock(const std::uint8_t* data, std::size_t size);

namespace {

using Target = int (*)(const std::uint8_t*, std::size_t);

int RunCorpus(const char* name, Target target) {
    const std::filesystem::path dir = std::filesystem::path(VORN_FUZZ_CORPUS) / name;
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<char> chars{std::istreambuf_iterator<char>(in), {}};
        // An exact-size heap copy, so the sanitizers see every byte read past the end.
        const std::vector<std::uint8_t> bytes(chars.begin(), chars.end());
        SCOPED_TRACE(entry.path().filename().string());
        target(bytes.empty() ? nullptr : bytes.data(), bytes.size());
        ++inputs;
    }
    return inputs;
}

}  // namespace

TEST(FuzzCorpus, EveryInputPassesItsTarget) {
    EXPECT_GT(RunCorpus("sample_frames", FuzzSampleFrames), 0);
    EXPECT_GT(RunCorpus("firmware_records", FuzzFirmwareRecords), 0);
    EXPECT_GT(RunCorpus("sample_parsers", FuzzSampleParsers), 0);
    EXPECT_GT(RunCorpus("parameter_block", FuzzParameterBlock), 0);
    // The targets also take nothing at all.
    FuzzSampleFrames(nullptr, 0);
    FuzzFirmwareRecords(nullptr, 0);
    FuzzSampleParsers(nullptr, 0);
    FuzzParameterBlock(nullptr, 0);
}

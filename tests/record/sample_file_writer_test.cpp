#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "record/sample_file_format.h"
#include "record/sample_file_writer.h"
#include "temp_dir.h"

namespace vorn::record {
namespace {

using Samples = std::vector<std::complex<double>>;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Line(std::complex<double> sample) {
    char buffer[kMaxSampleLineLength];
    return std::string(buffer, FormatSampleLine(buffer, sample));
}

RecordHeader Sawtooth150() {
    return {kModeFmcwSawtooth, 5675000000.0, 2.0, 256, 150000000.0};
}

TEST(SampleFileWriter, WritesTheFmcwExampleByteForByte) {
    TempDir dir;
    const std::string path = dir.File("example.dat");
    const WriteResult result =
        WriteSampleFile(path, Sawtooth150(), Samples{{1110.0, 291.0}, {1200.0, 305.0}});
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(result.linesWritten, 2u);
    EXPECT_EQ(Slurp(path),
              "5675000000.000000\n2.000000\n256\n150000000.000000\n"
              "1110+291i\n1200+305i\n");
}

TEST(SampleFileWriter, HeaderFollowsTheMode) {
    RecordHeader cw{kModeCw, 5650000000.0, 10.0, 1024, 100000000.0};
    EXPECT_EQ(FormatHeaderLines(*HeaderLinesFor(cw)),
              "5800000000.000000\n10.000000\n1024\n0.000000\n");

    RecordHeader fsk{kModeFsk, 5650000000.0, 1.0, 128, 100000000.0};
    EXPECT_EQ(FormatHeaderLines(*HeaderLinesFor(fsk)),
              "5800000000.000000\n1.000000\n128\n6000000.000000\n");

    RecordHeader triangle{kModeFmcwTriangle, 5650000000.0, 1.0, 128, 100000000.0};
    EXPECT_FALSE(HeaderLinesFor(triangle).has_value());
    RecordHeader unknown{7, 5650000000.0, 1.0, 128, 100000000.0};
    EXPECT_FALSE(HeaderLinesFor(unknown).has_value());

    TempDir dir;
    const std::string path = dir.File("triangle.dat");
    ASSERT_TRUE(WriteSampleFile(path, triangle, Samples{{1.0, 2.0}, {3.0, 4.0}}).ok);
    EXPECT_EQ(Slurp(path), "1+2i\n3+4i\n");
}

TEST(SampleFileWriter, HeaderKeepsThePointUnderACommaLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        GTEST_SKIP() << "no German locale installed";
    }
    const std::string text = FormatHeaderLines(*HeaderLinesFor(Sawtooth150()));
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(text, "5675000000.000000\n2.000000\n256\n150000000.000000\n");
}

TEST(SampleFileFormat, TruncatesTowardZero) {
    EXPECT_EQ(Line({12.9, -5.7}), "12+-5i\n");
    EXPECT_EQ(Line({-0.9, 0.9}), "0+0i\n");
    EXPECT_EQ(Line({-3.5, -1.0}), "-3+-1i\n");
    EXPECT_EQ(Line({32767.99, 0.0}), "32767+0i\n");
}

TEST(SampleFileFormat, SaturatesValuesAnIntCannotHold) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Line({inf, -inf}), "2147483647+-2147483648i\n");
    EXPECT_EQ(Line({nan, 1e300}), "0+2147483647i\n");
    EXPECT_EQ(Line({2147483647.9, -2147483648.9}), "2147483647+-2147483648i\n");
    EXPECT_EQ(Line({2147483648.0, -2147483649.0}), "2147483647+-2147483648i\n");
    EXPECT_EQ(SampleToInt(-DBL_MAX), INT_MIN);
    EXPECT_EQ(static_cast<int>(Line({-2147483648.0, -2147483648.0}).size()), kMaxSampleLineLength);
}

TEST(SampleFileWriter, LongRecordingSpansManyBufferFlushes) {
    // Several megabytes: the buffer is flushed many times and no line may be split or lost.
    Samples samples;
    for (int k = 0; k < 400000; ++k) samples.emplace_back(k, -k);
    TempDir dir;
    const std::string path = dir.File("long.dat");
    ASSERT_TRUE(WriteSampleFile(path, Sawtooth150(), samples).ok);

    std::ifstream in(path);
    std::string line;
    for (int k = 0; k < 4; ++k) std::getline(in, line);
    int count = 0;
    bool inOrder = true;
    while (std::getline(in, line)) {
        inOrder = inOrder && line == std::to_string(count) + "+" + std::to_string(-count) + "i";
        ++count;
    }
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(count, 400000);
}

TEST(SampleFileWriter, ReportsAFileThatCannotBeCreated) {
    TempDir dir;
    const std::string missing = dir.File("no-such-dir/x.dat");
    WriteResult result = WriteSampleFile(missing, Sawtooth150(), Samples{{1, 2}, {3, 4}});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find(missing), std::string::npos) << result.message;
    EXPECT_NE(result.message.find("No such file or directory"), std::string::npos);

    const std::string directory = dir.File("");
    result = WriteSampleFile(directory, Sawtooth150(), Samples{{1, 2}, {3, 4}});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("Is a directory"), std::string::npos) << result.message;
}

TEST(SampleFileWriter, ReportsAFullDeviceAndLeavesTheDeviceAlone) {
    struct stat before {};
    if (::stat("/dev/full", &before) != 0) GTEST_SKIP() << "no /dev/full";
    const WriteResult result = WriteSampleFile("/dev/full", Sawtooth150(), Samples{{1, 2}, {3, 4}});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("/dev/full"), std::string::npos);
    EXPECT_NE(result.message.find("No space left on device"), std::string::npos) << result.message;
    struct stat after {};
    ASSERT_EQ(::stat("/dev/full", &after), 0);
    EXPECT_TRUE(S_ISCHR(after.st_mode));
}

// A file size limit makes writes to a regular file fail part-way, as a full disk would. It runs
// in a child process so the limit stays there.
void WriteUnderSizeLimit(const std::string& path) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 100000;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(3);
    Samples samples(2000000, {1234.0, 5678.0});
    const WriteResult result = WriteSampleFile(path, RecordHeader{}, samples);
    if (result.ok) std::_Exit(1);
    if (result.message.find("File too large") == std::string::npos) std::_Exit(2);
    if (std::filesystem::exists(path)) std::_Exit(4);
    std::_Exit(0);
}

TEST(SampleFileWriterDeathTest, RemovesThePartialFileWhenAWriteFails) {
    TempDir dir;
    const std::string fresh = dir.File("fresh.dat");
    EXPECT_EXIT(WriteUnderSizeLimit(fresh), testing::ExitedWithCode(0), "");

    // An existing file was truncated by the attempt; what is left would be a partial recording.
    const std::string existing = dir.File("existing.dat");
    std::ofstream(existing) << "1+1i\n2+2i\n";
    EXPECT_EXIT(WriteUnderSizeLimit(existing), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace vorn::record

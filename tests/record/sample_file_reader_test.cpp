#include <gtest/gtest.h>

#include <fstream>

#include "record/sample_file_reader.h"
#include "record/sample_file_writer.h"
#include "temp_dir.h"

namespace vorn::record {
namespace {

using Samples = std::vector<std::complex<double>>;

TEST(SampleFileReader, RoundTripsWhatTheWriterWrote) {
    const Samples samples{{1110, 291}, {1200, 305}, {0, -7}, {-2147483648.0, 2147483647}};
    const RecordHeader modes[] = {
        {kModeFmcwSawtooth, 5675000000.0, 2.0, 256, 150000000.0},
        {kModeFsk, 5600000000.0, 4.0, 512, 0.0},
        {kModeCw, 5600000000.0, 10.0, 1024, 0.0},
        {kModeFmcwTriangle, 5600000000.0, 1.0, 128, 100000000.0},
    };
    TempDir dir;
    for (const RecordHeader& header : modes) {
        SCOPED_TRACE(header.operatingMode);
        const std::string path = dir.File("trip.dat");
        ASSERT_TRUE(WriteSampleFile(path, header, samples).ok);
        const ReadResult read = ReadSampleFile(path);
        ASSERT_TRUE(read.ok) << read.message;
        EXPECT_EQ(read.samples, samples);
        EXPECT_EQ(read.header, HeaderLinesFor(header));
        if (read.header) {
            EXPECT_EQ(InferOperatingMode(*read.header), header.operatingMode);
        }
    }
}

TEST(SampleFileReader, AcceptsCrLfAndAMissingFinalLineEnd) {
    ReadResult read = ParseSampleText(
        "5800000000.000000\r\n1.000000\r\n128\r\n0.000000\r\n"
        "1+2i\r\n3+-4i\r\n");
    ASSERT_TRUE(read.ok) << read.message;
    EXPECT_EQ(read.header->samplesPerSweep, 128);
    EXPECT_EQ(read.samples, (Samples{{1, 2}, {3, -4}}));

    read = ParseSampleText("1+2i\n3+4i");
    ASSERT_TRUE(read.ok) << read.message;
    EXPECT_FALSE(read.header.has_value());
    EXPECT_EQ(read.samples.size(), 2u);

    read = ParseSampleText("");
    EXPECT_TRUE(read.ok);
    EXPECT_TRUE(read.samples.empty());
}

TEST(SampleFileReader, RejectsMalformedLinesNamingTheLine) {
    const std::string header = "5675000000.000000\n2.000000\n256\n150000000.000000\n";
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {header + "1+2i\n3+4i\n5+6i\n7 + 8i\n", "line 8: expected <int>+<int>i"},
        {header + "1+2i\n3+4\n", "line 6: expected <int>+<int>i"},
        {header + "1+2i\n3+4ii\n", "line 6: expected <int>+<int>i"},
        {header + "1+2i\n+3+4i\n", "line 6: expected <int>+<int>i"},
        {header + "1+2i\n\n3+4i\n4+5i\n", "line 6: expected <int>+<int>i"},
        {header + "1+2i\n3+99999999999i\n", "line 6: expected <int>+<int>i"},
        {"hello\n1+2i\n", "line 1: expected <int>+<int>i"},
        {"1+2i\n5675000000.000000\n", "line 2: expected <int>+<int>i"},
        {"5675000000.000000\n2.000000\n256.5\n1.0\n", "line 3:"},
        {"5675000000.000000\n2.000000\n256\n", "line 4:"},
        {"5675000000.000000\nx\n256\n1.0\n", "line 2:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ReadResult read = ParseSampleText(c.text);
        EXPECT_FALSE(read.ok);
        EXPECT_NE(read.message.find(c.message), std::string::npos) << read.message;
    }
}

TEST(SampleFileReader, ReportsAMissingChannel) {
    const ReadResult read = ParseSampleText("1+2i\n3+4i\n5+6i\n");
    EXPECT_FALSE(read.ok);
    EXPECT_NE(read.message.find("odd number of samples (3)"), std::string::npos) << read.message;
    EXPECT_EQ(read.samples.size(), 3u);
}

TEST(SampleFileReader, NamesTheFileItCannotRead) {
    TempDir dir;
    const std::string path = dir.File("absent.dat");
    ReadResult read = ReadSampleFile(path);
    EXPECT_FALSE(read.ok);
    EXPECT_NE(read.message.find(path), std::string::npos);
    EXPECT_NE(read.message.find("No such file or directory"), std::string::npos);

    const std::string bad = dir.File("bad.dat");
    std::ofstream(bad) << "1+2i\nx\n";
    read = ReadSampleFile(bad);
    EXPECT_FALSE(read.ok);
    EXPECT_NE(read.message.find(bad), std::string::npos);
    EXPECT_NE(read.message.find("line 2"), std::string::npos);
}

TEST(SplitChannels, SeparatesAlternatingEntries) {
    const ChannelPair pair = SplitChannels(Samples{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}});
    EXPECT_EQ(pair.channel1, (Samples{{1, 1}, {3, 3}}));
    EXPECT_EQ(pair.channel2, (Samples{{2, 2}, {4, 4}}));
}

}  // namespace
}  // namespace vorn::record

// Sample files and their SigMF form: the exact bytes written, failures named with the file and
// reason, and the plain reader with the fast one held to it on what either must refuse (the
// fuzz corpus holds them to each other on arbitrary text, split between threads).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cfloat>
#include <climits>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <utility>

#include "plain_sample_parser.h"
#include "record/sample_file_format.h"
#include "record/sample_file_reader.h"
#include "record/sample_file_writer.h"
#include "record/sigmf.h"
#include "temp_dir.h"

namespace vorn::record {
namespace {

using Samples = std::vector<std::complex<double>>;
const RecordHeader kSawtooth{kModeFmcwSawtooth, 5675000000.0, 2.0, 256, 150000000.0};
const std::string kHeader = "5675000000.000000\n2.000000\n256\n150000000.000000\n";

std::string Slurp(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

ReadResult ExpectSame(const std::string& text, unsigned threads) {
    const ReadResult plain = ParseSampleText(text);
    const EntryReadResult fast = ParseSampleEntries(text, threads);
    EXPECT_EQ(fast.ok, plain.ok);
    EXPECT_EQ(fast.message, plain.message);
    EXPECT_EQ(fast.header, plain.header);
    Samples entries;
    for (const SampleEntry& e : fast.entries) entries.emplace_back(e.re, e.im);
    EXPECT_TRUE(entries == plain.samples) << "entries differ on " << threads << " threads";
    return plain;
}

TEST(SampleFile, WritesTheHeaderItsModeCallsForAndReadsItBack) {
    const struct {
        RecordHeader header;
        std::string text;
    } cases[] = {
        {kSawtooth, kHeader},
        {{kModeCw, 5650000000.0, 10.0, 1024, 100000000.0},
         "5800000000.000000\n10.000000\n1024\n0.000000\n"},
        {{kModeFsk, 5650000000.0, 1.0, 128, 100000000.0},
         "5800000000.000000\n1.000000\n128\n6000000.000000\n"},
        {{7, 5650000000.0, 1.0, 128, 100000000.0}, ""},
    };
    const Samples samples{{1110.0, 291.0}, {-2147483648.0, 2147483647.0}};
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header.operatingMode);
        const WriteResult result = WriteSampleFile(dir.File("x.dat"), c.header, samples);
        ASSERT_TRUE(result.ok) << result.message;
        EXPECT_EQ(result.linesWritten, 2u);
        EXPECT_EQ(Slurp(dir.File("x.dat")), c.text + "1110+291i\n-2147483648+2147483647i\n");
        const ReadResult read = ReadSampleFile(dir.File("x.dat"));
        EXPECT_EQ(read.samples, samples);
        EXPECT_EQ(read.header, HeaderLinesFor(c.header));
        if (read.header) {
            EXPECT_EQ(InferOperatingMode(*read.header), c.header.operatingMode);
        }
    }
    // The header keeps its decimal point under a locale that writes a comma.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr) {
        const std::string text = FormatHeaderLines(*HeaderLinesFor(kSawtooth));
        std::setlocale(LC_NUMERIC, "C");
        EXPECT_EQ(text, kHeader);
    }
    const ChannelPair pair = SplitChannels(Samples{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}});
    EXPECT_EQ(pair.channel1, (Samples{{1, 1}, {3, 3}}));
    EXPECT_EQ(pair.channel2, (Samples{{2, 2}, {4, 4}}));
}

TEST(SampleFileFormat, TruncatesTowardZeroAndSaturates) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<std::complex<double>, std::string> cases[] = {
        {{12.9, -5.7}, "12+-5i\n"},
        {{-0.9, 0.9}, "0+0i\n"},
        {{inf, -inf}, "2147483647+-2147483648i\n"},
        {{std::nan(""), 1e300}, "0+2147483647i\n"},
        {{2147483648.0, -2147483649.0}, "2147483647+-2147483648i\n"},
    };
    char buffer[kMaxSampleLineLength];
    for (const auto& [sample, line] : cases)
        EXPECT_EQ(std::string(buffer, FormatSampleLine(buffer, sample)), line) << sample;
    EXPECT_EQ(SampleToInt(-DBL_MAX), INT_MIN);
    EXPECT_EQ(FormatSampleLine(buffer, {-2147483648.0, -2147483648.0}) - buffer,
              kMaxSampleLineLength);
}

TEST(SampleFile, LongRecordingSpansManyBufferFlushes) {
    // Several megabytes: the buffer is flushed many times and no line may be split or lost.
    Samples samples;
    std::string expected = FormatHeaderLines(*HeaderLinesFor(kSawtooth));
    for (int k = 0; k < 400000; ++k) {
        samples.emplace_back(k, -k);
        expected += std::to_string(k) + "+" + std::to_string(-k) + "i\n";
    }
    TempDir dir;
    ASSERT_TRUE(WriteSampleFile(dir.File("long.dat"), kSawtooth, samples).ok);
    EXPECT_TRUE(Slurp(dir.File("long.dat")) == expected);
}

TEST(SampleFile, NamesTheFileAndReasonItCouldNotWriteOrRead) {
    TempDir dir;
    const std::string bad = dir.File("bad.dat");
    std::ofstream(bad) << "1+2i\n3+4i\n5+6\n";
    const std::pair<std::string, std::string> writes[] = {
        {dir.File("no-such-dir/x.dat"), "No such file or directory"},
        {dir.File(""), "Is a directory"},
        {"/dev/full", "No space left on device"},
    };
    for (const auto& [path, reason] : writes) {
        const WriteResult result = WriteSampleFile(path, kSawtooth, Samples{{1, 2}, {3, 4}});
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.message.find(path), std::string::npos) << result.message;
        EXPECT_NE(result.message.find(reason), std::string::npos) << result.message;
    }
    const std::pair<std::string, std::string> reads[] = {
        {bad, "\": line 3: expected"},
        {dir.File("absent.dat"), "No such file or directory"},
    };
    for (const auto& [path, reason] : reads) {
        const ReadResult plain = ReadSampleFile(path);
        const EntryReadResult fast = ReadSampleEntries(path, 2);
        EXPECT_FALSE(plain.ok);
        EXPECT_NE(plain.message.find(path), std::string::npos) << plain.message;
        EXPECT_NE(plain.message.find(reason), std::string::npos) << plain.message;
        EXPECT_EQ(fast.message, plain.message);
        EXPECT_EQ(fast.entries.size(), plain.samples.size());
    }
}

// Another program truncating or appending to a recording between taking its size and reading
// it: reported, never parsed cut off in a line (a mapped file would die of SIGBUS instead).
TEST(SampleFileReader, AFileThatChangesSizeWhileReadIsReported) {
    TempDir dir;
    const std::string path = dir.File("x.dat");
    const std::string text = kHeader + "1+2i\n3+4i\n";
    const struct {
        std::size_t fileSize;  // what the file holds when read
        std::size_t opened;    // the size taken before
        std::string message;
    } cases[] = {
        {text.size(), text.size(), ""},
        {10, text.size(), "the file changed size while being read (58 bytes when opened, 10 left)"},
        {text.size(), 40,
         "the file changed size while being read (40 bytes when opened, then more)"},
    };
    for (const auto& c : cases) {
        std::ofstream(path, std::ios::trunc) << text.substr(0, c.fileSize);
        const int fd = ::open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        std::string out(c.opened, '\0');
        EXPECT_EQ(ReadRegularFile(fd, c.opened, out.data()), c.message) << c.fileSize;
        if (c.message.empty()) {
            EXPECT_EQ(out, text);
        }
        ::close(fd);
    }
}

TEST(SampleFile, AcceptsOrRejectsNamingTheLine) {
    const std::string crlf = "5800000000.000000\r\n1.000000\r\n128\r\n0.000000\r\n";
    const std::string bad = "expected <int>+<int>i";
    const struct {
        std::string text;
        std::string message;  // empty when the text is fine
    } cases[] = {
        {crlf + "1+2i\r\n3+-4i\r\n", ""},
        {"", ""},
        {kHeader + "1+2i\n3+99999999999i\n", "line 6: " + bad},
        {"5675000000.000000\n2.000000\n256.5\n1.0\n",
         "line 3: expected the samples per sweep (an integer), got \"256.5\""},
        {"5675000000.000000\n2.000000\n256\n",
         "line 4: expected the bandwidth in Hz (a decimal number), got the end of the file"},
        {"1+2i\n3+4i\n5+6i\n", "odd number of samples (3)"},
        {crlf + std::string("1+2i\0\n3+4i\n", 11), "line 5"},
        {"FMCW\t5.6 GHz\n1+2i\n",
         "line 1: expected the frequency in Hz (a decimal number) or a sample "
         "(<int>+<int>i), got \"FMCW?5.6 GHz\""},
        {std::string(50, '7') + "x\n", "got \"" + std::string(40, '7') + "\"..."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        for (unsigned threads : {1u, 2u}) {
            const ReadResult read = ExpectSame(c.text, threads);
            EXPECT_EQ(read.ok, c.message.empty());
            EXPECT_NE(read.message.find(c.message), std::string::npos) << read.message;
        }
    }
    const ReadResult read = ParseSampleText(cases[0].text);
    EXPECT_EQ(read.header->samplesPerSweep, 128);
    EXPECT_EQ(read.samples, (Samples{{1, 2}, {3, -4}}));
}

// The metadata held to SigMF 1.x's rules and read back into exactly what the ".dat" gives.
TEST(Sigmf, WritesValidMetadataAndReadsBackTheDatsEntriesAndHeader) {
    const std::vector<SampleEntry> entries{{0, 65535}, {1110, 291}, {65535, 0}, {7, 32768}};
    const struct {
        RecordHeader header;
        double carrier;
        const char* mode;
    } cases[] = {
        {kSawtooth, 5675000000.0, "fmcw_sawtooth"},
        {{kModeCw, 5600000000.0, 10.0, 1024, 100000000.0}, 5600000000.0, "cw"},
        {{kModeFsk, 5600000000.0, 1.0, 128, 100000000.0}, 5600000000.0, "fsk"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const FileHeader lines = *HeaderLinesFor(c.header);
        const std::string meta = dir.File(std::string(c.mode) + ".sigmf-meta");
        ASSERT_TRUE(WriteSigmf(meta, {lines, std::time_t{1772373909}, "vorn-test 1"}, entries).ok);

        QFile file(QString::fromStdString(meta));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QJsonObject top = QJsonDocument::fromJson(file.readAll()).object();
        EXPECT_TRUE(top.contains("annotations"));
        const QJsonObject global = top["global"].toObject();
        EXPECT_EQ(global["core:datatype"].toString(), "cu16_le");
        EXPECT_EQ(global["core:version"].toString(), "1.0.0");
        EXPECT_EQ(global["core:num_channels"].toInt(), 2);
        EXPECT_EQ(global["core:sample_rate"].toDouble(),
                  lines.samplesPerSweep / (lines.sweepTimeMs / 1000.0));
        EXPECT_EQ(global["vorn:operating_mode"].toString(), c.mode);
        EXPECT_EQ(global["vorn:header"].toArray(),
                  (QJsonArray{lines.frequencyHz, lines.sweepTimeMs, lines.samplesPerSweep,
                              lines.bandwidthHz}));
        const QJsonArray captures = top["captures"].toArray();
        ASSERT_EQ(captures.size(), 1);
        EXPECT_EQ(captures[0].toObject()["core:sample_start"].toDouble(), 0.0);
        EXPECT_EQ(captures[0].toObject()["core:frequency"].toDouble(), c.carrier);
        EXPECT_EQ(captures[0].toObject()["core:datetime"].toString(), "2026-03-01T14:05:09Z");
        EXPECT_EQ(std::filesystem::file_size(SigmfDataPath(meta)), entries.size() * 4);

        WriteSampleFile(dir.File("x.dat"), c.header,
                        Samples{{0, 65535}, {1110, 291}, {65535, 0}, {7, 32768}});
        const EntryReadResult dat = ReadSampleEntries(dir.File("x.dat"));
        const EntryReadResult sigmf = ReadSampleEntries(meta);
        ASSERT_TRUE(sigmf.ok) << sigmf.message;
        EXPECT_EQ(sigmf.header, dat.header);
        EXPECT_EQ(sigmf.entries, dat.entries);
        EXPECT_EQ(TransmitCarrierHz(*sigmf.header), c.carrier);
    }
}

TEST(Sigmf, RefusesWhatItCannotHoldOrReadAndLeavesNoFileBehind) {
    TempDir dir;
    const FileHeader lines = *HeaderLinesFor(kSawtooth);
    const WriteResult outside =
        WriteSigmf(dir.File("a.sigmf-meta"), {lines, {}, "t"}, Samples{{1, 2}, {-1, 5}});
    EXPECT_NE(outside.message.find("frame 1, channel 2"), std::string::npos) << outside.message;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path));
    EXPECT_FALSE(WriteSigmf(dir.File("none/a.sigmf-meta"), {lines, {}, "t"}, Samples{}).ok);

    const std::string good = dir.File("good.sigmf-meta");
    ASSERT_TRUE(WriteSigmf(good, {lines, {}, "t"}, Samples{{1, 2}, {3, 4}}).ok);
    const std::string json = Slurp(good);
    const auto edited = [&](const std::string& from, const std::string& to) {
        std::string text = json;
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    };
    const std::pair<std::string, std::string> cases[] = {
        {edited("cu16_le", "ci16_le"), "core:datatype \"ci16_le\": only cu16_le"},
        {edited("\"vorn:header\"", "\"vorn:other\""), "no vorn:header"},
    };
    for (const auto& [text, message] : cases) {
        std::ofstream(dir.File("bad.sigmf-meta"), std::ios::trunc) << text;
        std::filesystem::copy_file(SigmfDataPath(good), dir.File("bad.sigmf-data"),
                                   std::filesystem::copy_options::overwrite_existing);
        const EntryReadResult read = ReadSampleEntries(dir.File("bad.sigmf-meta"));
        EXPECT_FALSE(read.ok);
        EXPECT_TRUE(read.entries.empty());
        EXPECT_NE(read.message.find(message), std::string::npos) << read.message;
    }
    std::filesystem::remove(SigmfDataPath(good));
    EXPECT_NE(ReadSampleEntries(good).message.find("Cannot read"), std::string::npos);
}

}  // namespace
}  // namespace vorn::record

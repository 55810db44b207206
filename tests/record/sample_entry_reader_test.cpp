// The fast reader against the plain one: the same entries, header, messages and line numbers on
// random files, whole or broken, with the body split between threads at any line.
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "record/sample_file_reader.h"
#include "temp_dir.h"

namespace vorn::record {
namespace {

// Large enough to be split between threads.
constexpr int kLines = 90000;

std::string RandomEntryLine(std::mt19937& rng) {
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
    std::uniform_int_distribution<int> count(0, 4095);
    const auto number = [&] {
        switch (kind(rng)) {
            case 0:
                return std::to_string(any(rng));
            case 1:
                return "000000000" + std::to_string(count(rng));  // leading zeros, long
            case 2:
                return std::string(kind(rng) < 5 ? "-2147483648" : "2147483647");
            default:
                return std::to_string(count(rng) - (kind(rng) == 0 ? 4096 : 0));
        }
    };
    return number() + "+" + number() + "i" + (kind(rng) == 0 ? "\r\n" : "\n");
}

// Lines the reader must refuse, and some that look odd but are fine.
const char* const kOddLines[] = {
    "1+2\n",
    "1+2ii\n",
    "+1+2i\n",
    "1 +2i\n",
    "1+ 2i\n",
    "\n",
    "\r\n",
    "1+2i\r\r\n",
    "2147483648+0i\n",
    "0+-2147483649i\n",
    "1-2i\n",
    "1+2j\n",
    "--1+2i\n",
    "1+2i \n",
    "12345678901+1i\n",
    "0000000000012+1i\n",
    "-0+-0i\n",
    "1.5+2i\n",
    "5650000000.000000\n",
    "x\n",
    "1+2i\n",
    "99999999+-9999999i\n",
};

void ExpectSame(const std::string& text, unsigned threads) {
    const ReadResult plain = ParseSampleText(text);
    const EntryReadResult fast = ParseSampleEntries(text, threads);
    EXPECT_EQ(fast.ok, plain.ok);
    EXPECT_EQ(fast.message, plain.message);
    EXPECT_EQ(fast.header, plain.header);
    ASSERT_EQ(fast.entries.size(), plain.samples.size());
    for (std::size_t k = 0; k < plain.samples.size(); ++k) {
        const std::complex<double> value(fast.entries[k].re, fast.entries[k].im);
        if (value != plain.samples[k]) {
            ADD_FAILURE() << "entry " << k << ": " << value << " instead of " << plain.samples[k];
            return;
        }
    }
}

TEST(FastSampleReader, MatchesThePlainReaderOnRandomFiles) {
    std::mt19937 rng(20240611);
    const std::string header = "5675000000.000000\n2.000000\n256\n150000000.000000\n";
    std::uniform_int_distribution<int> line(0, kLines - 1);
    std::uniform_int_distribution<std::size_t> odd(0, std::size(kOddLines) - 1);
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        std::vector<std::string> lines;
        for (int k = 0; k < kLines; ++k) lines.push_back(RandomEntryLine(rng));
        // Rounds 0 and 1 stay well formed; the others get odd lines, mostly one, sometimes two.
        for (int k = 0; round >= 2 && k < 1 + round % 2; ++k)
            lines[line(rng)] = kOddLines[odd(rng)];
        if (round % 3 == 0) lines.pop_back();  // an odd count of entries
        std::string text = round % 4 == 1 ? std::string() : header;
        for (const std::string& l : lines) text += l;
        if (round % 5 == 4) text.pop_back();  // no final line end
        for (unsigned threads : {1u, 2u, 3u, 7u}) {
            SCOPED_TRACE(threads);
            ExpectSame(text, threads);
        }
    }
}

TEST(FastSampleReader, MatchesThePlainReaderAtTheEdges) {
    const std::string header = "5800000000.000000\r\n1.000000\r\n128\r\n0.000000\r\n";
    const std::string texts[] = {
        "",
        "\n",
        header,
        header.substr(0, 30),
        "hello\n1+2i\n",
        "1+2i",
        "1+2i\r",
        "1+2i\n3+4i\r\n",
        "1+2i\n5675000000.000000\n",
        header + "1+2i\n3+4i",
        header + "1+2i\n3+4i\n\n",
        header + std::string("1+2i\0\n3+4i\n", 11),
        header + "-2147483648+2147483647i\n0+0i\n",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        for (unsigned threads : {1u, 2u}) ExpectSame(text, threads);
    }
    // Every odd line at every place near the end, where the fast path gives way.
    std::string body;
    for (int k = 0; k < 40; ++k) body += "1234+-567i\n";
    for (const char* odd : kOddLines) {
        for (std::size_t at = 0; at <= body.size(); at += 11) {
            SCOPED_TRACE(odd);
            ExpectSame(header + body.substr(0, at) + odd + body.substr(at), 1);
        }
    }
}

TEST(FastSampleReader, ReadsFilesAsTheFileReaderDoes) {
    TempDir dir;
    const std::string good = dir.File("good.dat");
    const std::string bad = dir.File("bad.dat");
    std::ofstream(good) << "5675000000.000000\n2.000000\n256\n150000000.000000\n1+2i\n3+4i\n";
    std::ofstream(bad) << "1+2i\n3+4i\n5+6\n";
    for (const std::string& path : {good, bad, dir.File("absent.dat"), dir.File("")}) {
        SCOPED_TRACE(path);
        const ReadResult plain = ReadSampleFile(path);
        const EntryReadResult fast = ReadSampleEntries(path, 2);
        EXPECT_EQ(fast.ok, plain.ok);
        EXPECT_EQ(fast.message, plain.message);
        EXPECT_EQ(fast.entries.size(), plain.samples.size());
    }
    EXPECT_NE(ReadSampleEntries(bad).message.find(bad + "\": line 3: expected"), std::string::npos);
    EXPECT_NE(ReadSampleEntries(dir.File("")).message.find("Is a directory"), std::string::npos);
}

}  // namespace
}  // namespace vorn::record

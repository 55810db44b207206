// vorn-process as a user meets it: its files and their format, and every bad input refused
// with the file and line, exit status 2 and an untouched output directory.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "tools_test_support.h"

using namespace tools_test;

namespace {

constexpr const char* kFmcwHeader = "5650000000.000000\n1.000000\n128\n100000000.000000\n";

// `frames` frames of nearly constant value.
QByteArray Frames(int frames) {
    QByteArray text;
    for (int k = 0; k < frames; ++k)
        text += QByteArray::number(2000 + k % 7) + "+2050i\n2001+2049i\n";
    return text;
}

class ProcessCli : public ::testing::Test {
protected:
    QString Write(const QByteArray& content) {
        const QString path = dir.filePath(QStringLiteral("in.dat"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    QString OutDir() {
        const QString path = dir.filePath(QStringLiteral("out"));
        QDir().mkpath(path);
        return path;
    }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(ProcessCli, BadInputIsNamedWithFileAndLineAndLeavesTheOutputEmpty) {
    const QByteArray fmcw(kFmcwHeader);
    const QByteArray cw("5800000000.000000\n1.000000\n128\n0.000000\n");
    const struct {
        QByteArray content;
        QStringList options;
        const char* message;  // expected in the error line after the file name
    } cases[] = {
        {"", {}, "line 1: the file is empty"},
        {Frames(256), {}, "line 1: no header"},
        {"5650000000.000000\nfast\n128\n1e8\n" + Frames(128),
         {},
         "line 2: expected the sweep time"},
        {"5650000000.000000\n1.000000\n", {}, "line 3: expected the samples"},
        {fmcw + "2000+2000i\n2000+2000i\nabc\n", {}, "line 7: expected <int>+<int>i"},
        {fmcw + Frames(128) + "2000+2000i\n",
         {},
         "line 261: channel 2 of the last frame is missing"},
        {fmcw + Frames(8192), {"--mode", "cw"}, "line 4: --mode cw does not fit an FMCW recording"},
        {cw + Frames(128), {"--mode", "range"}, "line 4: --mode range does not fit a CW recording"},
        {"5650000000.000000\n1.000000\n100\n1e8\n" + Frames(100),
         {},
         "line 3: 100 samples per sweep"},
        {fmcw + Frames(100), {}, "line 204: the recording ends before"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const QString input = Write(c.content);
        const ProcessRun run = RunVornProcess(c.options + QStringList{input, OutDir()});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith("vorn-process: \"" + input + "\": " + c.message))
            << run.err.toStdString();
        EXPECT_TRUE(DirectoryEntries(OutDir()).isEmpty());
        EXPECT_EQ(DirectoryEntries(dir.path()), (QStringList{"in.dat", "out"}));
    }
}

TEST_F(ProcessCli, BadCommandLinesExitWithStatusTwo) {
    const QString input = Write(kFmcwHeader + Frames(128));
    const QString out = OutDir();
    const QStringList cases[] = {
        {input},
        {"--mode", "doppler", input, out},
        {"--sweeps", "4", input, out},
        {"--clutter", "average:1", input, out},
        {"--range-window", "20:10", input, out},
        {"--frobnicate", input, out},
        {"--threshold", "3", input, out},  // FSK only; the header makes this range
        {"--sweeps", "64", input, out},    // range reads one sweep per block
        {input, input},                    // OUTDIR is a file
        {dir.filePath("missing.dat"), out},
    };
    for (const QStringList& args : cases) {
        const ProcessRun run = RunVornProcess(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("vorn-process: ")) << run.err.toStdString();
        EXPECT_TRUE(DirectoryEntries(out).isEmpty()) << args.join(' ').toStdString();
    }
    const ProcessRun help = RunVornProcess({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--threads") && help.out.contains("detections.csv"));
}

TEST_F(ProcessCli, NpyFilesCarryTheirShapeInANumpyHeader) {
    // 2.5 blocks of 64 sweeps: two blocks, the partial one dropped and counted.
    const QString input = Write(kFmcwHeader + Frames(160 * 128));
    const QString out = OutDir();
    const ProcessRun run = RunVornProcess({"--mode", "rvmap", input, out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.err,
              "vorn-process: dropped a trailing partial block of 4096 frames (a block "
              "takes 8192)\n");
    EXPECT_EQ(DirectoryEntries(out),
              (QStringList{"axis.npy", "detections.csv", "range_axis.npy", "spectra.npy"}));

    const NpyArray spectra = ReadNpy(out + "/spectra.npy");
    EXPECT_EQ(spectra.shape, (std::vector<std::size_t>{2, 513, 1024}));
    const std::string& h = spectra.header;
    ASSERT_GT(h.size(), 10u);
    EXPECT_EQ(h.size() % 16, 0u) << "data starts aligned";
    EXPECT_EQ(h.back(), '\n');
    EXPECT_EQ(h.substr(10, h.find('}') - 9),
              "{'descr': '<f8', 'fortran_order': False, 'shape': (2, 513, 1024), }");

    const NpyArray axis = ReadNpy(out + "/axis.npy");
    EXPECT_NE(axis.header.find("'shape': (1024,)"), std::string::npos);
    ASSERT_EQ(axis.values.size(), 1024u);
    EXPECT_LT(axis.values.front(), 0.0);
    EXPECT_DOUBLE_EQ(axis.values[512], 0.0);
    const NpyArray rows = ReadNpy(out + "/range_axis.npy");
    EXPECT_EQ(rows.shape, (std::vector<std::size_t>{513}));

    const auto detections = ReadCsv(out + "/detections.csv");
    ASSERT_EQ(detections.size(), 3u);
    EXPECT_EQ(detections[0].join(','), "block,range_m,velocity_m_s,level_db");
    EXPECT_EQ(detections[2][0], "1");
}

TEST_F(ProcessCli, CsvFormatWritesOneLinePerBlockRowAndBenchTimesBlocks) {
    const QString input = Write(kFmcwHeader + Frames(3 * 128));
    const QString out = OutDir();
    ASSERT_EQ(RunVornProcess({"--format", "csv", input, out}).exitCode, 0);
    EXPECT_EQ(DirectoryEntries(out), (QStringList{"axis.csv", "detections.csv", "spectra.csv"}));
    const auto spectra = ReadCsv(out + "/spectra.csv");
    ASSERT_EQ(spectra.size(), 3u);
    EXPECT_EQ(spectra[0].size(), 513);
    ASSERT_EQ(RunVornProcess({"--format=npy", input, out}).exitCode, 0);
    const NpyArray npy = ReadNpy(out + "/spectra.npy");
    ASSERT_EQ(npy.values.size(), 3u * 513u);
    // The text holds the same doubles, not rounded ones.
    for (std::size_t k = 0; k < 513; ++k)
        EXPECT_EQ(spectra[1][static_cast<int>(k)].toDouble(), npy.values[513 + k]) << k;
    const ProcessRun bench = RunVornProcess({"--bench", input, out});
    ASSERT_EQ(bench.exitCode, 0);
    EXPECT_TRUE(bench.out.contains("blocks 3") && bench.out.contains("median") &&
                bench.out.contains("95th percentile"))
        << bench.out.toStdString();
}

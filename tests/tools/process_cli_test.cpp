// vorn-process and vorn-gui-demo as a user meets them: the files and their format, SigMF
// conversion, and bad input refused with the file and line, exit status 2 and an untouched
// output directory (what the readers say about a broken file is held by the record tests).
#include <gtest/gtest.h>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "tools_test_support.h"

using namespace tools_test;

namespace {

const QByteArray kFmcwHeader = "5650000000.000000\n1.000000\n128\n100000000.000000\n";

// `frames` frames of nearly constant value.
QByteArray Frames(int frames) {
    QByteArray text;
    for (int k = 0; k < frames; ++k)
        text += QByteArray::number(2000 + k % 7) + "+2050i\n2001+2049i\n";
    return text;
}

ProcessRun RunDemo(const QStringList& args) {
    return RunProgram(VORN_GUI_DEMO_EXE, QStringList{"-platform", "offscreen"} + args);
}

class ProcessCli : public ::testing::Test {
protected:
    ProcessCli() { QDir().mkpath(out); }
    QString Write(const QByteArray& content) {
        QFile file(input);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        return input;
    }
    QTemporaryDir dir;
    const QString input = dir.filePath("in.dat");
    const QString out = dir.filePath("out");
};

}  // namespace

TEST_F(ProcessCli, BadInputIsNamedWithFileAndLineAndLeavesTheOutputEmpty) {
    const QByteArray cw("5800000000.000000\n1.000000\n128\n0.000000\n");
    const struct {
        const char* message;  // expected in the error line after the file name
        QByteArray content;
        QStringList options = {};
    } cases[] = {
        {"line 1: the file is empty", ""},
        {"line 1: no header", Frames(256)},
        {"line 7: expected <int>+<int>i", kFmcwHeader + "2000+2000i\n2000+2000i\nabc\n"},
        {"line 261: channel 2 of the last frame is missing",
         kFmcwHeader + Frames(128) + "2000+2000i\n"},
        {"line 4: --mode range does not fit a CW recording", cw + Frames(128), {"--mode", "range"}},
        {"line 3: 100 samples per sweep", "5650000000.000000\n1.000000\n100\n1e8\n" + Frames(100)},
        {"line 204: the recording ends before", kFmcwHeader + Frames(100)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const ProcessRun run = RunVornProcess(c.options + QStringList{Write(c.content), out});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith("vorn-process: \"" + input + "\": " + c.message))
            << run.err.toStdString();
        EXPECT_TRUE(DirectoryEntries(out).isEmpty());
        EXPECT_EQ(DirectoryEntries(dir.path()), (QStringList{"in.dat", "out"}));
    }
}

TEST_F(ProcessCli, BadCommandLinesOfBothProgramsExitWithStatusTwo) {
    Write(kFmcwHeader + Frames(128));
    const QStringList process[] = {
        {input},
        {"--mode", "doppler", input, out},
        {"--range-window", "20:10", input, out},
        {"--threshold", "3", input, out},  // FSK only; the header makes this range
        {"--sweeps", "64", input, out},    // range reads one sweep per block
        {input, input},                    // OUTDIR is a file
    };
    for (const QStringList& args : process) {
        const ProcessRun run = RunVornProcess(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("vorn-process: ")) << run.err.toStdString();
        EXPECT_TRUE(DirectoryEntries(out).isEmpty()) << args.join(' ').toStdString();
    }
    const QStringList demo[] = {
        {"--frobnicate"},
        {"--operating-mode", "cw", "--display-mode", "1"},               // no range scope in CW
        {"--screenshot", dir.filePath("a.png"), "--cursor", "1.5,0.5"},  // off the canvas
        {"--replay", dir.filePath("missing.dat")},
    };
    for (const QStringList& args : demo) {
        const ProcessRun run = RunDemo(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        // Qt may print its own notes first.
        EXPECT_TRUE(run.err.contains(QRegularExpression("(^|\n)vorn-gui-demo: ")))
            << run.err.toStdString();
    }
    const ProcessRun help = RunVornProcess({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--threads") && help.out.contains("detections.csv") &&
                help.out.contains("--export-sigmf"));
    const ProcessRun demoHelp = RunDemo({"--help"});
    EXPECT_EQ(demoHelp.exitCode, 0);
    EXPECT_TRUE(demoHelp.out.contains("--replay") && demoHelp.out.contains("--screenshot"));
}

TEST_F(ProcessCli, NpyFilesCarryTheirShapeInANumpyHeader) {
    // 2.5 blocks of 64 sweeps: two blocks, the partial one dropped and counted.
    const ProcessRun run =
        RunVornProcess({"--mode", "rvmap", Write(kFmcwHeader + Frames(160 * 128)), out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.err,
              "vorn-process: dropped a trailing partial block of 4096 frames (a block "
              "takes 8192)\n");
    EXPECT_EQ(DirectoryEntries(out),
              (QStringList{"axis.npy", "detections.csv", "range_axis.npy", "spectra.npy"}));

    const NpyArray spectra = ReadNpy(out + "/spectra.npy");
    EXPECT_EQ(spectra.shape, (std::vector<std::size_t>{2, 513, 1024}));
    const std::string& h = spectra.header;
    EXPECT_EQ(h.size() % 16, 0u) << "data starts aligned";
    EXPECT_NE(h.find("{'descr': '<f8', 'fortran_order': False, 'shape': (2, 513, 1024), }"),
              std::string::npos);

    const NpyArray axis = ReadNpy(out + "/axis.npy");
    EXPECT_NE(axis.header.find("'shape': (1024,)"), std::string::npos);
    ASSERT_EQ(axis.values.size(), 1024u);
    EXPECT_LT(axis.values.front(), 0.0);
    EXPECT_DOUBLE_EQ(axis.values[512], 0.0);
    EXPECT_EQ(ReadNpy(out + "/range_axis.npy").shape, (std::vector<std::size_t>{513}));

    const auto detections = ReadCsv(out + "/detections.csv");
    ASSERT_EQ(detections.size(), 3u);
    EXPECT_EQ(detections[0].join(','), "block,range_m,velocity_m_s,level_db");
    EXPECT_EQ(detections[2][0], "1");
}

TEST_F(ProcessCli, CsvFormatWritesOneLinePerBlockRowOfTheSameDoubles) {
    Write(kFmcwHeader + Frames(3 * 128));
    ASSERT_EQ(RunVornProcess({"--format", "csv", input, out}).exitCode, 0);
    EXPECT_EQ(DirectoryEntries(out), (QStringList{"axis.csv", "detections.csv", "spectra.csv"}));
    const auto spectra = ReadCsv(out + "/spectra.csv");
    ASSERT_EQ(spectra.size(), 3u);
    EXPECT_EQ(spectra[0].size(), 513);
    ASSERT_EQ(RunVornProcess({"--format=npy", input, out}).exitCode, 0);
    const NpyArray npy = ReadNpy(out + "/spectra.npy");
    ASSERT_EQ(npy.values.size(), 3u * 513u);
    // The text holds the same doubles, not rounded ones.
    for (int k = 0; k < 513; ++k) EXPECT_EQ(spectra[1][k].toDouble(), npy.values[513 + k]) << k;
}

TEST_F(ProcessCli, ExportSigmfNamesTheFilesAfterTheRecordingAndRefusesWhatItCannotConvert) {
    qputenv("TZ", "EET-2");  // the name's local time is two hours ahead of UTC
    const QString named = dir.filePath("2026-03-01-14-05-09.dat");
    QFile::copy(Write(kFmcwHeader + Frames(128)), named);
    const ProcessRun run = RunVornProcess({"--export-sigmf", named, out});
    qunsetenv("TZ");
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(DirectoryEntries(out),
              (QStringList{"2026-03-01-14-05-09.sigmf-data", "2026-03-01-14-05-09.sigmf-meta"}));
    QFile meta(out + "/2026-03-01-14-05-09.sigmf-meta");
    ASSERT_TRUE(meta.open(QIODevice::ReadOnly));
    const QJsonObject capture =
        QJsonDocument::fromJson(meta.readAll())["captures"].toArray()[0].toObject();
    EXPECT_EQ(capture["core:datetime"].toString(), "2026-03-01T12:05:09Z");
    EXPECT_EQ(capture["core:frequency"].toDouble(), 5650000000.0);
    QDir(out).removeRecursively();

    const QString sigmf = dir.filePath("in.sigmf-meta");
    const QByteArray global = R"({"core:datatype": "cu16_le", "core:num_channels": 2)";
    const struct {
        QString input;
        QByteArray content;
        QString message;
        QStringList options = {"--export-sigmf"};
    } cases[] = {
        {input, kFmcwHeader + "1+1i\n2+2i\n3+70000i\n4+4i\n",
         "line 7: Q 70000 is outside 0 to 65535"},
        {sigmf,
         R"({"global": )" + global + R"(, "vorn:header": [5.8e9, 1, 128, 0]}})",
         "--mode range does not fit a CW recording",
         {"--mode", "range"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        QFile file(c.input);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        QFile data(dir.filePath("in.sigmf-data"));
        ASSERT_TRUE(data.open(QIODevice::WriteOnly));
        data.write(QByteArray(8 * 128, '\1'));
        data.close();
        const ProcessRun refused = RunVornProcess(c.options + QStringList{c.input, out});
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_TRUE(refused.err.startsWith("vorn-process: ")) << refused.err.toStdString();
        EXPECT_TRUE(refused.err.contains(c.message)) << refused.err.toStdString();
        EXPECT_TRUE(DirectoryEntries(out).isEmpty());
    }
}

TEST(DemoCli, ReplaysARecordingAndSavesAScreenshot) {
    QTemporaryDir dir;
    // 2 ms and 256 samples: the demo puts them on the form itself.
    RecordWithWindow(OneTarget(30.0, 0.0), kFmcw, 8 * 256, dir.filePath("rec.dat"), {1, 1, 0});
    const ProcessRun other =
        RunDemo({"--replay", dir.filePath("rec.dat"), "--operating-mode", "cw"});
    EXPECT_EQ(other.exitCode, 2);
    EXPECT_TRUE(other.err.contains("does not match the recording")) << other.err.toStdString();
    const QString png = dir.filePath("shot.png");
    const ProcessRun run =
        RunDemo({"--replay", dir.filePath("rec.dat"), "--activate", "--operating-mode", "fmcw",
                 "--display-mode", "5", "--screenshot", png, "--after", "500"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QImage image(png);
    EXPECT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 200);
}

// vorn-gui-demo's command line: help, refusals of bad options, and an unattended screenshot of
// a replayed recording.
#include <gtest/gtest.h>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "tools_test_support.h"

using namespace tools_test;

static ProcessRun RunDemo(const QStringList& args) {
    return RunProgram(VORN_GUI_DEMO_EXE, QStringList{"-platform", "offscreen"} + args);
}

TEST(DemoCli, HelpListsTheOptionsAndBadOptionsExitWithTwo) {
    const ProcessRun help = RunDemo({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--replay") && help.out.contains("--screenshot"));

    QTemporaryDir dir;
    const QStringList bad[] = {
        {"--frobnicate"},
        {"--operating-mode", "triangle"},
        {"--display-mode", "6"},
        {"--operating-mode", "cw", "--display-mode", "1"},  // no range scope in CW
        {"--after", "100"},                                 // without --screenshot
        {"--screenshot", dir.filePath("a.png"), "--after", "soon"},
        {"--replay", dir.filePath("missing.dat")},
        {"stray"},
    };
    for (const QStringList& args : bad) {
        const ProcessRun run = RunDemo(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        // Qt may print its own notes first.
        EXPECT_TRUE(run.err.contains(QRegularExpression("(^|\n)vorn-gui-demo: ")))
            << run.err.toStdString();
    }
}

TEST(DemoCli, ReplaysARecordingAndSavesAScreenshot) {
    QTemporaryDir dir;
    RecordWithWindow(OneTarget(30.0, 0.0), kFmcw, 8 * 128, dir.filePath("rec.dat"));
    const QString png = dir.filePath("shot.png");
    const ProcessRun run =
        RunDemo({"--replay", dir.filePath("rec.dat"), "--activate", "--operating-mode", "fmcw",
                 "--display-mode", "5", "--screenshot", png, "--after", "500"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QImage image(png);
    EXPECT_FALSE(image.isNull());
    EXPECT_GT(image.width(), 200);
}

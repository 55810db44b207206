// Replay: a recording read back into the stand-in, streamed to the window in order and in a
// loop, and parameter blocks that do not match it refused with a reason in the status bar.
#include <gtest/gtest.h>
#include <qwt_plot.h>
#include <qwt_plot_marker.h>
#include <QComboBox>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "record/sample_file_reader.h"
#include "record/sigmf.h"
#include "sim/replay.h"
#include "tools/replay_status.h"
#include "tools_test_support.h"

using namespace tools_test;
using namespace vorn::sim;

namespace {

const std::string kCwHeader = "5800000000.000000\n1.000000\n128\n0.000000\n";

ReplayLoad FromText(const std::string& text) {
    return MakeReplay(vorn::record::ParseSampleText(text), "r.dat");
}

std::string Sweeps(int frames) {
    std::string text;
    for (int k = 0; k < frames; ++k)
        text += std::to_string(k) + "+" + std::to_string(2 * k) + "i\n7+8i\n";
    return text;
}

}  // namespace

TEST(ReplayFile, HeaderGivesTheParametersBadFilesAreRefusedAndMismatchesNamed) {
    const auto ok = FromText("5675000000.000000\n2.000000\n256\n150000000.000000\n" + Sweeps(600));
    ASSERT_TRUE(ok.replay) << ok.message;
    EXPECT_EQ(ok.replay->Mismatch({RadarMode::FmcwSawtooth, 0.002, 150e6, 256}), "");
    EXPECT_EQ(ok.replay->frames.size(), 512u) << "the part sweep at the end is left out";
    const auto cw = FromText(kCwHeader + Sweeps(128));
    ASSERT_TRUE(cw.replay);
    EXPECT_EQ(cw.replay->parameters.mode, RadarMode::Cw);
    EXPECT_FALSE(cw.replay->bandwidthRecorded);

    const std::pair<std::string, std::string> bad[] = {
        {"5725000000.000000\n2.000000\n256\n250000000.000000\n" + Sweeps(600),
         "\"r.dat\": line 4: bandwidth 2.5e+08 Hz is not a setting of the radar"},
        {"5800000000.000000\n3.000000\n128\n0.000000\n" + Sweeps(128),
         "\"r.dat\": line 2: sweep time 3 ms"},
        {kCwHeader + Sweeps(100), "\"r.dat\": line 204: the recording holds no whole sweep"},
        {kCwHeader + "5+5i\n-1+5i\n" + Sweeps(128), "\"r.dat\": line 6: value outside"},
    };
    for (const auto& [text, message] : bad) {
        const auto load = FromText(text);
        EXPECT_FALSE(load.replay);
        EXPECT_NE(load.message.find(message), std::string::npos) << load.message;
    }
    EXPECT_NE(LoadReplay("/nonexistent/r.dat").message.find("Cannot read"), std::string::npos);

    Replay replay;
    replay.parameters = {RadarMode::FmcwSawtooth, 0.001, 100e6, 128};
    EXPECT_EQ(replay.Mismatch({RadarMode::Cw, 0.002, 100e6, 256}),
              "Replay refused the operating parameters: mode CW, the recording is FMCW; sweep "
              "time 2 ms, the recording has 1 ms; samples per sweep 256, the recording has 128");
    EXPECT_NE(replay.Mismatch({RadarMode::FmcwSawtooth, 0.001, 400e6, 128}), "");
    replay.bandwidthRecorded = false;
    EXPECT_EQ(replay.Mismatch({RadarMode::FmcwSawtooth, 0.001, 400e6, 128}), "");
}

TEST(ReplayFile, ASigmfRecordingReplaysAsItsDat) {
    QTemporaryDir dir;
    const std::string dat = dir.filePath("r.dat").toStdString();
    const std::string meta = dir.filePath("r.sigmf-meta").toStdString();
    std::ofstream(dat) << kCwHeader + Sweeps(300);
    const vorn::record::EntryReadResult read = vorn::record::ReadSampleEntries(dat);
    ASSERT_TRUE(vorn::record::WriteSigmf(meta, {*read.header, {}, "t"}, read.entries).ok);
    const ReplayLoad fromDat = LoadReplay(dat);
    const ReplayLoad fromSigmf = LoadReplay(meta);
    ASSERT_TRUE(fromDat.replay && fromSigmf.replay) << fromSigmf.message;
    EXPECT_EQ(fromSigmf.replay->parameters, fromDat.replay->parameters);
    EXPECT_EQ(fromSigmf.replay->bandwidthRecorded, fromDat.replay->bandwidthRecorded);
    ASSERT_EQ(fromSigmf.replay->frames.size(), 256u);
    EXPECT_EQ(std::memcmp(fromSigmf.replay->frames.data(), fromDat.replay->frames.data(),
                          256 * sizeof(RawFrame)),
              0);
    std::remove(vorn::record::SigmfDataPath(meta).c_str());
    EXPECT_NE(LoadReplay(meta).message.find("Cannot read"), std::string::npos);
}

TEST(ReplayWindow, StreamsTheRecordingInALoopAndRefusesParametersThatDoNotMatchIt) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("rec.dat").toStdString();
    RecordWithWindow(OneTarget(40.0, 0.0), kFmcw, 4 * 128, dir.filePath("rec.dat"));
    ReplayLoad load = LoadReplay(path);
    ASSERT_TRUE(load.replay) << load.message;
    WindowOnRadar w(vorn::sim::Scene{});
    w.radar->SetReplay(std::make_shared<const Replay>(std::move(*load.replay)));
    vorn::tools::ShowRefusalsInStatusBar(*w.radar, *w.window);
    const Ui::Vorn_GUIClass& ui = w.window->form();

    ui.comboPSweepTime->setCurrentIndex(1);  // 2 ms against the recording's 1 ms
    ui.buttonActivateDevice->click();
    EXPECT_EQ(w.status(), "Error: Unable to set operating parameters");
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(w.status().toStdString(),
              "Replay refused the operating parameters: sweep time 2 ms, the recording has 1 ms");
    EXPECT_GE(w.radar->parameterBlocksRefused(), 1);

    // Back at the recorded parameters it streams, in a loop, and shows the recorded target.
    ui.buttonActivateDevice->click();  // the failed activation left the button checked
    ui.comboPSweepTime->setCurrentIndex(0);
    w.Start(kFmcw, 1);
    ASSERT_TRUE(w.window->timer()->isActive()) << w.status().toStdString();
    for (int tick = 0; tick < 10; ++tick) {
        w.Tick();
        ASSERT_TRUE(w.status().startsWith("Update Time")) << w.status().toStdString();
    }
    EXPECT_GT(w.radar->stream().lastFirstSample(), 512u) << "past the end, so it looped";
    double x = std::nan("");
    for (const QwtPlotItem* item : ui.qwtPlotScope_2->itemList(QwtPlotItem::Rtti_PlotMarker))
        x = static_cast<const QwtPlotMarker*>(item)->xValue();
    EXPECT_NEAR(x, 40.0, 0.5);
    // Channel 2 of the recording reaches the window when it is selected.
    const vorn::record::ReadResult file = vorn::record::ReadSampleFile(path);
    SampleBlock block;
    ASSERT_EQ(w.window->radar()->ReadChannel2(block, 128, 1000), 128);
    const std::size_t first = w.radar->stream().lastFirstSample() % 512;
    for (std::size_t k = 0; k < 128; ++k)
        ASSERT_EQ(block[k], file.samples[2 * (first + k) + 1]) << k;

    // A change while streaming stops it with the reason, instead of processing the recording
    // with the wrong parameters.
    ui.comboPBandwidth->setCurrentIndex(3);  // 400 MHz
    w.Tick();
    EXPECT_FALSE(w.window->timer()->isActive());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(w.status().toStdString(),
              "Replay refused the operating parameters: bandwidth 400 MHz, the recording has 100 "
              "MHz");
}

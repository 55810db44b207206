// Replay: a recording read back into the stand-in, streamed to the window in order and in a
// loop, and parameter blocks that do not match it refused with a reason in the status bar.
#include <gtest/gtest.h>
#include <qwt_plot.h>
#include <qwt_plot_marker.h>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>

#include "plain_sample_parser.h"
#include "record/sample_file_reader.h"
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

    const std::pair<std::string, std::string> bad[] = {
        {"5725000000.000000\n2.000000\n256\n250000000.000000\n" + Sweeps(600),
         "\"r.dat\": line 4: bandwidth 2.5e+08 Hz is not a setting of the radar"},
        {kCwHeader + Sweeps(100), "\"r.dat\": line 204: the recording holds no whole sweep"},
    };
    for (const auto& [text, message] : bad) {
        const auto load = FromText(text);
        EXPECT_FALSE(load.replay);
        EXPECT_NE(load.message.find(message), std::string::npos) << load.message;
    }

    Replay replay;
    replay.parameters = {RadarMode::FmcwSawtooth, 0.001, 100e6, 128};
    EXPECT_EQ(replay.Mismatch({RadarMode::Cw, 0.002, 100e6, 256}),
              "Replay refused the operating parameters: mode CW, the recording is FMCW; sweep "
              "time 2 ms, the recording has 1 ms; samples per sweep 256, the recording has 128");
    // A CW recording has no bandwidth to hold the radar to.
    replay.bandwidthRecorded = false;
    EXPECT_EQ(replay.Mismatch({RadarMode::FmcwSawtooth, 0.001, 400e6, 128}), "");
}

// The window on a stand-in that replays the recording at `path`, with the demo's handling.
struct ReplayWindow : WindowOnRadar {
    explicit ReplayWindow(const std::string& path) : WindowOnRadar(vorn::sim::Scene{}) {
        ReplayLoad load = LoadReplay(path);
        EXPECT_TRUE(load.replay) << load.message;
        if (!load.replay) return;
        radar->SetReplay(std::make_shared<const Replay>(std::move(*load.replay)));
        vorn::tools::ShowRefusalsInStatusBar(*radar, *window);
        vorn::tools::PutRecordingParametersOnForm(*radar->replay(), *window);
    }
    const Ui::Vorn_GUIClass& ui() const { return window->form(); }
    bool Streaming() const { return window->timer() && window->timer()->isActive(); }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            Tick();
            ASSERT_TRUE(status().startsWith("Update Time")) << status().toStdString();
        }
    }
};

const QString kBack = ". The recording's parameters are back on the form.";

TEST(ReplayWindow, StreamsTheRecordingInALoop) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("rec.dat").toStdString();
    RecordWithWindow(OneTarget(40.0, 0.0), kFmcw, 4 * 128, dir.filePath("rec.dat"));
    ReplayWindow w(path);
    w.Start(kFmcw, 1);
    ASSERT_TRUE(w.Streaming()) << w.status().toStdString();
    w.Ticks(10);
    EXPECT_GT(w.radar->stream().lastFirstSample(), 512u) << "past the end, so it looped";
    double x = std::nan("");
    for (const QwtPlotItem* item : w.ui().qwtPlotScope_2->itemList(QwtPlotItem::Rtti_PlotMarker))
        x = static_cast<const QwtPlotMarker*>(item)->xValue();
    EXPECT_NEAR(x, 40.0, 0.5);
    // Channel 2 of the recording reaches the window when it is selected.
    const vorn::record::ReadResult file = vorn::record::ReadSampleFile(path);
    SampleBlock block;
    ASSERT_EQ(w.window->radar()->ReadChannel2(block, 128, 1000), 128);
    const std::size_t first = w.radar->stream().lastFirstSample() % 512;
    for (std::size_t k = 0; k < 128; ++k)
        ASSERT_EQ(block[k], file.samples[2 * (first + k) + 1]) << k;
}

TEST(ReplayWindow, ARefusedChangeIsExplainedUndoneOnTheFormAndTheNextActivationStreams) {
    QTemporaryDir dir;
    RecordWithWindow(OneTarget(40.0, 0.0), kFmcw, 4 * 128, dir.filePath("rec.dat"));
    ReplayWindow w(dir.filePath("rec.dat").toStdString());
    const Ui::Vorn_GUIClass& ui = w.ui();

    // Refused at activation: the reason, the form back at 1 ms, Activate released.
    ui.comboPSweepTime->setCurrentIndex(1);
    ui.buttonActivateDevice->click();
    EXPECT_EQ(w.status(), "Error: Unable to set operating parameters");
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(
        w.status(),
        "Replay refused the operating parameters: sweep time 2 ms, the recording has 1 ms" + kBack);
    EXPECT_EQ(ui.comboPSweepTime->currentIndex(), 0);
    EXPECT_FALSE(ui.buttonActivateDevice->isChecked());
    ui.buttonActivateDevice->click();
    ASSERT_TRUE(w.Streaming()) << w.status().toStdString();
    w.Ticks(2);

    // Refused while streaming, the demo's correction arriving before the next tick: streaming
    // goes on in the recording's mode, and the reason stays readable beside the read-out.
    ui.radioSpectrumDisplay_3->click();
    ui.radioOperationMode_4->click();  // FSK
    // The block goes out through the radar's worker; the refusal comes back as an event.
    for (int i = 0; i < 300 && !ui.radioOperationMode_1->isChecked(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(ui.radioOperationMode_1->isChecked());
    w.Ticks(2);
    EXPECT_EQ(w.window->currentOperatingMode(), kFmcw);
    EXPECT_TRUE(ui.fskGroupBox->isHidden());
    const auto* reason = ui.statusBar->findChild<QLabel*>("replayRefusal");
    ASSERT_NE(reason, nullptr);
    EXPECT_TRUE(reason->text().startsWith("Replay refused the operating parameters: mode FSK"));

    // Refused while a tick's read is out: the correction calls that read off, so nothing read
    // under the refused parameters is processed, and the plots show the recording's mode alone.
    ui.comboPBandwidth->setCurrentIndex(3);  // 400 MHz against 100 MHz
    ui.radioOperationMode_5->click();        // CW
    w.Tick();  // its read is called off by the correction, whenever that comes
    w.Ticks(2);
    EXPECT_TRUE(w.Streaming()) << w.status().toStdString();
    EXPECT_EQ(ui.comboPBandwidth->currentIndex(), 0);
    EXPECT_TRUE(ui.radioOperationMode_1->isChecked());
    EXPECT_EQ(ui.groupBox_Bottom->title(), "Range Scope Display");
    EXPECT_EQ(ui.qwtPlotScope_2->axisTitle(QwtPlot::xBottom).text(), "Range (meters)");
    EXPECT_TRUE(reason->text().startsWith("Replay refused the operating parameters: "));
    ui.buttonActivateDevice->click();  // off, and on again
    ui.buttonActivateDevice->click();
    ASSERT_TRUE(w.Streaming()) << w.status().toStdString();
    w.Ticks(2);
    EXPECT_EQ(w.window->currentOperatingMode(), kFmcw);
}

// vorn-process against the window: a recording made by the window gives, block by block, the
// values the window computed for the same frames, and a placed target comes out where it is.
#include <gtest/gtest.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_spectrogram.h>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>

#include <cmath>

#include "display/raster_data.h"
#include "tools_test_support.h"

using namespace tools_test;

namespace {

// What the window shows: the first curve other than I and Q, or the spectrogram's picture.
std::vector<double> ShownValues(const QwtPlot* plot, std::size_t count) {
    for (const QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotCurve)) {
        const auto* curve = static_cast<const QwtPlotCurve*>(item);
        if (curve->title().text() == "I" || curve->title().text() == "Q") continue;
        std::vector<double> values;
        for (std::size_t k = 0; k < curve->dataSize(); ++k) values.push_back(curve->sample(k).y());
        return values;
    }
    for (const QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotSpectrogram)) {
        const auto* data = dynamic_cast<const Vorn_GUI_RasterData*>(
            static_cast<const QwtPlotSpectrogram*>(item)->data());
        if (!data) continue;
        std::vector<double> values = data->values();
        values.resize(std::min(values.size(), count));
        return values;
    }
    return {};
}

// Sets the window's controls to what the options say to vorn-process.
void SetControls(const Ui::Vorn_GUIClass& ui, const QStringList& options) {
    for (int k = 0; k < options.size(); ++k) {
        const QString& o = options[k];
        const QStringList v = k + 1 < options.size() ? options[k + 1].split(':') : QStringList{""};
        if (o == "--channel") ui.device_centerFrequency->setCurrentIndex(1);
        if (o == "--no-hamming") ui.filterOptionHammingWindow->setChecked(false);
        if (o == "--amplitude" && !ui.filterOptionIQAmplitude->isChecked())
            ui.filterOptionIQAmplitude->click();
        if (o == "--range-weighting") ui.isRangeWeighting->setChecked(true);
        if (o == "--clutter" && v[0] == "reference") ui.filterOptionDirectClutter->click();
        if (o == "--clutter" && v[0] == "average") {
            ui.filterOptionDirectClutterAvgCount->setValue(v[1].toInt());
            ui.filterOptionDirectClutterAverage->click();
        }
        if (o == "--range-window") {
            ui.rangeFilter_Low->setValue(v[0].toInt());
            ui.rangeFilter_High->setValue(v[1].toInt());
        }
        if (o == "--velocity-window") {
            ui.velocityFilter_Low->setValue(v[0].toInt());
            ui.velocityFilter_High->setValue(v[1].toInt());
        }
        if (o == "--threshold") ui.counterFSKDetectionThreshold->setValue(v[0].toInt());
    }
}

// Records what the window shows in the tool's mode with the options, then runs the tool on it.
void ExpectToolGivesTheWindowsValues(const char* toolMode, const QStringList& options) {
    // The window's operating and display modes that show what the tool's mode gives.
    const std::string mode = toolMode;
    const int operating = mode == "cw" ? kCw : mode == "fsk" ? kFsk : kFmcw;
    const int display = mode == "range" ? 1 : mode == "rvmap" ? 3 : mode == "velocity" ? 4 : 2;
    const int blockFrames = mode == "range" ? 128 : 64 * 128;
    const std::size_t width = mode == "range" ? 513 : mode == "rvmap" ? 513 * 1024 : 1024;
    constexpr int kBlocks = 3;
    vorn::sim::Scene scene = OneTarget(operating == kFsk ? 9.0 : 30.0, 2.0);
    scene.channel2Gain = {0.3, -0.6};
    scene.channel2DcOffset = {-40.0, 25.0};
    WindowOnRadar live(scene);
    live.Start(operating, display);
    const Ui::Vorn_GUIClass& ui = live.window->form();
    // Window sliders can be set only after the first tick, which puts them to full range.
    if (options.join(' ').contains(QRegularExpression("-window|--threshold"))) live.Tick();
    SetControls(ui, options);

    // Each tick's frames go into the recording: a read also drains the transfer's spare room,
    // so consecutive ticks do not see consecutive frames of the radar.
    SampleBlock recording;
    std::vector<std::vector<double>> shown;
    for (int b = 0; b < kBlocks; ++b) {
        live.Tick();
        ASSERT_TRUE(live.status().startsWith("Update Time")) << live.status().toStdString();
        for (const vorn::sim::RawFrame& f :
             vorn::sim::SynthesiseFrames(live.radar->scene(), live.radar->parameters(),
                                         live.radar->stream().lastFirstSample(), blockFrames, 1)) {
            recording.emplace_back(f.ch1.i, f.ch1.q);
            recording.emplace_back(f.ch2.i, f.ch2.q);
        }
        shown.push_back(ShownValues(ui.qwtPlotScope_2, width));
    }
    QTemporaryDir dir;
    ASSERT_TRUE(live.window->WriteRecordFile(recording, dir.filePath("rec.dat")));
    const ProcessRun run = RunVornProcess(
        options + QStringList{"--mode", toolMode, dir.filePath("rec.dat"), dir.filePath("out")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const NpyArray spectra = ReadNpy(dir.filePath("out/spectra.npy"));
    ASSERT_EQ(spectra.values.size(), kBlocks * width);
    for (int b = 0; b < kBlocks; ++b) {
        ASSERT_EQ(shown[b].size(), width) << "block " << b;
        for (std::size_t k = 0; k < width; ++k) {
            const double tool = spectra.values[b * width + k];
            if (std::isfinite(shown[b][k]) || std::isfinite(tool))
                ASSERT_NEAR(shown[b][k], tool, 1e-9) << "block " << b << " value " << k;
            else
                ASSERT_EQ(shown[b][k], tool) << "block " << b << " value " << k;
        }
    }
}

}  // namespace

TEST(ProcessWindow, ToolGivesTheWindowsValuesForTheSameBlocksInEveryMode) {
    // Clutter settings reset the sliders on the next tick, so they are tried without windows.
    const QStringList filters{"--channel",         "2",         "--no-hamming", "--amplitude",
                              "--range-weighting", "--clutter", "average:3"};
    const std::pair<const char*, QStringList> cases[] = {
        {"range", {"--range-window", "10:50"}},
        {"rvmap", filters},
        {"velocity", {"--range-window", "10:50", "--velocity-window", "1:6"}},
        {"velocity", {"--clutter", "reference"}},
        {"cw", {"--channel", "2", "--no-hamming", "--amplitude"}},
        {"fsk", {"--velocity-window", "-5:9", "--threshold", "20"}},
    };
    for (const auto& [mode, options] : cases) {
        SCOPED_TRACE(mode + (" " + options.join(' ')).toStdString());
        ExpectToolGivesTheWindowsValues(mode, options);
    }
}

TEST(ProcessTargets, APlacedTargetIsFoundAtItsRangeAndVelocityInEachMode) {
    const struct {
        const char* mode;
        int operating;
        double range, velocity;
        bool findsRange, findsVelocity;
        QStringList options;
    } cases[] = {
        {"range", kFmcw, 40.0, 0.0, true, false, {}},
        {"rvmap", kFmcw, 20.0, 3.0, true, true, {}},
        {"cw", kCw, 10.0, -5.0, false, true, {}},
        {"fsk", kFsk, 9.0, 0.5, true, true, {"--threshold", "-40"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        QTemporaryDir dir;
        RecordWithWindow(OneTarget(c.range, c.velocity), c.operating, 2 * 64 * 128,
                         dir.filePath("rec.dat"));
        const ProcessRun run =
            RunVornProcess(c.options + QStringList{"--mode", c.mode, dir.filePath("rec.dat"),
                                                   dir.filePath("out")});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const auto rows = ReadCsv(dir.filePath("out/detections.csv"));
        ASSERT_GE(rows.size(), 3u);
        for (std::size_t r = 1; r < rows.size(); ++r) {
            if (c.findsRange) {
                EXPECT_NEAR(rows[r][1].toDouble(), c.range, 0.6) << "row " << r;
            }
            if (c.findsVelocity) {
                EXPECT_NEAR(rows[r][2].toDouble(), c.velocity, 0.25) << "row " << r;
            }
            EXPECT_EQ(rows[r][1].isEmpty(), !c.findsRange && std::string(c.mode) != "fsk");
        }
    }
}

TEST(ProcessTargets, AWeakTargetMovesInTheVelocityProfileWithinOneDopplerBinInEveryBlock) {
    // 10 counts against noise of 10: only the range-averaged power shows it.
    constexpr int kBlocks = 6;
    const double dopplerBin = 13.265153008849557 / 512.0;
    for (const double velocity : {3.0, -5.0}) {
        SCOPED_TRACE(velocity);
        QTemporaryDir dir;
        RecordWithWindow(OneTarget(20.0, velocity, 10.0, 10.0), kFmcw, kBlocks * 64 * 128,
                         dir.filePath("rec.dat"));
        const ProcessRun run =
            RunVornProcess({"--mode", "velocity", dir.filePath("rec.dat"), dir.filePath("out")});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const auto rows = ReadCsv(dir.filePath("out/detections.csv"));
        ASSERT_EQ(rows.size(), kBlocks + 1u);
        for (std::size_t r = 1; r < rows.size(); ++r)
            EXPECT_NEAR(rows[r][2].toDouble(), velocity, dopplerBin) << "block " << r - 1;
    }
}

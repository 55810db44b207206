// vorn-process against the window: a recording made by the window gives, block by block, the
// values the window computed for the same frames, and a placed target comes out where it is.
#include <gtest/gtest.h>
#include <qwt_plot.h>
#include <qwt_plot_spectrogram.h>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <cmath>

#include "display/raster_data.h"
#include "tools_test_support.h"

using namespace tools_test;

namespace {

// The map the window shows: the spectrogram's values.
std::vector<double> ShownMap(const QwtPlot* plot) {
    for (const QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotSpectrogram)) {
        if (const auto* data = dynamic_cast<const Vorn_GUI_RasterData*>(
                static_cast<const QwtPlotSpectrogram*>(item)->data()))
            return data->values();
    }
    return {};
}

}  // namespace

// Each chain's settings come from the builders both share (tests/dsp); this holds the rest of
// the path end to end: the window's controls and sliders against the tool's options, the
// channel, and the clutter history carried from block to block.
TEST(ProcessWindow, ToolGivesTheWindowsMapsForTheSameBlocks) {
    constexpr int kBlocks = 3;
    constexpr int kBlockFrames = 64 * 128;
    constexpr std::size_t kWidth = 513 * 1024;
    vorn::sim::Scene scene = OneTarget(30.0, 2.0);
    scene.channel2Gain = {0.3, -0.6};
    scene.channel2DcOffset = {-40.0, 25.0};
    WindowOnRadar live(scene);
    live.Start(kFmcw, 3);
    const Ui::Vorn_GUIClass& ui = live.window->form();
    // The filters are set without their clicks, which would reset the sliders at the next
    // tick; the sliders can be set only after the first tick has put them to full range, and
    // clutter cancellation is switched on after it, so that the tool sees every block it took.
    ui.device_centerFrequency->setCurrentIndex(1);
    ui.filterOptionHammingWindow->setChecked(false);
    ui.filterOptionIQAmplitude->setChecked(true);
    ui.isRangeWeighting->setChecked(true);
    live.Tick();
    ui.rangeFilter_Low->setValue(10);
    ui.rangeFilter_High->setValue(50);
    ui.velocityFilter_Low->setValue(1);
    ui.velocityFilter_High->setValue(6);
    ui.filterOptionDirectClutterAvgCount->setValue(3);
    ui.filterOptionDirectClutterAverage->setChecked(true);

    // Each tick's frames go into the recording: a read also drains the transfer's spare room,
    // so consecutive ticks do not see consecutive frames of the radar.
    SampleBlock recording;
    std::vector<std::vector<double>> shown;
    for (int b = 0; b < kBlocks; ++b) {
        live.Tick();
        ASSERT_TRUE(live.status().startsWith("Update Time")) << live.status().toStdString();
        for (const vorn::sim::RawFrame& f :
             vorn::sim::SynthesiseFrames(live.radar->scene(), live.radar->parameters(),
                                         live.radar->stream().lastFirstSample(), kBlockFrames, 1)) {
            recording.emplace_back(f.ch1.i, f.ch1.q);
            recording.emplace_back(f.ch2.i, f.ch2.q);
        }
        shown.push_back(ShownMap(ui.qwtPlotScope_2));
    }
    QTemporaryDir dir;
    ASSERT_TRUE(live.window->WriteRecordFile(recording, dir.filePath("rec.dat")));
    const ProcessRun run =
        RunVornProcess({"--channel", "2", "--no-hamming", "--amplitude", "--range-weighting",
                        "--clutter", "average:3", "--range-window", "10:50", "--velocity-window",
                        "1:6", "--mode", "rvmap", dir.filePath("rec.dat"), dir.filePath("out")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const NpyArray spectra = ReadNpy(dir.filePath("out/spectra.npy"));
    ASSERT_EQ(spectra.values.size(), kBlocks * kWidth);
    for (int b = 0; b < kBlocks; ++b) {
        ASSERT_EQ(shown[b].size(), kWidth) << "block " << b;
        for (std::size_t k = 0; k < kWidth; ++k) {
            const double tool = spectra.values[b * kWidth + k];
            if (std::isfinite(shown[b][k]) || std::isfinite(tool))
                ASSERT_NEAR(shown[b][k], tool, 1e-9) << "block " << b << " value " << k;
            else
                ASSERT_EQ(shown[b][k], tool) << "block " << b << " value " << k;
        }
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

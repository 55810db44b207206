// vorn-process against the window: a recording made by the window gives, block by block, the
// values the window computed for the same frames, and a placed target comes out where it is.
#include <gtest/gtest.h>
#include <qwt_dial.h>
#include <qwt_matrix_raster_data.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_slider.h>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>

#include <cmath>

#include "sim/scene.h"
#include "tools_test_support.h"

using namespace tools_test;

namespace {

std::vector<double> CurveValues(const QwtPlot* plot) {
    std::vector<double> values;
    for (const QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotCurve)) {
        const auto* curve = static_cast<const QwtPlotCurve*>(item);
        if (curve->title().text() == "I" || curve->title().text() == "Q") continue;
        for (std::size_t k = 0; k < curve->dataSize(); ++k) values.push_back(curve->sample(k).y());
        return values;
    }
    return values;
}

// The first `count` values of the picture the spectrogram was last given.
std::vector<double> RasterValues(const QwtPlot* plot, std::size_t count) {
    for (const QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotSpectrogram)) {
        const auto* data = dynamic_cast<const QwtMatrixRasterData*>(
            static_cast<const QwtPlotSpectrogram*>(item)->data());
        if (!data) continue;
        const QVector<double> m = data->valueMatrix();
        return std::vector<double>(m.begin(), m.begin() + std::min<int>(m.size(), count));
    }
    return {};
}

double MarkerX(const QwtPlot* plot, const QString& labelStart) {
    for (const QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotMarker)) {
        const auto* marker = static_cast<const QwtPlotMarker*>(item);
        if (marker->label().text().startsWith(labelStart)) return marker->xValue();
    }
    return std::nan("");
}

void ExpectSame(const std::vector<double>& window, const double* tool, std::size_t count,
                int block) {
    ASSERT_EQ(window.size(), count) << "block " << block;
    for (std::size_t k = 0; k < count; ++k) {
        if (std::isfinite(window[k]) || std::isfinite(tool[k]))
            ASSERT_NEAR(window[k], tool[k], 1e-9) << "block " << block << " value " << k;
        else
            ASSERT_EQ(window[k], tool[k]) << "block " << block << " value " << k;
    }
}

// Controls set in the window, and the options that say the same to vorn-process.
struct Controls {
    const char* label;
    QStringList options;
    void (*set)(const Ui::Vorn_GUIClass& ui);
    // Window sliders can be set only after the first tick, which puts them to full range.
    bool afterFirstTick;
};

const Controls kDefaults{"defaults", {}, [](const Ui::Vorn_GUIClass&) {}, false};
const Controls kChannel2Filters{"channel2_filters",
                                {"--channel", "2", "--no-hamming", "--amplitude",
                                 "--range-weighting", "--clutter", "average:3"},
                                [](const Ui::Vorn_GUIClass& ui) {
                                    ui.device_centerFrequency->setCurrentIndex(1);
                                    ui.filterOptionHammingWindow->setChecked(false);
                                    ui.filterOptionIQAmplitude->setChecked(true);
                                    ui.isRangeWeighting->setChecked(true);
                                    ui.filterOptionDirectClutterAvgCount->setValue(3);
                                    ui.filterOptionDirectClutterAverage->click();
                                },
                                false};
const Controls kCwChannel2{"channel2_filters",
                           {"--channel", "2", "--no-hamming", "--amplitude"},
                           [](const Ui::Vorn_GUIClass& ui) {
                               ui.device_centerFrequency->setCurrentIndex(1);
                               ui.filterOptionHammingWindow->setChecked(false);
                               ui.filterOptionIQAmplitude->click();
                           },
                           false};
const Controls kRangeWindow{"window",
                            {"--range-window", "10:50"},
                            [](const Ui::Vorn_GUIClass& ui) {
                                ui.rangeFilter_Low->setValue(10);
                                ui.rangeFilter_High->setValue(50);
                            },
                            true};
const Controls kWindows{"windows",
                        {"--range-window", "10:50", "--velocity-window", "1:6"},
                        [](const Ui::Vorn_GUIClass& ui) {
                            ui.rangeFilter_Low->setValue(10);
                            ui.rangeFilter_High->setValue(50);
                            ui.velocityFilter_Low->setValue(1);
                            ui.velocityFilter_High->setValue(6);
                        },
                        true};
// Clutter settings reset the sliders on the next tick, so they are tried without windows.
const Controls kReference{
    "reference",
    {"--clutter", "reference"},
    [](const Ui::Vorn_GUIClass& ui) { ui.filterOptionDirectClutter->click(); },
    false};
const Controls kFskWindow{"window",
                          {"--velocity-window", "-5:9", "--threshold", "20"},
                          [](const Ui::Vorn_GUIClass& ui) {
                              ui.velocityFilter_Low->setValue(-5);
                              ui.velocityFilter_High->setValue(9);
                              ui.counterFSKDetectionThreshold->setValue(20);
                          },
                          true};

struct ModeCase {
    const char* name;   // --mode
    int operating;      // the window's operating mode
    int display;        // and display mode that shows the same values
    int blockFrames;    // what one tick reads
    std::size_t width;  // values per block
    Controls controls;
};

class WindowEquivalence : public ::testing::TestWithParam<ModeCase> {};

}  // namespace

TEST_P(WindowEquivalence, ToolGivesTheWindowsValuesForTheSameBlocks) {
    const ModeCase c = GetParam();
    constexpr int kBlocks = 3;
    const std::size_t frames = static_cast<std::size_t>(c.blockFrames);
    vorn::sim::Scene scene = OneTarget(c.operating == kFsk ? 9.0 : 30.0, 2.0);
    scene.channel2Gain = {0.3, -0.6};
    scene.channel2DcOffset = {-40.0, 25.0};
    WindowOnRadar live(MakeRadar(scene));
    live.Start(c.operating, c.display);
    const Ui::Vorn_GUIClass& ui = live.window->form();
    if (c.controls.afterFirstTick) live.Tick();
    c.controls.set(ui);

    // Each tick's frames go into the recording: a read also drains the transfer's spare room,
    // so consecutive ticks do not see consecutive frames of the radar.
    SampleBlock recording;
    std::vector<std::vector<double>> shown;
    std::vector<double> markers;
    for (int b = 0; b < kBlocks; ++b) {
        live.Tick();
        ASSERT_TRUE(live.status().startsWith("Update Time")) << live.status().toStdString();
        const auto raw =
            vorn::sim::SynthesiseFrames(live.radar->scene(), live.radar->parameters(),
                                        live.radar->stream().lastFirstSample(), frames, 1);
        for (const vorn::sim::RawFrame& f : raw) {
            recording.emplace_back(f.ch1.i, f.ch1.q);
            recording.emplace_back(f.ch2.i, f.ch2.q);
        }
        shown.push_back(c.display == 1 || c.display == 2
                            ? CurveValues(ui.qwtPlotScope_2)
                            : RasterValues(ui.qwtPlotScope_2, c.width));
        if (c.operating == kFmcw && c.display == 1)
            markers.push_back(MarkerX(ui.qwtPlotScope_2, " Detected Range:"));
        if (c.operating == kCw) markers.push_back(MarkerX(ui.qwtPlotScope_2, " Max Velocity:"));
        if (c.operating == kFsk) {
            markers.push_back(ui.dialFSKRange->value());
            markers.push_back(ui.dialFSKVelocity->value());
        }
    }
    QTemporaryDir dir;
    ASSERT_TRUE(live.window->WriteRecordFile(recording, dir.filePath("rec.dat")));

    const ProcessRun run =
        RunVornProcess(c.controls.options +
                       QStringList{"--mode", c.name, dir.filePath("rec.dat"), dir.filePath("out")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const NpyArray spectra = ReadNpy(dir.filePath("out/spectra.npy"));
    ASSERT_EQ(spectra.values.size(), kBlocks * c.width);
    const auto detections = ReadCsv(dir.filePath("out/detections.csv"));
    ASSERT_EQ(detections.size(), kBlocks + 1u);
    for (int b = 0; b < kBlocks; ++b) {
        ExpectSame(shown[b], spectra.values.data() + b * c.width, c.width, b);
        const QStringList& row = detections[static_cast<std::size_t>(b) + 1];
        if (c.operating == kFmcw && c.display == 1) {
            EXPECT_EQ(row[1].toDouble(), markers[b]);
        }
        if (c.operating == kCw) {
            EXPECT_EQ(row[2].toDouble(), markers[b]);
        }
        if (c.operating == kFsk) {
            EXPECT_EQ(row[1].toDouble(), markers[2 * b]);
            EXPECT_EQ(row[2].toDouble(), markers[2 * b + 1]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryMode, WindowEquivalence,
    ::testing::Values(ModeCase{"range", kFmcw, 1, 128, 513, kDefaults},
                      ModeCase{"range", kFmcw, 1, 128, 513, kChannel2Filters},
                      ModeCase{"range", kFmcw, 1, 128, 513, kRangeWindow},
                      ModeCase{"rvmap", kFmcw, 3, 64 * 128, 513 * 1024, kDefaults},
                      ModeCase{"rvmap", kFmcw, 3, 64 * 128, 513 * 1024, kChannel2Filters},
                      ModeCase{"velocity", kFmcw, 4, 64 * 128, 1024, kWindows},
                      ModeCase{"velocity", kFmcw, 4, 64 * 128, 1024, kReference},
                      ModeCase{"cw", kCw, 2, 64 * 128, 1024, kDefaults},
                      ModeCase{"cw", kCw, 2, 64 * 128, 1024, kCwChannel2},
                      ModeCase{"fsk", kFsk, 2, 64 * 128, 1024, kDefaults},
                      ModeCase{"fsk", kFsk, 2, 64 * 128, 1024, kFskWindow}),
    [](const ::testing::TestParamInfo<ModeCase>& info) {
        return std::string(info.param.name) + "_" + info.param.controls.label;
    });

TEST(ProcessTargets, APlacedTargetIsFoundAtItsRangeAndVelocityInEachMode) {
    struct Case {
        const char* mode;
        int operating;
        double range;
        double velocity;
        bool findsRange;
        bool findsVelocity;
        QStringList options;
    };
    const Case cases[] = {
        {"range", kFmcw, 40.0, 0.0, true, false, {}},
        {"rvmap", kFmcw, 20.0, 3.0, true, true, {}},
        {"velocity", kFmcw, 20.0, -4.0, false, true, {}},
        {"cw", kCw, 10.0, -5.0, false, true, {}},
        {"fsk", kFsk, 9.0, 0.5, true, true, {"--threshold", "-40"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        QTemporaryDir dir;
        const QString recording = dir.filePath("rec.dat");
        RecordWithWindow(OneTarget(c.range, c.velocity), c.operating, 2 * 64 * 128, recording);
        const ProcessRun run = RunVornProcess(
            c.options + QStringList{"--mode", c.mode, recording, dir.filePath("out")});
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

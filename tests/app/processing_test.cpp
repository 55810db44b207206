// Every display mode of every operating mode, live from the stand-in radar: the routines run,
// draw into the items of their mode and show a placed target where it is.
#include <qwt_dial.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_legenditem.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_thermo.h>
#include <QCheckBox>
#include <QListWidget>
#include <QRadioButton>
#include <QSlider>

#include <algorithm>
#include <cmath>
#include <limits>

#include "window_fixture.h"

namespace {

vorn::sim::Scene OneTarget(double rangeM, double velocityMps, double amplitude = 600.0,
                           double noiseRms = 2.0) {
    vorn::sim::Scene scene;
    scene.targets = {{rangeM, velocityMps, amplitude}};
    scene.noiseRms = noiseRms;
    scene.dcOffset = {30.0, -20.0};
    return scene;
}

// The number in a marker label such as " Detected Range: 40.1 m".
double LabelNumber(const QwtPlotMarker* marker) {
    const QStringList words = marker->label().text().split(' ', Qt::SkipEmptyParts);
    return words.size() >= 2 ? words.at(words.size() - 2).toDouble() : std::nan("");
}

const QwtPlotMarker* FindMarker(const QwtPlot* plot, const QString& labelStart) {
    for (const QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotMarker)) {
        const auto* marker = static_cast<const QwtPlotMarker*>(item);
        if (marker->label().text().startsWith(labelStart)) return marker;
    }
    return nullptr;
}

int CountItems(const QwtPlot* plot, int rtti) {
    return plot->itemList(rtti).size();
}

}  // namespace

class ProcessingTest : public WindowTest {
protected:
    void Start(QAbstractButton* operating, QAbstractButton* display) {
        Activate();
        ASSERT_TRUE(Streaming());
        operating->click();
        display->click();
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) Tick();
        ASSERT_TRUE(status().startsWith("Update Time: ")) << status().toStdString();
    }
};

TEST_F(ProcessingTest, RangeScopeShowsThePlacedTarget) {
    radar->SetScene(OneTarget(40.0, 0.0));
    Start(ui().radioOperationMode_1, ui().radioSpectrumDisplay_1);
    Ticks(3);
    const QwtPlotMarker* marker = FindMarker(ui().qwtPlotScope_2, " Detected Range:");
    ASSERT_NE(marker, nullptr);
    EXPECT_NEAR(LabelNumber(marker), 40.0, 0.5);
    EXPECT_NEAR(marker->xValue(), 40.0, 0.5);
    EXPECT_EQ(ui().groupBox_Bottom->title(), "Range Scope Display");
    EXPECT_EQ(ui().qwtPlotScope_2->axisTitle(QwtPlot::xBottom).text(), "Range (meters)");
    // 100 MHz and 128 samples: the window sliders cover 0 to 95 m.
    EXPECT_EQ(ui().rangeFilter_High->maximum(), 95);
    EXPECT_EQ(ui().range_UpperBound->text(), "95 m");
}

TEST_F(ProcessingTest, CwVelocityScopeShowsTheTargetSpeedWithItsSign) {
    for (const double v : {3.0, -5.0}) {
        radar->SetScene(OneTarget(10.0, v));
        Start(ui().radioOperationMode_5, ui().radioSpectrumDisplay_2);
        Ticks(2);
        const QwtPlotMarker* marker = FindMarker(ui().qwtPlotScope_2, " Max Velocity:");
        ASSERT_NE(marker, nullptr);
        EXPECT_NEAR(marker->xValue(), v, 0.1) << v;
        EXPECT_EQ(ui().groupBox_Bottom->title(), "Velocity Scope Display");
        Activate();  // deactivate before the next case
    }
}

TEST_F(ProcessingTest, FskDialsShowRangeAndVelocity) {
    // Slow, so that the half-period between the two tones' samples hardly moves the target.
    radar->SetScene(OneTarget(9.0, 0.5));
    Start(ui().radioOperationMode_4, ui().radioSpectrumDisplay_2);
    ui().counterFSKDetectionThreshold->setValue(-40);
    Ticks(3);
    EXPECT_NEAR(ui().dialFSKRange->value(), 9.0, 0.5);
    EXPECT_NEAR(ui().dialFSKVelocity->value(), 0.5, 0.1);
    EXPECT_GT(ui().thermFSKMaxDetectedValue->value(), -40.0);
    // The threshold's value is in the legend, not on its line; the legend keeps clear of the
    // strip along the top of the canvas where the peak's label is written.
    const QwtPlot* plot = ui().qwtPlotScope_2;
    const QwtPlotMarker* threshold = nullptr;
    for (const QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotMarker))
        if (item->title().text().startsWith("Detection Threshold: "))
            threshold = static_cast<const QwtPlotMarker*>(item);
    ASSERT_NE(threshold, nullptr);
    EXPECT_TRUE(threshold->label().isEmpty());
    EXPECT_TRUE(threshold->testItemAttribute(QwtPlotItem::Legend));
    const QwtPlotMarker* peak = FindMarker(plot, " Max Velocity:");
    ASSERT_NE(peak, nullptr);
    const auto legends = plot->itemList(QwtPlotItem::Rtti_PlotLegend);
    ASSERT_EQ(legends.size(), 1);
    const auto* legend = static_cast<const QwtPlotLegendItem*>(legends[0]);
    const QRectF canvas = plot->canvas()->contentsRect();
    const QRectF legendBox = legend->geometry(canvas);
    EXPECT_GT(legendBox.height(), 2 * peak->label().textSize(plot->canvas()->font()).height());
    const QRectF labelStrip(
        canvas.left(), canvas.top(), canvas.width(),
        peak->label().textSize(plot->canvas()->font()).height() + 2 * peak->spacing());
    EXPECT_FALSE(legendBox.intersects(labelStrip));
    // A threshold above every level detects nothing: both dials fall to zero.
    ui().counterFSKDetectionThreshold->setValue(150);
    Ticks(1);
    EXPECT_EQ(ui().dialFSKRange->value(), 0.0);
    EXPECT_EQ(ui().dialFSKVelocity->value(), 0.0);
}

TEST_F(ProcessingTest, EveryAllowedDisplayModeStreamsAndDrawsItsItems) {
    struct Case {
        QAbstractButton* operating;
        QAbstractButton* display;
        int spectrograms;  // the waterfall or map on the bottom plot
        bool topCurves;
    };
    const Case cases[] = {
        {ui().radioOperationMode_1, ui().radioSpectrumDisplay_1, 0, true},
        {ui().radioOperationMode_1, ui().radioSpectrumDisplay_3, 1, false},
        {ui().radioOperationMode_1, ui().radioSpectrumDisplay_4, 1, true},
        {ui().radioOperationMode_1, ui().radioSpectrumDisplay_5, 1, true},
        {ui().radioOperationMode_5, ui().radioSpectrumDisplay_2, 0, true},
        {ui().radioOperationMode_5, ui().radioSpectrumDisplay_4, 1, true},
        {ui().radioOperationMode_4, ui().radioSpectrumDisplay_2, 0, true},
        {ui().radioOperationMode_4, ui().radioSpectrumDisplay_4, 1, true},
        {ui().radioOperationMode_4, ui().radioSpectrumDisplay_5, 1, true},
    };
    Activate();
    for (const Case& c : cases) {
        c.operating->click();
        c.display->click();
        const QString what = c.operating->text() + " / " + c.display->text();
        ASSERT_TRUE(c.display->isChecked()) << what.toStdString();
        Ticks(3);
        EXPECT_EQ(CountItems(ui().qwtPlotScope_2, QwtPlotItem::Rtti_PlotSpectrogram),
                  c.spectrograms)
            << what.toStdString();
        EXPECT_EQ(CountItems(ui().qwtPlotScope_1, QwtPlotItem::Rtti_PlotCurve), c.topCurves ? 2 : 0)
            << what.toStdString();
        EXPECT_TRUE(ui().buttonActivateDevice->isChecked()) << what.toStdString();
    }
}

TEST_F(ProcessingTest, DisallowedDisplayModesAreMovedOff) {
    Start(ui().radioOperationMode_1, ui().radioSpectrumDisplay_3);
    ui().radioOperationMode_4->click();  // FSK cannot show the map
    EXPECT_TRUE(ui().radioSpectrumDisplay_2->isChecked());
    EXPECT_FALSE(ui().radioSpectrumDisplay_3->isEnabled());
    EXPECT_EQ(CountItems(ui().qwtPlotScope_2, QwtPlotItem::Rtti_PlotMarker), 2);
    ui().radioOperationMode_5->click();  // CW cannot show the range waterfall
    EXPECT_FALSE(ui().radioSpectrumDisplay_5->isEnabled());
    EXPECT_EQ(window->currentDisplayMode(), 2);
    ui().radioOperationMode_1->click();  // FMCW has no velocity scope
    EXPECT_TRUE(ui().radioSpectrumDisplay_1->isChecked());
    EXPECT_EQ(window->currentDisplayMode(), 1);
}

TEST_F(ProcessingTest, TimeScopeScalesAutomaticallyOnceClutterCancellationIsOff) {
    // DC subtraction off: the raw counts lie far outside -100 ... 100.
    ui().filterOptionDCSubtract->setChecked(false);
    struct Case {
        QAbstractButton* operating;
        QAbstractButton* display;
    };
    for (const Case& c : {Case{ui().radioOperationMode_1, ui().radioSpectrumDisplay_1},
                          Case{ui().radioOperationMode_1, ui().radioSpectrumDisplay_5},
                          Case{ui().radioOperationMode_5, ui().radioSpectrumDisplay_2},
                          Case{ui().radioOperationMode_4, ui().radioSpectrumDisplay_2}}) {
        Start(c.operating, c.display);
        ui().filterOptionDCSubtract->setChecked(false);
        const std::string what = (c.operating->text() + " / " + c.display->text()).toStdString();
        QwtPlot* top = ui().qwtPlotScope_1;
        for (QRadioButton* on :
             {ui().filterOptionDirectClutter, ui().filterOptionDirectClutterAverage}) {
            on->click();
            Ticks(2);
            if (c.operating == ui().radioOperationMode_1) {
                EXPECT_EQ(top->axisInterval(QwtPlot::yLeft), QwtInterval(-100.0, 100.0)) << what;
            }
            ui().filterOptionDirectClutterDisabled->click();
            Ticks(1);
            EXPECT_TRUE(top->axisAutoScale(QwtPlot::yLeft)) << what;
        }
        ui().filterOptionIQAmplitude->click();
        Ticks(1);
        // FSK shows raw periods whatever the box says.
        const bool fixed = c.operating != ui().radioOperationMode_4;
        EXPECT_EQ(!top->axisAutoScale(QwtPlot::yLeft), fixed) << what;
        if (fixed) {
            EXPECT_EQ(top->axisInterval(QwtPlot::yLeft), QwtInterval(-1.0, 1.0)) << what;
        }
        ui().filterOptionIQAmplitude->click();
        Ticks(1);
        EXPECT_TRUE(top->axisAutoScale(QwtPlot::yLeft)) << what;
        Activate();  // deactivate before the next case
    }
}

// CFAR in the range scope and the map: off leaves the items as they are; on marks both
// targets with a symbol curve and lists them; off again takes marks and list away.
TEST_F(ProcessingTest, CfarMarksAndListsEveryTargetOnlyWhileEnabled) {
    vorn::sim::Scene scene = OneTarget(20.0, 3.0, 300.0, 10.0);
    scene.targets.push_back({60.0, -3.0, 300.0});
    radar->SetScene(scene);
    const struct {
        QAbstractButton* display;
        bool map;
    } cases[] = {{ui().radioSpectrumDisplay_1, false}, {ui().radioSpectrumDisplay_3, true}};
    Activate();
    ASSERT_TRUE(Streaming());
    ui().radioOperationMode_1->click();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.map ? "map" : "range scope");
        c.display->click();
        Ticks(1);
        const int curves = CountItems(ui().qwtPlotScope_2, QwtPlotItem::Rtti_PlotCurve);
        EXPECT_TRUE(ui().listCfarDetections->isHidden());

        ui().checkCfarEnable->setChecked(true);
        Ticks(1);
        const auto items = ui().qwtPlotScope_2->itemList(QwtPlotItem::Rtti_PlotCurve);
        ASSERT_EQ(items.size(), curves + 1);
        const auto* marks = static_cast<const QwtPlotCurve*>(items.back());
        EXPECT_EQ(marks->style(), QwtPlotCurve::NoCurve);
        std::vector<double> ranges;
        for (std::size_t k = 0; k < marks->dataSize(); ++k)
            ranges.push_back(c.map ? marks->sample(k).y() : marks->sample(k).x());
        for (const double target : {20.0, 60.0}) {
            EXPECT_TRUE(std::any_of(ranges.begin(), ranges.end(), [&](double r) {
                return std::abs(r - target) < 1.0;
            })) << target;
        }
        EXPECT_FALSE(ui().listCfarDetections->isHidden());
        EXPECT_GE(ui().listCfarDetections->count(), 2);

        ui().checkCfarEnable->setChecked(false);
        Ticks(1);
        EXPECT_EQ(CountItems(ui().qwtPlotScope_2, QwtPlotItem::Rtti_PlotCurve), curves);
        EXPECT_TRUE(ui().listCfarDetections->isHidden());
    }
}

// A target placed in the stand-in radar's scene shows where it is in the range scope, the CW
// velocity scope and the FSK dials (the map and the waterfalls: the tool's tests).
#include <qwt_dial.h>
#include <qwt_plot.h>
#include <qwt_plot_legenditem.h>
#include <qwt_plot_marker.h>
#include <qwt_thermo.h>

#include <QListWidget>
#include <QRegularExpression>

#include <cmath>

#include "scenes.h"
#include "window_fixture.h"

namespace {

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

// The window's own wiring of the detector: both movers listed while CFAR is on, none after.
TEST_F(ProcessingTest, CfarListsEveryMoverOnTheMapOnlyWhileOn) {
    vorn::sim::Scene scene = OneTarget(20.0, 3.0, 300.0);
    scene.targets.push_back({45.0, -4.0, 300.0});
    radar->SetScene(scene);
    Start(ui().radioOperationMode_1, ui().radioSpectrumDisplay_3);
    ui().checkCfarEnable->setChecked(true);
    Ticks(2);
    const auto listed = [&](const char* pattern) {
        return ui().listCfarDetections->findItems(pattern, Qt::MatchRegularExpression).size();
    };
    EXPECT_EQ(listed("^(19|20|21)\\.\\d\\d m, (2\\.[89]|3\\.[01])\\d m/s, "), 1);
    EXPECT_EQ(listed("^(44|45|46)\\.\\d\\d m, -(3\\.9|4\\.[01])\\d m/s, "), 1);
    // The levels are the shown map's: a mover a third as strong lists 9.5 dB less at once.
    const auto level = [&] {
        const auto items =
            ui().listCfarDetections->findItems("^(19|20|21)\\.", Qt::MatchRegularExpression);
        if (items.size() != 1) return std::nan("");
        const QRegularExpressionMatch m =
            QRegularExpression(", (-?[\\d.]+) dB").match(items[0]->text());
        return m.hasMatch() ? m.captured(1).toDouble() : std::nan("");
    };
    const double strong = level();
    scene.targets[0].amplitude = 100.0;
    radar->SetScene(scene);
    Ticks(1);
    EXPECT_NEAR(strong - level(), 20.0 * std::log10(3.0), 1.0);
    ui().checkCfarEnable->setChecked(false);
    Ticks(1);
    EXPECT_TRUE(ui().listCfarDetections->isHidden());
}

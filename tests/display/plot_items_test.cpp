#include "display/plot_items.h"

#include <gtest/gtest.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_legenditem.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_renderer.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_plot_zoneitem.h>
#include <qwt_scale_map.h>
#include <QImage>

#include <vector>

#include "display/color_schemes.h"
#include "display/waterfall_view.h"

namespace vorn {
namespace {

// The two plots as the window has them: each with its legend item for life.
class PlotItemsTest : public ::testing::Test {
protected:
    PlotItemsTest() {
        (new QwtPlotLegendItem())->attach(&top);
        (new QwtPlotLegendItem())->attach(&bottom);
    }
    ~PlotItemsTest() override { DeleteAll(items); }

    int TopCount() const { return top.itemList().size(); }
    int BottomCount() const { return bottom.itemList().size(); }

    QwtPlot top;
    QwtPlot bottom;
    PlotItems items;
};

struct Expected {
    bool scope = false;
    bool spectrum = false;
    bool rangePeak = false;
    bool cwPeak = false;
    bool fskMarkers = false;
    WaterfallShape image;
};

Expected ExpectedFor(int operatingMode, int displayMode, int historyRows) {
    Expected e;
    e.image = WaterfallShapeFor(displayMode, historyRows);
    switch (displayMode) {
        case 1:
            e.scope = e.spectrum = true;
            e.rangePeak = operatingMode == kOperatingModeFmcwSawtooth;
            break;
        case 2:
            e.scope = e.spectrum = true;
            e.cwPeak = operatingMode == kOperatingModeCw;
            e.fskMarkers = operatingMode == kOperatingModeFsk;
            break;
        case 4:
        case 5:
            e.scope = true;
            break;
        default:
            break;
    }
    return e;
}

TEST(WaterfallShapes, PerDisplayMode) {
    EXPECT_EQ(WaterfallShapeFor(3, 64).columns, 1024);
    EXPECT_EQ(WaterfallShapeFor(3, 64).rows, 513);
    EXPECT_EQ(WaterfallShapeFor(4, 128).columns, 1024);
    EXPECT_EQ(WaterfallShapeFor(4, 128).rows, 128);
    EXPECT_EQ(WaterfallShapeFor(5, 8).columns, 513);
    EXPECT_EQ(WaterfallShapeFor(5, 8).rows, 8);
    for (int mode : {0, 1, 2, 6}) EXPECT_EQ(WaterfallShapeFor(mode, 64).columns, 0) << mode;
}

// Every combination builds exactly its items, attached to the right plot, and a delete
// leaves only the legends behind.
TEST_F(PlotItemsTest, EveryCombinationBuildsItsItemsAndDeletesThemAll) {
    const int topBaseline = TopCount();
    const int bottomBaseline = BottomCount();
    for (int op = 0; op <= 3; ++op) {
        for (int mode = 0; mode <= 6; ++mode) {
            SCOPED_TRACE(testing::Message() << "operating " << op << ", display " << mode);
            const Expected e = ExpectedFor(op, mode, 16);
            Build(items, &top, &bottom, {op, mode, 16, 0});

            EXPECT_EQ(items.curveI != nullptr, e.scope);
            EXPECT_EQ(items.curveQ != nullptr, e.scope);
            EXPECT_EQ(items.curveSpectrum != nullptr, e.spectrum);
            EXPECT_EQ(items.markerRangePeak != nullptr, e.rangePeak);
            EXPECT_EQ(items.markerCwPeak != nullptr, e.cwPeak);
            EXPECT_EQ(items.markerFskThreshold != nullptr, e.fskMarkers);
            EXPECT_EQ(items.markerFskPeak != nullptr, e.fskMarkers);
            ASSERT_NE(items.grid, nullptr);
            ASSERT_NE(items.windowZone, nullptr);
            EXPECT_EQ(items.grid->plot(), &bottom);
            EXPECT_EQ(items.windowZone->plot(), &bottom);
            if (e.scope) {
                EXPECT_EQ(items.curveI->plot(), &top);
                EXPECT_EQ(items.curveQ->plot(), &top);
            }
            if (e.spectrum) {
                EXPECT_EQ(items.curveSpectrum->plot(), &bottom);
            }

            ASSERT_EQ(items.waterfall != nullptr, e.image.columns > 0);
            if (items.waterfall) {
                EXPECT_EQ(items.waterfall->spectrogram->plot(), &bottom);
                EXPECT_EQ(items.waterfall->columns, e.image.columns);
                EXPECT_EQ(items.waterfall->rows, e.image.rows);
                EXPECT_EQ(items.waterfall->values.size(),
                          std::size_t(e.image.columns) * std::size_t(e.image.rows));
                EXPECT_EQ(items.waterfall->resampleMethod, 0);
            }

            const int bottomItems = 2 + (e.spectrum ? 1 : 0) + (e.rangePeak ? 1 : 0) +
                                    (e.cwPeak ? 1 : 0) + (e.fskMarkers ? 2 : 0) +
                                    (items.waterfall ? 1 : 0);
            EXPECT_EQ(TopCount(), topBaseline + (e.scope ? 2 : 0));
            EXPECT_EQ(BottomCount(), bottomBaseline + bottomItems);

            DeleteAll(items);
            EXPECT_EQ(TopCount(), topBaseline);
            EXPECT_EQ(BottomCount(), bottomBaseline);
            EXPECT_EQ(items.grid, nullptr);
            EXPECT_EQ(items.waterfall, nullptr);
        }
    }
}

TEST_F(PlotItemsTest, RebuildWithoutDeleteReplacesTheItems) {
    const int topBaseline = TopCount();
    const int bottomBaseline = BottomCount();
    Build(items, &top, &bottom, {kOperatingModeFsk, 2, 64, 1});
    Build(items, &top, &bottom, {kOperatingModeFmcwSawtooth, 5, 128, 1});
    EXPECT_EQ(TopCount(), topBaseline + 2);
    EXPECT_EQ(BottomCount(), bottomBaseline + 3);
    EXPECT_EQ(items.markerFskPeak, nullptr);
    EXPECT_EQ(items.waterfall->rows, 128);
    DeleteAll(items);
    DeleteAll(items);
    EXPECT_EQ(BottomCount(), bottomBaseline);
}

TEST_F(PlotItemsTest, OnlyTheNamedCurvesAppearInTheLegends) {
    Build(items, &top, &bottom, {kOperatingModeFsk, 2, 64, 1});
    EXPECT_EQ(items.curveI->title().text(), "I-Channel");
    EXPECT_EQ(items.curveQ->title().text(), "Q-Channel");
    EXPECT_TRUE(items.curveSpectrum->title().text().isEmpty());
    for (const QwtPlotItem* item : bottom.itemList()) {
        if (item->rtti() == QwtPlotItem::Rtti_PlotLegend) continue;
        EXPECT_EQ(item->testItemAttribute(QwtPlotItem::Legend),
                  item->rtti() == QwtPlotItem::Rtti_PlotCurve)
            << item->rtti();
    }
}

// Draws a waterfall offscreen: no crash, and the newest row lies at the bottom of the picture.
TEST(WaterfallRender, NewestRowIsDrawnAtTheBottom) {
    QwtPlot plot;
    plot.resize(600, 400);
    plot.setAxisScale(QwtPlot::xBottom, 0.0, 10.0);
    plot.setAxisScale(QwtPlot::yLeft, 0.0, 8.0);
    PlotItems items;
    Build(items, nullptr, &plot, {kOperatingModeFmcwSawtooth, 5, 8, 1});
    delete items.grid;  // keeps its dotted lines out of the sampled pixels
    items.grid = nullptr;

    WaterfallView& view = *items.waterfall;
    view.applyColorScheme(kColorSchemeBlackWhite);
    for (int i = 0; i < 7; ++i) view.pushRow(std::vector<double>(513, 0.5), true);
    view.pushRow(std::vector<double>(513, 1.0), true);
    view.updateRaster(513, 0.0, 10.0, 0.0, 8.0, 0.0, 1.0);

    QImage whole(800, 500, QImage::Format_ARGB32);
    whole.fill(Qt::transparent);
    QwtPlotRenderer().renderTo(&plot, whole);
    EXPECT_NE(whole.pixel(400, 250), QColor(Qt::transparent).rgba());

    plot.replot();
    const QImage canvas = plot.canvas()->grab().toImage();
    ASSERT_FALSE(canvas.isNull());
    const QwtScaleMap xMap = plot.canvasMap(QwtPlot::xBottom);
    const QwtScaleMap yMap = plot.canvasMap(QwtPlot::yLeft);
    const int x = qRound(xMap.transform(5.0));
    const QColor newest(canvas.pixel(x, qRound(yMap.transform(0.5))));
    const QColor older(canvas.pixel(x, qRound(yMap.transform(6.5))));
    EXPECT_EQ(newest, QColor(Qt::white));
    EXPECT_NEAR(older.red(), 128, 2);
    EXPECT_EQ(older.red(), older.blue());
    DeleteAll(items);
}

}  // namespace
}  // namespace vorn

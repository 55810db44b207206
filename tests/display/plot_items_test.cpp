#include "display/plot_items.h"

#include <gtest/gtest.h>
#include <qwt_color_map.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_legenditem.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_plot_zoneitem.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>
#include <QColor>
#include <QImage>

#include <cmath>
#include <vector>

#include "display/color_schemes.h"
#include "display/waterfall_view.h"

namespace vorn {
namespace {

int Count(const QwtPlot& plot) {
    return plot.itemList().size();
}

// Each display mode the operator can choose builds exactly its items on the right plot, twice
// over (a rebuild replaces them), and a delete leaves only the legends the window keeps.
TEST(PlotItems, EachModeBuildsItsItemsAndDeletesThemAll) {
    QwtPlot top;
    QwtPlot bottom;
    (new QwtPlotLegendItem())->attach(&top);
    (new QwtPlotLegendItem())->attach(&bottom);
    PlotItems items;
    const struct {
        int operating, display;
        int topItems, bottomItems;  // legend, grid and window zone count on the bottom plot
        std::size_t imageCells;     // 16 history rows
    } cases[] = {
        {kOperatingModeFmcwSawtooth, 1, 3, 5, 0},
        {kOperatingModeFmcwSawtooth, 3, 1, 4, 1024 * 513},
        {kOperatingModeFmcwSawtooth, 4, 3, 4, 1024 * 16},
        {kOperatingModeFmcwSawtooth, 5, 3, 4, 513 * 16},
        {kOperatingModeCw, 2, 3, 5, 0},
        {kOperatingModeFsk, 2, 3, 6, 0},
        {kOperatingModeFsk, 5, 3, 4, 513 * 16},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << "operating " << c.operating << ", display " << c.display);
            Build(items, &top, &bottom, {c.operating, c.display, 16, 0});
            EXPECT_EQ(Count(top), c.topItems);
            EXPECT_EQ(Count(bottom), c.bottomItems);
            // A colour image carries its colour bar on the right axis; no other mode shows it.
            EXPECT_EQ(bottom.axisEnabled(QwtPlot::yRight), c.imageCells > 0);
            ASSERT_EQ(items.waterfall != nullptr, c.imageCells > 0);
            if (items.waterfall) {
                EXPECT_EQ(items.waterfall->spectrogram->plot(), &bottom);
                EXPECT_EQ(items.waterfall->size(), c.imageCells);
            }
        }
    }
    // The colour bar follows the image's z range and scheme.
    Build(items, &top, &bottom, {kOperatingModeFmcwSawtooth, 3, 16, 0});
    items.waterfall->applyColorScheme(kColorSchemeJet);
    items.waterfall->updateRaster(1024, 0.0, 1.0, 0.0, 1.0, -7, 33);
    bottom.updateAxes();
    const QwtScaleWidget* bar = bottom.axisWidget(QwtPlot::yRight);
    EXPECT_TRUE(bar->isColorBarEnabled());
    EXPECT_EQ(bar->colorBarInterval(), QwtInterval(-7, 33));
    EXPECT_EQ(bottom.axisScaleDiv(QwtPlot::yRight).lowerBound(), -7);
    EXPECT_EQ(bottom.axisScaleDiv(QwtPlot::yRight).upperBound(), 33);
    EXPECT_EQ(QColor(bar->colorMap()->rgb(bar->colorBarInterval(), -7)),
              SchemeStops(kColorSchemeJet).start);

    Build(items, &top, &bottom, {kOperatingModeFsk, 2, 64, 1});
    EXPECT_EQ(items.curveI->title().text(), "I-Channel");
    EXPECT_EQ(items.curveQ->title().text(), "Q-Channel");
    EXPECT_TRUE(items.curveSpectrum->title().text().isEmpty());
    // Only the named curves and the FSK threshold (its value is its title) appear in the legends.
    for (const QwtPlotItem* item : bottom.itemList()) {
        if (item->rtti() == QwtPlotItem::Rtti_PlotLegend) continue;
        EXPECT_EQ(item->testItemAttribute(QwtPlotItem::Legend),
                  item->rtti() == QwtPlotItem::Rtti_PlotCurve ||
                      item == items.markerFskThreshold);
    }
    DeleteAll(items);
    DeleteAll(items);
    EXPECT_EQ(Count(top), 1);
    EXPECT_EQ(Count(bottom), 1);
    EXPECT_EQ(items.grid, nullptr);
}

// The FSK range track: 1024 columns, one mark per row. However narrow the canvas, every row
// shows its mark where it belongs, in both resampling modes.
TEST(PlotItems, EveryRangeTrackMarkShowsAtEveryWidth) {
    constexpr double kMaxRange = 24.982704833333333;
    constexpr int kRows = 64;
    for (const int width : {400, 1280, 1600}) {
        for (const int resample : {1, 0}) {
            SCOPED_TRACE(testing::Message() << "width " << width << " resample " << resample);
            QwtPlot plot;
            plot.resize(width, 600);
            plot.setAxisScale(QwtPlot::xBottom, 0.0, kMaxRange);
            plot.setAxisScale(QwtPlot::yLeft, 0.0, 3.2);
            PlotItems items;
            Build(items, nullptr, &plot, {kOperatingModeFsk, 5, kRows, resample});
            delete items.grid;  // keeps their lines out of the sampled pixels
            delete items.windowZone;
            items.grid = nullptr;
            items.windowZone = nullptr;
            WaterfallView& view = *items.waterfall;
            view.setShape(1024, kRows, true);
            view.applyColorScheme(kColorSchemeBlackWhite);
            std::vector<int> marks;  // newest first, as the rows end up
            for (int r = 0; r < kRows; ++r) {
                std::vector<double> row(1024, 0.0);
                const int mark = (r * 379 + 11) % 1024;
                row[static_cast<std::size_t>(mark)] = 1.0;
                marks.insert(marks.begin(), mark);
                view.pushRow(row, true);
            }
            view.updateRaster(1024, 0.0, kMaxRange, 0.0, 3.2, 0.0, 1.0);
            plot.replot();
            const QImage canvas = plot.canvas()->grab().toImage();
            const QwtScaleMap xMap = plot.canvasMap(QwtPlot::xBottom);
            const QwtScaleMap yMap = plot.canvasMap(QwtPlot::yLeft);
            for (int r = 0; r < kRows; ++r) {
                const int y = qRound(yMap.transform((r + 0.5) * 3.2 / kRows));
                int brightest = 0;
                int at = -1;
                const int left = qRound(xMap.transform(0.0));
                const int right = qRound(xMap.transform(kMaxRange));
                for (int x = left; x < right; ++x) {
                    const int level = qRed(canvas.pixel(x, y));
                    if (level > brightest) {
                        brightest = level;
                        at = x;
                    }
                }
                const double markX = xMap.transform((marks[r] + 0.5) * kMaxRange / 1024);
                // Blending across rows (the axis with room) leaves at least half of the mark.
                EXPECT_GE(brightest, resample == 1 ? 255 : 128) << "row " << r;
                EXPECT_NEAR(at, markX, 2.0) << "row " << r;
            }
            DeleteAll(items);
        }
    }
}

using Values = std::vector<double>;

// Scrolling puts the row in front (newest first) and cuts the matrix back to its shape, whatever
// the row's length; without scrolling the row overwrites the start and never writes past it.
TEST(WaterfallView, PushKeepsTheShapeForEveryRowLength) {
    struct Push {
        Values row;
        bool scroll;
        Values expected;
    };
    const Push pushes[] = {{{1, 2, 3}, true, {1, 2, 3, 0, 0, 0}},
                           {{9}, true, {9, 1, 2, 3, 0, 0}},
                           {{4, 5}, true, {4, 5, 9, 1, 2, 3}},
                           {{5, 6, 7, 8, 9, 10, 11, 12}, true, {5, 6, 7, 8, 9, 10}},
                           {{7, 7}, false, {7, 7, 7, 8, 9, 10}},
                           {Values(100, 5.0), false, Values(6, 5.0)}};
    // A history starts as a ring kept twice over, a map as one matrix: both take every push.
    for (const bool scrolling : {true, false}) {
        WaterfallView view;
        view.setShape(2, 3, scrolling);
        for (const Push& p : pushes) {
            view.pushRow(p.row, p.scroll);
            EXPECT_EQ(view.values(), p.expected)
                << "row of " << p.row.size() << " scrolling " << scrolling;
        }
        view.setShape(-3, 8, scrolling);
        EXPECT_EQ(view.columns, 0);
        EXPECT_TRUE(view.values().empty());
    }
}

// Scheme changes keep the history and build each colour map once; before any shape the raster
// has nothing to draw but is safe to ask.
TEST(WaterfallView, SchemeChangesKeepTheHistoryAndAnUnshapedViewIsSafe) {
    WaterfallView view;
    view.setShape(2, 3, true);
    view.pushRow({8, 8, 8, 8, 8, 8, 8}, false);  // the map's whole-matrix write, cut to shape
    view.pushRow({5, 5}, true);
    view.applyColorScheme(3);
    const QwtColorMap* jet = view.spectrogram->colorMap();
    view.applyColorScheme(3);
    EXPECT_EQ(view.spectrogram->colorMap(), jet);
    view.applyColorScheme(2);
    EXPECT_EQ(QColor(view.spectrogram->colorMap()->rgb(QwtInterval(0.0, 1.0), 0.0)),
              QColor(Qt::black));
    EXPECT_EQ(view.values(), (Values{5, 5, 8, 8, 8, 8}));

    WaterfallView unshaped;
    unshaped.updateRaster(0, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0);
    EXPECT_TRUE(std::isnan(unshaped.spectrogram->data()->value(0.5, 0.5)));
}

}  // namespace
}  // namespace vorn

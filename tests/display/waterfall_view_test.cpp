#include "display/waterfall_view.h"

#include <gtest/gtest.h>
#include <qwt_color_map.h>
#include <qwt_plot_spectrogram.h>
#include <QColor>

#include <cmath>
#include <vector>

#include "display/raster_data.h"

namespace {

std::vector<double> Row(int columns, double value) {
    return std::vector<double>(columns, value);
}

TEST(WaterfallView, SetShapeReplacesTheMatrixWithZeros) {
    WaterfallView view;
    view.setShape(513, 64);
    view.pushRow(Row(513, 7.0), true);
    view.setShape(1024, 8);
    EXPECT_EQ(view.columns, 1024);
    EXPECT_EQ(view.rows, 8);
    EXPECT_EQ(view.values, std::vector<double>(1024 * 8, 0.0));
    view.setShape(-3, 8);
    EXPECT_EQ(view.columns, 0);
    EXPECT_TRUE(view.values.empty());
}

// Newest row first, every older row one further down, the oldest dropping off the end.
TEST(WaterfallView, ScrollingPushKeepsTheLastRowsNewestFirst) {
    WaterfallView view;
    view.setShape(3, 8);
    for (int i = 1; i <= 9; ++i) view.pushRow({i + 0.1, i + 0.2, i + 0.3}, true);

    ASSERT_EQ(view.values.size(), 24u);
    for (int r = 0; r < 8; ++r) {
        const double tick = 9 - r;
        EXPECT_EQ(view.values[r * 3 + 0], tick + 0.1) << r;
        EXPECT_EQ(view.values[r * 3 + 2], tick + 0.3) << r;
    }
}

TEST(WaterfallView, ScrollingPushBeforeTheHistoryFillsLeavesZeros) {
    WaterfallView view;
    view.setShape(2, 4);
    view.pushRow({1, 2}, true);
    view.pushRow({3, 4}, true);
    EXPECT_EQ(view.values, (std::vector<double>{3, 4, 1, 2, 0, 0, 0, 0}));
}

// A row of another length is still put in front and the matrix cut back to its shape.
TEST(WaterfallView, ScrollingPushOfOddLengthsKeepsTheShape) {
    WaterfallView view;
    view.setShape(2, 2);
    view.pushRow({1, 2, 3}, true);
    EXPECT_EQ(view.values, (std::vector<double>{1, 2, 3, 0}));
    view.pushRow({9}, true);
    EXPECT_EQ(view.values, (std::vector<double>{9, 1, 2, 3}));
    view.pushRow({5, 6, 7, 8, 9, 10}, true);
    EXPECT_EQ(view.values, (std::vector<double>{5, 6, 7, 8}));
    view.values.resize(1);
    view.pushRow({4}, true);
    EXPECT_EQ(view.values, (std::vector<double>{4, 5, 0, 0}));
}

TEST(WaterfallView, PushWithoutScrollOverwritesTheStartOnly) {
    WaterfallView view;
    view.setShape(2, 3);
    view.pushRow({1, 1, 1, 1, 1, 1}, false);
    view.pushRow({2, 3}, false);
    EXPECT_EQ(view.values, (std::vector<double>{2, 3, 1, 1, 1, 1}));
    // A map larger than the view is cut to it instead of writing past the end.
    view.pushRow(std::vector<double>(100, 5.0), false);
    EXPECT_EQ(view.values, std::vector<double>(6, 5.0));
}

TEST(WaterfallView, UpdateRasterHandsOverASnapshot) {
    WaterfallView view;
    view.setShape(4, 2);
    view.resampleMethod = 0;
    view.pushRow({1, 2, 3, 4}, true);
    view.updateRaster(4, -2.0, 2.0, 0.0, 0.2, -10.0, 10.0);
    view.pushRow({9, 9, 9, 9}, true);

    const auto* data = dynamic_cast<const Vorn_GUI_RasterData*>(view.spectrogram->data());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->numColumns(), 4);
    EXPECT_EQ(data->numRows(), 2);
    EXPECT_EQ(data->resampleMode(), QwtMatrixRasterData::BilinearInterpolation);
    EXPECT_EQ(data->valueMatrix(), (QVector<double>{1, 2, 3, 4, 0, 0, 0, 0}));
    EXPECT_EQ(data->interval(Qt::XAxis).minValue(), -2.0);
    EXPECT_EQ(data->interval(Qt::YAxis).maxValue(), 0.2);
    EXPECT_EQ(data->interval(Qt::ZAxis).minValue(), -10.0);

    // Before any shape the raster has nothing to draw but is safe to ask.
    WaterfallView unshaped;
    unshaped.updateRaster(0, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0);
    EXPECT_TRUE(std::isnan(unshaped.spectrogram->data()->value(0.5, 0.5)));
}

TEST(WaterfallView, ColourSchemeChangesKeepTheHistory) {
    WaterfallView view;
    view.setShape(2, 2);
    view.pushRow({1, 2}, true);
    const QwtInterval unit(0.0, 1.0);
    view.applyColorScheme(3);
    EXPECT_EQ(QColor(view.spectrogram->colorMap()->rgb(unit, 0.0)), QColor(0, 0, 189));
    view.applyColorScheme(2);
    EXPECT_EQ(QColor(view.spectrogram->colorMap()->rgb(unit, 1.0)), QColor(Qt::white));
    EXPECT_EQ(view.values, (std::vector<double>{1, 2, 0, 0}));
}

}  // namespace

#include "display/waterfall_view.h"

#include <gtest/gtest.h>
#include <qwt_color_map.h>
#include <qwt_plot_spectrogram.h>
#include <QColor>

#include <cmath>
#include <vector>

#include "display/raster_data.h"

namespace {

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
    WaterfallView view;
    view.setShape(2, 3);
    for (const Push& p : pushes) {
        view.pushRow(p.row, p.scroll);
        EXPECT_EQ(view.values, p.expected) << "row of " << p.row.size();
    }
    view.values.resize(1);  // a matrix cut short by its reader must still come back whole
    view.pushRow({4}, true);
    EXPECT_EQ(view.values, (Values{4, 5, 0, 0, 0, 0}));
    view.setShape(-3, 8);
    EXPECT_EQ(view.columns, 0);
    EXPECT_TRUE(view.values.empty());
}

TEST(WaterfallView, RasterIsASnapshotAndSchemeChangesKeepTheHistory) {
    WaterfallView view;
    view.setShape(4, 2);
    view.resampleMethod = 0;
    view.pushRow({1, 2, 3, 4}, true);
    view.updateRaster(4, -2.0, 2.0, 0.0, 0.2, -10.0, 10.0);
    view.pushRow({9, 9, 9, 9}, true);
    const auto* data = dynamic_cast<const Vorn_GUI_RasterData*>(view.spectrogram->data());
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->resampleMode(), QwtMatrixRasterData::BilinearInterpolation);
    EXPECT_EQ(data->valueMatrix(), (QVector<double>{1, 2, 3, 4, 0, 0, 0, 0}));
    EXPECT_EQ(data->interval(Qt::ZAxis).minValue(), -10.0);

    view.applyColorScheme(3);
    EXPECT_EQ(QColor(view.spectrogram->colorMap()->rgb(QwtInterval(0.0, 1.0), 0.0)),
              QColor(0, 0, 189));
    EXPECT_EQ(view.values, (Values{9, 9, 9, 9, 1, 2, 3, 4}));

    // Before any shape the raster has nothing to draw but is safe to ask.
    WaterfallView unshaped;
    unshaped.updateRaster(0, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0);
    EXPECT_TRUE(std::isnan(unshaped.spectrogram->data()->value(0.5, 0.5)));
}

}  // namespace

#include "display/raster_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kNearest = 1;
constexpr int kBilinear = 0;

// 4 columns x 2 rows over x 0..4 and y 10..12, so every cell is 1 x 1.
std::vector<double> SmallMatrix() {
    return {0, 1, 2, 3, 10, 11, 12, 13};
}

TEST(RasterData, IsASnapshotOfTheValues) {
    std::vector<double> values = SmallMatrix();
    Vorn_GUI_RasterData data(values, 4, 0.0, 4.0, 10.0, 12.0, -50.0, 50.0, kNearest);
    values[0] = 99.0;
    EXPECT_EQ(data.value(0.5, 10.5), 0.0);
    EXPECT_EQ(data.numRows(), 2);
    // Only 1 selects nearest neighbour.
    Vorn_GUI_RasterData other(values, 4, 0.0, 4.0, 10.0, 12.0, 0.0, 1.0, 2);
    EXPECT_EQ(other.resampleMode(), QwtMatrixRasterData::BilinearInterpolation);
}

TEST(RasterData, NearestNeighbourCellEdges) {
    Vorn_GUI_RasterData data(SmallMatrix(), 4, 0.0, 4.0, 10.0, 12.0, 0.0, 1.0, kNearest);
    EXPECT_EQ(data.value(0.0, 10.0), 0.0);
    EXPECT_EQ(data.value(0.999, 10.999), 0.0);
    EXPECT_EQ(data.value(1.0, 10.0), 1.0);
    EXPECT_EQ(data.value(3.999, 10.5), 3.0);
    // Row 0 lies at the bottom of the y range, row 1 above it.
    EXPECT_EQ(data.value(0.5, 11.0), 10.0);
    EXPECT_EQ(data.value(3.9999, 11.9999), 13.0);
    // The maxima are excluded, the minima included.
    EXPECT_TRUE(std::isnan(data.value(4.0, 10.5)));
    EXPECT_TRUE(std::isnan(data.value(0.5, 12.0)));
    EXPECT_TRUE(std::isnan(data.value(-1e-9, 10.5)));
    EXPECT_TRUE(std::isnan(data.value(0.5, 9.999)));
}

TEST(RasterData, BilinearCellEdges) {
    Vorn_GUI_RasterData data(SmallMatrix(), 4, 0.0, 4.0, 10.0, 12.0, 0.0, 1.0, kBilinear);
    // Cell centres give the cell's own value; the borders of the matrix are flat.
    EXPECT_DOUBLE_EQ(data.value(0.5, 10.5), 0.0);
    EXPECT_DOUBLE_EQ(data.value(2.5, 11.5), 12.0);
    EXPECT_DOUBLE_EQ(data.value(0.0, 10.0), 0.0);
    EXPECT_DOUBLE_EQ(data.value(3.999, 11.999), 13.0);
    // Halfway between two cell centres: their mean.
    EXPECT_DOUBLE_EQ(data.value(1.0, 10.5), 0.5);
    EXPECT_DOUBLE_EQ(data.value(0.5, 11.0), 5.0);
    EXPECT_DOUBLE_EQ(data.value(2.0, 11.0), 6.5);
    EXPECT_TRUE(std::isnan(data.value(4.0, 11.0)));
}

// The picture must not change: the fast lookup agrees with the library's own, bit for bit,
// across a fine grid that includes every cell edge.
TEST(RasterData, AgreesWithMatrixRasterData) {
    std::vector<double> values(7 * 5);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = std::sin(0.37 * double(i)) * 40.0;
    for (int method : {kNearest, kBilinear}) {
        Vorn_GUI_RasterData data(values, 7, -3.3, 3.3, 0.0, 6.4, -40.0, 40.0, method);
        for (int iy = -2; iy <= 162; ++iy) {
            for (int ix = -2; ix <= 142; ++ix) {
                const double x = -3.3 + ix * (6.6 / 140.0);
                const double y = iy * (6.4 / 160.0);
                const double fast = data.value(x, y);
                const double reference = data.QwtMatrixRasterData::value(x, y);
                if (std::isnan(reference)) {
                    ASSERT_TRUE(std::isnan(fast)) << x << ", " << y;
                } else {
                    ASSERT_EQ(fast, reference) << method << ": " << x << ", " << y;
                }
            }
        }
    }
}

// No complete row (before the first shape, or a column count larger than the data): nothing
// to draw, and nothing read outside the matrix.
TEST(RasterData, MatrixWithoutRowsGivesNoValue) {
    for (int method : {kNearest, kBilinear}) {
        Vorn_GUI_RasterData empty({}, 0, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0, method);
        EXPECT_TRUE(std::isnan(empty.value(0.5, 0.5)));
        Vorn_GUI_RasterData shortRow({1.0, 2.0}, 513, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0, method);
        EXPECT_TRUE(std::isnan(shortRow.value(0.5, 0.5)));
        Vorn_GUI_RasterData negative({1.0, 2.0}, -4, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0, method);
        EXPECT_TRUE(std::isnan(negative.value(0.5, 0.5)));
    }
}

TEST(RasterData, NanPositionsAndEmptyIntervalsGiveNoValue) {
    Vorn_GUI_RasterData data(SmallMatrix(), 4, 0.0, 4.0, 10.0, 12.0, 0.0, 1.0, kNearest);
    EXPECT_TRUE(std::isnan(data.value(std::nan(""), 10.5)));
    EXPECT_TRUE(std::isnan(data.value(0.5, std::nan(""))));
    Vorn_GUI_RasterData flat(SmallMatrix(), 4, 1.0, 1.0, 10.0, 12.0, 0.0, 1.0, kNearest);
    EXPECT_TRUE(std::isnan(flat.value(1.0, 10.5)));
}

TEST(RasterData, LaterIntervalChangesMoveTheCells) {
    Vorn_GUI_RasterData data(SmallMatrix(), 4, 0.0, 4.0, 10.0, 12.0, 0.0, 1.0, kNearest);
    data.setInterval(Qt::XAxis, QwtInterval(0.0, 8.0, QwtInterval::ExcludeMaximum));
    EXPECT_EQ(data.value(2.5, 10.5), 1.0);
    EXPECT_EQ(data.value(2.5, 10.5), data.QwtMatrixRasterData::value(2.5, 10.5));
}

}  // namespace

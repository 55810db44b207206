#include "display/raster_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// The picture must not change: the fast lookup agrees with the library's own, bit for bit,
// across a fine grid that includes every cell edge, also after the interval changes.
TEST(RasterData, AgreesWithMatrixRasterData) {
    std::vector<double> values(7 * 5);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = std::sin(0.37 * double(i)) * 40.0;
    for (int method : {1, 0}) {
        Vorn_GUI_RasterData data(values, 7, -3.3, 3.3, 0.0, 6.4, -40.0, 40.0, method);
        for (const double xMax : {3.3, 9.0}) {
            data.setInterval(Qt::XAxis, QwtInterval(-3.3, xMax, QwtInterval::ExcludeMaximum));
            for (int iy = -2; iy <= 162; ++iy) {
                for (int ix = -2; ix <= 142; ++ix) {
                    const double x = -3.3 + ix * ((xMax + 3.3) / 140.0);
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
}

// No complete row, a NaN position or an empty interval: nothing to draw, nothing read outside
// the matrix.
TEST(RasterData, DegenerateMatricesAndPositionsGiveNoValue) {
    for (int method : {1, 0}) {
        const Vorn_GUI_RasterData cases[] = {
            {{}, 0, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0, method},
            {{1.0, 2.0}, 513, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0, method},
            {{1.0, 2.0}, -4, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0, method},
            {{1.0, 2.0}, 2, 0.5, 0.5, 0.0, 1.0, 0.0, 1.0, method}};
        for (const Vorn_GUI_RasterData& data : cases) {
            EXPECT_TRUE(std::isnan(data.value(0.5, 0.5))) << method;
        }
        Vorn_GUI_RasterData data({1.0, 2.0}, 2, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0, method);
        EXPECT_TRUE(std::isnan(data.value(std::nan(""), 0.5)));
        EXPECT_TRUE(std::isnan(data.value(0.5, std::nan(""))));
    }
}

}  // namespace

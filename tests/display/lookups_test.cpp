#include <gtest/gtest.h>
#include <qwt_color_map.h>
#include <QColor>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "display/color_ramp.h"
#include "display/color_schemes.h"
#include "display/raster_data.h"

namespace {

QColor ColourAt(int scheme, double position) {
    const std::unique_ptr<QwtLinearColorMap> map(MakeColorMap(scheme));
    return QColor::fromRgba(map->rgb(QwtInterval(0.0, 1.0), position));
}

// The ends and inner stops of every scheme; beyond the scale the end colours hold, and unknown
// indexes give the standard scheme.
TEST(ColorSchemes, EndsAndStopsOfEveryScheme) {
    struct Case {
        int scheme;
        double position;
        QColor colour;
    };
    const Case cases[] = {{kColorSchemeStandard, 0.0, QColor(0, 0, 128)},
                          {kColorSchemeRgb, -1.0, QColor(0, 128, 128)},
                          {kColorSchemeRgb, 0.6, QColor(0, 255, 0)},
                          {kColorSchemeRgb, 1.0, QColor(255, 0, 0)},
                          {kColorSchemeBlackWhite, 1.0, QColor(Qt::white)},
                          {kColorSchemeJet, 0.0, QColor(0, 0, 189)},
                          {kColorSchemeJet, 1.0, QColor(189, 0, 0)},  // the later of two stops
                          {4, 1.0, QColor(255, 255, 0)}};
    for (const Case& c : cases) {
        EXPECT_EQ(ColourAt(c.scheme, c.position), c.colour)
            << "scheme " << c.scheme << " at " << c.position;
    }
    // No 11/13 stop: halfway between 10/13 and 12/13 lies the mean of their colours.
    const QColor gap = ColourAt(kColorSchemeJet, 11.0 / 13.0);
    EXPECT_EQ(gap.red(), 255);
    EXPECT_NEAR(gap.green(), (189 + 66) / 2, 1);
}

// The waterfall colours whole rows through the ramp without branches; every value must still
// get the library's colour: below, at and above the scale, on the stops and bin edges, at the
// infinities and not-a-number, and an empty scale.
TEST(ColorRamp, RunGivesTheLibrarysColourForEveryValue) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    std::vector<double> positions = {
        -kInf,       -1.0, -1e-300,     0.0, 1e-300, 0.5,
        1.0 - 1e-16, 1.0,  1.0 + 1e-16, 7.0, kInf,   std::numeric_limits<double>::quiet_NaN()};
    for (int j = 0; j <= 1024; ++j) positions.push_back(j / 1024.0);
    for (int j = 0; j <= 13; ++j) {
        positions.push_back(j / 13.0);
        positions.push_back(std::nextafter(j / 13.0, 2.0));
        positions.push_back(std::nextafter(j / 13.0, -1.0));
    }
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> uniform(-0.2, 1.2);
    for (int j = 0; j < 4000; ++j) positions.push_back(uniform(rng));

    for (int scheme = 0; scheme <= 4; ++scheme) {
        const std::unique_ptr<QwtLinearColorMap> map(MakeColorMap(scheme));
        const ColorRamp ramp(SchemeStops(scheme));
        for (const auto& [lo, width] :
             {std::pair{-40.0, 80.0}, {-117.0, 114.0}, {0.3, 97.3}, {-63.1, 41.7}, {3.0, 0.0}}) {
            const QwtInterval interval(lo, lo + width);
            std::vector<double> values;
            for (const double p : positions) values.push_back(lo + p * width);
            std::vector<QRgb> run(values.size());
            ramp.rgbRun(lo, width, values.data(), run.data(), values.size());
            for (std::size_t k = 0; k < values.size(); ++k) {
                ASSERT_EQ(run[k], map->rgb(QwtInterval(lo, lo + width), values[k]))
                    << "scheme " << scheme << " width " << width << " value " << values[k];
            }
        }
    }
}

// The picture must not change: the fast lookup agrees with the library's own, bit for bit,
// across a fine grid that includes every cell edge, also after the interval changes.
TEST(RasterData, AgreesWithMatrixRasterData) {
    std::vector<double> values(7 * 5);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = std::sin(0.37 * double(i)) * 40.0;
    for (int method : {1, 0}) {
        Vorn_GUI_RasterData data(values, 7, -3.3, 3.3, 0.0, 6.4, -40.0, 40.0, method);
        QwtMatrixRasterData library;
        library.setValueMatrix(QVector<double>(values.begin(), values.end()), 7);
        library.setInterval(Qt::YAxis, QwtInterval(0.0, 6.4, QwtInterval::ExcludeMaximum));
        library.setResampleMode(method == 1 ? QwtMatrixRasterData::NearestNeighbour
                                            : QwtMatrixRasterData::BilinearInterpolation);
        for (const double xMax : {3.3, 9.0}) {
            for (QwtMatrixRasterData* d : {static_cast<QwtMatrixRasterData*>(&data), &library}) {
                d->setInterval(Qt::XAxis, QwtInterval(-3.3, xMax, QwtInterval::ExcludeMaximum));
            }
            EXPECT_EQ(data.pixelHint(QRectF()), library.pixelHint(QRectF())) << method;
            for (int iy = -2; iy <= 162; ++iy) {
                for (int ix = -2; ix <= 142; ++ix) {
                    const double x = -3.3 + ix * ((xMax + 3.3) / 140.0);
                    const double y = iy * (6.4 / 160.0);
                    const double fast = data.value(x, y);
                    const double reference = library.value(x, y);
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

}  // namespace

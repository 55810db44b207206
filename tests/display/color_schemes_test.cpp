#include "display/color_schemes.h"

#include <gtest/gtest.h>
#include <qwt_color_map.h>
#include <QColor>

#include <memory>
#include <vector>

namespace {

struct Stop {
    double position;
    QColor color;
};

QColor ColourAt(const QwtLinearColorMap& map, double position) {
    return QColor::fromRgba(map.rgb(QwtInterval(0.0, 1.0), position));
}

// Every listed stop shows its own colour, and the map holds exactly the listed positions.
void ExpectStops(int scheme, const std::vector<Stop>& stops, const QColor& atOne) {
    std::unique_ptr<QwtLinearColorMap> map(MakeColorMap(scheme));
    ASSERT_EQ(map->format(), QwtColorMap::RGB);
    const QVector<double> positions = map->colorStops();
    ASSERT_EQ(positions.size(), static_cast<int>(stops.size()));
    for (std::size_t i = 0; i < stops.size(); ++i) {
        SCOPED_TRACE(stops[i].position);
        EXPECT_EQ(positions[static_cast<int>(i)], stops[i].position);
        if (stops[i].position < 1.0) {
            EXPECT_EQ(ColourAt(*map, stops[i].position), stops[i].color);
        }
    }
    EXPECT_EQ(ColourAt(*map, 1.0), atOne);
    EXPECT_EQ(ColourAt(*map, 2.0), atOne);
    EXPECT_EQ(ColourAt(*map, -1.0), stops.front().color);
}

TEST(ColorSchemes, Standard) {
    ExpectStops(kColorSchemeStandard, {{0.0, QColor(0, 0, 128)}, {1.0, QColor(255, 255, 0)}},
                QColor(255, 255, 0));
}

TEST(ColorSchemes, Rgb) {
    ExpectStops(kColorSchemeRgb,
                {{0.0, QColor(0, 128, 128)},
                 {0.1, QColor(0, 255, 255)},
                 {0.6, QColor(0, 255, 0)},
                 {0.95, QColor(255, 255, 0)},
                 {1.0, QColor(255, 0, 0)}},
                QColor(255, 0, 0));
}

TEST(ColorSchemes, BlackAndWhite) {
    ExpectStops(kColorSchemeBlackWhite, {{0.0, QColor(Qt::black)}, {1.0, QColor(Qt::white)}},
                QColor(Qt::white));
}

// The last stop shares 1.0 with the end colour; the later one wins at 1.0 itself.
TEST(ColorSchemes, Jet) {
    ExpectStops(kColorSchemeJet,
                {{0.0, QColor(0, 0, 189)},
                 {0.07692307692307693, QColor(0, 0, 255)},
                 {0.15384615384615385, QColor(0, 66, 255)},
                 {0.23076923076923078, QColor(0, 132, 255)},
                 {0.3076923076923077, QColor(0, 189, 255)},
                 {0.38461538461538464, QColor(0, 255, 255)},
                 {0.46153846153846156, QColor(66, 255, 189)},
                 {0.5384615384615385, QColor(132, 255, 132)},
                 {0.6153846153846154, QColor(189, 255, 66)},
                 {0.6923076923076923, QColor(255, 255, 0)},
                 {0.7692307692307693, QColor(255, 189, 0)},
                 {0.9230769230769231, QColor(255, 66, 0)},
                 {1.0, QColor(132, 0, 0)},
                 {1.0, QColor(189, 0, 0)}},
                QColor(189, 0, 0));
}

TEST(ColorSchemes, JetOnADecibelScale) {
    std::unique_ptr<QwtLinearColorMap> map(MakeColorMap(kColorSchemeJet));
    const QwtInterval scale(-50.0, 50.0);
    const QColor mid = QColor::fromRgba(map->rgb(scale, 0.0));
    EXPECT_GT(mid.red(), 66);
    EXPECT_LT(mid.red(), 132);
    EXPECT_EQ(mid.green(), 255);
    EXPECT_GT(mid.blue(), 132);
    EXPECT_LT(mid.blue(), 189);
    EXPECT_EQ(QColor::fromRgba(map->rgb(scale, -80.0)), QColor(0, 0, 189));
    // No 11/13 stop: halfway between 10/13 and 12/13 lies the mean of their colours.
    const QColor gap = ColourAt(*map, 11.0 / 13.0);
    EXPECT_EQ(gap.red(), 255);
    EXPECT_NEAR(gap.green(), (189 + 66) / 2, 1);
}

TEST(ColorSchemes, UnknownIndexesGiveStandard) {
    for (int scheme : {-1, 4, 100}) {
        std::unique_ptr<QwtLinearColorMap> map(MakeColorMap(scheme));
        EXPECT_EQ(ColourAt(*map, 0.0), QColor(0, 0, 128)) << scheme;
        EXPECT_EQ(ColourAt(*map, 1.0), QColor(255, 255, 0)) << scheme;
    }
}

}  // namespace

#include "display/color_schemes.h"

#include <gtest/gtest.h>
#include <qwt_color_map.h>
#include <QColor>

#include <memory>

namespace {

QColor ColourAt(int scheme, double position, const QwtInterval& scale = QwtInterval(0.0, 1.0)) {
    const std::unique_ptr<QwtLinearColorMap> map(MakeColorMap(scheme));
    return QColor::fromRgba(map->rgb(scale, position));
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
                          {kColorSchemeStandard, 2.0, QColor(255, 255, 0)},
                          {kColorSchemeRgb, -1.0, QColor(0, 128, 128)},
                          {kColorSchemeRgb, 0.6, QColor(0, 255, 0)},
                          {kColorSchemeRgb, 0.95, QColor(255, 255, 0)},
                          {kColorSchemeRgb, 1.0, QColor(255, 0, 0)},
                          {kColorSchemeBlackWhite, 0.0, QColor(Qt::black)},
                          {kColorSchemeBlackWhite, 1.0, QColor(Qt::white)},
                          {kColorSchemeJet, 0.0, QColor(0, 0, 189)},
                          {kColorSchemeJet, 9.0 / 13.0, QColor(255, 255, 0)},
                          {kColorSchemeJet, 1.0, QColor(189, 0, 0)},  // the later of two stops
                          {-1, 0.0, QColor(0, 0, 128)},
                          {4, 1.0, QColor(255, 255, 0)}};
    for (const Case& c : cases) {
        EXPECT_EQ(ColourAt(c.scheme, c.position), c.colour)
            << "scheme " << c.scheme << " at " << c.position;
    }
    EXPECT_EQ(
        std::unique_ptr<QwtLinearColorMap>(MakeColorMap(kColorSchemeJet))->colorStops().size(), 14);
    // No 11/13 stop: halfway between 10/13 and 12/13 lies the mean of their colours.
    const QColor gap = ColourAt(kColorSchemeJet, 11.0 / 13.0);
    EXPECT_EQ(gap.red(), 255);
    EXPECT_NEAR(gap.green(), (189 + 66) / 2, 1);
    EXPECT_EQ(ColourAt(kColorSchemeJet, -80.0, QwtInterval(-50.0, 50.0)), QColor(0, 0, 189));
}

}  // namespace

#include "display/color_schemes.h"

#include <qwt_color_map.h>
#include <QColor>

namespace {

QwtLinearColorMap* MakeRgbMap() {
    auto* map = new QwtLinearColorMap(Qt::darkCyan, Qt::red, QwtColorMap::RGB);
    map->addColorStop(0.1, Qt::cyan);
    map->addColorStop(0.6, Qt::green);
    map->addColorStop(0.95, Qt::yellow);
    return map;
}

// Positions in thirteenths; 11/13 is left out on purpose, so the map runs straight from
// orange to red-orange there.
QwtLinearColorMap* MakeJetMap() {
    struct Stop {
        double position;
        int red;
        int green;
        int blue;
    };
    static constexpr Stop kStops[] = {
        {0.07692307692307693, 0, 0, 255},    {0.15384615384615385, 0, 66, 255},
        {0.23076923076923078, 0, 132, 255},  {0.3076923076923077, 0, 189, 255},
        {0.38461538461538464, 0, 255, 255},  {0.46153846153846156, 66, 255, 189},
        {0.5384615384615385, 132, 255, 132}, {0.6153846153846154, 189, 255, 66},
        {0.6923076923076923, 255, 255, 0},   {0.7692307692307693, 255, 189, 0},
        {0.9230769230769231, 255, 66, 0},    {1.0, 189, 0, 0},
    };
    auto* map = new QwtLinearColorMap(QColor(0, 0, 189), QColor(132, 0, 0), QwtColorMap::RGB);
    for (const Stop& stop : kStops) {
        map->addColorStop(stop.position, QColor(stop.red, stop.green, stop.blue));
    }
    return map;
}

}  // namespace

QwtLinearColorMap* MakeColorMap(int scheme) {
    switch (scheme) {
        case kColorSchemeRgb:
            return MakeRgbMap();
        case kColorSchemeBlackWhite:
            return new QwtLinearColorMap(Qt::black, Qt::white, QwtColorMap::RGB);
        case kColorSchemeJet:
            return MakeJetMap();
        case kColorSchemeStandard:
        default:
            return new QwtLinearColorMap(Qt::darkBlue, Qt::yellow, QwtColorMap::RGB);
    }
}

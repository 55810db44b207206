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
        {1.0 / 13.0, 0, 0, 255},     {2.0 / 13.0, 0, 66, 255},   {3.0 / 13.0, 0, 132, 255},
        {4.0 / 13.0, 0, 189, 255},   {5.0 / 13.0, 0, 255, 255},  {6.0 / 13.0, 66, 255, 189},
        {7.0 / 13.0, 132, 255, 132}, {8.0 / 13.0, 189, 255, 66}, {9.0 / 13.0, 255, 255, 0},
        {10.0 / 13.0, 255, 189, 0},  {12.0 / 13.0, 255, 66, 0},  {13.0 / 13.0, 189, 0, 0},
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

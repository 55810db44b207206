#include "display/color_schemes.h"

#include <qwt_color_map.h>

namespace {

// Positions in thirteenths; 11/13 is left out on purpose, so the map runs straight from
// orange to red-orange there.
ColorSchemeStops JetStops() {
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
    ColorSchemeStops scheme{QColor(0, 0, 189), QColor(132, 0, 0), {}};
    for (const Stop& stop : kStops) {
        scheme.stops.emplace_back(stop.position, QColor(stop.red, stop.green, stop.blue));
    }
    return scheme;
}

}  // namespace

ColorSchemeStops SchemeStops(int scheme) {
    switch (scheme) {
        case kColorSchemeRgb:
            return {
                QColor(Qt::darkCyan),
                QColor(Qt::red),
                {{0.1, QColor(Qt::cyan)}, {0.6, QColor(Qt::green)}, {0.95, QColor(Qt::yellow)}}};
        case kColorSchemeBlackWhite:
            return {QColor(Qt::black), QColor(Qt::white), {}};
        case kColorSchemeJet:
            return JetStops();
        case kColorSchemeStandard:
        default:
            return {QColor(Qt::darkBlue), QColor(Qt::yellow), {}};
    }
}

QwtLinearColorMap* MakeColorMap(int scheme) {
    const ColorSchemeStops stops = SchemeStops(scheme);
    auto* map = new QwtLinearColorMap(stops.start, stops.end, QwtColorMap::RGB);
    for (const auto& [position, color] : stops.stops) map->addColorStop(position, color);
    return map;
}

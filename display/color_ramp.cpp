#include "display/color_ramp.h"

#include <QColor>
#include <QtGlobal>

ColorRamp::ColorRamp(const ColorSchemeStops& scheme) {
    insert(0.0, scheme.start);
    insert(1.0, scheme.end);
    for (const auto& [position, color] : scheme.stops) insert(position, color);
    upperAtBin.resize(static_cast<std::size_t>(kBins));
    for (std::size_t j = 0; j < upperAtBin.size(); ++j) {
        upperAtBin[j] = static_cast<std::uint16_t>(findUpper(static_cast<double>(j) / kBins));
    }
}

// A stop within 0.001 of the stop after it replaces that one; otherwise it is inserted there.
void ColorRamp::insert(double pos, const QColor& color) {
    if (pos < 0.0 || pos > 1.0) return;
    std::size_t index = 0;
    if (stops.empty()) {
        stops.resize(1);
    } else {
        index = static_cast<std::size_t>(findUpper(pos));
        if (index == stops.size() || qAbs(stops[index].pos - pos) >= 0.001) {
            stops.insert(stops.begin() + static_cast<std::ptrdiff_t>(index), Stop());
        }
    }
    Stop stop;
    stop.pos = pos;
    stop.rgb = color.rgb();
    stop.r = qRed(stop.rgb);
    stop.g = qGreen(stop.rgb);
    stop.b = qBlue(stop.rgb);
    // Rounding to the nearest colour is folded into the start values.
    stop.r0 = stop.r + 0.5;
    stop.g0 = stop.g + 0.5;
    stop.b0 = stop.b + 0.5;
    stops[index] = stop;
    for (std::size_t i = 0; i + 1 < stops.size(); ++i) {
        Stop& s = stops[i];
        const Stop& next = stops[i + 1];
        s.rStep = next.r - s.r;
        s.gStep = next.g - s.g;
        s.bStep = next.b - s.b;
        s.posStep = next.pos - s.pos;
    }
}

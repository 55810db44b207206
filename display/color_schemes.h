#pragma once
#include <QColor>

#include <vector>

class QwtLinearColorMap;

// Indexes of the "Color Scheme" combo.
inline constexpr int kColorSchemeStandard = 0;
inline constexpr int kColorSchemeRgb = 1;
inline constexpr int kColorSchemeBlackWhite = 2;
inline constexpr int kColorSchemeJet = 3;

// A new colour map in RGB format for the scheme index; unknown indexes give "Standard".
// The caller owns the result (normally the spectrogram, through setColorMap).
QwtLinearColorMap* MakeColorMap(int scheme);

// A scheme as the colour map is built from it: the end colours, then the stops in the order
// they are added. The one table behind MakeColorMap and the image renderer's colour ramp.
struct ColorSchemeStops {
    QColor start;
    QColor end;
    std::vector<std::pair<double, QColor>> stops;
};
ColorSchemeStops SchemeStops(int scheme);

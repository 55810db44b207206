#pragma once
// The colour lookup of a linear colour map in RGB mode, inline and without virtual calls: the
// same stop list, built by the same insertion rule, and the same interpolation and rounding as
// QwtLinearColorMap, so every value gets the very colour the map itself would give it.
#include <qwt_interval.h>
#include <QRgb>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "display/color_schemes.h"

class ColorRamp {
public:
    ColorRamp() = default;
    explicit ColorRamp(const ColorSchemeStops& scheme);

    QRgb rgb(double lo, double width, double value) const {
        if (std::isnan(value)) return 0u;
        if (width <= 0.0) return 0u;
        return rgbAt((value - lo) / width);
    }
    QRgb rgb(const QwtInterval& interval, double value) const {
        return rgb(interval.minValue(), interval.width(), value);
    }
    // rgb(lo, width, values[k]) into out[k] for a run of values, through a table of 65 536
    // position bins: a bin over which the colour cannot change gives it straight away, the few
    // others are interpolated as rgb does. No branch depends on where a value falls, so a row
    // half below the scale costs no mispredictions. Gives the number of transparent colours
    // written (not-a-number, or every value when the width is not positive).
    std::size_t rgbRun(double lo, double width, const double* values, QRgb* out,
                       std::size_t n) const;
    bool empty() const { return stops.empty(); }

private:
    struct Stop {
        double pos = 0.0;
        QRgb rgb = 0;
        int r = 0, g = 0, b = 0;
        double r0 = 0.0, g0 = 0.0, b0 = 0.0;
        double rStep = 0.0, gStep = 0.0, bStep = 0.0, posStep = 0.0;
    };

    void insert(double pos, const QColor& color);
    // Index of the first stop beyond pos.
    int findUpper(double pos) const {
        int index = 0;
        int n = static_cast<int>(stops.size());
        while (n > 0) {
            const int half = n >> 1;
            const int middle = index + half;
            if (stops[static_cast<std::size_t>(middle)].pos <= pos) {
                index = middle + 1;
                n -= half + 1;
            } else {
                n = half;
            }
        }
        return index;
    }
    QRgb rgbAt(double pos) const {
        if (pos <= 0.0) return stops.front().rgb;
        if (pos >= 1.0) return stops.back().rgb;
        return interpolateAt(pos);
    }
    // The colour of 0 < pos < 1 between the stops around it (also right for pos 0 when a
    // single stop lies there).
    QRgb interpolateAt(double pos) const {
        // The table gives the stops at or below the start of pos's bin; the few beyond it
        // that pos still passes are counted on, so this is findUpper(pos) exactly.
        std::size_t upper = upperAtBin[static_cast<std::size_t>(pos * kBins)];
        while (upper < stops.size() && stops[upper].pos <= pos) ++upper;
        const Stop& s1 = stops[upper - 1];
        const double ratio = (pos - s1.pos) / s1.posStep;
        return qRgb(static_cast<int>(s1.r0 + ratio * s1.rStep),
                    static_cast<int>(s1.g0 + ratio * s1.gStep),
                    static_cast<int>(s1.b0 + ratio * s1.bStep));
    }

    static constexpr double kBins = 1024.0;  // a power of two: bin starts are exact
    std::vector<Stop> stops;
    std::vector<std::uint16_t> upperAtBin;  // findUpper(j / kBins)
    // Per bin of positions [j, j + 1) / kFineBins, its one colour; kVaries where the colour
    // changes inside the bin (no real colour is transparent, and not-a-number gives 0).
    static constexpr double kFineBins = 65536.0;
    static constexpr QRgb kVaries = 1u;
    std::vector<QRgb> fine;
};

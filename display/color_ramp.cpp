#include "display/color_ramp.h"

#include <QColor>
#include <QtGlobal>

#include <algorithm>
#include <cmath>

ColorRamp::ColorRamp(const ColorSchemeStops& scheme) {
    insert(0.0, scheme.start);
    insert(1.0, scheme.end);
    for (const auto& [position, color] : scheme.stops) insert(position, color);
    upperAtBin.resize(static_cast<std::size_t>(kBins));
    for (std::size_t j = 0; j < upperAtBin.size(); ++j) {
        upperAtBin[j] = static_cast<std::uint16_t>(findUpper(static_cast<double>(j) / kBins));
    }
    // Between two stops each channel moves monotonically with the position, so a bin whose
    // first and last positions fall between the same stops and share a colour has only that
    // colour.
    fine.resize(static_cast<std::size_t>(kFineBins));
    for (std::size_t j = 0; j < fine.size(); ++j) {
        const double first = static_cast<double>(j) / kFineBins;
        const double last = std::nextafter(static_cast<double>(j + 1) / kFineBins, 0.0);
        const QRgb colour = interpolateAt(first);
        const bool same = findUpper(first) == findUpper(last) && interpolateAt(last) == colour;
        fine[j] = same ? colour : kVaries;
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

namespace {
constexpr double kRoundMagic = 6755399441055744.0;  // 1.5 * 2^52: x + this - this rounds x
// Where a value's scaled position lies this close to a bin edge, the quotient's own rounding
// decides the bin: the value goes to the exact path. The product below is within 2^-35 of the
// quotient times the bins for every position near the scale.
constexpr double kNearEdge = 0x1p-20;

// The bins' colours and the ends, from the position scaled to bins by a product instead of the
// library's quotient (a division per value costs more than the rest). Values whose bin the two
// could disagree on, values in bins where the colour varies, and not-a-number are given
// `varies` for the caller to work out. Branch-free, so that it vectorises.
__attribute__((target_clones("avx2", "default"))) void FineColours(
    const double* __restrict values, QRgb* __restrict out, std::size_t n, double lo,
    double binsPerUnit, const QRgb* __restrict fine, double bins, QRgb first, QRgb last,
    QRgb varies) {
    // The largest double below the last bin's end lies in the last bin.
    const double top = bins - 0x1p-37;
    for (std::size_t k = 0; k < n; ++k) {
        const double value = values[k];
        const double scaled = (value - lo) * binsPerUnit;
        double held = scaled > 0.0 ? scaled : 0.0;  // not-a-number lands here too
        held = held < top ? held : top;
        QRgb colour = fine[static_cast<std::int32_t>(held)];
        colour = scaled <= 0.0 ? first : colour;
        colour = scaled >= bins ? last : colour;
        const double distance = scaled - ((held + kRoundMagic) - kRoundMagic);
        const bool nearEdge = (scaled > -0.5) & (scaled < bins + 0.5) & (distance < kNearEdge) &
                              (distance > -kNearEdge);
        colour = nearEdge ? varies : colour;
        out[k] = value != value ? varies : colour;
    }
}

// The first index from `from` on whose colour is `varies`, or n: sixteen at a time, each
// sixteen tested without a branch.
__attribute__((target_clones("avx2", "default"))) std::size_t NextVaries(const QRgb* colours,
                                                                         std::size_t from,
                                                                         std::size_t n,
                                                                         QRgb varies) {
    std::size_t k = from;
    for (; k + 16 <= n; k += 16) {
        unsigned hits = 0;
        for (std::size_t j = 0; j < 16; ++j) hits |= colours[k + j] == varies ? 1u : 0u;
        if (hits != 0) break;
    }
    for (; k < n; ++k) {
        if (colours[k] == varies) return k;
    }
    return n;
}
}  // namespace

std::size_t ColorRamp::rgbRun(double lo, double width, const double* values, QRgb* out,
                              std::size_t n) const {
    if (!(width > 0.0)) {
        std::fill_n(out, n, 0u);
        return n;
    }
    std::size_t transparent = 0;
    const double binsPerUnit = kFineBins / width;
    if (!std::isfinite(binsPerUnit)) {
        for (std::size_t k = 0; k < n; ++k) {
            out[k] = rgb(lo, width, values[k]);
            transparent += out[k] == 0u ? 1 : 0;
        }
        return transparent;
    }
    // Every colour the table gives is opaque; only the exact path can give a transparent one.
    FineColours(values, out, n, lo, binsPerUnit, fine.data(), kFineBins, stops.front().rgb,
                stops.back().rgb, kVaries);
    for (std::size_t k = NextVaries(out, 0, n, kVaries); k < n;
         k = NextVaries(out, k + 1, n, kVaries)) {
        out[k] = rgb(lo, width, values[k]);
        transparent += out[k] == 0u ? 1 : 0;
    }
    return transparent;
}

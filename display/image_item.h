#pragma once
// The waterfall's spectrogram item. Where the library renders an image at the data's or the
// canvas's resolution, expands it to the canvas and then colours it pixel by pixel through two
// virtual calls and a stop search, this item works out once per canvas column and row which
// cell the library would show there and colours the canvas-sized image straight from the cells
// through the colour ramp. Where an image has more cells than pixels along an axis, each pixel
// shows the strongest cell it covers, so a one-cell mark or peak never drops out between
// pixels. Everywhere else its pixels are the library's. Anything it was not set up for (another
// raster or colour map, indexed colours, contours, transparency, a rotated painter) goes the
// library's way.
#include <qwt_interval.h>
#include <qwt_plot_spectrogram.h>
#include <QImage>
#include <QRect>
#include <QTransform>

#include <array>
#include <optional>

#include "display/color_ramp.h"

class QwtColorMap;
class Vorn_GUI_RasterData;

class SpectrogramItem : public QwtPlotSpectrogram {
public:
    SpectrogramItem();

    // Sets the map (the item owns it, as with setColorMap) and the ramp that reproduces it.
    void setColorMapWithRamp(QwtColorMap* map, ColorRamp ramp);

    void draw(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
              const QRectF& canvasRect) const override;

    // The device rectangle that a draw with these arguments will cover with opaque pixels, or
    // an empty one. Known from the last draw: the same geometry over data whose colours are
    // all opaque covers what it covered then. Anything beneath it there is hidden.
    QRect opaqueRect(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                     const QRectF& canvasRect) const;

private:
    // Everything that decides which canvas pixel shows which cell.
    struct Geometry {
        QTransform transform;
        bool align = false;
        std::array<double, 8> maps{};
        std::array<bool, 2> transformed{};  // a scale transformation (log) on x, y
        QRectF canvasRect;
        QwtInterval xInterval;
        QwtInterval yInterval;
        std::array<int, 2> cells{};
        bool nearest = false;
        bool operator==(const Geometry& o) const {
            return transform == o.transform && align == o.align && maps == o.maps &&
                   transformed == o.transformed && canvasRect == o.canvasRect &&
                   xInterval == o.xInterval && yInterval == o.yInterval && cells == o.cells &&
                   nearest == o.nearest;
        }
    };
    struct OpaqueDrawing {
        Geometry geometry;
        QRect rect;
    };
    // The raster when this item draws it itself, null where the library's way is taken.
    const Vorn_GUI_RasterData* ownRaster(QPainter* painter) const;
    Geometry geometryOf(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                        const QRectF& canvasRect) const;

    const QwtColorMap* rampMap = nullptr;  // the map `ramp` stands for
    ColorRamp ramp;
    // The last canvas image, reused while its size stays: a fresh one of several megabytes per
    // tick costs more in page faults than colouring it.
    mutable QImage canvasImage;
    // The last draw, when it covered its rectangle with opaque pixels.
    mutable std::optional<OpaqueDrawing> lastOpaque;
};

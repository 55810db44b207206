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
#include <qwt_plot_spectrogram.h>
#include <QImage>

#include "display/color_ramp.h"

class QwtColorMap;

class SpectrogramItem : public QwtPlotSpectrogram {
public:
    SpectrogramItem();

    // Sets the map (the item owns it, as with setColorMap) and the ramp that reproduces it.
    void setColorMapWithRamp(QwtColorMap* map, ColorRamp ramp);

    void draw(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
              const QRectF& canvasRect) const override;

private:
    const QwtColorMap* rampMap = nullptr;  // the map `ramp` stands for
    ColorRamp ramp;
    // The last canvas image, reused while its size stays: a fresh one of several megabytes per
    // tick costs more in page faults than colouring it.
    mutable QImage canvasImage;
};

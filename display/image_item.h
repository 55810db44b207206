#pragma once
// The waterfall's spectrogram item. It draws the same image as QwtPlotSpectrogram, pixel for
// pixel, but colours it from the raster's own lookup and an inline colour ramp instead of two
// virtual calls and a stop search per pixel. Anything it was not set up for (another raster or
// colour map, indexed colours) goes the library's way.
#include <qwt_plot_spectrogram.h>

#include "display/color_ramp.h"

class QwtColorMap;

class SpectrogramItem : public QwtPlotSpectrogram {
public:
    SpectrogramItem();

    // Sets the map (the item owns it, as with setColorMap) and the ramp that reproduces it.
    void setColorMapWithRamp(QwtColorMap* map, ColorRamp ramp);

protected:
    QImage renderImage(const QwtScaleMap& xMap, const QwtScaleMap& yMap, const QRectF& area,
                       const QSize& imageSize) const override;

private:
    const QwtColorMap* rampMap = nullptr;  // the map `ramp` stands for
    ColorRamp ramp;
};

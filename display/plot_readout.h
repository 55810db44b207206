#pragma once
#include <qwt_plot_picker.h>
#include <qwt_text.h>

#include <QPoint>

class QwtPlot;

namespace vorn {

// What a plot shows, and so what the read-out under the mouse says about a point of it.
enum class ReadoutMode {
    None,               // nothing to read (the top plot beside the map)
    TimeScope,          // seconds, converter counts
    RangeProfile,       // metres, dB
    VelocityProfile,    // metres per second, dB
    RangeVelocityMap,   // range, velocity and the cell's dB
    RangeWaterfall,     // range, the cell's dB and the row's elapsed time
    VelocityWaterfall,  // velocity, the cell's dB and the row's elapsed time
};

// The read-out of the top or the bottom plot in a display mode.
ReadoutMode ReadoutModeFor(int displayMode, bool bottomPlot);

// Shows where the mouse is in the plot's own units while it is over the canvas; a click copies
// that text to the clipboard. The window sets the mode whenever it rebuilds the plots, so a
// tick does nothing for it: the text is worked out only when the mouse moves (or a mode or
// scale change moves what it points at); an image is read through the plot's spectrogram then.
class PlotReadout : public QwtPlotPicker {
public:
    // On the canvas of `plot`, over its bottom and left axes.
    explicit PlotReadout(QwtPlot* plot);

    void setMode(ReadoutMode mode);
    ReadoutMode mode() const { return current; }

    // The text at a canvas pixel, kept while the mouse rests there and the axes stay: the
    // tracker is drawn again with every replot, which must not redo the lookups. A new scale
    // under the resting mouse (automatic scales, the first tick after a rebuild) gives new
    // numbers; the level of an image cell is the one at that moment.
    QwtText trackerText(const QPoint& pos) const override;

protected:
    QwtText trackerTextF(const QPointF& pos) const override;

private:
    // Where a text was worked out: the pixel and both axes' scale and pixel ranges.
    struct Key {
        QPoint pixel;
        double scale[8] = {};
        bool operator==(const Key& other) const;
    };
    Key keyAt(const QPoint& pos) const;

    ReadoutMode current = ReadoutMode::None;
    mutable bool cached = false;
    // Set by trackerTextF when the text lacks the image's level because the image has no data
    // yet (right after a rebuild); such a text is not kept.
    mutable bool incomplete = false;
    mutable Key cachedAt;
    mutable QwtText cachedText;
};

}  // namespace vorn

#pragma once
#include <qwt_plot_textlabel.h>

#include "display/display_modes.h"

class QwtPlot;
class QwtPlotCurve;
class QwtPlotGrid;
class QwtPlotMarker;
class QwtPlotZoneItem;
class WaterfallView;

namespace vorn {

// Every plot item the window owns; a null pointer means the current combination of operating
// and display mode has no such item.
struct PlotItems {
    QwtPlotCurve* curveI = nullptr;
    QwtPlotCurve* curveQ = nullptr;
    QwtPlotCurve* curveSpectrum = nullptr;
    QwtPlotMarker* markerFskThreshold = nullptr;
    QwtPlotMarker* markerFskPeak = nullptr;
    QwtPlotMarker* markerCwPeak = nullptr;
    QwtPlotMarker* markerRangePeak = nullptr;
    QwtPlotGrid* grid = nullptr;
    QwtPlotZoneItem* windowZone = nullptr;
    WaterfallView* waterfall = nullptr;
    // CFAR detections on the range profile or the map; exists only while CFAR is enabled.
    QwtPlotCurve* detectionMarks = nullptr;
};

// What a rebuild depends on besides the two plots.
struct PlotLayout {
    int operatingMode = kOperatingModeFmcwSawtooth;
    int displayMode = kDisplayModeRangeScope;
    int historyRows = 64;
    // Index of the "Display Method" combo: 0 bilinear, 1 nearest neighbour.
    int resampleMethod = 1;
};

struct WaterfallShape {
    int columns = 0;
    int rows = 0;
    bool scrolling = true;  // a history of rows, not one whole matrix per block
};

// Size of the bottom plot's image in a display mode; zero for modes without one.
WaterfallShape WaterfallShapeFor(int displayMode, int historyRows);

// Symbols without a line, above the image and the curves, out of the legend.
QwtPlotCurve* MakeDetectionMarks(QwtPlot* plot);

// Deletes (and so detaches) every existing item and nulls its pointer.
void DeleteAll(PlotItems& items);

// Replaces the items with those of the layout: the curves, markers and waterfall of the
// display mode, then the bottom plot's grid and window zone, which every mode has. Items that
// still exist are deleted first, so nothing leaks when a rebuild skips DeleteAll.
void Build(PlotItems& items, QwtPlot* top, QwtPlot* bottom, const PlotLayout& layout);

// Dims a plot's canvas and writes "Stopped" across it: the last picture stays for inspection,
// but cannot pass for live data once streaming has stopped.
class StoppedOverlay : public QwtPlotTextLabel {
public:
    StoppedOverlay();
    void draw(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
              const QRectF& canvasRect) const override;
};

}  // namespace vorn

#pragma once
// A plot canvas's background drawn as the plot's lowest item instead of by the canvas itself,
// leaving out what an opaque image above it is going to cover: a map that fills the canvas
// would otherwise have a million pixels filled only to paint over them on every tick.
#include <qwt_plot_item.h>

class QwtPlot;

class CanvasBackground : public QwtPlotItem {
public:
    CanvasBackground();

    // The plot's canvas stops filling its own background and this item, attached to the plot,
    // fills it in its place. For a canvas of the library's own kind without rounded corners or
    // a style sheet (what the window's plots have); anything else keeps filling its own.
    static void install(QwtPlot* plot);

    int rtti() const override { return kRtti; }
    void draw(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
              const QRectF& canvasRect) const override;

    static constexpr int kRtti = QwtPlotItem::Rtti_PlotUserItem + 17;
};

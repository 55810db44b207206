#include "display/canvas_background.h"

#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <QPainter>
#include <QRegion>

#include <limits>

#include "display/image_item.h"

CanvasBackground::CanvasBackground() {
    setZ(std::numeric_limits<double>::lowest());  // beneath every other item
    setItemAttribute(QwtPlotItem::Legend, false);
    setItemAttribute(QwtPlotItem::AutoScale, false);
}

void CanvasBackground::install(QwtPlot* plot) {
    auto* canvas = qobject_cast<QwtPlotCanvas*>(plot->canvas());
    if (canvas == nullptr || canvas->borderRadius() > 0.0 ||
        canvas->testAttribute(Qt::WA_StyledBackground) || !plot->itemList(kRtti).isEmpty()) {
        return;
    }
    // Still opaque to Qt: every pixel is painted, by this item or the frame.
    canvas->setAttribute(Qt::WA_OpaquePaintEvent, true);
    canvas->setAutoFillBackground(false);
    (new CanvasBackground())->attach(plot);
}

void CanvasBackground::draw(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                            const QRectF& canvasRect) const {
    const QwtPlot* owner = plot();
    if (owner == nullptr) return;
    const QWidget* canvas = owner->canvas();
    // On the canvas itself the whole widget, frame band included, as its own fill covered
    // (outside the item clip, but within what the paint event may touch). Anywhere else (an
    // export) the canvas rectangle it is given.
    const bool onCanvas = painter->device() == canvas;
    QRegion region = onCanvas ? QRegion(canvas->rect())
                              : QRegion(painter->transform().mapRect(canvasRect).toAlignedRect());
    for (const QwtPlotItem* item : owner->itemList(QwtPlotItem::Rtti_PlotSpectrogram)) {
        if (const auto* image = dynamic_cast<const SpectrogramItem*>(item)) {
            region -= image->opaqueRect(painter, xMap, yMap, canvasRect);
        }
    }
    if (region.isEmpty()) return;
    painter->save();
    painter->setWorldTransform(QTransform());
    if (onCanvas) painter->setClipping(false);
    const QBrush brush = canvas->palette().brush(canvas->backgroundRole());
    for (const QRect& rect : region) painter->fillRect(rect, brush);
    painter->restore();
}

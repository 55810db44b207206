#include "display/plot_items.h"

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_plot_zoneitem.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>
#include <qwt_text.h>
#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPen>
#include <QString>

#include "display/waterfall_view.h"
#include "dsp/sample_block.h"

namespace vorn {
namespace {

constexpr int kRangeBins = static_cast<int>(dsp::kRangeBins);
constexpr int kDopplerBins = static_cast<int>(dsp::kTransformSize);

QPen MakePen(Qt::GlobalColor color, qreal width, Qt::PenStyle style) {
    return QPen(QBrush(color, Qt::SolidPattern), width, style, Qt::SquareCap, Qt::BevelJoin);
}

QwtPlotCurve* MakeCurve(const QString& title, Qt::GlobalColor color, QwtPlot* plot) {
    auto* curve = new QwtPlotCurve(title);
    curve->setPen(MakePen(color, 1.0, Qt::SolidLine));
    curve->setStyle(QwtPlotCurve::Lines);
    curve->setRenderHint(QwtPlotItem::RenderAntialiased, true);
    curve->attach(plot);
    return curve;
}

QwtPlotMarker* MakeMarker(QwtPlotMarker::LineStyle lineStyle, const QPen& pen, QwtPlot* plot) {
    auto* marker = new QwtPlotMarker();
    marker->setLineStyle(lineStyle);
    marker->setLinePen(pen);
    marker->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);
    marker->attach(plot);
    return marker;
}

QwtPlotMarker* MakePeakMarker(QwtPlot* plot) {
    return MakeMarker(QwtPlotMarker::VLine, MakePen(Qt::yellow, 1.0, Qt::DashLine), plot);
}

WaterfallView* MakeWaterfall(const WaterfallShape& shape, int resampleMethod, QwtPlot* plot) {
    auto* view = new WaterfallView();
    view->resampleMethod = resampleMethod;
    view->setShape(shape.columns, shape.rows, shape.scrolling);
    view->spectrogram->attach(plot);
    return view;
}

void BuildScopeCurves(PlotItems& items, QwtPlot* top) {
    items.curveI = MakeCurve(QStringLiteral("I-Channel"), Qt::green, top);
    items.curveQ = MakeCurve(QStringLiteral("Q-Channel"), Qt::yellow, top);
}

}  // namespace

WaterfallShape WaterfallShapeFor(int displayMode, int historyRows) {
    switch (displayMode) {
        case kDisplayModeRangeVelocityMap:
            return {kDopplerBins, kRangeBins, false};
        case kDisplayModeVelocityWaterfall:
            return {kDopplerBins, historyRows};
        case kDisplayModeRangeWaterfall:
            return {kRangeBins, historyRows};
        default:
            return {};
    }
}

void DeleteAll(PlotItems& items) {
    delete items.curveI;
    delete items.curveQ;
    delete items.curveSpectrum;
    delete items.grid;
    delete items.windowZone;
    delete items.markerFskThreshold;
    delete items.markerFskPeak;
    delete items.markerCwPeak;
    delete items.markerRangePeak;
    delete items.waterfall;
    delete items.detectionMarks;
    items = PlotItems{};
}

QwtPlotCurve* MakeDetectionMarks(QwtPlot* plot) {
    auto* curve = new QwtPlotCurve();
    curve->setStyle(QwtPlotCurve::NoCurve);
    // White rings with a dark edge read on every colour scheme and on the green profile.
    curve->setSymbol(
        new QwtSymbol(QwtSymbol::Ellipse, Qt::NoBrush, QPen(Qt::white, 2.0), QSize(12, 12)));
    curve->setItemAttribute(QwtPlotItem::Legend, false);
    curve->setZ(100.0);
    curve->attach(plot);
    return curve;
}

void Build(PlotItems& items, QwtPlot* top, QwtPlot* bottom, const PlotLayout& layout) {
    DeleteAll(items);

    switch (layout.displayMode) {
        case kDisplayModeRangeScope:
            BuildScopeCurves(items, top);
            items.curveSpectrum = MakeCurve(QString(), Qt::green, bottom);
            if (layout.operatingMode == kOperatingModeFmcwSawtooth) {
                items.markerRangePeak = MakePeakMarker(bottom);
            }
            break;
        case kDisplayModeVelocityScope:
            BuildScopeCurves(items, top);
            items.curveSpectrum = MakeCurve(QString(), Qt::green, bottom);
            if (layout.operatingMode == kOperatingModeCw) {
                items.markerCwPeak = MakePeakMarker(bottom);
            } else if (layout.operatingMode == kOperatingModeFsk) {
                items.markerFskThreshold =
                    MakeMarker(QwtPlotMarker::HLine, MakePen(Qt::red, 2.0, Qt::SolidLine), bottom);
                // The threshold's value goes into the legend (the marker's title), beside its red
                // line: a label on the line itself would sit on the noise the line runs through.
                items.markerFskThreshold->setItemAttribute(QwtPlotItem::Legend, true);
                items.markerFskThreshold->setLegendIconSize(QSize(16, 8));
                items.markerFskPeak = MakePeakMarker(bottom);
            }
            break;
        case kDisplayModeRangeVelocityMap:
            items.waterfall = MakeWaterfall(WaterfallShapeFor(layout.displayMode, 0),
                                            layout.resampleMethod, bottom);
            break;
        case kDisplayModeVelocityWaterfall:
        case kDisplayModeRangeWaterfall:
            BuildScopeCurves(items, top);
            items.waterfall =
                MakeWaterfall(WaterfallShapeFor(layout.displayMode, layout.historyRows),
                              layout.resampleMethod, bottom);
            break;
        default:
            break;
    }

    // The colour scale of the image on the right axis; the view fills in its range and colours.
    bottom->enableAxis(QwtPlot::yRight, items.waterfall != nullptr);
    if (items.waterfall) {
        bottom->axisWidget(QwtPlot::yRight)->setColorBarEnabled(true);
        const bool rangeTrack = layout.operatingMode == kOperatingModeFsk &&
                                layout.displayMode == kDisplayModeRangeWaterfall;
        bottom->setAxisTitle(QwtPlot::yRight, rangeTrack ? QStringLiteral("Range Mark")
                                                         : QStringLiteral("Amplitude (dB)"));
    }

    items.grid = new QwtPlotGrid();
    items.grid->setPen(MakePen(Qt::white, 0.5, Qt::DotLine));
    items.grid->attach(bottom);

    // A band between two x values; the processing routines set and hide it.
    items.windowZone = new QwtPlotZoneItem();
    items.windowZone->setOrientation(Qt::Vertical);
    items.windowZone->setPen(MakePen(Qt::darkGray, 0.0, Qt::SolidLine));
    items.windowZone->setBrush(QBrush(QColor(QStringLiteral("#3d4556")), Qt::SolidPattern));
    items.windowZone->attach(bottom);
}

StoppedOverlay::StoppedOverlay() : QwtPlotTextLabel() {
    setTitle(QStringLiteral("Stopped"));
    QwtText text(QStringLiteral("Stopped"));
    QFont font = text.font();
    font.setPointSize(20);
    font.setBold(true);
    text.setFont(font);
    text.setColor(Qt::white);
    text.setRenderFlags(Qt::AlignCenter);
    setText(text);
    setZ(1000.0);  // above every curve, marker and image
}

void StoppedOverlay::draw(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                          const QRectF& canvasRect) const {
    painter->fillRect(canvasRect, QColor(0, 0, 0, 140));
    QwtPlotTextLabel::draw(painter, xMap, yMap, canvasRect);
}

}  // namespace vorn

#include "display/plot_readout.h"

#include <qwt_picker_machine.h>
#include <qwt_plot.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_map.h>
#include <QClipboard>
#include <QColor>
#include <QGuiApplication>
#include <QPen>
#include <QPolygon>
#include <QStringList>

#include <algorithm>
#include <cmath>

#include "display/display_modes.h"
#include "display/raster_data.h"

namespace vorn {

namespace {

// As many decimals as one step resolves: a pixel of the axis, or one waterfall row.
QString Number(double value, double step) {
    int decimals = 0;
    if (step > 0.0 && std::isfinite(step))
        decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step))), 0, 9);
    return QString::number(value, 'f', decimals);
}

// The size of one canvas pixel along an axis, in the axis's units.
double PixelStep(const QwtScaleMap& map) {
    return std::abs(map.invTransform(1.0) - map.invTransform(0.0));
}

// The cell of the plot's colour image under a point: its value and how long ago its row came
// in. Looked up in the raster the spectrogram holds now, since the waterfall hands it a new
// one every tick.
struct Cell {
    bool found = false;
    double value = 0.0;
    double rowTimeS = 0.0;
    double rowStepS = 0.0;
};

Cell CellAt(const QwtPlot& plot, const QPointF& pos) {
    Cell cell;
    const QwtPlotItemList images = plot.itemList(QwtPlotItem::Rtti_PlotSpectrogram);
    if (images.isEmpty()) return cell;
    const auto* raster = dynamic_cast<const Vorn_GUI_RasterData*>(
        static_cast<QwtPlotSpectrogram*>(images.front())->data());
    if (raster == nullptr) return cell;
    // The cell itself, also where the image blends neighbouring cells.
    const int row = raster->nearestRow(pos.y());
    const int column = raster->nearestColumn(pos.x());
    if (row < 0 || column < 0) return cell;
    cell.found = true;
    cell.value = raster->cell(row, column);
    // Row 0, the newest, sits at the bottom of the time axis.
    const QwtInterval rows = raster->interval(Qt::YAxis);
    cell.rowStepS = rows.width() / raster->rowCount();
    cell.rowTimeS = rows.minValue() + row * cell.rowStepS;
    return cell;
}

}  // namespace

ReadoutMode ReadoutModeFor(int displayMode, bool bottomPlot) {
    if (!bottomPlot)
        return displayMode == kDisplayModeRangeVelocityMap ? ReadoutMode::None
                                                           : ReadoutMode::TimeScope;
    switch (displayMode) {
        case kDisplayModeRangeScope:
            return ReadoutMode::RangeProfile;
        case kDisplayModeVelocityScope:
            return ReadoutMode::VelocityProfile;
        case kDisplayModeRangeVelocityMap:
            return ReadoutMode::RangeVelocityMap;
        case kDisplayModeVelocityWaterfall:
            return ReadoutMode::VelocityWaterfall;
        case kDisplayModeRangeWaterfall:
            return ReadoutMode::RangeWaterfall;
        default:
            return ReadoutMode::None;
    }
}

PlotReadout::PlotReadout(QwtPlot* plot) : QwtPlotPicker(plot->canvas()) {
    setAxis(QwtPlot::xBottom, QwtPlot::yLeft);
    setStateMachine(new QwtPickerClickPointMachine);
    setRubberBand(QwtPicker::NoRubberBand);
    // Shown while the mouse is over the canvas: the picker hides it when the mouse leaves.
    setTrackerMode(QwtPicker::AlwaysOn);
    setTrackerPen(QPen(Qt::white));
    QObject::connect(this, qOverload<const QPolygon&>(&QwtPicker::selected), this,
                     [this](const QPolygon& points) {
                         if (points.isEmpty()) return;
                         const QString text = trackerText(points.front()).text();
                         if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
                     });
}

void PlotReadout::setMode(ReadoutMode mode) {
    current = mode;
    cached = false;
}

bool PlotReadout::Key::operator==(const Key& other) const {
    return pixel == other.pixel && std::equal(scale, scale + 8, other.scale);
}

PlotReadout::Key PlotReadout::keyAt(const QPoint& pos) const {
    Key key;
    key.pixel = pos;
    if (const QwtPlot* const p = plot()) {
        const QwtScaleMap x = p->canvasMap(xAxis());
        const QwtScaleMap y = p->canvasMap(yAxis());
        const double values[8] = {x.s1(), x.s2(), x.p1(), x.p2(), y.s1(), y.s2(), y.p1(), y.p2()};
        std::copy(values, values + 8, key.scale);
    }
    return key;
}

QwtText PlotReadout::trackerText(const QPoint& pos) const {
    const Key key = keyAt(pos);
    if (cached && key == cachedAt) return cachedText;
    incomplete = false;
    cachedText = QwtPlotPicker::trackerText(pos);
    cachedAt = key;
    cached = !incomplete;
    return cachedText;
}

QwtText PlotReadout::trackerTextF(const QPointF& pos) const {
    const QwtPlot* const p = plot();
    if (current == ReadoutMode::None || p == nullptr) return QwtText();
    const QString x = Number(pos.x(), PixelStep(p->canvasMap(xAxis())));
    const QString y = Number(pos.y(), PixelStep(p->canvasMap(yAxis())));

    QStringList lines;
    switch (current) {
        case ReadoutMode::None:
            break;
        case ReadoutMode::TimeScope:
            lines << QStringLiteral("Time: %1 s").arg(x)
                  << QStringLiteral("Amplitude: %1 counts").arg(y);
            break;
        case ReadoutMode::RangeProfile:
            lines << QStringLiteral("Range: %1 m").arg(x) << QStringLiteral("Level: %1 dB").arg(y);
            break;
        case ReadoutMode::VelocityProfile:
            lines << QStringLiteral("Velocity: %1 m/s").arg(x)
                  << QStringLiteral("Level: %1 dB").arg(y);
            break;
        case ReadoutMode::RangeVelocityMap: {
            lines << QStringLiteral("Range: %1 m").arg(y)
                  << QStringLiteral("Velocity: %1 m/s").arg(x);
            const Cell cell = CellAt(*p, pos);
            if (cell.found) lines << QStringLiteral("Level: %1 dB").arg(cell.value, 0, 'f', 1);
            incomplete = !cell.found;
            break;
        }
        case ReadoutMode::RangeWaterfall:
        case ReadoutMode::VelocityWaterfall: {
            lines << (current == ReadoutMode::RangeWaterfall
                          ? QStringLiteral("Range: %1 m").arg(x)
                          : QStringLiteral("Velocity: %1 m/s").arg(x));
            const Cell cell = CellAt(*p, pos);
            if (cell.found) {
                lines << QStringLiteral("Level: %1 dB").arg(cell.value, 0, 'f', 1)
                      << QStringLiteral("Elapsed: %1 s").arg(Number(cell.rowTimeS, cell.rowStepS));
            }
            incomplete = !cell.found;
            break;
        }
    }

    QwtText text(lines.join(QLatin1Char('\n')));
    text.setRenderFlags(Qt::AlignLeft | Qt::AlignTop);
    text.setColor(Qt::white);
    // Readable over the brightest colours of an image.
    text.setBackgroundBrush(QColor(0, 0, 0, 170));
    return text;
}

}  // namespace vorn

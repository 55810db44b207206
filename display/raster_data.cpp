#include "display/raster_data.h"

#include <qwt_interval.h>
#include <QtGlobal>

#include <algorithm>
#include <utility>

Vorn_GUI_RasterData::Vorn_GUI_RasterData(const std::vector<double>& values, int numColumns,
                                         double xMin, double xMax, double yMin, double yMax,
                                         double zMin, double zMax, int resampleMethod)
    : Vorn_GUI_RasterData(std::make_shared<const std::vector<double>>(values), 0, values.size(),
                          numColumns, xMin, xMax, yMin, yMax, zMin, zMax, resampleMethod) {}

Vorn_GUI_RasterData::Vorn_GUI_RasterData(std::shared_ptr<const std::vector<double>> values,
                                         std::size_t offset, std::size_t count, int numColumns,
                                         double xMin, double xMax, double yMin, double yMax,
                                         double zMin, double zMax, int resampleMethod)
    : buffer(std::move(values)) {
    const std::size_t have = buffer ? buffer->size() : 0;
    offset = std::min(offset, have);
    cellCount = std::min(count, have - offset);
    cellData = buffer && cellCount > 0 ? buffer->data() + offset : nullptr;
    cellColumns = std::max(numColumns, 0);
    nearest = resampleMethod == 1;
    setInterval(Qt::XAxis, QwtInterval(xMin, xMax, QwtInterval::ExcludeMaximum));
    setInterval(Qt::YAxis, QwtInterval(yMin, yMax, QwtInterval::ExcludeMaximum));
    setInterval(Qt::ZAxis, QwtInterval(zMin, zMax, QwtInterval::IncludeBorders));
    setResampleMode(nearest ? QwtMatrixRasterData::NearestNeighbour
                            : QwtMatrixRasterData::BilinearInterpolation);
}

Vorn_GUI_RasterData::~Vorn_GUI_RasterData() = default;

void Vorn_GUI_RasterData::setCellColours(std::shared_ptr<const std::vector<QRgb>> colours,
                                         std::size_t offset, const void* map, bool opaque) {
    colourBuffer = std::move(colours);
    const bool whole = colourBuffer && offset <= colourBuffer->size() &&
                       colourBuffer->size() - offset >= cellCount && cellCount > 0;
    colourData = whole ? colourBuffer->data() + offset : nullptr;
    coloursMap = whole ? map : nullptr;
    coloursOpaque = whole && opaque;
}

void Vorn_GUI_RasterData::setInterval(Qt::Axis axis, const QwtInterval& interval) {
    QwtMatrixRasterData::setInterval(axis, interval);
    refreshGeometry();
}

QRectF Vorn_GUI_RasterData::pixelHint(const QRectF&) const {
    if (!nearest || !xRange.valid || !yRange.valid) return QRectF();
    return QRectF(xRange.lo, yRange.lo, dx, dy);
}

// The same quantities the library derives from its matrix, so both give identical values.
void Vorn_GUI_RasterData::refreshGeometry() {
    cellRows =
        cellColumns > 0 ? static_cast<int>(cellCount / static_cast<std::size_t>(cellColumns)) : 0;

    auto fill = [](AxisRange& range, const QwtInterval& iv) {
        range.lo = iv.minValue();
        range.hi = iv.maxValue();
        range.valid = iv.isValid();
        range.excludeMin = (iv.borderFlags() & QwtInterval::ExcludeMinimum) != 0;
        range.excludeMax = (iv.borderFlags() & QwtInterval::ExcludeMaximum) != 0;
    };
    const QwtInterval& xi = interval(Qt::XAxis);
    const QwtInterval& yi = interval(Qt::YAxis);
    fill(xRange, xi);
    fill(yRange, yi);
    dx = 0.0;
    dy = 0.0;
    if (cellColumns > 0 && cellRows > 0) {
        if (xi.isValid()) dx = xi.width() / cellColumns;
        if (yi.isValid()) dy = yi.width() / cellRows;
    }
}

double Vorn_GUI_RasterData::value(double x, double y) const {
    return valueAt(x, y);
}

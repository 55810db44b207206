#include "display/raster_data.h"

#include <qwt_interval.h>
#include <QtGlobal>

#include <limits>

Vorn_GUI_RasterData::Vorn_GUI_RasterData(const std::vector<double>& values, int numColumns,
                                         double xMin, double xMax, double yMin, double yMax,
                                         double zMin, double zMax, int resampleMethod)
    : cells(values.begin(), values.end()) {
    setInterval(Qt::XAxis, QwtInterval(xMin, xMax, QwtInterval::ExcludeMaximum));
    setInterval(Qt::YAxis, QwtInterval(yMin, yMax, QwtInterval::ExcludeMaximum));
    setInterval(Qt::ZAxis, QwtInterval(zMin, zMax, QwtInterval::IncludeBorders));
    setResampleMode(resampleMethod == 1 ? QwtMatrixRasterData::NearestNeighbour
                                        : QwtMatrixRasterData::BilinearInterpolation);
    nearest = resampleMethod == 1;
    setValueMatrix(cells, numColumns);
    refreshGeometry();
}

Vorn_GUI_RasterData::~Vorn_GUI_RasterData() = default;

void Vorn_GUI_RasterData::setInterval(Qt::Axis axis, const QwtInterval& interval) {
    QwtMatrixRasterData::setInterval(axis, interval);
    refreshGeometry();
}

// The same quantities the base class derives, so both give identical values.
void Vorn_GUI_RasterData::refreshGeometry() {
    cellData = cells.constData();
    cellColumns = qMax(numColumns(), 0);
    cellRows = cellColumns > 0 ? cells.size() / cellColumns : 0;

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

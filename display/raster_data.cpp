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
    constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();
    if (cellRows <= 0 || !xRange.contains(x) || !yRange.contains(y)) return kNoValue;

    if (nearest) {
        int row = static_cast<int>((y - yRange.lo) / dy);
        int col = static_cast<int>((x - xRange.lo) / dx);
        if (row >= cellRows) row = cellRows - 1;
        if (col >= cellColumns) col = cellColumns - 1;
        return cellData[row * cellColumns + col];
    }

    int col1 = qRound((x - xRange.lo) / dx) - 1;
    int row1 = qRound((y - yRange.lo) / dy) - 1;
    int col2 = col1 + 1;
    int row2 = row1 + 1;
    if (col1 < 0) {
        col1 = col2;
    } else if (col2 >= cellColumns) {
        col2 = col1;
    }
    if (row1 < 0) {
        row1 = row2;
    } else if (row2 >= cellRows) {
        row2 = row1;
    }

    const double v11 = cellData[row1 * cellColumns + col1];
    const double v21 = cellData[row1 * cellColumns + col2];
    const double v12 = cellData[row2 * cellColumns + col1];
    const double v22 = cellData[row2 * cellColumns + col2];

    const double x2 = xRange.lo + (col2 + 0.5) * dx;
    const double y2 = yRange.lo + (row2 + 0.5) * dy;
    const double rx = (x2 - x) / dx;
    const double ry = (y2 - y) / dy;
    const double vr1 = rx * v11 + (1.0 - rx) * v21;
    const double vr2 = rx * v12 + (1.0 - rx) * v22;
    return ry * vr1 + (1.0 - ry) * vr2;
}

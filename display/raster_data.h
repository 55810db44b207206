#pragma once
#include <qwt_matrix_raster_data.h>
#include <QtGlobal>

#include <limits>

#include <vector>

// A snapshot of the waterfall matrix for the spectrogram: it copies the values at construction,
// so later pushes into the view never reach a picture that is being drawn.
class Vorn_GUI_RasterData : public QwtMatrixRasterData {
public:
    // resampleMethod 1 selects nearest-neighbour resampling, any other value bilinear.
    Vorn_GUI_RasterData(const std::vector<double>& values, int numColumns, double xMin, double xMax,
                        double yMin, double yMax, double zMin, double zMax, int resampleMethod);
    ~Vorn_GUI_RasterData() override;

    Vorn_GUI_RasterData(const Vorn_GUI_RasterData&) = delete;
    Vorn_GUI_RasterData& operator=(const Vorn_GUI_RasterData&) = delete;

    void setInterval(Qt::Axis axis, const QwtInterval& interval) override;

    // Asked once per pixel while drawing. Gives the same values as the base class, from cached
    // geometry instead of per-call interval copies and library calls, and NaN (drawn
    // transparent) where the matrix has no complete row instead of reading outside it.
    double value(double x, double y) const override;

    // value() without the virtual call, for the image renderer's inner loop.
    inline double valueAt(double x, double y) const;

    // Nearest-neighbour lookup split by axis, for renderers that resolve each column and row
    // once: valueAt(x, y) is cell(nearestRow(y), nearestColumn(x)), or NaN when either is -1.
    bool isNearest() const { return nearest; }
    int nearestColumn(double x) const {
        if (cellRows <= 0 || !xRange.contains(x)) return -1;
        const int col = static_cast<int>((x - xRange.lo) / dx);
        return col >= cellColumns ? cellColumns - 1 : col;
    }
    int nearestRow(double y) const {
        if (cellRows <= 0 || !yRange.contains(y)) return -1;
        const int row = static_cast<int>((y - yRange.lo) / dy);
        return row >= cellRows ? cellRows - 1 : row;
    }
    const double* rowCells(int row) const { return cellData + row * cellColumns; }

private:
    struct AxisRange {
        double lo = 0.0;
        double hi = -1.0;
        bool valid = false;
        bool excludeMin = false;
        bool excludeMax = false;

        bool contains(double v) const {
            // Written so that NaN falls outside.
            if (!valid || !(v >= lo && v <= hi)) return false;
            if (v == lo && excludeMin) return false;
            if (v == hi && excludeMax) return false;
            return true;
        }
    };

    void refreshGeometry();

    // Shares its buffer with the base class's matrix; never written after construction.
    QVector<double> cells;
    const double* cellData = nullptr;
    int cellColumns = 0;
    int cellRows = 0;
    double dx = 0.0;
    double dy = 0.0;
    AxisRange xRange;
    AxisRange yRange;
    bool nearest = true;
};

inline double Vorn_GUI_RasterData::valueAt(double x, double y) const {
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

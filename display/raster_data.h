#pragma once
#include <qwt_matrix_raster_data.h>
#include <QRgb>
#include <QtGlobal>

#include <cstddef>
#include <limits>
#include <memory>
#include <vector>

// The waterfall matrix as the spectrogram sees it. It reads the view's history in place, through
// the ring's head offset, instead of copying up to 8 MB per tick: the view hands over a new raster
// after every push, and the raster shares the buffer, so a reshaped view never frees cells that
// are still shown.
class Vorn_GUI_RasterData : public QwtMatrixRasterData {
public:
    // A copy of the values, row-major. resampleMethod 1 selects nearest-neighbour resampling,
    // any other value bilinear.
    Vorn_GUI_RasterData(const std::vector<double>& values, int numColumns, double xMin, double xMax,
                        double yMin, double yMax, double zMin, double zMax, int resampleMethod);
    // count cells of `buffer` from `offset` on, without copying them.
    Vorn_GUI_RasterData(std::shared_ptr<const std::vector<double>> buffer, std::size_t offset,
                        std::size_t count, int numColumns, double xMin, double xMax, double yMin,
                        double yMax, double zMin, double zMax, int resampleMethod);
    ~Vorn_GUI_RasterData() override;

    Vorn_GUI_RasterData(const Vorn_GUI_RasterData&) = delete;
    Vorn_GUI_RasterData& operator=(const Vorn_GUI_RasterData&) = delete;

    void setInterval(Qt::Axis axis, const QwtInterval& interval) override;
    // One cell in nearest-neighbour mode, as the library derives it from its own matrix.
    QRectF pixelHint(const QRectF& area) const override;

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
    // Colours of the cells, row-major like them, as `map` gives them over the z interval; they
    // are used only by a renderer drawing with that very map. `opaque`: none of them is
    // transparent.
    void setCellColours(std::shared_ptr<const std::vector<QRgb>> colours, std::size_t offset,
                        const void* map, bool opaque);
    const QRgb* cellColours(const void* map) const {
        return map != nullptr && map == coloursMap ? colourData : nullptr;
    }
    // Whether cellColours(map) gives colours and none of them is transparent.
    bool cellColoursOpaque(const void* map) const {
        return cellColours(map) != nullptr && coloursOpaque;
    }
    // The cells it shows, row-major (the library's valueMatrix() stays empty: nothing is copied).
    std::vector<double> values() const {
        return cellData ? std::vector<double>(cellData, cellData + cellCount)
                        : std::vector<double>();
    }
    int columnCount() const { return cellColumns; }
    int rowCount() const { return cellRows; }
    double cell(int row, int column) const { return cellData[row * cellColumns + column]; }

    // The bilinear lookup split by axis: valueAt(x, y) blends columns first and second of rows
    // first and second, with weights ratio and 1 - ratio, when both coordinates lie inside.
    struct Blend {
        int first = 0;
        int second = 0;
        double ratio = 0.0;
    };
    bool insideX(double x) const { return cellRows > 0 && xRange.contains(x); }
    bool insideY(double y) const { return cellRows > 0 && yRange.contains(y); }
    Blend blendColumns(double x) const { return blend(x, xRange.lo, dx, cellColumns); }
    Blend blendRows(double y) const { return blend(y, yRange.lo, dy, cellRows); }
    static double mix(const Blend& b, double first, double second) {
        return b.ratio * first + (1.0 - b.ratio) * second;
    }

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
    static Blend blend(double v, double lo, double step, int count) {
        Blend b;
        b.first = qRound((v - lo) / step) - 1;
        b.second = b.first + 1;
        if (b.first < 0) {
            b.first = b.second;
        } else if (b.second >= count) {
            b.second = b.first;
        }
        b.ratio = (lo + (b.second + 0.5) * step - v) / step;
        return b;
    }

    std::shared_ptr<const std::vector<double>> buffer;
    std::shared_ptr<const std::vector<QRgb>> colourBuffer;
    const QRgb* colourData = nullptr;
    const void* coloursMap = nullptr;
    bool coloursOpaque = false;
    const double* cellData = nullptr;
    std::size_t cellCount = 0;
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

    const Blend bx = blendColumns(x);
    const Blend by = blendRows(y);
    const double* first = rowCells(by.first);
    const double* second = rowCells(by.second);
    return mix(by, mix(bx, first[bx.first], first[bx.second]),
               mix(bx, second[bx.first], second[bx.second]));
}

#pragma once
#include <qwt_matrix_raster_data.h>

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

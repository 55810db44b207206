#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include <QRgb>

#include "display/color_ramp.h"

class QwtPlotSpectrogram;

// The bottom plot's colour image: a spectrogram item and the matrix it shows, row-major with the
// newest row first.
//
// A scrolling history is a ring of rows kept twice over (row i and row i + rows hold the same
// cells), so the newest-first matrix is always one contiguous run starting at the head row: a
// push writes one row twice instead of shifting the whole matrix, and the raster reads the run
// in place.
class WaterfallView {
public:
    WaterfallView();
    ~WaterfallView();

    WaterfallView(const WaterfallView&) = delete;
    WaterfallView& operator=(const WaterfallView&) = delete;

    // A zero-filled matrix of columns x rows; negative sizes count as zero. What the ticks
    // write is made here, on the operator's change, so that the first block of a display costs
    // no more than the next (a fresh buffer's pages are faulted in when first written): for a
    // scrolling history the ring of rows kept twice over, and the cells' colours when the
    // image is drawn nearest-neighbour (set resampleMethod first).
    void setShape(int columns, int rows, bool scrolling);

    // Gives the spectrogram the colour map of the scheme index (see color_schemes.h); a new map
    // is built only when the scheme changes.
    void applyColorScheme(int scheme);

    // scroll true: row becomes row 0 and every older row moves down one, the oldest drop off.
    // scroll false: row overwrites the start of the matrix (the whole range-velocity map);
    // anything beyond the matrix is ignored.
    void pushRow(const std::vector<double>& row, bool scroll);
    // pushRow(matrix, false) and then updateRaster. A matrix of the view's size is swapped in
    // instead of copied, and `matrix` is left with the view's previous one for the caller to
    // fill next time; any other size is copied, and `matrix` keeps its values.
    void showMatrix(std::vector<double>& matrix, int numColumns, double xMin, double xMax,
                    double yMin, double yMax, double zMin, double zMax);

    // Hands the spectrogram a raster over the matrix with the given geometry and z range, and
    // shows that range with the current scheme on the colour bar of the plot's right axis
    // (rebuilt only when either changed).
    void updateRaster(int numColumns, double xMin, double xMax, double yMin, double yMax,
                      double zMin, double zMax);

    // The matrix, newest row first: size() values from data().
    const double* data() const { return buffer->data() + head * cellsPerRow(); }
    std::size_t size() const { return cellsPerRow() * static_cast<std::size_t>(rows); }
    std::vector<double> values() const { return std::vector<double>(data(), data() + size()); }
    double value(int row, int column) const {
        return data()[static_cast<std::size_t>(row) * cellsPerRow() + column];
    }

    QwtPlotSpectrogram* spectrogram;
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    // 1 nearest-neighbour, anything else bilinear interpolation.
    std::int32_t resampleMethod = 1;

private:
    std::size_t cellsPerRow() const { return static_cast<std::size_t>(columns); }
    bool mirrored() const { return buffer->size() == 2 * size() && size() > 0; }
    void colourRows(std::size_t count, double zMin, double zMax);
    void updateColorBar(double zMin, double zMax);

    // Shared with the raster in use, so a reshape never frees what it still reads.
    std::shared_ptr<std::vector<double>> buffer;
    std::size_t head = 0;  // the ring row holding the newest row
    int scheme = -1;       // the scheme of the spectrogram's colour map; -1 none yet
    ColorRamp ramp;        // that map's colours, inline

    // The cells' colours in the layout of `buffer`, for the nearest-neighbour image: only rows
    // pushed since the last raster are coloured, unless the scheme or z range changed.
    std::shared_ptr<std::vector<QRgb>> colours;
    bool coloursValid = false;
    int colouredScheme = -1;
    double colouredMin = 0.0;
    double colouredMax = 0.0;
    std::size_t uncolouredRows = 0;  // newest rows pushed since
    // Per ring row, whether any of its colours is transparent (a not-a-number cell).
    std::vector<std::uint8_t> transparentRows;

    // What the colour bar shows.
    bool colorBarValid = false;
    int colorBarScheme = -1;
    double colorBarMin = 0.0;
    double colorBarMax = 0.0;
};

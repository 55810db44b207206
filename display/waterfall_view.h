#pragma once
#include <cstdint>
#include <vector>

class QwtPlotSpectrogram;

// The bottom plot's colour image: a spectrogram item and the matrix it shows. The matrix is
// row-major with the newest row first; the processing routines read `values` directly.
class WaterfallView {
public:
    WaterfallView();
    ~WaterfallView();

    WaterfallView(const WaterfallView&) = delete;
    WaterfallView& operator=(const WaterfallView&) = delete;

    // A zero-filled matrix of columns x rows; negative sizes count as zero.
    void setShape(int columns, int rows);

    // Gives the spectrogram a new colour map for the scheme index (see color_schemes.h).
    void applyColorScheme(int scheme);

    // scroll true: row becomes row 0 and every older row moves down one, the oldest drop off.
    // scroll false: row overwrites the start of the matrix (the whole range-velocity map);
    // anything beyond the matrix is ignored.
    void pushRow(const std::vector<double>& row, bool scroll);

    // Hands the spectrogram a snapshot of the matrix with the given geometry and z range.
    void updateRaster(int numColumns, double xMin, double xMax, double yMin, double yMax,
                      double zMin, double zMax);

    QwtPlotSpectrogram* spectrogram;
    std::vector<double> values;
    std::int32_t columns = 0;
    std::int32_t rows = 0;
    // 1 nearest-neighbour, anything else bilinear interpolation.
    std::int32_t resampleMethod = 1;
};

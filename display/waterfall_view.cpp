#include "display/waterfall_view.h"

#include <qwt_color_map.h>
#include <qwt_plot.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_widget.h>

#include <algorithm>
#include <cstddef>

#include "display/color_schemes.h"
#include "display/image_item.h"
#include "display/raster_data.h"

WaterfallView::WaterfallView()
    : spectrogram(new SpectrogramItem()), buffer(std::make_shared<std::vector<double>>()) {
    // The raster and colour lookups are read-only, so the image may be coloured in parallel.
    spectrogram->setRenderThreadCount(0);
}

// Deleting the item detaches it from its plot and frees its colour map and raster data.
WaterfallView::~WaterfallView() {
    delete spectrogram;
}

void WaterfallView::setShape(int numColumns, int numRows, bool scrolling) {
    columns = std::max(numColumns, 0);
    rows = std::max(numRows, 0);
    head = 0;
    buffer = std::make_shared<std::vector<double>>((scrolling ? 2 : 1) * size(), 0.0);
    colours.reset();
    if (resampleMethod == 1) colours = std::make_shared<std::vector<QRgb>>(buffer->size(), 0u);
    coloursValid = false;
}

void WaterfallView::applyColorScheme(int newScheme) {
    if (newScheme == scheme && spectrogram->colorMap() != nullptr) return;
    ramp = ColorRamp(SchemeStops(newScheme));
    static_cast<SpectrogramItem*>(spectrogram)->setColorMapWithRamp(MakeColorMap(newScheme), ramp);
    scheme = newScheme;
}

void WaterfallView::showMatrix(std::vector<double>& matrix, int numColumns, double xMin,
                               double xMax, double yMin, double yMax, double zMin, double zMax) {
    // A history ring (twice the matrix) or a matrix of another size takes a copy.
    if (matrix.size() != size() || buffer->size() != size()) {
        pushRow(matrix, false);
    } else {
        // The spectrogram's raster still points into the storage swapped out; the new raster
        // below replaces it before anything is drawn.
        buffer->swap(matrix);
        uncolouredRows = static_cast<std::size_t>(rows);
    }
    updateRaster(numColumns, xMin, xMax, yMin, yMax, zMin, zMax);
}

void WaterfallView::pushRow(const std::vector<double>& row, bool scroll) {
    const std::size_t total = size();
    const std::size_t width = cellsPerRow();
    if (!scroll) {
        const std::size_t n = std::min(row.size(), total);
        const std::size_t start = head * width;
        std::copy_n(row.begin(), n, buffer->begin() + static_cast<std::ptrdiff_t>(start));
        if (mirrored()) {
            // The other copy of each written cell: past the first half it lies one matrix back.
            for (std::size_t k = 0; k < n; ++k) {
                const std::size_t p = start + k;
                (*buffer)[p < total ? p + total : p - total] = row[k];
            }
        }
        uncolouredRows = static_cast<std::size_t>(rows);
        return;
    }
    if (total == 0) return;
    if (row.size() != width) {
        // Not a whole row (no caller does this): the newest-first matrix with the row in front,
        // cut back to the shape, as a plain unmirrored ring.
        std::vector<double> next(total, 0.0);
        const std::size_t fresh = std::min(row.size(), total);
        std::copy_n(row.begin(), fresh, next.begin());
        std::copy_n(data(), total - fresh, next.begin() + static_cast<std::ptrdiff_t>(fresh));
        buffer = std::make_shared<std::vector<double>>(std::move(next));
        head = 0;
        coloursValid = false;
        return;
    }
    if (!mirrored()) {
        // A new buffer, so a raster still reading the old one keeps it.
        auto ring = std::make_shared<std::vector<double>>(2 * total);
        std::copy_n(data(), total, ring->begin());
        std::copy_n(data(), total, ring->begin() + static_cast<std::ptrdiff_t>(total));
        buffer = std::move(ring);
        head = 0;
        coloursValid = false;
    }
    const std::size_t rowCount = static_cast<std::size_t>(rows);
    head = (head + rowCount - 1) % rowCount;
    std::copy_n(row.begin(), width, buffer->begin() + static_cast<std::ptrdiff_t>(head * width));
    std::copy_n(row.begin(), width,
                buffer->begin() + static_cast<std::ptrdiff_t>((head + rowCount) * width));
    ++uncolouredRows;
}

// Colours the newest `count` rows, in both copies of a mirrored ring.
void WaterfallView::colourRows(std::size_t count, double zMin, double zMax) {
    const std::size_t width = cellsPerRow();
    const std::size_t total = size();
    const double span = zMax - zMin;
    const std::size_t end = std::min(count, static_cast<std::size_t>(rows)) * width;
    const std::size_t start = head * width;
    const double* cells = buffer->data() + start;
    QRgb* out = colours->data() + start;
    const std::size_t rowCount = static_cast<std::size_t>(rows);
    transparentRows.resize(rowCount);
    for (std::size_t first = 0; first < end; first += width) {
        const std::size_t transparent = ramp.rgbRun(zMin, span, cells + first, out + first, width);
        transparentRows[(head + first / width) % rowCount] = transparent > 0 ? 1 : 0;
    }
    if (!mirrored()) return;
    for (std::size_t k = 0; k < end; ++k) {
        const std::size_t p = start + k;
        (*colours)[p < total ? p + total : p - total] = out[k];
    }
}

void WaterfallView::updateRaster(int numColumns, double xMin, double xMax, double yMin, double yMax,
                                 double zMin, double zMax) {
    auto* raster = new Vorn_GUI_RasterData(buffer, head * cellsPerRow(), size(), numColumns, xMin,
                                           xMax, yMin, yMax, zMin, zMax, resampleMethod);
    // Colours per cell serve the nearest-neighbour image when the raster's rows are the view's.
    if (resampleMethod == 1 && scheme >= 0 && numColumns == columns && size() > 0) {
        if (!colours || colours->size() != buffer->size()) {
            colours = std::make_shared<std::vector<QRgb>>(buffer->size());
            coloursValid = false;
        }
        const bool same =
            coloursValid && colouredScheme == scheme && colouredMin == zMin && colouredMax == zMax;
        colourRows(same ? uncolouredRows : static_cast<std::size_t>(rows), zMin, zMax);
        coloursValid = true;
        colouredScheme = scheme;
        colouredMin = zMin;
        colouredMax = zMax;
        uncolouredRows = 0;
        const bool opaque = std::none_of(transparentRows.begin(), transparentRows.end(),
                                         [](std::uint8_t row) { return row != 0; });
        raster->setCellColours(colours, head * cellsPerRow(), spectrogram->colorMap(), opaque);
    }
    spectrogram->setData(raster);
    updateColorBar(zMin, zMax);
}

void WaterfallView::updateColorBar(double zMin, double zMax) {
    QwtPlot* plot = spectrogram->plot();
    if (plot == nullptr) return;
    if (colorBarValid && colorBarScheme == scheme && colorBarMin == zMin && colorBarMax == zMax) {
        return;
    }
    QwtScaleWidget* axis = plot->axisWidget(QwtPlot::yRight);
    axis->setColorBarEnabled(true);
    axis->setColorMap(QwtInterval(zMin, zMax), MakeColorMap(scheme));
    plot->setAxisScale(QwtPlot::yRight, zMin, zMax);
    plot->enableAxis(QwtPlot::yRight, true);
    colorBarValid = true;
    colorBarScheme = scheme;
    colorBarMin = zMin;
    colorBarMax = zMax;
}

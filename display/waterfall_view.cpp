#include "display/waterfall_view.h"

#include <qwt_color_map.h>
#include <qwt_plot_spectrogram.h>

#include <algorithm>
#include <cstddef>

#include "display/color_schemes.h"
#include "display/raster_data.h"
#include "display/image_item.h"

WaterfallView::WaterfallView() : spectrogram(new SpectrogramItem()) {
    // The raster and colour lookups are read-only, so the image may be coloured in parallel.
    spectrogram->setRenderThreadCount(0);
}

// Deleting the item detaches it from its plot and frees its colour map and raster data.
WaterfallView::~WaterfallView() {
    delete spectrogram;
}

void WaterfallView::setShape(int numColumns, int numRows) {
    columns = std::max(numColumns, 0);
    rows = std::max(numRows, 0);
    std::vector<double>(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), 0.0)
        .swap(values);
}

void WaterfallView::applyColorScheme(int scheme) {
    static_cast<SpectrogramItem*>(spectrogram)
        ->setColorMapWithRamp(MakeColorMap(scheme), ColorRamp(SchemeStops(scheme)));
}

void WaterfallView::pushRow(const std::vector<double>& row, bool scroll) {
    if (!scroll) {
        std::copy_n(row.begin(), std::min(row.size(), values.size()), values.begin());
        return;
    }
    const std::size_t total = static_cast<std::size_t>(std::max(columns, 0)) *
                              static_cast<std::size_t>(std::max(rows, 0));
    if (values.size() != total) values.resize(total, 0.0);
    // Shifting in place keeps the matrix newest-first without reallocating every tick.
    const std::size_t kept = row.size() < total ? total - row.size() : 0;
    std::copy_backward(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(kept),
                       values.end());
    std::copy_n(row.begin(), total - kept, values.begin());
}

void WaterfallView::updateRaster(int numColumns, double xMin, double xMax, double yMin, double yMax,
                                 double zMin, double zMax) {
    spectrogram->setData(new Vorn_GUI_RasterData(values, numColumns, xMin, xMax, yMin, yMax, zMin,
                                                 zMax, resampleMethod));
}

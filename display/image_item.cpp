#include "display/image_item.h"

#include <qwt_color_map.h>
#include <qwt_scale_map.h>
#include <QImage>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <limits>
#include <vector>

#include "display/raster_data.h"

SpectrogramItem::SpectrogramItem() : QwtPlotSpectrogram(QString()) {}

void SpectrogramItem::setColorMapWithRamp(QwtColorMap* map, ColorRamp newRamp) {
    ramp = std::move(newRamp);
    rampMap = map;
    setColorMap(map);
}

QImage SpectrogramItem::renderImage(const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                                    const QRectF& area, const QSize& imageSize) const {
    const auto* raster = dynamic_cast<const Vorn_GUI_RasterData*>(data());
    const QwtColorMap* map = colorMap();
    if (raster == nullptr || map == nullptr || map != rampMap || ramp.empty() ||
        map->format() != QwtColorMap::RGB) {
        return QwtPlotSpectrogram::renderImage(xMap, yMap, area, imageSize);
    }
    if (imageSize.isEmpty()) return QImage();
    const QwtInterval range = raster->interval(Qt::ZAxis);
    if (!range.isValid()) return QImage();

    QImage image(imageSize, QImage::Format_ARGB32);
    const_cast<Vorn_GUI_RasterData*>(raster)->initRaster(area, image.size());

    // The same x and y per pixel as the library's loop, computed once per column and row.
    const int width = image.width();
    const int height = image.height();
    std::vector<double> xs(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) xs[static_cast<std::size_t>(x)] = xMap.invTransform(x);
    const double lo = range.minValue();
    const double span = range.width();
    uchar* bits = image.bits();  // detached once here, not per scan line
    const qsizetype stride = image.bytesPerLine();

    // Nearest neighbour: the cell of each column is found once for the whole image.
    std::vector<int> columns;
    if (raster->isNearest()) {
        columns.resize(xs.size());
        for (std::size_t x = 0; x < xs.size(); ++x) columns[x] = raster->nearestColumn(xs[x]);
    }
    const QRgb outside = ramp.rgb(lo, span, std::numeric_limits<double>::quiet_NaN());

    auto renderRows = [&](int first, int end) {
        for (int y = first; y < end && !columns.empty(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
            const int row = raster->nearestRow(yMap.invTransform(y));
            if (row < 0) {
                std::fill(line, line + width, outside);
                continue;
            }
            const double* cells = raster->rowCells(row);
            for (int x = 0; x < width; ++x) {
                const int col = columns[static_cast<std::size_t>(x)];
                line[x] = col < 0 ? outside : ramp.rgb(lo, span, cells[col]);
            }
        }
        for (int y = first; y < end && columns.empty(); ++y) {
            const double ty = yMap.invTransform(y);
            auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
            for (int x = 0; x < width; ++x) {
                line[x] = ramp.rgb(lo, span, raster->valueAt(xs[static_cast<std::size_t>(x)], ty));
            }
        }
    };

    int threads = renderThreadCount() > 0 ? static_cast<int>(renderThreadCount())
                                          : QThread::idealThreadCount();
    threads = qBound(1, threads, qMax(1, height / 16));
    if (threads == 1) {
        renderRows(0, height);
    } else {
        const int rowsPerThread = height / threads;
        QSemaphore done;
        for (int t = 0; t + 1 < threads; ++t) {
            QThreadPool::globalInstance()->start([&, t] {
                renderRows(t * rowsPerThread, (t + 1) * rowsPerThread);
                done.release();
            });
        }
        renderRows((threads - 1) * rowsPerThread, height);
        done.acquire(threads - 1);
    }

    const_cast<Vorn_GUI_RasterData*>(raster)->discardRaster();
    return image;
}

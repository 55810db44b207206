#include "display/image_item.h"

#include <qwt_color_map.h>
#include <qwt_painter.h>
#include <qwt_scale_map.h>
#include <QImage>
#include <QPainter>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QtMath>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "display/raster_data.h"

namespace {

constexpr double kNoSample = std::numeric_limits<double>::quiet_NaN();

// The library's drawing geometry, step for step, so that each canvas pixel is given the very
// sample position (and so the very cell) the library's image and expansion would give it.
QRectF AlignRect(const QRectF& rect) {
    QRectF r;
    r.setLeft(qRound(rect.left()));
    r.setRight(qRound(rect.right()));
    r.setTop(qRound(rect.top()));
    r.setBottom(qRound(rect.bottom()));
    return r;
}

// Drops the border pixels of an interval end that the data excludes.
QRectF StripRect(const QRectF& rect, const QRectF& area, const QwtScaleMap& xMap,
                 const QwtScaleMap& yMap, const QwtInterval& xInterval,
                 const QwtInterval& yInterval) {
    QRectF r = rect;
    if ((xInterval.borderFlags() & QwtInterval::ExcludeMinimum) &&
        area.left() <= xInterval.minValue()) {
        xMap.isInverting() ? r.adjust(0, 0, -1, 0) : r.adjust(1, 0, 0, 0);
    }
    if ((xInterval.borderFlags() & QwtInterval::ExcludeMaximum) &&
        area.right() >= xInterval.maxValue()) {
        xMap.isInverting() ? r.adjust(1, 0, 0, 0) : r.adjust(0, 0, -1, 0);
    }
    if ((yInterval.borderFlags() & QwtInterval::ExcludeMinimum) &&
        area.top() <= yInterval.minValue()) {
        yMap.isInverting() ? r.adjust(0, 0, 0, -1) : r.adjust(0, 1, 0, 0);
    }
    if ((yInterval.borderFlags() & QwtInterval::ExcludeMaximum) &&
        area.bottom() >= yInterval.maxValue()) {
        yMap.isInverting() ? r.adjust(0, 1, 0, 0) : r.adjust(0, 0, 0, -1);
    }
    return r;
}

void AdjustMaps(QwtScaleMap& xMap, QwtScaleMap& yMap, const QRectF& area, const QRectF& paintRect) {
    double sx1 = area.left();
    double sx2 = area.right();
    if (xMap.isInverting()) std::swap(sx1, sx2);
    double sy1 = area.top();
    double sy2 = area.bottom();
    if (yMap.isInverting()) std::swap(sy1, sy2);
    xMap.setPaintInterval(paintRect.left(), paintRect.right());
    xMap.setScaleInterval(sx1, sx2);
    yMap.setPaintInterval(paintRect.top(), paintRect.bottom());
    yMap.setScaleInterval(sy1, sy2);
}

QRectF ExpandToPixels(const QRectF& rect, const QRectF& pixelRect) {
    const double pw = pixelRect.width();
    const double ph = pixelRect.height();
    QRectF r;
    r.setLeft(pixelRect.left() - qCeil((pixelRect.left() - rect.left()) / pw) * pw);
    r.setTop(pixelRect.top() - qCeil((pixelRect.top() - rect.top()) / ph) * ph);
    r.setRight(pixelRect.right() - qFloor((pixelRect.right() - rect.right()) / pw) * pw);
    r.setBottom(pixelRect.bottom() - qFloor((pixelRect.bottom() - rect.bottom()) / ph) * ph);
    return r;
}

// Sample positions of pixels [first, first + count) of an image `length` pixels long; pixels
// beyond the image (a cut past its edge) have none.
std::vector<double> CutSamples(const QwtScaleMap& map, int length, int first, int count) {
    std::vector<double> samples(static_cast<std::size_t>(std::max(count, 0)), kNoSample);
    for (int i = 0; i < count; ++i) {
        const int p = first + i;
        if (p >= 0 && p < length) samples[static_cast<std::size_t>(i)] = map.invTransform(p);
    }
    return samples;
}

// The expansion of an image `length` pixels long to `target` canvas pixels: image pixel i
// covers [round(i * step - offset), round((i + 1) * step - offset)), the first from 0 and the
// last to the end; where ranges overlap the later pixel wins.
std::vector<double> ExpandedSamples(const QwtScaleMap& map, int length, int target, double step,
                                    double offset) {
    std::vector<double> samples(static_cast<std::size_t>(std::max(target, 0)), kNoSample);
    for (int i = 0; i < length; ++i) {
        const int from = i == 0 ? 0 : std::max(0, qRound(i * step - offset));
        const int to = i == length - 1 ? target : std::min(target, qRound((i + 1) * step - offset));
        const double sample = map.invTransform(i);
        for (int k = from; k < to; ++k) samples[static_cast<std::size_t>(k)] = sample;
    }
    return samples;
}

// Per canvas column (or row): the nearest cell, -1 outside the data. Where the visible cells
// outnumber the pixels, each pixel also gets the run of cells it covers: from the cell halfway
// to the previous pixel's sample to the cell halfway to the next one (the outermost pixels reach
// to the data's edge), so neighbouring runs meet and every visible cell belongs to some pixel.
struct AxisCells {
    std::vector<int> cell;
    std::vector<int> lo;
    std::vector<int> hi;
    bool many = false;
    bool complete = false;  // every pixel has a cell
};

template <typename NearestCell>
AxisCells MapAxis(const std::vector<double>& samples, int cellCount, NearestCell nearestCell) {
    AxisCells axis;
    const std::size_t n = samples.size();
    axis.cell.resize(n);
    int first = INT_MAX;
    int last = -1;
    int valid = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int c = nearestCell(samples[i]);
        axis.cell[i] = c;
        if (c < 0) continue;
        first = std::min(first, c);
        last = std::max(last, c);
        ++valid;
    }
    axis.complete = static_cast<std::size_t>(valid) == n;
    axis.many = valid > 0 && last - first + 1 > valid;
    if (!axis.many) return axis;
    axis.lo = axis.cell;
    axis.hi = axis.cell;
    auto cover = [&axis](std::size_t p, int c) {
        axis.lo[p] = std::min(axis.lo[p], c);
        axis.hi[p] = std::max(axis.hi[p], c);
    };
    // Half a pixel past the outermost samples, up to the data's edge (cells grow with the
    // coordinate on both axes).
    auto edgeCell = [&](double sample, double beyond) {
        const int c = nearestCell(beyond);
        if (c >= 0) return c;
        return beyond > sample ? cellCount - 1 : 0;
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (axis.cell[i] < 0) continue;
        const bool hasNext = i + 1 < n && axis.cell[i + 1] >= 0;
        const bool hasPrevious = i > 0 && axis.cell[i - 1] >= 0;
        if (hasNext) {
            int middle = nearestCell(0.5 * (samples[i] + samples[i + 1]));
            if (middle < 0) middle = axis.cell[i];
            cover(i, middle);
            cover(i + 1, middle);
        } else if (hasPrevious) {
            cover(i, edgeCell(samples[i], samples[i] + 0.5 * (samples[i] - samples[i - 1])));
        }
        if (!hasPrevious && hasNext) {
            cover(i, edgeCell(samples[i], samples[i] - 0.5 * (samples[i + 1] - samples[i])));
        }
    }
    return axis;
}

// The larger of two values, NaN only when both are.
inline double Stronger(double strongest, double v) {
    return std::isnan(strongest) || v > strongest ? v : strongest;
}

// Per cell, the stronger of (values, colours) and (cells, cellColours), into (best, kept): the
// later row wins when it is stronger or the earlier one is NaN. Written without branches and
// built for AVX2 too, so that it vectorises.
__attribute__((target_clones("avx2", "default"))) void KeepStronger(
    const double* __restrict values, const QRgb* __restrict colours, const double* __restrict cells,
    const QRgb* __restrict cellColours, double* __restrict best, QRgb* __restrict kept, int count) {
    for (int c = 0; c < count; ++c) {
        const bool stronger = (cells[c] > values[c]) | (values[c] != values[c]);
        best[c] = stronger ? cells[c] : values[c];
        kept[c] = stronger ? cellColours[c] : colours[c];
    }
}

// KeepStronger with (best, kept) as the earlier row.
__attribute__((target_clones("avx2", "default"))) void KeepStrongerInPlace(
    double* __restrict best, QRgb* __restrict kept, const double* __restrict cells,
    const QRgb* __restrict cellColours, int count) {
    for (int c = 0; c < count; ++c) {
        const bool stronger = (cells[c] > best[c]) | (best[c] != best[c]);
        best[c] = stronger ? cells[c] : best[c];
        kept[c] = stronger ? cellColours[c] : kept[c];
    }
}

// Eight canvas pixels whose cells all lie within eight cells from `base`: the pixels are a
// shuffle of those eight colours. base < 0: the pixels are looked up one by one.
struct PixelChunk {
    int base = -1;
    std::int32_t pick[8] = {};
};

// Where cells are wider than pixels, every run of eight pixels reaches at most eight cells.
std::vector<PixelChunk> PixelChunks(const std::vector<int>& columnCell, int cellCount) {
    std::vector<PixelChunk> chunks(columnCell.size() / 8);
    if (cellCount < 8) return chunks;
    for (std::size_t k = 0; k < chunks.size(); ++k) {
        const int* cells = columnCell.data() + 8 * k;
        const auto [lo, hi] = std::minmax_element(cells, cells + 8);
        if (*lo < 0 || *hi - *lo >= 8) continue;
        PixelChunk& chunk = chunks[k];
        chunk.base = std::min(*lo, cellCount - 8);  // the eight read stay inside the row
        for (int i = 0; i < 8; ++i) chunk.pick[i] = cells[i] - chunk.base;
    }
    return chunks;
}

typedef std::uint32_t V8u __attribute__((vector_size(32)));
typedef std::int32_t V8i __attribute__((vector_size(32)));

// One canvas line from one row of cell colours: a load, a shuffle and a store per chunk (one
// permute in the AVX2 build), the pixels of other chunks and the tail one by one.
__attribute__((target_clones("avx2", "default"))) void ExpandLine(
    const QRgb* __restrict colours, const PixelChunk* __restrict chunks, std::size_t chunkCount,
    const int* __restrict columnCell, int width, QRgb outside, QRgb* __restrict line) {
    for (std::size_t k = 0; k < chunkCount; ++k) {
        const PixelChunk& chunk = chunks[k];
        QRgb* out = line + 8 * k;
        if (chunk.base >= 0) {
            V8u eight;
            V8i pick;
            std::memcpy(&eight, colours + chunk.base, sizeof eight);
            std::memcpy(&pick, chunk.pick, sizeof pick);
            const V8u shown = __builtin_shuffle(eight, pick);
            std::memcpy(out, &shown, sizeof shown);
            continue;
        }
        for (int i = 0; i < 8; ++i) {
            const int c = columnCell[8 * k + static_cast<std::size_t>(i)];
            out[i] = c < 0 ? outside : colours[c];
        }
    }
    for (int i = static_cast<int>(8 * chunkCount); i < width; ++i) {
        const int c = columnCell[i];
        line[i] = c < 0 ? outside : colours[c];
    }
}

}  // namespace

SpectrogramItem::SpectrogramItem() : QwtPlotSpectrogram(QString()) {}

void SpectrogramItem::setColorMapWithRamp(QwtColorMap* map, ColorRamp newRamp) {
    ramp = std::move(newRamp);
    rampMap = map;
    setColorMap(map);
}

const Vorn_GUI_RasterData* SpectrogramItem::ownRaster(QPainter* painter) const {
    const auto* raster = dynamic_cast<const Vorn_GUI_RasterData*>(data());
    const QwtColorMap* map = colorMap();
    if (raster == nullptr || map == nullptr || map != rampMap || ramp.empty() ||
        map->format() != QwtColorMap::RGB || !testDisplayMode(ImageMode) ||
        testDisplayMode(ContourMode) || alpha() >= 0 || cachePolicy() != NoCache ||
        painter->transform().type() > QTransform::TxScale) {
        return nullptr;
    }
    return raster;
}

SpectrogramItem::Geometry SpectrogramItem::geometryOf(QPainter* painter, const QwtScaleMap& xMap,
                                                      const QwtScaleMap& yMap,
                                                      const QRectF& canvasRect) const {
    const auto* raster = static_cast<const Vorn_GUI_RasterData*>(data());
    Geometry g;
    g.transform = painter->transform();
    g.align = QwtPainter::roundingAlignment(painter);
    g.maps = {xMap.s1(), xMap.s2(), xMap.p1(), xMap.p2(),
              yMap.s1(), yMap.s2(), yMap.p1(), yMap.p2()};
    g.transformed = {xMap.transformation() != nullptr, yMap.transformation() != nullptr};
    g.canvasRect = canvasRect;
    g.xInterval = interval(Qt::XAxis);
    g.yInterval = interval(Qt::YAxis);
    g.cells = {raster->columnCount(), raster->rowCount()};
    g.nearest = raster->isNearest();
    return g;
}

QRect SpectrogramItem::opaqueRect(QPainter* painter, const QwtScaleMap& xMap,
                                  const QwtScaleMap& yMap, const QRectF& canvasRect) const {
    if (!lastOpaque || !isVisible()) return QRect();
    const Vorn_GUI_RasterData* raster = ownRaster(painter);
    if (raster == nullptr || !raster->cellColoursOpaque(rampMap) ||
        !raster->interval(Qt::ZAxis).isValid() ||
        !(geometryOf(painter, xMap, yMap, canvasRect) == lastOpaque->geometry)) {
        return QRect();
    }
    return lastOpaque->rect;
}

void SpectrogramItem::draw(QPainter* painter, const QwtScaleMap& xMap, const QwtScaleMap& yMap,
                           const QRectF& canvasRect) const {
    lastOpaque.reset();
    const Vorn_GUI_RasterData* raster = ownRaster(painter);
    const QTransform transform = painter->transform();
    if (raster == nullptr) {
        QwtPlotSpectrogram::draw(painter, xMap, yMap, canvasRect);
        return;
    }
    const QwtInterval zRange = raster->interval(Qt::ZAxis);
    if (canvasRect.isEmpty() || !zRange.isValid()) return;

    const QwtInterval xInterval = interval(Qt::XAxis);
    const QwtInterval yInterval = interval(Qt::YAxis);
    QwtScaleMap xxMap = xMap;
    QwtScaleMap yyMap = yMap;
    const QPointF p1 = transform.map(QPointF(xMap.p1(), yMap.p1()));
    const QPointF p2 = transform.map(QPointF(xMap.p2(), yMap.p2()));
    xxMap.setPaintInterval(p1.x(), p2.x());
    yyMap.setPaintInterval(p1.y(), p2.y());

    QRectF paintRect = transform.mapRect(canvasRect);
    QRectF area = QwtScaleMap::invTransform(xxMap, yyMap, paintRect);
    const QRectF bounds = boundingRect();
    if (bounds.isValid() && !bounds.contains(area)) {
        area &= bounds;
        if (!area.isValid()) return;
        paintRect = QwtScaleMap::transform(xxMap, yyMap, area);
    }

    // Cells larger than canvas pixels along an axis are rendered one per cell and expanded.
    QRectF pixelRect = pixelHint(area);
    if (!pixelRect.isEmpty()) {
        const double dx = qAbs(xxMap.invTransform(1) - xxMap.invTransform(0));
        const double dy = qAbs(yyMap.invTransform(1) - yyMap.invTransform(0));
        if (dx > pixelRect.width() && dy > pixelRect.height()) {
            pixelRect = QRectF();
        } else {
            if (dx > pixelRect.width()) pixelRect.setWidth(dx);
            if (dy > pixelRect.height()) pixelRect.setHeight(dy);
        }
    }

    const bool align = QwtPainter::roundingAlignment(painter);
    QRectF imageRect;
    std::vector<double> xs;
    std::vector<double> ys;
    if (pixelRect.isEmpty()) {
        if (align) {
            paintRect = AlignRect(paintRect);
            AdjustMaps(xxMap, yyMap, area, paintRect);
        }
        const QSize size = paintRect.size().toSize();
        if (area.isEmpty() || paintRect.isEmpty() || size.isEmpty()) return;
        const double cellX =
            paintRect.toRect().width() > size.width() ? area.width() / size.width() : 0.0;
        const double cellY =
            paintRect.toRect().height() > size.height() ? area.height() / size.height() : 0.0;
        const QwtScaleMap imageX = imageMap(Qt::Horizontal, xxMap, area, size, cellX);
        const QwtScaleMap imageY = imageMap(Qt::Vertical, yyMap, area, size, cellY);
        imageRect = StripRect(paintRect, area, xxMap, yyMap, xInterval, yInterval);
        QRect cut(0, 0, size.width(), size.height());
        if (imageRect != paintRect) {
            cut =
                QRect(qRound(imageRect.x() - paintRect.x()), qRound(imageRect.y() - paintRect.y()),
                      qRound(imageRect.width()), qRound(imageRect.height()));
        }
        xs = CutSamples(imageX, size.width(), cut.x(), cut.width());
        ys = CutSamples(imageY, size.height(), cut.y(), cut.height());
    } else {
        if (align) paintRect = AlignRect(paintRect);
        QRectF imageArea = ExpandToPixels(area, pixelRect);
        if (imageArea.right() == xInterval.maxValue() &&
            !(xInterval.borderFlags() & QwtInterval::ExcludeMaximum)) {
            imageArea.adjust(0, 0, pixelRect.width(), 0);
        }
        if (imageArea.bottom() == yInterval.maxValue() &&
            !(yInterval.borderFlags() & QwtInterval::ExcludeMaximum)) {
            imageArea.adjust(0, 0, 0, pixelRect.height());
        }
        const QSize size(qRound(imageArea.width() / pixelRect.width()),
                         qRound(imageArea.height() / pixelRect.height()));
        if (imageArea.isEmpty() || paintRect.isEmpty() || size.isEmpty()) return;
        if ((size.width() <= 1 && size.height() <= 1) ||
            !testPaintAttribute(PaintInDeviceResolution)) {
            // A single pixel or an unexpanded image is scaled by the painter: the library's way.
            QwtPlotSpectrogram::draw(painter, xMap, yMap, canvasRect);
            return;
        }
        const double cellX =
            paintRect.toRect().width() > size.width() ? imageArea.width() / size.width() : 0.0;
        const double cellY =
            paintRect.toRect().height() > size.height() ? imageArea.height() / size.height() : 0.0;
        const QwtScaleMap imageX = imageMap(Qt::Horizontal, xxMap, imageArea, size, cellX);
        const QwtScaleMap imageY = imageMap(Qt::Vertical, yyMap, imageArea, size, cellY);
        imageRect = StripRect(paintRect, area, xxMap, yyMap, xInterval, yInterval);
        const QSize target = imageRect.toRect().size();
        const QRectF span = QwtScaleMap::transform(xxMap, yyMap, imageArea).normalized();
        const double pw = (span.width() - 1) / size.width();
        const double ph = (span.height() - 1) / size.height();
        double px0 = 0.0;
        if (!xxMap.isInverting()) {
            px0 = qRound(xxMap.transform(area.left())) - xxMap.transform(imageArea.left());
        } else {
            px0 = qRound(xxMap.transform(area.right())) - xxMap.transform(imageArea.right()) - 1.0;
        }
        px0 += imageRect.left() - paintRect.left();
        double py0 = 0.0;
        if (!yyMap.isInverting()) {
            py0 = qRound(yyMap.transform(area.top())) - yyMap.transform(imageArea.top());
        } else {
            py0 =
                qRound(yyMap.transform(area.bottom())) - yyMap.transform(imageArea.bottom()) - 1.0;
        }
        py0 += imageRect.top() - paintRect.top();
        xs = ExpandedSamples(imageX, size.width(), target.width(), pw, px0);
        ys = ExpandedSamples(imageY, size.height(), target.height(), ph, py0);
    }
    if (xs.empty() || ys.empty()) return;

    const AxisCells columns =
        MapAxis(xs, raster->columnCount(), [raster](double x) { return raster->nearestColumn(x); });
    const AxisCells rows =
        MapAxis(ys, raster->rowCount(), [raster](double y) { return raster->nearestRow(y); });
    const bool nearest = raster->isNearest();
    const int width = static_cast<int>(xs.size());
    const int height = static_cast<int>(ys.size());
    const int cellColumns = raster->columnCount();
    const double lo = zRange.minValue();
    const double zSpan = zRange.width();
    const QRgb outside = ramp.rgb(lo, zSpan, kNoSample);

    // Every pixel is opaque or fully transparent, so premultiplied is the same picture, and the
    // painter blends it without converting.
    if (canvasImage.size() != QSize(width, height)) {
        canvasImage = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    }
    QImage& image = canvasImage;
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();

    // Bilinear blending across columns, when each pixel has its own pair of columns.
    // The colours the view keeps per cell, when they were made with this ramp (nearest only).
    const QRgb* cellColours = nearest ? raster->cellColours(rampMap) : nullptr;
    std::vector<Vorn_GUI_RasterData::Blend> columnBlends;
    // Cells no narrower than pixels: a line of cell colours goes out eight pixels at a time.
    const std::vector<PixelChunk> chunks =
        columns.many ? std::vector<PixelChunk>() : PixelChunks(columns.cell, cellColumns);
    if (!nearest && !columns.many) {
        columnBlends.resize(xs.size());
        for (std::size_t i = 0; i < xs.size(); ++i) {
            if (columns.cell[i] >= 0) columnBlends[i] = raster->blendColumns(xs[i]);
        }
    }

    auto renderRows = [&](int first, int end) {
        // Local copies for the inner loops: the compiler cannot tell captured ints from the
        // pixels stored, and would reload them on every pixel.
        const int pixels = width;
        const int cellsPerRow = cellColumns;
        const QRgb outsideColour = outside;
        const int* const columnCell = columns.cell.data();
        std::vector<double> rowValues(static_cast<std::size_t>(cellColumns));
        std::vector<int> strongestRow(static_cast<std::size_t>(cellColumns));
        std::vector<QRgb> colours(static_cast<std::size_t>(cellColumns));
        int coloured = -1;  // the cell row whose colours `colours` holds, or -1
        // Where a line shows one cell row, the last such line: canvas lines that show the same
        // row (cells taller than a pixel) are copies of it.
        int shownRow = -1;
        const QRgb* shownLine = nullptr;
        const bool linePerRow = nearest && !rows.many;
        for (int j = first; j < end; ++j) {
            auto* line = reinterpret_cast<QRgb*>(bits + j * stride);
            const int row = rows.cell[static_cast<std::size_t>(j)];
            if (row < 0) {
                std::fill(line, line + width, outside);
                continue;
            }
            if (linePerRow && row == shownRow) {
                std::copy_n(shownLine, width, line);
                continue;
            }
            if (linePerRow) {
                shownRow = row;
                shownLine = line;
            }
            if (!nearest && !columns.many) {
                if (!rows.many) {
                    // Exactly the library's blend.
                    const double y = ys[static_cast<std::size_t>(j)];
                    for (int i = 0; i < width; ++i) {
                        line[i] = ramp.rgb(lo, zSpan,
                                           raster->valueAt(xs[static_cast<std::size_t>(i)], y));
                    }
                    continue;
                }
                // Blended across columns, the strongest of the covered rows.
                const int r0 = rows.lo[static_cast<std::size_t>(j)];
                const int r1 = rows.hi[static_cast<std::size_t>(j)];
                for (int i = 0; i < width; ++i) {
                    if (columns.cell[static_cast<std::size_t>(i)] < 0) {
                        line[i] = outside;
                        continue;
                    }
                    const auto& b = columnBlends[static_cast<std::size_t>(i)];
                    double v = kNoSample;
                    for (int r = r0; r <= r1; ++r) {
                        v = Stronger(v, Vorn_GUI_RasterData::mix(b, raster->cell(r, b.first),
                                                                 raster->cell(r, b.second)));
                    }
                    line[i] = ramp.rgb(lo, zSpan, v);
                }
                continue;
            }

            // One value and one colour per cell column for this canvas row: the cell's own, or
            // in a run of rows the strongest one's.
            const double* values = rowValues.data();
            const QRgb* rowColours = colours.data();
            if (rows.many && cellColours != nullptr) {
                // The strongest cell's colour is carried along with its value, so the kept
                // colours need no second lookup; a run of one row is that row itself.
                const int r0 = rows.lo[static_cast<std::size_t>(j)];
                const int r1 = rows.hi[static_cast<std::size_t>(j)];
                const std::size_t stride = static_cast<std::size_t>(cellColumns);
                values = raster->rowCells(r0);
                rowColours = cellColours + static_cast<std::size_t>(r0) * stride;
                for (int r = r0 + 1; r <= r1; ++r) {
                    const double* cells = raster->rowCells(r);
                    const QRgb* cellRow = cellColours + static_cast<std::size_t>(r) * stride;
                    if (r == r0 + 1) {
                        KeepStronger(values, rowColours, cells, cellRow, rowValues.data(),
                                     colours.data(), cellsPerRow);
                        values = rowValues.data();
                        rowColours = colours.data();
                    } else {
                        KeepStrongerInPlace(rowValues.data(), colours.data(), cells, cellRow,
                                            cellsPerRow);
                    }
                }
                coloured = -1;
            } else if (rows.many) {
                const int r0 = rows.lo[static_cast<std::size_t>(j)];
                const int r1 = rows.hi[static_cast<std::size_t>(j)];
                std::copy_n(raster->rowCells(r0), cellColumns, rowValues.begin());
                std::fill(strongestRow.begin(), strongestRow.end(), r0);
                for (int r = r0 + 1; r <= r1; ++r) {
                    const double* cells = raster->rowCells(r);
                    // Branch-free, so the compiler keeps it vectorised (a NaN so far counts as
                    // weaker than anything).
                    double* best = rowValues.data();
                    int* at = strongestRow.data();
                    for (int c = 0; c < cellColumns; ++c) {
                        const bool stronger = cells[c] > best[c] || best[c] != best[c];
                        best[c] = stronger ? cells[c] : best[c];
                        at[c] = stronger ? r : at[c];
                    }
                }
                for (std::size_t c = 0; c < colours.size(); ++c) {
                    colours[c] = cellColours != nullptr
                                     ? cellColours[static_cast<std::size_t>(strongestRow[c]) *
                                                       colours.size() +
                                                   c]
                                     : ramp.rgb(lo, zSpan, rowValues[c]);
                }
                coloured = -1;
            } else if (nearest) {
                values = raster->rowCells(row);
                if (cellColours != nullptr) {
                    rowColours = cellColours + static_cast<std::size_t>(row) * colours.size();
                } else if (row != coloured) {
                    for (int c = 0; c < cellColumns; ++c) {
                        colours[static_cast<std::size_t>(c)] = ramp.rgb(lo, zSpan, values[c]);
                    }
                    coloured = row;
                }
            } else {
                const auto b = raster->blendRows(ys[static_cast<std::size_t>(j)]);
                const double* firstRow = raster->rowCells(b.first);
                const double* secondRow = raster->rowCells(b.second);
                for (int c = 0; c < cellColumns; ++c) {
                    rowValues[static_cast<std::size_t>(c)] =
                        Vorn_GUI_RasterData::mix(b, firstRow[c], secondRow[c]);
                    colours[static_cast<std::size_t>(c)] =
                        ramp.rgb(lo, zSpan, rowValues[static_cast<std::size_t>(c)]);
                }
                coloured = -1;
            }

            if (columns.many) {
                for (int i = 0; i < width; ++i) {
                    const std::size_t p = static_cast<std::size_t>(i);
                    if (columns.cell[p] < 0) {
                        line[i] = outside;
                        continue;
                    }
                    int best = columns.lo[p];
                    for (int c = best + 1; c <= columns.hi[p]; ++c) {
                        if (std::isnan(values[best]) || values[c] > values[best]) best = c;
                    }
                    line[i] = rowColours[best];
                }
            } else {
                ExpandLine(rowColours, chunks.data(), chunks.size(), columnCell, pixels,
                           outsideColour, line);
            }
        }
    };

    // Only the rows the painter can still reach are coloured: a small repaint (the cursor
    // read-out moving over the canvas) then costs a few rows, not the whole image. The rows
    // left out keep an older picture, which the clip keeps off the screen.
    int firstRow = 0;
    int endRow = height;
    if (painter->hasClipping()) {
        const QRectF clip = transform.mapRect(painter->clipBoundingRect());
        firstRow = qBound(0, qFloor(clip.top() - imageRect.top()) - 1, height);
        endRow = qBound(firstRow, qCeil(clip.bottom() - imageRect.top()) + 1, height);
    }
    const int drawn = endRow - firstRow;

    // Lines from the kept cell colours are a shuffle and a copy each, and a second thread
    // costs more than it saves: waking it, and the colours crossing to its core (a map's image
    // took 0.4 ms more processor time that way). Lines coloured pixel by pixel are shared out.
    int threads = renderThreadCount() > 0 ? static_cast<int>(renderThreadCount())
                                          : QThread::idealThreadCount();
    if (cellColours != nullptr) threads = 1;
    threads = qBound(1, threads, qMax(1, drawn / 16));
    if (threads == 1) {
        renderRows(firstRow, endRow);
    } else {
        const int rowsPerThread = drawn / threads;
        QSemaphore done;
        for (int t = 0; t + 1 < threads; ++t) {
            QThreadPool::globalInstance()->start([&, t] {
                renderRows(firstRow + t * rowsPerThread, firstRow + (t + 1) * rowsPerThread);
                done.release();
            });
        }
        renderRows(firstRow + (threads - 1) * rowsPerThread, endRow);
        done.acquire(threads - 1);
    }

    // Every pixel a cell's kept colour, none transparent: the image is drawn as the opaque
    // picture it is (a plain copy instead of a blend), and the rectangle it covers is recorded
    // for the canvas background drawn beneath it next time.
    const QRect deviceRect = imageRect.toAlignedRect();
    const bool opaque = cellColours != nullptr && raster->cellColoursOpaque(rampMap) &&
                        rows.complete && columns.complete && deviceRect == imageRect &&
                        deviceRect.size() == image.size();
    if (opaque) lastOpaque = OpaqueDrawing{geometryOf(painter, xMap, yMap, canvasRect), deviceRect};
    painter->save();
    painter->setWorldTransform(QTransform());
    if (opaque) {
        const QImage solid(image.constBits(), image.width(), image.height(), image.bytesPerLine(),
                           QImage::Format_RGB32);
        QwtPainter::drawImage(painter, imageRect, solid);
    } else {
        QwtPainter::drawImage(painter, imageRect, image);
    }
    painter->restore();
}

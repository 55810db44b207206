// The fast image path against the library's own: same pixels for every image, nearest and
// bilinear, in every scheme, zero (-inf dB) and NaN cells included.
#include "display/image_item.h"

#include <gtest/gtest.h>
#include <qwt_color_map.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_zoneitem.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>
#include <QImage>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "display/canvas_background.h"
#include "display/color_ramp.h"
#include "display/color_schemes.h"
#include "display/raster_data.h"
#include "display/waterfall_view.h"

namespace {

std::vector<double> RandomMatrix(int columns, int rows, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> db(-20.0, 25.0);
    std::vector<double> values(static_cast<std::size_t>(columns) * rows);
    for (double& v : values) v = db(rng);
    values[3] = -std::numeric_limits<double>::infinity();  // a zero bin
    values[5] = std::nan("");
    return values;
}

// The whole plot as the operator sees it: the item against a plain QwtPlotSpectrogram in an
// identical plot, so the library's own drawing (its image size, border strip and expansion to
// the canvas) is the reference. Every case has no more cells than canvas pixels on either axis;
// where it has more, the item deliberately keeps the strongest cell instead.
struct PlotCase {
    int columns;
    int rows;
    QSize size;
    double margin;  // axis range beyond the data on each side, so border pixels fall outside
};

QImage DrawPlot(QwtPlotSpectrogram* item, bool withRamp, int resample, const PlotCase& c) {
    QwtPlot plot;
    plot.resize(c.size);
    item->attach(&plot);
    item->setData(new Vorn_GUI_RasterData(RandomMatrix(c.columns, c.rows, 99), c.columns, -25.0,
                                          25.0, 0.0, 51.2, -40.0, 40.0, resample));
    plot.setAxisScale(QwtPlot::xBottom, -25.0 - c.margin, 25.0 + c.margin);
    plot.setAxisScale(QwtPlot::yLeft, 0.0 - c.margin, 51.2 + c.margin);
    if (withRamp) {
        static_cast<SpectrogramItem*>(item)->setColorMapWithRamp(
            MakeColorMap(kColorSchemeJet), ColorRamp(SchemeStops(kColorSchemeJet)));
    } else {
        item->setColorMap(MakeColorMap(kColorSchemeJet));
    }
    plot.replot();
    const QImage image = plot.grab().toImage();
    item->detach();
    delete item;
    return image;
}

TEST(SpectrogramItem, PlotLooksAsWithTheLibrarysItem) {
    const PlotCase cases[] = {
        {1024, 513, QSize(1400, 700), 0.0}, {1024, 513, QSize(1500, 900), 0.3},
        {513, 64, QSize(900, 450), 0.0},    {513, 64, QSize(1100, 333), 1.7},
        {64, 16, QSize(350, 200), 0.0},     {1024, 8, QSize(1300, 120), 0.0}};
    for (const PlotCase& c : cases) {
        for (const int resample : {1, 0}) {
            const QImage fast = DrawPlot(new SpectrogramItem(), true, resample, c);
            const QImage library = DrawPlot(new QwtPlotSpectrogram(QString()), false, resample, c);
            EXPECT_TRUE(fast == library)
                << c.columns << "x" << c.rows << " resample " << resample << " size "
                << c.size.width() << "x" << c.size.height() << " margin " << c.margin;
        }
    }
}

// What the widgets paint, on a colour none of them uses: a pixel nothing paints shows.
QImage Painted(QwtPlot& plot) {
    QImage image(plot.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::magenta);
    plot.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// A scrolling view tick by tick, its colours kept per cell across pushes, against the library
// drawing the same matrix from scratch: the z range and the scheme move between ticks. The
// canvas is drawn as the window's is, its background an item that leaves out what the last
// opaque picture of the same geometry covered: the canvas size, the axes and a new
// not-a-number cell each take that away in turn, with a zone beneath the image; the reference
// canvas fills its own background.
TEST(SpectrogramItem, ScrollingViewLooksAsTheLibraryEveryTick) {
    struct Tick {
        double zMin;
        double zMax;
        int scheme;
    };
    // Nine ticks against a picture every seventh: each tick's scheme and range gets compared,
    // and ticks 1 and 2 of the nine colour only the row pushed.
    const Tick ticks[] = {{-40, 40, kColorSchemeJet},        {-40, 40, kColorSchemeJet},
                          {-40, 40, kColorSchemeJet},        {-30, 40, kColorSchemeJet},
                          {-30, 40, kColorSchemeRgb},        {-30, 40, kColorSchemeStandard},
                          {-30, 40, kColorSchemeBlackWhite}, {-117, -3, 7},
                          {-117, -3, kColorSchemeRgb}};
    // A NaN row pushed at tick 19 and pictured after one more row coloured alone; it scrolls
    // out after tick 82. From tick 90 every picture is opaque until a NaN row at tick 122, and
    // the canvas size (tick 104) and the axes (ticks 111 and 118) change in between.
    constexpr int kTicks = 126;
    std::vector<double> history = RandomMatrix(513, kTicks, 5);
    history[5] = -40.0;
    history[19 * 513 + 200] = std::nan("");
    history[122 * 513 + 200] = std::nan("");
    // The window's canvas (its background an item, no backing image) and a reference canvas
    // that fills its own background, each with a zone beneath the image.
    struct Shown {
        QwtPlot plot;
        QwtPlotZoneItem zone;
        explicit Shown(bool asItem) {
            plot.setCanvasBackground(QColor(56, 56, 56));
            static_cast<QwtPlotCanvas*>(plot.canvas())
                ->setPaintAttribute(QwtPlotCanvas::BackingStore, false);
            if (asItem) CanvasBackground::install(&plot);
            zone.setOrientation(Qt::Vertical);
            zone.setBrush(QColor(61, 69, 86));
            zone.setInterval(0.0, 6.0);
            zone.attach(&plot);
        }
    };
    for (const int resample : {1, 0}) {
        Shown fast(true);
        Shown reference(false);
        WaterfallView view;
        view.setShape(513, 64, true);
        view.resampleMethod = resample;
        view.spectrogram->attach(&fast.plot);
        QwtPlotSpectrogram library{QString()};
        library.attach(&reference.plot);
        for (int t = 0; t < kTicks; ++t) {
            const Tick& tick = ticks[static_cast<std::size_t>(t) % std::size(ticks)];
            view.applyColorScheme(tick.scheme);
            view.pushRow(
                std::vector<double>(history.begin() + t * 513, history.begin() + (t + 1) * 513),
                true);
            view.updateRaster(513, 0.0, 20.0, 0.0, 6.4, tick.zMin, tick.zMax);
            if (t % 7 != 6) continue;
            library.setColorMap(MakeColorMap(tick.scheme));
            library.setData(new Vorn_GUI_RasterData(view.values(), 513, 0.0, 20.0, 0.0, 6.4,
                                                    tick.zMin, tick.zMax, resample));
            // The colour bar the view puts on the right axis.
            QwtScaleWidget* bar = reference.plot.axisWidget(QwtPlot::yRight);
            bar->setColorBarEnabled(true);
            bar->setColorMap(QwtInterval(tick.zMin, tick.zMax), MakeColorMap(tick.scheme));
            reference.plot.setAxisScale(QwtPlot::yRight, tick.zMin, tick.zMax);
            reference.plot.enableAxis(QwtPlot::yRight, true);
            const double margin = t == 111 ? 3.0 : 0.0;
            for (QwtPlot* plot : {&fast.plot, &reference.plot}) {
                plot->resize(t >= 104 ? QSize(860, 430) : QSize(900, 450));
                plot->setAxisScale(QwtPlot::xBottom, -margin, 20.0 + margin);
                plot->setAxisScale(QwtPlot::yLeft, -margin, 6.4 + margin);
                plot->replot();
            }
            const QImage picture = Painted(fast.plot);
            ASSERT_TRUE(picture == Painted(reference.plot))
                << "tick " << t << " resample " << resample;
            // Painted again on what the first paint knew.
            ASSERT_TRUE(Painted(fast.plot) == picture) << "tick " << t << " resample " << resample;
        }
    }
}

}  // namespace

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

// A scrolling view tick by tick, its colours kept per cell across pushes, against the library
// drawing the same matrix from scratch: the z range and the scheme move between ticks.
TEST(SpectrogramItem, ScrollingViewLooksAsTheLibraryEveryTick) {
    struct Tick {
        double zMin;
        double zMax;
        int scheme;
    };
    // Eight ticks against a picture every seventh: each tick's scheme and range gets compared.
    const Tick ticks[] = {{-40, 40, kColorSchemeJet},
                          {-40, 40, kColorSchemeJet},
                          {-30, 40, kColorSchemeJet},
                          {-30, 40, kColorSchemeRgb},
                          {-30, 40, kColorSchemeStandard},
                          {-30, 40, kColorSchemeBlackWhite},
                          {-117, -3, 7},
                          {-117, -3, kColorSchemeRgb}};
    for (const int resample : {1, 0}) {
        QwtPlot plot;
        plot.resize(900, 450);
        plot.setAxisScale(QwtPlot::xBottom, 0.0, 20.0);
        plot.setAxisScale(QwtPlot::yLeft, 0.0, 6.4);
        WaterfallView view;
        view.setShape(513, 64, true);
        view.resampleMethod = resample;
        view.spectrogram->attach(&plot);
        const std::vector<double> history = RandomMatrix(513, 90, 5);
        for (int t = 0; t < 90; ++t) {
            const Tick& tick = ticks[static_cast<std::size_t>(t) % std::size(ticks)];
            view.applyColorScheme(tick.scheme);
            view.pushRow(
                std::vector<double>(history.begin() + t * 513, history.begin() + (t + 1) * 513),
                true);
            view.updateRaster(513, 0.0, 20.0, 0.0, 6.4, tick.zMin, tick.zMax);
            if (t % 7 != 6) continue;
            plot.replot();
            const QImage fast = plot.grab().toImage();
            view.spectrogram->detach();
            QwtPlotSpectrogram library{QString()};
            library.setColorMap(MakeColorMap(tick.scheme));
            library.setData(new Vorn_GUI_RasterData(view.values(), 513, 0.0, 20.0, 0.0, 6.4,
                                                    tick.zMin, tick.zMax, resample));
            library.attach(&plot);
            plot.replot();
            const QImage reference = plot.grab().toImage();
            library.detach();
            view.spectrogram->attach(&plot);
            ASSERT_TRUE(fast == reference) << "tick " << t << " resample " << resample;
        }
    }
}

// The canvas background drawn as an item leaves out what the map covers opaquely, known from
// the last paint: each step changes what that knowledge rests on (a not-a-number cell, the
// canvas size, the axes beyond the data), with a zone beneath the image. The picture must stay
// the library's item on a canvas that fills its own background.
TEST(CanvasBackground, LeavesOutOnlyWhatTheImageCovers) {
    struct Shown {
        QwtPlot plot;
        QwtPlotZoneItem zone;
        explicit Shown(bool asItem) {
            plot.setCanvasBackground(QColor(56, 56, 56));
            // Drawn straight to the window, as the window's plots are.
            static_cast<QwtPlotCanvas*>(plot.canvas())
                ->setPaintAttribute(QwtPlotCanvas::BackingStore, false);
            if (asItem) CanvasBackground::install(&plot);
            plot.resize(700, 400);
            zone.setOrientation(Qt::Vertical);
            zone.setBrush(QColor(61, 69, 86));
            zone.setInterval(-25.0, -10.0);
            zone.attach(&plot);
        }
    };
    Shown fast(true);
    WaterfallView view;
    view.setShape(256, 64, false);
    view.applyColorScheme(kColorSchemeJet);
    view.spectrogram->attach(&fast.plot);
    Shown reference(false);
    QwtPlotSpectrogram library{QString()};
    library.setColorMap(MakeColorMap(kColorSchemeJet));
    library.attach(&reference.plot);
    // The colour bar the view puts on the right axis.
    reference.plot.axisWidget(QwtPlot::yRight)->setColorBarEnabled(true);
    reference.plot.axisWidget(QwtPlot::yRight)
        ->setColorMap(QwtInterval(-40.0, 40.0), MakeColorMap(kColorSchemeJet));
    reference.plot.setAxisScale(QwtPlot::yRight, -40.0, 40.0);
    reference.plot.enableAxis(QwtPlot::yRight, true);

    std::vector<double> map = RandomMatrix(256, 64, 7);
    map[3] = -40.0;
    map[5] = -40.0;
    const struct {
        const char* what;
        int nanCell;    // -1 none
        QSize size;     // empty: unchanged
        double margin;  // axis range beyond the data
    } steps[] = {{"first paint", -1, {}, 0.0},
                 {"same geometry", -1, {}, 0.0},
                 {"a not-a-number cell", 30 * 256 + 200, {}, 0.0},
                 {"covered again", -1, {}, 0.0},
                 {"another canvas size", -1, QSize(640, 380), 0.0},
                 {"axes beyond the data", -1, {}, 3.0},
                 {"axes a fraction of a cell beyond", -1, {}, 0.07},
                 {"covered again", -1, {}, 0.0}};
    // What the widgets paint, on a colour none of them uses: a pixel nothing paints shows.
    auto picture = [](QwtPlot& plot) {
        QImage image(plot.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);
        plot.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    };
    for (const auto& step : steps) {
        std::vector<double> values = map;
        if (step.nanCell >= 0) values[static_cast<std::size_t>(step.nanCell)] = std::nan("");
        library.setData(
            new Vorn_GUI_RasterData(values, 256, -25.0, 25.0, 0.0, 51.2, -40.0, 40.0, 1));
        view.showMatrix(values, 256, -25.0, 25.0, 0.0, 51.2, -40.0, 40.0);
        for (QwtPlot* plot : {&fast.plot, &reference.plot}) {
            if (!step.size.isEmpty()) plot->resize(step.size);
            plot->setAxisScale(QwtPlot::xBottom, -25.0 - step.margin, 25.0 + step.margin);
            plot->setAxisScale(QwtPlot::yLeft, 0.0 - step.margin, 51.2 + step.margin);
            plot->replot();
        }
        const QImage first = picture(fast.plot);
        EXPECT_TRUE(first == picture(reference.plot)) << step.what;
        // Painted twice with the same geometry, the second time on what the first one knew.
        EXPECT_TRUE(picture(fast.plot) == first) << step.what;
    }
}

}  // namespace

// The fast image path against the library's own: same colour for every value, same pixels for
// every image, nearest and bilinear, in every scheme.
#include "display/image_item.h"

#include <gtest/gtest.h>
#include <qwt_color_map.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_scale_map.h>
#include <QImage>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "display/color_ramp.h"
#include "display/color_schemes.h"
#include "display/raster_data.h"

namespace {

TEST(ColorRamp, GivesTheColourMapsOwnColours) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> anywhere(-80.0, 80.0);
    const double inf = std::numeric_limits<double>::infinity();
    for (const int scheme :
         {kColorSchemeStandard, kColorSchemeRgb, kColorSchemeBlackWhite, kColorSchemeJet, 7}) {
        const std::unique_ptr<QwtLinearColorMap> map(MakeColorMap(scheme));
        const ColorRamp ramp(SchemeStops(scheme));
        for (const QwtInterval& interval :
             {QwtInterval(-50.0, 50.0), QwtInterval(-117.0, -3.0), QwtInterval(5.0, 5.0)}) {
            std::vector<double> values = {std::nan(""),        inf, -inf, interval.minValue(),
                                          interval.maxValue(), 0.0};
            // Every stop position, and just either side of it.
            for (const double stop : map->colorStops()) {
                const double v = interval.minValue() + stop * interval.width();
                values.insert(values.end(), {v, std::nextafter(v, -inf), std::nextafter(v, inf)});
            }
            for (int i = 0; i < 20000; ++i) values.push_back(anywhere(rng));
            for (const double v : values) {
                ASSERT_EQ(ramp.rgb(interval, v), map->rgb(interval, v))
                    << "scheme " << scheme << " value " << v;
            }
        }
    }
}

class Probe : public SpectrogramItem {
public:
    QImage render(bool fast, const QwtScaleMap& x, const QwtScaleMap& y, const QRectF& area,
                  const QSize& size) const {
        return fast ? renderImage(x, y, area, size)
                    : QwtPlotSpectrogram::renderImage(x, y, area, size);
    }
};

std::vector<double> RandomMatrix(int columns, int rows, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> db(-20.0, 25.0);
    std::vector<double> values(static_cast<std::size_t>(columns) * rows);
    for (double& v : values) v = db(rng);
    values[3] = -std::numeric_limits<double>::infinity();  // a zero bin
    values[5] = std::nan("");
    return values;
}

TEST(SpectrogramItem, RendersTheLibrarysPixels) {
    struct Case {
        int columns;
        int rows;
        QSize size;
        int resample;
    };
    const Case cases[] = {{1024, 513, QSize(1024, 513), 1}, {1024, 513, QSize(1357, 673), 1},
                          {1024, 513, QSize(1357, 673), 0}, {513, 64, QSize(700, 301), 0},
                          {1024, 1024, QSize(997, 683), 1}, {1024, 8, QSize(640, 480), 0}};
    unsigned seed = 1;
    for (const Case& c : cases) {
        for (const int scheme : {kColorSchemeJet, kColorSchemeRgb, kColorSchemeStandard}) {
            Probe item;
            item.setRenderThreadCount(0);
            item.setColorMapWithRamp(MakeColorMap(scheme), ColorRamp(SchemeStops(scheme)));
            item.setData(new Vorn_GUI_RasterData(RandomMatrix(c.columns, c.rows, seed++), c.columns,
                                                 -12.5, 12.5, 0.0, 38.4, -45.0, 30.0, c.resample));
            // Slightly wider than the data on both axes, so the border pixels fall outside.
            QwtScaleMap x;
            x.setScaleInterval(-12.7, 12.6);
            x.setPaintInterval(0, c.size.width());
            QwtScaleMap y;
            y.setScaleInterval(-0.3, 38.5);
            y.setPaintInterval(c.size.height(), 0);
            const QRectF area(-12.7, -0.3, 25.3, 38.8);
            const QImage fast = item.render(true, x, y, area, c.size);
            const QImage library = item.render(false, x, y, area, c.size);
            ASSERT_EQ(fast.size(), library.size());
            ASSERT_EQ(fast.format(), library.format());
            EXPECT_TRUE(fast == library)
                << c.columns << "x" << c.rows << " scheme " << scheme << " resample " << c.resample;
        }
    }
}

// The whole plot as the operator sees it: the item against a plain QwtPlotSpectrogram in an
// identical plot, so the library's own drawing (its nearest-neighbour expansion included) is
// the reference.
QImage DrawPlot(QwtPlotSpectrogram* item, bool withRamp, int resample, const QSize& size) {
    QwtPlot plot;
    plot.resize(size);
    item->attach(&plot);
    item->setData(new Vorn_GUI_RasterData(RandomMatrix(1024, 513, 99), 1024, -25.0, 25.0, 0.0, 51.2,
                                          -40.0, 40.0, resample));
    plot.setAxisScale(QwtPlot::xBottom, -25.0, 25.0);
    plot.setAxisScale(QwtPlot::yLeft, 0.0, 51.2);
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
    for (const QSize& size : {QSize(1400, 700), QSize(1100, 450), QSize(700, 900)}) {
        for (const int resample : {1, 0}) {
            const QImage fast = DrawPlot(new SpectrogramItem(), true, resample, size);
            const QImage library =
                DrawPlot(new QwtPlotSpectrogram(QString()), false, resample, size);
            EXPECT_TRUE(fast == library)
                << "resample " << resample << " size " << size.width() << "x" << size.height();
        }
    }
}

}  // namespace

// The values under the mouse, in each display mode: the numbers are those of the point under
// the mouse in the plot's own units, the level that of the image's cell there, and a click puts
// the same text on the clipboard.
#include <qwt_picker.h>
#include <qwt_plot.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_map.h>
#include <QApplication>
#include <QClipboard>
#include <QMouseEvent>
#include <QRegularExpression>

#include <cmath>

#include "display/display_modes.h"
#include "display/raster_data.h"
#include "window_fixture.h"

namespace {

struct ReadoutCase {
    int operatingMode;
    int displayMode;
    bool bottom;
    // The quantity read off each axis and its unit. No y quantity: the y axis is the
    // waterfall's time, read as the elapsed time of the row.
    const char* x;
    const char* xUnit;
    const char* y;
    const char* yUnit;
    bool image;
};

// The number after "Name: " and before " unit", NaN when the line is missing.
double Quantity(const QString& text, const QString& name, const QString& unit) {
    const QRegularExpression line(QStringLiteral("(^|\n)%1: (-?[0-9.]+) %2(\n|$)")
                                      .arg(name, QRegularExpression::escape(unit)));
    const QRegularExpressionMatch m = line.match(text);
    return m.hasMatch() ? m.captured(2).toDouble() : std::nan("");
}

double PixelStep(const QwtScaleMap& map) {
    return std::abs(map.invTransform(1.0) - map.invTransform(0.0));
}

void Send(QWidget* canvas, QEvent::Type type, const QPoint& at, Qt::MouseButton button) {
    QMouseEvent event(type, at, button, type == QEvent::MouseMove ? Qt::NoButton : button,
                      Qt::NoModifier);
    QApplication::sendEvent(canvas, &event);
}

}  // namespace

class ReadoutTest : public WindowTest {};

TEST_F(ReadoutTest, ShowsThePointUnderTheMouseAndCopiesItOnAClick) {
    using namespace vorn;
    const ReadoutCase cases[] = {
        {kOperatingModeFmcwSawtooth, kDisplayModeRangeScope, false, "Time", "s", "Amplitude",
         "counts", false},
        {kOperatingModeFmcwSawtooth, kDisplayModeRangeScope, true, "Range", "m", "Level", "dB",
         false},
        {kOperatingModeFmcwSawtooth, kDisplayModeRangeVelocityMap, true, "Velocity", "m/s", "Range",
         "m", true},
        {kOperatingModeCw, kDisplayModeVelocityWaterfall, true, "Velocity", "m/s", nullptr, nullptr,
         true},
    };
    Activate();
    ASSERT_TRUE(Streaming());
    window->show();
    for (const ReadoutCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "operating " << c.operatingMode << ", display "
                                        << c.displayMode << (c.bottom ? ", bottom" : ", top"));
        OperatingModeButton(ui(), c.operatingMode)->click();
        DisplayModeButton(ui(), c.displayMode)->click();
        for (int i = 0; i < 3; ++i) Tick();
        QwtPlot* const plot = c.bottom ? ui().qwtPlotScope_2 : ui().qwtPlotScope_1;
        QApplication::processEvents();
        plot->replot();

        // A point off the grid lines and off zero velocity, a little above the bottom.
        const QwtScaleMap xMap = plot->canvasMap(QwtPlot::xBottom);
        const QwtScaleMap yMap = plot->canvasMap(QwtPlot::yLeft);
        const double x = xMap.s1() + 0.37 * (xMap.s2() - xMap.s1());
        const double y = yMap.s1() + 0.23 * (yMap.s2() - yMap.s1());
        const QPoint pixel(qRound(xMap.transform(x)), qRound(yMap.transform(y)));
        const double atX = xMap.invTransform(pixel.x());
        const double atY = yMap.invTransform(pixel.y());

        QWidget* const canvas = plot->canvas();
        auto* const picker = canvas->findChild<QwtPicker*>();
        ASSERT_NE(picker, nullptr);
        Send(canvas, QEvent::MouseMove, pixel, Qt::NoButton);
        ASSERT_EQ(picker->trackerPosition(), pixel);
        const QString text = picker->trackerText(pixel).text();
        SCOPED_TRACE(text.toStdString());
        EXPECT_NEAR(Quantity(text, c.x, c.xUnit), x, 1.5 * PixelStep(xMap));
        if (c.y != nullptr) {
            EXPECT_NEAR(Quantity(text, c.y, c.yUnit), y, 1.5 * PixelStep(yMap));
        }
        if (c.image) {
            const QwtPlotItemList images = plot->itemList(QwtPlotItem::Rtti_PlotSpectrogram);
            ASSERT_EQ(images.size(), 1);
            const auto* raster = dynamic_cast<const Vorn_GUI_RasterData*>(
                static_cast<QwtPlotSpectrogram*>(images.front())->data());
            ASSERT_NE(raster, nullptr);
            EXPECT_TRUE(text.contains(
                QStringLiteral("\nLevel: %1 dB").arg(raster->value(atX, atY), 0, 'f', 1)));
        }
        if (c.image && c.y == nullptr) {
            // One row per update, the newest at the bottom of the time axis.
            const double period = ui().spinBoxPUpdateRate->value() * 0.001;
            EXPECT_NEAR(Quantity(text, "Elapsed", "s"), std::floor(atY / period) * period, 1e-9);
        }

        QGuiApplication::clipboard()->clear();
        Send(canvas, QEvent::MouseButtonPress, pixel, Qt::LeftButton);
        Send(canvas, QEvent::MouseButtonRelease, pixel, Qt::LeftButton);
        EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
    }
}

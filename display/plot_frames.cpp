#include "display/plot_frames.h"

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_text.h>
#include <QCoreApplication>
#include <QGroupBox>

#include "display/display_modes.h"

namespace vorn {
namespace {

// The window's texts, translated in its context.
#define VORN_TEXT(text) QT_TRANSLATE_NOOP("Vorn_GUI", text)

QString Text(const char* text) {
    return QCoreApplication::translate("Vorn_GUI", text);
}

constexpr const char* kRangeTitle = VORN_TEXT("Range (meters)");
constexpr const char* kVelocityTitle = VORN_TEXT("Radial Velocity (meters per second)");
constexpr const char* kElapsedTitle = VORN_TEXT("Elapsed Time (seconds)");
constexpr const char* kIntensityTitle = VORN_TEXT("Intensity (dB)");
constexpr const char* kCwVelocityTitle = VORN_TEXT("Radial Velocity (meters per Second)");
constexpr const char* kFskTitle = VORN_TEXT("FSK Processing Information");

// One pair of modes a row.
// clang-format off
constexpr SpanOf kAuto = nullptr, kRange = &PlotSpans::range, kVelocity = &PlotSpans::velocity,
                 kHistory = &PlotSpans::history, kLevel = &PlotSpans::level;
constexpr int kFmcw = kOperatingModeFmcwSawtooth, kFsk = kOperatingModeFsk, kCw = kOperatingModeCw;
constexpr PlotFrame kFrames[] = {
    {kFmcw, kDisplayModeRangeScope, true, VORN_TEXT("Range Scope Display"),
     kRangeTitle, kRange, kIntensityTitle, kAuto, VORN_TEXT("FMCW Range")},
    {kFmcw, kDisplayModeRangeWaterfall, true, VORN_TEXT("Range Waterfall Display"),
     kRangeTitle, kRange, kElapsedTitle, kHistory, nullptr},
    {kFmcw, kDisplayModeRangeVelocityMap, false, VORN_TEXT("Range-Velocity Map"),
     kVelocityTitle, kVelocity, kRangeTitle, kRange, nullptr},
    {kFmcw, kDisplayModeVelocityWaterfall, false, VORN_TEXT("Velocity Waterfall Display"),
     kVelocityTitle, kVelocity, kElapsedTitle, kHistory, nullptr},
    {kCw, kDisplayModeVelocityScope, true, VORN_TEXT("Velocity Scope Display"),
     kCwVelocityTitle, kVelocity, kIntensityTitle, kAuto, VORN_TEXT("CW Velocity")},
    {kCw, kDisplayModeVelocityWaterfall, true, VORN_TEXT("Velocity Waterfall Display"),
     kCwVelocityTitle, kVelocity, kElapsedTitle, kHistory, nullptr},
    {kFsk, kDisplayModeVelocityScope, true, kFskTitle,
     kVelocityTitle, kVelocity, VORN_TEXT("Amplitude (dB)"), kLevel, VORN_TEXT("FSK Velocity")},
    {kFsk, kDisplayModeVelocityWaterfall, true, kFskTitle,
     kVelocityTitle, kVelocity, kElapsedTitle, kHistory, nullptr},
    {kFsk, kDisplayModeRangeWaterfall, true, kFskTitle,
     kRangeTitle, kRange, kElapsedTitle, kHistory, nullptr},
};
// clang-format on

// In the plots' small type.
void SetAxisTitle(QwtPlot* plot, int axis, const QString& title) {
    QwtText text(title);
    QFont font = text.font();
    font.setPointSize(8);
    text.setFont(font);
    plot->setAxisTitle(axis, text);
}

}  // namespace

const PlotFrame* PlotFrameFor(int operatingMode, int displayMode) {
    for (const PlotFrame& f : kFrames)
        if (f.operatingMode == operatingMode && f.displayMode == displayMode) return &f;
    return nullptr;
}

void ApplyPlotFrame(const PlotFrame& frame, const PlotSpans& spans, QGroupBox* topBox, QwtPlot* top,
                    QGroupBox* bottomBox, QwtPlot* bottom, QwtPlotCurve* spectrum) {
    if (frame.timeScope) {
        topBox->show();
        topBox->setTitle(Text("Time Scope Display"));
        SetAxisTitle(top, QwtPlot::xBottom, Text("Time (seconds)"));
        SetAxisTitle(top, QwtPlot::yLeft, Text("Amplitude"));
        top->setAxisScale(QwtPlot::xBottom, spans.scope.lower, spans.scope.upper);
    } else {
        topBox->hide();
    }
    bottomBox->setTitle(Text(frame.title));
    SetAxisTitle(bottom, QwtPlot::xBottom, Text(frame.xTitle));
    if (frame.x)
        bottom->setAxisScale(QwtPlot::xBottom, (spans.*frame.x).lower, (spans.*frame.x).upper,
                             (spans.*frame.x).step);
    SetAxisTitle(bottom, QwtPlot::yLeft, Text(frame.yTitle));
    if (frame.y)
        bottom->setAxisScale(QwtPlot::yLeft, (spans.*frame.y).lower, (spans.*frame.y).upper,
                             (spans.*frame.y).step);
    if (frame.curveTitle && spectrum) spectrum->setTitle(Text(frame.curveTitle));
}

}  // namespace vorn

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

struct Entry {
    int operatingMode;
    int displayMode;
    PlotFrame frame;
};

constexpr Entry kFrames[] = {
    {kOperatingModeFmcwSawtooth,
     kDisplayModeRangeScope,
     {true, VORN_TEXT("Range Scope Display"), kRangeTitle, ScaleSpan::Range, kIntensityTitle,
      ScaleSpan::Automatic, VORN_TEXT("FMCW Range")}},
    {kOperatingModeFmcwSawtooth,
     kDisplayModeRangeWaterfall,
     {true, VORN_TEXT("Range Waterfall Display"), kRangeTitle, ScaleSpan::Range, kElapsedTitle,
      ScaleSpan::History, nullptr}},
    {kOperatingModeFmcwSawtooth,
     kDisplayModeRangeVelocityMap,
     {false, VORN_TEXT("Range-Velocity Map"), kVelocityTitle, ScaleSpan::Velocity, kRangeTitle,
      ScaleSpan::Range, nullptr}},
    {kOperatingModeFmcwSawtooth,
     kDisplayModeVelocityWaterfall,
     {false, VORN_TEXT("Velocity Waterfall Display"), kVelocityTitle, ScaleSpan::Velocity,
      kElapsedTitle, ScaleSpan::History, nullptr}},
    {kOperatingModeCw,
     kDisplayModeVelocityScope,
     {true, VORN_TEXT("Velocity Scope Display"), VORN_TEXT("Radial Velocity (meters per Second)"),
      ScaleSpan::Velocity, kIntensityTitle, ScaleSpan::Automatic, VORN_TEXT("CW Velocity")}},
    {kOperatingModeCw,
     kDisplayModeVelocityWaterfall,
     {true, VORN_TEXT("Velocity Waterfall Display"),
      VORN_TEXT("Radial Velocity (meters per Second)"), ScaleSpan::Velocity, kElapsedTitle,
      ScaleSpan::History, nullptr}},
    {kOperatingModeFsk,
     kDisplayModeVelocityScope,
     {true, VORN_TEXT("FSK Processing Information"), kVelocityTitle, ScaleSpan::Velocity,
      VORN_TEXT("Amplitude (dB)"), ScaleSpan::Level, VORN_TEXT("FSK Velocity")}},
    {kOperatingModeFsk,
     kDisplayModeVelocityWaterfall,
     {true, VORN_TEXT("FSK Processing Information"), kVelocityTitle, ScaleSpan::Velocity,
      kElapsedTitle, ScaleSpan::History, nullptr}},
    {kOperatingModeFsk,
     kDisplayModeRangeWaterfall,
     {true, VORN_TEXT("FSK Processing Information"), kRangeTitle, ScaleSpan::Range, kElapsedTitle,
      ScaleSpan::History, nullptr}},
};

void SetScale(QwtPlot* plot, int axis, ScaleSpan span, const PlotSpans& spans) {
    switch (span) {
        case ScaleSpan::Automatic:
            break;
        case ScaleSpan::Range:
            plot->setAxisScale(axis, 0.0, spans.maxRange);
            break;
        case ScaleSpan::Velocity:
            plot->setAxisScale(axis, -spans.maxVelocity, spans.maxVelocity);
            break;
        case ScaleSpan::History:
            plot->setAxisScale(axis, 0.0, spans.history, spans.history);
            break;
        case ScaleSpan::Level:
            plot->setAxisScale(axis, kFskLevelLow, kFskLevelHigh);
            break;
    }
}

}  // namespace

const PlotFrame* PlotFrameFor(int operatingMode, int displayMode) {
    for (const Entry& e : kFrames)
        if (e.operatingMode == operatingMode && e.displayMode == displayMode) return &e.frame;
    return nullptr;
}

void SetAxisTitle(QwtPlot* plot, int axis, const QString& title) {
    QwtText text(title);
    QFont font = text.font();
    font.setPointSize(8);
    text.setFont(font);
    plot->setAxisTitle(axis, text);
}

void ApplyPlotFrame(const PlotFrame& frame, const PlotSpans& spans, const FramedPlots& plots) {
    if (frame.timeScope) {
        plots.topBox->show();
        plots.topBox->setTitle(Text("Time Scope Display"));
        SetAxisTitle(plots.top, QwtPlot::xBottom, Text("Time (seconds)"));
        SetAxisTitle(plots.top, QwtPlot::yLeft, Text("Amplitude"));
        plots.top->setAxisScale(QwtPlot::xBottom, spans.scopeStart, spans.scopeEnd);
    } else {
        plots.topBox->hide();
    }
    plots.bottomBox->setTitle(Text(frame.title));
    SetAxisTitle(plots.bottom, QwtPlot::xBottom, Text(frame.xTitle));
    SetScale(plots.bottom, QwtPlot::xBottom, frame.x, spans);
    SetAxisTitle(plots.bottom, QwtPlot::yLeft, Text(frame.yTitle));
    SetScale(plots.bottom, QwtPlot::yLeft, frame.y, spans);
    if (frame.curveTitle && plots.spectrum) plots.spectrum->setTitle(Text(frame.curveTitle));
}

}  // namespace vorn

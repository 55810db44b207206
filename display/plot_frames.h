#pragma once
// What frames the two plots in each pair of operating and display mode: the group and axis
// titles, and the span each fixed scale covers. The spans' values follow the radar's
// parameters, so the frame is applied again whenever those change.
#include <QString>

class QGroupBox;
class QwtPlot;
class QwtPlotCurve;

namespace vorn {

// The span a scale of the bottom plot covers; Automatic leaves it to every tick.
enum class ScaleSpan { Automatic, Range, Velocity, History, Level };

// The span of the FSK level gauge and threshold, which its spectrum's scale shares.
inline constexpr double kFskLevelLow = -50.0;
inline constexpr double kFskLevelHigh = 150.0;

struct PlotFrame {
    int operatingMode;
    int displayMode;
    bool timeScope;  // the top plot shows the I/Q time scope; hidden otherwise
    const char* title;
    const char* xTitle;
    ScaleSpan x;
    const char* yTitle;
    ScaleSpan y;
    const char* curveTitle;  // the spectrum curve's; nullptr where there is none
};

// nullptr for a pair that has no processing.
const PlotFrame* PlotFrameFor(int operatingMode, int displayMode);

struct PlotSpans {
    double maxRange = 0.0;  // FSK: the range its tone step resolves
    double maxVelocity = 0.0;
    double history = 0.0;  // seconds the waterfall's rows cover
    double scopeStart = 0.0;
    double scopeEnd = 0.0;
};

// `spectrum` may be nullptr.
void ApplyPlotFrame(const PlotFrame& frame, const PlotSpans& spans, QGroupBox* topBox, QwtPlot* top,
                    QGroupBox* bottomBox, QwtPlot* bottom, QwtPlotCurve* spectrum);

// Axis titles in the plots' small type.
void SetAxisTitle(QwtPlot* plot, int axis, const QString& title);

}  // namespace vorn

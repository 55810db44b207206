#pragma once
// What frames the two plots in each pair of operating and display mode: the group and axis
// titles, and the span each fixed scale covers. The spans' values follow the radar's
// parameters, so the frame is applied again whenever those change.
class QGroupBox;
class QwtPlot;
class QwtPlotCurve;

namespace vorn {

// The span of the FSK level gauge and threshold, which its spectrum's scale shares.
inline constexpr double kFskLevelLow = -50.0;
inline constexpr double kFskLevelHigh = 150.0;

// A scale's span; a step of 0 leaves the ticks to the plot.
struct ScaleSpan {
    double lower = 0.0;
    double upper = 0.0;
    double step = 0.0;
};

// The spans under the radar's current parameters.
struct PlotSpans {
    ScaleSpan range;     // 0 ... Rmax (FSK: the range its tone step resolves)
    ScaleSpan velocity;  // -vmax ... vmax
    ScaleSpan history;   // the seconds the waterfall's rows cover, in one step
    ScaleSpan level{kFskLevelLow, kFskLevelHigh};
    ScaleSpan scope;  // the time scope's x axis
};
// Which of the spans a scale covers; nullptr leaves it to every tick.
using SpanOf = ScaleSpan PlotSpans::*;

struct PlotFrame {
    int operatingMode;
    int displayMode;
    bool timeScope;  // the top plot shows the I/Q time scope; hidden otherwise
    const char* title;
    const char* xTitle;
    SpanOf x;
    const char* yTitle;
    SpanOf y;
    const char* curveTitle;  // the spectrum curve's; nullptr where there is none
};

// nullptr for a pair that has no processing.
const PlotFrame* PlotFrameFor(int operatingMode, int displayMode);

// `spectrum` may be nullptr.
void ApplyPlotFrame(const PlotFrame& frame, const PlotSpans& spans, QGroupBox* topBox, QwtPlot* top,
                    QGroupBox* bottomBox, QwtPlot* bottom, QwtPlotCurve* spectrum);

}  // namespace vorn

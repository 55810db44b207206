// What the processing routines share: control state for the chains, the time scope, the
// automatic dynamic range and the axis titles.
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_zoneitem.h>
#include <qwt_scale_engine.h>
#include <qwt_text.h>
#include <QLabel>
#include <QListWidget>
#include <QSlider>

#include <algorithm>
#include <iterator>

#include "app/vorn_gui.h"
#include "display/waterfall_view.h"

vorn::dsp::RadarParameters Vorn_GUI::RadarNow() const {
    return {sweepTimeMs, samplesPerSweep, bandwidthHz, centerFrequencyHz};
}

vorn::dsp::OperatorChoices Vorn_GUI::ChoicesFromControls(vorn::dsp::OperatorChoices choices) const {
    choices.clutterMode =
        ui.filterOptionDirectClutter->isChecked()          ? vorn::dsp::ClutterMode::Reference
        : ui.filterOptionDirectClutterAverage->isChecked() ? vorn::dsp::ClutterMode::MovingAverage
                                                           : vorn::dsp::ClutterMode::Disabled;
    choices.clutterAverageCount = ui.filterOptionDirectClutterAvgCount->value();
    choices.iqBalancing = {ui.filterOptionDCSubtract->isChecked(),
                           ui.filterOptionIQAmplitude->isChecked()};
    choices.hammingWindow = ui.filterOptionHammingWindow->isChecked();
    choices.rangeWeighting = ui.isRangeWeighting->isChecked();
    return choices;
}

vorn::dsp::DynamicRangeControls Vorn_GUI::DynamicRangeFromControls() const {
    vorn::dsp::DynamicRangeControls controls;
    controls.autoMaximum = ui.DynamicRange_Maximum_EN->isChecked();
    controls.autoMinimum = ui.DynamicRange_Minimum_EN->isChecked();
    controls.sliderMaximum = ui.DynamicRange_Maximum->value();
    controls.sliderMinimum = ui.DynamicRange_Minimum->value();
    return controls;
}

void Vorn_GUI::ResetWindowSliders(QSlider* low, QSlider* high,
                                  const vorn::dsp::WindowBounds& full) {
    for (QSlider* slider : {low, high})
        slider->setRange(static_cast<int>(full.lower), static_cast<int>(full.upper));
    low->setValue(static_cast<int>(full.lower));
    high->setValue(static_cast<int>(full.upper));
}

vorn::dsp::WindowBounds Vorn_GUI::WindowFromSliders(QSlider* low, QSlider* high, QLabel* lowLabel,
                                                    QLabel* highLabel, const QString& format) {
    const vorn::dsp::WindowBounds bounds = vorn::dsp::OrderWindowBounds(
        low->value(), high->value(), high->hasFocus(), low->minimum(), low->maximum());
    // The sliders hold whole numbers, and so do the ordered bounds.
    low->setValue(static_cast<int>(bounds.lower));
    high->setValue(static_cast<int>(bounds.upper));
    const vorn::dsp::WindowBounds window{static_cast<double>(low->value()),
                                         static_cast<double>(high->value())};
    lowLabel->setText(format.arg(window.lower));
    highLabel->setText(format.arg(window.upper));
    return window;
}

void Vorn_GUI::ShowWindowZone(const vorn::dsp::WindowBounds& window, double fullLower,
                              double fullUpper) {
    if (!windowZone) return;
    const bool on = vorn::dsp::IsWindowActive(window, fullLower, fullUpper);
    windowZone->setVisible(on);
    if (on)
        windowZone->setInterval(window.lower, window.upper);
    else
        windowZone->setInterval(fullLower, fullUpper);
}

void Vorn_GUI::FramePlots(double maxRange, double maxVelocity, double scopeStart, double scopeEnd) {
    if (!processingReset) return;
    const vorn::PlotFrame* frame = vorn::PlotFrameFor(operatingMode, displayMode);
    if (!frame) return;
    const double history = historyRows * updatePeriodS;
    vorn::PlotSpans spans;
    spans.range = {0.0, maxRange};
    spans.velocity = {-maxVelocity, maxVelocity};
    spans.history = {0.0, history, history};
    spans.scope = {scopeStart, scopeEnd};
    vorn::ApplyPlotFrame(*frame, spans, ui.groupBox_Top, ui.qwtPlotScope_1, ui.groupBox_Bottom,
                         ui.qwtPlotScope_2, curveSpectrum);
    processingReset = false;
}

void Vorn_GUI::ScaleTimeScope(bool normalised, bool clutterCancelled) {
    QwtPlot* top = ui.qwtPlotScope_1;
    const double half = normalised ? 1.0 : clutterCancelled ? 100.0 : 0.0;
    if (half == 0.0) {
        if (!top->axisAutoScale(QwtPlot::yLeft)) top->setAxisAutoScale(QwtPlot::yLeft);
        return;
    }
    const QwtInterval fixed(-half, half);
    if (top->axisAutoScale(QwtPlot::yLeft) || top->axisInterval(QwtPlot::yLeft) != fixed)
        top->setAxisScale(QwtPlot::yLeft, -half, half, normalised ? 0.5 : 20.0);
}

void Vorn_GUI::UpdateTimeScope(const vorn::dsp::IqTraces& scope, double samplePeriod,
                               std::optional<double> spanEnd) {
    if (timeAxisDirty) {
        const double period =
            vorn::dsp::ResolveSamplePeriod(samplePeriod, sweepTimeMs, samplesPerSweep);
        timeAxis = vorn::dsp::TimeAxis(scope.i.size(), period);
        if (spanEnd)
            ui.qwtPlotScope_1->setAxisScale(QwtPlot::xBottom, 0.0001, *spanEnd);
        else
            ui.qwtPlotScope_1->setAxisScale(QwtPlot::xBottom, 0.0,
                                            static_cast<double>(scope.i.size()) * period);
        timeAxisDirty = false;
    }
    // A block of another length than the axis was built for (a changed sweep count before
    // the reset reached this tick) is drawn over the points both have.
    const int n = static_cast<int>(std::min(timeAxis.size(), scope.i.size()));
    if (curveI) curveI->setSamples(timeAxis.data(), scope.i.data(), n);
    if (curveQ) curveQ->setSamples(timeAxis.data(), scope.q.data(), n);
}

void Vorn_GUI::ShowWaterfallRow(const std::vector<double>& row, int colorScheme, double xLow,
                                double xHigh, int maxFraction, int minFraction) {
    if (!waterfall) return;
    waterfall->applyColorScheme(colorScheme);
    const auto cells = [this](int fraction) {
        return static_cast<std::size_t>(historyRows / fraction) * vorn::dsp::kTransformSize;
    };
    const vorn::dsp::DynamicRange range = AutoDynamicRange(waterfall->data(), waterfall->size(),
                                                           cells(maxFraction), cells(minFraction));
    waterfall->pushRow(row, true);
    waterfall->updateRaster(static_cast<int>(row.size()), xLow, xHigh, 0.0,
                            historyRows * updatePeriodS, range.minimum, range.maximum);
}

vorn::dsp::DynamicRange Vorn_GUI::AutoDynamicRange(const std::vector<double>& values) {
    return AutoDynamicRange(values.data(), values.size(), values.size(), values.size());
}

vorn::dsp::DynamicRange Vorn_GUI::AutoDynamicRange(const double* values, std::size_t size,
                                                   std::size_t maxCount, std::size_t minCount) {
    const vorn::dsp::DynamicRangeControls controls = DynamicRangeFromControls();
    const vorn::dsp::DynamicRange range =
        vorn::dsp::AutoDynamicRange(controls, values, size, maxCount, minCount);
    if (controls.autoMaximum) ui.DynamicRange_Maximum->setValue(range.maximum);
    if (controls.autoMinimum) ui.DynamicRange_Minimum->setValue(range.minimum);
    return range;
}

bool Vorn_GUI::CfarEnabled() const {
    return ui.checkCfarEnable->isChecked();
}

vorn::dsp::CfarSettings Vorn_GUI::CfarSettingsFromControls() const {
    vorn::dsp::CfarSettings s;
    const int choice = ui.comboCfarPfa->currentIndex();
    if (choice >= 0 && choice < static_cast<int>(std::size(vorn::dsp::kCfarPfaChoices)))
        s.pfa = vorn::dsp::kCfarPfaChoices[choice];
    s.range = {ui.spinBoxCfarGuardRange->value(), ui.spinBoxCfarTrainRange->value()};
    s.doppler = {ui.spinBoxCfarGuardDoppler->value(), ui.spinBoxCfarTrainDoppler->value()};
    return s;
}

void Vorn_GUI::ShowDetections(const std::vector<ListedDetection>& detections) {
    if (!CfarEnabled()) {
        delete plotItems.detectionMarks;
        plotItems.detectionMarks = nullptr;
        ui.listCfarDetections->clear();
        ui.listCfarDetections->hide();
        return;
    }
    if (!plotItems.detectionMarks)
        plotItems.detectionMarks = vorn::MakeDetectionMarks(ui.qwtPlotScope_2);
    QVector<QPointF> marks;
    marks.reserve(static_cast<int>(detections.size()));
    for (const ListedDetection& d : detections) marks.append(QPointF(d.x, d.y));
    plotItems.detectionMarks->setSamples(marks);
    // The strongest 16: a longer list would not be read during one update.
    ui.listCfarDetections->clear();
    for (std::size_t k = 0; k < std::min<std::size_t>(16, detections.size()); ++k) {
        const ListedDetection& d = detections[k];
        // Centimetres and centimetres per second: finer than one cell of the map.
        QString text = tr("%1 m").arg(d.range, 0, 'f', 2);
        if (d.velocity) text += tr(", %1 m/s").arg(*d.velocity, 0, 'f', 2);
        text += tr(", %1 dB").arg(d.level, 0, 'f', 1);
        ui.listCfarDetections->addItem(text);
    }
    ui.listCfarDetections->show();
}

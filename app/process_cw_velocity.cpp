// CW: Doppler velocity scope (display mode 2) and velocity waterfall (display mode 4).
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>

#include "app/vorn_gui.h"
#include "display/waterfall_view.h"

using namespace vorn;

void Vorn_GUI::ProcessCwVelocity() {
    dsp::OperatorChoices choices;
    choices.sweepCount = ui.spinBoxDopplerQueue->value();
    const dsp::CwGeometry geo =
        dsp::MakeCwGeometry(sweepTimeMs, samplesPerSweep, choices.sweepCount, centerFrequencyHz);
    const int colorScheme = ui.WaterfallRasterDataColor->currentIndex();

    if (processingReset) {
        ui.groupBox_Range->setEnabled(false);
        ui.groupBox_Velocity->setEnabled(false);
        spectrumAxis = dsp::CwVelocityAxis(geo.maxVelocity);
    }
    FramePlots({0.0, geo.maxVelocity, historyRows * updatePeriodS, 0.0,
                geo.decimatedLength * geo.scopeSamplePeriod});
    UpdateRecordData(geo.sampleRate);

    AcquireBlock(geo.totalSamples, static_cast<int>(geo.timeoutMs),
                 tr("Error: Interface cound not be set!"),
                 [this, geo, colorScheme, choices](SampleBlock& block) {
                     ProcessCwVelocityBlock(block, geo, colorScheme, choices);
                 });
}

void Vorn_GUI::ProcessCwVelocityBlock(SampleBlock& block, const dsp::CwGeometry& geo,
                                      int colorScheme, const dsp::OperatorChoices& choices) {
    const double vmax = geo.maxVelocity;
    const dsp::CwVelocitySettings settings =
        dsp::MakeCwVelocitySettings(RadarNow(), ChoicesFromControls(choices));
    const dsp::CwVelocityResult result = cwVelocity.Process(block, settings);

    UpdateTimeScope(result.scope, geo.scopeSamplePeriod);
    ScaleTimeScope(settings.amplitudeCorrection, false);  // CW has no clutter cancellation

    if (displayMode == kDisplayModeVelocityScope) {
        const dsp::DynamicRange range =
            AutoDynamicRange(result.spectrum, result.spectrum.size(), result.spectrum.size());
        if (markerCwPeak) {
            markerCwPeak->setXValue(result.peakVelocity);
            markerCwPeak->setLabel(QwtText(tr(" Max Velocity: %1 m/s").arg(result.peakVelocity)));
        }
        ui.qwtPlotScope_2->setAxisScale(QwtPlot::yLeft, range.minimum, range.maximum);
        if (curveSpectrum)
            curveSpectrum->setSamples(spectrumAxis.data(), result.spectrum.data(),
                                      static_cast<int>(result.spectrum.size()));
    } else if (displayMode == kDisplayModeVelocityWaterfall) {
        if (!waterfall) return;
        waterfall->applyColorScheme(colorScheme);
        const std::size_t rows = static_cast<std::size_t>(historyRows);
        const dsp::DynamicRange range = AutoDynamicRange(*waterfall, rows / 2 * dsp::kTransformSize,
                                                         rows / 4 * dsp::kTransformSize);
        waterfall->pushRow(result.spectrum, true);
        waterfall->updateRaster(static_cast<int>(dsp::kTransformSize), -vmax, vmax, 0.0,
                                historyRows * updatePeriodS, range.minimum, range.maximum);
    }
}

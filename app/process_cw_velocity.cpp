// CW: Doppler velocity scope (display mode 2) and velocity waterfall (display mode 4).
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>

#include "app/vorn_gui.h"

using namespace vorn;

void Vorn_GUI::ProcessCwVelocity() {
    dsp::OperatorChoices choices;
    choices.sweepCount = ui.spinBoxDopplerQueue->value();
    const dsp::CwGeometry geo =
        dsp::MakeCwGeometry(sweepTimeMs, samplesPerSweep, choices.sweepCount, centerFrequencyHz);
    const double vmax = geo.maxVelocity;
    const double scopePeriod = geo.scopeSamplePeriod;
    const int colorScheme = ui.WaterfallRasterDataColor->currentIndex();

    if (processingReset) {
        ui.groupBox_Range->setEnabled(false);
        ui.groupBox_Velocity->setEnabled(false);
        spectrumAxis = dsp::CwVelocityAxis(vmax);
    }
    FramePlots(0.0, vmax, 0.0, geo.decimatedLength * scopePeriod);
    UpdateRecordData(geo.sampleRate);

    // The chain and the plots, once the block has arrived.
    const auto process = [this, vmax, scopePeriod, colorScheme, choices](SampleBlock& block) {
        const dsp::CwVelocitySettings settings =
            dsp::MakeCwVelocitySettings(RadarNow(), ChoicesFromControls(choices));
        const dsp::CwVelocityResult result = cwVelocity.Process(block, settings);

        UpdateTimeScope(result.scope, scopePeriod);
        ScaleTimeScope(settings.amplitudeCorrection, false);  // CW has no clutter cancellation

        if (displayMode == kDisplayModeVelocityWaterfall)
            return ShowWaterfallRow(result.spectrum, colorScheme, -vmax, vmax, 2, 4);
        if (displayMode != kDisplayModeVelocityScope) return;
        const dsp::DynamicRange range = AutoDynamicRange(result.spectrum);
        if (markerCwPeak) {
            markerCwPeak->setXValue(result.peakVelocity);
            markerCwPeak->setLabel(QwtText(tr(" Max Velocity: %1 m/s").arg(result.peakVelocity)));
        }
        ui.qwtPlotScope_2->setAxisScale(QwtPlot::yLeft, range.minimum, range.maximum);
        if (curveSpectrum)
            curveSpectrum->setSamples(spectrumAxis.data(), result.spectrum.data(),
                                      static_cast<int>(result.spectrum.size()));
    };
    AcquireBlock(geo.totalSamples, static_cast<int>(geo.timeoutMs),
                 tr("Error: Interface cound not be set!"), process);
}

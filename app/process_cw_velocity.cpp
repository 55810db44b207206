// CW: Doppler velocity scope (display mode 2) and velocity waterfall (display mode 4).
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>

#include "app/vorn_gui.h"
#include "display/waterfall_view.h"

void Vorn_GUI::ProcessCwVelocity() {
    const int sweeps = ui.spinBoxDopplerQueue->value();
    const vorn::dsp::CwGeometry geo =
        vorn::dsp::MakeCwGeometry(sweepTimeMs, samplesPerSweep, sweeps, centerFrequencyHz);
    const double vmax = geo.maxVelocity;
    const int colorScheme = ui.WaterfallRasterDataColor->currentIndex();

    if (processingReset) {
        ui.groupBox_Range->setEnabled(false);
        ui.groupBox_Velocity->setEnabled(false);
    }
    // Titles and scales before the read: a failed first read leaves one display mode's plots.
    QwtPlot* bottom = ui.qwtPlotScope_2;
    const double span = historyRows * updatePeriodS;
    if (processingReset && (displayMode == 2 || displayMode == 4)) {
        ShowTimeScopeTitles();
        ui.qwtPlotScope_1->setAxisScale(QwtPlot::xBottom, 0.0,
                                        geo.decimatedLength * geo.scopeSamplePeriod);
        SetAxisTitle(bottom, QwtPlot::xBottom, tr("Radial Velocity (meters per Second)"));
        bottom->setAxisScale(QwtPlot::xBottom, -vmax, vmax);
        if (displayMode == 2) {
            ui.groupBox_Bottom->setTitle(tr("Velocity Scope Display"));
            SetAxisTitle(bottom, QwtPlot::yLeft, tr("Intensity (dB)"));
            spectrumAxis = vorn::dsp::CwVelocityAxis(vmax);
            if (curveSpectrum) curveSpectrum->setTitle(tr("CW Velocity"));
        } else {
            ui.groupBox_Bottom->setTitle(tr("Velocity Waterfall Display"));
            SetAxisTitle(bottom, QwtPlot::yLeft, tr("Elapsed Time (seconds)"));
            bottom->setAxisScale(QwtPlot::yLeft, 0.0, span, span);
        }
        processingReset = false;
    }
    UpdateRecordData(geo.sampleRate);

    AcquireBlock(geo.totalSamples, static_cast<int>(geo.timeoutMs),
                 tr("Error: Interface cound not be set!"),
                 [this, sweeps, geo, colorScheme](SampleBlock& block) {
                     ProcessCwVelocityBlock(block, sweeps, geo, colorScheme);
                 });
}

void Vorn_GUI::ProcessCwVelocityBlock(SampleBlock& block, int sweeps,
                                      const vorn::dsp::CwGeometry& geo, int colorScheme) {
    const double vmax = geo.maxVelocity;
    QwtPlot* bottom = ui.qwtPlotScope_2;
    const double span = historyRows * updatePeriodS;

    vorn::dsp::CwVelocitySettings settings;
    settings.sweepTimeMs = sweepTimeMs;
    settings.samplesPerSweep = samplesPerSweep;
    settings.sweepCount = sweeps;
    settings.centerFrequencyHz = centerFrequencyHz;
    settings.amplitudeCorrection = ui.filterOptionIQAmplitude->isChecked();
    settings.hammingWindow = ui.filterOptionHammingWindow->isChecked();
    const vorn::dsp::CwVelocityResult result = cwVelocity.Process(block, settings);

    UpdateTimeScope(result.scope, geo.scopeSamplePeriod);
    ScaleTimeScope(settings.amplitudeCorrection, false);  // CW has no clutter cancellation

    if (displayMode == 2) {
        const vorn::dsp::DynamicRange range =
            AutoDynamicRange(result.spectrum, result.spectrum.size(), result.spectrum.size());
        if (markerCwPeak) {
            markerCwPeak->setXValue(result.peakVelocity);
            markerCwPeak->setLabel(QwtText(tr(" Max Velocity: %1 m/s").arg(result.peakVelocity)));
        }
        bottom->setAxisScale(QwtPlot::yLeft, range.minimum, range.maximum);
        if (curveSpectrum)
            curveSpectrum->setSamples(spectrumAxis.data(), result.spectrum.data(),
                                      static_cast<int>(result.spectrum.size()));
    } else if (displayMode == 4) {
        if (!waterfall) return;
        waterfall->applyColorScheme(colorScheme);
        const std::size_t rows = static_cast<std::size_t>(historyRows);
        const vorn::dsp::DynamicRange range =
            AutoDynamicRange(*waterfall, rows / 2 * 1024, rows / 4 * 1024);
        waterfall->pushRow(result.spectrum, true);
        waterfall->updateRaster(1024, -vmax, vmax, 0.0, span, range.minimum, range.maximum);
    }
}

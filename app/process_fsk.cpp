// FSK: range and radial velocity on the dials, level gauge, and the velocity spectrum
// (display mode 2), velocity waterfall (mode 4) or range track (mode 5).
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <QSlider>

#include "app/vorn_gui.h"
#include "display/waterfall_view.h"

void Vorn_GUI::ProcessFsk() {
    const int sweeps = ui.spinBoxDopplerQueue->value();
    const vorn::dsp::FskGeometry geo =
        vorn::dsp::MakeFskGeometry(sweepTimeMs, samplesPerSweep, sweeps, centerFrequencyHz);
    const double vmax = geo.maxVelocity;
    const double threshold = ui.counterFSKDetectionThreshold->value();
    const int colorScheme = ui.WaterfallRasterDataColor->currentIndex();
    const vorn::dsp::DynamicRangeControls dynamicRange = DynamicRangeFromControls();

    if (processingReset) {
        ui.groupBox_Range->setEnabled(false);
        ui.groupBox_Velocity->setEnabled(true);
        ui.dialFSKRange->setLowerBound(0.0);
        ui.dialFSKRange->setUpperBound(vorn::dsp::kFskMaxRange);
        ui.dialFSKVelocity->setLowerBound(-vmax);
        ui.dialFSKVelocity->setUpperBound(vmax);
        ui.thermFSKMaxDetectedValue->setLowerBound(-50.0);
        ui.thermFSKMaxDetectedValue->setUpperBound(150.0);
        ui.counterFSKDetectionThreshold->setLowerBound(-50.0);
        ui.counterFSKDetectionThreshold->setUpperBound(150.0);
        for (QSlider* slider : {ui.velocityFilter_Low, ui.velocityFilter_High}) {
            slider->setRange(-geo.velocitySliderMaximum, geo.velocitySliderMaximum);
            slider->setSingleStep(geo.velocitySliderStep);
        }
        ui.velocityFilter_Low->setValue(-geo.velocitySliderMaximum);
        ui.velocityFilter_High->setValue(geo.velocitySliderMaximum);
        fsk.Reset();
    }

    const vorn::dsp::WindowBounds window =
        OrderedWindow(ui.velocityFilter_Low, ui.velocityFilter_High);
    ui.velocity_UpperBound->setText(tr("%1 m/s").arg(window.upper));
    ui.velocity_LowerBound->setText(tr("%1 m/s").arg(window.lower));
    ShowWindowZone(vorn::dsp::IsWindowActive(window, -vmax, vmax), window, -vmax, vmax);

    // Titles and scales before the read: a failed first read leaves one display mode's plots.
    QwtPlot* bottom = ui.qwtPlotScope_2;
    const double span = historyRows * updatePeriodS;
    if (processingReset && (displayMode == 2 || displayMode == 4 || displayMode == 5)) {
        ShowTimeScopeTitles();
        ui.qwtPlotScope_1->setAxisScale(QwtPlot::xBottom, 0.0, sweepTimeMs * 0.001);
        ui.groupBox_Bottom->setTitle(tr("FSK Processing Information"));
        if (displayMode == 2) {
            SetAxisTitle(bottom, QwtPlot::xBottom, tr("Radial Velocity (meters per second)"));
            SetAxisTitle(bottom, QwtPlot::yLeft, tr("Amplitude (dB)"));
            if (curveSpectrum) curveSpectrum->setTitle(tr("FSK Velocity"));
            spectrumAxis = vorn::dsp::FskVelocityAxis(vmax);
            bottom->setAxisScale(QwtPlot::xBottom, -vmax, vmax);
            bottom->setAxisScale(QwtPlot::yLeft, -50.0, 150.0);
        } else {
            if (waterfall) waterfall->setShape(1024, historyRows);
            SetAxisTitle(bottom, QwtPlot::yLeft, tr("Elapsed Time (seconds)"));
            bottom->setAxisScale(QwtPlot::yLeft, 0.0, span, span);
            if (displayMode == 4) {
                SetAxisTitle(bottom, QwtPlot::xBottom, tr("Radial Velocity (meters per second)"));
                bottom->setAxisScale(QwtPlot::xBottom, -vmax, vmax);
            } else {
                SetAxisTitle(bottom, QwtPlot::xBottom, tr("Range (meters)"));
                bottom->setAxisScale(QwtPlot::xBottom, 0.0, vorn::dsp::kFskMaxRange);
            }
        }
        processingReset = false;
    }

    AcquireBlock(
        geo.totalSamples, static_cast<int>(geo.timeoutMs),
        tr("Error: Received wrong number of samples from radar."),
        [this, sweeps, geo, threshold, colorScheme, dynamicRange, window](SampleBlock& block) {
            ProcessFskBlock(block, sweeps, geo, threshold, colorScheme, dynamicRange, window);
        });
}

void Vorn_GUI::ProcessFskBlock(SampleBlock& block, int sweeps, const vorn::dsp::FskGeometry& geo,
                               double threshold, int colorScheme,
                               const vorn::dsp::DynamicRangeControls& dynamicRange,
                               const vorn::dsp::WindowBounds& window) {
    const double vmax = geo.maxVelocity;
    const double span = historyRows * updatePeriodS;
    UpdateRecordData(geo.sampleRate);

    vorn::dsp::FskSettings settings;
    settings.sweepTimeMs = sweepTimeMs;
    settings.samplesPerSweep = samplesPerSweep;
    settings.sweepCount = sweeps;
    settings.centerFrequencyHz = centerFrequencyHz;
    settings.hammingWindow = ui.filterOptionHammingWindow->isChecked();
    settings.threshold = threshold;
    settings.velocityWindow = window;
    const vorn::dsp::FskResult result = fsk.Process(block, settings);

    ui.thermFSKMaxDetectedValue->setAlarmLevel(threshold);
    ui.thermFSKMaxDetectedValue->setValue(result.peakLevel);
    ui.dialFSKRange->setValue(result.range);
    ui.dialFSKVelocity->setValue(result.velocity);

    if (displayMode == 2) {
        if (markerFskThreshold) {
            markerFskThreshold->setYValue(threshold);
            markerFskThreshold->setTitle(tr("Detection Threshold: %1 dB").arg(threshold));
        }
        if (markerFskPeak) {
            markerFskPeak->setXValue(result.velocity);
            markerFskPeak->setLabel(QwtText(tr(" Max Velocity: %1 m/s").arg(result.velocity)));
            // On the side of the line with more room, so that it stays on the canvas.
            markerFskPeak->setLabelAlignment(
                (result.velocity > 0.0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop);
        }
        if (curveSpectrum)
            curveSpectrum->setSamples(spectrumAxis.data(), result.spectrum.data(),
                                      static_cast<int>(result.spectrum.size()));
    } else if (displayMode == 4) {
        if (waterfall) {
            waterfall->applyColorScheme(colorScheme);
            waterfall->pushRow(result.velocityRow, true);
            waterfall->updateRaster(1024, -vmax, vmax, 0.0, span, dynamicRange.sliderMinimum,
                                    dynamicRange.sliderMaximum);
            // This mode sets the scale for the next tick from the history after the push.
            const std::size_t half = static_cast<std::size_t>(historyRows / 2) * 1024;
            AutoDynamicRange(*waterfall, half, half);
        }
    } else if (displayMode == 5) {
        if (waterfall) {
            waterfall->applyColorScheme(colorScheme);
            const std::size_t half = static_cast<std::size_t>(historyRows / 2) * 1024;
            const vorn::dsp::DynamicRange range = AutoDynamicRange(*waterfall, half, half);
            waterfall->pushRow(result.rangeTrackRow, true);
            waterfall->updateRaster(1024, 0.0, vorn::dsp::kFskMaxRange, 0.0, span, range.minimum,
                                    range.maximum);
        }
    }

    UpdateTimeScope(result.scope, -1.0);
    ScaleTimeScope(false, false);  // raw periods, whatever the FMCW filters say
}

// FSK: range and radial velocity on the dials, level gauge, and the velocity spectrum
// (display mode 2), velocity waterfall (mode 4) or range track (mode 5).
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <QSlider>

#include "app/vorn_gui.h"
#include "display/waterfall_view.h"

using namespace vorn;

void Vorn_GUI::ProcessFsk() {
    dsp::OperatorChoices choices;
    choices.sweepCount = ui.spinBoxDopplerQueue->value();
    choices.threshold = ui.counterFSKDetectionThreshold->value();
    const dsp::FskGeometry geo =
        dsp::MakeFskGeometry(sweepTimeMs, samplesPerSweep, choices.sweepCount, centerFrequencyHz);
    const double vmax = geo.maxVelocity;
    const int colorScheme = ui.WaterfallRasterDataColor->currentIndex();
    const dsp::DynamicRangeControls dynamicRange = DynamicRangeFromControls();

    if (processingReset) {
        ui.groupBox_Range->setEnabled(false);
        ui.groupBox_Velocity->setEnabled(true);
        ui.dialFSKRange->setLowerBound(0.0);
        ui.dialFSKRange->setUpperBound(dsp::kFskMaxRange);
        ui.dialFSKVelocity->setLowerBound(-vmax);
        ui.dialFSKVelocity->setUpperBound(vmax);
        ui.thermFSKMaxDetectedValue->setLowerBound(kFskLevelLow);
        ui.thermFSKMaxDetectedValue->setUpperBound(kFskLevelHigh);
        ui.counterFSKDetectionThreshold->setLowerBound(kFskLevelLow);
        ui.counterFSKDetectionThreshold->setUpperBound(kFskLevelHigh);
        ResetWindowSliders(ui.velocityFilter_Low, ui.velocityFilter_High,
                           dsp::FullVelocityWindow(geo));
        for (QSlider* slider : {ui.velocityFilter_Low, ui.velocityFilter_High})
            slider->setSingleStep(geo.velocitySliderStep);
        spectrumAxis = dsp::FskVelocityAxis(vmax);
        // The range track has as many columns as the spectrum, not the range profile's.
        if (waterfall)
            waterfall->setShape(static_cast<int>(dsp::kTransformSize), historyRows, true);
        fsk.Reset();
    }

    choices.velocityWindow =
        WindowFromSliders(ui.velocityFilter_Low, ui.velocityFilter_High, ui.velocity_LowerBound,
                          ui.velocity_UpperBound, tr("%1 m/s"));
    ShowWindowZone(*choices.velocityWindow, -vmax, vmax);
    FramePlots(dsp::kFskMaxRange, vmax, 0.0, sweepTimeMs * 0.001);

    // The chain and the plots, once the block has arrived.
    const auto process = [this, vmax, sampleRate = geo.sampleRate, colorScheme, dynamicRange,
                          choices](SampleBlock& block) {
        const double span = historyRows * updatePeriodS;
        const double threshold = choices.threshold;
        UpdateRecordData(sampleRate);

        const dsp::FskResult result =
            fsk.Process(block, dsp::MakeFskSettings(RadarNow(), ChoicesFromControls(choices)));

        ui.thermFSKMaxDetectedValue->setAlarmLevel(threshold);
        ui.thermFSKMaxDetectedValue->setValue(result.peakLevel);
        ui.dialFSKRange->setValue(result.range);
        ui.dialFSKVelocity->setValue(result.velocity);

        if (displayMode == kDisplayModeVelocityScope) {
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
        } else if (displayMode == kDisplayModeVelocityWaterfall && waterfall) {
            waterfall->applyColorScheme(colorScheme);
            waterfall->pushRow(result.velocityRow, true);
            waterfall->updateRaster(static_cast<int>(dsp::kTransformSize), -vmax, vmax, 0.0, span,
                                    dynamicRange.sliderMinimum, dynamicRange.sliderMaximum);
            // This mode sets the scale for the next tick from the history after the push.
            const std::size_t half =
                static_cast<std::size_t>(historyRows / 2) * dsp::kTransformSize;
            AutoDynamicRange(waterfall->data(), waterfall->size(), half, half);
        } else if (displayMode == kDisplayModeRangeWaterfall) {
            ShowWaterfallRow(result.rangeTrackRow, colorScheme, 0.0, dsp::kFskMaxRange, 2, 2);
        }

        UpdateTimeScope(result.scope, -1.0);
        ScaleTimeScope(false, false);  // raw periods, whatever the FMCW filters say
    };
    AcquireBlock(geo.totalSamples, static_cast<int>(geo.timeoutMs),
                 tr("Error: Received wrong number of samples from radar."), process);
}

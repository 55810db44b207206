// FMCW sawtooth, range and time scope (display mode 1) and range waterfall (display mode 5).
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <QSlider>

#include <cmath>

#include "app/vorn_gui.h"
#include "display/waterfall_view.h"

void Vorn_GUI::ProcessFmcwRange() {
    const vorn::dsp::FmcwRangeGeometry geo =
        vorn::dsp::MakeFmcwRangeGeometry(sweepTimeMs, samplesPerSweep, bandwidthHz);
    const double rmax = geo.maxRange;
    const int colorScheme = ui.WaterfallRasterDataColor->currentIndex();

    if (processingReset) {
        ui.groupBox_Range->setEnabled(true);
        ui.groupBox_Velocity->setEnabled(false);
        ui.rangeFilter_Low->setRange(0, geo.sliderMaximum);
        ui.rangeFilter_High->setRange(0, geo.sliderMaximum);
        ui.rangeFilter_Low->setValue(0);
        ui.rangeFilter_High->setValue(geo.sliderMaximum);
        fmcwRange.Reset();
    }

    const vorn::dsp::WindowBounds window = OrderedWindow(ui.rangeFilter_Low, ui.rangeFilter_High);
    ui.range_UpperBound->setText(tr("%1 m").arg(window.upper));
    ui.range_LowerBound->setText(tr("%1 m").arg(window.lower));
    ShowWindowZone(vorn::dsp::IsWindowActive(window, 0.0, rmax), window, 0.0, rmax);

    // The configuration's titles and scales come before the read, so that a failed first read
    // leaves the plots of one display mode, not the new items under the old titles.
    QwtPlot* bottom = ui.qwtPlotScope_2;
    const double span = historyRows * updatePeriodS;
    if (processingReset && (displayMode == 1 || displayMode == 5)) {
        ShowTimeScopeTitles();
        ui.qwtPlotScope_1->setAxisScale(
            QwtPlot::xBottom, 0.0001, vorn::dsp::ScopeSpanEnd(ui.comboPSweepTime->currentIndex()));
        SetAxisTitle(bottom, QwtPlot::xBottom, tr("Range (meters)"));
        bottom->setAxisScale(QwtPlot::xBottom, 0.0, rmax);
        if (displayMode == 1) {
            ui.groupBox_Bottom->setTitle(tr("Range Scope Display"));
            SetAxisTitle(bottom, QwtPlot::yLeft, tr("Intensity (dB)"));
            spectrumAxis = vorn::dsp::RangeAxis(rmax);
            if (curveSpectrum) curveSpectrum->setTitle(tr("FMCW Range"));
        } else {
            ui.groupBox_Bottom->setTitle(tr("Range Waterfall Display"));
            SetAxisTitle(bottom, QwtPlot::yLeft, tr("Elapsed Time (seconds)"));
            bottom->setAxisScale(QwtPlot::yLeft, 0.0, span, span);
        }
        processingReset = false;
    }

    UpdateRecordData(geo.sampleRate);

    AcquireBlock(samplesPerSweep, 1000, tr("Error: Did not receive requested number of samples."),
                 [this, geo, colorScheme, window](SampleBlock& block) {
                     ProcessFmcwRangeBlock(block, geo, colorScheme, window);
                 });
}

void Vorn_GUI::ProcessFmcwRangeBlock(SampleBlock& block, const vorn::dsp::FmcwRangeGeometry& geo,
                                     int colorScheme, const vorn::dsp::WindowBounds& window) {
    const double rmax = geo.maxRange;
    QwtPlot* bottom = ui.qwtPlotScope_2;
    const double span = historyRows * updatePeriodS;

    vorn::dsp::FmcwRangeSettings settings;
    settings.sweepTimeMs = sweepTimeMs;
    settings.samplesPerSweep = samplesPerSweep;
    settings.bandwidthHz = bandwidthHz;
    settings.clutterMode = ClutterModeFromControls();
    settings.clutterAverageCount = ui.filterOptionDirectClutterAvgCount->value();
    settings.iqBalancing = IqBalancingFromControls();
    settings.hammingWindow = ui.filterOptionHammingWindow->isChecked();
    settings.rangeWeighting = ui.isRangeWeighting->isChecked();
    settings.window = window;
    const vorn::dsp::FmcwRangeResult result = fmcwRange.Process(block, settings, clutter);

    UpdateTimeScope(result.scope, vorn::dsp::ScopeSpanEnd(ui.comboPSweepTime->currentIndex()),
                    -1.0);
    // Fixed for normalised samples, ±100 once clutter cancellation has taken the offset away,
    // automatic otherwise: decided on every tick, so that switching either off scales again.
    ScaleTimeScope(ui.filterOptionIQAmplitude->isChecked(),
                   settings.clutterMode != vorn::dsp::ClutterMode::Disabled);

    if (displayMode == 1) {
        const vorn::dsp::DynamicRange range =
            AutoDynamicRange(result.profile, result.profile.size(), result.profile.size());
        if (markerRangePeak) {
            markerRangePeak->setXValue(result.detectedRange);
            markerRangePeak->setLabel(
                QwtText(tr(" Detected Range: %1 m").arg(result.detectedRange)));
        }
        bottom->setAxisScale(QwtPlot::yLeft, range.minimum, range.maximum);
        if (curveSpectrum)
            curveSpectrum->setSamples(spectrumAxis.data(), result.profile.data(),
                                      static_cast<int>(result.profile.size()));
        std::vector<ListedDetection> listed;
        if (CfarEnabled()) {
            for (const vorn::dsp::CfarDetection& d :
                 vorn::dsp::DetectProfile(result.profile.data(), result.profile.size(),
                                          samplesPerSweep, CfarSettingsFromControls())) {
                const double r = spectrumAxis[d.row];
                listed.push_back({r, d.level, r, d.level, std::nullopt});
            }
        }
        ShowDetections(listed);
    } else if (displayMode == 5) {
        if (!waterfall) return;
        waterfall->applyColorScheme(colorScheme);
        const std::size_t rows = static_cast<std::size_t>(historyRows);
        const vorn::dsp::DynamicRange range =
            AutoDynamicRange(*waterfall, rows / 2 * 1024, rows / 4 * 1024);
        waterfall->pushRow(result.profile, true);
        waterfall->updateRaster(static_cast<int>(vorn::dsp::kRangeBins), 0.0, rmax, 0.0, span,
                                range.minimum, range.maximum);
    }
}

// FMCW sawtooth, range and time scope (display mode 1) and range waterfall (display mode 5).
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>

#include "app/vorn_gui.h"

using namespace vorn;

void Vorn_GUI::ProcessFmcwRange() {
    const dsp::FmcwRangeGeometry geo =
        dsp::MakeFmcwRangeGeometry(sweepTimeMs, samplesPerSweep, bandwidthHz);
    const double rmax = geo.maxRange;
    const int colorScheme = ui.WaterfallRasterDataColor->currentIndex();

    if (processingReset) {
        ui.groupBox_Range->setEnabled(true);
        ui.groupBox_Velocity->setEnabled(false);
        ResetWindowSliders(ui.rangeFilter_Low, ui.rangeFilter_High, dsp::FullRangeWindow(geo));
        spectrumAxis = dsp::RangeAxis(rmax);
        fmcwRange.Reset();
    }

    dsp::OperatorChoices choices;
    choices.rangeWindow = WindowFromSliders(ui.rangeFilter_Low, ui.rangeFilter_High,
                                            ui.range_LowerBound, ui.range_UpperBound, tr("%1 m"));
    ShowWindowZone(*choices.rangeWindow, 0.0, rmax);
    FramePlots(rmax, 0.0, 0.0001, dsp::ScopeSpanEnd(ui.comboPSweepTime->currentIndex()));

    UpdateRecordData(geo.sampleRate);
    // The chain and the plots, once the block has arrived.
    const auto process = [this, rmax, colorScheme, choices](SampleBlock& block) {
        const dsp::FmcwRangeSettings settings =
            dsp::MakeFmcwRangeSettings(RadarNow(), ChoicesFromControls(choices));
        const dsp::FmcwRangeResult result = fmcwRange.Process(block, settings, clutter);

        UpdateTimeScope(result.scope, -1.0, dsp::ScopeSpanEnd(ui.comboPSweepTime->currentIndex()));
        // Fixed for normalised samples, ±100 once clutter cancellation has taken the
        // offset away, automatic otherwise: decided on every tick, so that switching
        // either off scales again.
        ScaleTimeScope(settings.iqBalancing.amplitudeCorrection,
                       settings.clutterMode != dsp::ClutterMode::Disabled);

        if (displayMode == kDisplayModeRangeWaterfall)
            return ShowWaterfallRow(result.profile, colorScheme, 0.0, rmax, 2, 4);
        if (displayMode != kDisplayModeRangeScope) return;
        const dsp::DynamicRange range = AutoDynamicRange(result.profile);
        if (markerRangePeak) {
            markerRangePeak->setXValue(result.detectedRange);
            markerRangePeak->setLabel(
                QwtText(tr(" Detected Range: %1 m").arg(result.detectedRange)));
        }
        ui.qwtPlotScope_2->setAxisScale(QwtPlot::yLeft, range.minimum, range.maximum);
        if (curveSpectrum)
            curveSpectrum->setSamples(spectrumAxis.data(), result.profile.data(),
                                      static_cast<int>(result.profile.size()));
        std::vector<ListedDetection> listed;
        if (CfarEnabled()) {
            for (const dsp::CfarDetection& d :
                 dsp::DetectProfile(result.profile.data(), result.profile.size(), samplesPerSweep,
                                    CfarSettingsFromControls())) {
                const double r = spectrumAxis[d.row];
                listed.push_back({r, d.level, r, d.level, std::nullopt});
            }
        }
        ShowDetections(listed);
    };
    AcquireBlock(samplesPerSweep, 1000, tr("Error: Did not receive requested number of samples."),
                 process);
}

// FMCW sawtooth bursts: range-velocity map (display mode 3), velocity waterfall (mode 4).
#include <qwt_plot.h>
#include <QScopeGuard>

#include "app/vorn_gui.h"
#include "display/waterfall_view.h"

using namespace vorn;

void Vorn_GUI::ProcessRangeVelocityMap() {
    dsp::OperatorChoices choices;
    choices.sweepCount = ui.spinBoxDopplerQueue->value();
    const dsp::RangeVelocityGeometry geo = dsp::MakeRangeVelocityGeometry(
        sweepTimeMs, samplesPerSweep, choices.sweepCount, bandwidthHz, centerFrequencyHz);
    const double rmax = geo.maxRange;
    const double vmax = geo.maxVelocity;
    const int colorScheme = ui.WaterfallRasterDataColor->currentIndex();

    if (processingReset) {
        ui.groupBox_Range->setEnabled(true);
        ui.groupBox_Velocity->setEnabled(true);
        ResetWindowSliders(ui.rangeFilter_Low, ui.rangeFilter_High, dsp::FullRangeWindow(geo));
        ResetWindowSliders(ui.velocityFilter_Low, ui.velocityFilter_High,
                           dsp::FullVelocityWindow(geo));
        rangeVelocityMap.Reset();
    }

    choices.rangeWindow = WindowFromSliders(ui.rangeFilter_Low, ui.rangeFilter_High,
                                            ui.range_LowerBound, ui.range_UpperBound, tr("%1 m"));
    choices.velocityWindow =
        WindowFromSliders(ui.velocityFilter_Low, ui.velocityFilter_High, ui.velocity_LowerBound,
                          ui.velocity_UpperBound, tr("%1 m/s"));
    FramePlots(rmax, vmax, 0.0, 0.0);

    UpdateRecordData(geo.sampleRate);
    // The chain and the plots, once the block has arrived.
    const auto process = [this, rmax, vmax, colorScheme, choices](SampleBlock& block) {
        dsp::RangeVelocityMapSettings settings = dsp::MakeRangeVelocityMapSettings(
            RadarNow(), ChoicesFromControls(choices), displayMode == kDisplayModeVelocityWaterfall);
        const bool detect = displayMode == kDisplayModeRangeVelocityMap && CfarEnabled();
        settings.keepPower = detect;
        dsp::RangeVelocityMapResult result = rangeVelocityMap.Process(block, settings, clutter);
        const auto recycle = qScopeGuard([&] { rangeVelocityMap.Recycle(std::move(result)); });

        if (displayMode == kDisplayModeVelocityWaterfall)
            return ShowWaterfallRow(result.velocityProfile, colorScheme, -vmax, vmax, 4, 4);
        if (displayMode != kDisplayModeRangeVelocityMap || !waterfall) return;
        std::vector<ListedDetection> listed;
        if (detect) {
            const std::vector<double> ranges = dsp::RangeAxis(rmax);
            const std::vector<double> velocities = dsp::CwVelocityAxis(vmax);
            for (const dsp::CfarDetection& d : dsp::DetectMap(
                     result.map.data(), result.power.data(), dsp::kMapRows, dsp::kMapColumns,
                     samplesPerSweep, choices.sweepCount, CfarSettingsFromControls())) {
                const double v = velocities[d.column];
                // The mark sits on the cell; the list gives the range without the Doppler
                // shift's share of the beat tone.
                const double range =
                    ranges[d.row] - dsp::RangeDopplerCoupling(v, centerFrequencyHz,
                                                              sweepTimeMs * 1e-3, bandwidthHz);
                listed.push_back({v, ranges[d.row], range, d.level, v});
            }
        }
        waterfall->applyColorScheme(colorScheme);
        const dsp::DynamicRange range = AutoDynamicRange(result.map);
        // The map moves into the view, and the view's last one goes back to the processor.
        waterfall->showMatrix(result.map, static_cast<int>(dsp::kMapColumns), -vmax, vmax, 0.0,
                              rmax, range.minimum, range.maximum);
        ShowDetections(listed);
    };
    AcquireBlock(geo.totalSamples, static_cast<int>(geo.timeoutMs),
                 tr("Error: Did not receive the proper number of samples."), process);
}

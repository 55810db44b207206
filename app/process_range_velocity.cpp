// FMCW sawtooth bursts: range-velocity map (display mode 3), velocity waterfall (mode 4).
#include <qwt_plot.h>
#include <QSlider>

#include "app/vorn_gui.h"
#include "device/radar_device.h"
#include "display/waterfall_view.h"

void Vorn_GUI::ProcessRangeVelocityMap() {
    const int sweeps = ui.spinBoxDopplerQueue->value();
    const vorn::dsp::RangeVelocityGeometry geo = vorn::dsp::MakeRangeVelocityGeometry(
        sweepTimeMs, samplesPerSweep, sweeps, bandwidthHz, centerFrequencyHz);
    const double rmax = geo.maxRange;
    const double vmax = geo.maxVelocity;
    const int colorScheme = ui.WaterfallRasterDataColor->currentIndex();

    if (processingReset) {
        ui.groupBox_Range->setEnabled(true);
        ui.groupBox_Velocity->setEnabled(true);
        ui.rangeFilter_Low->setRange(0, geo.rangeSliderMaximum);
        ui.rangeFilter_High->setRange(0, geo.rangeSliderMaximum);
        ui.rangeFilter_Low->setValue(0);
        ui.rangeFilter_High->setValue(geo.rangeSliderMaximum);
        ui.range_LowerBound->setText(tr("%1 m").arg(0));
        ui.range_UpperBound->setText(tr("%1 m").arg(rmax));
        ui.velocityFilter_Low->setRange(0, geo.velocitySliderMaximum);
        ui.velocityFilter_High->setRange(0, geo.velocitySliderMaximum);
        ui.velocityFilter_Low->setValue(0);
        ui.velocityFilter_High->setValue(geo.velocitySliderMaximum);
        ui.velocity_UpperBound->setText(tr("%1 m/s").arg(vmax));
        ui.velocity_LowerBound->setText(tr("%1 m/s").arg(0));
        rangeVelocityMap.Reset();
    }

    const vorn::dsp::WindowBounds rangeWindow =
        OrderedWindow(ui.rangeFilter_Low, ui.rangeFilter_High);
    ui.range_LowerBound->setText(tr("%1 m").arg(rangeWindow.lower));
    ui.range_UpperBound->setText(tr("%1 m").arg(rangeWindow.upper));
    const vorn::dsp::WindowBounds velocityWindow =
        OrderedWindow(ui.velocityFilter_Low, ui.velocityFilter_High);
    ui.velocity_UpperBound->setText(tr("%1 m/s").arg(velocityWindow.upper));
    ui.velocity_LowerBound->setText(tr("%1 m/s").arg(velocityWindow.lower));

    // Titles and scales before the read: a failed first read leaves one display mode's plots.
    QwtPlot* bottom = ui.qwtPlotScope_2;
    const double span = historyRows * updatePeriodS;
    if (processingReset && (displayMode == 3 || displayMode == 4)) {
        ui.groupBox_Top->hide();
        SetAxisTitle(bottom, QwtPlot::xBottom, tr("Radial Velocity (meters per second)"));
        bottom->setAxisScale(QwtPlot::xBottom, -vmax, vmax);
        if (displayMode == 3) {
            ui.groupBox_Bottom->setTitle(tr("Range-Velocity Map"));
            SetAxisTitle(bottom, QwtPlot::yLeft, tr("Range (meters)"));
            bottom->setAxisScale(QwtPlot::yLeft, 0.0, rmax);
        } else {
            ui.groupBox_Bottom->setTitle(tr("Velocity Waterfall Display"));
            SetAxisTitle(bottom, QwtPlot::yLeft, tr("Elapsed Time (seconds)"));
            bottom->setAxisScale(QwtPlot::yLeft, 0.0, span, span);
        }
        processingReset = false;
    }

    UpdateRecordData(geo.sampleRate);

    AcquireBlock(geo.totalSamples, static_cast<int>(geo.timeoutMs),
                 tr("Error: Did not receive the proper number of samples."),
                 [this, sweeps, geo, colorScheme, rangeWindow, velocityWindow](SampleBlock& block) {
                     ProcessRangeVelocityMapBlock(block, sweeps, geo, colorScheme, rangeWindow,
                                                  velocityWindow);
                 });
}

void Vorn_GUI::ProcessRangeVelocityMapBlock(SampleBlock& block, int sweeps,
                                            const vorn::dsp::RangeVelocityGeometry& geo,
                                            int colorScheme,
                                            const vorn::dsp::WindowBounds& rangeWindow,
                                            const vorn::dsp::WindowBounds& velocityWindow) {
    const double rmax = geo.maxRange;
    const double vmax = geo.maxVelocity;
    const double span = historyRows * updatePeriodS;

    vorn::dsp::RangeVelocityMapSettings settings;
    settings.sweepTimeMs = sweepTimeMs;
    settings.samplesPerSweep = samplesPerSweep;
    settings.sweepCount = sweeps;
    settings.bandwidthHz = bandwidthHz;
    settings.centerFrequencyHz = centerFrequencyHz;
    settings.clutterMode = ClutterModeFromControls();
    settings.clutterAverageCount = ui.filterOptionDirectClutterAvgCount->value();
    settings.iqBalancing = IqBalancingFromControls();
    settings.hammingWindow = ui.filterOptionHammingWindow->isChecked();
    settings.rangeWeighting = ui.isRangeWeighting->isChecked();
    settings.rangeWindow = rangeWindow;
    settings.velocityWindow = velocityWindow;
    settings.velocityProfile = displayMode == 4;
    const vorn::dsp::RangeVelocityMapResult result =
        rangeVelocityMap.Process(block, settings, clutter);

    if (displayMode == 3) {
        if (!waterfall) return;
        waterfall->applyColorScheme(colorScheme);
        const vorn::dsp::DynamicRange range =
            AutoDynamicRange(result.map, result.map.size(), result.map.size());
        waterfall->pushRow(result.map, false);
        waterfall->updateRaster(static_cast<int>(vorn::dsp::kMapColumns), -vmax, vmax, 0.0, rmax,
                                range.minimum, range.maximum);
        std::vector<ListedDetection> listed;
        if (CfarEnabled()) {
            const std::vector<double> ranges = vorn::dsp::RangeAxis(rmax);
            const std::vector<double> velocities = vorn::dsp::CwVelocityAxis(vmax);
            for (const vorn::dsp::CfarDetection& d : vorn::dsp::DetectMap(
                     result.map.data(), vorn::dsp::kMapRows, vorn::dsp::kMapColumns,
                     samplesPerSweep, sweeps, CfarSettingsFromControls())) {
                const double v = velocities[d.column];
                // The mark sits on the cell; the list gives the range without the Doppler
                // shift's share of the beat tone.
                const double range =
                    ranges[d.row] - vorn::dsp::RangeDopplerCoupling(
                                        v, centerFrequencyHz, sweepTimeMs * 1e-3, bandwidthHz);
                listed.push_back({v, ranges[d.row], range, d.level, v});
            }
        }
        ShowDetections(listed);
    } else if (displayMode == 4) {
        if (!waterfall) return;
        const std::vector<double>& profile = result.velocityProfile;
        waterfall->applyColorScheme(colorScheme);
        const std::size_t quarter = static_cast<std::size_t>(historyRows / 4) * 1024;
        const vorn::dsp::DynamicRange range = AutoDynamicRange(*waterfall, quarter, quarter);
        waterfall->pushRow(profile, true);
        waterfall->updateRaster(static_cast<int>(vorn::dsp::kMapColumns), -vmax, vmax, 0.0, span,
                                range.minimum, range.maximum);
    }
}

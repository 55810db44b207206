// Rebuilding both plot areas for the chosen operating and display mode.
#include <qwt_plot.h>

#include "app/vorn_gui.h"
#include "display/display_modes.h"
#include "display/plot_readout.h"

namespace {

int CheckedOperatingMode(const Ui::Vorn_GUIClass& ui, int fallback) {
    if (ui.radioOperationMode_1->isChecked()) return vorn::kOperatingModeFmcwSawtooth;
    if (ui.radioOperationMode_2->isChecked()) return vorn::kOperatingModeFmcwTriangle;
    if (ui.radioOperationMode_4->isChecked()) return vorn::kOperatingModeFsk;
    if (ui.radioOperationMode_5->isChecked()) return vorn::kOperatingModeCw;
    return fallback;
}

}  // namespace

void Vorn_GUI::UpdateDisplayParameters() {
    historyRows = ui.SpectrogramRows->value();
    if (!ui.buttonActivateDevice->isChecked()) return;

    QPushButton* const buttons[vorn::kDisplayModeCount] = {
        ui.radioSpectrumDisplay_1, ui.radioSpectrumDisplay_2, ui.radioSpectrumDisplay_3,
        ui.radioSpectrumDisplay_4, ui.radioSpectrumDisplay_5};
    const int mode = CheckedOperatingMode(ui, operatingMode);
    const auto allowed = vorn::AllowedDisplayModes(mode);
    int checked = 0;
    for (int m = 1; m <= vorn::kDisplayModeCount; ++m) {
        buttons[m - 1]->setEnabled(allowed[m - 1]);
        if (checked == 0 && buttons[m - 1]->isChecked()) checked = m;
    }
    const int forced = vorn::ForcedDisplayMode(mode, checked);
    if (forced != checked && forced >= 1) buttons[forced - 1]->setChecked(true);
    if (mode == vorn::kOperatingModeFsk) ui.filterOptionDCSubtract->setChecked(true);

    for (int m = 1; m <= vorn::kDisplayModeCount; ++m) {
        if (buttons[m - 1]->isChecked()) {
            displayMode = m;
            break;
        }
    }

    UpdateOperatingParameters();

    vorn::DeleteAll(plotItems);
    ui.qwtPlotScope_1->replot();
    ui.qwtPlotScope_2->replot();
    timeAxisDirty = true;
    processingReset = true;
    updatePeriodS = ui.spinBoxPUpdateRate->value() * 0.001;

    vorn::PlotLayout layout;
    layout.operatingMode = operatingMode;
    layout.displayMode = displayMode;
    layout.historyRows = historyRows;
    layout.resampleMethod = ui.WaterfallRasterDataMethod->currentIndex();
    vorn::Build(plotItems, ui.qwtPlotScope_1, ui.qwtPlotScope_2, layout);
    readoutTop->setMode(vorn::ReadoutModeFor(displayMode, false));
    readoutBottom->setMode(vorn::ReadoutModeFor(displayMode, true));
    // The detection list belongs to the range scope and the map; their ticks show it again.
    ui.listCfarDetections->clear();
    ui.listCfarDetections->hide();
}

// Rebuilding both plot areas for the chosen operating and display mode.
#include <qwt_plot.h>

#include "app/vorn_gui.h"
#include "display/display_modes.h"
#include "display/plot_readout.h"

QRadioButton* OperatingModeButton(const Ui::Vorn_GUIClass& ui, int operatingMode) {
    // By code: FMCW sawtooth, FMCW triangle, FSK, CW.
    QRadioButton* const buttons[] = {ui.radioOperationMode_1, ui.radioOperationMode_2,
                                     ui.radioOperationMode_4, ui.radioOperationMode_5};
    return operatingMode >= 0 && operatingMode < 4 ? buttons[operatingMode] : nullptr;
}

int CheckedOperatingMode(const Ui::Vorn_GUIClass& ui, int fallback) {
    for (int mode = vorn::kOperatingModeFmcwSawtooth; mode <= vorn::kOperatingModeCw; ++mode)
        if (OperatingModeButton(ui, mode)->isChecked()) return mode;
    return fallback;
}

QPushButton* DisplayModeButton(const Ui::Vorn_GUIClass& ui, int displayMode) {
    QPushButton* const buttons[vorn::kDisplayModeCount] = {
        ui.radioSpectrumDisplay_1, ui.radioSpectrumDisplay_2, ui.radioSpectrumDisplay_3,
        ui.radioSpectrumDisplay_4, ui.radioSpectrumDisplay_5};
    return buttons[displayMode - 1];
}

void Vorn_GUI::UpdateDisplayParameters() {
    historyRows = ui.SpectrogramRows->value();
    if (!ui.buttonActivateDevice->isChecked()) return;

    const int mode = CheckedOperatingMode(ui, operatingMode);
    const auto allowed = vorn::AllowedDisplayModes(mode);
    int checked = 0;
    for (int m = 1; m <= vorn::kDisplayModeCount; ++m) {
        DisplayModeButton(ui, m)->setEnabled(allowed[m - 1]);
        if (checked == 0 && DisplayModeButton(ui, m)->isChecked()) checked = m;
    }
    const int forced = vorn::ForcedDisplayMode(mode, checked);
    if (forced != checked && forced >= 1) DisplayModeButton(ui, forced)->setChecked(true);
    if (mode == vorn::kOperatingModeFsk) ui.filterOptionDCSubtract->setChecked(true);

    for (int m = 1; m <= vorn::kDisplayModeCount; ++m) {
        if (DisplayModeButton(ui, m)->isChecked()) {
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

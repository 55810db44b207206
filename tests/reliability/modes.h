#pragma once
// The operating modes the operator can choose, each with the display modes it allows and the
// words its routine uses when a read comes up short.
#include <QAbstractButton>

#include <vector>

#include "ui_vorn_gui.h"

struct ModeCase {
    QAbstractButton* operating;
    QAbstractButton* display;
    QString failure;

    std::string Name() const { return (operating->text() + " / " + display->text()).toStdString(); }
};

inline std::vector<ModeCase> AllowedModes(const Ui::Vorn_GUIClass& ui) {
    const QString range = "Error: Did not receive requested number of samples.";
    const QString map = "Error: Did not receive the proper number of samples.";
    const QString cw = "Error: Interface cound not be set!";
    const QString fsk = "Error: Received wrong number of samples from radar.";
    return {
        {ui.radioOperationMode_1, ui.radioSpectrumDisplay_1, range},
        {ui.radioOperationMode_1, ui.radioSpectrumDisplay_3, map},
        {ui.radioOperationMode_1, ui.radioSpectrumDisplay_4, map},
        {ui.radioOperationMode_1, ui.radioSpectrumDisplay_5, range},
        {ui.radioOperationMode_5, ui.radioSpectrumDisplay_2, cw},
        {ui.radioOperationMode_5, ui.radioSpectrumDisplay_4, cw},
        {ui.radioOperationMode_4, ui.radioSpectrumDisplay_2, fsk},
        {ui.radioOperationMode_4, ui.radioSpectrumDisplay_4, fsk},
        {ui.radioOperationMode_4, ui.radioSpectrumDisplay_5, fsk},
    };
}

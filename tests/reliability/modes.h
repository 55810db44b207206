#pragma once
// The operating modes the operator can choose, each with the display modes it allows and the
// words its routine uses when a read comes up short.
#include <QAbstractButton>

#include <functional>
#include <vector>

#include "sim/sim_radar.h"
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

using vorn::sim::SimRadar;

struct StreamFault {
    const char* name;
    std::function<void(SimRadar&)> inject;
    bool endsStream;
    // What the logged failure names (a pattern), for the faults that end the stream.
    const char* cause;
};

// The request carries 10240 spare bytes: 2048 skipped, the rest room for the search.
inline const StreamFault kStreamFaults[] = {
    {"unplugged", [](SimRadar& r) { r.Unplug(); }, true, ": no device \\(disconnected\\); 0 of "},
    {"stalled", [](SimRadar& r) { r.faults().stalledStream = true; }, true,
     ": timeout; 0 of \\d+ bytes$"},
    {"one frame short", [](SimRadar& r) { r.faults().shortStream = true; }, true,
     ": \\d+ of \\d+ frames in \\d+ bytes, first frame at word \\d+$"},
    {"no start bit", [](SimRadar& r) { r.faults().noStartBit = true; }, true,
     ": no frame start bit in \\d+ bytes$"},
    // Pushes the first frame out of the short range reads altogether.
    {"garbage beyond the spare bytes", [](SimRadar& r) { r.faults().garbageWords = 8000; }, true,
     ": (no frame start bit in|\\d+ of \\d+ frames in) \\d+ bytes"},
    {"garbage within the spare bytes", [](SimRadar& r) { r.faults().garbageWords = 1500; }, false,
     ""},
    {"start bit inside frames", [](SimRadar& r) { r.faults().startBitInData = true; }, false, ""},
};

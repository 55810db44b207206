#include "tools/replay_status.h"

#include <QLabel>
#include <QMetaObject>
#include <QPointer>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QString>
#include <QTimer>

#include "app/vorn_gui.h"
#include "sim/replay.h"
#include "sim/sim_radar.h"

namespace vorn::tools {

namespace {

// Index of value in the combo's table, -1 when the radar has no such setting.
template <typename T, std::size_t N>
int IndexOf(const T (&table)[N], T value) {
    for (std::size_t i = 0; i < N; ++i)
        if (table[i] == value) return static_cast<int>(i);
    return -1;
}

}  // namespace

void PutRecordingParametersOnForm(const vorn::sim::Replay& replay, Vorn_GUI& window) {
    const Ui::Vorn_GUIClass& ui = window.form();
    const vorn::sim::RadarParameters& p = replay.parameters;
    QRadioButton* const mode = p.mode == vorn::sim::RadarMode::Fsk  ? ui.radioOperationMode_4
                               : p.mode == vorn::sim::RadarMode::Cw ? ui.radioOperationMode_5
                                                                    : ui.radioOperationMode_1;
    // The combos' items, in their order.
    static constexpr double kSweepTimesS[] = {0.001, 0.002, 0.004, 0.010};
    static constexpr int kSamples[] = {128, 256, 512, 1024};
    static constexpr double kBandwidthsHz[] = {100e6, 150e6, 300e6, 400e6};
    {
        // One block for the whole set: each combo on its own would send a block that still
        // mismatches in the others.
        const QSignalBlocker sweep(ui.comboPSweepTime);
        const QSignalBlocker samples(ui.comboPSampleWindow);
        const QSignalBlocker bandwidth(ui.comboPBandwidth);
        if (const int i = IndexOf(kSweepTimesS, p.sweepTimeS); i >= 0)
            ui.comboPSweepTime->setCurrentIndex(i);
        if (const int i = IndexOf(kSamples, p.samplesPerSweep); i >= 0)
            ui.comboPSampleWindow->setCurrentIndex(i);
        if (const int i = IndexOf(kBandwidthsHz, p.bandwidthHz); replay.bandwidthRecorded && i >= 0)
            ui.comboPBandwidth->setCurrentIndex(i);
        mode->setChecked(true);
    }
    if (window.timer() && window.timer()->isActive()) {
        mode->click();
    } else if (ui.buttonActivateDevice->isChecked()) {
        ui.buttonActivateDevice->setChecked(false);
    }
}

void ShowRefusalsInStatusBar(vorn::sim::SimRadar& radar, Vorn_GUI& window) {
    QPointer<Vorn_GUI> target(&window);
    // While the replay streams on, the update-time read-out takes the message over at the next
    // tick; this label keeps the reason readable beside it for a while.
    auto* label = new QLabel(window.statusBar());
    label->setObjectName(QStringLiteral("replayRefusal"));
    label->hide();
    window.statusBar()->addPermanentWidget(label);
    auto* hideLater = new QTimer(label);
    hideLater->setSingleShot(true);
    hideLater->setInterval(10000);
    QObject::connect(hideLater, &QTimer::timeout, label, &QLabel::hide);
    radar.SetRefusalHandler([target, &radar, label, hideLater](const std::string& why) {
        if (!target) return;
        const QString reason = QString::fromStdString(why);
        const QString text =
            reason + QStringLiteral(". The recording's parameters are back on the form.");
        QMetaObject::invokeMethod(
            target.data(),
            [target, text, reason, &radar, label, hideLater] {
                if (!target) return;
                if (const vorn::sim::Replay* replay = radar.replay())
                    PutRecordingParametersOnForm(*replay, *target);
                target->statusBar()->showMessage(text);
                label->setText(reason);
                label->show();
                hideLater->start();
            },
            Qt::QueuedConnection);
    });
}

}  // namespace vorn::tools

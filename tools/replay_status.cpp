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

// Index of the combo's item that fits, -1 when the radar has no such setting.
template <typename T, std::size_t N, typename Fits>
int IndexOf(const T (&table)[N], Fits fits) {
    for (std::size_t i = 0; i < N; ++i)
        if (fits(table[i])) return static_cast<int>(i);
    return -1;
}

}  // namespace

void PutRecordingParametersOnForm(const vorn::sim::Replay& replay, Vorn_GUI& window) {
    const Ui::Vorn_GUIClass& ui = window.form();
    const vorn::sim::RadarParameters& p = replay.parameters;
    // A replay's mode is sawtooth, FSK or CW, whose codes the radar's modes carry.
    const int modeCode = static_cast<int>(p.mode);
    QRadioButton* const mode = OperatingModeButton(ui, modeCode);
    const int sweepIndex =
        IndexOf(dsp::kSweepTimeChoicesMs, [&](double ms) { return ms / 1000.0 == p.sweepTimeS; });
    const int samplesIndex =
        IndexOf(dsp::kSamplesPerSweepChoices, [&](int n) { return n == p.samplesPerSweep; });
    const int bandwidthIndex =
        replay.bandwidthRecorded
            ? IndexOf(dsp::kBandwidthChoicesHz, [&](double hz) { return hz == p.bandwidthHz; })
            : -1;
    const bool streaming = window.timer() && window.timer()->isActive();
    // Several blocks may be refused in a row (each write of a change, the tick's own): once the
    // window runs with the recording's parameters again, the later refusals change nothing.
    if (streaming && window.currentOperatingMode() == modeCode && mode->isChecked() &&
        (sweepIndex < 0 || ui.comboPSweepTime->currentIndex() == sweepIndex) &&
        (samplesIndex < 0 || ui.comboPSampleWindow->currentIndex() == samplesIndex) &&
        (bandwidthIndex < 0 || ui.comboPBandwidth->currentIndex() == bandwidthIndex))
        return;
    {
        // One block for the whole set: each combo on its own would send a block that still
        // mismatches in the others.
        const QSignalBlocker sweep(ui.comboPSweepTime);
        const QSignalBlocker samples(ui.comboPSampleWindow);
        const QSignalBlocker bandwidth(ui.comboPBandwidth);
        if (sweepIndex >= 0) ui.comboPSweepTime->setCurrentIndex(sweepIndex);
        if (samplesIndex >= 0) ui.comboPSampleWindow->setCurrentIndex(samplesIndex);
        if (bandwidthIndex >= 0) ui.comboPBandwidth->setCurrentIndex(bandwidthIndex);
        mode->setChecked(true);
    }
    // While streaming, the click rebuilds the plots and calls off a read that is out, so no
    // block read under the refused parameters is processed.
    if (streaming) {
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

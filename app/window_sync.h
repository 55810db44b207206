#pragma once
// Runs the window's asynchronous steps to their end, for tests, benchmarks and tools that look
// at the plots right after a tick or a recording.
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include "app/vorn_gui.h"

namespace vorn {

// Starts something with start() and runs the event loop until the window emits `signal`;
// false on timeout. A signal emitted within start() counts.
template <typename Signal, typename Start>
bool RunUntil(Vorn_GUI& window, Signal signal, Start start, int timeoutMs) {
    bool emitted = false;
    QEventLoop loop;
    const QMetaObject::Connection connection = QObject::connect(&window, signal, &loop, [&] {
        emitted = true;
        loop.quit();
    });
    start();
    if (!emitted) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QObject::disconnect(connection);
    return emitted;
}

// One acquisition tick as the timer runs it, waited for to its end. A tick the timer started
// before is waited out first, and the timer's own ticks are held back meanwhile (it keeps
// running), so the tick run here is the only one between the call and its return; after a tick
// that ended the stream, none is run.
inline bool RunTick(Vorn_GUI& window, int timeoutMs = 60000) {
    const QPointer<QTimer> timer = window.timer();
    const bool wasBlocked = timer && timer->blockSignals(true);
    bool ok = !window.TickInFlight() || RunUntil(window, &Vorn_GUI::tickFinished, [] {}, timeoutMs);
    if (ok && window.form().buttonActivateDevice->isChecked()) {
        ok = RunUntil(
            window, &Vorn_GUI::tickFinished,
            [&] { QMetaObject::invokeMethod(&window, "ReadStream", Qt::DirectConnection); },
            timeoutMs);
    }
    if (timer) timer->blockSignals(wasBlocked);
    return ok;
}

// Waits until the recording in progress has ended (saved, failed, cancelled or discarded).
inline bool WaitForRecording(Vorn_GUI& window, int timeoutMs = 60000) {
    if (!window.RecordingInFlight()) return true;
    return RunUntil(window, &Vorn_GUI::recordingFinished, [] {}, timeoutMs);
}

}  // namespace vorn

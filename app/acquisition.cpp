// The acquisition tick, its dispatch and the failure sequence shared by every routine.
#include <QMetaObject>
#include <QLoggingCategory>
#include <QTimer>

#include "app/perf_counter.h"
#include "app/vorn_gui.h"
#include "device/radar_device.h"
#include "device/radar_worker.h"

namespace {
// The status texts stay fixed for the operator; the cause goes here (QT_LOGGING_RULES filters).
Q_LOGGING_CATEGORY(lcUsb, "vorn.usb")
}  // namespace

void Vorn_GUI::ReadStream() {
    // Ticks never overlap: one that comes while the last read is still out is skipped, as it
    // would be behind a blocked thread; a recording holds the radar for itself.
    if (readInFlight || recordingInFlight) return;
    tickStart = vorn::PerformanceCounter();

    switch (operatingMode) {
        case vorn::kOperatingModeFmcwSawtooth:
            if (displayMode == vorn::kDisplayModeRangeScope ||
                displayMode == vorn::kDisplayModeRangeWaterfall)
                ProcessFmcwRange();
            else if (displayMode >= vorn::kDisplayModeVelocityScope &&
                     displayMode <= vorn::kDisplayModeVelocityWaterfall)
                ProcessRangeVelocityMap();
            break;
        case vorn::kOperatingModeFsk:
            ProcessFsk();
            break;
        case vorn::kOperatingModeCw:
            ProcessCwVelocity();
            break;
        default:  // FMCW triangle has no processing
            break;
    }

    // A routine that read nothing (FMCW triangle) has ended already.
    if (!readInFlight) FinishTick();
}

void Vorn_GUI::FinishTick() {
    const std::int64_t second = vorn::PerformanceCounter();
    // A routine that stopped the stream leaves its error message standing, and a notice stays
    // readable for its few seconds.
    if (ui.buttonActivateDevice->isChecked() && second >= noticeUntil) {
        const double seconds = static_cast<double>(vorn::ElapsedMicroseconds(
                                   tickStart, second, vorn::PerformanceFrequency())) /
                               1000000.0;
        ui.statusBar->showMessage(tr("Update Time: ") + QString::number(seconds, 'g', 6) +
                                  tr(" s"));
    }
    emit tickFinished();
}

void Vorn_GUI::CancelRead() {
    if (radarWorker) radarWorker->CancelAll();
    ++readGeneration;
    if (readInFlight) {
        readInFlight = false;
        emit tickFinished();
    }
}

void Vorn_GUI::EnableDisplayControls(bool enabled) {
    ui.groupBox_3->setEnabled(enabled);
    ui.DisplayProperties->setEnabled(enabled);
}

void Vorn_GUI::on_spinBoxPUpdateRate_valueChanged(int value) {
    updateIntervalMs = value;
    if (ui.buttonActivateDevice->isChecked() && streamTimer)
        streamTimer->setInterval(updateIntervalMs);
}

void Vorn_GUI::ShowNotice(const QString& message) {
    constexpr std::int64_t kNoticeSeconds = 5;
    ui.statusBar->showMessage(message);
    noticeUntil = vorn::PerformanceCounter() + kNoticeSeconds * vorn::PerformanceFrequency();
}

void Vorn_GUI::StopStreamingAfterFailedRead(const QString& message) {
    if (streamTimer) streamTimer->stop();
    CancelRead();
    ui.buttonActivateDevice->setChecked(false);
    ui.statusBar->showMessage(message);
    ReportUsbFailure();
    RefreshDeviceList(false);
    EnableDisplayControls(false);
    ShowStopped(true);
}

void Vorn_GUI::ReportUsbFailure() {
    const auto& failure = usbDevice->LastFailure();
    const QString cause =
        failure ? QString::fromStdString(DescribeUsbFailure(*failure)) : QString();
    ui.statusBar->setToolTip(cause);
    if (!cause.isEmpty()) LogUsbFailure(cause);
}

void Vorn_GUI::LogUsbFailure(const QString& cause) {
    if (cause == lastLoggedUsbFailure) return;
    lastLoggedUsbFailure = cause;
    qCWarning(lcUsb).noquote() << cause;
}

int Vorn_GUI::SendParameterBlock() {
    int written = 0;
    const std::uint16_t word = parameterWord;
    radarWorker->Run([&](RadarDevice& device) { written = device.WriteParameterBlock(word); });
    return written;
}

void Vorn_GUI::AcquireBlock(int frames, int timeoutMs, const QString& failure,
                            BlockHandler process) {
    readInFlight = true;
    const std::uint64_t generation = readGeneration;
    const std::uint16_t word = parameterWord;
    const bool channelOne = channelOneSelected != 0;
    // The worker is stopped before the window goes, so `this` outlives every job.
    radarWorker->Post([this, frames, timeoutMs, generation, word, channelOne, failure,
                       process = std::move(process)](RadarDevice& device) mutable {
        device.WriteParameterBlock(word);  // a failed write shows up as a short read
        auto block = std::make_shared<SampleBlock>();
        const int got = channelOne ? device.ReadChannel1(*block, frames, timeoutMs)
                                   : device.ReadChannel2(*block, frames, timeoutMs);
        QMetaObject::invokeMethod(
            this,
            [this, generation, complete = got == frames, block, failure,
             process = std::move(process)] {
                OnBlockArrived(generation, complete, *block, failure, process);
            },
            Qt::QueuedConnection);
    });
}

void Vorn_GUI::OnBlockArrived(std::uint64_t generation, bool complete, SampleBlock& block,
                              const QString& failure, const BlockHandler& process) {
    // Called off (deactivation, refresh, a new mode, new operating parameters, which bump the
    // generation first): whoever did it has ended the tick, and the block is never processed.
    if (generation != readGeneration || !readInFlight) return;
    readInFlight = false;
    if (!complete) {
        StopStreamingAfterFailedRead(failure);
        FinishTick();
        return;
    }
    process(block);
    FinishTick();
}

// The acquisition tick, its dispatch and the failure sequence shared by every routine.
#include <QTimer>

#include "app/perf_counter.h"
#include "app/vorn_gui.h"
#include "device/radar_device.h"

void Vorn_GUI::ReadStream() {
    const std::int64_t frequency = vorn::PerformanceFrequency();
    const std::int64_t first = vorn::PerformanceCounter();

    switch (operatingMode) {
        case 0:
            if (displayMode == 1)
                ProcessFmcwRange();
            else if (displayMode >= 2 && displayMode <= 4)
                ProcessRangeVelocityMap();
            else if (displayMode == 5)
                ProcessFmcwRange();
            break;
        case 2:
            ProcessFsk();
            break;
        case 3:
            ProcessCwVelocity();
            break;
        default:  // FMCW triangle has no processing
            break;
    }

    const std::int64_t second = vorn::PerformanceCounter();
    // A routine that stopped the stream leaves its error message standing.
    if (!ui.buttonActivateDevice->isChecked()) return;
    if (second < noticeUntil) return;
    const double seconds =
        static_cast<double>(vorn::ElapsedMicroseconds(first, second, frequency)) / 1000000.0;
    ui.statusBar->showMessage(tr("Update Time: ") + QString::number(seconds, 'g', 6) + tr(" s"));
}

void Vorn_GUI::EnableDisplayControls(bool enabled) {
    ui.groupBox_3->setEnabled(enabled);
    ui.DisplayProperties->setEnabled(enabled);
}

void Vorn_GUI::on_spinBoxPUpdateRate_valueChanged() {
    updateIntervalMs = ui.spinBoxPUpdateRate->value();
    if (ui.buttonActivateDevice->isChecked() && streamTimer) streamTimer->setInterval(updateIntervalMs);
}

void Vorn_GUI::ShowNotice(const QString& message) {
    constexpr std::int64_t kNoticeSeconds = 5;
    ui.statusBar->showMessage(message);
    noticeUntil = vorn::PerformanceCounter() + kNoticeSeconds * vorn::PerformanceFrequency();
}

void Vorn_GUI::StopStreamingAfterFailedRead(const QString& message) {
    if (streamTimer) streamTimer->stop();
    ui.buttonActivateDevice->setChecked(false);
    ui.statusBar->showMessage(message);
    on_buttonRefreshDeviceList_clicked();
    EnableDisplayControls(false);
    ShowStopped(true);
}

int Vorn_GUI::SendParameterBlock() {
    const std::vector<std::uint8_t> block = RadarDevice::BuildParameterBlock(parameterWord);
    return usbDevice->WriteBlock(block.data(), static_cast<int>(block.size()));
}

bool Vorn_GUI::AcquireBlock(SampleBlock& block, int frames, int timeoutMs) {
    SendParameterBlock();  // a failed write shows up as a short read
    const int got = channelOneSelected ? usbDevice->ReadChannel1(block, frames, timeoutMs)
                                       : usbDevice->ReadChannel2(block, frames, timeoutMs);
    return got == frames;
}

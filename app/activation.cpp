// Radar discovery, activation and deactivation.
#include <QTimer>
#include <qwt_plot.h>

#include "app/vorn_gui.h"
#include "device/firmware.h"
#include "device/radar_constants.h"
#include "device/radar_device.h"

namespace {
const char* const kPermissionHint = QT_TRANSLATE_NOOP(
    "Vorn_GUI",
    "A radar is attached but cannot be opened: permission denied. Install the udev rule "
    "60-vorn-radar.rules (see the README, Troubleshooting), re-plug the radar and click Refresh.");
}

void Vorn_GUI::on_buttonRefreshDeviceList_clicked() {
    RefreshDeviceList(true);
}

void Vorn_GUI::RefreshDeviceList(bool operatorAsked) {
    // A refresh replaces the device under the timer, so streaming stops first, as it does
    // on deactivation. After a failed read the timer is already stopped and nothing changes.
    CancelRead();
    if (streamTimer && streamTimer->isActive()) {
        streamTimer->stop();
        ui.buttonActivateDevice->setChecked(false);
        ui.statusBar->showMessage(tr("Device disabled"));
        EnableDisplayControls(false);
        ui.DisplayProperties->setCurrentIndex(4);
        ShowStopped(true);
    }

    const int n = usbDevice->RefreshDevices();
    // A radar that would not open, or a USB stack that did not start.
    QString cause;
    if (const auto& failure = usbDevice->LastFailure()) {
        cause = QString::fromStdString(DescribeUsbFailure(*failure));
        LogUsbFailure(cause);
    }
    ui.comboDevices->clear();
    if (n < 1) {
        ui.buttonActivateDevice->setEnabled(false);
        ui.comboDevices->addItem(tr("No Devices Found"));
        QString tip = cause;
        if (usbDevice->InaccessibleCount() > 0) {
            const QString hint = tr(kPermissionHint);
            tip = cause.isEmpty() ? hint : hint + QLatin1Char('\n') + cause;
            if (operatorAsked) {
                ui.statusBar->showMessage(hint);
                ui.statusBar->setToolTip(cause);
            }
        }
        ui.comboDevices->setToolTip(tip);
        ui.comboDevices->setItemData(0, tip, Qt::ToolTipRole);
        return;
    }
    ui.comboDevices->setToolTip(cause);
    for (int i = 0; i < n; ++i) ui.comboDevices->addItem(tr(vorn::kRadarModelName));
    ui.buttonActivateDevice->setEnabled(true);
}

void Vorn_GUI::on_buttonActivateDevice_clicked() {
    CancelRead();
    if (!ui.buttonActivateDevice->isChecked()) {
        if (streamTimer) streamTimer->stop();
        ui.statusBar->showMessage(tr("Device disabled"));
        EnableDisplayControls(false);
        ShowStopped(true);
        ui.DisplayProperties->setCurrentIndex(4);
        return;
    }

    ui.DisplayProperties->setCurrentIndex(0);
    EnableDisplayControls(true);
    ui.statusBar->setToolTip(QString());  // the cause of an earlier failure is history now

    // Fails activation with the button unchecked (interface and endpoint steps) or left
    // checked (firmware and parameter steps), as the operator expects from each.
    const auto fail = [this](const QString& message, bool uncheck) {
        if (uncheck) ui.buttonActivateDevice->setChecked(false);
        ui.statusBar->showMessage(message);
        ReportUsbFailure();
        RefreshDeviceList(false);
        EnableDisplayControls(false);
        ShowStopped(true);
    };

    // Activation uses the radar of the selected list entry.
    const bool opened = usbDevice->OpenEntry(std::max(0, ui.comboDevices->currentIndex()));
    usbDevice->interfaceSelected = opened ? usbDevice->SelectStreamingInterface() : 0;
    if (usbDevice->interfaceSelected != 1)
        return fail(tr("Error: Interface cound not be set!"), true);

    usbDevice->outEndPointIndex = usbDevice->FindEndPoint(vorn::kParameterEndpoint);
    if (usbDevice->outEndPointIndex == 0)
        return fail(tr("Error: Could not find endpoint 2!"), true);

    usbDevice->inEndPointIndex = usbDevice->FindEndPoint(vorn::kSampleEndpoint);
    if (usbDevice->inEndPointIndex == 0) return fail(tr("Error: Could not find endpoint 6!"), true);

    if (!LoadFirmware()) return fail(tr("Error: Firmware Update Failed!"), false);
    ui.statusBar->showMessage(tr("Success: Firmware Update Complete!"));

    if (!UpdateOperatingParameters())
        return fail(tr("Error: Unable to set operating parameters"), false);
    ui.statusBar->showMessage(tr("New operating parameters set"));

    // One timer at a time: a timer left from an earlier activation is retired.
    delete streamTimer;
    streamTimer = new QTimer(this);
    connect(streamTimer, &QTimer::timeout, this, &Vorn_GUI::ReadStream);
    streamTimer->start(updateIntervalMs);

    ui.statusBar->showMessage(tr("Device Streaming..."));
    lastLoggedUsbFailure.clear();  // the radar works again: the next failure is news
    ShowStopped(false);
    UpdateDisplayParameters();
}

void Vorn_GUI::ShowStopped(bool stopped) {
    QwtPlot* const plots[] = {ui.qwtPlotScope_1, ui.qwtPlotScope_2};
    for (int i = 0; i < 2; ++i) {
        vorn::StoppedOverlay*& overlay = stoppedOverlays[i];
        if (stopped && !overlay) {
            overlay = new vorn::StoppedOverlay();
            overlay->attach(plots[i]);
        } else if (!stopped && overlay) {
            delete overlay;  // detaches it
            overlay = nullptr;
        }
        plots[i]->replot();
    }
    // The dials and the gauge hold the last detection: they are greyed with the plots.
    ui.fskGroupBox->setEnabled(!stopped);
}

bool Vorn_GUI::LoadFirmware() {
    const std::string text = vorn::EmbeddedFirmwareText();
    auto records = vorn::ParseFirmwareRecords(text);
    const std::size_t expected = records.size();
    // An image that parses to nothing is damaged; it must not count as a complete download.
    if (expected == 0) return false;
    return static_cast<std::size_t>(usbDevice->DownloadFirmware(std::move(records))) == expected;
}

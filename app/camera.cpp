// The camera dock: list, select, start and stop a camera through Qt Multimedia.
#include <QCamera>
#include <QCameraInfo>
#include <QDockWidget>
#include <QVideoWidget>

#include "app/vorn_gui.h"

void Vorn_GUI::refreshCameraDevices() {
    ui.vornCamera_Status->setChecked(false);
    ui.vornCamera_DevicesList->clear();
    // Said by the empty list itself: an item would look like a camera to choose.
    ui.vornCamera_DevicesList->setPlaceholderText(tr("No camera found"));
    for (const QCameraInfo& info : QCameraInfo::availableCameras())
        ui.vornCamera_DevicesList->addItem(info.description());
    if (ui.vornCamera_DevicesList->count() > 0)
        setActiveCamera();
    else
        ui.vornCamera_Status->setEnabled(false);  // there is nothing to start
}

void Vorn_GUI::setActiveCamera() {
    if (ui.vornCamera_DevicesList->count() == 0) {
        ui.vornCamera_Status->setEnabled(false);
        return;
    }
    if (camera) {
        camera->disconnect();
        delete camera;
        camera = nullptr;
    }
    ui.vornCamera_Status->setEnabled(true);
    // The device list may have changed since the combo was filled: an index beyond it
    // creates no camera, and the status button has nothing to start.
    const QList<QCameraInfo> devices = QCameraInfo::availableCameras();
    const int index = ui.vornCamera_DevicesList->currentIndex();
    if (index < 0 || index >= devices.size()) {
        ui.vornCamera_Status->setEnabled(false);
        return;
    }
    camera = new QCamera(devices.at(index));
    camera->setViewfinder(videoWidget);
    QCamera* const created = camera;
    connect(camera, &QCamera::errorOccurred, this,
            [this, created] { ShowCameraError(created->errorString()); });
}

void Vorn_GUI::ShowCameraError(const QString& reason) {
    // A notice, so that the next acquisition tick does not wipe it at once.
    ShowNotice(tr("Camera: %1").arg(reason.isEmpty() ? tr("unknown error") : reason));
}

void Vorn_GUI::setCameraStatus() {
    if (!camera) return;
    if (ui.vornCamera_Status->isChecked()) {
        cameraDock->setWidget(videoWidget);
        addDockWidget(Qt::LeftDockWidgetArea, cameraDock);
        cameraDock->setWindowTitle(ui.vornCamera_DevicesList->currentText());
        camera->start();
        ui.vornCamera_Status->setText(tr("ENABLED"));
    } else {
        camera->stop();
        ui.vornCamera_Status->setText(tr("DISABLED"));
    }
}

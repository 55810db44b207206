// vorn-gui: the window on the radars attached over libusb.
#include <QApplication>
#include <QStringList>
#include <QtGlobal>

#include "app/vorn_gui.h"
#include "device/libusb_backend.h"
#include "device/radar_device.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Vorn_GUI window(std::make_shared<vorn::LibusbBackend>());
    // Which radars the start saw, so that a log tells a missing radar from a failing one.
    QStringList where;
    for (const RadarDeviceEntry& entry : window.radar()->DeviceList())
        where << QString::fromStdString(entry.location);
    const QString found = where.size() == 1 ? QStringLiteral("1 radar found")
                                            : QStringLiteral("%1 radars found").arg(where.size());
    qInfo().noquote() << found + (where.isEmpty() ? QString() : ": " + where.join(", "));
    window.ShowMaximizedOnScreen();
    return app.exec();
}

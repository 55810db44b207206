// vorn-gui: the window on the radars attached over libusb.
#include <QApplication>

#include "app/vorn_gui.h"
#include "device/libusb_backend.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    Vorn_GUI window(std::make_shared<vorn::LibusbBackend>());
    window.ShowMaximizedOnScreen();
    return app.exec();
}

// vorn-gui-demo: the application's window with one stand-in radar attached, streaming a
// synthetic scene in real time through the same code path as the hardware.
#include <QApplication>

#include "app/vorn_gui.h"
#include "sim/sim_backend.h"
#include "sim/sim_radar.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    auto radar = std::make_shared<vorn::sim::SimRadar>(vorn::sim::DefaultDemoScene(),
                                                       vorn::sim::Pacing::RealTime);
    Vorn_GUI window(std::make_shared<vorn::sim::SimBackend>(radar));
    window.setWindowTitle(window.windowTitle() + QStringLiteral(" (stand-in radar)"));
    window.showMaximized();
    return app.exec();
}

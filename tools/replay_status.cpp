#include "tools/replay_status.h"

#include <QMetaObject>
#include <QPointer>
#include <QStatusBar>
#include <QString>

#include <memory>

#include "app/vorn_gui.h"
#include "sim/sim_radar.h"

namespace vorn::tools {

void ShowRefusalsInStatusBar(vorn::sim::SimRadar& radar, Vorn_GUI& window) {
    QPointer<Vorn_GUI> target(&window);
    radar.SetRefusalHandler([target](const std::string& why) {
        const QString text = QString::fromStdString(why);
        // Called on the worker: the window is reached through its event loop only.
        QMetaObject::invokeMethod(
            target.data(),
            [target, text] {
                if (!target) return;
                const auto show = [target, text] {
                    if (target) target->statusBar()->showMessage(text);
                };
                show();
                if (!target->TickInFlight()) return;
                // The tick whose write was refused ends with its own message: follow it.
                auto once = std::make_shared<QMetaObject::Connection>();
                *once = QObject::connect(target.data(), &Vorn_GUI::tickFinished, target.data(),
                                         [once, show] {
                                             QObject::disconnect(*once);
                                             show();
                                         });
            },
            Qt::QueuedConnection);
    });
}

}  // namespace vorn::tools

#include "tools/replay_status.h"

#include <QMainWindow>
#include <QMetaObject>
#include <QPointer>
#include <QStatusBar>
#include <QString>

#include "sim/sim_radar.h"

namespace vorn::tools {

void ShowRefusalsInStatusBar(vorn::sim::SimRadar& radar, QMainWindow& window) {
    QPointer<QMainWindow> target(&window);
    radar.SetRefusalHandler([target](const std::string& why) {
        if (!target) return;
        const QString text = QString::fromStdString(why);
        QMetaObject::invokeMethod(
            target.data(),
            [target, text] {
                if (target) target->statusBar()->showMessage(text);
            },
            Qt::QueuedConnection);
    });
}

}  // namespace vorn::tools

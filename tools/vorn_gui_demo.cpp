// vorn-gui-demo: the application's window with one stand-in radar attached, streaming a
// synthetic scene (or a recording) in real time through the same code path as the hardware.
#include <qwt_plot.h>
#include <QApplication>
#include <QCommandLineParser>
#include <QCursor>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QToolBox>

#include <cstdio>
#include <memory>
#include <utility>

#include "app/vorn_gui.h"
#include "display/display_modes.h"
#include "sim/replay.h"
#include "sim/sim_backend.h"
#include "sim/sim_radar.h"
#include "tools/replay_status.h"

namespace {

constexpr int kBadUsage = 2;

int Fail(const QString& message) {
    std::fprintf(stderr, "vorn-gui-demo: %s\nTry 'vorn-gui-demo --help'.\n", qPrintable(message));
    return kBadUsage;
}

struct DemoSettings {
    QString replay;
    bool activate = false;
    int operatingMode = -1;  // -1: as the window starts
    int displayMode = 0;     // 0: as the window starts
    QString screenshot;
    int afterMs = 2000;
    bool cursor = false;
    QPointF cursorAt;  // fractions of the bottom plot's canvas, from its top left corner
    bool cfar = false;
};

// Empty on success, otherwise what is wrong with the command line.
QString ReadSettings(const QCommandLineParser& parser, DemoSettings& s) {
    if (!parser.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments()[0]);
    s.replay = parser.value(QStringLiteral("replay"));
    s.activate = parser.isSet(QStringLiteral("activate"));
    if (parser.isSet(QStringLiteral("operating-mode"))) {
        const QString mode = parser.value(QStringLiteral("operating-mode"));
        if (mode == QLatin1String("fmcw"))
            s.operatingMode = vorn::kOperatingModeFmcwSawtooth;
        else if (mode == QLatin1String("fsk"))
            s.operatingMode = vorn::kOperatingModeFsk;
        else if (mode == QLatin1String("cw"))
            s.operatingMode = vorn::kOperatingModeCw;
        else
            return QStringLiteral("--operating-mode takes fmcw, fsk or cw, not \"%1\"").arg(mode);
    }
    if (parser.isSet(QStringLiteral("display-mode"))) {
        bool ok = false;
        s.displayMode = parser.value(QStringLiteral("display-mode")).toInt(&ok);
        if (!ok || s.displayMode < 1 || s.displayMode > vorn::kDisplayModeCount)
            return QStringLiteral("--display-mode takes 1 to 5");
        const int mode = s.operatingMode < 0 ? vorn::kOperatingModeFmcwSawtooth : s.operatingMode;
        if (!vorn::IsDisplayModeAllowed(mode, s.displayMode))
            return QStringLiteral("display mode %1 is not offered in this operating mode")
                .arg(s.displayMode);
    }
    s.screenshot = parser.value(QStringLiteral("screenshot"));
    if (parser.isSet(QStringLiteral("after"))) {
        if (s.screenshot.isEmpty()) return QStringLiteral("--after needs --screenshot");
        bool ok = false;
        s.afterMs = parser.value(QStringLiteral("after")).toInt(&ok);
        if (!ok || s.afterMs < 0) return QStringLiteral("--after takes milliseconds (0 or more)");
    }
    if (parser.isSet(QStringLiteral("cursor"))) {
        if (s.screenshot.isEmpty()) return QStringLiteral("--cursor needs --screenshot");
        const QStringList xy = parser.value(QStringLiteral("cursor")).split(QLatin1Char(','));
        bool okX = false;
        bool okY = false;
        if (xy.size() == 2) s.cursorAt = QPointF(xy[0].toDouble(&okX), xy[1].toDouble(&okY));
        if (!okX || !okY || s.cursorAt.x() < 0.0 || s.cursorAt.x() > 1.0 || s.cursorAt.y() < 0.0 ||
            s.cursorAt.y() > 1.0)
            return QStringLiteral("--cursor takes X,Y, each from 0 to 1");
        s.cursor = true;
    }
    s.cfar = parser.isSet(QStringLiteral("cfar"));
    return {};
}

// Checks the buttons the window reads when it is activated.
void PresetModes(const Ui::Vorn_GUIClass& ui, const DemoSettings& s) {
    if (QRadioButton* button = OperatingModeButton(ui, s.operatingMode)) button->setChecked(true);
    if (s.displayMode >= 1) DisplayModeButton(ui, s.displayMode)->setChecked(true);
}

void DescribeOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "The Vorn-GUI window on a stand-in radar that streams a synthetic scene, or replays a "
        "recording (\".dat\", or SigMF by its \".sigmf-meta\") in real time. A replay starts with the recording's operating "
        "mode, sweep time, samples per sweep and bandwidth on the form; the radar refuses "
        "any other, and the form then returns to the recording's."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("replay"),
         QStringLiteral("Stream the recording <file> instead of the scene."),
         QStringLiteral("file")},
        {QStringLiteral("activate"),
         QStringLiteral("Click \"Activate\" once the window is shown.")},
        {QStringLiteral("operating-mode"),
         QStringLiteral("Operating mode to select: fmcw, fsk or cw."), QStringLiteral("mode")},
        {QStringLiteral("display-mode"),
         QStringLiteral("Display mode to select, 1 to 5 (1 range scope, 2 velocity scope, 3 "
                        "range-velocity map, 4 velocity waterfall, 5 range waterfall)."),
         QStringLiteral("n")},
        {QStringLiteral("screenshot"),
         QStringLiteral("Save a picture of the window to <png> and quit."), QStringLiteral("png")},
        {QStringLiteral("after"),
         QStringLiteral("Take the screenshot after <ms> milliseconds (2000)."),
         QStringLiteral("ms")},
        {QStringLiteral("cursor"),
         QStringLiteral("Before the screenshot, put the mouse on the bottom plot at <x,y>, "
                        "fractions of its canvas from the top left corner (0.5,0.5: the "
                        "middle), so that the picture shows the values under it."),
         QStringLiteral("x,y")},
        {QStringLiteral("cfar"),
         QStringLiteral("Turn CFAR detection on and open the page that holds its settings.")},
    });
}

// Moves the mouse onto the bottom plot's canvas, the window system's pointer as well as the
// event the plot's read-out follows (without a window system the pointer does not move), and
// returns the point in the window's coordinates.
QPoint PlaceCursor(const Vorn_GUI& window, QPointF fraction) {
    QWidget* const canvas = window.form().qwtPlotScope_2->canvas();
    const QPoint at(qRound(fraction.x() * (canvas->width() - 1)),
                    qRound(fraction.y() * (canvas->height() - 1)));
    QCursor::setPos(canvas->mapToGlobal(at));
    QApplication::processEvents();
    QMouseEvent move(QEvent::MouseMove, at, canvas->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(canvas, &move);
    return canvas->mapTo(&window, at);
}

// A screenshot has no mouse pointer: a small cross marks where it is.
void DrawCursorMark(QPixmap& picture, QPoint at) {
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto& [colour, width] : {std::pair{QColor(Qt::black), 4}, {QColor(Qt::white), 2}}) {
        painter.setPen(QPen(colour, width));
        painter.drawLine(at - QPoint(9, 0), at + QPoint(9, 0));
        painter.drawLine(at - QPoint(0, 9), at + QPoint(0, 9));
    }
}

// Turns the detector on and opens its settings page, as an operator would.
void ShowCfar(const Ui::Vorn_GUIClass& ui) {
    ui.checkCfarEnable->setChecked(true);
    QWidget* page = ui.groupBox_Cfar;
    while (page && ui.DisplayProperties->indexOf(page) < 0) page = page->parentWidget();
    if (page) ui.DisplayProperties->setCurrentWidget(page);
}

// --help is answered before any window system is needed, so that it works on a machine
// without a display.
bool WantsHelp(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-h" || arg == "--help" || arg == "-?") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (WantsHelp(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCommandLineParser parser;
        DescribeOptions(parser);
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorn-gui-demo"));
    QCommandLineParser parser;
    DescribeOptions(parser);
    if (!parser.parse(QApplication::arguments())) return Fail(parser.errorText());
    DemoSettings settings;
    if (const QString error = ReadSettings(parser, settings); !error.isEmpty()) return Fail(error);

    std::shared_ptr<vorn::sim::SimRadar> radar;
    std::shared_ptr<const vorn::sim::Replay> replay;
    if (settings.replay.isEmpty()) {
        radar = std::make_shared<vorn::sim::SimRadar>(vorn::sim::DefaultDemoScene(),
                                                      vorn::sim::Pacing::RealTime);
    } else {
        vorn::sim::ReplayLoad load = vorn::sim::LoadReplay(settings.replay.toStdString());
        if (!load.replay) return Fail(QString::fromStdString(load.message));
        radar =
            std::make_shared<vorn::sim::SimRadar>(vorn::sim::Scene{}, vorn::sim::Pacing::RealTime);
        replay = std::make_shared<const vorn::sim::Replay>(std::move(*load.replay));
        const int mode = static_cast<int>(replay->parameters.mode);
        if (settings.operatingMode >= 0 && settings.operatingMode != mode)
            return Fail(QStringLiteral("--operating-mode does not match the recording's mode"));
        if (settings.displayMode >= 1 && !vorn::IsDisplayModeAllowed(mode, settings.displayMode))
            return Fail(QStringLiteral("display mode %1 is not offered in the recording's mode")
                            .arg(settings.displayMode));
        radar->SetReplay(replay);
    }

    Vorn_GUI window(std::make_shared<vorn::sim::SimBackend>(radar));
    const QString source =
        settings.replay.isEmpty()
            ? QStringLiteral("stand-in radar")
            : QStringLiteral("replaying %1").arg(QFileInfo(settings.replay).fileName());
    window.setWindowTitle(window.windowTitle() + QStringLiteral(" (%1)").arg(source));
    vorn::tools::ShowRefusalsInStatusBar(*radar, window);
    PresetModes(window.form(), settings);
    if (replay) vorn::tools::PutRecordingParametersOnForm(*replay, window);
    window.ShowMaximizedOnScreen();

    int status = 0;
    QTimer::singleShot(0, &window, [&] {
        if (settings.activate) window.form().buttonActivateDevice->click();
        // After activation, which opens the operating parameters.
        if (settings.cfar) ShowCfar(window.form());
        if (settings.screenshot.isEmpty()) return;
        QTimer::singleShot(settings.afterMs, &window, [&] {
            const QPoint cursorAt =
                settings.cursor ? PlaceCursor(window, settings.cursorAt) : QPoint();
            QPixmap picture = window.grab();
            if (settings.cursor) DrawCursorMark(picture, cursorAt);
            if (!picture.save(settings.screenshot)) {
                std::fprintf(stderr, "vorn-gui-demo: cannot save the screenshot to \"%s\"\n",
                             qPrintable(settings.screenshot));
                status = 1;
            }
            QApplication::quit();
        });
    });
    const int loop = QApplication::exec();
    return status != 0 ? status : loop;
}

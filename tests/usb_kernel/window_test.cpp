// The window and the shipped program on the unchanged libusb, the radar behind usbdevfs.
#include <QElapsedTimer>
#include <QFont>
#include <QProcess>
#include <QTemporaryDir>

#include "../app/window_fixture.h"
#include "device/libusb_backend.h"
#include "usbdevfs_radar.h"

namespace vorn::test {
namespace {

class KernelWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        kernel.Plug(radar);
        window = std::make_unique<Vorn_GUI>(std::make_shared<LibusbBackend>());
    }
    void TearDown() override {
        window.reset();
        EXPECT_EQ(kernel.UnknownRequests(), "");
    }
    const Ui::Vorn_GUIClass& ui() const { return window->form(); }
    QString status() const { return ui().statusBar->currentMessage(); }
    void Tick() { ASSERT_TRUE(RunTick(*window)); }

    UsbdevfsRadar kernel;
    std::shared_ptr<sim::SimRadar> radar = std::make_shared<sim::SimRadar>();
    std::unique_ptr<Vorn_GUI> window;
};

TEST_F(KernelWindowTest, StreamsEveryModeRecordsAndLosesTheRadar) {
    ASSERT_EQ(ui().comboDevices->itemText(0), "Tarkel");
    ui().buttonActivateDevice->click();
    ASSERT_EQ(status(), "Device Streaming...");
    for (QAbstractButton* mode :
         {ui().radioOperationMode_1, ui().radioOperationMode_5, ui().radioOperationMode_4}) {
        mode->click();
        for (int i = 0; i < 3; ++i) {
            Tick();
            EXPECT_TRUE(status().startsWith("Update Time: ")) << status().toStdString();
        }
    }
    QTemporaryDir dir;
    ui().recordTimeSeconds->setValue(1);
    AnswerNextSaveDialog(dir.filePath("rec.dat"));
    ui().recordButtonStart->click();
    ASSERT_TRUE(WaitForRecording(*window));
    EXPECT_EQ(ui().recordStatus->text(), "Good, 128000 samples");

    kernel.Unplug();
    Tick();
    EXPECT_EQ(status(), "Error: Received wrong number of samples from radar.");
    // libusb learns of the removal from the udev event, which comes on its own thread.
    QElapsedTimer waited;
    waited.start();
    do {
        ui().buttonRefreshDeviceList->click();
    } while (ui().comboDevices->itemText(0) != "No Devices Found" && waited.elapsed() < 5000);
    EXPECT_EQ(ui().comboDevices->itemText(0), "No Devices Found");
}

// A helper program on the X server, outside the test bed: umockdev's preload is not for it.
QString RunHelper(const QString& display, const QString& program, const QStringList& args,
                  int timeoutMs = 10000) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LD_PRELOAD");
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.waitForFinished(timeoutMs);
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// The shipped program, started in the test bed: the test bed's variables and the preload reach
// it through the environment, and this process keeps answering its ioctls. It runs on a virtual
// X server, where a click on "Activate" at the button's place in the same layout starts it.
TEST_F(KernelWindowTest, TheProgramFindsTheRadarAndStreamsWithoutWarnings) {
    window.reset();  // the program has the radar to itself
    QProcess xserver;
    QProcessEnvironment xenv = QProcessEnvironment::systemEnvironment();
    xenv.remove("LD_PRELOAD");
    xserver.setProcessEnvironment(xenv);
    xserver.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    ASSERT_TRUE(xserver.waitForReadyRead(10000)) << "Xvfb did not start";
    const QString display = ":" + QString::fromLatin1(xserver.readLine()).trimmed();

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Only the children get the display: setenv() here would race with the getenv() calls the
    // preload makes on other threads.
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("QT_MESSAGE_PATTERN", "%{type}: %{message}");
    QTemporaryDir runtime;  // Qt warns without one
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    program.setProcessEnvironment(env);
    program.start(VORN_GUI_PROGRAM, QStringList());
    ASSERT_TRUE(program.waitForStarted(10000));

    // Where the button sits in a window of the program's size.
    const QStringList geometry =
        RunHelper(display, "xdotool",
                  {"search", "--sync", "--name", "^Vorn-GUI$", "getwindowgeometry", "--shell"})
            .split('\n');
    auto value = [&geometry](const QString& key) {
        for (const QString& line : geometry)
            if (line.startsWith(key + "=")) return line.mid(key.size() + 1);
        return QString();
    };
    ASSERT_FALSE(value("WINDOW").isEmpty()) << "no program window";
    const QFont font = QApplication::font();
    QApplication::setFont(QFont("Sans Serif", 9));  // the X11 platform's default, not offscreen's
    Vorn_GUI layout(std::make_shared<sim::SimBackend>(std::make_shared<sim::SimRadar>()));
    layout.resize(value("WIDTH").toInt(), value("HEIGHT").toInt());
    layout.show();
    QApplication::processEvents();
    const QPushButton* button = layout.form().buttonActivateDevice;
    const QPoint at = button->mapTo(&layout, button->rect().center());
    QApplication::setFont(font);
    RunHelper(display, "xdotool",
              {"mousemove", "--window", value("WINDOW"), QString::number(at.x()),
               QString::number(at.y()), "click", "1"});

    EXPECT_FALSE(program.waitForFinished(5000)) << "the program ended by itself";
    EXPECT_TRUE(radar->StreamingEnabled()) << "the click did not activate the radar";
    EXPECT_GE(radar->parameterBlocksAccepted(), 10) << "the program did not stream";
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    xserver.terminate();
    xserver.waitForFinished(10000);
    const QString log = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_TRUE(log.contains("info: 1 radar found: bus 1 port 1")) << log.toStdString();
    EXPECT_FALSE(log.contains("warning:")) << log.toStdString();
    EXPECT_FALSE(log.contains("critical:")) << log.toStdString();
}

}  // namespace
}  // namespace vorn::test

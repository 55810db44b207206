// Every fault the stand-in radar can show, injected while each allowed display mode of each
// operating mode streams: the routine's failure sequence and the one logged line that names its
// cause, then a working stream after the next activation. Faults the synchronisation must absorb
// leave the stream running and log nothing.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QStatusBar>
#include <QThread>

#include <functional>

#include "../app/window_fixture.h"
#include "modes.h"

namespace {

using vorn::sim::SimRadar;

void Heal(SimRadar& radar) {
    radar.faults() = {};
    if (!radar.plugged()) radar.Replug();
}

QStringList usbLog;
QtMessageHandler previousHandler = nullptr;

void CaptureUsbLog(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && qstrcmp(context.category, "vorn.usb") == 0) {
        usbLog << message;
        return;
    }
    if (previousHandler) previousHandler(type, context, message);
}

}  // namespace

class FaultMatrixTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        usbLog.clear();
        previousHandler = qInstallMessageHandler(CaptureUsbLog);
    }
    void TearDown() override { qInstallMessageHandler(previousHandler); }

    // The single line logged since the last call, which the status bar's tooltip repeats.
    QString LoggedCause(const std::string& what) {
        const QStringList lines = usbLog;
        usbLog.clear();
        EXPECT_EQ(lines.size(), 1) << what << ": " << lines.join(" | ").toStdString();
        if (lines.size() != 1) return QString();
        EXPECT_TRUE(lines[0].contains(" at sim:1: ")) << what << ": " << lines[0].toStdString();
        EXPECT_EQ(ui().statusBar->toolTip(), lines[0]) << what;
        return lines[0];
    }

    void StartStreaming(const ModeCase& mode) {
        if (ui().comboDevices->itemText(0) != "Tarkel") ui().buttonRefreshDeviceList->click();
        ASSERT_EQ(ui().comboDevices->itemText(0), "Tarkel") << mode.Name();
        if (ui().buttonActivateDevice->isChecked()) Activate();  // leave a half-failed activation
        Activate();
        ASSERT_TRUE(Streaming()) << mode.Name() << ": " << status().toStdString();
        mode.operating->click();
        mode.display->click();
        ASSERT_TRUE(mode.display->isChecked()) << mode.Name();
        ExpectTicksWork(mode, "before the fault");
    }

    void ExpectTicksWork(const ModeCase& mode, const std::string& when) {
        for (int i = 0; i < 2; ++i) {
            Tick();
            ASSERT_TRUE(status().startsWith("Update Time: "))
                << mode.Name() << ", " << when << ": " << status().toStdString();
        }
        EXPECT_TRUE(Streaming()) << mode.Name() << ", " << when;
        EXPECT_TRUE(ui().buttonActivateDevice->isChecked()) << mode.Name() << ", " << when;
    }
};

TEST_F(FaultMatrixTest, StreamFaultsInEveryModeEndCleanlyAndRecover) {
    for (const ModeCase& mode : AllowedModes(ui())) {
        for (const StreamFault& fault : kStreamFaults) {
            const std::string what = mode.Name() + ", " + fault.name;
            StartStreaming(mode);
            usbLog.clear();
            fault.inject(*radar);
            Tick();
            if (fault.endsStream) {
                const QString cause = LoggedCause(what);
                EXPECT_TRUE(cause.contains(QRegularExpression(fault.cause)))
                    << what << ": " << cause.toStdString();
                EXPECT_EQ(status(), mode.failure) << what;
                EXPECT_FALSE(Streaming()) << what;
                EXPECT_FALSE(ui().buttonActivateDevice->isChecked()) << what;
                EXPECT_FALSE(ui().groupBox_3->isEnabled()) << what;
                EXPECT_FALSE(ui().DisplayProperties->isEnabled()) << what;
                // The vanished radar is no longer offered.
                if (!radar->plugged()) {
                    EXPECT_EQ(ui().comboDevices->itemText(0), "No Devices Found") << what;
                    EXPECT_FALSE(ui().buttonActivateDevice->isEnabled()) << what;
                }
            } else {
                ASSERT_TRUE(status().startsWith("Update Time: ")) << what;
                ExpectTicksWork(mode, fault.name);
                EXPECT_TRUE(usbLog.isEmpty()) << what << ": " << usbLog.join(" | ").toStdString();
            }
            Heal(*radar);
            if (fault.endsStream) {
                StartStreaming(mode);
                // The mode the operator had chosen is still the one that streams.
                EXPECT_TRUE(mode.display->isChecked()) << what;
            }
        }
    }
}

TEST_F(FaultMatrixTest, ActivationFaultsInEveryMode) {
    struct Case {
        std::string name;
        std::function<void(SimRadar&)> inject;
        QString message;
        bool staysChecked;
        QString cause;
    };
    std::vector<Case> cases = {
        {"no endpoint 0x02", [](SimRadar& r) { r.faults().omitParameterEndpoint = true; },
         "Error: Could not find endpoint 2!", false,
         "find endpoint 0x02 at sim:1: entity not found; the streaming interface offers 0x01"},
        {"no endpoint 0x86", [](SimRadar& r) { r.faults().omitSampleEndpoint = true; },
         "Error: Could not find endpoint 6!", false,
         "find endpoint 0x86 at sim:1: entity not found; the streaming interface offers 0x01"},
        {"parameter block cut short", [](SimRadar& r) { r.faults().parameterBytesAccepted = 2046; },
         "Error: Unable to set operating parameters", true,
         "bulk OUT endpoint 0x02 at sim:1: timeout; 2046 of 2048 bytes"},
        {"radar gone", [](SimRadar& r) { r.Unplug(); }, "Error: Interface cound not be set!", false,
         "open at sim:1: entity not found; the radar is no longer on the bus"},
    };
    // One read of CPUCS, the hold, 14 records, the release: each step names itself.
    for (int step = 0; step <= 16; ++step) {
        const QString name = step == 0    ? "CPUCS read"
                             : step == 1  ? "CPU hold"
                             : step == 16 ? "CPU release"
                                          : QString("record %1 of ").arg(step - 1);
        cases.push_back({"control transfer " + std::to_string(step),
                         [step](SimRadar& r) {
                             r.faults().failVendorRequestAt = r.vendorRequestCount() + step;
                         },
                         "Error: Firmware Update Failed!", true, "firmware " + name});
    }
    for (const ModeCase& mode : AllowedModes(ui())) {
        for (const Case& c : cases) {
            const std::string what = mode.Name() + ", " + c.name;
            StartStreaming(mode);
            Activate();  // deactivates, so the fault meets the next activation
            ASSERT_FALSE(Streaming()) << what;
            c.inject(*radar);
            usbLog.clear();
            Activate();
            const QString cause = LoggedCause(what);
            EXPECT_TRUE(cause.contains(c.cause)) << what << ": " << cause.toStdString();
            EXPECT_EQ(status(), c.message) << what;
            EXPECT_EQ(ui().buttonActivateDevice->isChecked(), c.staysChecked) << what;
            EXPECT_FALSE(Streaming()) << what;
            EXPECT_FALSE(ui().groupBox_3->isEnabled()) << what;
            EXPECT_FALSE(ui().DisplayProperties->isEnabled()) << what;
            Heal(*radar);
            StartStreaming(mode);
        }
    }
}

// Reads held out for a while: the stand-in samples in real time.
class InFlightTest : public FaultMatrixTest {
protected:
    void SetUp() override {
        FaultMatrixTest::SetUp();
        radar->SetPacing(vorn::sim::Pacing::RealTime);
    }
    // Starts a tick as the timer would and returns while its read is out.
    void StartTick() {
        Invoke(WindowSlots::kReadStream);
        ASSERT_TRUE(window->TickInFlight());
        QThread::msleep(30);
    }
    void RunEventsFor(int ms) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
};

TEST_F(InFlightTest, FaultsThatStrikeWhileAReadIsOutEndTheStreamAsBetweenReads) {
    const ModeCase mode = AllowedModes(ui())[1];  // the map: a burst of sweeps per read
    ui().spinBoxDopplerQueue->setValue(256);     // a quarter of a second per read
    for (const StreamFault& fault : kStreamFaults) {
        StartStreaming(mode);
        usbLog.clear();
        StartTick();
        radar->UpdateFaults([&](vorn::sim::SimFaults&) { fault.inject(*radar); });
        // The read that is out may still complete: faults apply from the next request on.
        for (int tick = 0; tick < 2 && Streaming(); ++tick) Tick();
        if (fault.endsStream) {
            EXPECT_EQ(status(), mode.failure) << fault.name;
            EXPECT_FALSE(Streaming()) << fault.name;
            EXPECT_TRUE(LoggedCause(fault.name).contains(QRegularExpression(fault.cause)))
                << fault.name;
        } else {
            EXPECT_TRUE(status().startsWith("Update Time: ")) << fault.name;
            EXPECT_TRUE(Streaming()) << fault.name;
        }
        radar->UpdateFaults([](vorn::sim::SimFaults& f) { f = {}; });
        if (!radar->plugged()) radar->Replug();
    }
}

TEST_F(InFlightTest, ModeChangeDeactivationAndClosingCallAReadOffAtOnce) {
    Activate();
    ASSERT_TRUE(Streaming());
    ui().radioSpectrumDisplay_3->click();
    ui().comboPSweepTime->setCurrentIndex(3);  // 1024 sweeps of 10 ms: ten seconds a read
    ui().spinBoxDopplerQueue->setValue(1024);
    QElapsedTimer clock;

    StartTick();
    clock.start();
    ui().radioOperationMode_5->click();  // CW
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_FALSE(window->TickInFlight());
    RunEventsFor(100);  // no late block, no message from the read called off
    EXPECT_TRUE(Streaming());
    EXPECT_FALSE(status().startsWith("Error")) << status().toStdString();
    EXPECT_EQ(window->currentOperatingMode(), 3);

    if (!window->TickInFlight()) StartTick();
    clock.restart();
    Activate();  // off
    EXPECT_LT(clock.elapsed(), 1000);
    RunEventsFor(100);
    EXPECT_EQ(status(), "Device disabled");
    EXPECT_FALSE(window->TickInFlight());

    Activate();
    ASSERT_TRUE(Streaming());
    StartTick();
    clock.restart();
    window.reset();
    EXPECT_LT(clock.elapsed(), 1000);
}

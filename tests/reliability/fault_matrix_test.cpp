// Every fault the stand-in radar can show, injected while each allowed display mode of each
// operating mode streams: the routine's failure sequence, then a working stream after the next
// activation. Faults the synchronisation must absorb leave the stream running.
#include <functional>

#include "../app/window_fixture.h"
#include "modes.h"

namespace {

using vorn::sim::SimRadar;

struct StreamFault {
    const char* name;
    std::function<void(SimRadar&)> inject;
    bool endsStream;
};

// The request carries 10240 spare bytes: 2048 skipped, the rest room for the search.
const StreamFault kStreamFaults[] = {
    {"unplugged", [](SimRadar& r) { r.Unplug(); }, true},
    {"stalled", [](SimRadar& r) { r.faults().stalledStream = true; }, true},
    {"one frame short", [](SimRadar& r) { r.faults().shortStream = true; }, true},
    {"no start bit", [](SimRadar& r) { r.faults().noStartBit = true; }, true},
    {"garbage beyond the spare bytes", [](SimRadar& r) { r.faults().garbageWords = 8000; }, true},
    {"garbage within the spare bytes", [](SimRadar& r) { r.faults().garbageWords = 1500; }, false},
    {"start bit inside frames", [](SimRadar& r) { r.faults().startBitInData = true; }, false},
};

void Heal(SimRadar& radar) {
    radar.faults() = {};
    if (!radar.plugged()) radar.Replug();
}

}  // namespace

class FaultMatrixTest : public WindowTest {
protected:
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

    void ExpectFailureSequence(const QString& message, const std::string& what) {
        EXPECT_EQ(status(), message) << what;
        EXPECT_FALSE(Streaming()) << what;
        EXPECT_FALSE(ui().buttonActivateDevice->isChecked()) << what;
        EXPECT_FALSE(ui().groupBox_3->isEnabled()) << what;
        EXPECT_FALSE(ui().DisplayProperties->isEnabled()) << what;
    }

    // Deactivates, injects, activates again: faults that only activation meets.
    void ActivateWith(const std::function<void(SimRadar&)>& inject) {
        Activate();
        ASSERT_FALSE(Streaming());
        inject(*radar);
        Activate();
    }

    int faultsInjected = 0;
};

TEST_F(FaultMatrixTest, StreamFaultsInEveryModeEndCleanlyAndRecover) {
    for (const ModeCase& mode : AllowedModes(ui())) {
        for (const StreamFault& fault : kStreamFaults) {
            const std::string what = mode.Name() + ", " + fault.name;
            StartStreaming(mode);
            fault.inject(*radar);
            ++faultsInjected;
            Tick();
            if (fault.endsStream) {
                ExpectFailureSequence(mode.failure, what);
            } else {
                ASSERT_TRUE(status().startsWith("Update Time: ")) << what;
                ExpectTicksWork(mode, fault.name);
            }
            Heal(*radar);
            if (fault.endsStream) {
                StartStreaming(mode);
                // The mode the operator had chosen is still the one that streams.
                EXPECT_TRUE(mode.display->isChecked()) << what;
            }
        }
    }
    RecordProperty("faults", faultsInjected);
}

TEST_F(FaultMatrixTest, UnplugStopsEveryModeAndReplugAfterRefreshStreamsAgain) {
    for (const ModeCase& mode : AllowedModes(ui())) {
        StartStreaming(mode);
        radar->Unplug();
        Tick();
        ExpectFailureSequence(mode.failure, mode.Name());
        // The vanished radar is no longer offered.
        EXPECT_EQ(ui().comboDevices->itemText(0), "No Devices Found") << mode.Name();
        EXPECT_FALSE(ui().buttonActivateDevice->isEnabled()) << mode.Name();
        radar->Replug();
        ui().buttonRefreshDeviceList->click();
        StartStreaming(mode);
    }
}

TEST_F(FaultMatrixTest, FirmwareStepFailuresInEveryMode) {
    for (const ModeCase& mode : AllowedModes(ui())) {
        StartStreaming(mode);
        // One read of CPUCS, the hold, 14 records, the release.
        for (int step = 0; step <= 16; ++step) {
            const std::string what = mode.Name() + ", control transfer " + std::to_string(step);
            ActivateWith([step](SimRadar& r) {
                r.faults().failVendorRequestAt = r.vendorRequestCount() + step;
            });
            ++faultsInjected;
            EXPECT_EQ(status(), "Error: Firmware Update Failed!") << what;
            EXPECT_FALSE(Streaming()) << what;
            EXPECT_TRUE(ui().buttonActivateDevice->isChecked()) << what;
            EXPECT_FALSE(ui().groupBox_3->isEnabled()) << what;
            EXPECT_FALSE(ui().DisplayProperties->isEnabled()) << what;
            Heal(*radar);
            StartStreaming(mode);
        }
    }
    RecordProperty("faults", faultsInjected);
}

TEST_F(FaultMatrixTest, ActivationFaultsInEveryMode) {
    struct Case {
        const char* name;
        std::function<void(SimRadar&)> inject;
        QString message;
        bool staysChecked;
    };
    const Case cases[] = {
        {"no endpoint 0x02", [](SimRadar& r) { r.faults().omitParameterEndpoint = true; },
         "Error: Could not find endpoint 2!", false},
        {"no endpoint 0x86", [](SimRadar& r) { r.faults().omitSampleEndpoint = true; },
         "Error: Could not find endpoint 6!", false},
        {"parameter block cut short", [](SimRadar& r) { r.faults().parameterBytesAccepted = 2046; },
         "Error: Unable to set operating parameters", true},
        {"radar gone", [](SimRadar& r) { r.Unplug(); }, "Error: Interface cound not be set!",
         false},
    };
    for (const ModeCase& mode : AllowedModes(ui())) {
        for (const Case& c : cases) {
            const std::string what = mode.Name() + ", " + c.name;
            StartStreaming(mode);
            ActivateWith(c.inject);
            ++faultsInjected;
            EXPECT_EQ(status(), c.message) << what;
            EXPECT_EQ(ui().buttonActivateDevice->isChecked(), c.staysChecked) << what;
            EXPECT_FALSE(Streaming()) << what;
            EXPECT_FALSE(ui().groupBox_3->isEnabled()) << what;
            Heal(*radar);
            StartStreaming(mode);
        }
    }
    RecordProperty("faults", faultsInjected);
}

// Every fault the stand-in radar can show, injected while each allowed display mode of each
// operating mode streams: the routine's failure sequence, then a working stream after the next
// activation. Faults the synchronisation must absorb leave the stream running.
#include <functional>

#include "../app/window_fixture.h"
#include "modes.h"

namespace {

using vorn::sim::SimRadar;

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
};

TEST_F(FaultMatrixTest, StreamFaultsInEveryModeEndCleanlyAndRecover) {
    for (const ModeCase& mode : AllowedModes(ui())) {
        for (const StreamFault& fault : kStreamFaults) {
            const std::string what = mode.Name() + ", " + fault.name;
            StartStreaming(mode);
            fault.inject(*radar);
            Tick();
            if (fault.endsStream) {
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
    };
    std::vector<Case> cases = {
        {"no endpoint 0x02", [](SimRadar& r) { r.faults().omitParameterEndpoint = true; },
         "Error: Could not find endpoint 2!", false},
        {"no endpoint 0x86", [](SimRadar& r) { r.faults().omitSampleEndpoint = true; },
         "Error: Could not find endpoint 6!", false},
        {"parameter block cut short", [](SimRadar& r) { r.faults().parameterBytesAccepted = 2046; },
         "Error: Unable to set operating parameters", true},
        {"radar gone", [](SimRadar& r) { r.Unplug(); }, "Error: Interface cound not be set!",
         false},
    };
    // One read of CPUCS, the hold, 14 records, the release.
    for (int step = 0; step <= 16; ++step) {
        cases.push_back({"control transfer " + std::to_string(step),
                         [step](SimRadar& r) {
                             r.faults().failVendorRequestAt = r.vendorRequestCount() + step;
                         },
                         "Error: Firmware Update Failed!", true});
    }
    for (const ModeCase& mode : AllowedModes(ui())) {
        for (const Case& c : cases) {
            const std::string what = mode.Name() + ", " + c.name;
            StartStreaming(mode);
            Activate();  // deactivates, so the fault meets the next activation
            ASSERT_FALSE(Streaming()) << what;
            c.inject(*radar);
            Activate();
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

#pragma once
// The stand-in radar behind the kernel's usbdevfs interface, emulated by umockdev: a test bed
// with the FX2's sysfs entry and device node, whose ioctls the stand-in answers. The unchanged
// libusb then talks to it as to a plugged-in radar. The test bed lives in this process; child
// processes started under umockdev-wrapper see it too, as long as this process keeps serving.
#include <memory>
#include <string>

#include "sim/sim_radar.h"

namespace vorn::test {

class UsbdevfsRadar {
public:
    // Fails the calling test (and returns a dead object) when umockdev is not preloaded.
    UsbdevfsRadar();
    ~UsbdevfsRadar();
    UsbdevfsRadar(const UsbdevfsRadar&) = delete;
    UsbdevfsRadar& operator=(const UsbdevfsRadar&) = delete;

    // Adds the radar's sysfs entry and node; the handler serves `radar` from then on.
    void Plug(std::shared_ptr<sim::SimRadar> radar);
    // Removes the device from the test bed; URBs in flight end as on a disconnect.
    void Unplug();
    // Requests the handler did not know, as "0x...," text; empty when it knew them all.
    std::string UnknownRequests() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// Whether the umockdev preload library is active in this process.
bool InMockEnvironment();

}  // namespace vorn::test

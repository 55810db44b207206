#pragma once
// A USB back end whose only devices are stand-in radars.
#include <cstddef>
#include <memory>
#include <vector>

#include "device/usb_backend.h"
#include "sim/sim_radar.h"

namespace vorn::sim {

class SimBackend : public UsbBackend {
public:
    SimBackend() = default;
    explicit SimBackend(std::shared_ptr<SimRadar> radar);

    void AddRadar(std::shared_ptr<SimRadar> radar);
    const std::vector<std::shared_ptr<SimRadar>>& radars() const { return radars_; }

    // The plugged-in radars, in the order they were added.
    std::vector<UsbDeviceInfo> ListDevices() override;
    // Indexes into the latest ListDevices() result (listing first when there was none).
    std::unique_ptr<UsbDeviceLink> Open(std::size_t index, UsbStatus& status) override;

private:
    std::vector<std::shared_ptr<SimRadar>> radars_;
    std::vector<std::shared_ptr<SimRadar>> listed_;
    bool listedOnce_ = false;
};

}  // namespace vorn::sim

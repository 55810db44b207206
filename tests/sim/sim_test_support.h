#pragma once
// The stand-in behind the application's own device layer, activated as the window does it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/radar_device.h"
#include "sim/sim_backend.h"
#include "sim/sim_radar.h"

namespace vorn::sim::test {

using Records = std::vector<std::vector<std::uint8_t>>;

Records FirmwareRecords();  // the shipped image, as the application parses it

struct Rig {
    // On the stand-in's own back end unless another one (libusb on usbdevfs) is given.
    explicit Rig(std::shared_ptr<SimRadar> r = std::make_shared<SimRadar>(),
                 std::shared_ptr<UsbBackend> usb = nullptr);
    // Interface, both endpoints, firmware, then one parameter block unless `word` is 0.
    bool Activate(std::uint16_t word, const Records& records = FirmwareRecords());
    int WriteWord(std::uint16_t word);
    std::shared_ptr<SimRadar> radar;
    std::shared_ptr<UsbBackend> backend;
    RadarDevice device;
};

}  // namespace vorn::sim::test

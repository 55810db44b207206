#include "sim_test_support.h"

#include <fstream>
#include <sstream>

#include "device/firmware.h"
#include "device/radar_constants.h"

namespace vorn::sim::test {

Records FirmwareRecords() {
    std::ifstream in(VORN_FIRMWARE_HEX, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return ParseFirmwareRecords(text.str());
}

Rig::Rig(std::shared_ptr<SimRadar> r, std::shared_ptr<UsbBackend> usb)
    : radar(std::move(r)),
      backend(usb ? std::move(usb) : std::make_shared<SimBackend>(radar)),
      device(backend) {}

int Rig::WriteWord(std::uint16_t word) {
    const std::vector<std::uint8_t> block = RadarDevice::BuildParameterBlock(word);
    return device.WriteBlock(block.data(), static_cast<int>(block.size()));
}

bool Rig::Activate(std::uint16_t word, const Records& records) {
    if (device.RefreshDevices() < 1) return false;
    device.interfaceSelected = device.SelectStreamingInterface();
    if (device.interfaceSelected != kStreamingAltSetting) return false;
    device.outEndPointIndex = device.FindEndPoint(kParameterEndpoint);
    device.inEndPointIndex = device.FindEndPoint(kSampleEndpoint);
    if (device.outEndPointIndex == 0 || device.inEndPointIndex == 0) return false;
    if (device.DownloadFirmware(records) != static_cast<int>(records.size())) return false;
    return word == 0 || WriteWord(word) == kParameterBlockBytes;
}

}  // namespace vorn::sim::test

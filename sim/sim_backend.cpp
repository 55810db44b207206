#include "sim/sim_backend.h"

#include <string>
#include <utility>

#include "device/radar_constants.h"
#include "device/usb_transfer.h"

namespace vorn::sim {

namespace {
// One open handle. It belongs to the device as it was when opened: after an unplug, or a
// replug that made a new device of it, every call reports NoDevice.
class SimLink : public UsbDeviceLink {
public:
    explicit SimLink(std::shared_ptr<SimRadar> radar)
        : radar_(std::move(radar)), generation_(radar_->generation()) {}

    UsbTransferResult ControlTransfer(std::uint8_t requestType, std::uint8_t request,
                                      std::uint16_t value, std::uint16_t index, std::uint8_t* data,
                                      std::uint16_t length, unsigned /*timeoutMs*/) override {
        if (!alive()) return {UsbStatus::NoDevice, 0};
        return radar_->Control(requestType, request, value, index, data, length);
    }
    UsbTransferResult BulkTransfer(std::uint8_t endpoint, std::uint8_t* data, int length,
                                   unsigned timeoutMs) override {
        if (!alive()) return {UsbStatus::NoDevice, 0};
        return radar_->Bulk(endpoint, data, length, timeoutMs);
    }
    std::unique_ptr<UsbBulkTransfer> SubmitBulkTransfer(std::uint8_t endpoint, std::uint8_t* data,
                                                        int length, unsigned timeoutMs) override {
        // The stand-in moves the data while the host waits, as libusb's event handling would.
        return std::make_unique<DeferredBulkTransfer>(
            [radar = radar_, generation = generation_, endpoint, data, length,
             timeoutMs](TransferCancel& cancel) -> UsbTransferResult {
                if (!radar->plugged() || radar->generation() != generation)
                    return {UsbStatus::NoDevice, 0};
                return radar->Bulk(endpoint, data, length, timeoutMs, &cancel);
            });
    }
    UsbStatus ResetPort() override { return alive() ? radar_->ResetPort() : UsbStatus::NoDevice; }
    UsbStatus SetAltSetting(std::uint8_t interfaceNumber, std::uint8_t altSetting) override {
        return alive() ? radar_->SetAltSetting(interfaceNumber, altSetting) : UsbStatus::NoDevice;
    }

private:
    bool alive() const { return radar_->plugged() && radar_->generation() == generation_; }

    std::shared_ptr<SimRadar> radar_;
    std::uint64_t generation_;
};
}  // namespace

SimBackend::SimBackend(std::shared_ptr<SimRadar> radar) {
    AddRadar(std::move(radar));
}

void SimBackend::AddRadar(std::shared_ptr<SimRadar> radar) {
    if (radar) radars_.push_back(std::move(radar));
}

std::vector<UsbDeviceInfo> SimBackend::ListDevices() {
    listed_.clear();
    std::vector<UsbDeviceInfo> infos;
    for (std::size_t i = 0; i < radars_.size(); ++i) {
        if (!radars_[i]->plugged()) continue;
        listed_.push_back(radars_[i]);
        infos.push_back({kRadarVendorId, kRadarProductId, "sim:" + std::to_string(i + 1)});
    }
    listedOnce_ = true;
    return infos;
}

std::unique_ptr<UsbDeviceLink> SimBackend::Open(std::size_t index, UsbStatus& status) {
    if (!listedOnce_) ListDevices();
    if (index >= listed_.size()) {
        status = UsbStatus::NotFound;
        return nullptr;
    }
    if (!listed_[index]->plugged()) {
        status = UsbStatus::NoDevice;
        return nullptr;
    }
    status = UsbStatus::Ok;
    return std::make_unique<SimLink>(listed_[index]);
}

}  // namespace vorn::sim

#include "sim/sim_radar.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>

#include "device/radar_constants.h"
#include "sim/descriptors.h"

namespace vorn::sim {

namespace {
constexpr std::uint8_t kRequestGetStatus = 0x00;
constexpr std::uint8_t kRequestGetConfiguration = 0x08;
constexpr std::uint8_t kRequestSetConfiguration = 0x09;
constexpr std::uint8_t kTypeMask = 0x60;
constexpr std::uint8_t kTypeVendor = 0x40;
constexpr std::uint8_t kDirectionIn = 0x80;

UsbTransferResult Reply(const std::vector<std::uint8_t>& bytes, std::uint8_t* data,
                        std::uint16_t length) {
    const std::size_t n = std::min<std::size_t>(length, bytes.size());
    if (n > 0) std::memcpy(data, bytes.data(), n);
    return {UsbStatus::Ok, static_cast<int>(n)};
}
}  // namespace

SimRadar::SimRadar(Scene scene, Pacing pacing, std::uint64_t seed)
    : scene_(std::move(scene)), pacing_(pacing), stream_(seed) {
    PowerUp();
}

void SimRadar::PowerUp() {
    fx2_.PowerUp();
    stream_.Restart();
    params_ = replay_ ? replay_->parameters : RadarParameters{};
    refusedHalt_ = false;
    altSetting_ = 0;
    vendorRequests_ = 0;
}

void SimRadar::UpdateFaults(const std::function<void(Faults&)>& change) {
    std::lock_guard<std::mutex> lock(mutex_);
    change(faults_);
}

void SimRadar::SetReplay(std::shared_ptr<const Replay> replay) {
    std::lock_guard<std::mutex> lock(mutex_);
    replay_ = std::move(replay);
    stream_.SetReplay(replay_);
    params_ = replay_ ? replay_->parameters : RadarParameters{};
    refusedHalt_ = false;
}

void SimRadar::Unplug() {
    plugged_ = false;
    std::lock_guard<std::mutex> lock(currentMutex_);
    if (current_ != nullptr) current_->Cancel();
}

void SimRadar::Replug() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (plugged_) return;
    plugged_ = true;
    ++generation_;
    PowerUp();
}

bool SimRadar::EndpointPresent(std::uint8_t address) const {
    DescriptorOptions options{faults_.omitParameterEndpoint, faults_.omitSampleEndpoint};
    for (const SimEndpoint& ep : AltSettingEndpoints(altSetting_, options))
        if (ep.address == address) return true;
    return false;
}

UsbTransferResult SimRadar::Control(std::uint8_t requestType, std::uint8_t request,
                                    std::uint16_t value, std::uint16_t index, std::uint8_t* data,
                                    std::uint16_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!plugged_) return {UsbStatus::NoDevice, 0};
    if (length > 0 && data == nullptr) return {UsbStatus::InvalidParam, 0};
    if ((requestType & kTypeMask) == kTypeVendor) {
        if (request != kFirmwareLoadRequest || index != 0) return {UsbStatus::Pipe, 0};
        return VendorRequest(requestType, value, data, length);
    }
    if ((requestType & kTypeMask) == 0)
        return StandardRequest(requestType, request, value, index, data, length);
    return {UsbStatus::Pipe, 0};
}

UsbTransferResult SimRadar::StandardRequest(std::uint8_t requestType, std::uint8_t request,
                                            std::uint16_t value, std::uint16_t index,
                                            std::uint8_t* data, std::uint16_t length) {
    const std::uint8_t recipient = requestType & 0x1F;
    const bool in = (requestType & kDirectionIn) != 0;
    if (in && recipient == 0 && request == kRequestGetDescriptor) {
        const int type = value >> 8;
        const int descriptorIndex = value & 0xFF;
        if (type == kDescriptorTypeDevice) return Reply(DeviceDescriptor(), data, length);
        if (type == kDescriptorTypeConfiguration && descriptorIndex == 0) {
            DescriptorOptions options{faults_.omitParameterEndpoint, faults_.omitSampleEndpoint};
            return Reply(ConfigurationDescriptor(options), data, length);
        }
        return {UsbStatus::Pipe, 0};  // no strings, no other configuration
    }
    if (in && recipient == 0 && request == kRequestGetStatus) return Reply({0, 0}, data, length);
    if (in && recipient == 0 && request == kRequestGetConfiguration)
        return Reply({1}, data, length);
    if (!in && recipient == 0 && request == kRequestSetConfiguration)
        return {value == 1 ? UsbStatus::Ok : UsbStatus::Pipe, 0};
    if (in && recipient == 1 && request == kRequestGetInterface) {
        if (index != kRadarInterfaceNumber) return {UsbStatus::Pipe, 0};
        return Reply({altSetting_}, data, length);
    }
    if (!in && recipient == 1 && request == kRequestSetInterface) {
        const UsbStatus s =
            SetAltSettingLocked(static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(value));
        return {s == UsbStatus::Ok ? UsbStatus::Ok : UsbStatus::Pipe, 0};
    }
    return {UsbStatus::Pipe, 0};
}

UsbTransferResult SimRadar::VendorRequest(std::uint8_t requestType, std::uint16_t value,
                                          std::uint8_t* data, std::uint16_t length) {
    const int number = vendorRequests_++;
    if (faults_.failVendorRequestAt && *faults_.failVendorRequestAt == number)
        return {UsbStatus::Pipe, 0};
    const bool ok = (requestType & kDirectionIn) != 0 ? fx2_.LoaderRead(value, data, length)
                                                      : fx2_.LoaderWrite(value, data, length);
    if (!ok) return {UsbStatus::Pipe, 0};
    return {UsbStatus::Ok, length};
}

UsbStatus SimRadar::ResetPort() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!plugged_) return UsbStatus::NoDevice;
    // A bus reset returns the interface to its first setting; the 8051 and its FIFO set-up
    // keep running, as on the FX2.
    altSetting_ = 0;
    return UsbStatus::Ok;
}

UsbStatus SimRadar::SetAltSetting(std::uint8_t interfaceNumber, std::uint8_t altSetting) {
    std::lock_guard<std::mutex> lock(mutex_);
    return SetAltSettingLocked(interfaceNumber, altSetting);
}

UsbStatus SimRadar::SetAltSettingLocked(std::uint8_t interfaceNumber, std::uint8_t altSetting) {
    if (!plugged_) return UsbStatus::NoDevice;
    if (interfaceNumber != kRadarInterfaceNumber || altSetting >= kSimAltSettingCount)
        return UsbStatus::NotFound;
    altSetting_ = altSetting;
    return UsbStatus::Ok;
}

bool SimRadar::WaitOut(unsigned timeoutMs, const DeviceWait& wait) const {
    if (pacing_ != Pacing::RealTime) return true;
    return wait.Until(std::chrono::steady_clock::now() +
                      std::chrono::milliseconds(timeoutMs == 0 ? kDefaultTimeoutMs : timeoutMs));
}

UsbTransferResult SimRadar::Nak(unsigned timeoutMs, const DeviceWait& wait) {
    // An endpoint the program did not set up NAKs until the host gives up.
    if (!WaitOut(timeoutMs, wait)) return {UsbStatus::Cancelled, 0};
    return {UsbStatus::Timeout, 0};
}

UsbTransferResult SimRadar::Bulk(std::uint8_t endpoint, std::uint8_t* data, int length,
                                 unsigned timeoutMs, TransferCancel* cancel) {
    {
        std::lock_guard<std::mutex> lock(currentMutex_);
        current_ = cancel;
    }
    if (!plugged_ && cancel != nullptr) cancel->Cancel();  // unplugged before the wake was set
    UsbTransferResult result;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        result = BulkLocked(endpoint, data, length, timeoutMs, DeviceWait{cancel, &lock});
    }
    {
        std::lock_guard<std::mutex> lock(currentMutex_);
        current_ = nullptr;
    }
    // An unplug ends the transfer as the host sees it: the device is gone.
    if (!plugged_) return {UsbStatus::NoDevice, 0};
    return result;
}

UsbTransferResult SimRadar::BulkLocked(std::uint8_t endpoint, std::uint8_t* data, int length,
                                       unsigned timeoutMs, const DeviceWait& wait) {
    if (!plugged_) return {UsbStatus::NoDevice, 0};
    if (length < 0 || (length > 0 && data == nullptr)) return {UsbStatus::InvalidParam, 0};
    if (!EndpointPresent(endpoint) || altSetting_ != kStreamingAltSetting)
        return {UsbStatus::NotFound, 0};
    if (endpoint == kParameterEndpoint) {
        if (!fx2_.ParameterEndpointReady()) return Nak(timeoutMs, wait);
        return WriteParameters(data, length, timeoutMs, wait);
    }
    if (endpoint == kSampleEndpoint) {
        if (!fx2_.SampleEndpointReady()) return Nak(timeoutMs, wait);
        if (refusedHalt_) return {UsbStatus::Pipe, 0};
        return stream_.Read(data, length, timeoutMs, scene_, params_, faults_, pacing_, wait);
    }
    return Nak(timeoutMs, wait);
}

UsbTransferResult SimRadar::WriteParameters(const std::uint8_t* data, int length,
                                            unsigned timeoutMs, const DeviceWait& wait) {
    int accepted = length;
    if (faults_.parameterBytesAccepted)
        accepted = std::clamp(*faults_.parameterBytesAccepted, 0, length);
    if (const auto p = DecodeParameterBlock(data, static_cast<std::size_t>(accepted))) {
        if (replay_) {
            std::string why = replay_->Mismatch(*p);
            refusedHalt_ = !why.empty();
            if (refusedHalt_) {
                ++blocksRefused_;
                lastRefusal_ = std::move(why);
                if (refusalHandler_) refusalHandler_(lastRefusal_);
                return {UsbStatus::Pipe, 0};
            }
        }
        params_ = *p;
        ++blocksAccepted_;
    } else if (accepted > 0) {
        ++blocksIgnored_;
    }
    if (accepted < length) {
        if (!WaitOut(timeoutMs, wait)) return {UsbStatus::Cancelled, accepted};
        return {UsbStatus::Timeout, accepted};
    }
    return {UsbStatus::Ok, length};
}

}  // namespace vorn::sim

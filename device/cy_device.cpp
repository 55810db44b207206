#include "device/cy_device.h"

#include <algorithm>

#include "device/radar_constants.h"

using vorn::UsbStatus;

namespace {

constexpr std::uint8_t kRequestTypeStandardIn = 0x80;
constexpr std::uint8_t kRequestTypeStandardInterfaceIn = 0x81;

}  // namespace

CCyDevice::CCyDevice(std::shared_ptr<vorn::UsbBackend> backend, bool openFirst)
    : backend_(std::move(backend)) {
    if (openFirst) Open(0);
}

CCyDevice::~CCyDevice() {
    Close();
}

std::uint8_t CCyDevice::DeviceCount() {
    if (!backend_) return 0;
    listed_ = backend_->ListDevices();
    return static_cast<std::uint8_t>(std::min<std::size_t>(listed_.size(), 0xFF));
}

bool CCyDevice::Open(std::uint8_t n) {
    Close();
    lastOpenStatus_ = UsbStatus::Ok;
    openIndex_ = n;
    if (!backend_) {
        lastOpenStatus_ = UsbStatus::NotFound;
        return false;
    }
    listed_ = backend_->ListDevices();
    if (n >= listed_.size()) {
        lastOpenStatus_ = UsbStatus::NotFound;
        return false;
    }
    UsbStatus status = UsbStatus::Other;
    link_ = backend_->Open(n, status);
    if (!link_) {
        lastOpenStatus_ = status == UsbStatus::Ok ? UsbStatus::Other : status;
        return false;
    }
    // From here on the handle stays open even when the descriptors disappoint, so that the
    // caller can still reset the device.
    if (!ReadDeviceDescriptor()) {
        lastOpenStatus_ = lastRequestStatus_;
        return false;
    }
    ReadConfigurations(static_cast<std::uint8_t>(std::min<int>(deviceDescriptor_[17], 2)));

    controlEndPoint_ = std::make_unique<CCyControlEndPoint>(link_.get(), deviceDescriptor_[7]);
    ControlEndPoint = controlEndPoint_.get();

    if (configs_.empty() || configs_[0]->Interfaces.empty()) return false;
    cfgNum_ = 0;
    intfcIndex_ = 0;
    const std::uint8_t number = configs_[0]->Interfaces[0]->bInterfaceNumber;
    const std::uint8_t alt = AltSetting();
    const auto& interfaces = configs_[0]->Interfaces;
    for (std::size_t i = 0; i < interfaces.size(); ++i) {
        if (interfaces[i]->bInterfaceNumber == number && interfaces[i]->bAlternateSetting == alt) {
            intfcIndex_ = static_cast<std::uint8_t>(i);
            SetEndPoints();
            break;
        }
    }
    return true;
}

bool CCyDevice::ReadDeviceDescriptor() {
    const auto r = link_->ControlTransfer(
        kRequestTypeStandardIn, vorn::kRequestGetDescriptor, vorn::kDescriptorTypeDevice << 8, 0,
        deviceDescriptor_.data(), kDeviceDescriptorBytes, vorn::kDescriptorTimeoutMs);
    lastRequestStatus_ = r.ok() ? UsbStatus::Ok : r.status;
    if (!r.ok() || r.transferred != static_cast<int>(kDeviceDescriptorBytes)) {
        // A short descriptor is as unusable as a failed request.
        if (r.ok()) lastRequestStatus_ = UsbStatus::Other;
        deviceDescriptor_ = {};
        return false;
    }
    VendorID = static_cast<std::uint16_t>(deviceDescriptor_[8] | (deviceDescriptor_[9] << 8));
    ProductID = static_cast<std::uint16_t>(deviceDescriptor_[10] | (deviceDescriptor_[11] << 8));
    return true;
}

void CCyDevice::ReadConfigurations(std::uint8_t count) {
    for (std::uint8_t i = 0; i < count; ++i) {
        const auto value =
            static_cast<std::uint16_t>((vorn::kDescriptorTypeConfiguration << 8) + i);
        std::uint8_t header[kConfigHeaderBytes] = {};
        auto r = link_->ControlTransfer(kRequestTypeStandardIn, vorn::kRequestGetDescriptor, value,
                                        0, header, kConfigHeaderBytes, vorn::kDescriptorTimeoutMs);
        if (!r.ok() || r.transferred < static_cast<int>(kConfigHeaderBytes)) return;
        const std::uint16_t total = static_cast<std::uint16_t>(header[2] | (header[3] << 8));
        if (total < kConfigHeaderBytes) return;

        std::vector<std::uint8_t> whole(total, 0);
        r = link_->ControlTransfer(kRequestTypeStandardIn, vorn::kRequestGetDescriptor, value, 0,
                                   whole.data(), total, vorn::kDescriptorTimeoutMs);
        if (!r.ok() || r.transferred < static_cast<int>(kConfigHeaderBytes)) return;
        whole.resize(std::min<std::size_t>(static_cast<std::size_t>(r.transferred), total));
        auto config = ParseConfiguration(whole.data(), whole.size(), link_.get());
        if (!config) return;
        configDescriptors_.push_back(std::move(whole));
        configs_.push_back(std::move(config));
    }
}

void CCyDevice::Close() {
    ClearEndPointPointers();
    EndPoints = nullptr;
    ControlEndPoint = nullptr;
    configs_.clear();
    configDescriptors_.clear();
    controlEndPoint_.reset();
    link_.reset();
    deviceDescriptor_ = {};
    VendorID = 0;
    ProductID = 0;
    cfgNum_ = 0;
    intfcIndex_ = 0;
}

std::string CCyDevice::Location() const {
    return openIndex_ < listed_.size() ? listed_[openIndex_].location : std::string();
}

const char* CCyDevice::LastErrorName() const {
    if (link_) return link_->LastErrorName();
    return backend_ ? backend_->LastErrorName() : nullptr;
}

bool CCyDevice::Reset() {
    lastRequestStatus_ = link_ ? link_->ResetPort() : UsbStatus::NoDevice;
    return lastRequestStatus_ == UsbStatus::Ok;
}

std::uint8_t CCyDevice::CurrentInterfaceNumber() const {
    if (configs_.empty() || configs_[cfgNum_]->Interfaces.empty()) {
        return vorn::kRadarInterfaceNumber;
    }
    return configs_[cfgNum_]->Interfaces[intfcIndex_]->bInterfaceNumber;
}

std::uint8_t CCyDevice::AltSetting() {
    if (!link_) {
        lastRequestStatus_ = UsbStatus::NoDevice;
        return 0xFF;
    }
    std::uint8_t alt = 0xFF;
    const auto r =
        link_->ControlTransfer(kRequestTypeStandardInterfaceIn, vorn::kRequestGetInterface, 0,
                               CurrentInterfaceNumber(), &alt, 1, vorn::kDescriptorTimeoutMs);
    lastRequestStatus_ = r.ok() && r.transferred != 1 ? UsbStatus::Other : r.status;
    return r.ok() && r.transferred == 1 ? alt : 0xFF;
}

bool CCyDevice::SetAltSetting(std::uint8_t alt) {
    if (!link_ || configs_.empty()) {
        lastRequestStatus_ = link_ ? UsbStatus::NotFound : UsbStatus::NoDevice;
        return false;
    }
    if (AltSetting() == alt) return true;
    const std::uint8_t number = CurrentInterfaceNumber();
    const auto& interfaces = configs_[cfgNum_]->Interfaces;
    for (std::size_t i = 0; i < interfaces.size(); ++i) {
        if (interfaces[i]->bInterfaceNumber != number || interfaces[i]->bAlternateSetting != alt) {
            continue;
        }
        // The table changes only when the device took the new setting, so that it always
        // describes the endpoints the device really has.
        lastRequestStatus_ = link_->SetAltSetting(number, alt);
        if (lastRequestStatus_ != UsbStatus::Ok) return false;
        intfcIndex_ = static_cast<std::uint8_t>(i);
        SetEndPoints();
        return true;
    }
    lastRequestStatus_ = UsbStatus::NotFound;  // the configuration has no such setting
    return false;
}

std::uint8_t CCyDevice::ConfigCount() const {
    return link_ ? deviceDescriptor_[17] : 0;
}

std::uint8_t CCyDevice::InterfaceCount() const {
    return link_ && !configs_.empty() ? configs_[cfgNum_]->bNumInterfaces : 0;
}

std::uint8_t CCyDevice::AltSettingCount() const {
    const CCyUSBInterface* iface = CurrentInterface();
    return iface != nullptr && iface->bAltSettings > 0
               ? static_cast<std::uint8_t>(iface->bAltSettings - 1)
               : 0;
}

std::uint8_t CCyDevice::EndPointCount() const {
    const CCyUSBInterface* iface = CurrentInterface();
    if (iface == nullptr || EndPoints == nullptr) return 0;
    return static_cast<std::uint8_t>(iface->EndPointsFound() + 1);
}

CCyUSBInterface* CCyDevice::CurrentInterface() const {
    if (!link_ || configs_.empty()) return nullptr;
    const auto& interfaces = configs_[cfgNum_]->Interfaces;
    return intfcIndex_ < interfaces.size() ? interfaces[intfcIndex_].get() : nullptr;
}

void CCyDevice::ClearEndPointPointers() {
    IsocInEndPt = nullptr;
    IsocOutEndPt = nullptr;
    BulkInEndPt = nullptr;
    BulkOutEndPt = nullptr;
    InterruptInEndPt = nullptr;
    InterruptOutEndPt = nullptr;
}

void CCyDevice::SetEndPoints() {
    CCyUSBInterface* iface = CurrentInterface();
    if (iface == nullptr) return;
    EndPoints = iface->EndPoints;
    EndPoints[0] = ControlEndPoint;
    ClearEndPointPointers();
    for (int i = 1; i <= iface->EndPointsFound(); ++i) {
        CCyUSBEndPoint* ep = EndPoints[i];
        if (auto* isoc = dynamic_cast<CCyIsocEndPoint*>(ep)) {
            auto*& slot = ep->bIn ? IsocInEndPt : IsocOutEndPt;
            if (slot == nullptr) slot = isoc;
        } else if (auto* bulk = dynamic_cast<CCyBulkEndPoint*>(ep)) {
            auto*& slot = ep->bIn ? BulkInEndPt : BulkOutEndPt;
            if (slot == nullptr) slot = bulk;
        } else if (auto* interrupt = dynamic_cast<CCyInterruptEndPoint*>(ep)) {
            auto*& slot = ep->bIn ? InterruptInEndPt : InterruptOutEndPt;
            if (slot == nullptr) slot = interrupt;
        }
    }
}

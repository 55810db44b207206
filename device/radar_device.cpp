#include "device/radar_device.h"

#include "device/radar_constants.h"

using vorn::UsbStatus;

RadarDevice::RadarDevice(std::shared_ptr<vorn::UsbBackend> backend)
    : backend_(std::move(backend)) {}

int RadarDevice::RefreshDevices() {
    device_.reset();
    device_ = std::make_unique<CCyDevice>(backend_, true);
    entries_.clear();
    entryDeviceIndex_.clear();
    inaccessible_ = 0;
    interfaceSelected = 0;
    outEndPointIndex = 0;
    inEndPointIndex = 0;

    const int count = device_->DeviceCount();
    for (int i = 0; i < count; ++i) {
        if (!device_->Open(static_cast<std::uint8_t>(i))) {
            const auto& listed = device_->ListedDevices();
            const bool radar =
                static_cast<std::size_t>(i) < listed.size() &&
                listed[static_cast<std::size_t>(i)].vendorId == vorn::kRadarVendorId &&
                listed[static_cast<std::size_t>(i)].productId == vorn::kRadarProductId;
            if (radar && device_->LastOpenStatus() == UsbStatus::Access) ++inaccessible_;
            // A device whose descriptors could not be read is no usable radar either.
            if (!device_->IsOpen()) continue;
        }
        if (device_->VendorID != vorn::kRadarVendorId ||
            device_->ProductID != vorn::kRadarProductId) {
            continue;
        }
        entries_.push_back(RadarDeviceEntry{device_->VendorID, device_->ProductID,
                                            device_->ConfigCount(), device_->EndPointCount(),
                                            device_->InterfaceCount(), device_->AltSettingCount()});
        entryDeviceIndex_.push_back(i);
    }
    return static_cast<int>(entries_.size());
}

int RadarDevice::DeviceIndexOf(int entry) const {
    if (entry < 0 || static_cast<std::size_t>(entry) >= entryDeviceIndex_.size()) return -1;
    return entryDeviceIndex_[static_cast<std::size_t>(entry)];
}

bool RadarDevice::OpenEntry(int entry) {
    const int index = DeviceIndexOf(entry);
    if (index < 0 || !device_) return false;
    interfaceSelected = 0;
    outEndPointIndex = 0;
    inEndPointIndex = 0;
    return device_->Open(static_cast<std::uint8_t>(index));
}

int RadarDevice::SelectStreamingInterface() {
    if (!device_) return 0;
    device_->Reset();
    device_->SetAltSetting(vorn::kStreamingAltSetting);
    return device_->AltSetting() == vorn::kStreamingAltSetting ? 1 : 0;
}

int RadarDevice::FindEndPoint(std::uint8_t address) {
    if (!device_) return 0;
    const int count = device_->EndPointCount();
    if (count < 2 || device_->EndPoints == nullptr) return 0;
    for (int i = 1; i < count; ++i) {
        const CCyUSBEndPoint* ep = device_->EndPoints[i];
        if (ep != nullptr && ep->Address == address) return i;
    }
    return 0;
}

CCyUSBEndPoint* RadarDevice::EndPointAt(int index) {
    // Slot 0 is the control endpoint; a bulk request must never land there.
    if (!device_ || device_->EndPoints == nullptr) return nullptr;
    if (index < 1 || index >= device_->EndPointCount()) return nullptr;
    return device_->EndPoints[index];
}

int RadarDevice::WriteBlock(const std::uint8_t* data, int length) {
    CCyUSBEndPoint* ep = EndPointAt(outEndPointIndex);
    if (ep == nullptr || data == nullptr || length <= 0) return 0;
    std::vector<std::uint8_t> copy(data, data + length);  // the transfer takes a mutable buffer
    int len = length;
    ep->TransferData(copy.data(), len);
    return len;
}

int RadarDevice::ReadChannel1(std::vector<std::complex<double>>& samples, int n, int timeoutMs) {
    return Read(samples, n, timeoutMs, vorn::FrameChannels::One);
}

int RadarDevice::ReadChannel2(std::vector<std::complex<double>>& samples, int n, int timeoutMs) {
    return Read(samples, n, timeoutMs, vorn::FrameChannels::Two);
}

int RadarDevice::ReadBothChannels(std::vector<std::complex<double>>& samples, int n,
                                  int timeoutMs) {
    return Read(samples, n, timeoutMs, vorn::FrameChannels::Both);
}

int RadarDevice::Read(std::vector<std::complex<double>>& samples, int n, int timeoutMs,
                      vorn::FrameChannels channels) {
    // The result, 2n for both channels, fits an int whenever the request does.
    if (n <= 0 || n > vorn::kMaxReadFrames || timeoutMs < 0) return 0;
    CCyUSBEndPoint* ep = EndPointAt(inEndPointIndex);
    if (ep == nullptr) return 0;

    const int length = vorn::kFrameBytes * n + vorn::kSpareReadBytes;
    if (readCapacity_ < static_cast<std::size_t>(length)) {
        // Not zeroed: a long recording's buffer is gigabytes, and only received bytes are read.
        readBuffer_.reset();
        readBuffer_.reset(new std::uint8_t[static_cast<std::size_t>(length)]);
        readCapacity_ = static_cast<std::size_t>(length);
    }
    ep->TimeOut = static_cast<std::uint32_t>(timeoutMs);
    int received = length;
    if (!ep->TransferData(readBuffer_.get(), received)) return 0;
    const std::size_t delivered =
        vorn::UnpackFrames(readBuffer_.get(), static_cast<std::size_t>(received),
                           static_cast<std::size_t>(n), channels, samples);
    return static_cast<int>(delivered);
}

int RadarDevice::DownloadFirmware(std::vector<std::vector<std::uint8_t>> records) {
    if (!device_ || device_->ControlEndPoint == nullptr) return 0;
    CCyControlEndPoint* ep = device_->ControlEndPoint;
    ep->Target = TGT_DEVICE;
    ep->ReqType = REQ_VENDOR;
    ep->ReqCode = vorn::kFirmwareLoadRequest;
    ep->Value = vorn::kCpucsAddress;
    ep->Index = 0;

    std::uint8_t cpucs = 0;
    int len = 1;
    ep->Direction = DIR_FROM_DEVICE;
    bool cpuHandled = ep->TransferData(&cpucs, len);

    cpucs = static_cast<std::uint8_t>(cpucs | vorn::kCpucsResetBit);
    len = 1;
    ep->Direction = DIR_TO_DEVICE;
    cpuHandled = ep->TransferData(&cpucs, len) && cpuHandled;

    int written = 0;
    for (auto& record : records) {
        if (record.empty()) continue;  // not even a byte count: nothing that could be loaded
        const int count = record[0];
        if (count == 0) {
            ++written;
            continue;
        }
        if (record.size() < static_cast<std::size_t>(4 + count)) continue;
        ep->Value = static_cast<std::uint16_t>(record[1] * 256 + record[2]);
        len = count;
        // A short write is a failed write, whatever the transfer reported.
        if (ep->TransferData(record.data() + 4, len) && len == count) ++written;
    }

    ep->Value = vorn::kCpucsAddress;
    cpucs = static_cast<std::uint8_t>(cpucs & ~vorn::kCpucsResetBit);
    len = 1;
    cpuHandled = ep->TransferData(&cpucs, len) && cpuHandled;
    // Records written into a CPU that was not held, or that was never let go, do not run: such
    // a download must not pass for a complete one.
    return cpuHandled ? written : 0;
}

std::uint16_t RadarDevice::ComposeParameterWord(int sweepTimeCode, int bandwidthCode,
                                                int samplesCode, int modeCode) {
    // Each code owns two bits; masking keeps a stray value from spilling into the marker.
    return static_cast<std::uint16_t>(vorn::kParameterMarker + (sweepTimeCode & 3) * 64 +
                                      (bandwidthCode & 3) * 16 + (samplesCode & 3) * 4 +
                                      (modeCode & 3));
}

std::vector<std::uint8_t> RadarDevice::BuildParameterBlock(std::uint16_t word) {
    std::vector<std::uint8_t> block(vorn::kParameterBlockBytes);
    for (int i = 0; i < vorn::kParameterWordCopies; ++i) {
        block[2 * static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(word & 0xFF);
        block[2 * static_cast<std::size_t>(i) + 1] = static_cast<std::uint8_t>(word >> 8);
    }
    return block;
}

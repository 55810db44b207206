#include "device/radar_device.h"

#include <cstdio>

#include "device/radar_constants.h"

using vorn::UsbStatus;

namespace {

std::string Hex(unsigned value, int digits) {
    char text[12];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string Of(long long part, long long whole, const char* unit) {
    return std::to_string(part) + " of " + std::to_string(whole) + " " + unit;
}

}  // namespace

std::string DescribeUsbFailure(const UsbFailure& failure) {
    std::string line = failure.operation;
    if (!failure.location.empty()) line += " at " + failure.location;
    line += ": ";
    if (failure.status == UsbStatus::Ok) return line + failure.detail;
    line += vorn::UsbStatusName(failure.status);
    if (!failure.backendError.empty()) line += " [" + failure.backendError + "]";
    if (!failure.detail.empty()) line += "; " + failure.detail;
    return line;
}

void RadarDevice::NoteFailure(std::string operation, UsbStatus status, std::string detail) {
    if (lastFailure_) return;  // the first failure is the cause, the rest follow from it
    UsbFailure failure;
    failure.operation = std::move(operation);
    failure.status = status;
    failure.detail = std::move(detail);
    if (device_) {
        if (status != UsbStatus::Ok) {
            if (const char* name = device_->LastErrorName()) failure.backendError = name;
        }
        failure.location = device_->Location();
    }
    // A radar that has gone is no longer listed; its place is still known from the refresh.
    if (failure.location.empty() && openedEntry_ >= 0 &&
        static_cast<std::size_t>(openedEntry_) < entries_.size()) {
        failure.location = entries_[static_cast<std::size_t>(openedEntry_)].location;
    }
    lastFailure_ = std::move(failure);
}

RadarDevice::RadarDevice(std::shared_ptr<vorn::UsbBackend> backend)
    : backend_(std::move(backend)) {}

int RadarDevice::RefreshDevices() {
    device_.reset();
    device_ = std::make_unique<CCyDevice>(backend_, true);
    entries_.clear();
    entryDeviceIndex_.clear();
    inaccessible_ = 0;
    openedEntry_ = -1;
    lastFailure_.reset();
    interfaceSelected = 0;
    outEndPointIndex = 0;
    inEndPointIndex = 0;
    if (backend_ && backend_->InitStatus() != UsbStatus::Ok) {
        NoteFailure("USB start-up", backend_->InitStatus(), "no device can be listed");
    }

    const int count = device_->DeviceCount();
    for (int i = 0; i < count; ++i) {
        if (!device_->Open(static_cast<std::uint8_t>(i))) {
            const auto& listed = device_->ListedDevices();
            const bool radar =
                static_cast<std::size_t>(i) < listed.size() &&
                listed[static_cast<std::size_t>(i)].vendorId == vorn::kRadarVendorId &&
                listed[static_cast<std::size_t>(i)].productId == vorn::kRadarProductId;
            if (radar && device_->LastOpenStatus() == UsbStatus::Access) ++inaccessible_;
            if (radar) NoteFailure("open", device_->LastOpenStatus());
            // A device whose descriptors could not be read is no usable radar either.
            if (!device_->IsOpen()) continue;
        }
        if (device_->VendorID != vorn::kRadarVendorId ||
            device_->ProductID != vorn::kRadarProductId) {
            continue;
        }
        entries_.push_back(RadarDeviceEntry{
            device_->VendorID, device_->ProductID, device_->ConfigCount(), device_->EndPointCount(),
            device_->InterfaceCount(), device_->AltSettingCount(), device_->Location()});
        entryDeviceIndex_.push_back(i);
    }
    return static_cast<int>(entries_.size());
}

int RadarDevice::DeviceIndexOf(int entry) const {
    if (entry < 0 || static_cast<std::size_t>(entry) >= entryDeviceIndex_.size()) return -1;
    return entryDeviceIndex_[static_cast<std::size_t>(entry)];
}

bool RadarDevice::OpenEntry(int entry) {
    lastFailure_.reset();
    const int index = DeviceIndexOf(entry);
    if (index < 0 || !device_) {
        NoteFailure("open", UsbStatus::NotFound, "no radar in the list");
        return false;
    }
    openedEntry_ = entry;
    interfaceSelected = 0;
    outEndPointIndex = 0;
    inEndPointIndex = 0;
    if (device_->Open(static_cast<std::uint8_t>(index))) return true;
    const bool listed = static_cast<std::size_t>(index) < device_->ListedDevices().size();
    NoteFailure("open", device_->LastOpenStatus(),
                listed ? std::string() : "the radar is no longer on the bus");
    return false;
}

int RadarDevice::SelectStreamingInterface() {
    lastFailure_.reset();
    const std::string setting = "alternate setting " + std::to_string(vorn::kStreamingAltSetting);
    if (!device_) {
        NoteFailure("select " + setting, UsbStatus::NoDevice);
        return 0;
    }
    if (!device_->Reset()) NoteFailure("port reset", device_->LastRequestStatus());
    if (!device_->SetAltSetting(vorn::kStreamingAltSetting)) {
        NoteFailure("select " + setting, device_->LastRequestStatus());
    }
    const std::uint8_t alt = device_->AltSetting();
    if (alt == vorn::kStreamingAltSetting) return 1;
    if (device_->LastRequestStatus() != UsbStatus::Ok) {
        NoteFailure("read the alternate setting", device_->LastRequestStatus());
    } else {
        NoteFailure("select " + setting, UsbStatus::Ok,
                    "the device reports alternate setting " + std::to_string(alt));
    }
    return 0;
}

int RadarDevice::FindEndPoint(std::uint8_t address) {
    lastFailure_.reset();
    if (device_) {
        const int count = device_->EndPointCount();
        std::string offered;
        for (int i = 1; i < count && device_->EndPoints != nullptr; ++i) {
            const CCyUSBEndPoint* ep = device_->EndPoints[i];
            if (ep == nullptr) continue;
            if (ep->Address == address) return i;
            offered += (offered.empty() ? "" : ", ") + Hex(ep->Address, 2);
        }
        NoteFailure("find endpoint " + Hex(address, 2), UsbStatus::NotFound,
                    "the streaming interface offers " + (offered.empty() ? "none" : offered));
        return 0;
    }
    NoteFailure("find endpoint " + Hex(address, 2), UsbStatus::NoDevice);
    return 0;
}

CCyUSBEndPoint* RadarDevice::EndPointAt(int index) {
    // Slot 0 is the control endpoint; a bulk request must never land there.
    if (!device_ || device_->EndPoints == nullptr) return nullptr;
    if (index < 1 || index >= device_->EndPointCount()) return nullptr;
    return device_->EndPoints[index];
}

int RadarDevice::WriteBlock(const std::uint8_t* data, int length) {
    lastFailure_.reset();
    CCyUSBEndPoint* ep = EndPointAt(outEndPointIndex);
    if (ep == nullptr || data == nullptr || length <= 0) {
        NoteFailure("bulk OUT", ep == nullptr ? UsbStatus::NotFound : UsbStatus::InvalidParam,
                    ep == nullptr ? "no endpoint selected" : Of(0, length, "bytes"));
        return 0;
    }
    std::vector<std::uint8_t> copy(data, data + length);  // the transfer takes a mutable buffer
    int len = length;
    const bool ok = ep->TransferData(copy.data(), len);
    if (!ok || len != length) {
        NoteFailure("bulk OUT endpoint " + Hex(ep->Address, 2), ep->LastStatus,
                    Of(len, length, "bytes"));
    }
    return len;
}

int RadarDevice::WriteParameterBlock(std::uint16_t word) {
    const std::vector<std::uint8_t> block = BuildParameterBlock(word);
    return WriteBlock(block.data(), static_cast<int>(block.size()));
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
    lastFailure_.reset();
    if (n <= 0 || n > vorn::kMaxReadFrames || timeoutMs < 0) {
        NoteFailure("bulk IN", UsbStatus::InvalidParam, std::to_string(n) + " frames");
        return 0;
    }
    CCyUSBEndPoint* ep = EndPointAt(inEndPointIndex);
    if (ep == nullptr) {
        NoteFailure("bulk IN", UsbStatus::NotFound, "no endpoint selected");
        return 0;
    }

    const int length = vorn::kFrameBytes * n + vorn::kSpareReadBytes;
    if (readCapacity_ < static_cast<std::size_t>(length)) {
        // Not zeroed: a long recording's buffer is gigabytes, and only received bytes are read.
        readBuffer_.reset();
        readBuffer_.reset(new std::uint8_t[static_cast<std::size_t>(length)]);
        readCapacity_ = static_cast<std::size_t>(length);
    }
    ep->TimeOut = static_cast<std::uint32_t>(timeoutMs);
    int received = length;
    const auto operation = [ep] { return "bulk IN endpoint " + Hex(ep->Address, 2); };
    if (!ep->TransferData(readBuffer_.get(), received)) {
        NoteFailure(operation(), ep->LastStatus, Of(received, length, "bytes"));
        return 0;
    }
    const std::size_t delivered =
        vorn::UnpackFrames(readBuffer_.get(), static_cast<std::size_t>(received),
                           static_cast<std::size_t>(n), channels, samples);
    const std::size_t perFrame = channels == vorn::FrameChannels::Both ? 2 : 1;
    if (delivered < static_cast<std::size_t>(n) * perFrame) {
        // The transfer worked; say what the stream lacked.
        const std::size_t words = static_cast<std::size_t>(received) / 2;
        const std::size_t start =
            vorn::FindFrameStart(readBuffer_.get(), static_cast<std::size_t>(received));
        NoteFailure(operation(), UsbStatus::Ok,
                    start >= words && words > static_cast<std::size_t>(vorn::kSkippedWords)
                        ? "no frame start bit in " + std::to_string(received) + " bytes"
                        : Of(static_cast<long long>(delivered / perFrame), n, "frames") + " in " +
                              std::to_string(received) + " bytes, first frame at word " +
                              std::to_string(start));
    }
    return static_cast<int>(delivered);
}

void RadarDevice::AbortTransfers() {
    for (int index : {outEndPointIndex, inEndPointIndex})
        if (CCyUSBEndPoint* ep = EndPointAt(index)) ep->Abort();
}

void RadarDevice::ClearAbort() {
    for (int index : {outEndPointIndex, inEndPointIndex})
        if (CCyUSBEndPoint* ep = EndPointAt(index)) ep->ResetAbort();
}

int RadarDevice::DownloadFirmware(std::vector<std::vector<std::uint8_t>> records) {
    lastFailure_.reset();
    if (!device_ || device_->ControlEndPoint == nullptr) {
        NoteFailure("firmware download", UsbStatus::NoDevice);
        return 0;
    }
    CCyControlEndPoint* ep = device_->ControlEndPoint;
    // Names the step and the request, so that a failed step can be told from the others.
    const auto step = [ep](const std::string& what) {
        return "firmware " + what + " (request " + Hex(ep->ReqCode, 2) + " value " +
               Hex(ep->Value, 4) + ")";
    };
    ep->Target = TGT_DEVICE;
    ep->ReqType = REQ_VENDOR;
    ep->ReqCode = vorn::kFirmwareLoadRequest;
    ep->Value = vorn::kCpucsAddress;
    ep->Index = 0;

    std::uint8_t cpucs = 0;
    int len = 1;
    ep->Direction = DIR_FROM_DEVICE;
    bool cpuHandled = ep->TransferData(&cpucs, len);
    if (!cpuHandled) NoteFailure(step("CPUCS read"), ep->LastStatus);

    cpucs = static_cast<std::uint8_t>(cpucs | vorn::kCpucsResetBit);
    len = 1;
    ep->Direction = DIR_TO_DEVICE;
    if (!ep->TransferData(&cpucs, len)) {
        NoteFailure(step("CPU hold"), ep->LastStatus);
        cpuHandled = false;
    }

    int written = 0;
    for (std::size_t r = 0; r < records.size(); ++r) {
        auto& record = records[r];
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
        if (ep->TransferData(record.data() + 4, len) && len == count) {
            ++written;
        } else {
            NoteFailure(
                step("record " + std::to_string(r + 1) + " of " + std::to_string(records.size())),
                ep->LastStatus, Of(len, count, "bytes"));
        }
    }

    ep->Value = vorn::kCpucsAddress;
    cpucs = static_cast<std::uint8_t>(cpucs & ~vorn::kCpucsResetBit);
    len = 1;
    if (!ep->TransferData(&cpucs, len)) {
        NoteFailure(step("CPU release"), ep->LastStatus);
        cpuHandled = false;
    }
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

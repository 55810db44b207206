#include "sim_test_support.h"

#include <fstream>
#include <sstream>

#include "device/firmware.h"
#include "device/radar_constants.h"

namespace vorn::sim::test {

std::string ReadFirmwareText() {
    std::ifstream in(VORN_FIRMWARE_HEX, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<HexRecord> FirmwareRecords() {
    std::vector<HexRecord> data;
    for (const std::vector<std::uint8_t>& raw : ParseFirmwareRecords(ReadFirmwareText())) {
        if (raw.size() >= 5 && raw[3] == 0)
            data.push_back({0, static_cast<std::uint16_t>(raw[1] << 8 | raw[2]),
                            std::vector<std::uint8_t>(raw.begin() + 4, raw.end() - 1)});
    }
    return data;
}

int Download(UsbDeviceLink& link, const std::vector<HexRecord>& records) {
    std::uint8_t cpucs = 0;
    link.ControlTransfer(kRequestTypeVendorIn, kFirmwareLoadRequest, kCpucsAddress, 0, &cpucs, 1,
                         kDefaultTimeoutMs);
    cpucs |= kCpucsResetBit;
    link.ControlTransfer(kRequestTypeVendorOut, kFirmwareLoadRequest, kCpucsAddress, 0, &cpucs, 1,
                         kDefaultTimeoutMs);
    int written = 0;
    for (HexRecord r : records) {
        const auto n = static_cast<std::uint16_t>(r.data.size());
        const UsbTransferResult res =
            link.ControlTransfer(kRequestTypeVendorOut, kFirmwareLoadRequest, r.address, 0,
                                 r.data.data(), n, kDefaultTimeoutMs);
        if (res.ok() && res.transferred == n) ++written;
    }
    cpucs = static_cast<std::uint8_t>(cpucs & ~kCpucsResetBit);
    link.ControlTransfer(kRequestTypeVendorOut, kFirmwareLoadRequest, kCpucsAddress, 0, &cpucs, 1,
                         kDefaultTimeoutMs);
    return written;
}

std::unique_ptr<UsbDeviceLink> OpenFirst(SimBackend& backend) {
    backend.ListDevices();
    UsbStatus status = UsbStatus::Other;
    return backend.Open(0, status);
}

UsbTransferResult WriteParameterWord(UsbDeviceLink& link, std::uint16_t word) {
    std::vector<std::uint8_t> block;
    for (int i = 0; i < kParameterWordCopies; ++i) {
        block.push_back(static_cast<std::uint8_t>(word & 0xFF));
        block.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    return link.BulkTransfer(kParameterEndpoint, block.data(), static_cast<int>(block.size()),
                             kDefaultTimeoutMs);
}

std::unique_ptr<UsbDeviceLink> Activate(SimBackend& backend, std::uint16_t parameterWord) {
    std::unique_ptr<UsbDeviceLink> link = OpenFirst(backend);
    if (!link) return nullptr;
    if (link->ResetPort() != UsbStatus::Ok) return nullptr;
    if (link->SetAltSetting(kRadarInterfaceNumber, kStreamingAltSetting) != UsbStatus::Ok)
        return nullptr;
    const std::vector<HexRecord> records = FirmwareRecords();
    if (Download(*link, records) != static_cast<int>(records.size())) return nullptr;
    if (WriteParameterWord(*link, parameterWord).transferred != kParameterBlockBytes)
        return nullptr;
    return link;
}

Unpacked ReadFrames(UsbDeviceLink& link, int n, UsbTransferResult* result) {
    const int length = kFrameBytes * n + kSpareReadBytes;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(length));
    const UsbTransferResult r =
        link.BulkTransfer(kSampleEndpoint, buffer.data(), length, kDefaultTimeoutMs);
    if (result) *result = r;
    Unpacked out;
    if (!r.ok()) return out;
    for (int i = 0; i + 1 < r.transferred; i += 2) {
        const auto at = static_cast<std::size_t>(i);
        out.words.push_back(static_cast<std::uint16_t>(buffer[at] | buffer[at + 1] << 8));
    }
    const std::vector<std::uint16_t>& w = out.words;
    const int count = static_cast<int>(w.size());
    int s = kSkippedWords;
    while (s < count && (w[static_cast<std::size_t>(s)] & kFrameStartBit) == 0) ++s;
    if (s >= count) return out;
    out.startWord = s;
    for (int k = 0; k < n && s + 4 * k + 3 < count; ++k) {
        const auto at = static_cast<std::size_t>(s + 4 * k);
        out.ch1.emplace_back(w[at + 1], w[at] & kSampleMask);
        out.ch2.emplace_back(w[at + 3], w[at + 2] & kSampleMask);
    }
    return out;
}

}  // namespace vorn::sim::test

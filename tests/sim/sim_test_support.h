#pragma once
// Host-side helpers for the stand-in's tests: the firmware file, a loader that talks 0xA0 the
// way the application does, and a frame unpacker following the sample stream layout.
#include <complex>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/usb_backend.h"
#include "sim/sim_backend.h"
#include "sim/sim_radar.h"

namespace vorn::sim::test {

struct HexRecord {
    std::uint8_t type = 0;
    std::uint16_t address = 0;
    std::vector<std::uint8_t> data;
};

std::string ReadFirmwareText();
std::vector<HexRecord> FirmwareRecords();  // data records of the shipped image

// Read CPUCS, hold, write each record, release: the application's download sequence.
// Returns the number of records written.
int Download(UsbDeviceLink& link, const std::vector<HexRecord>& records);

std::unique_ptr<UsbDeviceLink> OpenFirst(SimBackend& backend);

// Alt setting 1, the shipped firmware, one parameter block; the link is left ready to stream.
std::unique_ptr<UsbDeviceLink> Activate(SimBackend& backend, std::uint16_t parameterWord);

UsbTransferResult WriteParameterWord(UsbDeviceLink& link, std::uint16_t word);

struct Unpacked {
    std::vector<std::complex<double>> ch1;
    std::vector<std::complex<double>> ch2;
    int startWord = -1;
    std::vector<std::uint16_t> words;  // the whole transfer
};
// Reads n frames the way the host does: 8n + 10240 bytes, skip 1024 words, sync on bit 15.
Unpacked ReadFrames(UsbDeviceLink& link, int n, UsbTransferResult* result = nullptr);

}  // namespace vorn::sim::test

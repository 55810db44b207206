#pragma once
// Everything that identifies the radar's USB controller and its protocol, in one place.
#include <climits>
#include <cstddef>
#include <cstdint>

namespace vorn {

// The FX2 controller enumerates with the chip maker's IDs and keeps them after the download.
inline constexpr std::uint16_t kRadarVendorId = 0x04B4;
inline constexpr std::uint16_t kRadarProductId = 0x8613;
inline constexpr const char* kRadarModelName = "Tarkel";

inline constexpr std::uint8_t kRadarInterfaceNumber = 0;
inline constexpr std::uint8_t kStreamingAltSetting = 1;
inline constexpr std::uint8_t kParameterEndpoint = 0x02;  // EP2 OUT
inline constexpr std::uint8_t kSampleEndpoint = 0x86;     // EP6 IN
inline constexpr int kBulkPacketSize = 512;

// Standard requests used by the access layer.
inline constexpr std::uint8_t kRequestGetDescriptor = 0x06;
inline constexpr std::uint8_t kRequestGetInterface = 0x0A;
inline constexpr std::uint8_t kRequestSetInterface = 0x0B;
inline constexpr std::uint8_t kDescriptorTypeDevice = 1;
inline constexpr std::uint8_t kDescriptorTypeConfiguration = 2;
inline constexpr std::uint8_t kDescriptorTypeInterface = 4;
inline constexpr std::uint8_t kDescriptorTypeEndpoint = 5;
inline constexpr unsigned kDescriptorTimeoutMs = 5000;

// FX2 loader: vendor request 0xA0 writes (or reads) the controller's RAM and registers.
inline constexpr std::uint8_t kFirmwareLoadRequest = 0xA0;
inline constexpr std::uint16_t kCpucsAddress = 0xE600;
inline constexpr std::uint8_t kCpucsResetBit = 0x01;
inline constexpr std::uint8_t kRequestTypeVendorOut = 0x40;
inline constexpr std::uint8_t kRequestTypeVendorIn = 0xC0;

// Transfers: 10 s default endpoint timeout; 1 s per single sweep read.
inline constexpr unsigned kDefaultTimeoutMs = 10000;

// Operating-mode codes, the parameter word's mode field.
inline constexpr int kOperatingModeFmcwSawtooth = 0;
inline constexpr int kOperatingModeFmcwTriangle = 1;
inline constexpr int kOperatingModeFsk = 2;
inline constexpr int kOperatingModeCw = 3;

// Parameter block: 1024 little-endian copies of the 16-bit parameter word.
inline constexpr std::uint16_t kParameterMarker = 0xA000;
inline constexpr int kParameterWordCopies = 1024;
inline constexpr int kParameterBlockBytes = 2 * kParameterWordCopies;

// Sample stream: 8-byte frames; every read skips its first 1024 words and carries 10240 spare
// bytes.
inline constexpr int kFrameBytes = 8;
inline constexpr int kFrameWords = 4;
inline constexpr int kSkippedWords = 1024;
inline constexpr int kSpareReadBytes = 10240;
// Frames one read can take: its request of 8n + 10240 bytes is an int. The recording plan
// refuses longer recordings with this same bound, so what it accepts the read can carry.
inline constexpr int kMaxReadFrames = (INT_MAX - kSpareReadBytes) / kFrameBytes;
inline constexpr std::uint16_t kFrameStartBit = 0x8000;
inline constexpr std::uint16_t kSampleMask = 0x7FFF;

inline constexpr double kSpeedOfLight = 299792458.0;

}  // namespace vorn

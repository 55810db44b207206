#pragma once
// The controller firmware: Intel HEX text in, download records out. No I/O but the resource read.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

inline constexpr const char* kFirmwareResourcePath = ":/Vorn_GUI/vorn_fx2_firmware.hex";

// Records in image order, each as the bytes of its line: byte count, address high, address low,
// record type, data, checksum. Empty records (the end-of-file line) are left out; checksums and
// record types are not examined, and characters that are not hex digits read as 0.
std::vector<std::vector<std::uint8_t>> ParseFirmwareRecords(std::string_view hexText);

// The image compiled into the program; empty when the resource is missing.
std::string EmbeddedFirmwareText();

}  // namespace vorn

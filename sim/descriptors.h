#pragma once
// The descriptors an FX2 without firmware reports: the chip maker's IDs, one configuration and
// interface 0 with the four default alternate settings.
#include <cstdint>
#include <vector>

namespace vorn::sim {

struct SimEndpoint {
    std::uint8_t address = 0;
    std::uint8_t attributes = 0;  // transfer type in bits 1..0
    std::uint16_t maxPacketSize = 0;
    std::uint8_t interval = 0;
};

// Endpoints left out of alternate setting 1, to stand for a device that lacks them.
struct DescriptorOptions {
    bool omitParameterEndpoint = false;
    bool omitSampleEndpoint = false;
};

inline constexpr std::uint8_t kSimAltSettingCount = 4;

std::vector<std::uint8_t> DeviceDescriptor();
// Configuration 1 with all its interface and endpoint descriptors (wTotalLength bytes).
std::vector<std::uint8_t> ConfigurationDescriptor(const DescriptorOptions& options);
// Endpoints of one alternate setting of interface 0, in descriptor order; empty for alt 0 and
// for settings that do not exist.
std::vector<SimEndpoint> AltSettingEndpoints(std::uint8_t alt, const DescriptorOptions& options);

}  // namespace vorn::sim

#include "sim/descriptors.h"

#include "device/radar_constants.h"

namespace vorn::sim {

namespace {
constexpr std::uint8_t kBulk = 2;
constexpr std::uint8_t kIso = 1;
constexpr std::uint8_t kInterrupt = 3;
constexpr std::uint8_t kVendorClass = 0xFF;

void PutWord(std::vector<std::uint8_t>& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

// The FX2's built-in high-speed layout: alt 1 all bulk, alt 2 and 3 swap EP2/EP6 to
// isochronous and EP1 (and, in alt 3, EP4/EP8) to interrupt.
std::vector<SimEndpoint> DefaultLayout(std::uint8_t alt) {
    switch (alt) {
        case 1:
            return {{0x01, kBulk, 512, 0},
                    {0x81, kBulk, 512, 0},
                    {kParameterEndpoint, kBulk, kBulkPacketSize, 0},
                    {0x04, kBulk, 512, 0},
                    {kSampleEndpoint, kBulk, kBulkPacketSize, 0},
                    {0x88, kBulk, 512, 0}};
        case 2:
            return {{0x01, kInterrupt, 64, 1}, {0x81, kInterrupt, 64, 1}, {0x02, kIso, 512, 1},
                    {0x04, kBulk, 512, 0},     {0x86, kIso, 512, 1},      {0x88, kBulk, 512, 0}};
        case 3:
            return {{0x01, kInterrupt, 64, 1}, {0x81, kInterrupt, 64, 1},
                    {0x02, kIso, 512, 1},      {0x04, kInterrupt, 512, 1},
                    {0x86, kIso, 512, 1},      {0x88, kInterrupt, 512, 1}};
        default:
            return {};
    }
}
}  // namespace

std::vector<SimEndpoint> AltSettingEndpoints(std::uint8_t alt, const DescriptorOptions& options) {
    std::vector<SimEndpoint> endpoints = DefaultLayout(alt);
    if (alt != kStreamingAltSetting) return endpoints;
    std::vector<SimEndpoint> kept;
    for (const SimEndpoint& ep : endpoints) {
        if (options.omitParameterEndpoint && ep.address == kParameterEndpoint) continue;
        if (options.omitSampleEndpoint && ep.address == kSampleEndpoint) continue;
        kept.push_back(ep);
    }
    return kept;
}

std::vector<std::uint8_t> DeviceDescriptor() {
    std::vector<std::uint8_t> d = {18, kDescriptorTypeDevice};
    PutWord(d, 0x0200);  // USB 2.0
    d.push_back(kVendorClass);
    d.push_back(kVendorClass);
    d.push_back(kVendorClass);
    d.push_back(64);  // endpoint 0 packet size
    PutWord(d, kRadarVendorId);
    PutWord(d, kRadarProductId);
    PutWord(d, 0xA001);  // bcdDevice: the chip revision
    d.push_back(0);      // no strings without an EEPROM
    d.push_back(0);
    d.push_back(0);
    d.push_back(1);  // one configuration
    return d;
}

std::vector<std::uint8_t> ConfigurationDescriptor(const DescriptorOptions& options) {
    std::vector<std::uint8_t> body;
    for (std::uint8_t alt = 0; alt < kSimAltSettingCount; ++alt) {
        const std::vector<SimEndpoint> endpoints = AltSettingEndpoints(alt, options);
        body.insert(body.end(), {9, kDescriptorTypeInterface, kRadarInterfaceNumber, alt,
                                 static_cast<std::uint8_t>(endpoints.size()), kVendorClass,
                                 kVendorClass, kVendorClass, 0});
        for (const SimEndpoint& ep : endpoints) {
            body.insert(body.end(), {7, kDescriptorTypeEndpoint, ep.address, ep.attributes});
            PutWord(body, ep.maxPacketSize);
            body.push_back(ep.interval);
        }
    }
    std::vector<std::uint8_t> d = {9, kDescriptorTypeConfiguration};
    PutWord(d, static_cast<std::uint16_t>(9 + body.size()));
    d.insert(d.end(), {1, 1, 0, 0x80, 50});  // 1 interface, value 1, bus-powered, 100 mA
    d.insert(d.end(), body.begin(), body.end());
    return d;
}

}  // namespace vorn::sim

// Configuration descriptors a broken or hostile device might send: the parser never reads past
// the copy (run under the address sanitizer) and never builds more than a descriptor can hold.
// CCyDevice on a whole device runs against the stand-in and the unchanged libusb elsewhere.
#include "device/cy_device.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(CyDeviceMalformed, RandomBytesNeverOverread) {
    // Run under the address sanitizer this shows any read past the copy.
    std::mt19937 rng(1234);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::uint8_t> bytes(rng() % 120);
        for (auto& b : bytes) b = static_cast<std::uint8_t>(rng() % 12);
        if (bytes.size() > 4 && round % 2 == 0) bytes[2] = static_cast<std::uint8_t>(bytes.size());
        auto config = ParseConfiguration(bytes.data(), bytes.size(), nullptr);
        ASSERT_EQ(config == nullptr, bytes.size() < 9);
        if (!config) continue;
        EXPECT_LE(config->Interfaces.size(), 8u);
        for (const auto& iface : config->Interfaces) EXPECT_LE(iface->EndPointsFound(), 15);
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/radar_constants.h"
#include "sim/fx2_controller.h"
#include "sim_test_support.h"

namespace vorn::sim::test {
namespace {

std::uint16_t At(const std::vector<std::uint8_t>& r) {
    return static_cast<std::uint16_t>(r[1] << 8 | r[2]);
}

void Load(Fx2Controller& fx2, const Records& records) {
    std::uint8_t hold = 0x01;
    ASSERT_TRUE(fx2.LoaderWrite(kCpucsAddress, &hold, 1));
    for (const auto& r : records) ASSERT_TRUE(fx2.LoaderWrite(At(r), r.data() + 4, r[0]));
    std::uint8_t release = 0x00;
    ASSERT_TRUE(fx2.LoaderWrite(kCpucsAddress, &release, 1));
}

// Changes the code byte at a code address in a copy of the image.
Records Patched(std::uint16_t address, std::uint8_t value) {
    Records records = FirmwareRecords();
    for (auto& r : records)
        if (address >= At(r) && address < At(r) + r[0]) r[4 + address - At(r)] = value;
    return records;
}

TEST(Fx2Controller, DamagedImagesLeaveTheEndpointsDisabled) {
    struct Case {
        const char* what;
        std::uint16_t address;
        std::uint8_t value;
        bool parameterEndpointStillReady;
    };
    const Case cases[] = {
        {"EP6CFG value E0 -> E2", 0x0029, 0xE2, false},
        {"EP6 FIFO reset 86 -> 84", 0x0053, 0x84, true},
        {"unknown opcode before PORTACFG", 0x00AE, 0xA5, false},
    };
    for (const Case& c : cases) {
        Fx2Controller fx2;
        Load(fx2, Patched(c.address, c.value));
        EXPECT_EQ(fx2.ParameterEndpointReady(), c.parameterEndpointStillReady) << c.what;
        EXPECT_FALSE(fx2.SampleEndpointReady()) << c.what;
    }
}

}  // namespace
}  // namespace vorn::sim::test

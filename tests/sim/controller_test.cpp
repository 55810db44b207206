#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/radar_constants.h"
#include "sim/cpu8051.h"
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

TEST(Fx2Controller, ShippedFirmwareWritesTheSlaveFifoSetupInOrderAndLoops) {
    Fx2Controller fx2;
    Load(fx2, FirmwareRecords());
    const std::vector<RegisterWrite>& writes = fx2.registerWrites();
    ASSERT_GE(writes.size(), 2 * kSlaveFifoSetup.size());
    for (std::size_t i = 0; i < kSlaveFifoSetup.size(); ++i) {
        EXPECT_EQ(writes[i], kSlaveFifoSetup[i]) << "write " << i + 1;
        EXPECT_EQ(writes[i + kSlaveFifoSetup.size()], kSlaveFifoSetup[i]) << "second pass";
    }
    EXPECT_TRUE(fx2.cpuRunning());
    EXPECT_TRUE(fx2.SampleEndpointReady());
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

TEST(Fx2Controller, WithoutFirmwareOrWhileHeldNothingStreams) {
    Fx2Controller fx2;
    EXPECT_FALSE(fx2.SampleEndpointReady());
    Load(fx2, FirmwareRecords());

    // A new download holds the CPU first; the old set-up must not outlive the hold.
    std::uint8_t hold = 0x13;
    ASSERT_TRUE(fx2.LoaderWrite(kCpucsAddress, &hold, 1));
    EXPECT_FALSE(fx2.SampleEndpointReady());
    EXPECT_FALSE(fx2.ParameterEndpointReady());
}

TEST(Fx2Controller, LoaderReachesOnlyProgramRamAndCpucs) {
    Fx2Controller fx2;
    const std::uint8_t two[2] = {1, 2};
    EXPECT_TRUE(fx2.LoaderWrite(0x3FFE, two, 2));
    EXPECT_FALSE(fx2.LoaderWrite(0x3FFF, two, 2));
    EXPECT_FALSE(fx2.LoaderWrite(0xE601, two, 1));
    std::uint8_t back[2] = {};
    ASSERT_TRUE(fx2.LoaderRead(0x3FFE, back, 2));
    EXPECT_EQ(back[1], 2);
    EXPECT_FALSE(fx2.LoaderRead(0x4000, back, 1));
}

TEST(Cpu8051, RunawayProgramStopsAtTheStepBudgetAndFetchOutsideRamHalts) {
    std::vector<std::uint8_t> ram(0x100, 0);
    ram[0] = 0x80;  // SJMP $
    ram[1] = 0xFE;
    Cpu8051 spin(ram.data(), ram.size(), nullptr);
    EXPECT_EQ(spin.Run(500), 500);
    EXPECT_FALSE(spin.halted());

    std::vector<std::uint8_t> small(4, 0x00);  // NOPs running off the end
    Cpu8051 off(small.data(), small.size(), nullptr);
    EXPECT_EQ(off.Run(100), 4);
    EXPECT_TRUE(off.halted());
}

TEST(FirmwareImage, RecordsComeInLoadOrderWithValidChecksumsAndNoGaps) {
    const std::string text = ReadFirmwareText();
    EXPECT_EQ(text.substr(text.size() - 13), ":00000001FF\r\n");
    const Records all = FirmwareRecords();
    std::vector<std::uint16_t> expected = {0x0000, 0x00B8};
    for (std::uint16_t a = 0x0003; a < 0x00B8; a += 16) expected.push_back(a);
    ASSERT_EQ(all.size(), expected.size());
    std::vector<bool> covered(0xC4, false);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::size_t address = all[i][1] << 8 | all[i][2];
        EXPECT_EQ(address, expected[i]) << "record " << i;
        for (std::size_t b = 0; b < all[i][0]; ++b) {
            const std::size_t at = address + b;
            ASSERT_LT(at, covered.size());
            EXPECT_FALSE(covered[at]) << "overlap at " << at;
            covered[at] = true;
        }
    }
    for (std::size_t a = 0; a < covered.size(); ++a) EXPECT_TRUE(covered[a]) << "gap at " << a;
    EXPECT_EQ(all[13][all[13].size() - 2], 0x22) << "main routine ends in RET";
}

}  // namespace
}  // namespace vorn::sim::test

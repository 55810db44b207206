#pragma once
// The FX2 as the radar carries it: 16 KB of program RAM, the loader behind vendor request 0xA0,
// the CPUCS reset bit and the register block the downloaded program configures.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/fx2_registers.h"

namespace vorn::sim {

class Fx2Controller {
public:
    static constexpr std::size_t kRamSize = 0x4000;
    // Instructions run after a release. The firmware loops forever; this covers its start-up and
    // several passes of its set-up loop, which is all that the register state depends on.
    static constexpr int kStepBudget = 4096;
    static constexpr std::size_t kMaxLoggedWrites = 1024;

    Fx2Controller();

    // Power-on state: RAM cleared, CPU held in reset, registers at their defaults.
    void PowerUp();

    // Loader access. Only the program RAM and CPUCS are reachable; anything else, or a range
    // running past the RAM, is refused (the loader stalls the request).
    bool LoaderWrite(std::uint16_t address, const std::uint8_t* data, std::size_t length);
    bool LoaderRead(std::uint16_t address, std::uint8_t* data, std::size_t length) const;

    bool cpuHeld() const { return (cpucs_ & 0x01) != 0; }
    // True when the program was released and is still executing (no unknown opcode).
    bool cpuRunning() const { return !cpuHeld() && released_ && !crashed_; }
    std::uint8_t cpucs() const { return cpucs_; }
    std::uint8_t Register(std::uint16_t address) const;
    const std::vector<RegisterWrite>& registerWrites() const { return writes_; }
    int stepsRun() const { return stepsRun_; }

    // The bulk endpoints only pass data once the program configured them for the radar.
    bool ParameterEndpointReady() const;
    bool SampleEndpointReady() const;

private:
    void ResetRegisters();
    void SetCpucsFromHost(std::uint8_t value);
    void RunProgram();
    void OnXdataWrite(std::uint16_t address, std::uint8_t value);
    bool CommonSetupDone() const;

    std::vector<std::uint8_t> ram_;
    std::array<std::uint8_t, kRegisterCount> registers_{};
    std::uint8_t cpucs_ = 0;
    bool released_ = false;
    bool crashed_ = false;
    int stepsRun_ = 0;
    // EPxCFG at the time of the last FIFO reset of that endpoint: a FIFO must be reset after its
    // endpoint was configured, with host transfers NAKed.
    int ep2ResetCfg_ = -1;
    int ep6ResetCfg_ = -1;
    std::vector<RegisterWrite> writes_;
};

}  // namespace vorn::sim

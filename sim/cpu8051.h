#pragma once
// A small 8051 core: enough of the instruction set for the slave-FIFO firmware and the usual
// start-up code around it. It shares the FX2's unified program/data RAM with the loader.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace vorn::sim {

class Cpu8051 {
public:
    // MOVX writes outside the program RAM go here (the controller's registers).
    using XdataWriter = std::function<void(std::uint16_t address, std::uint8_t value)>;

    // ram is the code/XDATA memory, shared with the caller; it must outlive the core.
    Cpu8051(std::uint8_t* ram, std::size_t ramSize, XdataWriter writer);

    // The state after the reset pin is released: PC 0, SP 07h, SFRs and internal RAM cleared.
    void Reset();
    // Executes up to maxSteps instructions; returns how many ran. Stops early when the core
    // halts on an opcode it does not know or on a fetch outside the RAM.
    int Run(int maxSteps);

    bool halted() const { return halted_; }
    std::uint16_t pc() const { return pc_; }
    std::uint8_t acc() const { return sfr(kAcc); }
    std::uint16_t dptr() const;
    std::uint8_t sp() const { return sfr(kSp); }
    std::uint8_t internalRam(std::uint8_t address) const { return iram_[address]; }

private:
    static constexpr std::uint8_t kSp = 0x81;
    static constexpr std::uint8_t kDpl = 0x82;
    static constexpr std::uint8_t kDph = 0x83;
    static constexpr std::uint8_t kPsw = 0xD0;
    static constexpr std::uint8_t kAcc = 0xE0;

    bool Step();
    bool Fetch(std::uint8_t& byte);
    std::uint8_t sfr(std::uint8_t address) const { return sfr_[address - 0x80]; }
    void setSfr(std::uint8_t address, std::uint8_t value) { sfr_[address - 0x80] = value; }
    std::uint8_t ReadDirect(std::uint8_t address) const;
    void WriteDirect(std::uint8_t address, std::uint8_t value);
    std::uint8_t& Reg(int n);
    void Push(std::uint8_t value);
    std::uint8_t Pop();
    void WriteXdata(std::uint16_t address, std::uint8_t value);
    std::uint8_t ReadXdata(std::uint16_t address) const;
    void Jump(int relative) { pc_ = static_cast<std::uint16_t>(pc_ + relative); }

    std::uint8_t* ram_;
    std::size_t ramSize_;
    XdataWriter writer_;
    std::array<std::uint8_t, 256> iram_{};
    std::array<std::uint8_t, 128> sfr_{};
    std::uint16_t pc_ = 0;
    bool halted_ = false;
};

}  // namespace vorn::sim

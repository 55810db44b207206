#include "sim/fx2_controller.h"

#include <algorithm>
#include <cstring>

#include "device/radar_constants.h"
#include "sim/cpu8051.h"

namespace vorn::sim {

namespace {
// CLKOE set and the CPU held, as an FX2 without a boot EEPROM comes up.
constexpr std::uint8_t kCpucsPowerUp = 0x03;

struct Default {
    std::uint16_t address;
    std::uint8_t value;
};
// Power-on values of the registers above (FX2 manual); IFCONFIG 0x80 means ports mode, so
// nothing reaches the FIFOs until a program switches to slave FIFO mode.
constexpr Default kDefaults[] = {
    {kRegIfconfig, 0x80},      {kRegPinflagsAb, 0x00},    {kRegPinflagsCd, 0x00},
    {kRegFifoReset, 0x00},     {kRegFifoPinPolar, 0x00},  {kRegRevctl, 0x00},
    {kRegEp2Cfg, 0xA2},        {kRegEp4Cfg, 0xA0},        {kRegEp6Cfg, 0xE2},
    {kRegEp8Cfg, 0xE0},        {kRegEp2FifoCfg, 0x05},    {kRegEp6FifoCfg, 0x05},
    {kRegEp6AutoInLenH, 0x02}, {kRegEp6AutoInLenL, 0x00}, {kRegEp6FifoPfH, 0x88},
    {kRegEp6FifoPfL, 0x00},    {kRegPortACfg, 0x00},
};

std::size_t Offset(std::uint16_t address) {
    return address - kRegisterBase;
}
}  // namespace

Fx2Controller::Fx2Controller() : ram_(kRamSize, 0) {
    PowerUp();
}

void Fx2Controller::PowerUp() {
    std::fill(ram_.begin(), ram_.end(), 0);
    cpucs_ = kCpucsPowerUp;
    released_ = false;
    crashed_ = false;
    stepsRun_ = 0;
    writes_.clear();
    ResetRegisters();
}

void Fx2Controller::ResetRegisters() {
    registers_.fill(0);
    for (const Default& d : kDefaults) registers_[Offset(d.address)] = d.value;
    ep2ResetCfg_ = -1;
    ep6ResetCfg_ = -1;
}

std::uint8_t Fx2Controller::Register(std::uint16_t address) const {
    if (address == kRegCpucs) return cpucs_;
    if (address < kRegisterBase || Offset(address) >= kRegisterCount) return 0;
    return registers_[Offset(address)];
}

bool Fx2Controller::LoaderWrite(std::uint16_t address, const std::uint8_t* data,
                                std::size_t length) {
    if (length == 0) return true;
    if (data == nullptr) return false;
    if (address == kCpucsAddress) {
        SetCpucsFromHost(data[0]);
        return true;
    }
    if (address >= kRamSize || length > kRamSize - address) return false;
    std::memcpy(ram_.data() + address, data, length);
    return true;
}

bool Fx2Controller::LoaderRead(std::uint16_t address, std::uint8_t* data,
                               std::size_t length) const {
    if (length == 0) return true;
    if (data == nullptr) return false;
    if (address == kCpucsAddress) {
        std::memset(data, 0, length);
        data[0] = cpucs_;
        return true;
    }
    if (address >= kRamSize || length > kRamSize - address) return false;
    std::memcpy(data, ram_.data() + address, length);
    return true;
}

void Fx2Controller::SetCpucsFromHost(std::uint8_t value) {
    // The host may only move the reset bit; the clock bits belong to the program.
    const bool hold = (value & kCpucsResetBit) != 0;
    const bool wasHeld = cpuHeld();
    cpucs_ = static_cast<std::uint8_t>((cpucs_ & ~kCpucsResetBit) | (hold ? kCpucsResetBit : 0));
    if (hold && !wasHeld) {
        // What streams must be what the program about to be loaded sets up, so the FIFO set-up
        // of a previous program does not outlive the hold.
        released_ = false;
        ResetRegisters();
    } else if (!hold && wasHeld) {
        RunProgram();
    }
}

void Fx2Controller::RunProgram() {
    released_ = true;
    crashed_ = false;
    writes_.clear();
    Cpu8051 cpu(ram_.data(), ram_.size(), [this](std::uint16_t address, std::uint8_t value) {
        OnXdataWrite(address, value);
    });
    stepsRun_ = cpu.Run(kStepBudget);
    crashed_ = cpu.halted();
}

void Fx2Controller::OnXdataWrite(std::uint16_t address, std::uint8_t value) {
    if (writes_.size() < kMaxLoggedWrites) writes_.push_back({address, value});
    if (address == kRegCpucs) {
        cpucs_ = static_cast<std::uint8_t>((value & ~kCpucsResetBit) | (cpucs_ & kCpucsResetBit));
        return;
    }
    if (address < kRegisterBase || Offset(address) >= kRegisterCount) return;
    registers_[Offset(address)] = value;
    if (address == kRegFifoReset && (value & kFifoResetNakAll) != 0) {
        switch (value & 0x0F) {
            case 0x02:
                ep2ResetCfg_ = Register(kRegEp2Cfg);
                break;
            case 0x06:
                ep6ResetCfg_ = Register(kRegEp6Cfg);
                break;
            default:
                break;
        }
    }
}

bool Fx2Controller::CommonSetupDone() const {
    if (!cpuRunning()) return false;
    // Every register of the set-up must hold its final value; the last write to a register in
    // the sequence is the one that counts.
    for (std::size_t i = 0; i < kSlaveFifoSetup.size(); ++i) {
        const RegisterWrite& w = kSlaveFifoSetup[i];
        const bool overwrittenLater = std::any_of(
            kSlaveFifoSetup.begin() + static_cast<std::ptrdiff_t>(i) + 1, kSlaveFifoSetup.end(),
            [&](const RegisterWrite& later) { return later.address == w.address; });
        if (overwrittenLater) continue;
        if (w.address == kRegCpucs) {
            if ((cpucs_ & ~kCpucsResetBit) != w.value) return false;
        } else if (Register(w.address) != w.value) {
            return false;
        }
    }
    return true;
}

bool Fx2Controller::ParameterEndpointReady() const {
    return CommonSetupDone() && ep2ResetCfg_ == Register(kRegEp2Cfg);
}

bool Fx2Controller::SampleEndpointReady() const {
    return CommonSetupDone() && ep6ResetCfg_ == Register(kRegEp6Cfg);
}

}  // namespace vorn::sim

#pragma once
// The FX2 registers the slave-FIFO firmware touches, and the values the radar logic needs.
#include <array>
#include <cstdint>

namespace vorn::sim {

inline constexpr std::uint16_t kRegCpucs = 0xE600;
inline constexpr std::uint16_t kRegIfconfig = 0xE601;
inline constexpr std::uint16_t kRegPinflagsAb = 0xE602;
inline constexpr std::uint16_t kRegPinflagsCd = 0xE603;
inline constexpr std::uint16_t kRegFifoReset = 0xE604;
inline constexpr std::uint16_t kRegFifoPinPolar = 0xE609;
inline constexpr std::uint16_t kRegRevctl = 0xE60B;
inline constexpr std::uint16_t kRegEp2Cfg = 0xE612;
inline constexpr std::uint16_t kRegEp4Cfg = 0xE613;
inline constexpr std::uint16_t kRegEp6Cfg = 0xE614;
inline constexpr std::uint16_t kRegEp8Cfg = 0xE615;
inline constexpr std::uint16_t kRegEp2FifoCfg = 0xE618;
inline constexpr std::uint16_t kRegEp6FifoCfg = 0xE61A;
inline constexpr std::uint16_t kRegEp6AutoInLenH = 0xE624;
inline constexpr std::uint16_t kRegEp6AutoInLenL = 0xE625;
inline constexpr std::uint16_t kRegEp6FifoPfH = 0xE634;
inline constexpr std::uint16_t kRegEp6FifoPfL = 0xE635;
inline constexpr std::uint16_t kRegPortACfg = 0xE670;

// The register block 0xE600..0xE6FF; other XDATA above the program RAM is not modelled.
inline constexpr std::uint16_t kRegisterBase = 0xE600;
inline constexpr std::size_t kRegisterCount = 0x100;

inline constexpr std::uint8_t kFifoResetNakAll = 0x80;

struct RegisterWrite {
    std::uint16_t address = 0;
    std::uint8_t value = 0;
    bool operator==(const RegisterWrite& other) const {
        return address == other.address && value == other.value;
    }
};

// The set-up the radar's logic is wired for: async slave FIFO, EP2 OUT bulk 512 double-buffered
// with auto-commit, EP6 IN bulk 512 quad-buffered with 512-byte auto-IN packets, flags on FLAGB
// and FLAGC, chip select on PA7, and a 48 MHz CPU. The order is the order the firmware writes.
inline constexpr std::array<RegisterWrite, 24> kSlaveFifoSetup = {{
    {kRegCpucs, 0x12},      {kRegIfconfig, 0xCB},      {kRegRevctl, 0x01},
    {kRegEp2Cfg, 0xA2},     {kRegEp6Cfg, 0xE0},        {kRegEp4Cfg, 0x00},
    {kRegEp8Cfg, 0x00},     {kRegFifoReset, 0x80},     {kRegFifoReset, 0x82},
    {kRegFifoReset, 0x84},  {kRegFifoReset, 0x86},     {kRegFifoReset, 0x88},
    {kRegFifoReset, 0x00},  {kRegEp6FifoCfg, 0x0D},    {kRegEp2FifoCfg, 0x01},
    {kRegEp2FifoCfg, 0x11}, {kRegFifoPinPolar, 0x00},  {kRegPinflagsAb, 0xE0},
    {kRegPinflagsCd, 0x08}, {kRegEp6AutoInLenH, 0x02}, {kRegEp6AutoInLenL, 0x00},
    {kRegEp6FifoPfH, 0x80}, {kRegEp6FifoPfL, 0x00},    {kRegPortACfg, 0x40},
}};

}  // namespace vorn::sim

#include "sim/cpu8051.h"

#include <utility>

namespace vorn::sim {

namespace {
int Relative(std::uint8_t byte) {
    return static_cast<std::int8_t>(byte);
}
}  // namespace

Cpu8051::Cpu8051(std::uint8_t* ram, std::size_t ramSize, XdataWriter writer)
    : ram_(ram), ramSize_(ramSize), writer_(std::move(writer)) {
    Reset();
}

void Cpu8051::Reset() {
    iram_.fill(0);
    sfr_.fill(0);
    setSfr(kSp, 0x07);
    pc_ = 0;
    halted_ = false;
}

int Cpu8051::Run(int maxSteps) {
    int steps = 0;
    while (steps < maxSteps && !halted_) {
        if (!Step()) {
            halted_ = true;
            break;
        }
        ++steps;
    }
    return steps;
}

std::uint16_t Cpu8051::dptr() const {
    return static_cast<std::uint16_t>(sfr(kDph) << 8 | sfr(kDpl));
}

bool Cpu8051::Fetch(std::uint8_t& byte) {
    if (pc_ >= ramSize_) return false;
    byte = ram_[pc_];
    pc_ = static_cast<std::uint16_t>(pc_ + 1);
    return true;
}

std::uint8_t Cpu8051::ReadDirect(std::uint8_t address) const {
    return address < 0x80 ? iram_[address] : sfr(address);
}

void Cpu8051::WriteDirect(std::uint8_t address, std::uint8_t value) {
    if (address < 0x80)
        iram_[address] = value;
    else
        setSfr(address, value);
}

std::uint8_t& Cpu8051::Reg(int n) {
    const int bank = (sfr(kPsw) >> 3) & 0x03;
    return iram_[static_cast<std::size_t>(bank * 8 + n)];
}

void Cpu8051::Push(std::uint8_t value) {
    const auto sp = static_cast<std::uint8_t>(sfr(kSp) + 1);
    setSfr(kSp, sp);
    iram_[sp] = value;
}

std::uint8_t Cpu8051::Pop() {
    const std::uint8_t sp = sfr(kSp);
    setSfr(kSp, static_cast<std::uint8_t>(sp - 1));
    return iram_[sp];
}

void Cpu8051::WriteXdata(std::uint16_t address, std::uint8_t value) {
    if (address < ramSize_)
        ram_[address] = value;
    else if (writer_)
        writer_(address, value);
}

std::uint8_t Cpu8051::ReadXdata(std::uint16_t address) const {
    return address < ramSize_ ? ram_[address] : 0;
}

bool Cpu8051::Step() {
    std::uint8_t op = 0;
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    if (!Fetch(op)) return false;
    switch (op) {
        case 0x00:  // NOP
            return true;
        case 0x02:  // LJMP addr16
            if (!Fetch(a) || !Fetch(b)) return false;
            pc_ = static_cast<std::uint16_t>(a << 8 | b);
            return true;
        case 0x12:  // LCALL addr16
            if (!Fetch(a) || !Fetch(b)) return false;
            Push(static_cast<std::uint8_t>(pc_ & 0xFF));
            Push(static_cast<std::uint8_t>(pc_ >> 8));
            pc_ = static_cast<std::uint16_t>(a << 8 | b);
            return true;
        case 0x22: {  // RET
            const std::uint8_t high = Pop();
            const std::uint8_t low = Pop();
            pc_ = static_cast<std::uint16_t>(high << 8 | low);
            return true;
        }
        case 0x04:  // INC A
            setSfr(kAcc, static_cast<std::uint8_t>(acc() + 1));
            return true;
        case 0x74:  // MOV A,#data
            if (!Fetch(a)) return false;
            setSfr(kAcc, a);
            return true;
        case 0x75:  // MOV direct,#data
            if (!Fetch(a) || !Fetch(b)) return false;
            WriteDirect(a, b);
            return true;
        case 0x80:  // SJMP rel
            if (!Fetch(a)) return false;
            Jump(Relative(a));
            return true;
        case 0x90:  // MOV DPTR,#data16
            if (!Fetch(a) || !Fetch(b)) return false;
            setSfr(kDph, a);
            setSfr(kDpl, b);
            return true;
        case 0xA3: {  // INC DPTR
            const auto next = static_cast<std::uint16_t>(dptr() + 1);
            setSfr(kDph, static_cast<std::uint8_t>(next >> 8));
            setSfr(kDpl, static_cast<std::uint8_t>(next & 0xFF));
            return true;
        }
        case 0xE0:  // MOVX A,@DPTR
            setSfr(kAcc, ReadXdata(dptr()));
            return true;
        case 0xE4:  // CLR A
            setSfr(kAcc, 0);
            return true;
        case 0xE5:  // MOV A,direct
            if (!Fetch(a)) return false;
            setSfr(kAcc, ReadDirect(a));
            return true;
        case 0xF0:  // MOVX @DPTR,A
            WriteXdata(dptr(), acc());
            return true;
        case 0xF5:  // MOV direct,A
            if (!Fetch(a)) return false;
            WriteDirect(a, acc());
            return true;
        case 0xF6:  // MOV @R0,A
        case 0xF7:  // MOV @R1,A
            iram_[Reg(op & 1)] = acc();
            return true;
        default:
            break;
    }
    if (op >= 0x78 && op <= 0x7F) {  // MOV Rn,#data
        if (!Fetch(a)) return false;
        Reg(op & 7) = a;
        return true;
    }
    if (op >= 0xD8 && op <= 0xDF) {  // DJNZ Rn,rel
        if (!Fetch(a)) return false;
        std::uint8_t& r = Reg(op & 7);
        r = static_cast<std::uint8_t>(r - 1);
        if (r != 0) Jump(Relative(a));
        return true;
    }
    if (op >= 0xE8 && op <= 0xEF) {  // MOV A,Rn
        setSfr(kAcc, Reg(op & 7));
        return true;
    }
    if (op >= 0xF8) {  // MOV Rn,A
        Reg(op & 7) = acc();
        return true;
    }
    return false;
}

}  // namespace vorn::sim

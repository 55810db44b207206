#!/usr/bin/env python3
"""Assemble the FX2 slave-FIFO firmware and write it as Intel HEX and annotated 8051 source.

Usage: make-fx2-firmware.py [output-dir]   (default: the resources folder beside this script)

The main routine is emitted the way Keil's C51 compiles a list of XBYTE stores: DPTR is loaded
only when it does not already hold the address (or is bumped with INC DPTR for the next
register), A only when it does not already hold the value (CLR A for zero). Three NOPs follow
each write (the FX2's synchronisation delay for FIFO and endpoint registers); the write of
EP6FIFOPFH/EP6FIFOPFL is a pair, so its low byte follows at once.
"""
import os
import sys

MAIN_ADDRESS = 0x0003
STARTUP_ADDRESS = 0x00B8

# (register name, address, value, comment) in the order the controller must see them.
REGISTER_WRITES = [
    ("CPUCS", 0xE600, 0x12, "CPU clock 48 MHz, CLKOUT driven"),
    ("IFCONFIG", 0xE601, 0xCB, "internal 48 MHz IFCLK, not driven; async slave FIFO"),
    ("REVCTL", 0xE60B, 0x01, "enhanced packet handling"),
    ("EP2CFG", 0xE612, 0xA2, "EP2 valid, OUT, bulk, 512, double-buffered"),
    ("EP6CFG", 0xE614, 0xE0, "EP6 valid, IN, bulk, 512, quad-buffered"),
    ("EP4CFG", 0xE613, 0x00, "EP4 off"),
    ("EP8CFG", 0xE615, 0x00, "EP8 off"),
    ("FIFORESET", 0xE604, 0x80, "NAK all host transfers"),
    ("FIFORESET", 0xE604, 0x82, "reset EP2 FIFO"),
    ("FIFORESET", 0xE604, 0x84, "reset EP4 FIFO"),
    ("FIFORESET", 0xE604, 0x86, "reset EP6 FIFO"),
    ("FIFORESET", 0xE604, 0x88, "reset EP8 FIFO"),
    ("FIFORESET", 0xE604, 0x00, "resume normal operation"),
    ("EP6FIFOCFG", 0xE61A, 0x0D, "AUTOIN, zero-length IN allowed, 16-bit"),
    ("EP2FIFOCFG", 0xE618, 0x01, "16-bit"),
    ("EP2FIFOCFG", 0xE618, 0x11, "AUTOOUT, 16-bit"),
    ("FIFOPINPOLAR", 0xE609, 0x00, "FIFO pins active low"),
    ("PINFLAGSAB", 0xE602, 0xE0, "FLAGB = EP6 full"),
    ("PINFLAGSCD", 0xE603, 0x08, "FLAGC = EP2 empty"),
    ("EP6AUTOINLENH", 0xE624, 0x02, "auto-IN packets of 512 bytes"),
    ("EP6AUTOINLENL", 0xE625, 0x00, ""),
    ("EP6FIFOPFH", 0xE634, 0x80, "programmable flag: decision bit, threshold 0"),
    ("EP6FIFOPFL", 0xE635, 0x00, ""),
    ("PORTACFG", 0xE670, 0x40, "PA7 is the slave chip select"),
]
NO_NOPS_AFTER = {"EP6FIFOPFL"}


def assemble_main():
    """Returns [(bytes, source line)] for the main routine."""
    out = []
    dptr = None
    acc = None
    for name, address, value, comment in REGISTER_WRITES:
        first = True

        def emit(code, text):
            nonlocal first
            note = ""
            if first:
                note = "; %s = %02Xh%s" % (name, value, (", " + comment) if comment else "")
                first = False
            out.append((code, text, note))

        if dptr != address:
            if dptr is not None and address == dptr + 1:
                emit([0xA3], "INC   DPTR")
            else:
                emit([0x90, address >> 8, address & 0xFF], "MOV   DPTR,#%04Xh" % address)
            dptr = address
        if acc != value:
            if value == 0:
                emit([0xE4], "CLR   A")
            else:
                emit([0x74, value], "MOV   A,#%02Xh" % value)
            acc = value
        emit([0xF0], "MOVX  @DPTR,A")
        if name not in NO_NOPS_AFTER:
            emit([0x00], "NOP")
            emit([0x00], "NOP")
            emit([0x00], "NOP")
    out.append(([0x22], "RET", "; pops the cleared stack: continues at 0000h"))
    return out


RESET_VECTOR = [([0x02, STARTUP_ADDRESS >> 8, STARTUP_ADDRESS & 0xFF],
                 "LJMP  STARTUP", "; reset vector")]
STARTUP = [
    ([0x78, 0x7F], "MOV   R0,#7Fh", "; clear internal RAM 7Fh..01h"),
    ([0xE4], "CLR   A", ""),
    ([0xF6], "MOV   @R0,A", ""),
    ([0xD8, 0xFD], "DJNZ  R0,CLEAR", ""),
    ([0x75, 0x81, 0x07], "MOV   SP,#07h", "; stack above register bank 0"),
    ([0x02, MAIN_ADDRESS >> 8, MAIN_ADDRESS & 0xFF], "LJMP  MAIN", ""),
]


def flat(lines):
    return [b for code, _, _ in lines for b in code]


def hex_record(address, data, record_type=0):
    body = [len(data), address >> 8, address & 0xFF, record_type] + list(data)
    checksum = (-sum(body)) & 0xFF
    return ":" + "".join("%02X" % b for b in body + [checksum]) + "\r\n"


def build_hex(main_code):
    records = [hex_record(0x0000, flat(RESET_VECTOR)), hex_record(STARTUP_ADDRESS, flat(STARTUP))]
    for offset in range(0, len(main_code), 16):
        records.append(hex_record(MAIN_ADDRESS + offset, main_code[offset:offset + 16]))
    records.append(":00000001FF\r\n")
    return "".join(records)


def listing(address, lines, labels):
    text = []
    for code, source, note in lines:
        label = labels.get(address, "")
        field = (label + ":") if label else ""
        hexbytes = " ".join("%02X" % b for b in code)
        line = "%-9s%-22s; %04X  %-9s%s" % (field, source, address, hexbytes,
                                              (" " + note[2:]) if note else "")
        text.append(line.rstrip())
        address += len(code)
    return text


def build_source(main_lines):
    labels = {STARTUP_ADDRESS + 3: "CLEAR"}
    text = [
        "; Vorn radar: EZ-USB FX2 firmware, slave FIFO bridge between the radar logic and",
        "; EP2 OUT (parameter words) / EP6 IN (sample frames). Generated together with",
        "; vorn_fx2_firmware.hex by scripts/make-fx2-firmware.py; edit that script, not this file.",
        ";",
        "; The main routine ends in RET with the stack pointer back at 07h; internal RAM was",
        "; cleared, so RET pops 0000h and the whole set-up runs again, endlessly. The FIFOs",
        "; run in hardware, so re-writing the same values does not disturb the stream.",
        ";",
        "; Columns: label, instruction, then ; address, code bytes, register and meaning.",
        "",
    ]
    for name, address in sorted({(n, a) for n, a, _, _ in REGISTER_WRITES}, key=lambda p: p[1]):
        text.append("%-14sXDATA %04Xh" % (name, address))
    text += ["", "         CSEG  AT 0000h"]
    text += listing(0x0000, RESET_VECTOR, {})
    text += ["", "         CSEG  AT %04Xh" % MAIN_ADDRESS, "MAIN:"]
    text += listing(MAIN_ADDRESS, main_lines, {})
    text += ["", "         CSEG  AT %04Xh" % STARTUP_ADDRESS, "STARTUP:"]
    text += listing(STARTUP_ADDRESS, STARTUP, labels)
    text += ["", "         END", ""]
    return "\n".join(text)


def verify(hex_text, main_code):
    assert len(main_code) == STARTUP_ADDRESS - MAIN_ADDRESS, len(main_code)
    assert len(hex_text.encode("ascii")) == 587, len(hex_text)
    lines = hex_text.split("\r\n")
    assert lines[-1] == "" and len(lines) == 16, len(lines)
    for line in lines[:-1]:
        raw = bytes.fromhex(line[1:])
        assert sum(raw) & 0xFF == 0, line
        assert raw[0] == len(raw) - 5, line


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    main_lines = assemble_main()
    main_code = flat(main_lines)
    hex_text = build_hex(main_code)
    verify(hex_text, main_code)
    with open(os.path.join(out_dir, "vorn_fx2_firmware.hex"), "w", newline="") as f:
        f.write(hex_text)
    with open(os.path.join(out_dir, "vorn_fx2_firmware.a51"), "w", newline="\n") as f:
        f.write(build_source(main_lines))


if __name__ == "__main__":
    main()

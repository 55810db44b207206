; Vorn radar: EZ-USB FX2 firmware, slave FIFO bridge between the radar logic and
; EP2 OUT (parameter words) / EP6 IN (sample frames). Generated together with
; vorn_fx2_firmware.hex by scripts/make-fx2-firmware.py; edit that script, not this file.
;
; The main routine ends in RET with the stack pointer back at 07h; internal RAM was
; cleared, so RET pops 0000h and the whole set-up runs again, endlessly. The FIFOs
; run in hardware, so re-writing the same values does not disturb the stream.
;
; Columns: label, instruction, then ; address, code bytes, register and meaning.

CPUCS         XDATA E600h
IFCONFIG      XDATA E601h
PINFLAGSAB    XDATA E602h
PINFLAGSCD    XDATA E603h
FIFORESET     XDATA E604h
FIFOPINPOLAR  XDATA E609h
REVCTL        XDATA E60Bh
EP2CFG        XDATA E612h
EP4CFG        XDATA E613h
EP6CFG        XDATA E614h
EP8CFG        XDATA E615h
EP2FIFOCFG    XDATA E618h
EP6FIFOCFG    XDATA E61Ah
EP6AUTOINLENH XDATA E624h
EP6AUTOINLENL XDATA E625h
EP6FIFOPFH    XDATA E634h
EP6FIFOPFL    XDATA E635h
PORTACFG      XDATA E670h

         CSEG  AT 0000h
         LJMP  STARTUP         ; 0000  02 00 B8  reset vector

         CSEG  AT 0003h
MAIN:
         MOV   DPTR,#E600h     ; 0003  90 E6 00  CPUCS = 12h, CPU clock 48 MHz, CLKOUT driven
         MOV   A,#12h          ; 0006  74 12
         MOVX  @DPTR,A         ; 0008  F0
         NOP                   ; 0009  00
         NOP                   ; 000A  00
         NOP                   ; 000B  00
         INC   DPTR            ; 000C  A3        IFCONFIG = CBh, internal 48 MHz IFCLK, not driven; async slave FIFO
         MOV   A,#CBh          ; 000D  74 CB
         MOVX  @DPTR,A         ; 000F  F0
         NOP                   ; 0010  00
         NOP                   ; 0011  00
         NOP                   ; 0012  00
         MOV   DPTR,#E60Bh     ; 0013  90 E6 0B  REVCTL = 01h, enhanced packet handling
         MOV   A,#01h          ; 0016  74 01
         MOVX  @DPTR,A         ; 0018  F0
         NOP                   ; 0019  00
         NOP                   ; 001A  00
         NOP                   ; 001B  00
         MOV   DPTR,#E612h     ; 001C  90 E6 12  EP2CFG = A2h, EP2 valid, OUT, bulk, 512, double-buffered
         MOV   A,#A2h          ; 001F  74 A2
         MOVX  @DPTR,A         ; 0021  F0
         NOP                   ; 0022  00
         NOP                   ; 0023  00
         NOP                   ; 0024  00
         MOV   DPTR,#E614h     ; 0025  90 E6 14  EP6CFG = E0h, EP6 valid, IN, bulk, 512, quad-buffered
         MOV   A,#E0h          ; 0028  74 E0
         MOVX  @DPTR,A         ; 002A  F0
         NOP                   ; 002B  00
         NOP                   ; 002C  00
         NOP                   ; 002D  00
         MOV   DPTR,#E613h     ; 002E  90 E6 13  EP4CFG = 00h, EP4 off
         CLR   A               ; 0031  E4
         MOVX  @DPTR,A         ; 0032  F0
         NOP                   ; 0033  00
         NOP                   ; 0034  00
         NOP                   ; 0035  00
         MOV   DPTR,#E615h     ; 0036  90 E6 15  EP8CFG = 00h, EP8 off
         MOVX  @DPTR,A         ; 0039  F0
         NOP                   ; 003A  00
         NOP                   ; 003B  00
         NOP                   ; 003C  00
         MOV   DPTR,#E604h     ; 003D  90 E6 04  FIFORESET = 80h, NAK all host transfers
         MOV   A,#80h          ; 0040  74 80
         MOVX  @DPTR,A         ; 0042  F0
         NOP                   ; 0043  00
         NOP                   ; 0044  00
         NOP                   ; 0045  00
         MOV   A,#82h          ; 0046  74 82     FIFORESET = 82h, reset EP2 FIFO
         MOVX  @DPTR,A         ; 0048  F0
         NOP                   ; 0049  00
         NOP                   ; 004A  00
         NOP                   ; 004B  00
         MOV   A,#84h          ; 004C  74 84     FIFORESET = 84h, reset EP4 FIFO
         MOVX  @DPTR,A         ; 004E  F0
         NOP                   ; 004F  00
         NOP                   ; 0050  00
         NOP                   ; 0051  00
         MOV   A,#86h          ; 0052  74 86     FIFORESET = 86h, reset EP6 FIFO
         MOVX  @DPTR,A         ; 0054  F0
         NOP                   ; 0055  00
         NOP                   ; 0056  00
         NOP                   ; 0057  00
         MOV   A,#88h          ; 0058  74 88     FIFORESET = 88h, reset EP8 FIFO
         MOVX  @DPTR,A         ; 005A  F0
         NOP                   ; 005B  00
         NOP                   ; 005C  00
         NOP                   ; 005D  00
         CLR   A               ; 005E  E4        FIFORESET = 00h, resume normal operation
         MOVX  @DPTR,A         ; 005F  F0
         NOP                   ; 0060  00
         NOP                   ; 0061  00
         NOP                   ; 0062  00
         MOV   DPTR,#E61Ah     ; 0063  90 E6 1A  EP6FIFOCFG = 0Dh, AUTOIN, zero-length IN allowed, 16-bit
         MOV   A,#0Dh          ; 0066  74 0D
         MOVX  @DPTR,A         ; 0068  F0
         NOP                   ; 0069  00
         NOP                   ; 006A  00
         NOP                   ; 006B  00
         MOV   DPTR,#E618h     ; 006C  90 E6 18  EP2FIFOCFG = 01h, 16-bit
         MOV   A,#01h          ; 006F  74 01
         MOVX  @DPTR,A         ; 0071  F0
         NOP                   ; 0072  00
         NOP                   ; 0073  00
         NOP                   ; 0074  00
         MOV   A,#11h          ; 0075  74 11     EP2FIFOCFG = 11h, AUTOOUT, 16-bit
         MOVX  @DPTR,A         ; 0077  F0
         NOP                   ; 0078  00
         NOP                   ; 0079  00
         NOP                   ; 007A  00
         MOV   DPTR,#E609h     ; 007B  90 E6 09  FIFOPINPOLAR = 00h, FIFO pins active low
         CLR   A               ; 007E  E4
         MOVX  @DPTR,A         ; 007F  F0
         NOP                   ; 0080  00
         NOP                   ; 0081  00
         NOP                   ; 0082  00
         MOV   DPTR,#E602h     ; 0083  90 E6 02  PINFLAGSAB = E0h, FLAGB = EP6 full
         MOV   A,#E0h          ; 0086  74 E0
         MOVX  @DPTR,A         ; 0088  F0
         NOP                   ; 0089  00
         NOP                   ; 008A  00
         NOP                   ; 008B  00
         INC   DPTR            ; 008C  A3        PINFLAGSCD = 08h, FLAGC = EP2 empty
         MOV   A,#08h          ; 008D  74 08
         MOVX  @DPTR,A         ; 008F  F0
         NOP                   ; 0090  00
         NOP                   ; 0091  00
         NOP                   ; 0092  00
         MOV   DPTR,#E624h     ; 0093  90 E6 24  EP6AUTOINLENH = 02h, auto-IN packets of 512 bytes
         MOV   A,#02h          ; 0096  74 02
         MOVX  @DPTR,A         ; 0098  F0
         NOP                   ; 0099  00
         NOP                   ; 009A  00
         NOP                   ; 009B  00
         INC   DPTR            ; 009C  A3        EP6AUTOINLENL = 00h
         CLR   A               ; 009D  E4
         MOVX  @DPTR,A         ; 009E  F0
         NOP                   ; 009F  00
         NOP                   ; 00A0  00
         NOP                   ; 00A1  00
         MOV   DPTR,#E634h     ; 00A2  90 E6 34  EP6FIFOPFH = 80h, programmable flag: decision bit, threshold 0
         MOV   A,#80h          ; 00A5  74 80
         MOVX  @DPTR,A         ; 00A7  F0
         NOP                   ; 00A8  00
         NOP                   ; 00A9  00
         NOP                   ; 00AA  00
         INC   DPTR            ; 00AB  A3        EP6FIFOPFL = 00h
         CLR   A               ; 00AC  E4
         MOVX  @DPTR,A         ; 00AD  F0
         MOV   DPTR,#E670h     ; 00AE  90 E6 70  PORTACFG = 40h, PA7 is the slave chip select
         MOV   A,#40h          ; 00B1  74 40
         MOVX  @DPTR,A         ; 00B3  F0
         NOP                   ; 00B4  00
         NOP                   ; 00B5  00
         NOP                   ; 00B6  00
         RET                   ; 00B7  22        pops the cleared stack: continues at 0000h

         CSEG  AT 00B8h
STARTUP:
         MOV   R0,#7Fh         ; 00B8  78 7F     clear internal RAM 7Fh..01h
         CLR   A               ; 00BA  E4
CLEAR:   MOV   @R0,A           ; 00BB  F6
         DJNZ  R0,CLEAR        ; 00BC  D8 FD
         MOV   SP,#07h         ; 00BE  75 81 07  stack above register bank 0
         LJMP  MAIN            ; 00C1  02 00 03

         END

#pragma once
// What the programmer must see of a device operation, written out from its
// side: the latch values of each mode, the address presentation and the
// pulse sequences, in the notation of DecodeSteps ("0B=63", "park",
// "read"). Nothing here comes from the driver's own tables.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quennel::test {

class ExpectedTrace {
public:
    const std::vector<std::string>& Steps() const { return Texts; }

    void Latch(int select, int value) {
        char text[16];
        std::snprintf(text, sizeof text, "%02X=%02X", select, value & 0xFF);
        Texts.emplace_back(text);
    }
    void Idle() {
        Latch(0x03, 0x00);
        Latch(0x02, 0x3B);
        Latch(0x01, 0xE4);
        Latch(0x0B, 0x76);
        Latch(0x09, 0x00);
        Texts.emplace_back("park");
        Latch(0x03, 0xA0);
    }
    void ReadSetup() {
        Latch(0x0B, 0x62);
        Latch(0x01, 0xE5);
        Latch(0x02, 0x3B);
    }
    void ProgramSetup(int latch0B) {
        Latch(0x0B, latch0B);
        Latch(0x01, 0xE5);
        Latch(0x02, 0x1A);
    }
    // A9 rides on bit 3 of latch 01, A8 on bit 0 of latch 0B.
    static int A8(int cell) { return (cell >> 8) & 0x01; }
    static int A9(int cell) { return (cell & 0x200) ? 0x08 : 0x00; }

    void ReadCell(int cell) {
        Latch(0x09, cell & 0xFF);
        Latch(0x0B, 0x62 | A8(cell));
        Latch(0x01, 0xE5 | A9(cell));
        Texts.emplace_back("read");
    }
    void ReadPass(int last) {
        for (int cell = 0; cell <= last; ++cell)
            ReadCell(cell);
    }
    // The cell presented for programming, latch 0B in programming mode without A8.
    void PresentForProgramming(int cell, int latch0B) {
        Latch(0x01, 0xE5 | A9(cell));
        Latch(0x09, cell & 0xFF);
        Latch(0x0B, latch0B | A8(cell));
        Latch(0x01, 0xE5 | A9(cell));
        Latch(0x01, 0x65 | A9(cell));
    }
    // One pulse; held and after: latch 0B during and after it.
    void Pulse(int cell, int bit, int held, int after) {
        Latch(0x02, 0x12);
        Latch(0x0B, held | A8(cell));
        Latch(0x0A, bit);
        Latch(0x01, 0x61 | A9(cell));
        Latch(0x01, 0xE1 | A9(cell));
        Latch(0x01, 0x61 | A9(cell));
        Latch(0x01, 0xE5 | A9(cell));
        Latch(0x0B, held | A8(cell));
        Latch(0x0B, after | A8(cell));
        Latch(0x02, 0x1A);
    }
    // pulseHeld and pulseAfter: latch 0B during and after a pulse; 0 for no pulses.
    void ProgramCell(int cell, uint8_t byte, int bits, int latch0B, int pulseHeld, int pulseAfter) {
        PresentForProgramming(cell, latch0B);
        if (pulseHeld == 0)
            return;
        for (int bit = 0; bit < bits; ++bit)
            if ((byte >> bit & 1) != 0)
                Pulse(cell, bit, pulseHeld, pulseAfter);
    }

private:
    std::vector<std::string> Texts;
};

} // namespace quennel::test

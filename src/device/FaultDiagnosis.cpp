#include "device/FaultDiagnosis.h"

#include "buffer/IntegerText.h"
#include "device/PackagePins.h"

#include <algorithm>
#include <bit>

namespace quennel {

namespace {

// A line is named only when it accounts for this many faulty cells: fewer
// could as well be fuses that blew, or failed to, on their own.
constexpr size_t MinimumEvidence = 4;
// Bridges, or address lines, named before the rest is left unnamed.
constexpr size_t MostOfAKind = 2;
// From this many data lines stuck at once the seating or the supply is
// suspect rather than each line.
constexpr size_t ManyStuckLines = 3;

std::string Counted(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "a", "a and b", "a, b and c".
std::string Listed(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i)
        text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    return text;
}

class Analysis {
public:
    Analysis(std::span<const uint8_t> found, std::span<const uint8_t> expected, int dataBits,
             const CatalogueRow* row)
        : Found(found), Expected(expected), Cells(std::min(found.size(), expected.size())),
          Bits(dataBits == 4 ? 4 : 8), Mask(static_cast<uint8_t>((1u << Bits) - 1)), Row(row),
          Pins(row ? PackagePinsOf(*row) : std::span<const PackagePin>()) {}

    std::vector<std::string> Lines() {
        if (!AnythingDiffers())
            return {};
        HighBits();
        // One address line that accounts for every data bit is the one
        // fault; a part that reads one value throughout is no address fault.
        if (!ReadsOneValue() && AddressLines())
            return Out;
        DataLines();
        if (!ReadsOneValue() && AddressLines())
            return Out;
        Rest();
        return Out;
    }

private:
    uint8_t F(size_t cell) const { return Found[cell] & Mask; }
    uint8_t E(size_t cell) const { return Expected[cell] & Mask; }
    uint8_t Unexplained() const { return static_cast<uint8_t>(Mask & ~Explained); }

    void Say(const std::string& text) { Out.push_back(DiagnosisPrefix + text); }

    bool ReadsOneValue() const {
        for (size_t cell = 1; cell < Cells; ++cell)
            if (F(cell) != F(0))
                return false;
        return true;
    }

    bool AnythingDiffers() const {
        for (size_t cell = 0; cell < Cells; ++cell)
            if (F(cell) != E(cell) || (Expected[cell] & ~Mask) != 0)
                return true;
        return false;
    }

    // "D2 (PROM pin 8, socket pin 11)", "D2 (pin 3)", or the bare name
    // when the package is not known.
    std::string Signal(char kind, int line) const {
        const std::string name = kind + std::to_string(line);
        const PackagePin* pin = FindSignalPin(Pins, name);
        return pin ? name + " (" + PinText(*pin) + ")" : name;
    }

    static std::string PinText(const PackagePin& pin) {
        const std::string prom = std::to_string(pin.Pin);
        if (pin.OnTpZif)
            return "PROM pin " + prom + ", pin " + std::to_string(pin.SocketPin) +
                   " of the programmer's ZIF socket";
        if (pin.SocketPin != 0)
            return "PROM pin " + prom + ", socket pin " + std::to_string(pin.SocketPin);
        return "pin " + prom;
    }

    // " (VCC at pin 16)", or nothing when the package is not known.
    std::string SupplyPin() const {
        const PackagePin* vcc = FindSignalPin(Pins, "VCC");
        return vcc ? " (VCC at " + PinText(*vcc) + ")" : "";
    }

    std::string Seating() const {
        return Row ? "not in the " + std::string(SeatingText(*Row)) : "not seated";
    }

    // A 4-bit part has no bits 4 to 7: a buffer byte that sets them never verifies.
    void HighBits() {
        if (Bits == 8)
            return;
        size_t cells = 0;
        for (size_t cell = 0; cell < Cells; ++cell)
            cells += (Expected[cell] & ~Mask) != 0;
        if (cells > 0)
            Say("the buffer sets bits " + std::to_string(Bits) + " to 7, which a " + std::to_string(Bits) +
                "-bit part does not have, in " + Counted(cells, "cell", "cells"));
    }

    // The data bits: two that read alike in every cell are bridged (tied
    // outputs read as the AND of the two, or, programmed through the bridge,
    // as the OR); one that reads one value in every cell, against what was
    // wanted in enough of them, is stuck. A bridge is one fault where two
    // stuck bits would be two, so it is looked for first; but where only one
    // of the two bits is wrong and it reads one value throughout, that bit
    // alone being stuck says as much.
    void DataLines() {
        uint8_t always = Mask, ever = 0, differs = 0;
        for (size_t cell = 0; cell < Cells; ++cell) {
            always &= F(cell);
            ever |= F(cell);
            differs |= F(cell) ^ E(cell);
        }
        const uint8_t constant = static_cast<uint8_t>((always | ~ever) & Mask);
        std::vector<std::pair<int, int>> bridges;
        for (int low = 0; low < Bits && bridges.size() < MostOfAKind; ++low) {
            for (int high = low + 1; high < Bits && bridges.size() < MostOfAKind; ++high) {
                const uint8_t pair = static_cast<uint8_t>((1u << low) | (1u << high));
                const uint8_t wrong = differs & pair;
                const bool oneStuck = wrong != pair && (wrong & constant) != 0;
                if ((Explained & pair) != 0 || wrong == 0 || oneStuck || !Bridged(low, high))
                    continue;
                Explained |= pair;
                bridges.emplace_back(low, high);
            }
        }

        std::vector<std::pair<int, int>> stuck; // line, value
        for (int line = 0; line < Bits; ++line) {
            const uint8_t bit = static_cast<uint8_t>(1u << line);
            if ((constant & differs & bit & ~Explained) == 0)
                continue;
            const bool value = (always & bit) != 0;
            size_t evidence = 0;
            for (size_t cell = 0; cell < Cells; ++cell)
                evidence += ((E(cell) & bit) != 0) != value;
            if (evidence >= MinimumEvidence)
                stuck.emplace_back(line, value ? 1 : 0);
        }
        for (auto [line, value] : stuck)
            Explained |= static_cast<uint8_t>(1u << line);

        if (stuck.size() >= ManyStuckLines && constant == Mask) {
            const uint8_t value = always;
            // "0xA5": the digits alone could read as a signal's name.
            // All ones is also what a part with every fuse blown reads.
            std::string causes;
            if (value == 0)
                causes = "the part is blank, missing, without supply" + SupplyPin() + " or " + Seating();
            else if (value == Mask)
                causes = "every fuse of the part is blown, or there is no part, no supply" + SupplyPin() +
                         ", or the part is " + Seating();
            else
                causes = "no part, no supply" + SupplyPin() + ", or the part is " + Seating();
            Say("every cell reads 0x" + HexDigits(value, 2) + ": " + causes);
        } else if (stuck.size() >= ManyStuckLines) {
            std::vector<std::string> names;
            for (auto [line, value] : stuck)
                names.push_back(Signal('D', line) + " at " + std::to_string(value));
            Say(Listed(names) +
                " read one value in every cell: more than one contact at once; look at how the "
                "part is seated and at its supply");
        } else {
            for (auto [line, value] : stuck)
                Say(Signal('D', line) + " reads " + std::to_string(value) +
                    " in every cell: the line is open or stuck at " + std::to_string(value));
        }
        for (auto [low, high] : bridges)
            Say(Signal('D', low) + " and " + Signal('D', high) +
                " are bridged: they read alike in every cell");
    }

    bool Bridged(int low, int high) const {
        bool wiredAnd = true, wiredOr = true;
        size_t evidence = 0;
        for (size_t cell = 0; cell < Cells && (wiredAnd || wiredOr); ++cell) {
            const bool fl = (F(cell) >> low & 1) != 0, fh = (F(cell) >> high & 1) != 0;
            const bool el = (E(cell) >> low & 1) != 0, eh = (E(cell) >> high & 1) != 0;
            if (fl != fh)
                return false;
            wiredAnd = wiredAnd && fl == (el && eh);
            wiredOr = wiredOr && fl == (el || eh);
            evidence += el != eh;
        }
        return (wiredAnd || wiredOr) && evidence >= MinimumEvidence;
    }

    // How the cells of each pair that differ only in one address bit read,
    // on the data bits no data line accounts for.
    enum class AddressFault { None, ReadsAsZero, ReadsAsOne, ProgrammedThrough };

    AddressFault Address(size_t bit, uint8_t lines) const {
        bool asZero = true, asOne = true, through = true;
        for (size_t cell = 0; cell < Cells && (asZero || asOne || through); ++cell) {
            if ((cell & bit) != 0)
                continue;
            const size_t partner = cell | bit;
            const uint8_t f = F(cell) & lines;
            if (partner >= Cells) { // no partner in the pass: the cell must read true
                if (f != (E(cell) & lines))
                    return AddressFault::None;
                continue;
            }
            if (f != (F(partner) & lines))
                return AddressFault::None;
            const uint8_t zero = E(cell) & lines, one = E(partner) & lines;
            asZero = asZero && f == zero;
            asOne = asOne && f == one;
            through = through && f == (zero | one);
        }
        return asZero    ? AddressFault::ReadsAsZero
               : asOne   ? AddressFault::ReadsAsOne
               : through ? AddressFault::ProgrammedThrough
                         : AddressFault::None;
    }

    // True when the faulty cells left are all accounted for.
    bool AddressLines() {
        const uint8_t lines = Unexplained();
        size_t faulty = 0;
        for (size_t cell = 0; cell < Cells; ++cell)
            faulty += ((F(cell) ^ E(cell)) & lines) != 0;
        if (faulty == 0)
            return true;
        if (faulty < MinimumEvidence)
            return false;
        size_t named = 0;
        for (int line = 0; (size_t{1} << line) < Cells && named < MostOfAKind; ++line) {
            const AddressFault fault = Address(size_t{1} << line, lines);
            if (fault == AddressFault::None)
                continue;
            ++named;
            std::string name(1, 'A');
            name += std::to_string(line);
            const std::string signal = Signal('A', line);
            switch (fault) {
            case AddressFault::ReadsAsZero:
                Say(signal + " is open or stuck at 0: cells with " + name +
                    " = 1 read the data of the cells with " + name + " = 0");
                break;
            case AddressFault::ReadsAsOne:
                Say(signal + " is stuck at 1: cells with " + name + " = 0 read the data of the cells with " +
                    name + " = 1");
                break;
            case AddressFault::ProgrammedThrough:
                Say(signal +
                    " was open or stuck while the part was programmed: each two cells that differ only in " +
                    name + " read the same, the bits of both blown together");
                break;
            case AddressFault::None:
                break;
            }
        }
        return named > 0;
    }

    // What no line accounts for, counted as the operator can act on it.
    void Rest() {
        const uint8_t lines = Unexplained();
        size_t cells = 0, missing = 0, extra = 0;
        for (size_t cell = 0; cell < Cells; ++cell) {
            const uint8_t differs = (F(cell) ^ E(cell)) & lines;
            if (differs == 0)
                continue;
            ++cells;
            missing += static_cast<size_t>(std::popcount(static_cast<uint8_t>(differs & E(cell))));
            extra += static_cast<size_t>(std::popcount(static_cast<uint8_t>(differs & F(cell))));
        }
        if (cells == 0)
            return;
        std::vector<std::string> parts;
        if (missing > 0)
            parts.push_back(Counted(missing, "bit reads", "bits read") +
                            " 0 where 1 is wanted (still to be blown by a Program)");
        if (extra > 0)
            parts.push_back(Counted(extra, "bit reads", "bits read") +
                            " 1 where 0 is wanted (never to be mended)");
        std::string text = Out.empty() ? "no single-line pattern; the part differs in "
                                       : "beyond that, no single-line pattern in ";
        Say(text + Counted(cells, "cell", "cells") + ": " + Listed(parts));
    }

    std::span<const uint8_t> Found;
    std::span<const uint8_t> Expected;
    const size_t Cells;
    const int Bits;
    const uint8_t Mask;
    const CatalogueRow* Row;
    const std::span<const PackagePin> Pins;
    uint8_t Explained = 0; // data bits a named line accounts for
    std::vector<std::string> Out;
};

} // namespace

std::vector<std::string> DiagnoseFaults(std::span<const uint8_t> found, std::span<const uint8_t> expected,
                                        int dataBits, const CatalogueRow* row) {
    return Analysis(found, expected, dataBits, row).Lines();
}

} // namespace quennel

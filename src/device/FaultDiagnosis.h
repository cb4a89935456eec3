#pragma once
// What a failed blank check or verify says about the wiring between the
// programmer and the part. A socket pin that does not touch, a broken adapter
// wire, two pins bridged or a part that is missing or misplaced each leave a
// signature across the whole pass: a data bit that reads the same in every
// cell, two bits that always read alike, cells that read the data of the cell
// whose address differs in one bit, every cell reading one value. The lines
// name each suspect signal as a word of its own ("D2", "A5") with the pins it
// runs through, so that a script can read them as well as the operator.

#include "device/Catalogue.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quennel {

inline constexpr const char* DiagnosisPrefix = "Diagnosis: ";

// found holds what each cell read and expected what it should hold (0x00
// everywhere for a blank check), one byte a cell from address 0, as many of
// each. dataBits is the part's width (4 or 8); row, when given, is the device
// whose package names the pins. Returns at most a few lines, most likely
// cause first, each beginning with DiagnosisPrefix; none when every cell read
// what was expected.
std::vector<std::string> DiagnoseFaults(std::span<const uint8_t> found, std::span<const uint8_t> expected,
                                        int dataBits, const CatalogueRow* row);

} // namespace quennel

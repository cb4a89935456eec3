#pragma once
// Where each signal of a part meets the programmer: the pins of the 20-pin
// and 24-pin adapter sockets with the programmer's socket pin each is wired
// to, and the standard 16-pin packages of the parts that sit in the halves
// of the adapter's ZIF socket.

#include "device/Catalogue.h"

#include <span>
#include <string_view>

namespace quennel {

struct PackagePin {
    int Pin = 0;             // the part's pin
    std::string_view Signal; // "A0", "D3", "E1", "GND", "VCC"
    int SocketPin = 0;       // the programmer's socket pin the adapter wires it to; 0 for a 16-pin part
    bool OnTpZif = false;    // wired to the programmer's own ZIF socket instead (A9 of the 1k part)
};

// In pin order.
std::span<const PackagePin> Adapter20Pins();
std::span<const PackagePin> Adapter24Pins();

// The pins of the part a row seats, in pin order; empty for a row that is no device.
std::span<const PackagePin> PackagePinsOf(const CatalogueRow& row);

// The pin carrying signal; null when the package has none.
const PackagePin* FindSignalPin(std::span<const PackagePin> pins, std::string_view signal);

} // namespace quennel

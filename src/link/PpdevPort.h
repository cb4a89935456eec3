#pragma once
// Real printer ports through the kernel's user-space parallel-port driver
// (ppdev). A port range is opened by claiming /dev/parportN, the port the
// kernel reports at that base address, exclusively; the claim is held until
// the range is given back, so no other driver talks to the port in between,
// and a port another driver is registered on is refused at once. Addresses
// where the kernel has no port behave as an empty bus: reads give 0xFF and
// writes vanish.
//
// The ECR at base + 0x402 belongs to the kernel's driver and cannot be
// reached through ppdev. In its place each port the kernel knows keeps one
// remembered byte (0x00, standard mode, until written), so the save, clear
// and restore of the ECR round-trip as on the register; the data lines are
// set to drive when the port is claimed, which is what standard mode is for.

#include "link/LinuxSystem.h"
#include "link/ParportLookup.h"
#include "link/PortBackEnd.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace quennel {

inline constexpr uint8_t EcrAtStart = 0x00;

class PpdevPort : public PortBackEnd {
public:
    explicit PpdevPort(LinuxSystem& system);
    ~PpdevPort() override; // gives back every port still claimed
    PpdevPort(const PpdevPort&) = delete;
    PpdevPort& operator=(const PpdevPort&) = delete;

    // Every ioctl's result is checked: a refused register access gives 0xFF
    // or reaches nothing, and says why in LastAccessFailure.
    uint8_t ReadByte(uint16_t address) override;
    void WriteByte(uint16_t address, uint8_t value) override;
    std::string_view LastAccessFailure() const override { return Failure; }
    // Harmless on a range already open; true without opening anything where
    // the kernel has no port at first.
    bool OpenRange(uint16_t first, uint16_t last, std::string& failure) override;
    void CloseRange(uint16_t first, uint16_t last) override;
    // Every port the kernel lists, a card's among them.
    std::vector<uint16_t> ListedPorts() const override { return ListParportBases(System); }

private:
    struct ClaimedPort {
        int Descriptor;
        std::string Name; // parportN
    };
    struct ClaimedRegister {
        const ClaimedPort* Port;
        uint16_t Offset; // 0 data, 1 status, 2 control
    };

    std::optional<ClaimedRegister> FindClaimed(uint16_t address) const;
    uint8_t* FindEcr(uint16_t address);
    bool Claim(const KernelParport& port, int& descriptor, std::string& failure);
    void Release(int descriptor);
    bool Refused(const ClaimedRegister& reg, int error, const char* access);

    LinuxSystem& System;
    std::map<uint16_t, ClaimedPort> Claimed; // base address -> its claimed /dev/parportN
    std::map<uint16_t, uint8_t> Ecr;         // base address -> the byte kept in the ECR's place
    // Why the last access failed; empty when it went through.
    std::string Failure;
};

// The back-end for real hardware: ppdev on the running kernel.
std::unique_ptr<PortBackEnd> MakeHardwareBackEnd();

} // namespace quennel

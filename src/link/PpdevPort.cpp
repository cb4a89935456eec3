#include "link/PpdevPort.h"

#include "link/CrashIdle.h"
#include "link/NTPort.h"
#include "link/PortAccess.h"

#include <cerrno>
#include <fcntl.h>
#include <iterator>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <system_error>

namespace quennel {

namespace {

constexpr uint16_t RegisterCount = 3;
constexpr uint16_t EcrOffset = 0x402;
constexpr uint8_t EmptyBus = 0xFF;
// Control bit 5 turns the data lines round on a bidirectional port; this
// program only ever drives them, so the bit never reaches the driver.
constexpr uint8_t DirectionBit = 0x20;

// Short enough for the port library's failure text.
std::string Shortened(std::string reason) {
    if (reason.size() > static_cast<size_t>(LastStateSize - 1))
        reason.resize(LastStateSize - 1);
    return reason;
}

} // namespace

PpdevPort::PpdevPort(LinuxSystem& system) : System(system) {}

PpdevPort::~PpdevPort() {
    for (auto& [base, port] : Claimed)
        Release(port.Descriptor);
}

std::optional<PpdevPort::ClaimedRegister> PpdevPort::FindClaimed(uint16_t address) const {
    auto next = Claimed.upper_bound(address);
    if (next == Claimed.begin())
        return std::nullopt;
    auto port = std::prev(next);
    uint16_t offset = static_cast<uint16_t>(address - port->first);
    if (offset >= RegisterCount)
        return std::nullopt;
    return ClaimedRegister{&port->second, offset};
}

// The kept ECR byte of the port whose ECR sits at address, if the kernel has that port.
uint8_t* PpdevPort::FindEcr(uint16_t address) {
    if (address < EcrOffset)
        return nullptr;
    uint16_t base = static_cast<uint16_t>(address - EcrOffset);
    auto kept = Ecr.find(base);
    if (kept != Ecr.end())
        return &kept->second;
    if (!FindParport(System, base))
        return nullptr;
    return &Ecr.emplace(base, EcrAtStart).first->second;
}

// A refused access is noted with the port, the register and the reason.
bool PpdevPort::Refused(const ClaimedRegister& reg, int error, const char* access) {
    if (error == 0)
        return false;
    Failure = reg.Port->Name + ": " + access + " failed: " + std::generic_category().message(-error);
    return true;
}

uint8_t PpdevPort::ReadByte(uint16_t address) {
    Failure.clear();
    if (std::optional<ClaimedRegister> reg = FindClaimed(address)) {
        static constexpr unsigned long Requests[RegisterCount] = {PPRDATA, PPRSTATUS, PPRCONTROL};
        static constexpr const char* Names[RegisterCount] = {"data read", "status read", "control read"};
        // The status register comes as the port shows it, BUSY (bit 7) inverted.
        unsigned char value = EmptyBus;
        const int error = System.Ioctl(reg->Port->Descriptor, Requests[reg->Offset], &value);
        return Refused(*reg, error, Names[reg->Offset]) ? EmptyBus : value;
    }
    if (uint8_t* ecr = FindEcr(address))
        return *ecr;
    return EmptyBus;
}

void PpdevPort::WriteByte(uint16_t address, uint8_t value) {
    Failure.clear();
    if (std::optional<ClaimedRegister> reg = FindClaimed(address)) {
        unsigned char byte = value;
        if (reg->Offset == 0) {
            Refused(*reg, System.Ioctl(reg->Port->Descriptor, PPWDATA, &byte), "data write");
        } else if (reg->Offset == 2) {
            byte = static_cast<unsigned char>(byte & ~DirectionBit);
            Refused(*reg, System.Ioctl(reg->Port->Descriptor, PPWCONTROL, &byte), "control write");
        }
        // The status register takes no writes.
        return;
    }
    if (uint8_t* ecr = FindEcr(address))
        *ecr = value;
}

// The claim is exclusive: while this program holds the port no other driver
// can register on it, and a port that another driver (the printer driver,
// another program) has registered on is refused at once. Without that, a
// second claimant would sleep inside the driver holding its lock, and every
// ppdev call of the holder, a programming pulse's among them, would wait.
bool PpdevPort::Claim(const KernelParport& port, int& descriptor, std::string& failure) {
    descriptor = System.Open(port.DevicePath(), O_RDWR);
    if (descriptor < 0) {
        failure = DescribeOpenFailure(System, port, -descriptor).Brief;
        return false;
    }
    int error = System.Ioctl(descriptor, PPEXCL, nullptr);
    if (error == 0)
        error = System.Ioctl(descriptor, PPCLAIM, nullptr);
    if (error != 0) {
        System.Close(descriptor);
        std::optional<PortAccessProblem> held = DescribeHeldPort(System, port);
        if (held)
            failure = held->Brief;
        else if (error == -ENXIO || error == -EBUSY) // refused for another that has since let go
            failure = port.Name() + ": busy";
        else
            failure = port.Name() + ": " + std::generic_category().message(-error);
        return false;
    }
    int forward = 0;
    if (error = System.Ioctl(descriptor, PPDATADIR, &forward); error != 0) {
        Release(descriptor);
        failure = port.Name() + ": " + std::generic_category().message(-error);
        return false;
    }
    ArmCrashIdle(descriptor, System.IoctlForSignals());
    return true;
}

bool PpdevPort::OpenRange(uint16_t first, uint16_t, std::string& failure) {
    if (Claimed.contains(first))
        return true;
    std::optional<KernelParport> port = FindParport(System, first);
    if (!port)
        return true; // an empty range: nothing to open, nothing to complain about
    int descriptor = -1;
    if (!Claim(*port, descriptor, failure)) {
        failure = Shortened(failure);
        return false;
    }
    Claimed.emplace(first, ClaimedPort{descriptor, port->Name()});
    return true;
}

void PpdevPort::CloseRange(uint16_t first, uint16_t) {
    auto port = Claimed.find(first);
    if (port == Claimed.end())
        return;
    Release(port->second.Descriptor);
    Claimed.erase(port);
}

void PpdevPort::Release(int descriptor) {
    DisarmCrashIdle(descriptor);
    // A refused release needs no word: closing the node releases whatever
    // claim the driver still holds.
    [[maybe_unused]] const int refused = System.Ioctl(descriptor, PPRELEASE, nullptr);
    System.Close(descriptor);
}

std::unique_ptr<PortBackEnd> MakeHardwareBackEnd() {
    return std::make_unique<PpdevPort>(HostSystem());
}

} // namespace quennel

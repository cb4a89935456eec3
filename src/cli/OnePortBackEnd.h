#pragma once
// A back-end that lets through only one printer port (its three registers
// and its ECR) and shows every other address as an empty bus, so that the
// search for the programmer touches nothing but the port the operator named.

#include "link/PortBackEnd.h"

#include <cstdint>

namespace quennel::cli {

class OnePortBackEnd : public PortBackEnd {
public:
    OnePortBackEnd(PortBackEnd& inner, uint16_t base);

    uint8_t ReadByte(uint16_t address) override;
    void WriteByte(uint16_t address, uint8_t value) override;
    std::string_view LastAccessFailure() const override;
    bool OpenRange(uint16_t first, uint16_t last, std::string& failure) override;
    void CloseRange(uint16_t first, uint16_t last) override;
    // The one port, if the system lists it.
    std::vector<uint16_t> ListedPorts() const override;

private:
    bool Passes(uint16_t address) const;

    PortBackEnd& Inner;
    uint16_t Base;
    bool LastPassed = false; // the last access reached Inner
};

} // namespace quennel::cli

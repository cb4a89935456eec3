// A programmer on a port card (a base other than the three standard ones),
// found through a fake kernel that lists the card: the search tries the
// standard three exactly as on a machine without the card, then the card
// with the same test, lines and caption.

#include "core/SharedState.h"
#include "link/BusTrace.h"
#include "link/DelayTimer.h"
#include "link/Detection.h"
#include "link/LatchProtocol.h"
#include "link/NTPort.h"
#include "link/ParportLookup.h"
#include "link/PortAccess.h"
#include "link/PpdevPort.h"
#include "support/FakeConsole.h"
#include "support/FakeLinuxSystem.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quennel::test {
namespace {

using ::testing::ElementsAre;

// One search on a kernel with the programmer on the port at base (none
// when base is 0), with every register access and library call traced.
struct Search {
    explicit Search(uint16_t base, std::vector<uint16_t> alsoListed = {}) {
        int number = 0;
        for (uint16_t other : alsoListed)
            Kernel.AddPort(number++, other);
        if (base != 0) {
            Kernel.AddPort(number, base);
            Kernel.Programmer = &Chip;
        }
        Detection.FindProgrammer();
    }

    FakeLinuxSystem Kernel;
    SimulatedProgrammer Chip;
    PpdevPort Port{Kernel};
    BusTrace Trace{BusTrace::KeepInMemory};
    NTPort Library{Port, &Trace};
    FakeConsole Console;
    SharedState S;
    LatchProtocol Latches{S, Library, Console};
    DelayTimer Timer{S, Console};
    ProgrammerDetection Detection{S, Latches, Library, Timer, Console};
};

// An event with the addresses of the port at from moved to the port at to.
BusEvent Moved(BusEvent event, uint16_t from, uint16_t to) {
    auto move = [&](uint32_t address) {
        const uint32_t offset = address - from;
        return offset <= 2 || offset == 0x402 ? to + offset : address;
    };
    if (event.What == BusEvent::Kind::Call) {
        for (uint32_t& argument : event.Arguments)
            argument = move(argument);
    } else {
        event.Address = static_cast<uint16_t>(move(event.Address));
    }
    return event;
}

std::vector<std::string> Untimed(const std::vector<BusEvent>& events) {
    std::vector<std::string> lines;
    for (BusEvent event : events) {
        event.Microseconds = 0;
        lines.push_back(BusTrace::Format(event));
    }
    return lines;
}

TEST(PortCard, IsSearchedAfterTheStandardPortsWithTheSameTestAndCaption) {
    Search none(0);
    Search standard(0x278);
    Search card(0xD010);

    ASSERT_EQ(card.S.ProgrammerModel, 2);
    EXPECT_EQ(card.S.PortBase, 0xD010);
    EXPECT_TRUE(card.S.PortOpen);
    EXPECT_EQ(ProgrammerCaption(card.S), "The Trevalo Programmer was Found at D010");
    EXPECT_TRUE(card.Console.Boxes.empty());

    // The standard three as on a machine without the card ...
    const std::vector<std::string> absent = Untimed(none.Trace.Events());
    const std::vector<std::string> found = Untimed(card.Trace.Events());
    ASSERT_GT(found.size(), absent.size());
    EXPECT_EQ(std::vector<std::string>(found.begin(), found.begin() + static_cast<ptrdiff_t>(absent.size())),
              absent);
    // ... then the card, as a programmer on 0x278 is searched.
    std::vector<BusEvent> expected;
    for (const BusEvent& event : standard.Trace.Events())
        expected.push_back(Moved(event, 0x278, 0xD010));
    EXPECT_EQ(std::vector<std::string>(found.begin() + static_cast<ptrdiff_t>(absent.size()), found.end()),
              Untimed(expected));

    std::vector<std::string> lines = none.Console.Results;
    for (const char* text :
         {"Port Address - D010 Expected - A5 / Found - A5", "Port Address - D010 Expected - 5A / Found - 5A"})
        lines.emplace_back(text);
    lines.push_back(lines[lines.size() - 2]);
    lines.push_back(lines[lines.size() - 2]);
    EXPECT_EQ(card.Console.Results, lines);
}

// Ports the kernel lists are searched in its order, after the standard
// ones, each once; a standard port it lists is not tried twice.
TEST(PortCard, TheSearchOrderIsTheStandardThreeThenTheKernelsOthers) {
    EXPECT_THAT(SearchOrder({}), ElementsAre(0x278, 0x378, 0x3BC));
    EXPECT_THAT(SearchOrder({0x378, 0xE000, 0xD010, 0x278}),
                ElementsAre(0x278, 0x378, 0x3BC, 0xE000, 0xD010));

    FakeLinuxSystem kernel;
    kernel.AddPort(2, 0xD010);
    kernel.AddPort(0, 0x378);
    kernel.AddPort(1, 0xE000);
    EXPECT_THAT(ListParportBases(kernel), ElementsAre(0x378, 0xE000, 0xD010));

    // The fake kernel's one set of registers answers on every port it
    // lists: the programmer is found on the card the kernel lists first.
    Search two(0xE000, {0xD010});
    EXPECT_EQ(two.S.PortBase, 0xD010);
    ASSERT_EQ(two.Console.Results.size(), 10U);
    EXPECT_EQ(two.Console.Results[5], "Port Address - 03BC Expected - 5A / Found - 77");
    EXPECT_EQ(two.Console.Results[6], "Port Address - D010 Expected - A5 / Found - A5");
}

// On a machine whose only port is a card, that port is a usable one.
TEST(PortCard, AMachineWithOnlyACardHasNoPortProblem) {
    FakeLinuxSystem kernel;
    kernel.AddPort(0, 0xD010);
    EXPECT_EQ(FindPortAccessProblem(kernel, SearchOrder(ListParportBases(kernel))), std::nullopt);
    kernel.OpenErrors["/dev/parport0"] = EACCES;
    EXPECT_THAT(FindPortAccessProblem(kernel, SearchOrder(ListParportBases(kernel))),
                ::testing::Optional(::testing::StartsWith("/dev/parport0 exists but cannot be opened")));
}

} // namespace
} // namespace quennel::test

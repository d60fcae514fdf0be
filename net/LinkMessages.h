// The three things that travel between the cockpit's computer (the sender,
// Tavelin) and the simulator's (the receiver, simblock net-receive), as plain
// values; the network engine turns them into its topics Controls, SetUp and
// SimulatorFlags. Times are the sender's steady clock in nanoseconds: only the
// sender compares them with its own clock (the round trip), or a receiver on
// the same machine (the latency figures).
#pragma once

#include "mapping/LinkValues.h"

#include <cstdint>

// One tick's outputs, every tick, in the tick that wrote them into the block.
struct ControlsMessage {
    std::uint64_t session = 0; // the sending program's run: its sequence numbers start again
    std::uint64_t sequence = 0; // 1, 2, ... within the session
    std::int64_t tickTime = 0;
    ControlOutputs outputs;
};

// The set-up, whenever it changed (and kept for a receiver that comes later).
struct SetUpMessage {
    std::uint64_t session = 0;
    std::uint64_t sequence = 0;
    LinkSetUp setUp;
};

// From the receiver: the simulator's flags, and the last Controls sample it
// wrote into its block, so the sender knows it is heard and the round trip.
struct FlagsMessage {
    SimulatorFlagBytes flags;
    std::uint64_t echoSession = 0; // 0: nothing received yet
    std::uint64_t echoSequence = 0;
    std::int64_t echoTickTime = 0;
};

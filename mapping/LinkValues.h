// The parts of the block that travel to a simulator on another computer, as
// values: one tick's control outputs, the set-up (tuning values, the button
// mirror bytes and the fields of the assignment area this program uses) and
// the simulator's gear and park-brake flags. Read from and written into a
// block here, so that nothing above mapping/ spells an offset.
#pragma once

#include "mapping/Assignments.h"
#include "mapping/CockpitAxes.h"
#include "mapping/SetUp.h"

#include <cstddef>
#include <cstdint>

// The six outputs and the six button bytes the processing writes every tick.
struct ControlOutputs {
    double pitch = 0.0;
    double roll = 0.0;
    double pedals = 0.0;
    double thrLvrL = 0.0; // percent of travel
    double thrLvrR = 0.0;
    double tiller = 0.0;
    std::uint8_t apDisc = 0;
    std::uint8_t atDisc = 0;
    std::uint8_t ptt = 0;
    std::uint8_t brakeL = 0;
    std::uint8_t brakeR = 0;
    std::uint8_t reverser = 0; // REVERSE L or REVERSE R
};

// Everything a simulator reads of the set-up: the typed set-up (mapping/SetUp.h)
// and the three bytes that mirror button numbers for the simulator. The
// assignment area's stretches that this program does not use stay the
// simulator's and never travel.
struct LinkSetUp {
    static constexpr int kMirrors = 3; // A/P DISC, A/T DISC, PTT

    SetUpValues values;
    std::uint8_t mirrors[kMirrors] = {};
    std::uint8_t padding[5] = {}; // no unnamed padding: two set-ups compare byte for byte

    // Whether anything the simulator reads differs (slots, texts and NaNs included).
    bool SameAs(const LinkSetUp& other) const;
};

// Both bytes of the gear lever and of the park brake flag, as the simulator wrote them.
struct SimulatorFlagBytes {
    std::uint8_t gear[2] = {};
    std::uint8_t parkBrake[2] = {};
    bool operator==(const SimulatorFlagBytes&) const = default;
};

ControlOutputs ReadControlOutputs(const void* block);
void WriteControlOutputs(void* block, const ControlOutputs& outputs);
// The values a released stick publishes: pitch, roll, pedals and tiller 0, the
// button bytes 0, the thrust levers as they were (an idle slam is no safer than holding).
ControlOutputs ReleasedOutputs(const ControlOutputs& outputs);
// Publishes a released stick into the block (ReleasedOutputs of what it holds).
void ReleaseControlOutputs(void* block);
// Every output finite and within OutputLimits, every button byte 0 or 1.
bool OutputsWithinLimits(const ControlOutputs& outputs);

void ReadLinkSetUp(const void* block, LinkSetUp& out);
// Writes every field of the set-up; the configuration name is stored NUL-terminated.
void WriteLinkSetUp(void* block, const LinkSetUp& setUp);

SimulatorFlagBytes ReadSimulatorFlags(const void* block);
void WriteSimulatorFlags(void* block, const SimulatorFlagBytes& flags);

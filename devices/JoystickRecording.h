// Tavelin's own recordings: the four slots' polled states with the time of
// each change, as plain text, and the reading of such a text back into what
// each slot showed when. Portable; the writer is JoystickRecorder, the
// player the replay backend (TAVELIN_REPLAY).
//
//   TAVELIN RECORDING 1
//   # a comment
//   <ms> JOYSTICK <slot> <joystick ID> <buttons> <name>    a joystick in a slot from then on
//   <ms> <slot> <KEY>=<value> ...                           what changed at that time
//
// <ms> is milliseconds from the start, never decreasing. KEYs: X Y Z RX RY
// RZ SL1 SL2 (-10000..10000), VX .. VSL2 and AX .. ASL2 (the velocities and
// accelerations, 32-bit), POV1..POV3 (hundredths of a degree 0..35999, -1
// centred), PRESSED (the buttons held, counted from 1, separated by
// commas; "-" for none) and LOST (1 while the joystick is lost, else 0).
#pragma once

#include "mapping/JoystickState.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* kRecordingHeader = "TAVELIN RECORDING 1";

// What a slot shows at one time: the parts of its JoystickState that a
// device delivers, and whether it is lost.
struct RecordedState {
    std::int32_t values[24] = {}; // axes, velocities, accelerations in JoystickState's order
    std::uint32_t pov[3] = { kRecordedPovCentred, kRecordedPovCentred, kRecordedPovCentred };
    std::uint32_t pressed = 0; // bit i: button i + 1
    bool lost = false;

    static constexpr std::uint32_t kRecordedPovCentred = 0xFFFFFFFFu; // hundredths, as DirectInput
    bool operator==(const RecordedState&) const = default;
};

// A polled JoystickState as recorded (its POVs in whole degrees become hundredths).
RecordedState RecordedStateOf(const JoystickState& state, bool lost);

// One line of a recording for `slot`: every field of `now` that differs from
// `before` (all of them with `before` null), into `out` (at least
// kRecordingLineLength); the length written, 0 when nothing changed.
inline constexpr std::size_t kRecordingLineLength = 640;
std::size_t FormatRecordingChange(
    char* out, std::int64_t milliseconds, int slot, const RecordedState* before, const RecordedState& now);

struct RecordedJoystick {
    std::int64_t from = 0; // milliseconds: in its slot from then on
    std::uint32_t joystickId = 0;
    int buttons = 0;
    std::string name;
    struct Change {
        std::int64_t at;
        RecordedState state;
    };
    std::vector<Change> changes; // in time order
};

struct ParsedRecording {
    RecordedJoystick slots[kJoystickSlots];
    bool declared[kJoystickSlots] = {};
    std::int64_t end = 0; // the time of the last line that counts
    // Empty when the whole text was good; else "line <n>: <what>", and only
    // what came before that line is kept.
    std::string problem;
};

// Reads a recording's text; never throws, whatever the text.
ParsedRecording ParseRecording(std::string_view text);

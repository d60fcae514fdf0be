// Assignment by moving the control: after Start, each cycle's joystick states
// are compared with where they were, and the first axis that moves by a fifth
// of its range, the first newly pressed button or the first hat that leaves
// centre is reported. Fixed storage only, so a waiting detector costs the
// cycle no allocation.
#pragma once

#include "mapping/JoystickState.h"

#include <cstdint>

class InputDetector {
public:
    enum class Kind { Axis, Button, Hat };
    enum class Step { Idle, Waiting, Found, TimedOut };

    // What moved: the slot and the input as its row's combo numbers it (axis
    // input 0..23, button number 1..32, hat number 1..3). A button row may be
    // given an axis 0..7 instead: `threshold` then says on which side it presses.
    struct Found {
        int slot = 0;
        int input = 0;
        std::int32_t threshold = 0; // 0: a button
    };

    static constexpr std::int64_t kTimeoutMs = 5000;
    static constexpr int kRangeDivisor = 5; // an axis must move by a fifth of its range
    // A button row takes an axis pushed past half its travel, from either
    // side of centre, with this threshold on the side it went to.
    static constexpr std::int32_t kAxisButtonThreshold = 5000;

    // `row` is the caller's tag for the waiting row; `states` the slots' last
    // readings (`count` of them), against which movement is measured.
    void Start(Kind kind, int row, const JoystickState* states, int count, std::int64_t nowMs);
    void Cancel() { m_active = false; }
    bool Active() const { return m_active; }
    Kind GetKind() const { return m_kind; }
    int Row() const { return m_row; }
    // Whole seconds left before the time-out, rounded up.
    int SecondsLeft(std::int64_t nowMs) const;

    // One cycle: Found (and no longer active) when something moved, TimedOut
    // once the time is up, else Waiting.
    Step Update(const JoystickState* states, int count, std::int64_t nowMs, Found& found);

    static bool HatCentred(std::uint32_t pov) { return pov > 360; }
    // An axis 0..7 that went past +-5000 since the start; false for none.
    static bool AxisPushedPastHalf(const JoystickState& start, const JoystickState& now, Found& found);
    static std::int32_t AxisInputValue(const JoystickState& state, int input);

private:
    bool m_active = false;
    Kind m_kind = Kind::Axis;
    int m_row = 0;
    int m_count = 0;
    std::int64_t m_startMs = 0;
    JoystickState m_start[kJoystickSlots] = {};
    JoystickState m_previous[kJoystickSlots] = {};
};

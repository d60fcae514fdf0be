// The set-up the program owns in the block, typed: SetUpValues holds all of it as a
// value (to compare, or to put back), and BlockSetUp reads and writes it in an
// attached block by name, with the outputs, button bytes and simulator flags
// the window shows. Nothing above mapping/ needs to know where any of it lies.
#pragma once

#include "mapping/Assignments.h"
#include "mapping/CockpitAxes.h"

#include <cstdint>
#include <string>

// The fourteen tuning values (ControlSettings), in the block's order.
enum class TuningValue : std::uint8_t {
    PitchSensitivity,
    PitchDeadBand,
    RollSensitivity,
    RollDeadBand,
    PedalsSensitivity,
    PedalsDeadBand,
    TillerSensitivity,
    TillerDeadBand,
    ThrLvrRTimeConstant,
    ThrLvrLTimeConstant,
    ThrLvrLSensitivity,
    ThrLvrLOffset,
    ThrLvrRSensitivity,
    ThrLvrROffset,
};
inline constexpr int kTuningValueCount = 14;
inline constexpr int kConfigurationNameLength = 60; // the name's field, its terminator included

// Everything a set-up is: the configuration chosen and its name, the default
// joystick ID, every assignment record and the tuning values. The stretches
// of the set-up area that belong to the simulator are no part of it, nor are
// the outputs.
struct SetUpValues {
    std::int32_t configurationIndex = 0;
    std::int32_t defaultJoystickId = 0;
    char configurationName[kConfigurationNameLength] = {}; // the field as the block holds it
    AxisAssignment axes[CockpitAxisTable::kRowCount] = {}; // by row of CockpitAxisTable::kRows
    ButtonAssignment buttons[kCockpitButtonCount] = {}; // `unused` is never taken or put back
    double tuning[kTuningValueCount] = {}; // by TuningValue

    double Tuning(TuningValue value) const { return tuning[static_cast<int>(value)]; }

    // Whether a file saved from this set-up would differ from one saved from
    // `other`: the joystick IDs, inputs and button numbers of every record and
    // the tuning values (bit for bit, so that a NaN equals itself). Slots,
    // joystick texts and the configuration's index and name do not count.
    bool SavesAs(const SetUpValues& other) const;
};

// A view of an attached block (or of none: then every read gives 0 and every
// write does nothing). Copying it copies the view, not the block.
class BlockSetUp {
public:
    BlockSetUp() = default;
    explicit BlockSetUp(void* block)
        : m_block(block)
    {
    }

    bool Attached() const { return m_block != nullptr; }
    void* Block() const { return m_block; }

    // The whole set-up, and putting one back field by field.
    SetUpValues Take() const;
    void PutBack(const SetUpValues& setUp) const;

    // The configuration chosen (0 the default file, 1..3 the alternates, or
    // whatever another program stored) and its name.
    std::int32_t ConfigurationIndex() const;
    void SetConfigurationIndex(std::int32_t index) const;
    // Up to its first NUL or the field's end.
    std::string ConfigurationName() const;
    // At most 59 characters, NUL-padded.
    void SetConfigurationName(const char* name) const;

    double Get(TuningValue value) const;
    void Set(TuningValue value, double setting) const;
    // The first tuning value of a CockpitAxis (its sensitivity); 0.0 and
    // nothing stored for an axis without tuning values.
    double Sensitivity(std::int32_t axis) const;
    void SetSensitivity(std::int32_t axis, double setting) const;

    AxisAssignment AxisRecord(std::int32_t axis) const; // zeros for a value without a record
    ButtonAssignment ButtonRecord(std::int32_t button) const; // zeros outside 0..16

    // What the processing published: an axis's output (0.0 for one without),
    // and whether a button's published byte is set (false for a button
    // without one; the reversers share theirs).
    double Output(std::int32_t axis) const;
    bool ButtonPublished(std::int32_t button) const;

    // The simulator's flags, each set when either of its two bytes is.
    bool GearFlag() const;
    bool ParkBrakeFlag() const;

private:
    void* m_block = nullptr;
};

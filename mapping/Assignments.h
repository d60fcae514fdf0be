// The assignment model: which joystick and which input drives each cockpit
// axis and button. The records live in the block's JoystickSetup area and are
// read and written whole through the helpers below.
#pragma once

#include "mapping/GenericSimBlock.h"

#include <cstddef>
#include <cstdint>

enum CockpitAxis : std::int32_t {
    AxisPitch = 1,
    AxisRoll = 2,
    AxisThrLvrL = 3,
    AxisThrLvrR = 4,
    AxisPedals = 7,
    AxisTiller = 8,
    AxisEyeView = 9,
};

enum CockpitButton : std::int32_t {
    ButtonPtt = 0,
    ButtonApDisc = 1,
    ButtonAtDisc = 2,
    ButtonBrakeL = 3,
    ButtonBrakeR = 4,
    ButtonReverseL = 5,
    ButtonReverseR = 6,
    ButtonFlapIn = 7,
    ButtonFlapOut = 8,
    ButtonSpdBrkIn = 9,
    ButtonSpdBrkOut = 10,
    ButtonGearLvr = 11,
    ButtonStabAnu = 12,
    ButtonStabAnd = 13,
    ButtonFdL = 14,
    ButtonFdR = 15,
    ButtonParkBrk = 16,
};
inline constexpr int kCockpitButtonCount = 17;

// AxisInput 0..23: positions, then velocities, then accelerations.
enum AxisInput : std::int32_t {
    InputX = 0,
    InputY,
    InputZ,
    InputRx,
    InputRy,
    InputRz,
    InputSL1,
    InputSL2,
    InputVX,
    InputVY,
    InputVZ,
    InputVRx,
    InputVRy,
    InputVRz,
    InputVSL1,
    InputVSL2,
    InputAX,
    InputAY,
    InputAZ,
    InputARx,
    InputARy,
    InputARz,
    InputASL1,
    InputASL2,
};
inline constexpr int kAxisInputCount = 24;

// Display names: "PITCH" ... ; "UNKNOWN CTL" / "UNKNOWN BTN" for other values.
const char* CockpitAxisName(std::int32_t axis);
const char* CockpitButtonName(std::int32_t button);
// "X", "Y", ... "vX" ... "aSL2"; "" outside 0..23.
const char* AxisInputName(std::int32_t input);

struct AxisAssignment {
    char joystickText[20];
    std::int32_t joystickId;
    std::int32_t slot;
    std::int32_t input; // AxisInput, or for EYE_VIEW a POV number; -1 = none (reads as 0)
};
static_assert(sizeof(AxisAssignment) == GenericSimBlock::kAxisRecordSize);
static_assert(offsetof(AxisAssignment, joystickId) == GenericSimBlock::kRecordJoystickId);
static_assert(offsetof(AxisAssignment, slot) == GenericSimBlock::kRecordSlot);
static_assert(offsetof(AxisAssignment, input) == GenericSimBlock::kRecordInput);

struct ButtonAssignment {
    char joystickText[20];
    std::int32_t joystickId;
    std::int32_t slot;
    std::int32_t buttonNumber; // -1 not assigned, 0 no button, 1.. the joystick's button
    std::uint8_t unused[4];
};
static_assert(sizeof(ButtonAssignment) == GenericSimBlock::kButtonRecordSize);
static_assert(offsetof(ButtonAssignment, buttonNumber) == GenericSimBlock::kRecordInput);

// The record's offset in the block for PITCH..EYE_VIEW; 0 for a value without a record.
std::size_t AxisRecordOffset(std::int32_t axis);

inline AxisAssignment LoadAxisAssignment(const void* block, std::size_t recordOffset)
{
    return GenericSimBlock::Load<AxisAssignment>(block, recordOffset);
}
inline void StoreAxisAssignment(void* block, std::size_t recordOffset, const AxisAssignment& record)
{
    GenericSimBlock::Store<AxisAssignment>(block, recordOffset, record);
}
inline ButtonAssignment LoadButtonAssignment(const void* block, std::int32_t button)
{
    return GenericSimBlock::Load<ButtonAssignment>(
        block, GenericSimBlock::ButtonRecord(static_cast<std::size_t>(button)));
}
inline void StoreButtonAssignment(void* block, std::int32_t button, const ButtonAssignment& record)
{
    GenericSimBlock::Store<ButtonAssignment>(
        block, GenericSimBlock::ButtonRecord(static_cast<std::size_t>(button)), record);
}

// Filled by ControlProcessor every cycle, owned by the main dialog.
struct SwitchPanelState {
    std::uint8_t flapIn; // 0
    std::uint8_t flapOut; // 1
    std::uint8_t spdBrkIn; // 2
    std::uint8_t spdBrkOut; // 3
    std::uint8_t notWritten4[2];
    std::uint8_t reverseL; // 6
    std::uint8_t reverseR; // 7
    std::uint8_t stabAnu; // 8
    std::uint8_t stabAnd; // 9
    std::uint8_t fdL; // 10
    std::uint8_t fdR; // 11
    std::int32_t eyeAngle; // 12: whole degrees, written while an eye-view POV is assigned
    std::uint8_t notWritten16[24];
    std::uint8_t gearPressed; // 40: pressed in this cycle
    std::uint8_t gearReleased; // 41: released in this cycle
    std::uint8_t gearAlwaysOne; // 42
    std::uint8_t gearState; // 43
    std::uint8_t parkBrakePressed; // 44
    std::uint8_t parkBrakeReleased; // 45
    std::uint8_t parkBrakeAlwaysOne; // 46
    std::uint8_t parkBrakeState; // 47
};
static_assert(sizeof(SwitchPanelState) == 48);
static_assert(offsetof(SwitchPanelState, eyeAngle) == 12);
static_assert(offsetof(SwitchPanelState, gearPressed) == 40);
static_assert(offsetof(SwitchPanelState, parkBrakeState) == 47);

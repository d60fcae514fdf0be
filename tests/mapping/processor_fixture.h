// A ControlProcessor attached to a private block, four joystick records and
// a switch panel, for the processing tests.
#pragma once

#include "mapping/Assignments.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/JoystickState.h"
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace ProcessorTest {

inline constexpr std::uint32_t kJoystickIds[kJoystickSlots] = { 0x11110001u, 0x22220002u, 0x33330003u, 0x44440004u };

inline JoystickState MakeState(std::uint32_t id)
{
    JoystickState state {};
    state.joystickId = id;
    state.axisSpan = 20000;
    state.axisMinimum = -10000;
    state.axisMaximum = 10000;
    state.buttonCount = 32;
    for (auto& pov : state.pov) {
        pov = 0xFFFFFFFFu;
    }
    return state;
}

class ProcessorFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_name = ShmTestOs::UniqueName("proc");
        ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", m_name.c_str());
        ASSERT_TRUE(processor.Attach()) << processor.GetErrorText();
        block = processor.GetBlock();
        ASSERT_NE(block, nullptr);
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            states[slot] = MakeState(kJoystickIds[slot]);
            table[slot] = &states[slot];
        }
        std::memset(&panel, 0, sizeof panel);
        processor.SetSwitchPanel(&panel);
        processor.SetSlotZeroJoystickId(kJoystickIds[0]);
    }

    // One tick with `count` joysticks attached, as JoystickSet runs it.
    void Cycle(int count = 1, double period = 0.01)
    {
        processor.SetCounts(count, ControlProcessor::kInputCount);
        processor.ProcessCycle(period, table, count - 1);
    }

    double Output(std::size_t offset) const { return GenericSimBlock::LoadDouble(block, offset); }
    std::uint8_t Byte(std::size_t offset) const { return GenericSimBlock::LoadByte(block, offset); }
    void SetDouble(std::size_t offset, double value) { GenericSimBlock::StoreDouble(block, offset, value); }

    void AssignAxis(std::int32_t axis, int slot, std::int32_t input)
    {
        processor.SetAxisAssignment(axis, slot, static_cast<std::int32_t>(kJoystickIds[slot]), input);
    }
    void AssignButton(std::int32_t button, int slot, std::int32_t number)
    {
        processor.SetButtonAssignment(button, slot, number, static_cast<std::int32_t>(kJoystickIds[slot]));
    }
    void SetRecordField(std::size_t record, std::size_t field, std::int32_t value)
    {
        GenericSimBlock::StoreInt32(block, record + field, value);
    }

    ControlProcessor processor;
    void* block = nullptr;
    JoystickState states[kJoystickSlots] = {};
    const JoystickState* table[kJoystickSlots] = {};
    SwitchPanelState panel {};

private:
    std::string m_name;
};

} // namespace ProcessorTest

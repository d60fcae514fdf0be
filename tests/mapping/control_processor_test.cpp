// ControlProcessor through its public operations: attach and its defaults,
// the assignment accessors, resolution and warnings, one cycle's outputs,
// and the display decisions of the main window.
#include "tests/mapping/processor_fixture.h"

#include "mapping/KQ_P_0001_02_Shm.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace Block = GenericSimBlock;
using ProcessorTest::kJoystickIds;
using ProcessorTest::ProcessorFixture;

namespace {

std::string NoMatch(const char* control)
{
    return std::string("JoyStick Id for ") + control + " in the ini file has no match with any attached Joy sticks";
}

} // namespace

// --- attach -------------------------------------------------------------------

TEST(ControlProcessorAttach, DefaultsOverwriteTuningButKeepTheRestOfAnExistingBlock)
{
    const std::string name = ShmTestOs::UniqueName("attach");
    ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", name.c_str());
    KQ_P_0001_02_Shm other; // another program that attached first
    ASSERT_TRUE(other.IsReady()) << other.GetErrorText();
    void* otherBlock = other.GetBlock();
    Block::StoreDouble(otherBlock, Block::kPitchSensitivity, 0.002);
    Block::StoreDouble(otherBlock, Block::kThrLvrRFilterTimeConstant, 0.3);
    Block::StoreDouble(otherBlock, Block::kThrLvrLOffset, 7.0);
    Block::StoreDouble(otherBlock, Block::kPedalsDeadBand, 2.0);

    ControlProcessor processor;
    EXPECT_EQ(processor.GetBlock(), nullptr);
    ASSERT_TRUE(processor.Attach()) << processor.GetErrorText();
    EXPECT_EQ(Block::LoadUserCount(otherBlock), 2);
    for (const std::size_t band :
        { Block::kPitchDeadBand, Block::kRollDeadBand, Block::kPedalsDeadBand, Block::kTillerDeadBand }) {
        EXPECT_EQ(Block::LoadDouble(otherBlock, band), 0.5);
    }
    EXPECT_EQ(Block::LoadDouble(otherBlock, Block::kThrLvrLOffset), 0.0);
    EXPECT_EQ(Block::LoadDouble(otherBlock, Block::kThrLvrROffset), 0.0);
    EXPECT_EQ(Block::LoadDouble(otherBlock, Block::kThrLvrLFilterTimeConstant), 0.5);
    // Values without a default stay as the other program left them.
    EXPECT_EQ(Block::LoadDouble(otherBlock, Block::kPitchSensitivity), 0.002);
    EXPECT_EQ(Block::LoadDouble(otherBlock, Block::kThrLvrRFilterTimeConstant), 0.3);

    processor.Detach();
    EXPECT_EQ(processor.GetBlock(), nullptr);
    EXPECT_EQ(Block::LoadUserCount(otherBlock), 1);
    ShmTestOs::UnsetEnvironment("TAVELIN_SHM_NAME");
}

TEST(ControlProcessorAttach, VersionMismatchFailsWithTheBlockObjectsTextAndCyclesDoNothing)
{
    const std::string name = ShmTestOs::UniqueName("mismatch");
    ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", name.c_str());
    KQ_P_0001_02_Shm other;
    ASSERT_TRUE(other.IsReady()) << other.GetErrorText();
    Block::StoreText(other.GetBlock(), Block::kVersionOffset, Block::kVersionLength, "another layout");

    ControlProcessor processor;
    EXPECT_FALSE(processor.Attach());
    EXPECT_EQ(processor.GetBlock(), nullptr);
    EXPECT_EQ(std::string(processor.GetErrorText()),
        "KQ_P_0001_02_Shm::KQ_P_0001_02_Shm\nShared Memory Version Mismatch\nPlease rebuild software");

    // Without a block nothing is read or written and nothing fails.
    JoystickState state = ProcessorTest::MakeState(kJoystickIds[0]);
    const JoystickState* table[kJoystickSlots] = { &state, &state, &state, &state };
    processor.SetCounts(1, ControlProcessor::kInputCount);
    processor.ProcessCycle(0.01, table, 0);
    EXPECT_EQ(processor.GetCycleCount(), 0);
    EXPECT_EQ(processor.GetAxisInput(AxisPitch), 0);
    processor.SetButtonNumber(ButtonPtt, 3);
    EXPECT_EQ(processor.GetButtonNumber(ButtonPtt), 0);
    ShmTestOs::UnsetEnvironment("TAVELIN_SHM_NAME");
}

// --- names, warnings, slot names, ReadInput --------------------------------------

TEST(ControlProcessorNames, DisplayNamesOfEveryControlAndInput)
{
    EXPECT_STREQ(CockpitAxisName(AxisPitch), "PITCH");
    EXPECT_STREQ(CockpitAxisName(AxisRoll), "ROLL");
    EXPECT_STREQ(CockpitAxisName(AxisThrLvrL), "THR LVR L");
    EXPECT_STREQ(CockpitAxisName(AxisThrLvrR), "THR LVR R");
    EXPECT_STREQ(CockpitAxisName(AxisPedals), "PEDALS");
    EXPECT_STREQ(CockpitAxisName(AxisTiller), "TILLER");
    EXPECT_STREQ(CockpitAxisName(AxisEyeView), "EYE_VIEW");
    for (const std::int32_t other : { 0, 5, 6, 10, -1 }) {
        EXPECT_STREQ(CockpitAxisName(other), "UNKNOWN CTL") << other;
        EXPECT_EQ(AxisRecordOffset(other), 0u) << other;
    }
    EXPECT_EQ(AxisRecordOffset(AxisPedals), Block::kJoystickSetup + 132);
    EXPECT_EQ(AxisRecordOffset(AxisEyeView), Block::kJoystickSetup + 260);

    const char* buttons[] = { "PTT", "A/P DISC", "A/T DISC", "BRAKE L", "BRAKE R", "REVERSE L", "REVERSE R", "FLAP IN",
        "FLAP OUT", "SPD BRK IN", "SPD BRK OUT", "GEAR LVR", "STAB ANU", "STAB AND", "F/D L", "F/D R", "PARK BRK" };
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        EXPECT_STREQ(CockpitButtonName(b), buttons[b]);
    }
    EXPECT_STREQ(CockpitButtonName(17), "UNKNOWN BTN");
    EXPECT_STREQ(CockpitButtonName(-1), "UNKNOWN BTN");

    EXPECT_STREQ(AxisInputName(InputX), "X");
    EXPECT_STREQ(AxisInputName(InputSL2), "SL2");
    EXPECT_STREQ(AxisInputName(InputVRx), "vRx");
    EXPECT_STREQ(AxisInputName(InputASL1), "aSL1");
    EXPECT_STREQ(AxisInputName(24), "");
    EXPECT_STREQ(AxisInputName(-1), "");
}

TEST(ControlProcessorWarnings, TenAreKeptTheEleventhOnlySetsTheFlag)
{
    ControlProcessor processor;
    EXPECT_FALSE(processor.HasWarnings());
    for (int i = 0; i < 11; ++i) {
        processor.AddWarning(("warning " + std::to_string(i)).c_str());
    }
    WarningList list {};
    processor.GetWarnings(list);
    EXPECT_TRUE(processor.HasWarnings());
    EXPECT_EQ(list.count, 10);
    EXPECT_EQ(list.present, 1);
    EXPECT_STREQ(list.messages[0], "warning 0");
    EXPECT_STREQ(list.messages[9], "warning 9");

    processor.ClearWarnings();
    EXPECT_FALSE(processor.HasWarnings());
    processor.AddWarning(std::string(400, 'w').c_str());
    processor.GetWarnings(list);
    EXPECT_EQ(list.count, 1);
    EXPECT_EQ(std::string(list.messages[0]), std::string(255, 'w'));
    EXPECT_EQ(list.messages[1][0], '\0');
}

TEST(ControlProcessorWarnings, NotesAreListedWithoutRaisingTheFlagAndOnlySomeGiveWay)
{
    ControlProcessor processor;
    processor.AddNote("lost joystick", NoteKind::Stays);
    for (int i = 0; i < 9; ++i) {
        processor.AddNote(("lacks key " + std::to_string(i)).c_str(), NoteKind::GivesWay);
    }
    WarningList list {};
    processor.GetWarnings(list);
    EXPECT_EQ(list.count, 10);
    EXPECT_EQ(list.present, 0);
    EXPECT_FALSE(processor.HasWarnings()) << "Tavelin's own notes are no described warnings";

    // A full list: a note that gives way makes room for one that stays and
    // for a warning; a note that gives way finds none.
    processor.AddNote("lacks key 9", NoteKind::GivesWay);
    processor.AddNote("another lost joystick", NoteKind::Stays);
    processor.AddWarning("no match");
    processor.GetWarnings(list);
    EXPECT_EQ(list.count, 10);
    EXPECT_TRUE(processor.HasWarnings());
    EXPECT_STREQ(list.messages[0], "lost joystick");
    EXPECT_STREQ(list.messages[7], "lacks key 6");
    EXPECT_STREQ(list.messages[8], "another lost joystick");
    EXPECT_STREQ(list.messages[9], "no match");
    EXPECT_EQ(processor.WarningsNotShown(), 3);

    // Only notes that stay and warnings left: nothing makes room any more.
    processor.ClearWarnings();
    for (int i = 0; i < 10; ++i) {
        processor.AddNote("stays", NoteKind::Stays);
    }
    processor.AddWarning("dropped");
    processor.GetWarnings(list);
    EXPECT_STREQ(list.messages[9], "stays");
    EXPECT_TRUE(processor.HasWarnings()) << "the flag counts a warning that found no room";
    EXPECT_EQ(processor.WarningsNotShown(), 1);
}

TEST(ControlProcessorSlots, NamesAndInputsAreBoundedBySlotAndInputNumber)
{
    ControlProcessor processor;
    processor.SetSlotName("Stick", 0);
    processor.SetSlotName(std::string(300, 'n').c_str(), 3);
    processor.SetSlotName("ignored", 4);
    processor.SetSlotName("ignored", -1);
    EXPECT_STREQ(processor.GetSlotName(0), "Stick");
    EXPECT_EQ(std::string(processor.GetSlotName(3)), std::string(255, 'n'));
    EXPECT_STREQ(processor.GetSlotName(4), "Out Of Range");
    EXPECT_STREQ(processor.GetSlotName(-1), "Out Of Range");

    JoystickState state = ProcessorTest::MakeState(1);
    for (int i = 0; i < 8; ++i) {
        state.axes[i] = 100 + i;
        state.velocities[i] = 200 + i;
        state.accelerations[i] = 300 + i;
    }
    const JoystickState* table[kJoystickSlots] = { &state, &state, nullptr, &state };
    EXPECT_EQ(ControlProcessor::ReadInput(InputX, 0, table, 1), 100);
    EXPECT_EQ(ControlProcessor::ReadInput(InputSL2, 0, table, 1), 107);
    EXPECT_EQ(ControlProcessor::ReadInput(InputVX, 0, table, 1), 200);
    EXPECT_EQ(ControlProcessor::ReadInput(InputVSL2, 1, table, 2), 207);
    EXPECT_EQ(ControlProcessor::ReadInput(InputAX, 0, table, 1), 300);
    EXPECT_EQ(ControlProcessor::ReadInput(InputASL2, 0, table, 1), 307);
    EXPECT_EQ(ControlProcessor::ReadInput(24, 0, table, 1), 0);
    EXPECT_EQ(ControlProcessor::ReadInput(-1, 0, table, 1), 0);
    EXPECT_EQ(ControlProcessor::ReadInput(InputX, 1, table, 1), 0); // not attached
    EXPECT_EQ(ControlProcessor::ReadInput(InputX, -1, table, 4), 0);
    EXPECT_EQ(ControlProcessor::ReadInput(InputX, 2, table, 4), 0); // no record
    EXPECT_EQ(ControlProcessor::ReadInput(InputX, 4, table, 9), 0); // a count beyond the slots
}

// --- assignment accessors ---------------------------------------------------------

TEST_F(ProcessorFixture, AxisAndEyeViewSettersAcceptOnlyWhatTheyMay)
{
    processor.SetAxisAssignment(AxisTiller, 2, 77, InputRz);
    EXPECT_EQ(processor.GetAxisSlot(AxisTiller), 2);
    EXPECT_EQ(processor.GetAxisInput(AxisTiller), InputRz);
    EXPECT_EQ(LoadAxisAssignment(block, Block::kTillerRecord).joystickId, 77);
    EXPECT_EQ(processor.GetAxisInput(5), 0);
    EXPECT_EQ(processor.GetAxisSlot(42), 0);

    const AxisAssignment eyeBefore = LoadAxisAssignment(block, Block::kEyeViewRecord);
    processor.SetAxisAssignment(AxisEyeView, 1, 99, 2);
    processor.SetAxisAssignment(5, 1, 99, 2);
    const AxisAssignment eyeAfter = LoadAxisAssignment(block, Block::kEyeViewRecord);
    EXPECT_EQ(std::memcmp(&eyeBefore, &eyeAfter, sizeof eyeBefore), 0);

    processor.SetCounts(3, ControlProcessor::kInputCount);
    processor.SetEyeViewJoystick(3, 1234); // equal to the count: accepted
    EXPECT_EQ(processor.GetEyeViewSlot(), 3);
    EXPECT_EQ(LoadAxisAssignment(block, Block::kEyeViewRecord).joystickId, 1234);
    processor.SetEyeViewJoystick(4, 5678);
    processor.SetEyeViewJoystick(-1, 5678);
    EXPECT_EQ(processor.GetEyeViewSlot(), 3);
    EXPECT_EQ(LoadAxisAssignment(block, Block::kEyeViewRecord).joystickId, 1234);

    processor.SetEyeViewInput(3);
    EXPECT_EQ(processor.GetEyeViewInput(), 3);
    processor.SetEyeViewInput(4);
    processor.SetEyeViewInput(-1);
    EXPECT_EQ(processor.GetEyeViewInput(), 3);
}

TEST_F(ProcessorFixture, ButtonSettersWriteTheirMirrorBytesOnlyForTheFirstThreeButtons)
{
    processor.SetButtonAssignment(ButtonApDisc, 1, 7, 500);
    processor.SetButtonAssignment(ButtonAtDisc, 2, 300, 501); // only the low byte is mirrored
    processor.SetButtonAssignment(ButtonPtt, 0, 2, 502);
    EXPECT_EQ(Byte(Block::kApDiscButtonMirror), 7);
    EXPECT_EQ(Byte(Block::kAtDiscButtonMirror), 300 & 0xFF);
    EXPECT_EQ(Byte(Block::kPttButtonMirror), 2);
    EXPECT_EQ(processor.GetButtonSlot(ButtonApDisc), 1);
    EXPECT_EQ(processor.GetButtonNumber(ButtonApDisc), 7);
    EXPECT_EQ(LoadButtonAssignment(block, ButtonApDisc).joystickId, 500);

    processor.SetButtonNumber(ButtonPtt, -1);
    EXPECT_EQ(Byte(Block::kPttButtonMirror), 255);
    EXPECT_EQ(processor.GetButtonSlot(ButtonPtt), 0);
    EXPECT_EQ(LoadButtonAssignment(block, ButtonPtt).joystickId, 502);

    processor.SetButtonJoystick(ButtonApDisc, 3, 600);
    EXPECT_EQ(processor.GetButtonSlot(ButtonApDisc), 3);
    EXPECT_EQ(processor.GetButtonNumber(ButtonApDisc), 7);
    EXPECT_EQ(LoadButtonAssignment(block, ButtonApDisc).joystickId, 600);

    processor.SetButtonAssignment(ButtonGearLvr, 2, 9, 700);
    processor.SetButtonAssignment(17, 2, 9, 700);
    processor.SetButtonAssignment(-1, 2, 9, 700);
    EXPECT_EQ(processor.GetButtonNumber(ButtonGearLvr), 9);
    EXPECT_EQ(Byte(Block::kApDiscButtonMirror), 7);
    EXPECT_EQ(Byte(Block::kAtDiscButtonMirror), 300 & 0xFF);
    EXPECT_EQ(Byte(Block::kPttButtonMirror), 255);
    // The records around the last one are not touched by out-of-range numbers.
    EXPECT_EQ(Block::LoadInt32(block, Block::ButtonRecord(kCockpitButtonCount) + Block::kRecordInput), 0);
    EXPECT_EQ(processor.GetButtonNumber(17), 0);
}

TEST_F(ProcessorFixture, RecordAccessorsOfTheFilesTouchOnlyWhatTheyNameAndNeverTheMirrors)
{
    // The entries are the rows of the axis table; out of range reads zeros and writes nothing.
    const std::vector<unsigned char> setupBefore(static_cast<const unsigned char*>(block) + Block::kJoystickSetup,
        static_cast<const unsigned char*>(block) + Block::kSize);
    AxisAssignment junk {};
    junk.joystickId = 77;
    junk.input = 5;
    processor.SetAxisRecord(-1, junk);
    processor.SetAxisRecord(CockpitAxisTable::kRowCount, junk);
    processor.SetTuning(CockpitAxisTable::kRowCount, ControlProcessor::Tuning::First, 9.0);
    ButtonAssignment button {};
    button.buttonNumber = 3;
    processor.SetButtonRecord(kCockpitButtonCount, button);
    processor.SetButtonRecord(-1, button);
    const std::vector<unsigned char> setupAfter(static_cast<const unsigned char*>(block) + Block::kJoystickSetup,
        static_cast<const unsigned char*>(block) + Block::kSize);
    EXPECT_EQ(setupAfter, setupBefore);
    EXPECT_EQ(processor.GetAxisRecord(CockpitAxisTable::kRowCount).joystickId, 0);
    EXPECT_EQ(processor.GetButtonRecord(kCockpitButtonCount).buttonNumber, 0);

    // The eye view has no tuning values: 0.0, and setting one changes no setting.
    const int eye = CockpitAxisTable::IndexOf(AxisEyeView);
    ASSERT_GE(eye, 0);
    std::vector<double> settings;
    for (std::size_t i = 0; i < Block::kControlSettingsCount; ++i) {
        SetDouble(Block::kControlSettings + 8 * i, 1.0 + static_cast<double>(i));
        settings.push_back(1.0 + static_cast<double>(i));
    }
    processor.SetTuning(eye, ControlProcessor::Tuning::Second, 42.0);
    EXPECT_EQ(processor.GetTuning(eye, ControlProcessor::Tuning::Second), 0.0);
    for (std::size_t i = 0; i < Block::kControlSettingsCount; ++i) {
        EXPECT_EQ(Output(Block::kControlSettings + 8 * i), settings[i]) << i;
    }

    // A whole button record as a file gives it leaves the simulator's mirror alone.
    processor.SetButtonAssignment(ButtonApDisc, 0, 4, 500);
    button.joystickId = 900;
    processor.SetButtonRecord(ButtonApDisc, button);
    EXPECT_EQ(processor.GetButtonNumber(ButtonApDisc), 3);
    EXPECT_EQ(LoadButtonAssignment(block, ButtonApDisc).joystickId, 900);
    EXPECT_EQ(Byte(Block::kApDiscButtonMirror), 4);

    // Not attached: zeros, and nothing to write to.
    processor.Detach();
    EXPECT_EQ(processor.GetDefaultJoystickId(), 0);
    EXPECT_EQ(processor.GetConfigurationName(), "");
    EXPECT_EQ(processor.GetTuning(0, ControlProcessor::Tuning::First), 0.0);
    processor.SetConfigurationName("ignored");
    processor.SetAxisRecord(0, junk);
}

// --- resolution ---------------------------------------------------------------------

TEST_F(ProcessorFixture, ResolutionOrderMatchesAndWarningTexts)
{
    // Slots 1 and 3 carry the same ID: the lower slot wins.
    states[3].joystickId = kJoystickIds[1];
    processor.SetAxisAssignment(AxisPitch, 3, static_cast<std::int32_t>(kJoystickIds[1]), InputY);
    processor.SetAxisAssignment(AxisRoll, 3, 0x7777, InputX); // unknown: warning
    processor.SetAxisAssignment(AxisPedals, 2, 0, InputRz); // ID 0: slot 0 without warning
    processor.SetAxisAssignment(AxisTiller, 0, static_cast<std::int32_t>(kJoystickIds[2]), InputZ);
    processor.SetButtonAssignment(ButtonParkBrk, 1, 1, 0x7001);
    processor.SetButtonAssignment(ButtonGearLvr, 1, 1, 0x7002);
    processor.SetButtonAssignment(ButtonStabAnu, 1, 1, 0x7003);
    SetRecordField(Block::kEyeViewRecord, Block::kRecordJoystickId, 0x7004);
    SetRecordField(Block::kThrustLeverFilterRecord, Block::kRecordSlot, 3);
    SetRecordField(Block::kThrustLeverFilterRecord, Block::kRecordJoystickId, 0x7005);

    Cycle(3);
    EXPECT_EQ(processor.GetAxisSlot(AxisPitch), 1);
    EXPECT_EQ(processor.GetAxisSlot(AxisRoll), 0);
    EXPECT_EQ(processor.GetAxisSlot(AxisPedals), 0);
    EXPECT_EQ(processor.GetAxisSlot(AxisTiller), 2);
    EXPECT_EQ(processor.GetEyeViewSlot(), 0);
    EXPECT_EQ(processor.GetButtonSlot(ButtonGearLvr), 0);
    // Unmatched and zero IDs take the slot-0 joystick's ID.
    EXPECT_EQ(LoadAxisAssignment(block, Block::kRollRecord).joystickId, static_cast<std::int32_t>(kJoystickIds[0]));
    EXPECT_EQ(LoadAxisAssignment(block, Block::kPedalsRecord).joystickId, static_cast<std::int32_t>(kJoystickIds[0]));
    EXPECT_EQ(LoadAxisAssignment(block, Block::kTillerRecord).joystickId, static_cast<std::int32_t>(kJoystickIds[2]));
    // The record of the thrust-lever filter set-up is never resolved.
    EXPECT_EQ(LoadAxisAssignment(block, Block::kThrustLeverFilterRecord).slot, 3);
    EXPECT_EQ(LoadAxisAssignment(block, Block::kThrustLeverFilterRecord).joystickId, 0x7005);

    WarningList list {};
    processor.GetWarnings(list);
    ASSERT_EQ(list.count, 5);
    EXPECT_EQ(std::string(list.messages[0]), NoMatch("ROLL"));
    EXPECT_EQ(std::string(list.messages[1]), NoMatch("EYE_VIEW"));
    EXPECT_EQ(std::string(list.messages[2]), NoMatch("STAB ANU"));
    EXPECT_EQ(std::string(list.messages[3]), NoMatch("GEAR LVR"));
    EXPECT_EQ(std::string(list.messages[4]), NoMatch("PARK BRK"));
}

TEST_F(ProcessorFixture, ResolvesAgainWhenTheCountChangesWithoutRepeatingWarnings)
{
    // First cycle with two joysticks resolves twice (cycle 0 and a new top index):
    // the replaced ID matches slot 0 the second time, so one warning only.
    processor.SetAxisAssignment(AxisPitch, 0, 0x5555, InputY);
    Cycle(2);
    WarningList list {};
    processor.GetWarnings(list);
    EXPECT_EQ(list.count, 1);

    // The window assigns ROLL to slot 3's joystick, not attached yet.
    AssignAxis(AxisRoll, 3, InputX);
    Cycle(2);
    EXPECT_EQ(processor.GetAxisSlot(AxisRoll), 3); // same count: not resolved
    Cycle(4);
    EXPECT_EQ(processor.GetAxisSlot(AxisRoll), 3);
    EXPECT_EQ(processor.GetAxisSlot(AxisPitch), 0);
    processor.GetWarnings(list);
    EXPECT_EQ(list.count, 1);

    // Down to one joystick: ROLL's joystick is gone, so it warns and moves.
    Cycle(1);
    EXPECT_EQ(processor.GetAxisSlot(AxisRoll), 0);
    processor.GetWarnings(list);
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(std::string(list.messages[1]), NoMatch("ROLL"));

    // ResetCycleCount resolves again on the next cycle.
    AssignAxis(AxisTiller, 1, InputX);
    Cycle(1);
    EXPECT_EQ(processor.GetAxisSlot(AxisTiller), 1);
    processor.ResetCycleCount();
    EXPECT_EQ(processor.GetCycleCount(), 0);
    Cycle(1);
    EXPECT_EQ(processor.GetCycleCount(), 1);
    EXPECT_EQ(processor.GetAxisSlot(AxisTiller), 0);
}

// --- axes -------------------------------------------------------------------------------

TEST_F(ProcessorFixture, PedalsAndTillerRemoveTheDeadBandWithoutFiltering)
{
    AssignAxis(AxisPedals, 0, InputRz);
    AssignAxis(AxisTiller, 1, InputSL1);
    SetDouble(Block::kPedalsSensitivity, 0.002);
    SetDouble(Block::kTillerSensitivity, 0.01);
    SetDouble(Block::kTillerDeadBand, 1.0);
    const struct {
        std::int32_t raw;
        double pedals;
        double tiller;
    } steps[] = { { 10000, 19.5, 99.0 }, { 200, 0.0, 1.0 }, { -300, -0.1, -2.0 }, { -10000, -19.5, -99.0 },
        { 50, 0.0, 0.0 } };
    for (const auto& step : steps) {
        states[0].axes[InputRz] = step.raw;
        states[1].axes[InputSL1] = step.raw;
        Cycle(2);
        EXPECT_NEAR(Output(Block::kPedalsOutput), step.pedals, 1e-12) << step.raw;
        EXPECT_NEAR(Output(Block::kTillerOutput), step.tiller, 1e-12) << step.raw;
    }
}

TEST_F(ProcessorFixture, PitchAndRollPassTheirLagFilterBeforeTheDeadBand)
{
    AssignAxis(AxisPitch, 0, InputY);
    AssignAxis(AxisRoll, 0, InputX);
    SetDouble(Block::kPitchSensitivity, 0.002);
    SetDouble(Block::kPitchDeadBand, 0.0);
    SetDouble(Block::kRollSensitivity, -0.001);
    SetDouble(Block::kRollDeadBand, 1.0);
    states[0].axes[InputY] = 10000;
    states[0].axes[InputX] = 10000;
    const double pitch[] = { 8.0, 12.8, 15.68 };
    const double roll[] = { -3.0, -5.4, -6.84 }; // -4, -6.4, -7.84 less the band
    for (int i = 0; i < 3; ++i) {
        Cycle();
        EXPECT_NEAR(Output(Block::kPitchOutput), pitch[i], 1e-9) << i;
        EXPECT_NEAR(Output(Block::kRollOutput), roll[i], 1e-9) << i;
    }
}

TEST_F(ProcessorFixture, ThrustLeverPercentAndEveryDetentBand)
{
    AssignAxis(AxisThrLvrL, 0, InputZ);
    AssignAxis(AxisThrLvrR, 1, InputZ);
    SetDouble(Block::kThrLvrLSensitivity, 1.0);
    SetDouble(Block::kThrLvrRSensitivity, 1.0);
    SetDouble(Block::kThrLvrLFilterTimeConstant, 0.0);
    SetDouble(Block::kThrLvrRFilterTimeConstant, 0.0);
    // raw -> percent before the gates -> published
    const struct {
        std::int32_t raw;
        double published;
    } steps[] = { { 10000, 0.0 }, { 0, 50.0 }, { -5800, 79.0 }, { -6100, 80.0 }, { -6400, 80.0 }, { -6600, 80.0 },
        { -8000, 87.0 }, { -8990, 91.95 }, { -9000, 92.0 }, { -9400, 92.0 }, { -9700, 92.5 }, { -9790, 92.95 },
        { -9820, 100.0 }, { -10000, 100.0 } };
    for (const auto& step : steps) {
        states[0].axes[InputZ] = step.raw;
        states[1].axes[InputZ] = step.raw;
        Cycle(2);
        EXPECT_NEAR(Output(Block::kThrLvrLOutput), step.published, 1e-9) << step.raw;
        EXPECT_NEAR(Output(Block::kThrLvrROutput), step.published, 1e-9) << step.raw;
    }

    // Sensitivity and offset apply before the gates: 25 * 2 + 40 = 90 -> 87.
    SetDouble(Block::kThrLvrLSensitivity, 2.0);
    SetDouble(Block::kThrLvrLOffset, 40.0);
    states[0].axes[InputZ] = 5000;
    Cycle(2);
    EXPECT_NEAR(Output(Block::kThrLvrLOutput), 87.0, 1e-9);
}

TEST_F(ProcessorFixture, ThrustLeversUseTheirOwnFiltersTimeConstantsAndPublishFlags)
{
    AssignAxis(AxisThrLvrL, 0, InputZ);
    AssignAxis(AxisThrLvrR, 0, InputRz);
    SetDouble(Block::kThrLvrLSensitivity, 1.0);
    SetDouble(Block::kThrLvrRSensitivity, 1.0);
    SetDouble(Block::kThrLvrLFilterTimeConstant, 0.05); // step factor 0.2
    SetDouble(Block::kThrLvrRFilterTimeConstant, 0.02); // step factor 0.5
    states[0].axes[InputZ] = 0; // 50 percent
    states[0].axes[InputRz] = 0;
    Cycle();
    EXPECT_NEAR(Output(Block::kThrLvrLOutput), 10.0, 1e-9);
    EXPECT_NEAR(Output(Block::kThrLvrROutput), 25.0, 1e-9);

    // A changed time constant counts from ApplyFilterTimeConstants on; a negative one is refused.
    SetDouble(Block::kThrLvrLFilterTimeConstant, 0.0);
    SetDouble(Block::kThrLvrRFilterTimeConstant, -1.0);
    Cycle();
    EXPECT_NEAR(Output(Block::kThrLvrLOutput), 18.0, 1e-9);
    EXPECT_NEAR(Output(Block::kThrLvrROutput), 37.5, 1e-9);
    processor.ApplyFilterTimeConstants();
    Cycle();
    EXPECT_NEAR(Output(Block::kThrLvrLOutput), 50.0, 1e-9);
    EXPECT_NEAR(Output(Block::kThrLvrROutput), 43.75, 1e-9);

    // A cleared publish flag leaves the output alone while the filter keeps running.
    EXPECT_TRUE(processor.GetPublishFlag(0));
    processor.SetPublishFlag(0, false);
    SetDouble(Block::kThrLvrLOutput, -123.0);
    states[0].axes[InputZ] = 10000;
    Cycle();
    EXPECT_EQ(Output(Block::kThrLvrLOutput), -123.0);
    EXPECT_NEAR(Output(Block::kThrLvrROutput), 46.875, 1e-9);
    processor.SetPublishFlag(1, false);
    processor.SetPublishFlag(0, true);
    SetDouble(Block::kThrLvrROutput, -7.0);
    Cycle();
    EXPECT_EQ(Output(Block::kThrLvrLOutput), 0.0);
    EXPECT_EQ(Output(Block::kThrLvrROutput), -7.0);
}

TEST_F(ProcessorFixture, ZeroRangeAndNonFiniteValuesPublishFiniteNumbers)
{
    // Slot 2 never held a joystick: its range is 0, so the lever has no travel.
    // (Its ID reads 0, which is what an unassigned record holds, so records resolve to it.)
    states[2] = JoystickState {};
    SetDouble(Block::kThrLvrLSensitivity, 1.0);
    SetDouble(Block::kThrLvrLOffset, 5.0);
    SetDouble(Block::kThrLvrLFilterTimeConstant, 0.0);
    Cycle(3);
    ASSERT_EQ(processor.GetAxisSlot(AxisThrLvrL), 2);
    EXPECT_EQ(Output(Block::kThrLvrLOutput), 5.0);

    // Garbage tuning values publish 0 and do not poison the filters.
    AssignAxis(AxisPitch, 0, InputY);
    AssignAxis(AxisRoll, 0, InputY);
    AssignAxis(AxisPedals, 0, InputY);
    AssignAxis(AxisThrLvrR, 0, InputY);
    states[0].axes[InputY] = 10000;
    SetDouble(Block::kPitchSensitivity, std::numeric_limits<double>::quiet_NaN());
    SetDouble(Block::kPitchDeadBand, 0.0);
    SetDouble(Block::kRollSensitivity, 0.002);
    SetDouble(Block::kRollDeadBand, -std::numeric_limits<double>::infinity());
    SetDouble(Block::kPedalsSensitivity, std::numeric_limits<double>::infinity());
    SetDouble(Block::kThrLvrRSensitivity, std::numeric_limits<double>::infinity());
    SetDouble(Block::kThrLvrRFilterTimeConstant, 0.025);
    processor.ApplyFilterTimeConstants();
    for (int i = 0; i < 3; ++i) {
        Cycle(3);
        EXPECT_EQ(Output(Block::kPitchOutput), 0.0);
        EXPECT_EQ(Output(Block::kRollOutput), 0.0);
        EXPECT_EQ(Output(Block::kPedalsOutput), 0.0);
        EXPECT_EQ(Output(Block::kThrLvrROutput), 0.0);
    }
    // Once the values are sane again the filters start from rest.
    SetDouble(Block::kPitchSensitivity, 0.002);
    SetDouble(Block::kRollDeadBand, 0.0);
    SetDouble(Block::kThrLvrRSensitivity, 1.0);
    states[0].axes[InputY] = -10000; // 100 percent
    Cycle(3);
    EXPECT_NEAR(Output(Block::kPitchOutput), -8.0, 1e-9);
    EXPECT_NEAR(Output(Block::kRollOutput), -8.0, 1e-9);
    EXPECT_NEAR(Output(Block::kThrLvrROutput), 40.0, 1e-9);
}

// --- buttons and the switch panel ------------------------------------------------------

TEST_F(ProcessorFixture, ButtonsReadReleasedUnlessTheyNameAnAttachedPressedButton)
{
    states[0].buttonCount = 12;
    for (auto& button : states[0].buttons) {
        button = 1;
    }
    states[1].buttons[0] = 1;
    AssignButton(ButtonApDisc, 0, -1);
    AssignButton(ButtonAtDisc, 0, 0);
    AssignButton(ButtonPtt, 0, 13); // above the button count
    AssignButton(ButtonBrakeL, 0, 12);
    AssignButton(ButtonBrakeR, 1, 1);
    Cycle(2);
    EXPECT_EQ(Byte(Block::kApDiscPressed), 0);
    EXPECT_EQ(Byte(Block::kAtDiscPressed), 0);
    EXPECT_EQ(Byte(Block::kPttPressed), 0);
    EXPECT_EQ(Byte(Block::kBrakeLPressed), 1);
    EXPECT_EQ(Byte(Block::kBrakeRPressed), 1);
    // Slot 1 no longer attached (the top index is unchanged, so nothing is resolved).
    processor.SetCounts(1, ControlProcessor::kInputCount);
    processor.ProcessCycle(0.01, table, 1);
    EXPECT_EQ(Byte(Block::kBrakeRPressed), 0);
    EXPECT_EQ(Byte(Block::kBrakeLPressed), 1);

    // Numbers and slots written by another program are checked before use.
    states[0].buttonCount = 1000;
    states[0].velocities[0] = -1; // the bytes just past the 32 buttons read as pressed
    SetRecordField(Block::ButtonRecord(ButtonBrakeL), Block::kRecordInput, 33);
    SetRecordField(Block::ButtonRecord(ButtonPtt), Block::kRecordInput, 1);
    SetRecordField(Block::ButtonRecord(ButtonPtt), Block::kRecordSlot, 4);
    SetRecordField(Block::ButtonRecord(ButtonApDisc), Block::kRecordInput, 1);
    SetRecordField(Block::ButtonRecord(ButtonApDisc), Block::kRecordSlot, -1);
    processor.SetCounts(2, ControlProcessor::kInputCount);
    processor.ProcessCycle(0.01, table, 1); // same count: the garbage slots stay in place
    EXPECT_EQ(Byte(Block::kBrakeLPressed), 0);
    EXPECT_EQ(Byte(Block::kPttPressed), 0);
    EXPECT_EQ(Byte(Block::kApDiscPressed), 0);
}

TEST_F(ProcessorFixture, ReversersShareOneByteAndSwitchStatesReachThePanel)
{
    AssignButton(ButtonReverseL, 0, 1);
    AssignButton(ButtonReverseR, 0, 2);
    const struct {
        std::uint8_t left, right, published;
    } cases[] = { { 0, 0, 0 }, { 1, 0, 1 }, { 0, 1, 1 }, { 1, 1, 1 } };
    for (const auto& c : cases) {
        states[0].buttons[0] = c.left;
        states[0].buttons[1] = c.right;
        Cycle();
        EXPECT_EQ(Byte(Block::kReverserPressed), c.published) << int(c.left) << int(c.right);
        EXPECT_EQ(panel.reverseL, c.left);
        EXPECT_EQ(panel.reverseR, c.right);
    }

    const std::int32_t panelButtons[] = { ButtonFlapIn, ButtonFlapOut, ButtonSpdBrkIn, ButtonSpdBrkOut, ButtonStabAnu,
        ButtonStabAnd, ButtonFdL, ButtonFdR };
    for (int i = 0; i < 8; ++i) {
        AssignButton(panelButtons[i], 1, 3 + i);
    }
    std::memset(panel.notWritten4, 0xA5, sizeof panel.notWritten4);
    std::memset(panel.notWritten16, 0x5A, sizeof panel.notWritten16);
    for (int pressed = 0; pressed < 8; ++pressed) {
        for (int i = 0; i < 8; ++i) {
            states[1].buttons[2 + i] = i == pressed ? 1 : 0;
        }
        Cycle(2);
        const std::uint8_t seen[] = { panel.flapIn, panel.flapOut, panel.spdBrkIn, panel.spdBrkOut, panel.stabAnu,
            panel.stabAnd, panel.fdL, panel.fdR };
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(seen[i], i == pressed ? 1 : 0) << pressed << " " << i;
        }
    }
    EXPECT_EQ(panel.notWritten4[0], 0xA5);
    EXPECT_EQ(panel.notWritten4[1], 0xA5);
    for (const std::uint8_t byte : panel.notWritten16) {
        EXPECT_EQ(byte, 0x5A);
    }
}

TEST_F(ProcessorFixture, GearAndParkBrakeEdgesLastOneCycleEach)
{
    AssignButton(ButtonGearLvr, 0, 5);
    AssignButton(ButtonParkBrk, 0, 6);
    states[0].buttons[5] = 1; // park brake held before processing starts
    const std::uint8_t gear[] = { 0, 1, 1, 1, 0, 0, 1 };
    const std::uint8_t gearPressed[] = { 0, 1, 0, 0, 0, 0, 1 };
    const std::uint8_t gearReleased[] = { 0, 0, 0, 0, 1, 0, 0 };
    const std::uint8_t park[] = { 1, 1, 0, 0, 1, 1, 1 };
    const std::uint8_t parkPressed[] = { 1, 0, 0, 0, 1, 0, 0 };
    const std::uint8_t parkReleased[] = { 0, 0, 1, 0, 0, 0, 0 };
    for (int i = 0; i < 7; ++i) {
        states[0].buttons[4] = gear[i];
        states[0].buttons[5] = park[i];
        Cycle();
        EXPECT_EQ(panel.gearState, gear[i]) << i;
        EXPECT_EQ(panel.gearPressed, gearPressed[i]) << i;
        EXPECT_EQ(panel.gearReleased, gearReleased[i]) << i;
        EXPECT_EQ(panel.parkBrakeState, park[i]) << i;
        EXPECT_EQ(panel.parkBrakePressed, parkPressed[i]) << i;
        EXPECT_EQ(panel.parkBrakeReleased, parkReleased[i]) << i;
        EXPECT_EQ(panel.gearAlwaysOne, 1);
        EXPECT_EQ(panel.parkBrakeAlwaysOne, 1);
    }
}

TEST_F(ProcessorFixture, EyeAngleComesFromTheAssignedHatOfALimitedSlot)
{
    states[0].pov[0] = 90;
    states[1].pov[1] = 180;
    states[1].pov[3] = 270;
    panel.eyeAngle = 12345;
    Cycle(2); // POV number 0: left as it was
    EXPECT_EQ(panel.eyeAngle, 12345);

    processor.SetEyeViewJoystick(0, static_cast<std::int32_t>(kJoystickIds[0]));
    processor.SetEyeViewInput(1);
    Cycle(2);
    EXPECT_EQ(panel.eyeAngle, 90);

    // A slot above the attached ones reads the highest attached slot.
    SetRecordField(Block::kEyeViewRecord, Block::kRecordSlot, 3);
    SetRecordField(Block::kEyeViewRecord, Block::kRecordInput, 2);
    Cycle(2);
    EXPECT_EQ(panel.eyeAngle, 180);
    // POV 4 is reachable from the record (a configuration file) though not from the setter.
    SetRecordField(Block::kEyeViewRecord, Block::kRecordInput, 4);
    Cycle(2);
    EXPECT_EQ(panel.eyeAngle, 270);
    SetRecordField(Block::kEyeViewRecord, Block::kRecordSlot, -5);
    SetRecordField(Block::kEyeViewRecord, Block::kRecordInput, 1);
    Cycle(2);
    EXPECT_EQ(panel.eyeAngle, 90);
    for (const std::int32_t pov : { 5, -1, 1 << 30 }) {
        SetRecordField(Block::kEyeViewRecord, Block::kRecordInput, pov);
        Cycle(2);
        EXPECT_EQ(panel.eyeAngle, 90) << pov;
    }
}

// --- display decisions ------------------------------------------------------------------

TEST(ControlProcessorDisplay, EyeViewTextsMatchExactAnglesOnly)
{
    const struct {
        std::int32_t angle;
        const char* text;
    } cases[] = { { 0, "Looking  Ahead" }, { 360, "Looking  Ahead" }, { 45, "Looking  Front Right" },
        { 90, "Looking  Right" }, { 135, "Looking  Behind Right" }, { 180, "Looking  Behind" },
        { 225, "Looking  Behind Left" }, { 270, "Looking  Left" }, { 315, "Looking  Front Left" },
        { 44, "      ---          " }, { 46, "      ---          " }, { -1, "      ---          " },
        { static_cast<std::int32_t>(0xFFFFFFFFu / 100), "      ---          " } };
    for (const auto& c : cases) {
        SwitchPanelState panel {};
        panel.eyeAngle = c.angle;
        EXPECT_STREQ(ControlProcessor::ShowEyeView(panel), c.text) << c.angle;
    }
}

TEST_F(ProcessorFixture, GearAndParkBrakeMessagesFollowTheSimulatorsFlags)
{
    SwitchPanelState shown {};
    GearAndParkBrakeDisplay display = ControlProcessor::ShowGearAndParkBrake(block, shown);
    EXPECT_EQ(display.gearLamp, LampPicture::Off);
    EXPECT_EQ(display.parkBrakeLamp, LampPicture::Off);
    EXPECT_EQ(display.gearMessage, nullptr);
    EXPECT_EQ(display.parkBrakeMessage, nullptr);

    shown.gearState = 1;
    shown.gearPressed = 1;
    shown.parkBrakeState = 1;
    shown.parkBrakePressed = 1;
    display = ControlProcessor::ShowGearAndParkBrake(block, shown);
    EXPECT_EQ(display.gearLamp, LampPicture::On);
    EXPECT_EQ(display.parkBrakeLamp, LampPicture::On);
    EXPECT_STREQ(display.gearMessage, "Gear Lever set to UP");
    EXPECT_STREQ(display.parkBrakeMessage, "Park Brake to ON");

    for (const std::size_t flag : { Block::kGearFlag1, Block::kGearFlag2 }) {
        Block::StoreByte(block, Block::kGearFlag1, 0);
        Block::StoreByte(block, Block::kGearFlag2, 0);
        Block::StoreByte(block, flag, 1);
        EXPECT_STREQ(ControlProcessor::ShowGearAndParkBrake(block, shown).gearMessage, "Gear Lever set to DOWN");
    }
    for (const std::size_t flag : { Block::kParkBrakeFlag1, Block::kParkBrakeFlag2 }) {
        Block::StoreByte(block, Block::kParkBrakeFlag1, 0);
        Block::StoreByte(block, Block::kParkBrakeFlag2, 0);
        Block::StoreByte(block, flag, 7);
        EXPECT_STREQ(ControlProcessor::ShowGearAndParkBrake(block, shown).parkBrakeMessage, "Park Brake to OFF");
    }

    // Held but not pressed in this cycle: lamp on, message left as it is.
    shown.gearPressed = 0;
    shown.parkBrakePressed = 0;
    display = ControlProcessor::ShowGearAndParkBrake(block, shown);
    EXPECT_EQ(display.gearLamp, LampPicture::On);
    EXPECT_EQ(display.gearMessage, nullptr);
    EXPECT_EQ(display.parkBrakeMessage, nullptr);
}

TEST_F(ProcessorFixture, NeutralIndicatorLightsOnlyStrictlyOutsideTheDeadBand)
{
    bool deflected = false;
    SetDouble(Block::kPitchOutput, 0.5); // dead bands are 0.5 after attach
    NeutralIndicatorDisplay display = ControlProcessor::ShowNeutralIndicator(block, deflected);
    EXPECT_FALSE(display.changeLamp);
    EXPECT_FALSE(deflected);

    SetDouble(Block::kPitchOutput, 0.51);
    display = ControlProcessor::ShowNeutralIndicator(block, deflected);
    EXPECT_TRUE(display.changeLamp);
    EXPECT_EQ(display.lamp, LampPicture::On);
    EXPECT_TRUE(deflected);

    SetDouble(Block::kPitchOutput, 0.0);
    display = ControlProcessor::ShowNeutralIndicator(block, deflected);
    EXPECT_TRUE(display.changeLamp);
    EXPECT_EQ(display.lamp, LampPicture::Off);
    EXPECT_FALSE(deflected);
    EXPECT_FALSE(ControlProcessor::ShowNeutralIndicator(block, deflected).changeLamp);

    for (const auto& [output, value] :
        { std::pair { Block::kRollOutput, -0.6 }, std::pair { Block::kPedalsOutput, 3.0 } }) {
        SetDouble(output, value);
        EXPECT_EQ(ControlProcessor::ShowNeutralIndicator(block, deflected).lamp, LampPicture::On);
        EXPECT_TRUE(deflected);
        SetDouble(output, 0.0);
        EXPECT_EQ(ControlProcessor::ShowNeutralIndicator(block, deflected).lamp, LampPicture::Off);
    }
    // The tiller does not count.
    SetDouble(Block::kTillerOutput, 30.0);
    EXPECT_FALSE(ControlProcessor::ShowNeutralIndicator(block, deflected).changeLamp);
}

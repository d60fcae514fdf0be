// examples/Joystick.ini, the configuration installed for a first start: the
// writer's own output for the default set-up, and it loads without a warning.
// TAVELIN_WRITE_DEFAULT_CONFIGURATION=<file> writes the set-up there instead
// of comparing (how the example is made).
#include "config/DefaultConfiguration.h"
#include "mapping/Assignments.h"
#include "mapping/GenericSimBlock.h"
#include "platform/virtual/VirtualJoystickFile.h"
#include "tests/config/configuration_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace Block = GenericSimBlock;
using ConfigTest::ReadBytes;

namespace {

// Full deflection (10000 counts) gives the window's display range in degrees.
constexpr double kPitchSensitivity = 20.0 / 10000.0;
constexpr double kRollSensitivity = 25.0 / 10000.0;
constexpr double kPedalsSensitivity = 25.0 / 10000.0;
constexpr double kTillerSensitivity = 15.0 / 10000.0;

std::string WithoutCarriageReturns(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c != '\r') {
            out += c;
        }
    }
    return out;
}

class DefaultConfiguration : public ConfigTest::ConfigurationFixture {
protected:
    void DefaultSetUp()
    {
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            processor.SetSlotName("No Joy Stick Attached", slot);
        }
        processor.SetSlotZeroJoystickId(0);
        Block::StoreInt32(block, Block::kDefaultJoystickId, 0);

        // Every control on the slot-0 joystick.
        SetAxis(Block::kPitchRecord, 0, InputY);
        SetAxis(Block::kRollRecord, 0, InputX);
        SetAxis(Block::kPedalsRecord, 0, InputRz);
        SetAxis(Block::kTillerRecord, 0, InputSL2);
        SetAxis(Block::kThrLvrLRecord, 0, InputZ);
        SetAxis(Block::kThrLvrRRecord, 0, InputSL1);
        SetAxis(Block::kThrustLeverFilterRecord, 0, 0);
        SetAxis(Block::kEyeViewRecord, 0, 1);

        SetSetting(Block::kPitchSensitivity, kPitchSensitivity);
        SetSetting(Block::kRollSensitivity, kRollSensitivity);
        SetSetting(Block::kPedalsSensitivity, kPedalsSensitivity);
        SetSetting(Block::kTillerSensitivity, kTillerSensitivity);
        for (const std::size_t deadBand :
            { Block::kPitchDeadBand, Block::kRollDeadBand, Block::kPedalsDeadBand, Block::kTillerDeadBand }) {
            SetSetting(deadBand, 0.5);
        }
        SetSetting(Block::kThrLvrLSensitivity, 1.0);
        SetSetting(Block::kThrLvrRSensitivity, 1.0);
        SetSetting(Block::kThrLvrLOffset, 0.0);
        SetSetting(Block::kThrLvrROffset, 0.0);
        SetSetting(Block::kThrLvrLFilterTimeConstant, 0.5);
        SetSetting(Block::kThrLvrRFilterTimeConstant, 0.5);

        // Buttons 1 to 16 down the file; PTT is left for the operator.
        const std::int32_t fileOrder[] = { ButtonApDisc, ButtonAtDisc, ButtonBrakeL, ButtonBrakeR, ButtonReverseL,
            ButtonReverseR, ButtonFlapIn, ButtonFlapOut, ButtonSpdBrkIn, ButtonSpdBrkOut, ButtonStabAnu, ButtonStabAnd,
            ButtonFdL, ButtonFdR, ButtonGearLvr, ButtonParkBrk };
        std::int32_t number = 1;
        for (const std::int32_t button : fileOrder) {
            SetButton(button, 0, number++);
        }
        SetButton(ButtonPtt, 0, -1);
    }

    const std::string m_example = std::string(TAVELIN_EXAMPLES_DIR) + "/Joystick.ini";
};

} // namespace

TEST_F(DefaultConfiguration, TheExampleIsTheWritersOutputForTheDefaultSetUp)
{
    DefaultSetUp();
    if (const char* target = std::getenv("TAVELIN_WRITE_DEFAULT_CONFIGURATION"); target != nullptr && *target != '\0') {
        ASSERT_TRUE(processor.SaveConfiguration(0, target)) << processor.GetErrorText();
        GTEST_SKIP() << "written to " << target;
    }
    const std::string saved = folder.File("Joystick.ini");
    ASSERT_TRUE(processor.SaveConfiguration(0, saved.c_str())) << processor.GetErrorText();
    const std::string example = ReadBytes(m_example);
    ASSERT_FALSE(example.empty()) << m_example;
    // Checked in with Linux line ends; a Windows save differs only in those.
    EXPECT_EQ(example.find('\r'), std::string::npos);
    EXPECT_EQ(WithoutCarriageReturns(ReadBytes(saved)), example);
}

TEST_F(DefaultConfiguration, TheCompiledInSetUpIsTheExampleAndLeavesTheSharedBlockAlone)
{
    // What a first start writes needs no installed file, and it is the example.
    SetSetting(Block::kPitchSensitivity, 0.125);
    const std::string written = folder.File("first-run/Joystick.ini");
    KQ_ErrorReport report;
    ASSERT_TRUE(::DefaultConfiguration::Write(written.c_str(), report)) << report.GetErrorText();
    EXPECT_EQ(WithoutCarriageReturns(ReadBytes(written)), ReadBytes(m_example));
    EXPECT_DOUBLE_EQ(Setting(Block::kPitchSensitivity), 0.125);

    // A folder that cannot be made gives the reason, not a file.
    const std::string blocked = folder.File("plain");
    ASSERT_TRUE(processor.SaveConfiguration(0, blocked.c_str()));
    const std::string below = blocked + "/Joystick.ini";
    EXPECT_FALSE(::DefaultConfiguration::Write(below.c_str(), report));
    EXPECT_NE(std::string(report.GetErrorText()), "");
}

TEST_F(DefaultConfiguration, TheExampleLoadsCleanlyIntoTheDefaultSetUp)
{
    ASSERT_TRUE(processor.LoadConfiguration(m_example.c_str())) << processor.GetErrorText();
    EXPECT_TRUE(Warnings().empty());
    EXPECT_FALSE(processor.HasWarnings());
    EXPECT_EQ(Name(), "DEFAULT_JOYSTICK_SETUP");

    EXPECT_EQ(Input(Block::kPitchRecord), InputY);
    EXPECT_EQ(Input(Block::kRollRecord), InputX);
    EXPECT_EQ(Input(Block::kPedalsRecord), InputRz);
    EXPECT_EQ(Input(Block::kTillerRecord), InputSL2);
    EXPECT_EQ(Input(Block::kThrLvrLRecord), InputZ);
    EXPECT_EQ(Input(Block::kThrLvrRRecord), InputSL1);
    EXPECT_EQ(Input(Block::kEyeViewRecord), 1);
    for (const std::size_t record : { Block::kPitchRecord, Block::kRollRecord, Block::kPedalsRecord,
             Block::kTillerRecord, Block::kThrLvrLRecord, Block::kThrLvrRRecord, Block::kEyeViewRecord }) {
        EXPECT_EQ(Id(record), 0) << record;
    }
    EXPECT_NEAR(Setting(Block::kPitchSensitivity) * 10000, 20.0, 1e-9);
    EXPECT_NEAR(Setting(Block::kRollSensitivity) * 10000, 25.0, 1e-9);
    EXPECT_NEAR(Setting(Block::kPedalsSensitivity) * 10000, 25.0, 1e-9);
    EXPECT_NEAR(Setting(Block::kTillerSensitivity) * 10000, 15.0, 1e-9);
    EXPECT_DOUBLE_EQ(Setting(Block::kPitchDeadBand), 0.5);
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrLSensitivity), 1.0);
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrROffset), 0.0);
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrLFilterTimeConstant), 0.5);
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrRFilterTimeConstant), 0.5);

    EXPECT_EQ(ButtonNumber(ButtonPtt), -1);
    EXPECT_EQ(ButtonNumber(ButtonApDisc), 1);
    EXPECT_EQ(ButtonNumber(ButtonGearLvr), 15);
    EXPECT_EQ(ButtonNumber(ButtonParkBrk), 16);
    for (std::int32_t button = 0; button < kCockpitButtonCount; ++button) {
        EXPECT_EQ(ButtonId(button), 0);
    }
}

// The second example: the set-up for the demo's virtual joysticks. Every
// control it assigns is on a joystick of the demo file, on an input that the
// joystick's own motion moves (or a button it has), and the file is what the
// writer makes of it.
TEST_F(DefaultConfiguration, TheDemoSetUpPutsEveryControlOnADemoJoystickInputThatExists)
{
    const std::string setUp = std::string(TAVELIN_EXAMPLES_DIR) + "/Joystick-virtual.ini";
    ASSERT_TRUE(processor.LoadConfiguration(setUp.c_str())) << processor.GetErrorText();
    EXPECT_TRUE(Warnings().empty());
    EXPECT_EQ(Name(), "ALTN_1_JOYSTICK_SETUP");

    std::vector<VirtualJoystick> demo;
    std::string error;
    ASSERT_TRUE(
        ParseVirtualJoysticks(ReadBytes(std::string(TAVELIN_EXAMPLES_DIR) + "/virtual-joysticks.ini"), demo, error))
        << error;
    std::map<std::int32_t, const VirtualJoystick*> byId;
    for (const VirtualJoystick& joystick : demo) {
        byId[static_cast<std::int32_t>(joystick.joystickId)] = &joystick;
    }
    // Which axes each joystick's motion moves in a minute.
    const auto moves = [](const VirtualJoystick& joystick, int axis) {
        DIJOYSTATE2 first;
        FillVirtualJoystickState(joystick, 0.0, first);
        for (double t = 0.1; t < 60.0; t += 0.1) {
            DIJOYSTATE2 state;
            FillVirtualJoystickState(joystick, t, state);
            const std::int32_t now[8] = { state.lX, state.lY, state.lZ, state.lRx, state.lRy, state.lRz,
                state.rglSlider[0], state.rglSlider[1] };
            const std::int32_t then[8] = { first.lX, first.lY, first.lZ, first.lRx, first.lRy, first.lRz,
                first.rglSlider[0], first.rglSlider[1] };
            if (now[axis] != then[axis]) {
                return true;
            }
        }
        return false;
    };
    const std::map<std::size_t, std::string> axes = { { Block::kPitchRecord, "Virtual Side Stick" },
        { Block::kRollRecord, "Virtual Side Stick" }, { Block::kTillerRecord, "Virtual Side Stick" },
        { Block::kPedalsRecord, "Virtual Rudder Pedals" }, { Block::kThrLvrLRecord, "Virtual Throttle Quadrant" },
        { Block::kThrLvrRRecord, "Virtual Throttle Quadrant" } };
    for (const auto& [record, device] : axes) {
        ASSERT_EQ(byId.count(Id(record)), 1u) << record;
        const VirtualJoystick& joystick = *byId[Id(record)];
        EXPECT_EQ(joystick.name, device) << record;
        EXPECT_TRUE(moves(joystick, Input(record))) << record << ": input " << Input(record) << " keeps still";
    }
    EXPECT_NE(Input(Block::kThrLvrLRecord), Input(Block::kThrLvrRRecord));
    for (std::int32_t button = 0; button < kCockpitButtonCount; ++button) {
        ASSERT_EQ(byId.count(ButtonId(button)), 1u) << button;
        const VirtualJoystick& joystick = *byId[ButtonId(button)];
        EXPECT_LE(ButtonNumber(button), joystick.buttons) << button;
    }
    EXPECT_EQ(byId[ButtonId(ButtonReverseL)]->name, "Virtual Throttle Quadrant");

    // Saved again as the first alternate, it is the same file.
    processor.SetSlotName("Virtual Side Stick", 0);
    processor.SetSlotName("Virtual Throttle Quadrant", 1);
    processor.SetSlotName("Virtual Rudder Pedals", 2);
    processor.SetSlotName("No Joy Stick Attached", 3);
    processor.SetSlotZeroJoystickId(static_cast<std::uint32_t>(demo.at(0).joystickId));
    const std::string saved = folder.File("Joystick1.ini");
    ASSERT_TRUE(processor.SaveConfiguration(1, saved.c_str())) << processor.GetErrorText();
    EXPECT_EQ(WithoutCarriageReturns(ReadBytes(saved)), ReadBytes(setUp));
}

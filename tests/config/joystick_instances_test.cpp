// [JOYSTICK_INSTANCES]: which of several identical joysticks a control
// takes, read, resolved and saved; files without the section as before.
#include "config/ConfigurationText.h"
#include "mapping/Assignments.h"
#include "mapping/GenericSimBlock.h"
#include "tests/config/configuration_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Block = GenericSimBlock;
using ConfigTest::ReadBytes;
using ConfigTest::WriteBytes;

namespace {

constexpr std::uint32_t kQuadrant = 0x0404044F; // two of them attached
constexpr std::uint32_t kStick = 0x0402044F;

const char* const kDescribedPart = "[FLIGHT_CONTROLS]\n"
                                   "SIDE_STICK_P_CNTL\t= 67241039\n"
                                   "PITCH_CNTL\t\t= 1\n"
                                   "#\n"
                                   "SIDE_STICK_R_CNTL\t= 67241039\n"
                                   "ROLL_CNTL\t\t= 0\n"
                                   "#\n"
                                   "THRUST_LVR_1\t= 67372111\n"
                                   "TLA_L_CNTL\t\t= 2\n"
                                   "#\n"
                                   "THRUST_LVR_2\t= 67372111\n"
                                   "TLA_R_CNTL\t\t= 2\n"
                                   "#\n"
                                   "[BUTTON_CONTROLS]\n"
                                   "REV_L_BTN_CNTL\t= 67372111\n"
                                   "REV_L_BTN\t\t= 1\n"
                                   "[ACCESS]\n"
                                   "CKPT_EYE_POV\t= 67241039\n"
                                   "EYE_POV_CNTL\t\t= 1\n";

class JoystickInstances : public ConfigTest::ConfigurationFixture {
protected:
    // Slot 0 the stick, slots 1 and 2 the two quadrants with these keys.
    void Attach(const char* first, const char* second)
    {
        states[0].joystickId = kStick;
        states[1].joystickId = kQuadrant;
        states[2].joystickId = kQuadrant;
        processor.SetSlotIdentity(0, true, kStick, "port:usb-1");
        processor.SetSlotIdentity(1, true, kQuadrant, first);
        processor.SetSlotIdentity(2, true, kQuadrant, second);
        processor.SetSlotIdentity(3, false, 0, "");
        processor.SetSlotZeroJoystickId(kStick);
        processor.SetSlotName("Stick", 0);
        processor.SetSlotName("Quadrant", 1);
        processor.SetSlotName("Quadrant", 2);
    }
    void Resolve(std::int32_t count = 3) { processor.ResolveAssignments(table, count); }
    std::int32_t LeverSlot(std::int32_t axis) const { return processor.GetAxisSlot(axis); }
    std::string Load(const std::string& name, const std::string& text)
    {
        const std::string path = folder.File(name);
        WriteBytes(path, text);
        EXPECT_TRUE(processor.LoadConfiguration(path.c_str())) << processor.GetErrorText();
        return path;
    }
    // What the load said of the tuning values the files leave out is not looked at here.
    std::string LoadQuietly(const std::string& name, const std::string& text)
    {
        const std::string path = Load(name, text);
        processor.ClearWarnings();
        return path;
    }

    JoystickState states[kJoystickSlots] = {};
    const JoystickState* table[kJoystickSlots] = { &states[0], &states[1], &states[2], &states[3] };
};

TEST_F(JoystickInstances, EachLeverKeepsItsQuadrantInEitherOrderAndWithoutTheSectionTheFirstTakesBoth)
{
    // Without the section: the described rule, the lowest slot of the ID, and no word about instances.
    Attach("serial:A1B2C3", "serial:D4E5F6");
    LoadQuietly("plain.ini", kDescribedPart);
    Resolve();
    EXPECT_EQ(LeverSlot(AxisThrLvrL), 1);
    EXPECT_EQ(LeverSlot(AxisThrLvrR), 1);
    EXPECT_TRUE(Warnings().empty());

    const std::string named = std::string(kDescribedPart)
        + "[JOYSTICK_INSTANCES]\n"
          "THRUST_LVR_1\t= serial:A1B2C3\n"
          "THRUST_LVR_2 =   serial:D4E5F6  \n"
          "REV_L_BTN_CNTL\t= serial:D4E5F6\n";
    LoadQuietly("named.ini", named);
    Resolve();
    EXPECT_EQ(LeverSlot(AxisThrLvrL), 1);
    EXPECT_EQ(LeverSlot(AxisThrLvrR), 2);
    EXPECT_EQ(processor.GetButtonSlot(ButtonReverseL), 2);
    EXPECT_EQ(processor.GetAxisSlot(AxisPitch), 0);

    // The quadrants enumerated the other way round: the levers follow them.
    Attach("serial:D4E5F6", "serial:A1B2C3");
    Resolve();
    EXPECT_EQ(LeverSlot(AxisThrLvrL), 2);
    EXPECT_EQ(LeverSlot(AxisThrLvrR), 1);
    EXPECT_EQ(processor.GetButtonSlot(ButtonReverseL), 1);
    EXPECT_TRUE(Warnings().empty());

    // One of them not attached: the first of the ID takes its controls, said once in one line.
    Attach("serial:778899", "serial:A1B2C3");
    Resolve();
    Resolve();
    EXPECT_EQ(LeverSlot(AxisThrLvrL), 2);
    EXPECT_EQ(LeverSlot(AxisThrLvrR), 1);
    EXPECT_EQ(processor.GetButtonSlot(ButtonReverseL), 1);
    EXPECT_EQ(Warnings(),
        (std::vector<std::string> { "Joystick serial:D4E5F6 is not attached: Quadrant in slot 1, the first joystick of "
                                    "its ID, takes THR LVR R, REVERSE L" }));
    EXPECT_FALSE(processor.HasWarnings()) << "a note, not the described pending flag";
}

TEST_F(JoystickInstances, TheSectionIsSavedOnlyForControlsOnATwinAndReadsBackTheSame)
{
    Attach("serial:A1B2C3", "port:pci-0000:00:14.0-usb-0:2:1.0");
    processor.SetSlotIdentity(2, false, 0, ""); // one quadrant only: no twins
    Load("plain.ini", kDescribedPart);
    Resolve(2);
    const std::string alone = ConfigurationText(processor, 7);
    EXPECT_EQ(alone.find("[JOYSTICK_INSTANCES]"), std::string::npos);
    EXPECT_EQ(alone.substr(alone.size() - 8), "\t\t= 1\n#\n") << "the file ends with the eye-view block";

    // The second quadrant attached, and the right lever given to it in the window.
    Attach("serial:A1B2C3", "port:pci-0000:00:14.0-usb-0:2:1.0");
    Resolve();
    processor.SetAxisAssignment(AxisThrLvrR, 2, static_cast<std::int32_t>(kQuadrant), 2);
    const std::string twins = ConfigurationText(processor, 7);
    // The described part unchanged, byte for byte; the section after it, in the file's key order.
    ASSERT_EQ(twins.compare(0, alone.size(), alone), 0);
    EXPECT_EQ(twins.substr(alone.size()),
        "[JOYSTICK_INSTANCES]\n"
        "THRUST_LVR_1\t= serial:A1B2C3\n"
        "THRUST_LVR_2\t= port:pci-0000:00:14.0-usb-0:2:1.0\n"
        "REV_L_BTN_CNTL\t= serial:A1B2C3\n");

    // Read back with the quadrants the other way round: each control on its own.
    const std::string saved = folder.File("saved.ini");
    ASSERT_TRUE(processor.SaveConfiguration(7, saved.c_str()));
    ASSERT_TRUE(processor.LoadConfiguration(saved.c_str()));
    Attach("port:pci-0000:00:14.0-usb-0:2:1.0", "serial:A1B2C3");
    Resolve();
    EXPECT_EQ(LeverSlot(AxisThrLvrL), 2);
    EXPECT_EQ(LeverSlot(AxisThrLvrR), 1);
    EXPECT_EQ(processor.GetButtonSlot(ButtonReverseL), 2);
    EXPECT_STREQ(processor.GetControlInstance(false, AxisPitch), "");
}

TEST_F(JoystickInstances, BadValuesAreIgnoredWithANoteAndTheSectionEndsAtTheNextBracketLine)
{
    const std::string longest = "serial:" + std::string(193, 'L'); // 200 characters
    const std::string path = Load("bad.ini",
        "[FLIGHT_CONTROLS]\n"
        "SIDE_STICK_P_CNTL\t= 67241039\n"
        "SIDE_STICK_R_CNTL\t= 67241039\n"
        "[ACCESS]\n"
        "EYE_POV_CNTL\t\t= 1\n"
        "[JOYSTICK_INSTANCES]\n"
        "CKPT_EYE_POV\t= serial:EYE\n"
        "THRUST_LVR_1\t= "
            + longest
            + "X\n"
              "THRUST_LVR_2\t= "
            + longest
            + "\n"
              "PTT_BTN_CNTL\t= serial:AB[C\n"
              "AP_BTN_CNTL\t= serial:AFTER\n");
    // The described reader never sees the section: the eye view's joystick key is not in [ACCESS].
    EXPECT_STREQ(processor.GetAxisRecord(7).joystickText, "");
    EXPECT_STREQ(processor.GetControlInstance(false, AxisEyeView), "serial:EYE");
    EXPECT_STREQ(processor.GetControlInstance(false, AxisThrLvrL), "");
    EXPECT_EQ(processor.GetControlInstance(false, AxisThrLvrR), longest);
    EXPECT_STREQ(processor.GetControlInstance(true, ButtonPtt), "");
    EXPECT_STREQ(processor.GetControlInstance(true, ButtonApDisc), "") << "after the line holding \"[\"";
    const std::vector<std::string> warnings = Warnings();
    const auto has = [&warnings](const std::string& line) {
        for (const std::string& warning : warnings) {
            if (warning == line) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(has("bad.ini: [JOYSTICK_INSTANCES] THRUST_LVR_1 ignored: it is longer than 200 characters"));
    EXPECT_TRUE(has("bad.ini: [JOYSTICK_INSTANCES] PTT_BTN_CNTL ignored: it holds \"[\""));

    // Another file without the section takes every instance away.
    WriteBytes(path, kDescribedPart);
    ASSERT_TRUE(processor.LoadConfiguration(path.c_str()));
    EXPECT_STREQ(processor.GetControlInstance(false, AxisThrLvrR), "");
    EXPECT_STREQ(processor.GetControlInstance(false, AxisEyeView), "");
}

} // namespace

// The configuration file's [AXIS_BUTTONS] section: where and how it is
// written, that it comes back, that a set-up without it saves exactly as
// before, that the described reader's rule sees the same set-up either way,
// and a note for every value that cannot be taken.
#include "config/Ini_File_Reader.h"
#include "mapping/GenericSimBlock.h"
#include "support/Paths.h"
#include "support/TextFunctions.h"
#include "tests/config/configuration_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace Block = GenericSimBlock;
using ConfigTest::ReadBytes;
using ConfigTest::WithLineEnds;
using ConfigTest::WriteBytes;

namespace {

constexpr std::int32_t kStickId = 1000;
constexpr std::int32_t kPedalsId = 2000;

std::string Native(const std::string& text)
{
    return WithLineEnds(text, Paths::NativeLineEnd());
}

class AxisButtonsFile : public ConfigTest::ConfigurationFixture {
protected:
    void SetUp() override
    {
        ConfigurationFixture::SetUp();
        processor.SetSlotZeroJoystickId(kStickId);
        SetAxis(Block::kPitchRecord, kStickId, InputY);
        SetAxis(Block::kRollRecord, kStickId, InputX);
        for (std::int32_t button = 0; button < kCockpitButtonCount; ++button) {
            SetButton(button, button < ButtonBrakeL ? kStickId : kPedalsId, button + 1);
        }
        SetButton(ButtonBrakeL, kPedalsId, -1);
    }

    std::string Save(const std::string& name)
    {
        const std::string path = folder.File(name);
        EXPECT_TRUE(processor.SaveConfiguration(1, path.c_str())) << processor.GetErrorText();
        return path;
    }

    std::vector<unsigned char> SetUpBytes() const
    {
        const auto* bytes = static_cast<const unsigned char*>(block);
        return std::vector<unsigned char>(bytes + Block::kJoystickSetup, bytes + Block::kSize);
    }

    void Drive(std::int32_t button, std::int32_t axis, std::int32_t threshold)
    {
        ASSERT_TRUE(processor.SetAxisButton(button, axis, threshold));
    }
};

TEST_F(AxisButtonsFile, ComesAfterAccessInButtonOrderComesBackAndGoesAwayWithoutATrace)
{
    const std::string plain = ReadBytes(Save("plain.ini"));
    ASSERT_NE(plain.find("[ACCESS]"), std::string::npos);

    Drive(ButtonParkBrk, 7, -10000);
    Drive(ButtonBrakeR, 5, 5000);
    Drive(ButtonStabAnu, 3, 10000);
    Drive(ButtonBrakeL, 4, 5000);
    Drive(ButtonGearLvr, 0, -2500);
    const std::string path = Save("axes.ini");
    const std::string withAxes = ReadBytes(path);
    EXPECT_EQ(withAxes,
        plain
            + Native("[AXIS_BUTTONS]\n"
                     "BRK_L_BTN_AXIS\t= 4 5000\n"
                     "BRK_R_BTN_AXIS\t= 5 5000\n"
                     "STAB_UP_BTN_AXIS\t= 3 10000\n"
                     "GEAR_BTN_AXIS\t= 0 -2500\n"
                     "PARK_BRK_BTN_AXIS\t= 7 -10000\n"
                     "#\n"));

    processor.ClearAxisButtons();
    processor.SetAxisButton(ButtonFlapIn, 1, 3000);
    ASSERT_TRUE(processor.LoadConfiguration(path.c_str())) << processor.GetErrorText();
    EXPECT_EQ(processor.GetAxisButton(ButtonBrakeL).axis, 4);
    EXPECT_EQ(processor.GetAxisButton(ButtonBrakeL).threshold, 5000);
    EXPECT_EQ(processor.GetAxisButton(ButtonParkBrk).axis, 7);
    EXPECT_EQ(processor.GetAxisButton(ButtonParkBrk).threshold, -10000);
    EXPECT_EQ(processor.GetAxisButton(ButtonGearLvr).threshold, -2500);
    EXPECT_FALSE(processor.GetAxisButton(ButtonFlapIn).Drives()); // the file's set, not a mixture
    EXPECT_EQ(processor.GetButtonNumber(ButtonBrakeL), -1); // NA stays NA
    EXPECT_EQ(processor.GetButtonNumber(ButtonBrakeR), ButtonBrakeR + 1);
    EXPECT_TRUE(Warnings().empty());
    EXPECT_EQ(ReadBytes(Save("again.ini")), withAxes);

    // A file without the section leaves no button on an axis, and the save is as before.
    ASSERT_TRUE(processor.LoadConfiguration(folder.File("plain.ini").c_str()));
    for (std::int32_t button = 0; button < kCockpitButtonCount; ++button) {
        EXPECT_FALSE(processor.GetAxisButton(button).Drives()) << button;
    }
    EXPECT_EQ(ReadBytes(Save("plain-again.ini")), plain);
}

// A reader that ends a section at the next line holding "[" finds every key
// of the described sections with the same value in both files, and none of
// the new keys; loading either file gives the same block.
TEST_F(AxisButtonsFile, TheDescribedReadersRuleSeesTheSameSetUpInBothFiles)
{
    const std::string plainPath = Save("plain.ini");
    Drive(ButtonBrakeL, 4, 5000);
    Drive(ButtonPtt, 2, -7000);
    const std::string axesPath = Save("axes.ini");

    Ini_File_Reader plain;
    Ini_File_Reader axes;
    ASSERT_TRUE(plain.OpenFile(plainPath));
    ASSERT_TRUE(axes.OpenFile(axesPath));
    std::istringstream lines(ReadBytes(plainPath));
    std::string line;
    std::string section;
    int looked = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() > 2 && line.front() == '[') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (section.empty() || equals == std::string::npos) {
            continue;
        }
        char keyText[256] = {};
        std::strncpy(keyText, line.substr(0, equals).c_str(), sizeof keyText - 1);
        const std::string key = RemoveBlanks(TabsToBlanks(keyText));
        char before[512] = {};
        char after[512] = {};
        ASSERT_TRUE(plain.LookForValueAsWritten(section.c_str(), key.c_str(), before, sizeof before)) << key;
        ASSERT_TRUE(axes.LookForValueAsWritten(section.c_str(), key.c_str(), after, sizeof after)) << key;
        EXPECT_STREQ(after, before) << section << " " << key;
        ++looked;
    }
    EXPECT_GT(looked, 60);
    for (const char* described : { "CONFIG_DETAILS", "FLIGHT_CONTROLS", "BUTTON_CONTROLS", "ACCESS" }) {
        char value[512];
        EXPECT_FALSE(axes.LookForValueAsWritten(described, "BRK_L_BTN_AXIS", value, sizeof value)) << described;
    }

    ASSERT_TRUE(processor.LoadConfiguration(plainPath.c_str()));
    const std::vector<unsigned char> fromPlain = SetUpBytes();
    ASSERT_TRUE(processor.LoadConfiguration(axesPath.c_str()));
    EXPECT_EQ(SetUpBytes(), fromPlain);
}

TEST_F(AxisButtonsFile, EveryValueThatCannotBeTakenGetsOneNoteAndLeavesTheJoystickButton)
{
    const std::string plain = ReadBytes(Save("plain.ini"));
    const std::string longValue = "4 " + std::string(600, '7');
    const struct {
        std::string value;
        std::string shown;
    } bad[] = {
        { "4 0", "4 0" },
        { "4 10001", "4 10001" },
        { "4 -10001", "4 -10001" },
        { "8 5000", "8 5000" },
        { "-1 5000", "-1 5000" },
        { "Ry 5000", "Ry 5000" },
        { "4 5000abc", "4 5000abc" },
        { "4,5000", "4,5000" },
        { "4", "4" },
        { "", "" },
        { "4 5000 1", "4 5000 1" },
        { "4 [5000", "4 [5000" },
        { "4 99999999999", "4 99999999999" },
        { "4 0x10", "4 0x10" },
        { longValue, longValue.substr(0, 40) + "..." },
    };
    for (const auto& entry : bad) {
        SCOPED_TRACE(entry.value);
        const std::string path = folder.File("bad.ini");
        WriteBytes(
            path, plain + "[AXIS_BUTTONS]\nBRK_R_BTN_AXIS\t= 1 5000\nBRK_L_BTN_AXIS\t= " + entry.value + "\n#\n");
        processor.SetAxisButton(ButtonBrakeL, 0, 1000);
        ASSERT_TRUE(processor.LoadConfiguration(path.c_str()));
        const std::vector<std::string> notes = Warnings();
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_EQ(notes[0],
            "bad.ini: BRK_L_BTN_AXIS = " + entry.shown
                + " could not be read (an axis 0 to 7 and a threshold from -10000 to 10000, not 0); BRAKE L works "
                  "from its joystick button");
        EXPECT_FALSE(processor.HasWarnings()); // a note, not the described pending flag
        EXPECT_FALSE(processor.GetAxisButton(ButtonBrakeL).Drives());
        EXPECT_EQ(processor.GetAxisButton(ButtonBrakeR).axis, 1); // the other line is still taken
    }

    // Blanks and tabs of any number separate and surround the two numbers; a sign may lead.
    WriteBytes(folder.File("spaced.ini"),
        plain + "[AXIS_BUTTONS]\nBRK_L_BTN_AXIS =\t 4 \t\t-5000  \nFD_L_BTN_AXIS=+6 +2\n#\n");
    ASSERT_TRUE(processor.LoadConfiguration(folder.File("spaced.ini").c_str()));
    EXPECT_TRUE(Warnings().empty());
    EXPECT_EQ(processor.GetAxisButton(ButtonBrakeL).threshold, -5000);
    EXPECT_EQ(processor.GetAxisButton(ButtonFdL).axis, 6);
    EXPECT_EQ(processor.GetAxisButton(ButtonFdL).threshold, 2);
}

} // namespace

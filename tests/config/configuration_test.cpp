// The joystick configuration file: the writer's exact bytes, the atomic save,
// the loader's rules and texts, and joystick IDs that match nothing attached.
#include "config/SettingsFile.h"
#include "mapping/Assignments.h"
#include "mapping/GenericSimBlock.h"
#include "support/Paths.h"
#include "tests/config/configuration_fixture.h"
#include "tests/fakes/FailingSettingsStream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace Block = GenericSimBlock;
using ConfigTest::ReadBytes;
using ConfigTest::WithLineEnds;
using ConfigTest::WriteBytes;

namespace {

constexpr std::int32_t kSlotZeroId = 1000;
constexpr std::int32_t kOtherId = 2000;

// The file SaveConfiguration must write for GoldenSetUp with index 2, "\n"
// standing for the platform's line end.
const char* const kGoldenFile = "#\n"
                                "#\t\t\tKQ-P- JOY STICK \n"
                                "#\t\t\tInitialisation file\n"
                                "#=============================================================\n"
                                "#                      User Modified Option File \n"
                                "#=============================================================\n"
                                "#\n"
                                "# Slot 0 : Stick A \n"
                                "# Slot 1 : Throttle B \n"
                                "# Slot 2 : No Joy Stick Attached \n"
                                "# Slot 3 : No Joy Stick Attached \n"
                                "#\n"
                                "[CONFIG_DETAILS]\n"
                                "NAME = ALTN_2_JOYSTICK_SETUP\n"
                                "JOY_ID = 1000\n"
                                "#\n"
                                "[FLIGHT_CONTROLS]\n"
                                "SIDE_STICK_P_CNTL\t= 1000\n"
                                "PITCH_SENS\t\t= 0.002000\n"
                                "PITCH_DB\t\t= 0.050000\n"
                                "PITCH_CNTL\t\t= 1\n"
                                "#\n"
                                "SIDE_STICK_R_CNTL\t= 1000\n"
                                "ROLL_SENS\t\t= 0.002500\n"
                                "ROLL_DB\t\t= 0.500000\n"
                                "ROLL_CNTL\t\t= 0\n"
                                "#\n"
                                "COCKPIT_PEDAL\t= 2000\n"
                                "PEDAL_SENS\t\t= 0.002500\n"
                                "PEDAL_DB\t\t= 0.250000\n"
                                "PEDAL_CNTL\t\t= 5\n"
                                "#\n"
                                "COCKPIT_TILLER\t= -5\n"
                                "TILLER_SENS\t\t= 0.001500\n"
                                "TILLER_DB\t\t= 0.125000\n"
                                "TILLER_CNTL\t\t= 7\n"
                                "#\n"
                                "THRUST_LVR_1\t= 2000\n"
                                "TLA_L_SENS\t\t= 1.000000\n"
                                "TLA_L_OFFSET\t\t= -2.500000\n"
                                "TLA_L_CNTL\t\t= 2\n"
                                "#\n"
                                "THRUST_LVR_2\t= 2000\n"
                                "TLA_R_SENS\t\t= 1.250000\n"
                                "TLA_R_OFFSET\t\t= 3.000000\n"
                                "TLA_R_CNTL\t\t= -1\n"
                                "#\n"
                                "THRUST_LVR\t= 1000\n"
                                "TLA_1_TC\t\t= 0.750000\n"
                                "TLA_2_TC\t\t= 0.500000\n"
                                "TLA_CNTL\t\t= 0\n"
                                "#\n"
                                "#\n"
                                "[BUTTON_CONTROLS]\n"
                                "#\n"
                                "PTT_BTN_CNTL\t= 1000\n"
                                "PTT_BTN\t\t= NA\n"
                                "#\n"
                                "AP_BTN_CNTL\t= 1000\n"
                                "AP_BTN\t\t= 1\n"
                                "#\n"
                                "AT_BTN_CNTL\t= 1000\n"
                                "AT_BTN\t\t= 2\n"
                                "#\n"
                                "BRK_L_BTN_CNTL\t= 2000\n"
                                "BRK_L_BTN\t\t= 3\n"
                                "#\n"
                                "BRK_R_BTN_CNTL\t= 2000\n"
                                "BRK_R_BTN\t\t= 4\n"
                                "#\n"
                                "REV_L_BTN_CNTL\t= 2000\n"
                                "REV_L_BTN\t\t= 5\n"
                                "#\n"
                                "REV_R_BTN_CNTL\t= 2000\n"
                                "REV_R_BTN\t\t= 6\n"
                                "#\n"
                                "FLAP_IN_BTN_CNTL\t= 2000\n"
                                "FLAP_IN_BTN\t\t= 7\n"
                                "#\n"
                                "FLAP_OUT_BTN_CNTL\t= 2000\n"
                                "FLAP_OUT_BTN\t\t= 8\n"
                                "#\n"
                                "SBRK_IN_BTN_CNTL\t= 2000\n"
                                "SBRK_IN_BTN\t\t= 9\n"
                                "#\n"
                                "SBRK_OUT_BTN_CNTL\t= 2000\n"
                                "SBRK_OUT_BTN\t\t= 10\n"
                                "#\n"
                                "STAB_UP_CNTL\t= 2000\n"
                                "STAB_UP_BTN\t\t= 12\n"
                                "#\n"
                                "STAB_DN_CNTL\t= 2000\n"
                                "STAB_DN_BTN\t\t= 13\n"
                                "#\n"
                                "FD_L_CNTL\t= 2000\n"
                                "FD_L_BTN\t\t= 14\n"
                                "#\n"
                                "FD_R_CNTL\t= 2000\n"
                                "FD_R_BTN\t\t= NA\n"
                                "#\n"
                                "GEAR_BTN_CNTL\t= 2000\n"
                                "GEAR_BTN\t\t= 11\n"
                                "#\n"
                                "PARK_BRK_CNTL\t= 2000\n"
                                "PARK_BRK_BTN\t\t= 0\n"
                                "#\n"
                                "[ACCESS]\n"
                                "CKPT_EYE_POV\t= 2000\n"
                                "N/A\t\t= 0.000000\n"
                                "N/A\t\t= 0.000000\n"
                                "EYE_POV_CNTL\t\t= 2\n"
                                "#\n";

std::string Native(const std::string& text)
{
    return WithLineEnds(text, Paths::NativeLineEnd());
}

// The lines "KEY\t= value": the joystick lines, one per control.
std::vector<std::string> JoystickLineValues(const std::string& file)
{
    std::vector<std::string> values;
    std::istringstream lines(file);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t tab = line.find("\t= ");
        if (tab != std::string::npos && line[0] != '#' && line[tab - 1] != '\t') {
            values.push_back(line.substr(tab + 3));
        }
    }
    return values;
}

class Configuration : public ConfigTest::ConfigurationFixture {
protected:
    void GoldenSetUp()
    {
        processor.SetSlotName("Stick A", 0);
        processor.SetSlotName("Throttle B", 1);
        processor.SetSlotName("No Joy Stick Attached", 2);
        processor.SetSlotName("No Joy Stick Attached", 3);
        processor.SetSlotZeroJoystickId(kSlotZeroId);
        SetName("MY SET UP");
        Block::StoreInt32(block, Block::kDefaultJoystickId, kSlotZeroId);

        SetAxis(Block::kPitchRecord, kSlotZeroId, InputY);
        SetAxis(Block::kRollRecord, 0, InputX);
        SetAxis(Block::kPedalsRecord, kOtherId, InputRz);
        SetAxis(Block::kTillerRecord, -5, InputSL2);
        SetAxis(Block::kThrLvrLRecord, kOtherId, InputZ);
        SetAxis(Block::kThrLvrRRecord, kOtherId, -1);
        SetAxis(Block::kThrustLeverFilterRecord, 0, 0);
        SetAxis(Block::kEyeViewRecord, kOtherId, 2);

        SetSetting(Block::kPitchSensitivity, 0.002);
        SetSetting(Block::kPitchDeadBand, 0.05);
        SetSetting(Block::kRollSensitivity, 0.0025);
        SetSetting(Block::kRollDeadBand, 0.5);
        SetSetting(Block::kPedalsSensitivity, 0.0025);
        SetSetting(Block::kPedalsDeadBand, 0.25);
        SetSetting(Block::kTillerSensitivity, 0.0015);
        SetSetting(Block::kTillerDeadBand, 0.125);
        SetSetting(Block::kThrLvrLSensitivity, 1.0);
        SetSetting(Block::kThrLvrLOffset, -2.5);
        SetSetting(Block::kThrLvrRSensitivity, 1.25);
        SetSetting(Block::kThrLvrROffset, 3.0);
        SetSetting(Block::kThrLvrRFilterTimeConstant, 0.75);
        SetSetting(Block::kThrLvrLFilterTimeConstant, 0.5);

        for (std::int32_t button = 0; button < kCockpitButtonCount; ++button) {
            SetButton(button, button <= ButtonAtDisc ? kSlotZeroId : kOtherId, button);
        }
        SetButton(ButtonPtt, 0, -1);
        SetButton(ButtonFdR, kOtherId, -7);
        SetButton(ButtonParkBrk, kOtherId, 0);
    }

    // A file that loads: the two mandatory entries and whatever else is given.
    std::string Write(const std::string& name, const std::string& text)
    {
        const std::string path = folder.File(name);
        WriteBytes(path, text);
        return path;
    }
};

} // namespace

TEST_F(Configuration, SaveWritesTheFormatByteForByteAndTheSameAgain)
{
    GoldenSetUp();
    const std::string path = folder.File("Joystick2.ini");
    ASSERT_TRUE(processor.SaveConfiguration(2, path.c_str())) << processor.GetErrorText();
    const std::string first = ReadBytes(path);
    EXPECT_EQ(first, Native(kGoldenFile));
    EXPECT_STREQ(processor.GetCurrentConfigurationPath(), path.c_str());

    ASSERT_TRUE(processor.SaveConfiguration(2, path.c_str()));
    EXPECT_EQ(ReadBytes(path), first);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    // Another index writes the set-up's own name; no slot-0 joystick leaves 0.
    processor.SetSlotZeroJoystickId(0);
    ASSERT_TRUE(processor.SaveConfiguration(7, path.c_str()));
    const std::string other = ReadBytes(path);
    EXPECT_NE(other.find(Native("[CONFIG_DETAILS]\nNAME = MY SET UP\nJOY_ID = 1000\n")), std::string::npos);
    EXPECT_NE(other.find(Native("SIDE_STICK_R_CNTL\t= 0\n")), std::string::npos);
    EXPECT_NE(other.find(Native("PTT_BTN_CNTL\t= 0\n")), std::string::npos);
    ASSERT_TRUE(processor.SaveConfiguration(0, path.c_str()));
    EXPECT_NE(ReadBytes(path).find(Native("NAME = DEFAULT_JOYSTICK_SETUP\n")), std::string::npos);
}

TEST_F(Configuration, SaveThenLoadGivesBackTheSetUpWhateverTheLineEnds)
{
    GoldenSetUp();
    const std::string path = folder.File("Joystick2.ini");
    ASSERT_TRUE(processor.SaveConfiguration(2, path.c_str()));
    const std::string saved = ReadBytes(path);
    std::string lf;
    for (char c : saved) {
        if (c != '\r') {
            lf += c;
        }
    }
    const std::string variants[]
        = { saved, WithLineEnds(lf, "\r\n"), WithLineEnds(lf, "\r"), lf.substr(0, lf.size() - 1) };

    for (const std::string& bytes : variants) {
        const std::string file = Write("variant.ini", bytes);
        // Wipe everything the file holds.
        for (std::size_t offset = Block::kJoystickSetup + 4; offset < Block::kSize; offset += 4) {
            Block::StoreInt32(block, offset, 0x5A5A5A5A);
        }
        for (std::size_t i = 0; i < Block::kControlSettingsCount; ++i) {
            SetSetting(Block::kControlSettings + 8 * i, 99.0);
        }
        ASSERT_TRUE(processor.LoadConfiguration(file.c_str())) << processor.GetErrorText();
        EXPECT_TRUE(Warnings().empty());

        EXPECT_EQ(Name(), "ALTN_2_JOYSTICK_SETUP");
        EXPECT_EQ(Block::LoadInt32(block, Block::kDefaultJoystickId), kSlotZeroId);
        const struct {
            std::size_t record;
            std::int32_t id;
            std::int32_t input;
        } axes[] = { { Block::kPitchRecord, kSlotZeroId, InputY }, { Block::kRollRecord, kSlotZeroId, InputX },
            { Block::kPedalsRecord, kOtherId, InputRz }, { Block::kTillerRecord, -5, InputSL2 },
            { Block::kThrLvrLRecord, kOtherId, InputZ }, { Block::kThrLvrRRecord, kOtherId, -1 },
            { Block::kThrustLeverFilterRecord, kSlotZeroId, 0 }, { Block::kEyeViewRecord, kOtherId, 2 } };
        for (const auto& axis : axes) {
            EXPECT_EQ(Id(axis.record), axis.id) << axis.record;
            EXPECT_EQ(Input(axis.record), axis.input) << axis.record;
        }
        for (std::int32_t button = 0; button < kCockpitButtonCount; ++button) {
            EXPECT_EQ(ButtonId(button), button == ButtonPtt || button <= ButtonAtDisc ? kSlotZeroId : kOtherId);
        }
        EXPECT_EQ(ButtonNumber(ButtonPtt), -1);
        EXPECT_EQ(ButtonNumber(ButtonApDisc), 1);
        EXPECT_EQ(ButtonNumber(ButtonGearLvr), 11);
        EXPECT_EQ(ButtonNumber(ButtonFdR), -1);
        EXPECT_EQ(ButtonNumber(ButtonParkBrk), 0);

        const double settings[]
            = { 0.002, 0.05, 0.0025, 0.5, 0.0025, 0.25, 0.0015, 0.125, 0.75, 0.5, 1.0, -2.5, 1.25, 3.0 };
        for (std::size_t i = 0; i < Block::kControlSettingsCount; ++i) {
            EXPECT_NEAR(Setting(Block::kControlSettings + 8 * i), settings[i], 1e-6) << "setting " << i;
        }
    }
}

TEST_F(Configuration, AFailedSaveLeavesTheOldFileAndNoTemporaryOne)
{
    GoldenSetUp();
    const std::string path = folder.File("Joystick.ini");
    ASSERT_TRUE(processor.SaveConfiguration(0, path.c_str()));
    const std::string old = ReadBytes(path);
    SetAxis(Block::kPitchRecord, kSlotZeroId, InputRz);

    const std::size_t budgets[] = { 0, 1, 200, old.size() / 2, old.size() - 1 };
    for (const std::size_t budget : budgets) {
        FailingSettingsStream::Scope full(budget);
        EXPECT_FALSE(processor.SaveConfiguration(0, path.c_str())) << budget;
        EXPECT_EQ(processor.FullErrorText(),
            "SettingsFileClass::WriteToSettingsFile\nEOF Error On writing\n" + path + ".tmp");
        EXPECT_EQ(ReadBytes(path), old) << budget;
        EXPECT_FALSE(std::filesystem::exists(path + ".tmp")) << budget;
    }
    {
        FailingSettingsStream::Scope lostOnClose(0, FailingSettingsStream::Failure::OnClose);
        EXPECT_FALSE(processor.SaveConfiguration(0, path.c_str()));
        EXPECT_EQ(ReadBytes(path), old);
        EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    }
    {
        // Exactly enough room is enough.
        FailingSettingsStream::Scope justEnough(old.size());
        EXPECT_TRUE(processor.SaveConfiguration(0, path.c_str())) << processor.GetErrorText();
    }
    const std::string changed = ReadBytes(path);
    EXPECT_NE(changed, old);
    EXPECT_NE(changed.find(Native("PITCH_CNTL\t\t= 5\n")), std::string::npos);
}

TEST_F(Configuration, SaveCreatesAMissingFolderAndReportsOneThatCannotBe)
{
    GoldenSetUp();
    const std::string nested = (folder.Path() / "Orrelane" / "Shared" / "Joystick1.ini").string();
    ASSERT_TRUE(processor.SaveConfiguration(1, nested.c_str())) << processor.GetErrorText();
    EXPECT_NE(ReadBytes(nested).find(Native("NAME = ALTN_1_JOYSTICK_SETUP\n")), std::string::npos);

    WriteBytes(folder.File("blocker"), "a file, not a folder");
    const std::string blockedFolder = (folder.Path() / "blocker" / "Shared").string();
    const std::string blocked = blockedFolder + Paths::Separator() + "Joystick.ini";
    EXPECT_FALSE(processor.SaveConfiguration(0, blocked.c_str()));
    EXPECT_EQ(processor.FullErrorText(),
        "ControlProcessor::SaveConfiguration\nCould not create the folder\n" + blockedFolder);
    EXPECT_FALSE(std::filesystem::exists(blocked));

    ControlProcessor detached;
    EXPECT_FALSE(detached.SaveConfiguration(0, nested.c_str()));
    EXPECT_FALSE(detached.LoadConfiguration(nested.c_str()));
}

TEST_F(Configuration, LoadAppliesTheJoystickInputAndTuningRules)
{
    SetSetting(Block::kPitchSensitivity, 0.123);
    SetAxis(Block::kPitchRecord, 55, 3);
    SetAxis(Block::kTillerRecord, 0, 6);
    SetButton(ButtonPtt, 0, 3);
    SetSetting(Block::kThrLvrLFilterTimeConstant, 0.9);
    const std::string path = Write("rules.ini",
        "[CONFIG_DETAILS]\n"
        "NAME =   Club  set up \n"
        "JOY_ID = -2147483648\n"
        "[FLIGHT_CONTROLS]\n"
        "PITCH_DB = 5.\n"
        "SIDE_STICK_P_CNTL = D E FAULT\n"
        "PITCH_SENS = 5\n"
        "PITCH_CNTL = N A\n"
        "SIDE_STICK_R_CNTL =  NOT _AVAIL \n"
        "ROLL_SENS\t=\t0.05\n"
        "ROLL_CNTL = na\n"
        "COCKPIT_PEDAL = default\n"
        "PEDAL_CNTL = 12abc\n"
        "COCKPIT_TILLER = 77\n"
        "THRUST_LVR_1 = 5\n"
        "TLA_L_SENS = 2.0\n"
        "THRUST_LVR_2 = 6\n"
        "THRUST_LVR = 7\n"
        "TLA_1_TC = 0.25\n"
        "TLA_2_TC = nan\n"
        "[BUTTON_CONTROLS]\n"
        "AP_BTN_CNTL = 9\n"
        "AP_BTN = NA\n"
        "AT_BTN = 4\n"
        "AT_BTN_CNTL = 9\n"
        "PTT_BTN_CNTL = 9\n"
        "[ACCESS]\n"
        "CKPT_EYE_POV = 11\n"
        "EYE_POV_CNTL = 4\n"
        "TILLER_CNTL = 3\n");
    ASSERT_TRUE(processor.LoadConfiguration(path.c_str())) << processor.GetErrorText();

    EXPECT_EQ(Name(), "Club  set up ");
    EXPECT_EQ(Block::LoadInt32(block, Block::kDefaultJoystickId), INT32_MIN);
    char text[Block::kRecordJoystickTextLength];
    Block::LoadText(block, Block::kPitchRecord, Block::kRecordJoystickTextLength, text, sizeof text);
    EXPECT_STREQ(text, "D E FAULT");

    EXPECT_EQ(Id(Block::kPitchRecord), 0);
    EXPECT_EQ(Input(Block::kPitchRecord), -1);
    EXPECT_DOUBLE_EQ(Setting(Block::kPitchSensitivity), 0.123);
    EXPECT_DOUBLE_EQ(Setting(Block::kPitchDeadBand), 5.0);
    EXPECT_EQ(Id(Block::kRollRecord), 0);
    EXPECT_EQ(Input(Block::kRollRecord), 0);
    EXPECT_DOUBLE_EQ(Setting(Block::kRollSensitivity), 0.05);
    EXPECT_EQ(Id(Block::kPedalsRecord), 0);
    EXPECT_EQ(Input(Block::kPedalsRecord), 12);
    EXPECT_EQ(Id(Block::kTillerRecord), 77);
    EXPECT_EQ(Input(Block::kTillerRecord), 6);
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrLSensitivity), 2.0);
    EXPECT_EQ(Id(Block::kThrustLeverFilterRecord), 7);
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrRFilterTimeConstant), 0.25);
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrLFilterTimeConstant), 0.9);
    EXPECT_EQ(Id(Block::kEyeViewRecord), 11);
    EXPECT_EQ(Input(Block::kEyeViewRecord), 4);

    EXPECT_EQ(ButtonId(ButtonApDisc), 9);
    EXPECT_EQ(ButtonNumber(ButtonApDisc), -1);
    EXPECT_EQ(ButtonNumber(ButtonAtDisc), 4);
    EXPECT_EQ(ButtonNumber(ButtonPtt), 3);
    EXPECT_EQ(ButtonNumber(ButtonBrakeL), -1);
    EXPECT_EQ(ButtonNumber(ButtonParkBrk), -1);

    // Every key the rules had to pass over or could not find is told, with
    // the value the control now has; the eye view's and twelve more buttons'
    // notes do not fit.
    const std::vector<std::string> notes = {
        "rules.ini: PITCH_SENS = 5 could not be read; PITCH_SENS = 0.123000 taken",
        "rules.ini: ROLL_CNTL = na could not be read, ROLL_DB missing; ROLL_CNTL = 0, ROLL_DB = 0.500000 taken",
        "rules.ini: COCKPIT_PEDAL = default could not be read, PEDAL_CNTL = 12abc could not be read, PEDAL_SENS "
        "missing, PEDAL_DB missing; COCKPIT_PEDAL = 0, PEDAL_CNTL = 12, PEDAL_SENS = 0.000000, PEDAL_DB = 0.500000 "
        "taken",
        "rules.ini: TILLER_CNTL missing, TILLER_SENS missing, TILLER_DB missing; TILLER_CNTL = 6, TILLER_SENS = "
        "0.000000, TILLER_DB = 0.500000 taken",
        "rules.ini: TLA_L_CNTL missing, TLA_L_OFFSET missing; TLA_L_CNTL = 0, TLA_L_OFFSET = 0.000000 taken",
        "rules.ini: TLA_R_CNTL missing, TLA_R_SENS missing, TLA_R_OFFSET missing; TLA_R_CNTL = 0, TLA_R_SENS = "
        "0.000000, TLA_R_OFFSET = 0.000000 taken",
        "rules.ini: TLA_CNTL missing, TLA_2_TC = nan could not be read; TLA_CNTL = 0, TLA_2_TC = 0.900000 taken",
        "rules.ini: PTT_BTN missing; PTT_BTN = 3 taken",
        "rules.ini: BRK_L_BTN_CNTL missing; BRK_L_BTN_CNTL = 0, BRK_L_BTN = NA taken",
        "rules.ini: BRK_R_BTN_CNTL missing; BRK_R_BTN_CNTL = 0, BRK_R_BTN = NA taken",
    };
    EXPECT_EQ(Warnings(), notes);
    EXPECT_EQ(processor.WarningsNotShown(), 12);
}

TEST_F(Configuration, MissingEntriesFailTakeDefaultsOrUnassign)
{
    const std::string mandatory = "[FLIGHT_CONTROLS]\nSIDE_STICK_P_CNTL = 3\nPITCH_CNTL = 1\nSIDE_STICK_R_CNTL = 3\n";

    // No flight controls at all: the pitch entry's text and the path.
    SetButton(ButtonBrakeL, 0, 4);
    const std::string noFlight = Write("noflight.ini", "[CONFIG_DETAILS]\nNAME = Partial\n[BUTTON_CONTROLS]\n");
    EXPECT_FALSE(processor.LoadConfiguration(noFlight.c_str()));
    EXPECT_EQ(processor.FullErrorText(),
        "Tag >SIDE_STICK_P_CNTL< not found under Title >FLIGHT_CONTROLS< in initialisation file\n >" + noFlight);
    EXPECT_EQ(Name(), "Partial");
    EXPECT_EQ(ButtonNumber(ButtonBrakeL), 4);

    // Pitch without roll: fails, and what was read stays.
    const std::string noRoll = Write("noroll.ini", "[FLIGHT_CONTROLS]\nSIDE_STICK_P_CNTL = 3\nPITCH_CNTL = 6\n");
    EXPECT_FALSE(processor.LoadConfiguration(noRoll.c_str()));
    EXPECT_EQ(processor.FullErrorText(),
        "Tag >SIDE_STICK_R_CNTL< not found under Title >FLIGHT_CONTROLS< in initialisation file\n >" + noRoll);
    EXPECT_EQ(Input(Block::kPitchRecord), 6);
    EXPECT_EQ(Name(), "");

    // Only the mandatory entries: thrust-lever defaults with three warnings,
    // every button unassigned, no name and no default joystick.
    SetSetting(Block::kThrLvrLSensitivity, 3.0);
    SetSetting(Block::kThrLvrLOffset, 3.0);
    SetSetting(Block::kThrLvrRSensitivity, 3.0);
    SetSetting(Block::kThrLvrROffset, 3.0);
    SetSetting(Block::kThrLvrLFilterTimeConstant, 3.0);
    SetSetting(Block::kThrLvrRFilterTimeConstant, 3.0);
    Block::StoreInt32(block, Block::kDefaultJoystickId, 8);
    const std::string minimal = Write("minimal.ini", mandatory);
    for (int load = 0; load < 2; ++load) {
        ASSERT_TRUE(processor.LoadConfiguration(minimal.c_str()));
        const std::vector<std::string> expected = { "No data for Left thrust lever, please setup control and re-save",
            "No data for Right thrust lever, please setup control and re-save",
            "No data for thrust lever filters, please setup thrust lvr control and re-save" };
        // The notes on the missing keys come after the load's own warnings,
        // so those always find room; the list then says how many it dropped.
        const std::vector<std::string> warnings = Warnings();
        ASSERT_EQ(warnings.size(), 10u);
        EXPECT_EQ(std::vector<std::string>(warnings.begin(), warnings.begin() + 3), expected) << "load " << load;
        EXPECT_EQ(processor.WarningsNotShown(), 3) << "load " << load;
    }
    EXPECT_TRUE(processor.HasWarnings());
    // A warning that comes later (a joystick without a match, one lost) takes
    // the place of the last note, never the other way round.
    processor.AddWarning("later");
    std::vector<std::string> withLater = Warnings();
    ASSERT_EQ(withLater.size(), 10u);
    EXPECT_EQ(withLater.back(), "later");
    EXPECT_EQ(withLater[0], "No data for Left thrust lever, please setup control and re-save");
    EXPECT_EQ(withLater[8].rfind("minimal.ini: ", 0), 0u);
    EXPECT_EQ(processor.WarningsNotShown(), 4);
    ASSERT_TRUE(processor.LoadConfiguration(minimal.c_str()));
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrLSensitivity), 1.0);
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrLOffset), 0.0);
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrRSensitivity), 1.0);
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrROffset), 0.0);
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrLFilterTimeConstant), 0.0);
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrRFilterTimeConstant), 0.0);
    for (std::int32_t button = 0; button < kCockpitButtonCount; ++button) {
        EXPECT_EQ(ButtonNumber(button), -1) << button;
    }
    EXPECT_EQ(Name(), "");
    EXPECT_EQ(Block::LoadInt32(block, Block::kDefaultJoystickId), 0);

    // The start-up form does not clear the list first.
    ASSERT_TRUE(processor.ReadConfigurationFile(minimal.c_str()));
    EXPECT_EQ(Warnings().size(), 10u);
    EXPECT_EQ(processor.WarningsNotShown(), 16);

    // A missing file changes nothing.
    SetName("Kept");
    const std::string missing = folder.File("missing.ini");
    EXPECT_FALSE(processor.LoadConfiguration(missing.c_str()));
    EXPECT_EQ(processor.FullErrorText().rfind("SettingsFileClass::OpenFileForReading\n", 0), 0u);
    EXPECT_EQ(Name(), "Kept");
    EXPECT_STREQ(processor.GetCurrentConfigurationPath(), missing.c_str());
}

TEST_F(Configuration, APartialFileSaysWhatItLacksAndWhatWasTaken)
{
    const std::string golden = kGoldenFile;
    const std::string afterPedals = "PEDAL_CNTL\t\t= 5\n#\n";
    const std::size_t pedalsEnd = golden.find(afterPedals);
    ASSERT_NE(pedalsEnd, std::string::npos);

    // Cut after the pedals: every later control says what it kept or took,
    // after the thrust levers' own warnings; whole sections in one line each.
    GoldenSetUp();
    const std::string cut = Write("cut.ini", golden.substr(0, pedalsEnd + afterPedals.size()));
    ASSERT_TRUE(processor.LoadConfiguration(cut.c_str())) << processor.GetErrorText();
    const std::vector<std::string> cutWarnings = {
        "No data for Left thrust lever, please setup control and re-save",
        "No data for Right thrust lever, please setup control and re-save",
        "No data for thrust lever filters, please setup thrust lvr control and re-save",
        "cut.ini: COCKPIT_TILLER missing; COCKPIT_TILLER = -5, TILLER_CNTL = 7, TILLER_SENS = 0.001500, TILLER_DB = "
        "0.125000 taken",
        "cut.ini: THRUST_LVR_1 missing; THRUST_LVR_1 = 2000, TLA_L_CNTL = 2, TLA_L_SENS = 1.000000, TLA_L_OFFSET = "
        "0.000000 taken",
        "cut.ini: THRUST_LVR_2 missing; THRUST_LVR_2 = 2000, TLA_R_CNTL = NA, TLA_R_SENS = 1.000000, TLA_R_OFFSET = "
        "0.000000 taken",
        "cut.ini: THRUST_LVR missing; THRUST_LVR = 0, TLA_CNTL = 0, TLA_1_TC = 0.000000, TLA_2_TC = 0.000000 taken",
        "cut.ini: [ACCESS] missing; CKPT_EYE_POV = 2000, EYE_POV_CNTL = 2 taken",
        "cut.ini: [BUTTON_CONTROLS] missing; every button = NA taken",
    };
    EXPECT_EQ(Warnings(), cutWarnings);
    EXPECT_EQ(processor.WarningsNotShown(), 0);

    // A value that is no number is still read as the converter reads it, and said.
    std::string banana = golden;
    const std::string offset = "TLA_R_OFFSET\t\t= 3.000000\n";
    ASSERT_NE(banana.find(offset), std::string::npos);
    banana.replace(banana.find(offset), offset.size(), "TLA_R_OFFSET\t\t= banana\n");
    const std::string bananaPath = Write("banana.ini", banana);
    ASSERT_TRUE(processor.LoadConfiguration(bananaPath.c_str())) << processor.GetErrorText();
    EXPECT_EQ(Warnings(),
        std::vector<std::string> {
            "banana.ini: TLA_R_OFFSET = banana could not be read; TLA_R_OFFSET = 0.000000 taken" });
    EXPECT_DOUBLE_EQ(Setting(Block::kThrLvrROffset), 0.0);
    // What a file lacks is a note: no joystick ID went without a match.
    EXPECT_FALSE(processor.HasWarnings());

    // A missing section in the middle of a whole file: one line, the rest silent.
    std::string noButtons = golden;
    const std::size_t buttonsStart = noButtons.find("[BUTTON_CONTROLS]");
    const std::size_t accessStart = noButtons.find("[ACCESS]");
    ASSERT_LT(buttonsStart, accessStart);
    noButtons.erase(buttonsStart, accessStart - buttonsStart);
    const std::string noButtonsPath = Write("nobuttons.ini", noButtons);
    ASSERT_TRUE(processor.LoadConfiguration(noButtonsPath.c_str())) << processor.GetErrorText();
    EXPECT_EQ(
        Warnings(), std::vector<std::string> { "nobuttons.ini: [BUTTON_CONTROLS] missing; every button = NA taken" });
    EXPECT_FALSE(processor.HasWarnings());

    // The file the writer makes says nothing.
    ASSERT_TRUE(processor.LoadConfiguration(Write("whole.ini", golden).c_str()));
    EXPECT_TRUE(Warnings().empty());
    EXPECT_FALSE(processor.HasWarnings());
}

TEST_F(Configuration, UnmatchedJoystickIdsWarnOnceEachAndAreSavedAsTheSlotZeroId)
{
    const std::string path = Write("foreign.ini",
        "[FLIGHT_CONTROLS]\n"
        "SIDE_STICK_P_CNTL = 111\n"
        "SIDE_STICK_R_CNTL = 222\n"
        "COCKPIT_PEDAL = DEFAULT\n"
        "COCKPIT_TILLER = NOT_AVAIL\n"
        "THRUST_LVR_1 = 333\n"
        "THRUST_LVR_2 = 0\n"
        "THRUST_LVR = DEFAULT\n"
        "[BUTTON_CONTROLS]\n"
        "AP_BTN_CNTL = 555\n"
        "AP_BTN = 1\n"
        "GEAR_BTN_CNTL = DEFAULT\n"
        "GEAR_BTN = 2\n"
        "[ACCESS]\n"
        "CKPT_EYE_POV = 444\n"
        "EYE_POV_CNTL = 1\n");
    ASSERT_TRUE(processor.LoadConfiguration(path.c_str()));
    processor.ClearWarnings();

    JoystickState states[kJoystickSlots] = {};
    states[0].joystickId = 0x11110001u;
    states[1].joystickId = 0x22220002u;
    const JoystickState* table[kJoystickSlots] = { &states[0], &states[1], &states[2], &states[3] };
    processor.SetSlotZeroJoystickId(states[0].joystickId);
    processor.ResolveAssignments(table, 2);

    const std::vector<std::string> expected
        = { "JoyStick Id for PITCH in the ini file has no match with any attached Joy sticks",
              "JoyStick Id for ROLL in the ini file has no match with any attached Joy sticks",
              "JoyStick Id for THR LVR L in the ini file has no match with any attached Joy sticks",
              "JoyStick Id for EYE_VIEW in the ini file has no match with any attached Joy sticks",
              "JoyStick Id for A/P DISC in the ini file has no match with any attached Joy sticks" };
    EXPECT_EQ(Warnings(), expected);

    const std::string saved = folder.File("saved.ini");
    ASSERT_TRUE(processor.SaveConfiguration(0, saved.c_str()));
    const std::vector<std::string> values = JoystickLineValues(ReadBytes(saved));
    EXPECT_EQ(values.size(), 8u + kCockpitButtonCount);
    for (const std::string& value : values) {
        EXPECT_EQ(value, std::to_string(static_cast<std::int32_t>(0x11110001u)));
    }
}

// Every axis block carries values that no other block has, on joysticks in
// different slots, so that two axes mixed up anywhere between the keys, the
// records, the tuning values and the outputs put a value on the wrong key or
// output.
TEST_F(Configuration, EveryAxisKeepsItsOwnValuesThroughSaveLoadAndACycle)
{
    constexpr std::uint32_t kIds[kJoystickSlots] = { 0x1111, 0x2222, 0x3333, 0x4444 };
    struct Axis {
        std::int32_t axis; // 0: the thrust-lever filter pair
        const char* joystickKey;
        const char* inputKey;
        const char* firstKey;
        const char* secondKey;
        std::size_t record;
        std::size_t first;
        std::size_t second;
        std::size_t output; // 0: none
        int slot;
        std::int32_t input;
        double firstValue;
        double secondValue;
        std::int32_t raw; // the joystick's reading of that input
        double expected; // the output one cycle gives
    };
    const Axis axes[] = {
        { AxisPitch, "SIDE_STICK_P_CNTL", "PITCH_CNTL", "PITCH_SENS", "PITCH_DB", Block::kPitchRecord,
            Block::kPitchSensitivity, Block::kPitchDeadBand, Block::kPitchOutput, 0, InputX, 0.002, 0.25, 1000,
            1000 * 0.002 - 0.25 },
        { AxisRoll, "SIDE_STICK_R_CNTL", "ROLL_CNTL", "ROLL_SENS", "ROLL_DB", Block::kRollRecord,
            Block::kRollSensitivity, Block::kRollDeadBand, Block::kRollOutput, 1, InputY, 0.003, 0.5, -3000,
            -3000 * 0.003 + 0.5 },
        { AxisPedals, "COCKPIT_PEDAL", "PEDAL_CNTL", "PEDAL_SENS", "PEDAL_DB", Block::kPedalsRecord,
            Block::kPedalsSensitivity, Block::kPedalsDeadBand, Block::kPedalsOutput, 2, InputZ, 0.004, 0.75, 4000,
            4000 * 0.004 - 0.75 },
        { AxisTiller, "COCKPIT_TILLER", "TILLER_CNTL", "TILLER_SENS", "TILLER_DB", Block::kTillerRecord,
            Block::kTillerSensitivity, Block::kTillerDeadBand, Block::kTillerOutput, 3, InputRx, 0.001, 1.0, -5000,
            -5000 * 0.001 + 1.0 },
        // Thrust levers: percent of travel from the top, times the sensitivity,
        // plus the offset, through their filters' first step (period / time constant).
        { AxisThrLvrL, "THRUST_LVR_1", "TLA_L_CNTL", "TLA_L_SENS", "TLA_L_OFFSET", Block::kThrLvrLRecord,
            Block::kThrLvrLSensitivity, Block::kThrLvrLOffset, Block::kThrLvrLOutput, 2, InputRy, 1.5, 2.0, 6000,
            (20 * 1.5 + 2.0) * 0.1 / 0.4 },
        { AxisThrLvrR, "THRUST_LVR_2", "TLA_R_CNTL", "TLA_R_SENS", "TLA_R_OFFSET", Block::kThrLvrRRecord,
            Block::kThrLvrRSensitivity, Block::kThrLvrROffset, Block::kThrLvrROutput, 3, InputRz, 1.125, 3.0, -2000,
            (60 * 1.125 + 3.0) * 0.1 / 0.5 },
        // First the right lever's filter time constant, then the left's.
        { 0, "THRUST_LVR", "TLA_CNTL", "TLA_1_TC", "TLA_2_TC", Block::kThrustLeverFilterRecord,
            Block::kThrLvrRFilterTimeConstant, Block::kThrLvrLFilterTimeConstant, 0, 1, InputSL1, 0.5, 0.4, 0, 0.0 },
    };
    constexpr std::int32_t kEyePov = 2;
    constexpr int kEyeSlot = 1;

    processor.SetSlotZeroJoystickId(kIds[0]);
    for (const Axis& axis : axes) {
        SetAxis(axis.record, static_cast<std::int32_t>(kIds[axis.slot]), axis.input);
        SetSetting(axis.first, axis.firstValue);
        SetSetting(axis.second, axis.secondValue);
    }
    SetAxis(Block::kEyeViewRecord, static_cast<std::int32_t>(kIds[kEyeSlot]), kEyePov);

    // Saved: each value under its own key.
    const std::string path = folder.File("distinct.ini");
    ASSERT_TRUE(processor.SaveConfiguration(1, path.c_str())) << processor.GetErrorText();
    std::map<std::string, std::string> values;
    {
        std::istringstream lines(ReadBytes(path));
        std::string line;
        while (std::getline(lines, line)) {
            const std::size_t equals = line.find('=');
            if (line.empty() || line[0] == '#' || equals == std::string::npos) {
                continue;
            }
            const std::size_t keyEnd = line.find_first_of(" \t");
            std::string value = line.substr(equals + 1);
            while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) {
                value.pop_back();
            }
            values[line.substr(0, keyEnd)] = value.substr(value.find_first_not_of(' '));
        }
    }
    for (const Axis& axis : axes) {
        SCOPED_TRACE(axis.joystickKey);
        EXPECT_EQ(values[axis.joystickKey], std::to_string(kIds[axis.slot]));
        EXPECT_EQ(values[axis.inputKey], std::to_string(axis.input));
        EXPECT_DOUBLE_EQ(std::strtod(values[axis.firstKey].c_str(), nullptr), axis.firstValue);
        EXPECT_DOUBLE_EQ(std::strtod(values[axis.secondKey].c_str(), nullptr), axis.secondValue);
    }
    EXPECT_EQ(values["CKPT_EYE_POV"], std::to_string(kIds[kEyeSlot]));
    EXPECT_EQ(values["EYE_POV_CNTL"], std::to_string(kEyePov));

    // Loaded over a wiped block: each value back in its own record and setting.
    for (std::size_t offset = Block::kJoystickSetup + 4; offset < Block::kSize; offset += 4) {
        Block::StoreInt32(block, offset, 0);
    }
    for (std::size_t i = 0; i < Block::kControlSettingsCount; ++i) {
        SetSetting(Block::kControlSettings + 8 * i, 99.0);
    }
    ASSERT_TRUE(processor.LoadConfiguration(path.c_str())) << processor.GetErrorText();
    for (const Axis& axis : axes) {
        SCOPED_TRACE(axis.joystickKey);
        EXPECT_EQ(Id(axis.record), static_cast<std::int32_t>(kIds[axis.slot]));
        EXPECT_EQ(Input(axis.record), axis.input);
        EXPECT_NEAR(Setting(axis.first), axis.firstValue, 1e-6);
        EXPECT_NEAR(Setting(axis.second), axis.secondValue, 1e-6);
    }
    EXPECT_EQ(Id(Block::kEyeViewRecord), static_cast<std::int32_t>(kIds[kEyeSlot]));
    EXPECT_EQ(Input(Block::kEyeViewRecord), kEyePov);

    // One cycle: each axis finds its joystick's slot and publishes its own reading.
    JoystickState states[kJoystickSlots] = {};
    const JoystickState* table[kJoystickSlots] = {};
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        states[slot].joystickId = kIds[slot];
        states[slot].axisSpan = 20000;
        states[slot].axisMinimum = -10000;
        states[slot].axisMaximum = 10000;
        table[slot] = &states[slot];
    }
    for (const Axis& axis : axes) {
        if (axis.output != 0) {
            states[axis.slot].axes[axis.input] = axis.raw;
        }
    }
    states[kEyeSlot].pov[kEyePov - 1] = 135;
    states[kEyeSlot].pov[0] = 45;
    SwitchPanelState panel {};
    processor.SetSwitchPanel(&panel);
    processor.SetCounts(kJoystickSlots, ControlProcessor::kInputCount);
    processor.ClearWarnings();
    processor.ProcessCycle(0.1, table, kJoystickSlots - 1);

    EXPECT_TRUE(Warnings().empty());
    for (const Axis& axis : axes) {
        SCOPED_TRACE(axis.joystickKey);
        if (axis.output != 0) {
            EXPECT_EQ(processor.GetAxisSlot(axis.axis), axis.slot);
            EXPECT_NEAR(Block::LoadDouble(block, axis.output), axis.expected, 1e-9);
        }
    }
    EXPECT_EQ(processor.GetEyeViewSlot(), kEyeSlot);
    EXPECT_EQ(panel.eyeAngle, 135);
}

// JoystickSet on the scripted DirectInput and a private block: slots and
// names, the enumeration's failures and texts, the per-tick poll.
#include "devices/DirectInputBackends.h"
#include "devices/JoystickDevice.h"
#include "devices/JoystickSet.h"
#include "mapping/Assignments.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/SetUp.h"
#include "tests/fakes/ScriptedDirectInput.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A set that lets the test see what the processing was told.
struct InspectableSet : JoystickSet {
    std::int32_t AttachedCount() const { return m_attachedCount; }
};

class JoystickSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        JoystickSet::ClearLastErrorText();
        ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", ShmTestOs::UniqueName("joyset").c_str());
        configuration = fs::temp_directory_path() / (ShmTestOs::UniqueName("joyset") + ".ini");
        std::ofstream file(configuration, std::ios::binary);
        file << "[FLIGHT_CONTROLS]\n"
                "SIDE_STICK_P_CNTL\t= 0\n"
                "PITCH_CNTL\t\t= 1\n"
                "#\n"
                "SIDE_STICK_R_CNTL\t= 0\n"
                "ROLL_CNTL\t\t= 0\n"
                "#\n";
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove(configuration, ignored);
        ShmTestOs::UnsetEnvironment("TAVELIN_SHM_NAME");
        JoystickSet::ClearLastErrorText();
    }

    void Start(JoystickSet& set)
    {
        ASSERT_TRUE(set.Initialise(configuration.string().c_str())) << set.GetLastErrorText();
    }

    fs::path configuration;
};

TEST_F(JoystickSetTest, TwoJoysticksFillTwoSlotsAndTheRestAreEmpty)
{
    ScriptedDirectInput fake;
    fake.AddJoystick(0x0402044F, "Side Stick", 12).state.lY = -1234;
    fake.AddJoystick(0x0C2D06A3, "Throttle Quadrant", 8).state.lZ = 4321;
    int window = 0;
    {
        InspectableSet set;
        Start(set);
        ASSERT_TRUE(set.CreateDevices(&window, nullptr)) << set.GetLastErrorText();
        EXPECT_EQ(fake.CountCalls("EnumDevices 4 1"), 1); // joysticks, attached only
        EXPECT_EQ(fake.LastCooperativeWindow(), &window);
        EXPECT_EQ(set.GetJoystickCount(), 2);
        EXPECT_STREQ(set.GetDeviceName(0), "Side Stick");
        EXPECT_STREQ(set.GetDeviceName(1), "Throttle Quadrant");
        EXPECT_STREQ(set.GetDeviceName(2), "No Device");
        EXPECT_STREQ(set.GetDeviceName(3), "No Device");
        EXPECT_STREQ(set.GetDeviceName(4), "Out Of Range");
        EXPECT_STREQ(set.GetDeviceName(-1), "Out Of Range");
        EXPECT_EQ(set.GetButtonCount(0), 12);
        EXPECT_EQ(set.GetButtonCount(1), 8);
        EXPECT_EQ(set.GetButtonCount(2), 0);
        EXPECT_EQ(set.GetButtonCount(7), 0);
        EXPECT_EQ(set.GetSlotZeroJoystickId(), 0x0402044Fu);

        set.PublishSlotNames();
        EXPECT_STREQ(set.GetSlotName(0), "Side Stick");
        EXPECT_STREQ(set.GetSlotName(1), "Throttle Quadrant");
        EXPECT_STREQ(set.GetSlotName(2), "No Joy Stick Attached");
        EXPECT_STREQ(set.GetSlotName(3), "No Joy Stick Attached");

        // Before the first poll: a zero-filled record; outside the slots or empty: nothing.
        JoystickState state;
        std::memset(&state, 0x5A, sizeof(state));
        ASSERT_TRUE(set.GetSlotState(0, state));
        const JoystickState zero {};
        EXPECT_EQ(std::memcmp(&state, &zero, sizeof(state)), 0);
        std::memset(&state, 0x5A, sizeof(state));
        EXPECT_FALSE(set.GetSlotState(7, state));
        EXPECT_FALSE(set.GetSlotState(2, state));
        EXPECT_FALSE(set.GetSlotState(-1, state));
        EXPECT_EQ(reinterpret_cast<const unsigned char*>(&state)[0], 0x5A);

        set.PollAll(0.01);
        EXPECT_EQ(set.GetCycleCount(), 1);
        EXPECT_EQ(set.AttachedCount(), 2);
        ASSERT_TRUE(set.GetSlotState(0, state));
        EXPECT_EQ(state.axes[1], -1234);
        EXPECT_EQ(state.joystickId, 0x0402044Fu);
        EXPECT_EQ(state.buttonCount, 12);
        ASSERT_TRUE(set.GetSlotState(1, state));
        EXPECT_EQ(state.axes[2], 4321);
        EXPECT_EQ(state.pov[0], 42949672u);

        fake.ClearLog();
        set.RunControlPanel();
        EXPECT_EQ(fake.Log(), (std::vector<std::string> { "RunControlPanel 0" }));
        // Every device has a root of its own besides the set's.
        EXPECT_EQ(fake.LiveRoots(), 3);
        EXPECT_EQ(fake.LiveDevices(), 2);
    }
    EXPECT_EQ(fake.LiveRoots(), 0);
    EXPECT_EQ(fake.LiveDevices(), 0);
}

TEST_F(JoystickSetTest, FiveJoysticksAreCountedButOnlyFourPolled)
{
    ScriptedDirectInput fake;
    for (int i = 0; i < 5; ++i) {
        fake.AddJoystick(0x1000u + static_cast<std::uint32_t>(i), "Stick " + std::to_string(i), 4);
    }
    InspectableSet set;
    Start(set);
    ASSERT_TRUE(set.CreateDevices(nullptr, nullptr));
    EXPECT_EQ(set.GetJoystickCount(), 5);
    EXPECT_EQ(fake.CountCalls("CreateDevice j4"), 0);
    EXPECT_STREQ(set.GetDeviceName(3), "Stick 3");
    fake.ClearLog();
    set.PollAll(0.01);
    EXPECT_EQ(fake.CountCalls("j3 Poll"), 1);
    EXPECT_EQ(fake.CountCalls("j4 Poll"), 0);
    EXPECT_EQ(set.AttachedCount(), 4);
    EXPECT_EQ(set.GetCycleCount(), 1);
}

TEST_F(JoystickSetTest, NoJoystickFailsWithItsTextAndPollingDoesNothing)
{
    ScriptedDirectInput fake;
    InspectableSet set;
    Start(set);
    EXPECT_FALSE(set.CreateDevices(nullptr, nullptr));
    EXPECT_STREQ(set.GetLastErrorText(), "There appears to be no joysticks attached");
    EXPECT_EQ(set.GetJoystickCount(), 0);
    set.PollAll(0.01);
    set.PollAll(0.01);
    EXPECT_EQ(set.GetCycleCount(), 0);
    set.PublishSlotNames();
    EXPECT_STREQ(set.GetSlotName(0), "No Joy Stick Attached");

    // A later failure that sets only the set's own text is not shown with the old reason.
    EXPECT_FALSE(set.LoadConfiguration((configuration.string() + ".missing").c_str()));
    EXPECT_STRNE(set.GetLastErrorText(), "There appears to be no joysticks attached");
    EXPECT_STREQ(set.GetLastErrorText(), set.GetErrorText());
}

TEST_F(JoystickSetTest, CreationAndEnumerationFailuresGiveTheResultText)
{
    ScriptedDirectInput fake;
    fake.AddJoystick(1, "Stick", 4);
    {
        JoystickSet set;
        fake.Script("DirectInputCreateA", DIERR_OUTOFMEMORY);
        EXPECT_FALSE(set.CreateDevices(nullptr, nullptr));
        EXPECT_STREQ(set.GetLastErrorText(), JoystickDevice::ResultText(DIERR_OUTOFMEMORY));
        EXPECT_STREQ(set.GetDeviceName(0), "No Device");
        set.RunControlPanel(); // without an interface: nothing to call
        EXPECT_EQ(fake.CountCalls("RunControlPanel 0"), 0);
    }
    {
        JoystickSet set;
        fake.Script("EnumDevices", DIERR_NOTINITIALIZED);
        EXPECT_FALSE(set.CreateDevices(nullptr, nullptr));
        EXPECT_STREQ(set.GetLastErrorText(), JoystickDevice::ResultText(DIERR_NOTINITIALIZED));
        // The text is the program's, not the set's: a new set still shows it.
        JoystickSet next;
        EXPECT_STREQ(next.GetLastErrorText(), JoystickDevice::ResultText(DIERR_NOTINITIALIZED));
    }
    EXPECT_EQ(fake.LiveRoots(), 0);
}

TEST_F(JoystickSetTest, SlotZeroIdComesFromAFirstJoystickWhoseSetUpFailed)
{
    ScriptedDirectInput fake;
    fake.AddJoystick(0xCAFE0001, "Broken", 12);
    fake.AddJoystick(0xCAFE0002, "Fine", 6);
    fake.Script("CreateDevice", DIERR_DEVICENOTREG); // only the first joystick's
    InspectableSet set;
    Start(set);
    ASSERT_TRUE(set.CreateDevices(nullptr, nullptr));
    EXPECT_EQ(set.GetSlotZeroJoystickId(), 0xCAFE0001u);
    EXPECT_STREQ(set.GetDeviceName(0), "Broken");
    EXPECT_EQ(set.GetButtonCount(0), 0);
    EXPECT_EQ(set.GetButtonCount(1), 6);
    // It keeps its slot: both are counted and polled, the broken one never moves.
    set.PollAll(0.01);
    EXPECT_EQ(set.AttachedCount(), 2);
    JoystickState state;
    ASSERT_TRUE(set.GetSlotState(0, state));
    EXPECT_EQ(state.joystickId, 0u);
}

TEST_F(JoystickSetTest, InitialiseFailuresGiveTheFailingPartsText)
{
    JoystickSet set;
    EXPECT_FALSE(set.Initialise((configuration.string() + ".missing").c_str()));
    EXPECT_STRNE(set.GetLastErrorText(), "");
    EXPECT_STREQ(set.GetLastErrorText(), set.GetErrorText());

    // A file without the mandatory pitch entry.
    JoystickSet::ClearLastErrorText();
    {
        std::ofstream file(configuration, std::ios::binary | std::ios::trunc);
        file << "[CONFIG_DETAILS]\nNAME = X\n";
    }
    JoystickSet second;
    EXPECT_FALSE(second.Initialise(configuration.string().c_str()));
    EXPECT_STREQ(second.GetLastErrorText(), second.GetErrorText());
    EXPECT_STRNE(second.GetLastErrorText(), "");
}

TEST_F(JoystickSetTest, PollingAllocatesNothing)
{
    ScriptedDirectInput fake;
    fake.AddJoystick(1, "One", 12);
    fake.AddJoystick(2, "Two", 8);
    fake.AddJoystick(3, "Three", 4);
    InspectableSet set;
    Start(set);
    ASSERT_TRUE(set.CreateDevices(nullptr, nullptr));
    fake.SetLogging(false);
    set.PollAll(0.01); // the first cycle resolves the assignment
    fake.joystick(1).attached = false; // a lost joystick on the way
    AllocationCounter::Start();
    for (int tick = 0; tick < 50; ++tick) {
        fake.joystick(0).state.lX = tick * 100;
        set.PollAll(0.01);
    }
    const int allocations = AllocationCounter::Stop();
    EXPECT_EQ(allocations, 0);
    JoystickState state;
    ASSERT_TRUE(set.GetSlotState(0, state));
    EXPECT_EQ(state.axes[0], 4900);
}

TEST_F(JoystickSetTest, CalibrationReachesEveryReaderOfTheSlotsAndOnlyTheJoysticksItNames)
{
    ScriptedDirectInput fake;
    fake.AddJoystick(0x12345678, "Stick", 12);
    fake.AddJoystick(0x0BAD0001, "Pedals", 0);
    ScriptedDirectInput::Joystick& stick = fake.joystick(0);
    ScriptedDirectInput::Joystick& pedals = fake.joystick(1);
    stick.state.lX = 600;
    stick.state.lZ = -6000;
    stick.state.lY = 777;
    stick.state.lVX = 55;
    pedals.state.lX = 600;
    pedals.state.lRz = -9999;
    JoystickState uncalibrated[2];
    {
        InspectableSet plain;
        Start(plain);
        ASSERT_TRUE(plain.CreateDevices(nullptr, nullptr));
        plain.PollAll(0.01);
        ASSERT_TRUE(plain.GetSlotState(0, uncalibrated[0]));
        ASSERT_TRUE(plain.GetSlotState(1, uncalibrated[1]));
    }
    InspectableSet set;

    Start(set);
    CalibrationTable table;
    table.Entry(0x12345678).axes[0] = AxisCalibration::Centred(-9000, 200, 8200); // X
    table.Entry(0x12345678).axes[2] = AxisCalibration::RestsAtEnd(-10000, 6000); // Z
    table.Entry(0x7777).axes[0] = AxisCalibration::RestsAtEnd(0, 1); // nobody's
    set.SetCalibration(table);
    ASSERT_TRUE(set.CreateDevices(nullptr, nullptr));
    // Not polled yet: the records are as empty as without calibration.
    JoystickState state;
    ASSERT_TRUE(set.GetSlotState(0, state));
    EXPECT_EQ(state.axes[0], 0);

    fake.SetLogging(false);
    set.PollAll(0.01);
    ASSERT_TRUE(set.GetSlotState(0, state));
    EXPECT_EQ(state.axes[0], 500); // 400 of 8000 above the centre
    EXPECT_EQ(state.axes[2], -5000); // 8000 of 16000 along the lever
    // The rest of the record is the device's, untouched.
    JoystickState expected = uncalibrated[0];
    expected.axes[0] = 500;
    expected.axes[2] = -5000;
    EXPECT_EQ(std::memcmp(&state, &expected, sizeof state), 0);
    // A joystick without an entry reads bit for bit as without any calibration.
    ASSERT_TRUE(set.GetSlotState(1, state));
    EXPECT_EQ(std::memcmp(&state, &uncalibrated[1], sizeof state), 0);
    // What the calibration is made from is the device's own value.
    std::int32_t raw[kCalibratedAxes] = {};
    ASSERT_TRUE(set.GetRawAxes(0, raw));
    EXPECT_EQ(raw[0], 600);
    EXPECT_EQ(raw[2], -6000);
    EXPECT_FALSE(set.GetRawAxes(2, raw));

    // Calibrating costs nothing per tick.
    AllocationCounter::Start();
    for (int tick = 0; tick < 20; ++tick) {
        stick.state.lX = 200 + 400 * tick;
        set.PollAll(0.01);
    }
    EXPECT_EQ(AllocationCounter::Stop(), 0);
    ASSERT_TRUE(set.GetSlotState(0, state));
    EXPECT_EQ(state.axes[0], 9500); // 7600 of 8000
    stick.state.lX = 9000;
    set.PollAll(0.01);
    ASSERT_TRUE(set.GetSlotState(0, state));
    EXPECT_EQ(state.axes[0], 10000); // clamped

    // A new calibration is in use at once, and an empty one gives the raw values back.
    set.SetCalibration(CalibrationTable {});
    ASSERT_TRUE(set.GetSlotState(0, state));
    EXPECT_EQ(state.axes[0], 9000);
    EXPECT_EQ(state.axes[2], -6000);
}

TEST_F(JoystickSetTest, AMalformedVirtualFileReachesTheWindowAsAClearText)
{
    const fs::path joysticks = fs::temp_directory_path() / (ShmTestOs::UniqueName("virtual") + ".ini");
    {
        std::ofstream file(joysticks, std::ios::binary);
        file << "[JOYSTICK_0]\nBUTTONS = many\n";
    }
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", joysticks.string().c_str());
    JoystickSet set;
    Start(set);
    EXPECT_FALSE(set.CreateDevices(nullptr, nullptr));
    const std::string expected = std::string(JoystickDevice::ResultText(DIERR_GENERIC)) + "\nVirtual joystick file "
        + joysticks.string() + ": line 2: BUTTONS must be a whole number from 0 to 32";
    EXPECT_EQ(set.GetLastErrorText(), expected);

    // Mended: the next enumeration finds the stick and polls it.
    {
        std::ofstream file(joysticks, std::ios::binary | std::ios::trunc);
        file << "[JOYSTICK_0]\nNAME = Mended\nBUTTONS = 2\nX = 700\n";
    }
    ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
    EXPECT_STREQ(set.GetDeviceName(0), "Mended");
    set.PollAll(0.01);
    JoystickState state;
    ASSERT_TRUE(set.GetSlotState(0, state));
    EXPECT_EQ(state.axes[0], 700);
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    std::error_code ignored;
    fs::remove(joysticks, ignored);
}

TEST_F(JoystickSetTest, BackendsAreTakenInTheirListsOrder)
{
    const auto names = [] {
        std::vector<std::string> listed;
        for (const DirectInputBackend& backend : DirectInputBackendList()) {
            listed.emplace_back(backend.name);
        }
        return listed;
    };
    EXPECT_EQ(names(),
        (std::vector<std::string> { "test override", "recording replay", "virtual joystick file", "platform" }));

    const fs::path joysticks = fs::temp_directory_path() / (ShmTestOs::UniqueName("backends") + ".ini");
    {
        std::ofstream file(joysticks, std::ios::binary);
        file << "[JOYSTICK_0]\nNAME = From The File\n";
    }
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", joysticks.string().c_str());
    {
        // The override comes before the file.
        ScriptedDirectInput fake;
        fake.AddJoystick(7, "Scripted", 2);
        JoystickSet set;
        Start(set);
        ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        EXPECT_STREQ(set.GetDeviceName(0), "Scripted");
    }
    {
        // Without it the file comes before the platform's joysticks.
        JoystickSet set;
        Start(set);
        ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        EXPECT_STREQ(set.GetDeviceName(0), "From The File");
    }
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    std::error_code ignored;
    fs::remove(joysticks, ignored);
}

// What the Windows program does on WM_DEVICECHANGE: tell the set, which
// enumerates again on its next tick.
TEST_F(JoystickSetTest, DeviceChangesMoveNoOneAndLostJoysticksComeBackToTheirSlot)
{
    ScriptedDirectInput fake;
    fake.AddJoystick(0x0402044F, "Side Stick", 12).state.lX = 700;
    InspectableSet set;
    Start(set);
    ASSERT_TRUE(set.CreateDevices(nullptr, nullptr));
    set.PollAll(0.01);
    const std::uint32_t changes = set.GetSlotChangeCount();

    // Nothing is enumerated again until the window says so.
    fake.AddJoystick(0x0C2D06A3, "Throttle Quadrant", 8).state.rglSlider[0] = -3000;
    fake.ClearLog();
    set.PollAll(0.01);
    EXPECT_EQ(set.GetJoystickCount(), 1);
    EXPECT_EQ(fake.CountCalls("EnumDevices 4 1"), 0);
    set.OnDevicesChanged();
    set.PollAll(0.01);
    EXPECT_EQ(fake.CountCalls("EnumDevices 4 1"), 1);
    EXPECT_EQ(set.GetJoystickCount(), 2);
    EXPECT_EQ(set.AttachedCount(), 2);
    EXPECT_NE(set.GetSlotChangeCount(), changes);
    EXPECT_STREQ(set.GetDeviceName(1), "Throttle Quadrant");
    EXPECT_STREQ(set.GetSlotName(1), "Throttle Quadrant");
    JoystickState state;
    ASSERT_TRUE(set.GetSlotState(1, state));
    EXPECT_EQ(state.axes[6], -3000);

    // The side stick is unplugged: its slot stays, reads as lost and holds.
    fake.joystick(0).attached = false;
    fake.joystick(0).state.lX = -9999;
    set.OnDevicesChanged();
    set.PollAll(0.01);
    EXPECT_TRUE(set.IsSlotLost(0));
    EXPECT_FALSE(set.IsSlotLost(1));
    EXPECT_EQ(set.GetJoystickCount(), 2);
    ASSERT_TRUE(set.GetSlotState(0, state));
    EXPECT_EQ(state.axes[0], 700);
    EXPECT_STREQ(set.GetDeviceName(0), "Side Stick");
    WarningList warnings;
    set.GetWarnings(warnings);
    ASSERT_GE(warnings.count, 1);
    EXPECT_STREQ(warnings.messages[warnings.count - 1],
        "JoyStick in slot 0 (Side Stick) is lost: it keeps its slot and its last reading until it is plugged in again");

    // Plugged in again: the same slot, fresh readings, and nobody moved.
    fake.joystick(0).attached = true;
    set.OnDevicesChanged();
    set.PollAll(0.01);
    EXPECT_FALSE(set.IsSlotLost(0));
    ASSERT_TRUE(set.GetSlotState(0, state));
    EXPECT_EQ(state.axes[0], -9999);
    EXPECT_STREQ(set.GetDeviceName(1), "Throttle Quadrant");
    EXPECT_EQ(set.GetJoystickCount(), 2);
}

TEST_F(JoystickSetTest, ASectionAddedToTheVirtualFileIsAJoystickPluggedIn)
{
    const fs::path joysticks = fs::temp_directory_path() / (ShmTestOs::UniqueName("plugged") + ".ini");
    const auto write = [&joysticks](const char* text) {
        std::ofstream file(joysticks, std::ios::binary | std::ios::trunc);
        file << text;
    };
    write("[JOYSTICK_0]\nNAME = Stick\nX = 100\n");
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", joysticks.string().c_str());
    {
        InspectableSet set;
        Start(set);
        ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        set.PollAll(0.01);
        write("[JOYSTICK_0]\nNAME = Stick\nX = 100\n[JOYSTICK_3]\nNAME = Pedals\nRZ = 500\n");
        set.PollAll(0.01);
        EXPECT_EQ(set.GetJoystickCount(), 2);
        EXPECT_STREQ(set.GetDeviceName(1), "Pedals");
        JoystickState state;
        ASSERT_TRUE(set.GetSlotState(1, state));
        EXPECT_EQ(state.axes[5], 500);

        write("[JOYSTICK_3]\nNAME = Pedals\nRZ = 600\n");
        set.PollAll(0.01);
        EXPECT_TRUE(set.IsSlotLost(0));
        EXPECT_EQ(set.GetJoystickCount(), 2);
        ASSERT_TRUE(set.GetSlotState(1, state));
        EXPECT_EQ(state.axes[5], 600);
    }
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    std::error_code ignored;
    fs::remove(joysticks, ignored);
}

// The lines of the warning list, in order.
std::vector<std::string> Lines(const JoystickSet& set)
{
    WarningList warnings;
    set.GetWarnings(warnings);
    return std::vector<std::string>(warnings.messages, warnings.messages + warnings.count);
}

TEST_F(JoystickSetTest, EveryLossReturnAndBadVirtualFileIsSaidOnceAndUntouchedSlotsSayNothing)
{
    const fs::path joysticks = fs::temp_directory_path() / (ShmTestOs::UniqueName("losses") + ".ini");
    const auto write = [&joysticks](const std::string& text) {
        std::ofstream file(joysticks, std::ios::binary | std::ios::trunc);
        file << text;
    };
    const std::string stick = "[JOYSTICK_0]\nNAME = Virtual Side Stick\nJOY_ID = 1\nX = 111\n";
    const std::string throttle = "[JOYSTICK_1]\nNAME = Virtual Throttle Quadrant\nJOY_ID = 2\nZ = 222\n";
    const std::string pedals = "[JOYSTICK_2]\nNAME = Virtual Pedals\nJOY_ID = 3\n";
    write(stick + throttle);
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", joysticks.string().c_str());
    {
        InspectableSet set;
        Start(set);
        ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        set.ClearWarnings(); // what the configuration lacked
        const auto tick = [&set] {
            for (int i = 0; i < 3; ++i) {
                set.PollAll(0.01);
            }
        };
        tick();
        EXPECT_TRUE(Lines(set).empty());
        const std::string lost = "JoyStick in slot 1 (Virtual Throttle Quadrant) is lost: it keeps its slot and its "
                                 "last reading until it is plugged in again";
        const std::string back = "JoyStick in slot 1 (Virtual Throttle Quadrant) is back";

        write(stick);
        tick();
        EXPECT_EQ(Lines(set), (std::vector<std::string> { lost }));
        write(stick + throttle);
        tick();
        EXPECT_EQ(Lines(set), (std::vector<std::string> { lost, back }));
        write(stick + throttle + pedals);
        tick();
        EXPECT_EQ(Lines(set), (std::vector<std::string> { lost, back })) << "a joystick plugged in says nothing";
        EXPECT_STREQ(set.GetDeviceName(2), "Virtual Pedals");

        // Mistyped while in use: one line with the file and the line, the readings held, no slot lost.
        write(stick + throttle + pedals + "Y = abc\n");
        tick();
        const std::string broken = "Virtual joystick file " + joysticks.string()
            + ": line 12: Y must be a whole number from -10000 to 10000; the joysticks keep their last reading until "
              "the file is good again";
        EXPECT_EQ(Lines(set), (std::vector<std::string> { lost, back, broken }));
        write(stick + throttle + pedals + "BUTTONS = 33\n");
        tick();
        EXPECT_EQ(Lines(set).size(), 3u);
        for (int slot = 0; slot < 3; ++slot) {
            EXPECT_FALSE(set.IsSlotLost(slot)) << slot;
        }
        JoystickState state;
        ASSERT_TRUE(set.GetSlotState(0, state));
        EXPECT_EQ(state.axes[0], 111);
        ASSERT_TRUE(set.GetSlotState(1, state));
        EXPECT_EQ(state.axes[2], 222);
        EXPECT_FALSE(set.HasWarnings()) << "notes, never the pending flag";

        write(stick + throttle + pedals);
        tick();
        const std::string mended
            = "Virtual joystick file " + joysticks.string() + " is good again: the joysticks follow it";
        EXPECT_EQ(Lines(set), (std::vector<std::string> { lost, back, broken, mended }));
        EXPECT_FALSE(set.HasWarnings());
    }
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    std::error_code ignored;
    fs::remove(joysticks, ignored);
}

TEST_F(JoystickSetTest, IdenticalVirtualJoysticksKeepTheirControlsInEitherOrderAndAcrossAReplug)
{
    const std::string levers = "[FLIGHT_CONTROLS]\n"
                               "SIDE_STICK_P_CNTL\t= 77\nPITCH_CNTL\t\t= 1\n"
                               "SIDE_STICK_R_CNTL\t= 77\nROLL_CNTL\t\t= 0\n"
                               "THRUST_LVR_1\t= 77\nTLA_L_CNTL\t\t= 0\n"
                               "THRUST_LVR_2\t= 77\nTLA_R_CNTL\t\t= 0\n";
    const std::string instances = "[JOYSTICK_INSTANCES]\nTHRUST_LVR_1\t= serial:A1\nTHRUST_LVR_2\t= serial:B2\n";
    const fs::path joysticks = fs::temp_directory_path() / (ShmTestOs::UniqueName("twins") + ".ini");
    const auto write = [&joysticks](const std::string& text) {
        std::ofstream file(joysticks, std::ios::binary | std::ios::trunc);
        file << text;
    };
    const auto quadrant = [](int section, const char* serial, int x) {
        return "[JOYSTICK_" + std::to_string(section) + "]\nJOY_ID = 77\nNAME = Throttle Quadrant\nSERIAL = " + serial
            + "\nX = " + std::to_string(x) + "\n";
    };
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", joysticks.string().c_str());
    const auto leverSlots = [&](const std::string& configurationText, const std::string& joysticksText) {
        std::ofstream(configuration, std::ios::binary | std::ios::trunc) << configurationText;
        write(joysticksText);
        JoystickSet set;
        Start(set);
        EXPECT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        set.PollAll(0.01);
        return std::vector<std::int32_t> { set.GetAxisSlot(AxisThrLvrL), set.GetAxisSlot(AxisThrLvrR) };
    };
    const std::string aFirst = quadrant(0, "A1", -5000) + quadrant(1, "B2", 5000);
    const std::string bFirst = quadrant(0, "B2", 5000) + quadrant(1, "A1", -5000);
    EXPECT_EQ(leverSlots(levers + instances, aFirst), (std::vector<std::int32_t> { 0, 1 }));
    EXPECT_EQ(leverSlots(levers + instances, bFirst), (std::vector<std::int32_t> { 1, 0 }));
    EXPECT_EQ(leverSlots(levers, bFirst), (std::vector<std::int32_t> { 0, 0 })) << "without the section: the first";

    // Both unplugged, and plugged in again the other way round: each comes back to its own slot.
    std::ofstream(configuration, std::ios::binary | std::ios::trunc) << levers + instances;
    write(aFirst);
    {
        JoystickSet set;
        Start(set);
        ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        set.PollAll(0.01);
        EXPECT_STREQ(set.GetInstanceKey(0), "serial:A1");
        EXPECT_TRUE(set.IsOneOfIdenticalJoysticks(0));
        set.ClearWarnings();
        write("");
        set.PollAll(0.01);
        ASSERT_TRUE(set.IsSlotLost(0) && set.IsSlotLost(1));
        write(bFirst);
        set.PollAll(0.01);
        set.PollAll(0.01);
        EXPECT_FALSE(set.IsSlotLost(0) || set.IsSlotLost(1));
        JoystickState state;
        ASSERT_TRUE(set.GetSlotState(0, state));
        EXPECT_EQ(state.axes[0], -5000);
        ASSERT_TRUE(set.GetSlotState(1, state));
        EXPECT_EQ(state.axes[0], 5000);
        EXPECT_STREQ(set.GetInstanceKey(0), "serial:A1");
        EXPECT_EQ(set.GetAxisSlot(AxisThrLvrL), 0);
        EXPECT_EQ(set.GetAxisSlot(AxisThrLvrR), 1);
        EXPECT_EQ(Lines(set),
            (std::vector<std::string> {
                "JoyStick in slot 0 (Throttle Quadrant) is lost: it keeps its slot and its last "
                "reading until it is plugged in again",
                "JoyStick in slot 1 (Throttle Quadrant) is lost: it keeps its slot and its last reading until it is "
                "plugged in again",
                "JoyStick in slot 1 (Throttle Quadrant) is back", "JoyStick in slot 0 (Throttle Quadrant) is back" }))
            << "in the order they came back";
    }
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    std::error_code ignored;
    fs::remove(joysticks, ignored);
}

TEST_F(JoystickSetTest, IdenticalJoysticksTakeTheCalibrationOfTheirOwnInstanceOnceTheTwinIsThere)
{
    const fs::path joysticks = fs::temp_directory_path() / (ShmTestOs::UniqueName("twincal") + ".ini");
    const auto write = [&joysticks](const std::string& text) {
        std::ofstream file(joysticks, std::ios::binary | std::ios::trunc);
        file << text;
    };
    const std::string b2 = "[JOYSTICK_0]\nJOY_ID = 77\nNAME = Throttle Quadrant\nSERIAL = B2\nX = 5000\n";
    const std::string a1 = "[JOYSTICK_1]\nJOY_ID = 77\nNAME = Throttle Quadrant\nSERIAL = A1\nX = -5000\n";
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", joysticks.string().c_str());
    write(b2);
    {
        JoystickSet set;
        Start(set);
        CalibrationTable table;
        table.Entry(77).axes[0] = AxisCalibration::Centred(-10000, -1000, 10000);
        table.Entry(77, "serial:B2").axes[0] = AxisCalibration::Centred(-10000, 1000, 10000);
        set.SetCalibration(table);
        ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        set.PollAll(0.01);
        JoystickState state;
        // Alone, the quadrant is no twin: the entry of its ID holds.
        ASSERT_TRUE(set.GetSlotState(0, state));
        EXPECT_NEAR(state.axes[0], 6000.0 / 11000.0 * 10000.0, 1.0);

        // Its twin plugged in: each goes by its own instance, the one without an entry by the ID's.
        write(b2 + a1);
        set.PollAll(0.01);
        set.PollAll(0.01);
        ASSERT_TRUE(set.IsOneOfIdenticalJoysticks(0));
        ASSERT_TRUE(set.GetSlotState(0, state));
        EXPECT_NEAR(state.axes[0], 4000.0 / 9000.0 * 10000.0, 1.0);
        ASSERT_TRUE(set.GetSlotState(1, state));
        EXPECT_STREQ(set.GetInstanceKey(1), "serial:A1");
        EXPECT_NEAR(state.axes[0], -4000.0 / 9000.0 * 10000.0, 1.0);
    }
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    std::error_code ignored;
    fs::remove(joysticks, ignored);
}

TEST_F(JoystickSetTest, ARewriteOfTheVirtualFileReachesEveryJoystickOnTheNextTick)
{
    const fs::path joysticks = fs::temp_directory_path() / (ShmTestOs::UniqueName("rewrite") + ".ini");
    const auto write = [&joysticks](int x, int z) {
        std::ofstream file(joysticks, std::ios::binary | std::ios::trunc);
        file << "[JOYSTICK_0]\nX = " << x << "\n[JOYSTICK_1]\nZ = " << z << "\n";
    };
    write(1000, 2000);
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", joysticks.string().c_str());
    {
        InspectableSet set;
        Start(set);
        ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        set.PollAll(0.01);
        JoystickState first;
        JoystickState second;
        for (int round = 1; round <= 3; ++round) {
            // The same length every time: only the contents tell the rewrite.
            write(1000 + round, 2000 + round);
            set.PollAll(0.01);
            ASSERT_TRUE(set.GetSlotState(0, first));
            ASSERT_TRUE(set.GetSlotState(1, second));
            EXPECT_EQ(first.axes[0], 1000 + round);
            EXPECT_EQ(second.axes[2], 2000 + round);
        }
        EXPECT_EQ(set.GetJoystickCount(), 2);
    }
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    std::error_code ignored;
    fs::remove(joysticks, ignored);
}

} // namespace

TEST_F(JoystickSetTest, AnEnumerationThatEndsPollingReleasesTheStick)
{
    ScriptedDirectInput fake;
    fake.AddJoystick(0x0402044F, "Side Stick", 12).state.lY = -8000;
    fake.joystick(0).state.rgbButtons[0] = 0x80;
    JoystickSet set;
    Start(set);
    void* block = set.GetBlock();
    GenericSimBlock::StoreDouble(block, GenericSimBlock::kPitchSensitivity, 0.002);
    set.SetButtonAssignment(ButtonApDisc, 0, 1, 0x0402044F);
    ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
    for (int i = 0; i < 20; ++i) {
        set.PollAll(0.01);
    }
    ASSERT_LT(GenericSimBlock::LoadDouble(block, GenericSimBlock::kPitchOutput), -1.0);
    ASSERT_EQ(GenericSimBlock::LoadByte(block, GenericSimBlock::kApDiscPressed), 1);

    // Enumerated again, nothing answers: the set stops polling and leaves no deflection behind.
    fake.Script("EnumDevices", DIERR_NOTINITIALIZED);
    EXPECT_FALSE(set.CreateDevices(nullptr, nullptr));
    set.PollAll(0.01);
    EXPECT_EQ(GenericSimBlock::LoadDouble(block, GenericSimBlock::kPitchOutput), 0.0);
    EXPECT_EQ(GenericSimBlock::LoadByte(block, GenericSimBlock::kApDiscPressed), 0);
}

TEST_F(JoystickSetTest, ReadOrKeepPutsTheSetUpInUseBackWhenTheFileCannotBeRead)
{
    namespace GSB = GenericSimBlock;
    JoystickSet inUse;
    Start(inUse);
    const BlockSetUp block = inUse.SetUpInBlock();
    block.SetConfigurationIndex(1);
    block.SetConfigurationName("IN USE");
    block.Set(TuningValue::PitchDeadBand, 0.125); // an attach writes 0.5 here
    block.Set(TuningValue::ThrLvrLOffset, 4.0); // and 0.0 here
    inUse.SetButtonAssignment(ButtonFlapIn, 0, 7, 0x0402044F);
    const SetUpValues before = block.Take();
    GSB::StoreByte(block.Block(), GSB::kJoystickSetup + 300, 0x5A); // the simulator's

    // Pitch is read, then the missing roll entry fails the load.
    const fs::path noRoll = fs::temp_directory_path() / (ShmTestOs::UniqueName("noroll") + ".ini");
    std::ofstream(noRoll, std::ios::binary) << "[FLIGHT_CONTROLS]\nSIDE_STICK_P_CNTL = 5\nPITCH_CNTL = 6\n";
    JoystickSet::Replacement failed
        = JoystickSet::ReadOrKeep(noRoll.string().c_str(), 3, "ALTN 3 JOY STICK SET UP ", block);
    std::error_code ignored;
    fs::remove(noRoll, ignored);
    EXPECT_EQ(failed.set, nullptr);
    EXPECT_NE(failed.reason.find("SIDE_STICK_R_CNTL"), std::string::npos) << failed.reason;
    const SetUpValues after = block.Take();
    EXPECT_TRUE(after.SavesAs(before));
    EXPECT_EQ(after.configurationIndex, 1);
    EXPECT_EQ(block.ConfigurationName(), "IN USE");
    EXPECT_EQ(after.axes[0].joystickId, before.axes[0].joystickId);
    EXPECT_EQ(block.Get(TuningValue::PitchDeadBand), 0.125);
    EXPECT_EQ(block.Get(TuningValue::ThrLvrLOffset), 4.0);
    EXPECT_EQ(GSB::LoadByte(block.Block(), GSB::kJoystickSetup + 300), 0x5A);

    // A file that reads: a set of its own, the choice stored before the file's name replaced it.
    JoystickSet::Replacement read
        = JoystickSet::ReadOrKeep(configuration.string().c_str(), 2, "ALTN 2 JOY STICK SET UP ", block);
    ASSERT_NE(read.set, nullptr) << read.reason;
    EXPECT_NE(read.set.get(), &inUse);
    EXPECT_EQ(read.setUpName, "ALTN 2 JOY STICK SET UP ");
    EXPECT_EQ(block.ConfigurationIndex(), 2);
    EXPECT_EQ(block.ConfigurationName(), ""); // the file has no NAME
    EXPECT_EQ(block.Get(TuningValue::PitchDeadBand), 0.5);
    EXPECT_EQ(block.ButtonRecord(ButtonFlapIn).buttonNumber, -1); // no [BUTTON_CONTROLS]

    // Without a view of the block nothing is stored or put back.
    read.set.reset();
    JoystickSet::Replacement unseen = JoystickSet::ReadOrKeep("/nonexistent/Joystick.ini", 1, "ALTN 1", BlockSetUp());
    EXPECT_EQ(unseen.set, nullptr);
    EXPECT_FALSE(unseen.reason.empty());
    EXPECT_EQ(unseen.setUpName, "");
    EXPECT_EQ(block.ConfigurationIndex(), 2);
}

// JoystickDevice on the scripted DirectInput: the set-up sequence, polling
// and re-acquisition, the conversion into JoystickState, and the release order.
#include "devices/JoystickDevice.h"
#include "tests/fakes/ScriptedDirectInput.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> EntriesFor(const ScriptedDirectInput& fake, const std::string& prefix)
{
    std::vector<std::string> entries;
    for (const std::string& entry : fake.Log()) {
        if (entry.rfind(prefix, 0) == 0) {
            entries.push_back(entry);
        }
    }
    return entries;
}

TEST(JoystickDeviceTest, SetUpRunsTheNineStepsInOrderAndFillsTheHead)
{
    ScriptedDirectInput fake;
    fake.AddJoystick(0x0402044F, "Side Stick", 12);
    int window = 0;
    {
        JoystickDevice device(nullptr);
        device.SetWindow(&window);
        ASSERT_TRUE(device.Open(ScriptedDirectInput::InstanceRecord(fake.joystick(0))));
        EXPECT_STREQ(device.GetErrorText(), "");
        EXPECT_EQ(fake.LastCooperativeWindow(), &window);

        std::vector<std::string> expected = {
            "DirectInputCreateA 0x0500",
            "CreateDevice j0",
            "j0 QueryInterface IID_IDirectInputDevice2A",
            "j0 Release",
            "j0 SetDataFormat c_dfDIJoystick2",
            "j0 SetCooperativeLevel 0x000a",
            "j0 SetProperty DIPROP_RANGE -10000 10000 DIPH_DEVICE 0",
            "j0 SetProperty DIPROP_DEADZONE 5 DIPH_DEVICE 0",
            "j0 SetProperty DIPROP_SATURATION 9950 DIPH_DEVICE 0",
        };
        for (int i = 0; i < 32; ++i) {
            expected.push_back("j0 GetObjectInfo " + std::to_string(48 + i));
        }
        EXPECT_EQ(fake.Log(), expected);
        // Set-up does not acquire: the first poll does.
        EXPECT_FALSE(fake.joystick(0).acquired);

        JoystickState state;
        device.GetState(state);
        EXPECT_EQ(state.joystickId, 0x0402044Fu);
        EXPECT_EQ(state.axisSpan, 20000);
        EXPECT_EQ(state.axisMinimum, -10000);
        EXPECT_EQ(state.axisMaximum, 10000);
        EXPECT_EQ(state.buttonCount, 12);
        EXPECT_STREQ(device.GetName(), "Side Stick");
        fake.ClearLog();
    }
    // Destruction: the device without Unacquire, then the device's own root.
    EXPECT_EQ(fake.Log(), (std::vector<std::string> { "j0 Release", "Release root" }));
    EXPECT_EQ(fake.LiveDevices(), 0);
    EXPECT_EQ(fake.LiveRoots(), 0);
}

TEST(JoystickDeviceTest, SetUpStopsAtTheFirstFailingStepWithItsText)
{
    struct Step {
        const char* call;
        int joystick;
        HRESULT result;
        const char* nextCall; // the log entry of the following step, never reached
    };
    const Step steps[] = {
        { "CreateDevice", ScriptedDirectInput::kRoot, DIERR_DEVICENOTREG,
            "j0 QueryInterface IID_IDirectInputDevice2A" },
        { "QueryInterface", 0, DIERR_NOINTERFACE, "j0 SetDataFormat c_dfDIJoystick2" },
        { "SetDataFormat", 0, DIERR_ACQUIRED, "j0 SetCooperativeLevel 0x000a" },
        { "SetCooperativeLevel", 0, E_HANDLE, "j0 SetProperty DIPROP_RANGE -10000 10000 DIPH_DEVICE 0" },
        { "SetProperty DIPROP_RANGE", 0, DIERR_INVALIDPARAM, "j0 SetProperty DIPROP_DEADZONE 5 DIPH_DEVICE 0" },
        { "SetProperty DIPROP_DEADZONE", 0, DIERR_UNSUPPORTED, "j0 SetProperty DIPROP_SATURATION 9950 DIPH_DEVICE 0" },
        { "SetProperty DIPROP_SATURATION", 0, DIERR_OBJECTNOTFOUND, "j0 GetObjectInfo 48" },
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.call);
        ScriptedDirectInput fake;
        fake.AddJoystick(0x12345678, "Stick", 8);
        fake.Script(step.call, step.result, 1, step.joystick);
        JoystickDevice device(nullptr);
        EXPECT_FALSE(device.Open(ScriptedDirectInput::InstanceRecord(fake.joystick(0))));
        EXPECT_STREQ(device.GetErrorText(), JoystickDevice::ResultText(step.result));
        EXPECT_EQ(fake.CountCalls(step.nextCall), 0);
        // The ID is known from the record whatever the set-up managed.
        EXPECT_EQ(device.GetJoystickId(), 0x12345678u);
        JoystickState state;
        device.GetState(state);
        EXPECT_EQ(state.joystickId, 0u);
    }

    // A failing button query is no failure: it only means no such button.
    ScriptedDirectInput fake;
    fake.AddJoystick(1, "Stick", 8);
    fake.Script("GetObjectInfo", DIERR_OBJECTNOTFOUND, 3, 0);
    JoystickDevice device(nullptr);
    EXPECT_TRUE(device.Open(ScriptedDirectInput::InstanceRecord(fake.joystick(0))));
    EXPECT_EQ(device.GetButtonCount(), 5);
}

TEST(JoystickDeviceTest, WithoutDirectInputEveryStepFailsAndPollsFail)
{
    ScriptedDirectInput fake;
    fake.AddJoystick(0xBEEF0001, "Stick", 8);
    fake.Script("DirectInputCreateA", DIERR_OUTOFMEMORY);
    JoystickDevice device(nullptr);
    EXPECT_STREQ(device.GetErrorText(), JoystickDevice::ResultText(DIERR_OUTOFMEMORY));
    EXPECT_FALSE(device.Open(ScriptedDirectInput::InstanceRecord(fake.joystick(0))));
    // Step 2 fails without a new text: the creation's reason stays.
    EXPECT_STREQ(device.GetErrorText(), JoystickDevice::ResultText(DIERR_OUTOFMEMORY));
    EXPECT_EQ(device.GetJoystickId(), 0xBEEF0001u);
    EXPECT_EQ(device.GetButtonCount(), 0);
    EXPECT_FALSE(device.Poll());
    EXPECT_EQ(fake.CountCalls("CreateDevice j0"), 0);
}

TEST(JoystickDeviceTest, ButtonsAreCountedUpToThirtyTwo)
{
    ScriptedDirectInput fake;
    fake.AddJoystick(1, "Twelve", 12);
    fake.AddJoystick(2, "Forty", 40);
    fake.AddJoystick(3, "None", 0);
    for (std::uint8_t& button : fake.joystick(1).state.rgbButtons) {
        button = 0x80;
    }
    JoystickDevice twelve(nullptr);
    JoystickDevice forty(nullptr);
    JoystickDevice none(nullptr);
    ASSERT_TRUE(twelve.Open(ScriptedDirectInput::InstanceRecord(fake.joystick(0))));
    ASSERT_TRUE(forty.Open(ScriptedDirectInput::InstanceRecord(fake.joystick(1))));
    ASSERT_TRUE(none.Open(ScriptedDirectInput::InstanceRecord(fake.joystick(2))));
    EXPECT_EQ(twelve.GetButtonCount(), 12);
    EXPECT_EQ(forty.GetButtonCount(), 32);
    EXPECT_EQ(none.GetButtonCount(), 0);

    ASSERT_TRUE(forty.Poll());
    JoystickState state;
    forty.GetState(state);
    EXPECT_EQ(state.buttonCount, 32);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(state.buttons[i], 1) << i;
    }
    // Buttons 33 and up have nowhere to go: the record's next field is untouched.
    EXPECT_EQ(state.velocities[0], 0);
}

TEST(JoystickDeviceTest, PollConvertsTheRawState)
{
    ScriptedDirectInput fake;
    ScriptedDirectInput::Joystick& stick = fake.AddJoystick(7, "Stick", 16);
    DIJOYSTATE2& raw = stick.state;
    const std::int32_t positions[8] = { -10000, 10000, 1, -1, 2500, -2500, 9999, -9999 };
    raw.lX = positions[0];
    raw.lY = positions[1];
    raw.lZ = positions[2];
    raw.lRx = positions[3];
    raw.lRy = positions[4];
    raw.lRz = positions[5];
    raw.rglSlider[0] = positions[6];
    raw.rglSlider[1] = positions[7];
    raw.rgdwPOV[0] = 0xFFFFFFFFu; // centred
    raw.rgdwPOV[1] = 0x0000FFFFu; // a driver's idea of centred
    raw.rgdwPOV[2] = 9000; // right
    raw.rgdwPOV[3] = 4500; // never used
    raw.rgbButtons[0] = 0x80;
    raw.rgbButtons[3] = 1;
    raw.rgbButtons[31] = 0xFF;
    raw.lVX = 11;
    raw.rglVSlider[1] = -12;
    raw.lAX = 21;
    raw.rglASlider[1] = -22;
    raw.lFX = 99;

    JoystickDevice device(nullptr);
    ASSERT_TRUE(device.Open(ScriptedDirectInput::InstanceRecord(stick)));
    ASSERT_TRUE(device.Poll());
    JoystickState state;
    device.GetState(state);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(state.axes[i], positions[i]) << i;
    }
    EXPECT_EQ(state.pov[0], 42949672u);
    EXPECT_EQ(state.pov[1], 655u);
    EXPECT_EQ(state.pov[2], 90u);
    EXPECT_EQ(state.pov[3], 0u);
    EXPECT_EQ(state.buttons[0], 1);
    EXPECT_EQ(state.buttons[1], 0);
    EXPECT_EQ(state.buttons[3], 1);
    EXPECT_EQ(state.buttons[31], 1);
    EXPECT_EQ(state.velocities[0], 11);
    EXPECT_EQ(state.velocities[7], -12);
    EXPECT_EQ(state.accelerations[0], 21);
    EXPECT_EQ(state.accelerations[7], -22);
    EXPECT_EQ(state.forces[0], 0);
    EXPECT_EQ(state.joystickId, 7u);

    fake.joystick(0).state.rgdwPOV[0] = 0;
    fake.joystick(0).state.rgdwPOV[1] = 35999;
    ASSERT_TRUE(device.Poll());
    device.GetState(state);
    EXPECT_EQ(state.pov[0], 0u);
    EXPECT_EQ(state.pov[1], 359u);
}

TEST(JoystickDeviceTest, LostInputIsReacquiredOncePerPoll)
{
    ScriptedDirectInput fake;
    fake.AddJoystick(9, "Stick", 4).state.lX = 100;
    JoystickDevice device(nullptr);
    ASSERT_TRUE(device.Open(ScriptedDirectInput::InstanceRecord(fake.joystick(0))));
    fake.ClearLog();

    // First poll: not yet acquired, one Acquire, then a second read.
    ASSERT_TRUE(device.Poll());
    EXPECT_EQ(EntriesFor(fake, "j0"),
        (std::vector<std::string> { "j0 Poll", "j0 GetDeviceState", "j0 Acquire", "j0 GetDeviceState" }));
    JoystickState before;
    device.GetState(before);
    EXPECT_EQ(before.axes[0], 100);

    // Unplugged: every poll fails after one attempt, the record keeps the last reading.
    fake.joystick(0).attached = false;
    fake.joystick(0).state.lX = 200;
    fake.ClearLog();
    EXPECT_FALSE(device.Poll());
    EXPECT_FALSE(device.Poll());
    EXPECT_EQ(fake.CountCalls("j0 Acquire"), 2);
    JoystickState during;
    device.GetState(during);
    EXPECT_EQ(std::memcmp(&before, &during, sizeof(JoystickState)), 0);

    // Back again: the poll that sees the loss re-acquires and reads afresh.
    fake.joystick(0).attached = true;
    fake.Script("GetDeviceState", DIERR_INPUTLOST, 1, 0);
    EXPECT_TRUE(device.Poll());
    JoystickState after;
    device.GetState(after);
    EXPECT_EQ(after.axes[0], 200);

    // Only exactly DI_OK from Acquire counts: S_FALSE and errors leave the record alone.
    for (const HRESULT answer : { S_FALSE, DIERR_NOTACQUIRED, DIERR_GENERIC }) {
        fake.joystick(0).state.lX = 300;
        fake.Script("GetDeviceState", DIERR_NOTACQUIRED, 1, 0);
        fake.Script("Acquire", answer, 1, 0);
        EXPECT_FALSE(device.Poll()) << answer;
        device.GetState(during);
        EXPECT_EQ(during.axes[0], 200);
    }

    // A failed second read keeps the previous raw reading, but the poll counts.
    fake.joystick(0).acquired = false;
    fake.Script("GetDeviceState", DIERR_NOTACQUIRED, 2, 0);
    EXPECT_TRUE(device.Poll());
    device.GetState(during);
    EXPECT_EQ(during.axes[0], 200);

    // Any other read failure is just a failed poll, with no acquisition.
    fake.ClearLog();
    fake.Script("GetDeviceState", E_PENDING, 1, 0);
    EXPECT_FALSE(device.Poll());
    EXPECT_EQ(fake.CountCalls("j0 Acquire"), 0);
}

TEST(JoystickDeviceTest, OpeningAgainReleasesTheFirstDeviceAndSurvivesThrowingDrivers)
{
    ScriptedDirectInput fake;
    fake.AddJoystick(5, "Stick", 2);
    {
        JoystickDevice device(nullptr);
        ASSERT_TRUE(device.Open(ScriptedDirectInput::InstanceRecord(fake.joystick(0))));
        ASSERT_TRUE(device.Poll());
        fake.ClearLog();
        fake.ScriptThrow("Unacquire", 0);
        ASSERT_TRUE(device.Open(ScriptedDirectInput::InstanceRecord(fake.joystick(0))));
        const std::vector<std::string> head(fake.Log().begin(), fake.Log().begin() + 3);
        EXPECT_EQ(head, (std::vector<std::string> { "j0 Unacquire", "j0 Release", "CreateDevice j0" }));
        EXPECT_EQ(fake.LiveDevices(), 1);
        fake.ScriptThrow("Release", 0);
    }
    EXPECT_EQ(fake.LiveDevices(), 0);
    EXPECT_EQ(fake.LiveRoots(), 0);
}

TEST(ResultTextTest, ListedUnlistedAndSuccessCodes)
{
    EXPECT_STREQ(JoystickDevice::ResultText(DIERR_INPUTLOST),
        "DIERR_INPUTLOST : Access to the input device has been lost. It must be reacquired.");
    EXPECT_STREQ(JoystickDevice::ResultText(DIERR_NOTACQUIRED),
        "DIERR_NOTACQUIRED : The operation cannot be performed unless the device is acquired.");
    EXPECT_STREQ(JoystickDevice::ResultText(DIERR_ALREADYINITIALIZED),
        "DIERR_ALREADYINITIALIZED : This object is already initialized");
    EXPECT_STREQ(JoystickDevice::ResultText(MakeResult(0x0000000C)),
        "DI_TRUNCATEDANDRESTARTED : Equal to DI_EFFECTRESTARTED | DI_TRUNCATED");
    EXPECT_STREQ(JoystickDevice::ResultText(DI_DOWNLOADSKIPPED),
        "The parameters of the effect were successfully updated, but the effect could not be downloaded "
        "because the associated device was not acquired in exclusive mode.");

    // Between listed values, around them, and names DirectInput has but the table lacks.
    for (const std::uint32_t value : { 0x00000005u, 0x00000009u, 0x80070003u, 0x8007001Du, 0x8007001Fu, 0x800704E0u,
             0xFFFFFFFFu, 0x7FFFFFFFu, 0x80040200u, 0x8004020Bu }) {
        EXPECT_STREQ(JoystickDevice::ResultText(MakeResult(value)), "Unknown Error Code.") << std::hex << value;
    }

    // Every success code has a text of its own, and every text names its code except one.
    for (const std::uint32_t value : { 0u, 1u, 2u, 3u, 4u, 8u, 12u }) {
        EXPECT_STRNE(JoystickDevice::ResultText(MakeResult(value)), "Unknown Error Code.") << value;
    }
    EXPECT_EQ(std::string(JoystickDevice::ResultText(DI_OK)).rfind("DI_OK : ", 0), 0u);
    EXPECT_EQ(std::string(JoystickDevice::ResultText(DIERR_GENERIC)).rfind("DIERR_GENERIC : ", 0), 0u);
    // One value, one text, whatever it is called.
    EXPECT_STREQ(JoystickDevice::ResultText(S_FALSE), JoystickDevice::ResultText(DI_PROPNOEFFECT));
}

} // namespace

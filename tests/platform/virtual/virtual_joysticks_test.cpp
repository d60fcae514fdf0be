// The virtual joystick backend: the file format, re-reading on change, lost
// and returning sections, bad files, and sweep motion on a set clock.
#include "devices/DirectInputBackends.h"
#include "devices/JoystickDevice.h"
#include "platform/virtual/VirtualJoystickFile.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The root's next note (TakeNote), counted in `taken`; null when there is none.
const char* NextNotice(IDirectInputA* root, std::uint32_t& taken)
{
    static char text[256];
    if (!root->TakeNote(text, sizeof text)) {
        return nullptr;
    }
    ++taken;
    return text;
}

double g_seconds = 0.0;
double TestClock()
{
    return g_seconds;
}

class VirtualJoysticksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = fs::temp_directory_path() / (std::string("tavelin-virtual-") + info->name() + ".ini");
        SetVirtualJoystickClock(&TestClock);
        g_seconds = 0.0;
        std::error_code ignored;
        fs::remove(path, ignored); // left behind by a run that was killed
    }
    void TearDown() override
    {
        SetVirtualJoystickClock(nullptr);
        std::error_code ignored;
        fs::remove(path, ignored);
    }

    // Every write gets a time stamp of its own, however fast the test runs.
    void Write(const std::string& text)
    {
        {
            std::ofstream file(path, std::ios::binary | std::ios::trunc);
            file << text;
        }
        stamp += std::chrono::seconds(1);
        fs::last_write_time(path, stamp);
    }

    IDirectInputA* CreateRoot()
    {
        IDirectInputA* root = nullptr;
        EXPECT_EQ(CreateVirtualDirectInput(path.string().c_str(), &root), DI_OK);
        return root;
    }

    static HRESULT Enumerate(IDirectInputA* root, std::vector<DIDEVICEINSTANCEA>& found)
    {
        found.clear();
        return root->EnumDevices(
            DIDEVTYPE_JOYSTICK,
            [](const DIDEVICEINSTANCEA* instance, void* reference) {
                static_cast<std::vector<DIDEVICEINSTANCEA>*>(reference)->push_back(*instance);
                return DIENUM_CONTINUE;
            },
            &found, DIEDFL_ATTACHEDONLY);
    }

    fs::path path;
    fs::file_time_type stamp = fs::file_time_type::clock::now() - std::chrono::hours(1);
};

TEST_F(VirtualJoysticksTest, TheFormatReadsKeysBlanksGapsAndDefaults)
{
    std::vector<VirtualJoystick> joysticks;
    std::string error;
    const std::string text = "; comment\r\n"
                             "[JOYSTICK_5]\r\n"
                             "NAME=Second\r\n"
                             "\r\n"
                             "[JOYSTICK_0]\n"
                             "  JOY_ID \t=\t305419896\n"
                             "NAME     = Virtual Stick  \n"
                             "BUTTONS  = 12\n"
                             "PRESSED  = 1 4, 12\n"
                             "X = -10000\n"
                             "sl2 = 10000\n"
                             "POV1 = 9000\n"
                             "POV3 = -1\n"
                             "# another comment\n"
                             "MOTION = none";
    ASSERT_TRUE(ParseVirtualJoysticks(text, joysticks, error)) << error;
    ASSERT_EQ(joysticks.size(), 2u);
    const VirtualJoystick& stick = joysticks[0];
    EXPECT_EQ(stick.section, 0);
    EXPECT_EQ(stick.joystickId, 305419896u);
    EXPECT_EQ(stick.name, "Virtual Stick");
    EXPECT_EQ(stick.buttons, 12);
    EXPECT_TRUE(stick.pressed[0] && stick.pressed[3] && stick.pressed[11]);
    EXPECT_FALSE(stick.pressed[1]);
    EXPECT_EQ(stick.axes[0], -10000);
    EXPECT_EQ(stick.axes[7], 10000);
    EXPECT_EQ(stick.pov[0], 9000);
    EXPECT_EQ(stick.pov[1], -1);

    const VirtualJoystick& second = joysticks[1];
    EXPECT_EQ(second.section, 5);
    EXPECT_EQ(second.joystickId, 0u);
    EXPECT_EQ(second.buttons, 0);
    for (const std::int32_t axis : second.axes) {
        EXPECT_EQ(axis, 0);
    }

    DIJOYSTATE2 state;
    FillVirtualJoystickState(stick, 0.0, state);
    EXPECT_EQ(state.lX, -10000);
    EXPECT_EQ(state.rglSlider[1], 10000);
    EXPECT_EQ(state.rgdwPOV[0], 9000u);
    EXPECT_EQ(state.rgdwPOV[1], 0xFFFFFFFFu);
    EXPECT_EQ(state.rgdwPOV[3], 0xFFFFFFFFu);
    EXPECT_NE(state.rgbButtons[11], 0);
    EXPECT_EQ(state.rgbButtons[12], 0);

    // A negative ID as a signed configuration file writes it is the same ID.
    ASSERT_TRUE(ParseVirtualJoysticks("[JOYSTICK_1]\nJOY_ID = -1\n", joysticks, error));
    EXPECT_EQ(joysticks[0].joystickId, 0xFFFFFFFFu);
    ASSERT_TRUE(ParseVirtualJoysticks("", joysticks, error));
    EXPECT_TRUE(joysticks.empty());
}

TEST_F(VirtualJoysticksTest, MalformedFilesAreRefusedWithTheLine)
{
    const struct {
        const char* text;
        const char* reason;
    } cases[] = {
        { "[JOYSTICK_0]\nX = 10001\n", "line 2: X must be a whole number from -10000 to 10000" },
        { "[JOYSTICK_0]\nY = 5.5\n", "line 2: Y must be" },
        { "[JOYSTICK_0]\nBUTTONS = 33\n", "line 2: BUTTONS must be" },
        { "[JOYSTICK_0]\nPOV2 = 36000\n", "line 2: POV2 must be" },
        { "[JOYSTICK_8]\n", "line 1: unknown section [JOYSTICK_8]" },
        { "[FLIGHT_CONTROLS]\n", "line 1: unknown section" },
        { "[JOYSTICK_1]\n[JOYSTICK_1]\n", "line 2: [JOYSTICK_1] appears twice" },
        { "X = 1\n", "line 1: a key before the first" },
        { "[JOYSTICK_0]\nTHRUST = 3\n", "line 2: unknown key THRUST" },
        { "[JOYSTICK_0]\njust words\n", "line 2: expected KEY = value" },
        { "[JOYSTICK_0\n", "line 1: a section name without" },
        { "[JOYSTICK_0]\nPRESSED = 1 x\n", "line 2: PRESSED lists button numbers" },
        { "[JOYSTICK_0]\nPRESSED = 9\nBUTTONS = 8\n[JOYSTICK_1]\n", "line 2: PRESSED names button 9 but BUTTONS is 8" },
        { "[JOYSTICK_0]\nMOTION = WOBBLE\n", "line 2: MOTION must be STICK, THROTTLE, PEDALS, SWEEP or NONE" },
        { "[JOYSTICK_0]\nJOY_ID = 99999999999\n", "line 2: JOY_ID must be" },
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.text);
        std::vector<VirtualJoystick> joysticks;
        std::string error;
        EXPECT_FALSE(ParseVirtualJoysticks(bad.text, joysticks, error));
        EXPECT_EQ(error.rfind(bad.reason, 0), 0u) << error;
        EXPECT_TRUE(joysticks.empty());
    }
    std::vector<VirtualJoystick> joysticks;
    std::string error;
    EXPECT_FALSE(ParseVirtualJoysticks(std::string("[JOYSTICK_0]\n\0\x01\xff", 17), joysticks, error));
    EXPECT_EQ(error, "the file holds binary data, not text");
}

TEST_F(VirtualJoysticksTest, GarbageOrMissingFilesGiveNoJoysticksAndAClearText)
{
    IDirectInputA* root = CreateRoot();
    std::vector<DIDEVICEINSTANCEA> found;
    EXPECT_EQ(Enumerate(root, found), DIERR_GENERIC);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(std::string(root->GetFailureDetail()),
        "Virtual joystick file " + path.string() + ": cannot be read (it does not exist)");

    Write("\x7f"
          "ELF garbage \x01\x02\n[[[\n");
    EXPECT_EQ(Enumerate(root, found), DIERR_GENERIC);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(
        std::string(root->GetFailureDetail()).rfind("Virtual joystick file " + path.string() + ": line 1:", 0), 0u)
        << root->GetFailureDetail();

    // Mended, the same root enumerates again and the reason goes.
    Write("[JOYSTICK_2]\nNAME = Back\n");
    EXPECT_EQ(Enumerate(root, found), DI_OK);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_STREQ(found[0].tszInstanceName, "Back");
    EXPECT_STREQ(root->GetFailureDetail(), "");
    root->Release();
}

TEST_F(VirtualJoysticksTest, RewritingTheFileMovesTheSticksAndSectionsComeAndGo)
{
    Write("[JOYSTICK_3]\nJOY_ID = 2\nNAME = Throttle\nBUTTONS = 8\n"
          "[JOYSTICK_1]\nJOY_ID = 1\nNAME = Stick\nBUTTONS = 12\nX = 100\n");
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", path.string().c_str());
    IDirectInputA* root = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0500, &root, nullptr), DI_OK);
    std::vector<DIDEVICEINSTANCEA> found;
    ASSERT_EQ(Enumerate(root, found), DI_OK);
    root->Release();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_STREQ(found[0].tszInstanceName, "Stick");
    EXPECT_EQ(found[0].guidProduct.Data1, 1u);
    EXPECT_STREQ(found[1].tszInstanceName, "Throttle");

    JoystickDevice stick(nullptr);
    JoystickDevice throttle(nullptr);
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    ASSERT_TRUE(stick.Open(found[0])) << stick.GetErrorText();
    ASSERT_TRUE(throttle.Open(found[1])) << throttle.GetErrorText();
    EXPECT_EQ(stick.GetButtonCount(), 12);
    EXPECT_EQ(throttle.GetButtonCount(), 8);
    ASSERT_TRUE(stick.Poll());
    JoystickState state;
    stick.GetState(state);
    EXPECT_EQ(state.axes[0], 100);
    EXPECT_EQ(state.pov[0], 42949672u);

    Write("[JOYSTICK_3]\nJOY_ID = 2\nNAME = Throttle\nBUTTONS = 8\nZ = -7000\n"
          "[JOYSTICK_1]\nJOY_ID = 1\nNAME = Stick\nBUTTONS = 12\nX = -2500\nPOV1 = 27000\nPRESSED = 2\n");
    ASSERT_TRUE(stick.Poll());
    ASSERT_TRUE(throttle.Poll());
    stick.GetState(state);
    EXPECT_EQ(state.axes[0], -2500);
    EXPECT_EQ(state.pov[0], 270u);
    EXPECT_EQ(state.buttons[1], 1);
    throttle.GetState(state);
    EXPECT_EQ(state.axes[2], -7000);

    // The stick's section goes: its polls fail and keep the last reading; the throttle carries on.
    Write("[JOYSTICK_3]\nJOY_ID = 2\nNAME = Throttle\nBUTTONS = 8\nZ = 7000\n");
    EXPECT_FALSE(stick.Poll());
    EXPECT_FALSE(stick.Poll());
    stick.GetState(state);
    EXPECT_EQ(state.axes[0], -2500);
    ASSERT_TRUE(throttle.Poll());
    throttle.GetState(state);
    EXPECT_EQ(state.axes[2], 7000);

    // A file that cannot be read holds the throttle as it was, and takes
    // nothing away; the stick was gone before and stays so.
    Write("nonsense");
    ASSERT_TRUE(throttle.Poll());
    throttle.GetState(state);
    EXPECT_EQ(state.axes[2], 7000);
    EXPECT_FALSE(stick.Poll());
    Write("[JOYSTICK_1]\nJOY_ID = 1\nNAME = Stick\nBUTTONS = 12\nY = 321\n"
          "[JOYSTICK_3]\nJOY_ID = 2\nNAME = Throttle\nBUTTONS = 8\n");
    ASSERT_TRUE(stick.Poll());
    ASSERT_TRUE(throttle.Poll());
    stick.GetState(state);
    EXPECT_EQ(state.axes[0], 0);
    EXPECT_EQ(state.axes[1], 321);
}

TEST_F(VirtualJoysticksTest, ARewriteThatKeepsTimeStampAndSizeIsStillSeen)
{
    // Two writes within one time-stamp granule of the file system.
    const auto now = fs::file_time_type::clock::now();
    const auto writeAt = [this, now](const std::string& text) {
        {
            std::ofstream file(path, std::ios::binary | std::ios::trunc);
            file << text;
        }
        fs::last_write_time(path, now);
    };
    writeAt("[JOYSTICK_0]\nX = 100\n");
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", path.string().c_str());
    JoystickDevice device(nullptr);
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    IDirectInputA* root = CreateRoot();
    std::vector<DIDEVICEINSTANCEA> found;
    ASSERT_EQ(Enumerate(root, found), DI_OK);
    root->Release();
    ASSERT_TRUE(device.Open(found.at(0)));
    ASSERT_TRUE(device.Poll());
    JoystickState state;
    device.GetState(state);
    EXPECT_EQ(state.axes[0], 100);

    writeAt("[JOYSTICK_0]\nX = 200\n");
    ASSERT_TRUE(device.Poll());
    device.GetState(state);
    EXPECT_EQ(state.axes[0], 200);
    writeAt("[JOYSTICK_1]\nX = 200\n");
    EXPECT_FALSE(device.Poll());
}

TEST_F(VirtualJoysticksTest, SweepMovesAxesHatAndButtonsByTheClock)
{
    std::vector<VirtualJoystick> joysticks;
    std::string error;
    ASSERT_TRUE(ParseVirtualJoysticks("[JOYSTICK_0]\nBUTTONS = 3\nMOTION = SWEEP\nX = 5000\n", joysticks, error));
    const VirtualJoystick& sweeping = joysticks[0];
    DIJOYSTATE2 state;

    FillVirtualJoystickState(sweeping, 0.0, state);
    EXPECT_EQ(state.lX, 0); // the file's X gives way to the wave
    EXPECT_EQ(state.rgdwPOV[0], 0u);
    EXPECT_NE(state.rgbButtons[0], 0);

    // X has a period of 3 s: a quarter in, it is fully over; the others are elsewhere.
    FillVirtualJoystickState(sweeping, 0.75, state);
    EXPECT_EQ(state.lX, 10000);
    EXPECT_GT(state.lY, 0);
    EXPECT_LT(state.lY, 10000);

    // Smooth: a tick of 8 ms never moves an axis by more than a few hundred.
    std::set<std::uint32_t> directions;
    std::set<int> pressedAlone;
    DIJOYSTATE2 previous;
    FillVirtualJoystickState(sweeping, 0.0, previous);
    for (double t = 0.008; t < 12.0; t += 0.008) {
        FillVirtualJoystickState(sweeping, t, state);
        const std::int32_t* axes = &state.lX;
        const std::int32_t* before = &previous.lX;
        for (int i = 0; i < 6; ++i) {
            EXPECT_LE(std::abs(axes[i] - before[i]), 250) << "axis " << i << " at " << t;
            EXPECT_LE(std::abs(axes[i]), 10000);
        }
        directions.insert(state.rgdwPOV[0]);
        int pressed = 0;
        int which = -1;
        for (int b = 0; b < 128; ++b) {
            if (state.rgbButtons[b] != 0) {
                ++pressed;
                which = b;
            }
        }
        EXPECT_EQ(pressed, 1) << t;
        pressedAlone.insert(which);
        previous = state;
    }
    EXPECT_EQ(directions, (std::set<std::uint32_t> { 0, 4500, 9000, 13500, 18000, 22500, 27000, 31500, 0xFFFFFFFFu }));
    EXPECT_EQ(pressedAlone, (std::set<int> { 0, 1, 2 }));

    // Through a device, the clock the test sets is the one that counts.
    Write("[JOYSTICK_0]\nBUTTONS = 2\nMOTION = SWEEP\n");
    IDirectInputA* root = CreateRoot();
    std::vector<DIDEVICEINSTANCEA> found;
    ASSERT_EQ(Enumerate(root, found), DI_OK);
    IDirectInputDeviceA* device = nullptr;
    ASSERT_EQ(root->CreateDevice(found.at(0).guidInstance, &device, nullptr), DI_OK);
    root->Release();
    ASSERT_EQ(device->SetDataFormat(&c_dfDIJoystick2), DI_OK);
    EXPECT_EQ(device->GetDeviceState(sizeof(state), &state), DIERR_NOTACQUIRED);
    ASSERT_EQ(device->Acquire(), DI_OK);
    EXPECT_EQ(device->Acquire(), S_FALSE);
    g_seconds = 0.75;
    ASSERT_EQ(device->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 10000);
    EXPECT_EQ(state.rgdwPOV[0], 4500u);
    EXPECT_EQ(device->GetDeviceState(sizeof(state) - 1, &state), DIERR_INVALIDPARAM);
    device->Release();
}

// What a minute of a demo joystick's own motion did, tick by tick.
struct MinuteOfMotion {
    std::set<int> axesMoved; // 0..7: X Y Z RX RY RZ SL1 SL2
    std::set<int> buttonsPressed; // from 0
    int largestStep = 0; // the most an axis moved in one tick
    std::vector<DIJOYSTATE2> states;
};

MinuteOfMotion StepAMinute(const VirtualJoystick& joystick)
{
    MinuteOfMotion seen;
    DIJOYSTATE2 first;
    FillVirtualJoystickState(joystick, 0.0, first);
    seen.states.push_back(first);
    for (int tick = 1; tick <= 60 * 125; ++tick) {
        DIJOYSTATE2 state;
        FillVirtualJoystickState(joystick, tick * 0.008, state);
        const DIJOYSTATE2& before = seen.states.back();
        const std::int32_t* axes = &state.lX;
        const std::int32_t* previous = &before.lX;
        const std::int32_t* start = &first.lX;
        for (int axis = 0; axis < 6; ++axis) {
            seen.largestStep = std::max(seen.largestStep, std::abs(axes[axis] - previous[axis]));
            if (axes[axis] != start[axis]) {
                seen.axesMoved.insert(axis);
            }
        }
        for (int slider = 0; slider < 2; ++slider) {
            if (state.rglSlider[slider] != first.rglSlider[slider]) {
                seen.axesMoved.insert(6 + slider);
            }
        }
        for (int button = 0; button < 128; ++button) {
            if (state.rgbButtons[button] != 0) {
                seen.buttonsPressed.insert(button);
            }
        }
        EXPECT_EQ(state.rgdwPOV[0], first.rgdwPOV[0]) << "the hat keeps still";
        seen.states.push_back(state);
    }
    return seen;
}

// How often a button went down in the minute.
int Presses(const MinuteOfMotion& seen, int button)
{
    int presses = 0;
    for (std::size_t i = 1; i < seen.states.size(); ++i) {
        presses += seen.states[i].rgbButtons[button] != 0 && seen.states[i - 1].rgbButtons[button] == 0 ? 1 : 0;
    }
    return presses;
}

TEST_F(VirtualJoysticksTest, TheDemosDevicesEachMoveOnlyTheirOwnInputsSlowlyEnoughToBeLearned)
{
    const std::string text = ReadText(fs::path(TAVELIN_EXAMPLES_DIR) / "virtual-joysticks.ini");
    std::vector<VirtualJoystick> joysticks;
    std::string error;
    ASSERT_TRUE(ParseVirtualJoysticks(text, joysticks, error)) << error;
    ASSERT_EQ(joysticks.size(), 3u);
    const VirtualJoystick& stick = joysticks[0];
    const VirtualJoystick& throttle = joysticks[1];
    const VirtualJoystick& pedals = joysticks[2];
    EXPECT_EQ(stick.name, "Virtual Side Stick");
    EXPECT_GE(stick.buttons, 16) << "the default set-up assigns buttons up to 16";
    EXPECT_EQ(pedals.buttons, 0);

    constexpr int kX = 0, kY = 1, kRz = 5;
    const MinuteOfMotion side = StepAMinute(stick);
    EXPECT_EQ(side.axesMoved, (std::set<int> { kX, kY, kRz }));
    EXPECT_EQ(side.buttonsPressed, (std::set<int> { 0 }));
    EXPECT_GE(Presses(side, 0), 12) << "the trigger every few seconds";
    bool twistedLeft = false;
    bool twistedRight = false;
    double reach = 0.0;
    for (const DIJOYSTATE2& state : side.states) {
        twistedLeft = twistedLeft || state.lRz < -3000;
        twistedRight = twistedRight || state.lRz > 3000;
        reach = std::max(reach, std::hypot(state.lX, state.lY));
        EXPECT_LE(std::hypot(state.lX, state.lY), 7001.0);
    }
    EXPECT_GT(reach, 6900.0) << "circles out to most of the way";
    EXPECT_TRUE(twistedLeft && twistedRight);

    const MinuteOfMotion levers = StepAMinute(throttle);
    EXPECT_EQ(levers.axesMoved, (std::set<int> { kX, kY }));
    EXPECT_EQ(levers.buttonsPressed, (std::set<int> { 0 }));
    EXPECT_EQ(Presses(levers, 0), 1);
    bool leftFull = false;
    bool rightFull = false;
    for (const DIJOYSTATE2& state : levers.states) {
        EXPECT_TRUE(state.lX == -10000 || state.lY == -10000) << "one lever after the other";
        if (state.rgbButtons[0] != 0) {
            EXPECT_EQ(state.lX, -10000) << "the reverser at idle";
            EXPECT_EQ(state.lY, -10000) << "the reverser at idle";
        }
        leftFull = leftFull || state.lX == 10000;
        rightFull = rightFull || state.lY == 10000;
    }
    EXPECT_TRUE(leftFull && rightFull);

    const MinuteOfMotion feet = StepAMinute(pedals);
    EXPECT_EQ(feet.axesMoved, (std::set<int> { kX, kY, kRz }));
    EXPECT_TRUE(feet.buttonsPressed.empty());
    for (const DIJOYSTATE2& state : feet.states) {
        EXPECT_TRUE(state.lX == -10000 || state.lY == -10000) << "one toe brake at a time";
        if (state.lX != -10000 || state.lY != -10000) {
            EXPECT_EQ(state.lRz, 0) << "the rudder rests while a brake is pressed";
        }
    }

    // Slow: a human's hand, not a jump, in each 8 ms tick.
    for (const MinuteOfMotion* seen : { &side, &levers, &feet }) {
        EXPECT_LE(seen->largestStep, 250);
    }

    // They take turns: in no tick do the axes of two devices move, so "Move"
    // catches the one that is moving.
    int stickTicks = 0;
    int throttleTicks = 0;
    int pedalTicks = 0;
    for (std::size_t tick = 1; tick < side.states.size(); ++tick) {
        const auto moved = [tick](const MinuteOfMotion& seen) {
            const DIJOYSTATE2& now = seen.states[tick];
            const DIJOYSTATE2& before = seen.states[tick - 1];
            return now.lX != before.lX || now.lY != before.lY || now.lRz != before.lRz;
        };
        const int moving = (moved(side) ? 1 : 0) + (moved(levers) ? 1 : 0) + (moved(feet) ? 1 : 0);
        EXPECT_LE(moving, 1) << "at " << tick * 0.008 << " s";
        stickTicks += moved(side) ? 1 : 0;
        throttleTicks += moved(levers) ? 1 : 0;
        pedalTicks += moved(feet) ? 1 : 0;
    }
    // Each for several seconds: enough for "Move" (a fifth of the range within 5 s).
    EXPECT_GT(stickTicks, 20 * 125);
    EXPECT_GT(throttleTicks, 12 * 125);
    EXPECT_GT(pedalTicks, 8 * 125);
}

TEST_F(VirtualJoysticksTest, TheControlPanelSaysVirtualJoysticksHaveNone)
{
    Write("[JOYSTICK_0]\nNAME = Stick\n");
    IDirectInputA* root = CreateRoot();
    EXPECT_EQ(root->RunControlPanel(nullptr, 0), DIERR_UNSUPPORTED);
    const std::string said = root->GetFailureDetail();
    EXPECT_EQ(said.rfind("Virtual joysticks have no system panel: ", 0), 0u) << said;
    EXPECT_NE(said.find(path.string()), std::string::npos) << said;
    EXPECT_EQ(said.find('\n'), std::string::npos) << "one line";
    root->Release();
}

TEST_F(VirtualJoysticksTest, PollingAnUnchangedFileAllocatesNothing)
{
    Write("[JOYSTICK_0]\nNAME = Stick\nBUTTONS = 4\nMOTION = SWEEP\n");
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", path.string().c_str());
    JoystickDevice device(nullptr);
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    IDirectInputA* root = CreateRoot();
    std::vector<DIDEVICEINSTANCEA> found;
    ASSERT_EQ(Enumerate(root, found), DI_OK);
    root->Release();
    ASSERT_TRUE(device.Open(found.at(0)));
    ASSERT_TRUE(device.Poll());

    AllocationCounter::Start();
    bool polled = true;
    for (int tick = 0; tick < 100; ++tick) {
        g_seconds = tick * 0.008;
        polled = device.Poll() && polled;
    }
    const int allocations = AllocationCounter::Stop();
    EXPECT_TRUE(polled);
    EXPECT_EQ(allocations, 0);

    // A change is read (that allocates), and then it is quiet again.
    Write("[JOYSTICK_0]\nNAME = Stick\nBUTTONS = 4\nX = 42\n");
    ASSERT_TRUE(device.Poll());
    AllocationCounter::Start();
    polled = device.Poll();
    const int quiet = AllocationCounter::Stop();
    EXPECT_TRUE(polled);
    EXPECT_EQ(quiet, 0);
    JoystickState state;
    device.GetState(state);
    EXPECT_EQ(state.axes[0], 42);
}

} // namespace

TEST_F(VirtualJoysticksTest, AFolderAPipeOrAnOversizedFileInPlaceHoldsTheLastReadingAndSaysSoOnce)
{
    Write("[JOYSTICK_0]\nJOY_ID = 9\nNAME = Stick\nX = 123\n");
    IDirectInputA* root = CreateRoot();
    std::vector<DIDEVICEINSTANCEA> found;
    ASSERT_EQ(Enumerate(root, found), DI_OK);
    ASSERT_EQ(found.size(), 1u);
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", path.string().c_str());
    JoystickDevice device(nullptr);
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    ASSERT_TRUE(device.Open(found[0])) << device.GetErrorText();
    ASSERT_TRUE(device.Poll());
    std::uint32_t taken = 0;
    EXPECT_EQ(NextNotice(root, taken), nullptr);
    const auto expectHeld = [&](const char* what) {
        SCOPED_TRACE(what);
        JoystickState state;
        EXPECT_TRUE(device.Poll());
        device.GetState(state);
        EXPECT_EQ(state.axes[0], 123);
        EXPECT_EQ(Enumerate(root, found), DI_OK) << "an enumeration lists the held joysticks";
        EXPECT_EQ(found.size(), 1u);
    };

    // The file is replaced by a folder of the same name.
    fs::remove(path);
    fs::create_directory(path);
    expectHeld("a folder");
    const char* notice = NextNotice(root, taken);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(std::string(notice),
        "Virtual joystick file " + path.string()
            + ": is a folder, not a file; the joysticks keep their last reading until the file is good again");
    EXPECT_EQ(taken, 1u);

#if !defined(_WIN32)
    // Then by a named pipe, which nothing writes into: refused, not waited on.
    fs::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    expectHeld("a pipe");
#endif

    // Then by 2 MiB, then by a sparse 4 GiB: refused unread.
    fs::remove(path);
    Write("[JOYSTICK_0]\nJOY_ID = 9\n" + std::string(2u << 20, '#'));
    expectHeld("2 MiB");
    std::error_code noSparseFile;
    fs::resize_file(path, std::uintmax_t { 4 } << 30, noSparseFile);
    stamp += std::chrono::seconds(1);
    fs::last_write_time(path, stamp);
    expectHeld("4 GiB");
    EXPECT_EQ(NextNotice(root, taken), nullptr) << "one line for the whole time the file is bad";

    // A proper file again: the joystick follows it, and that is said once.
    Write("[JOYSTICK_0]\nJOY_ID = 9\nNAME = Stick\nX = 456\n");
    ASSERT_TRUE(device.Poll());
    JoystickState state;
    device.GetState(state);
    EXPECT_EQ(state.axes[0], 456);
    notice = NextNotice(root, taken);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(
        std::string(notice), "Virtual joystick file " + path.string() + " is good again: the joysticks follow it");
    EXPECT_EQ(NextNotice(root, taken), nullptr);
    root->Release();
}

TEST_F(VirtualJoysticksTest, AMistypedFileWhileInUseIsNamedWithItsLineOnceForEachTimeItBreaks)
{
    const std::string good = "[JOYSTICK_0]\nNAME = Stick\nY = 250\n[JOYSTICK_1]\nNAME = Throttle\n";
    Write(good);
    IDirectInputA* root = CreateRoot();
    std::vector<DIDEVICEINSTANCEA> found;
    ASSERT_EQ(Enumerate(root, found), DI_OK);
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", path.string().c_str());
    JoystickDevice stick(nullptr);
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    ASSERT_TRUE(stick.Open(found.at(0)));
    ASSERT_TRUE(stick.Poll());
    const std::string where = "Virtual joystick file " + path.string() + ": ";
    const std::string holds = "; the joysticks keep their last reading until the file is good again";
    const std::string mended = "Virtual joystick file " + path.string() + " is good again: the joysticks follow it";

    const struct {
        const char* line;
        std::string said;
    } breaks[] = {
        { "Y = abc\n", where + "line 6: Y must be a whole number from -10000 to 10000" + holds },
        { "Y = 99999999\n", where + "line 6: Y must be a whole number from -10000 to 10000" + holds },
        { "BUTTONS = 33\n", where + "line 6: BUTTONS must be a whole number from 0 to 32" + holds },
    };
    std::uint32_t taken = 0;
    for (const auto& broken : breaks) {
        SCOPED_TRACE(broken.line);
        Write(good + broken.line);
        ASSERT_TRUE(stick.Poll());
        ASSERT_TRUE(stick.Poll());
        JoystickState state;
        stick.GetState(state);
        EXPECT_EQ(state.axes[1], 250) << "the last good reading";
        const char* notice = NextNotice(root, taken);
        ASSERT_NE(notice, nullptr);
        EXPECT_EQ(std::string(notice), broken.said);
        EXPECT_EQ(NextNotice(root, taken), nullptr);

        // Another mistake before it is mended is the same bad time: nothing more is said.
        Write(good + "[JOYSTICK_9]\n");
        ASSERT_TRUE(stick.Poll());
        EXPECT_EQ(NextNotice(root, taken), nullptr);

        Write(good);
        ASSERT_TRUE(stick.Poll());
        notice = NextNotice(root, taken);
        ASSERT_NE(notice, nullptr);
        EXPECT_EQ(std::string(notice), mended);
    }

    // A root made while the file is bad lists the held joysticks and says
    // only what comes after it.
    Write(good + "Y = abc\n");
    ASSERT_TRUE(stick.Poll());
    IDirectInputA* later = CreateRoot();
    std::uint32_t laterTaken = 0;
    EXPECT_EQ(Enumerate(later, found), DI_OK);
    EXPECT_EQ(found.size(), 2u);
    EXPECT_EQ(NextNotice(later, laterTaken), nullptr);
    Write(good);
    ASSERT_TRUE(stick.Poll());
    const char* notice = NextNotice(later, laterTaken);
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(std::string(notice), mended);
    later->Release();
    root->Release();
}

TEST_F(VirtualJoysticksTest, SerialAndPortGiveTheInstanceAndASharedSerialIsNotUsed)
{
    Write("[JOYSTICK_0]\nJOY_ID = 77\nSERIAL = A1B2C3\n"
          "[JOYSTICK_1]\nJOY_ID = 77\nSERIAL =  D4E5F6 \nPORT = usb-2\n"
          "[JOYSTICK_2]\nJOY_ID = 77\nSERIAL = SAME\nPORT = usb-3\n"
          "[JOYSTICK_3]\nJOY_ID = 77\nSERIAL = SAME\n"
          "[JOYSTICK_4]\nJOY_ID = 77\nPORT = usb-5\n"
          "[JOYSTICK_5]\nJOY_ID = 77\nSERIAL = x[y\n");
    IDirectInputA* root = CreateRoot();
    std::vector<DIDEVICEINSTANCEA> found;
    ASSERT_EQ(Enumerate(root, found), DI_OK);
    ASSERT_EQ(found.size(), 6u);
    std::vector<std::string> keys;
    for (const DIDEVICEINSTANCEA& record : found) {
        keys.emplace_back(root->GetInstanceKey(record.guidInstance));
    }
    EXPECT_EQ(keys,
        (std::vector<std::string> {
            "serial:A1B2C3", "serial:D4E5F6", "port:usb-3", "port:JOYSTICK_3", "port:usb-5", "port:JOYSTICK_5" }));
    GUID unknown = found[0].guidInstance;
    unknown.Data2 = 7;
    EXPECT_STREQ(root->GetInstanceKey(unknown), "");

    // A section that now describes another device is that device: the old one is unplugged.
    ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", path.string().c_str());
    JoystickDevice first(nullptr);
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    ASSERT_TRUE(first.Open(found[0]));
    ASSERT_TRUE(first.Poll());
    Write("[JOYSTICK_0]\nJOY_ID = 77\nSERIAL = D4E5F6\nX = 99\n");
    EXPECT_FALSE(first.Poll());
    ASSERT_EQ(Enumerate(root, found), DI_OK);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(found[0].guidInstance == first.GetInstanceGuid());
    EXPECT_STREQ(root->GetInstanceKey(found[0].guidInstance), "serial:D4E5F6");
    root->Release();
}

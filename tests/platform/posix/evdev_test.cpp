// The evdev backend through the real libevdev, fed from pipes and FIFOs that
// the fake evdev kernel makes look like event nodes.
#include "devices/DirectInputBackends.h"
#include "devices/JoystickDevice.h"
#include "devices/JoystickSet.h"
#include "platform/posix/EvdevJoystick.h"
#include "tests/platform/posix/fake_evdev_kernel.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/os_helpers.h"

#include <libevdev/libevdev.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct EvdevHandle {
    libevdev* device = nullptr;
    ~EvdevHandle() { libevdev_free(device); }
};

// A private folder of event nodes, removed afterwards.
class NodeFolder {
public:
    NodeFolder()
    {
        char pattern[] = "/tmp/tavelin-evdev-XXXXXX";
        const char* made = mkdtemp(pattern);
        path = made != nullptr ? made : "";
    }
    ~NodeFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::string Node(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

FakeEvdevNode& Stick(FakeEvdevNode& node)
{
    node.Name("Flight Stick").Id(0x044F, 0x0402).Axis(ABS_X, 0, 1023, 512).Axis(ABS_Y, 0, 1023, 512);
    node.Axis(ABS_HAT0X, -1, 1).Axis(ABS_HAT0Y, -1, 1);
    for (int code = BTN_TRIGGER; code < BTN_TRIGGER + 12; ++code) {
        node.Key(code);
    }
    return node;
}

TEST(EvdevScalingTest, RangeDeadZoneAndSaturationEdges)
{
    // Whole travel, no dead zone, no saturation: ends and centre.
    EXPECT_EQ(ScaleEvdevAxis(0, 0, 1000, -10000, 10000, 0, 10000), -10000);
    EXPECT_EQ(ScaleEvdevAxis(1000, 0, 1000, -10000, 10000, 0, 10000), 10000);
    EXPECT_EQ(ScaleEvdevAxis(500, 0, 1000, -10000, 10000, 0, 10000), 0);
    EXPECT_EQ(ScaleEvdevAxis(250, 0, 1000, -10000, 10000, 0, 10000), -5000);
    // Beyond the device's own range: clamped to the ends.
    EXPECT_EQ(ScaleEvdevAxis(-50, 0, 1000, -10000, 10000, 0, 10000), -10000);
    EXPECT_EQ(ScaleEvdevAxis(5000, 0, 1000, -10000, 10000, 0, 10000), 10000);
    // A signed device range and a range that is not symmetric.
    EXPECT_EQ(ScaleEvdevAxis(-32768, -32768, 32767, -10000, 10000, 0, 10000), -10000);
    EXPECT_EQ(ScaleEvdevAxis(32767, -32768, 32767, -10000, 10000, 0, 10000), 10000);
    EXPECT_EQ(ScaleEvdevAxis(0, 0, 1000, 0, 255, 0, 10000), 0);
    EXPECT_EQ(ScaleEvdevAxis(500, 0, 1000, 0, 255, 0, 10000), 128); // 127.5 rounds away from zero
    // A device whose range is a single value reads the centre.
    EXPECT_EQ(ScaleEvdevAxis(7, 7, 7, -10000, 10000, 0, 10000), 0);

    // Dead zone 1000 (10 %) and saturation 9000 (90 %) of the half travel on 0..20000.
    const auto scaled = [](int value) { return ScaleEvdevAxis(value, 0, 20000, -10000, 10000, 1000, 9000); };
    EXPECT_EQ(scaled(11000), 0); // exactly on the dead zone's edge: centre
    EXPECT_EQ(scaled(9000), 0);
    EXPECT_EQ(scaled(11001), 1); // just beyond: (0.1001 - 0.1) / 0.8 of the half range
    EXPECT_EQ(scaled(15000), 5000); // half way between dead zone and saturation
    EXPECT_EQ(scaled(5000), -5000);
    EXPECT_EQ(scaled(19000), 10000); // exactly saturated
    EXPECT_EQ(scaled(18999), 9999);
    EXPECT_EQ(scaled(1000), -10000);
    // The device's own values: 5 and 9950.
    EXPECT_EQ(ScaleEvdevAxis(1023, 0, 1023, -10000, 10000, 5, 9950), 10000);
    EXPECT_EQ(ScaleEvdevAxis(1022, 0, 1023, -10000, 10000, 5, 9950), 10000); // 99.8 % of the half travel
    EXPECT_EQ(ScaleEvdevAxis(1020, 0, 1023, -10000, 10000, 5, 9950), 9991);
    EXPECT_EQ(ScaleEvdevAxis(1018, 0, 1023, -10000, 10000, 5, 9950), 9952);
    EXPECT_EQ(ScaleEvdevAxis(0, 0, 1023, -10000, 10000, 5, 9950), -10000);
    // A saturation at or below the dead zone: centre inside the zone, ends outside.
    EXPECT_EQ(ScaleEvdevAxis(600, 0, 1000, -10000, 10000, 2000, 1000), 0);
    EXPECT_EQ(ScaleEvdevAxis(601, 0, 1000, -10000, 10000, 2000, 1000), 10000);
}

TEST(EvdevScalingTest, HatsAreHundredthsClockwiseFromForward)
{
    EXPECT_EQ(EvdevHatToPov(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(EvdevHatToPov(0, -1), 0u);
    EXPECT_EQ(EvdevHatToPov(1, -1), 4500u);
    EXPECT_EQ(EvdevHatToPov(1, 0), 9000u);
    EXPECT_EQ(EvdevHatToPov(1, 1), 13500u);
    EXPECT_EQ(EvdevHatToPov(0, 1), 18000u);
    EXPECT_EQ(EvdevHatToPov(-1, 1), 22500u);
    EXPECT_EQ(EvdevHatToPov(-1, 0), 27000u);
    EXPECT_EQ(EvdevHatToPov(-1, -1), 31500u);
    EXPECT_EQ(EvdevHatToPov(5, -7), 4500u);
}

TEST(EvdevScalingTest, InvertedRangesReadTheRightWayRound)
{
    // Minimum 1023, maximum 0: the minimum end is still -10000.
    EXPECT_EQ(ScaleEvdevAxis(1023, 1023, 0, -10000, 10000, 0, 10000), -10000);
    EXPECT_EQ(ScaleEvdevAxis(0, 1023, 0, -10000, 10000, 0, 10000), 10000);
    EXPECT_EQ(ScaleEvdevAxis(767, 1023, 0, -10000, 10000, 0, 10000), -4995);
    EXPECT_EQ(ScaleEvdevAxis(5000, 1023, 0, -10000, 10000, 0, 10000), -10000);
    EXPECT_EQ(ScaleEvdevAxis(1, 1023, 0, -10000, 10000, 5, 9950), 10000);
}

// Whether udev would call the device a joystick, asked through a real libevdev handle.
bool Detected(FakeEvdevNode& node)
{
    EvdevHandle handle;
    if (libevdev_new_from_fd(node.ReadEnd(), &handle.device) != 0) {
        ADD_FAILURE() << "libevdev refused the node";
        return false;
    }
    return IsEvdevJoystick(handle.device);
}

TEST(EvdevDetectionTest, PedalsThrottlesWheelsAndBoardsCountKeyboardsMiceTouchAndSensorsDoNot)
{
    FakeEvdevNode pedals;
    pedals.Axis(ABS_X, 0, 255).Axis(ABS_Y, 0, 255).Axis(ABS_RZ, 0, 1023);
    EXPECT_TRUE(Detected(pedals));
    FakeEvdevNode throttle;
    throttle.Axis(ABS_THROTTLE, 0, 1023);
    EXPECT_TRUE(Detected(throttle));
    FakeEvdevNode wheel;
    wheel.Axis(ABS_WHEEL, -900, 900).Axis(ABS_GAS, 0, 255).Axis(ABS_BRAKE, 0, 255);
    EXPECT_TRUE(Detected(wheel));
    FakeEvdevNode threeAxisPedals; // X, Y and Z without keys: udev guesses an accelerometer, we do not
    threeAxisPedals.Axis(ABS_X, 0, 255).Axis(ABS_Y, 0, 255).Axis(ABS_Z, 0, 255);
    EXPECT_TRUE(Detected(threeAxisPedals));
    FakeEvdevNode board; // the kernel files a home-made board's buttons under BTN_0
    board.Axis(ABS_X, 0, 1023).Axis(ABS_Y, 0, 1023).Key(BTN_0).Key(BTN_1);
    EXPECT_TRUE(Detected(board));
    FakeEvdevNode stick;
    EXPECT_TRUE(Detected(Stick(stick)));

    FakeEvdevNode keyboard;
    for (const int key : { KEY_ESC, KEY_A, KEY_LEFTCTRL, KEY_CAPSLOCK, KEY_NUMLOCK, KEY_INSERT }) {
        keyboard.Key(key);
    }
    EXPECT_FALSE(Detected(keyboard));
    FakeEvdevNode mediaKeys; // a keyboard's volume knob is no throttle
    mediaKeys.Axis(ABS_X, 0, 100).Key(KEY_VOLUMEUP).Key(KEY_VOLUMEDOWN);
    EXPECT_FALSE(Detected(mediaKeys));
    FakeEvdevNode mouse;
    mouse.Rel(REL_X).Rel(REL_Y).Key(BTN_LEFT).Key(BTN_RIGHT);
    EXPECT_FALSE(Detected(mouse));
    FakeEvdevNode absoluteMouse;
    absoluteMouse.Axis(ABS_X, 0, 32767).Axis(ABS_Y, 0, 32767).Key(BTN_LEFT);
    EXPECT_FALSE(Detected(absoluteMouse));
    FakeEvdevNode touchpad;
    touchpad.Axis(ABS_X, 0, 1000).Axis(ABS_Y, 0, 1000).Key(BTN_TOOL_FINGER).Key(BTN_TOUCH).Prop(INPUT_PROP_POINTER);
    EXPECT_FALSE(Detected(touchpad));
    FakeEvdevNode tablet;
    tablet.Axis(ABS_X, 0, 1000).Axis(ABS_Y, 0, 1000).Key(BTN_TOOL_PEN).Key(BTN_STYLUS);
    EXPECT_FALSE(Detected(tablet));
    FakeEvdevNode touchscreen;
    touchscreen.Axis(ABS_X, 0, 1000).Axis(ABS_Y, 0, 1000).Key(BTN_TOUCH).Prop(INPUT_PROP_DIRECT);
    EXPECT_FALSE(Detected(touchscreen));
    FakeEvdevNode accelerometer;
    accelerometer.Axis(ABS_X, -512, 511).Axis(ABS_Y, -512, 511).Axis(ABS_Z, -512, 511).Prop(INPUT_PROP_ACCELEROMETER);
    EXPECT_FALSE(Detected(accelerometer));
    FakeEvdevNode padButtonsOnly;
    padButtonsOnly.Key(BTN_A).Key(BTN_B);
    EXPECT_FALSE(Detected(padButtonsOnly));
    // A button box has a joystick's buttons and nothing else; one button alone is no box.
    FakeEvdevNode buttonBox;
    for (int code = BTN_TRIGGER; code <= BTN_DEAD; ++code) {
        buttonBox.Key(code);
    }
    buttonBox.Key(BTN_TRIGGER_HAPPY1);
    EXPECT_TRUE(Detected(buttonBox));
    FakeEvdevNode oneButton;
    oneButton.Key(BTN_TRIGGER);
    EXPECT_FALSE(Detected(oneButton));
    FakeEvdevNode keysAndButtons;
    keysAndButtons.Key(BTN_TRIGGER).Key(BTN_THUMB).Key(KEY_ESC);
    EXPECT_FALSE(Detected(keysAndButtons));
}

TEST(EvdevTranslationTest, HidDescriptorsNameTheAxesTheKernelMerges)
{
    // Buttons, padding, X and Y from a list, Slider and Dial, Brake and
    // Accelerator, a hat, an array of usages (not axes); then an item cut short.
    const std::vector<std::uint8_t> descriptor = {
        0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, // Generic Desktop, Joystick, application collection
        0x05, 0x09, 0x19, 0x01, 0x29, 0x0C, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x0C, 0x81, 0x02, // 12 buttons
        0x75, 0x04, 0x95, 0x01, 0x81, 0x03, // constant padding
        0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x15, 0x00, 0x26, 0xFF, 0x03, 0x75, 0x0A, 0x95, 0x02, 0x81, 0x02, // X, Y
        0xA4, 0x09, 0x36, 0x09, 0x37, 0x75, 0x08, 0x95, 0x02, 0x81, 0x02, 0xB4, // Slider, Dial (inside push/pop)
        0x05, 0x02, 0x09, 0xC5, 0x09, 0xC4, 0x95, 0x02, 0x81, 0x02, // Brake, Accelerator
        0x05, 0x01, 0x09, 0x39, 0x25, 0x07, 0x75, 0x04, 0x95, 0x01, 0x81, 0x42, // hat switch
        0x09, 0x32, 0x09, 0x33, 0x95, 0x01, 0x81, 0x00, // an array: no axis
        0xC0, //
        0x09, 0x35, 0x95, 0x01, 0x81, 0x02, 0x0B, 0x01 // Rz, then a four-byte usage cut short
    };
    const std::vector<std::uint32_t> expected = { 0x10030, 0x10031, 0x10036, 0x10037, 0x200C5, 0x200C4, 0x10035 };
    EXPECT_EQ(ParseHidAxisUsages(descriptor), expected);
    EXPECT_TRUE(ParseHidAxisUsages({}).empty());
    const std::vector<std::uint8_t> junk = { 0xFE, 0xFF, 0x81, 0xFF, 0xFF, 0xFF, 0xFF, 0x0B };
    EXPECT_TRUE(ParseHidAxisUsages(junk).empty());

    // A Dial and a Simulation Rudder are both ABS_RUDDER: the usage decides.
    FakeEvdevNode node;
    node.Axis(ABS_RUDDER, 0, 255, 255);
    EvdevHandle handle;
    ASSERT_EQ(libevdev_new_from_fd(node.ReadEnd(), &handle.device), 0);
    EvdevTranslation translation;
    translation.SetRange(-10000, 10000);
    DIJOYSTATE2 state;
    const std::uint32_t dial[] = { 0x10037 };
    translation.Configure(handle.device, dial);
    translation.Fill(handle.device, state);
    EXPECT_EQ(state.rglSlider[0], 10000);
    EXPECT_EQ(state.lRz, 0);
    const std::uint32_t rudder[] = { 0x200BA };
    translation.Configure(handle.device, rudder);
    translation.Fill(handle.device, state);
    EXPECT_EQ(state.lRz, 10000);
    EXPECT_EQ(state.rglSlider[0], 0);
    // Without a descriptor a lone RUDDER is rudder pedals' Rz.
    translation.Configure(handle.device);
    translation.Fill(handle.device, state);
    EXPECT_EQ(state.lRz, 10000);

    // A wheel: Steering X, Accelerator Y, Brake Rz, as Windows shows it.
    FakeEvdevNode wheel;
    wheel.Axis(ABS_WHEEL, -900, 900, 900).Axis(ABS_GAS, 0, 255, 255).Axis(ABS_BRAKE, 0, 255, 0);
    EvdevHandle wheelHandle;
    ASSERT_EQ(libevdev_new_from_fd(wheel.ReadEnd(), &wheelHandle.device), 0);
    translation.Configure(wheelHandle.device);
    translation.Fill(wheelHandle.device, state);
    EXPECT_EQ(state.lX, 10000);
    EXPECT_EQ(state.lY, 10000);
    EXPECT_EQ(state.lRz, -10000);
    EXPECT_EQ(state.lZ, 0);
}

TEST(EvdevTranslationTest, ButtonsKeepTheirHidOrder)
{
    // Twelve buttons of a board that is neither joystick nor gamepad: BTN_0
    // to BTN_9, then the two codes after them; a mouse's buttons are not its.
    FakeEvdevNode board;
    board.Axis(ABS_X, 0, 1023);
    for (int code = BTN_0; code < BTN_0 + 12; ++code) {
        board.Key(code);
    }
    EvdevHandle handle;
    ASSERT_EQ(libevdev_new_from_fd(board.ReadEnd(), &handle.device), 0);
    EvdevTranslation translation;
    translation.Configure(handle.device);
    ASSERT_EQ(translation.ButtonCount(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(translation.ButtonCode(i), BTN_0 + i) << i;
    }
    board.Send(EV_KEY, BTN_0 + 4, 1);
    board.Send(EV_KEY, BTN_0 + 11, 1);
    board.Report();
    ASSERT_EQ(translation.Drain(handle.device), EvdevTranslation::Drained::Ok);
    DIJOYSTATE2 state;
    translation.Fill(handle.device, state);
    EXPECT_EQ(state.rgbButtons[4], 0x80); // button 5, as on Windows
    EXPECT_EQ(state.rgbButtons[11], 0x80);
    EXPECT_EQ(state.rgbButtons[0], 0);

    // A joystick with twenty: the kernel puts 17 to 20 at BTN_TRIGGER_HAPPY1.
    FakeEvdevNode stick;
    stick.Axis(ABS_X, 0, 1023);
    for (const int code :
        { BTN_TRIGGER_HAPPY1 + 3, BTN_TRIGGER_HAPPY1, BTN_TRIGGER_HAPPY1 + 1, BTN_TRIGGER_HAPPY1 + 2 }) {
        stick.Key(code);
    }
    for (int code = BTN_TRIGGER; code <= BTN_DEAD; ++code) {
        stick.Key(code);
    }
    EvdevHandle stickHandle;
    ASSERT_EQ(libevdev_new_from_fd(stick.ReadEnd(), &stickHandle.device), 0);
    translation.Configure(stickHandle.device);
    ASSERT_EQ(translation.ButtonCount(), 20);
    EXPECT_EQ(translation.ButtonCode(15), BTN_DEAD);
    EXPECT_EQ(translation.ButtonCode(16), BTN_TRIGGER_HAPPY1);
    EXPECT_EQ(translation.ButtonCode(19), BTN_TRIGGER_HAPPY1 + 3);
}

TEST(EvdevTranslationTest, CodesGoToTheirFieldsInDirectInputOrder)
{
    FakeEvdevNode node;
    node.Name("Quadrant").Axis(ABS_X, -512, 511).Axis(ABS_Z, 0, 255, 255).Axis(ABS_RZ, 0, 100, 0);
    node.Axis(ABS_THROTTLE, 0, 1023).Axis(ABS_WHEEL, 0, 10).Axis(ABS_RUDDER, 0, 1023, 1023).Axis(ABS_GAS, 0, 10);
    node.Axis(ABS_HAT1X, -1, 1, 1); // a hat with only a sideways axis
    node.Axis(ABS_HAT2X, 0, 2, 1).Axis(ABS_HAT2Y, 0, 2, 0); // a hat whose centre is 1
    node.Key(BTN_LEFT).Key(KEY_A); // below BTN_JOYSTICK: not buttons
    node.Key(BTN_TRIGGER_HAPPY1).Key(BTN_BASE6).Key(BTN_TRIGGER).Key(BTN_A).Key(BTN_DEAD);
    EvdevHandle handle;
    ASSERT_EQ(libevdev_new_from_fd(node.ReadEnd(), &handle.device), 0);
    EXPECT_TRUE(IsEvdevJoystick(handle.device));

    EvdevTranslation translation;
    translation.Configure(handle.device);
    translation.SetRange(-10000, 10000);
    translation.SetSaturation(10000);
    EXPECT_EQ(translation.ButtonCount(), 5);
    const int order[] = { BTN_TRIGGER, BTN_BASE6, BTN_DEAD, BTN_A, BTN_TRIGGER_HAPPY1 };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(translation.ButtonCode(i), order[i]) << i;
    }
    EXPECT_TRUE(translation.HasAxis(0));
    EXPECT_TRUE(translation.HasAxis(1)); // GAS: the accelerator is Y, as on Windows
    EXPECT_TRUE(translation.HasAxis(7));
    EXPECT_FALSE(translation.HasPov(0));
    EXPECT_TRUE(translation.HasPov(1));

    DIJOYSTATE2 state;
    translation.Fill(handle.device, state);
    EXPECT_EQ(state.lX, 10); // -512..511 centred at -0.5
    EXPECT_EQ(state.lY, -10000); // GAS
    EXPECT_EQ(state.lZ, 10000);
    EXPECT_EQ(state.lRz, -10000);
    EXPECT_EQ(state.rglSlider[0], -10000); // THROTTLE, not WHEEL
    EXPECT_EQ(state.rglSlider[1], 10000); // RUDDER beside RZ: a dial; WHEEL finds Z taken and no slider free
    EXPECT_EQ(state.rgdwPOV[0], 0xFFFFFFFFu);
    EXPECT_EQ(state.rgdwPOV[1], 9000u);
    EXPECT_EQ(state.rgdwPOV[2], 0u);
    EXPECT_EQ(state.rgdwPOV[3], 0xFFFFFFFFu);

    // Events move the fields; every pending event is read in one drain.
    node.Send(EV_KEY, BTN_TRIGGER_HAPPY1, 1);
    node.Send(EV_KEY, BTN_TRIGGER, 1);
    node.Send(EV_ABS, ABS_THROTTLE, 1023);
    node.Report();
    node.Send(EV_KEY, BTN_TRIGGER, 0);
    node.Send(EV_ABS, ABS_HAT1X, -1);
    node.Report();
    ASSERT_EQ(translation.Drain(handle.device), EvdevTranslation::Drained::Ok);
    translation.Fill(handle.device, state);
    EXPECT_EQ(state.rgbButtons[0], 0);
    EXPECT_EQ(state.rgbButtons[4], 0x80);
    EXPECT_EQ(state.rgbButtons[5], 0);
    EXPECT_EQ(state.rglSlider[0], 10000);
    EXPECT_EQ(state.rgdwPOV[1], 27000u);

    // BRAKE is Rz; WHEEL beside an X of its own is the desktop Wheel, Z.
    FakeEvdevNode pedals;
    pedals.Axis(ABS_X, 0, 10).Axis(ABS_BRAKE, 0, 10, 10).Axis(ABS_WHEEL, 0, 10, 0).Key(BTN_TRIGGER);
    EvdevHandle pedalHandle;
    ASSERT_EQ(libevdev_new_from_fd(pedals.ReadEnd(), &pedalHandle.device), 0);
    EvdevTranslation pedalTranslation;
    pedalTranslation.Configure(pedalHandle.device);
    pedalTranslation.SetRange(-10000, 10000);
    pedalTranslation.Fill(pedalHandle.device, state);
    EXPECT_EQ(state.lZ, -10000);
    EXPECT_EQ(state.lRz, 10000);
    EXPECT_EQ(state.rglSlider[0], 0);
    EXPECT_EQ(state.rglSlider[1], 0);
}

TEST(EvdevTranslationTest, DroppedEventsAreResynchronisedAndAVanishedDescriptorIsLost)
{
    FakeEvdevNode node;
    Stick(node);
    EvdevHandle handle;
    ASSERT_EQ(libevdev_new_from_fd(node.ReadEnd(), &handle.device), 0);
    ASSERT_TRUE(IsEvdevJoystick(handle.device));
    EvdevTranslation translation;
    translation.Configure(handle.device);
    translation.SetRange(-10000, 10000);
    translation.SetSaturation(10000);

    node.Send(EV_ABS, ABS_X, 1023);
    node.Report();
    // The reader falls behind: the kernel's state moves on without events,
    // some events that are queued are stale, and SYN_DROPPED says so.
    node.ChangeQuietly(EV_ABS, ABS_X, 0);
    node.ChangeQuietly(EV_ABS, ABS_HAT0Y, -1);
    node.ChangeQuietly(EV_KEY, BTN_TRIGGER + 3, 1);
    node.Send(EV_SYN, SYN_DROPPED, 0);
    input_event stale {};
    stale.type = EV_ABS;
    stale.code = ABS_Y;
    stale.value = 1023; // never reported: dropped with the rest of its packet
    ASSERT_EQ(write(node.ReadEnd() + 1, &stale, sizeof(stale)), static_cast<ssize_t>(sizeof(stale)));
    node.Report();
    ASSERT_EQ(translation.Drain(handle.device), EvdevTranslation::Drained::Ok);
    DIJOYSTATE2 state;
    translation.Fill(handle.device, state);
    EXPECT_EQ(state.lX, -10000);
    EXPECT_LT(state.lY, 100); // the kernel's Y (512), not the stale 1023
    EXPECT_EQ(state.rgdwPOV[0], 0u);
    EXPECT_EQ(state.rgbButtons[3], 0x80);

    // After the resync, events flow again.
    node.Send(EV_ABS, ABS_X, 1023);
    node.Report();
    ASSERT_EQ(translation.Drain(handle.device), EvdevTranslation::Drained::Ok);
    translation.Fill(handle.device, state);
    EXPECT_EQ(state.lX, 10000);

    // No events at all is not a loss.
    EXPECT_EQ(translation.Drain(handle.device), EvdevTranslation::Drained::Ok);
    node.Unplug();
    EXPECT_EQ(translation.Drain(handle.device), EvdevTranslation::Drained::Lost);
}

TEST(EvdevNodesTest, NodesAreListedInNumberOrder)
{
    NodeFolder folder;
    for (const char* name : { "event10", "event2", "event1", "eventX", "mouse0", "event", "event02x", "js0" }) {
        std::ofstream(folder.Node(name)) << "";
    }
    EXPECT_EQ(ListEventNodes(folder.path),
        (std::vector<std::string> { folder.Node("event1"), folder.Node("event2"), folder.Node("event10") }));
    EXPECT_TRUE(ListEventNodes(folder.path + "/missing").empty());
}

// The device layer over evdev: enumeration, set-up, polling, unplug and replug.
class EvdevDeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDirectInputOverride([this](void*, std::uint32_t version, IDirectInputA** out) {
            const HRESULT accepted = CheckDirectInputVersion(version);
            return FAILED(accepted) ? accepted
                                    : CreateEvdevDirectInput(folder.path.c_str(), out, folder.Node("sys").c_str());
        });
    }
    void TearDown() override { ClearDirectInputOverride(); }

    static std::vector<DIDEVICEINSTANCEA> Enumerate(IDirectInputA* root)
    {
        std::vector<DIDEVICEINSTANCEA> found;
        const HRESULT result = root->EnumDevices(
            DIDEVTYPE_JOYSTICK,
            [](const DIDEVICEINSTANCEA* instance, void* reference) {
                static_cast<std::vector<DIDEVICEINSTANCEA>*>(reference)->push_back(*instance);
                return DIENUM_CONTINUE;
            },
            &found, DIEDFL_ATTACHEDONLY);
        EXPECT_EQ(result, DI_OK);
        return found;
    }

    NodeFolder folder;
};

TEST_F(EvdevDeviceTest, JoysticksAreEnumeratedInNodeOrderAndOthersSkipped)
{
    FakeEvdevNode second(folder.Node("event10"));
    second.Name("Throttle").Id(0x06A3, 0x0C2D).Axis(ABS_Y, 0, 255).Key(BTN_BASE);
    FakeEvdevNode first(folder.Node("event2"));
    Stick(first);
    FakeEvdevNode mouse(folder.Node("event3"));
    mouse.Name("Mouse").Rel(REL_X).Rel(REL_Y).Key(BTN_LEFT);
    FakeEvdevNode tablet(folder.Node("event4"));
    tablet.Name("Tablet").Axis(ABS_X, 0, 100).Axis(ABS_Y, 0, 100).Key(BTN_TOOL_PEN);
    FakeEvdevNode keysOnly(folder.Node("event5"));
    keysOnly.Name("Pad buttons").Key(BTN_A);
    std::ofstream(folder.Node("event6")) << "not a device";

    IDirectInputA* root = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0500, &root, nullptr), DI_OK);
    const std::vector<DIDEVICEINSTANCEA> found = Enumerate(root);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_STREQ(found[0].tszInstanceName, "Flight Stick");
    EXPECT_EQ(found[0].guidProduct.Data1, 0x0402044Fu);
    EXPECT_STREQ(found[1].tszInstanceName, "Throttle");
    EXPECT_EQ(found[1].guidProduct.Data1, 0x0C2D06A3u);
    EXPECT_FALSE(found[0].guidInstance == found[1].guidInstance);
    EXPECT_STREQ(root->GetFailureDetail(), "");

    // A GUID nobody enumerated is no device.
    GUID unknown = found[0].guidInstance;
    unknown.Data4[0] ^= 0xFF;
    IDirectInputDeviceA* device = nullptr;
    EXPECT_EQ(root->CreateDevice(unknown, &device, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(device, nullptr);
    // Other device types are not joysticks.
    std::vector<DIDEVICEINSTANCEA> keyboards;
    EXPECT_EQ(root->EnumDevices(
                  3, [](const DIDEVICEINSTANCEA*, void*) { return DIENUM_CONTINUE; }, &keyboards, 0),
        DI_OK);
    root->Release();
    EXPECT_EQ(DirectInputCreateA(nullptr, 0x0700, &root, nullptr), DIERR_OLDDIRECTINPUTVERSION);
}

TEST_F(EvdevDeviceTest, DeviceReadsMovesAndComesBackAfterAnUnplug)
{
    FakeEvdevNode other(folder.Node("event1"));
    other.Name("Other Stick").Id(0x044F, 0x0402).Phys("usb-0000:00:14.0-2/input0").Axis(ABS_X, 0, 1023, 0);
    other.Key(BTN_TRIGGER);
    FakeEvdevNode node(folder.Node("event7"));
    Stick(node);

    IDirectInputA* root = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0500, &root, nullptr), DI_OK);
    const std::vector<DIDEVICEINSTANCEA> found = Enumerate(root);
    root->Release();
    ASSERT_EQ(found.size(), 2u);

    JoystickDevice device(nullptr);
    ASSERT_TRUE(device.Open(found[1])) << device.GetErrorText();
    EXPECT_EQ(device.GetButtonCount(), 12);
    EXPECT_EQ(device.GetJoystickId(), 0x0402044Fu);

    node.Send(EV_ABS, ABS_X, 1023);
    node.Send(EV_ABS, ABS_HAT0X, 1);
    node.Send(EV_KEY, BTN_TRIGGER + 11, 1);
    node.Report();
    ASSERT_TRUE(device.Poll());
    JoystickState state;
    device.GetState(state);
    EXPECT_EQ(state.axes[0], 10000);
    EXPECT_EQ(state.axes[1], 5); // 512 of 0..1023 is just outside the dead zone of 5
    EXPECT_EQ(state.pov[0], 90u);
    EXPECT_EQ(state.buttons[11], 1);

    node.Unplug();
    EXPECT_FALSE(device.Poll());
    EXPECT_FALSE(device.Poll());
    JoystickState lost;
    device.GetState(lost);
    EXPECT_EQ(lost.axes[0], 10000);

    // The other joystick of the same model on another port is not taken for it.
    node.Replug();
    node.ChangeQuietly(EV_ABS, ABS_X, 0);
    ASSERT_TRUE(device.Poll());
    device.GetState(state);
    EXPECT_EQ(state.axes[0], -10000);
    node.Send(EV_ABS, ABS_Y, 0);
    node.Report();
    ASSERT_TRUE(device.Poll());
    device.GetState(state);
    EXPECT_EQ(state.axes[1], -10000);
}

// Writes a report descriptor where the backend looks for the node's.
void WriteDescriptor(const NodeFolder& folder, const std::string& node, const std::vector<std::uint8_t>& bytes)
{
    const std::filesystem::path where = folder.Node("sys/" + node + "/device/device");
    std::filesystem::create_directories(where);
    std::ofstream(where / "report_descriptor", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// One 8-bit variable input of `usage` on `page` in a joystick collection.
std::vector<std::uint8_t> OneAxisDescriptor(std::uint8_t page, std::uint8_t usage)
{
    return { 0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x05, page, 0x09, usage, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
        0x95, 0x01, 0x81, 0x02, 0xC0 };
}

TEST_F(EvdevDeviceTest, ButtonlessPedalsThrottlesAndBoardsAreEnumeratedWithWindowsInputs)
{
    FakeEvdevNode pedals(folder.Node("event3"));
    pedals.Name("Rudder Pedals").Id(0x06A3, 0x0763).Axis(ABS_X, 0, 255).Axis(ABS_Y, 0, 255, 255);
    pedals.Axis(ABS_RUDDER, 0, 1023, 1023);
    WriteDescriptor(folder, "event3", OneAxisDescriptor(0x02, 0xBA)); // Simulation Rudder
    FakeEvdevNode throttle(folder.Node("event4"));
    throttle.Name("Throttle").Id(0x044F, 0x0404).Axis(ABS_THROTTLE, 0, 255, 0);
    FakeEvdevNode keyboard(folder.Node("event5"));
    keyboard.Name("Keyboard");
    for (const int key : { KEY_ESC, KEY_A, KEY_LEFTCTRL, KEY_CAPSLOCK, KEY_NUMLOCK, KEY_INSERT }) {
        keyboard.Key(key);
    }
    FakeEvdevNode board(folder.Node("event6"));
    board.Name("Dial Board").Id(0x1209, 0x0001).Axis(ABS_RUDDER, 0, 255, 255);
    WriteDescriptor(folder, "event6", OneAxisDescriptor(0x01, 0x37)); // Dial

    IDirectInputA* root = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0500, &root, nullptr), DI_OK);
    const std::vector<DIDEVICEINSTANCEA> found = Enumerate(root);
    root->Release();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_STREQ(found[0].tszInstanceName, "Rudder Pedals");
    EXPECT_STREQ(found[1].tszInstanceName, "Throttle");
    EXPECT_STREQ(found[2].tszInstanceName, "Dial Board");

    const auto read = [](const DIDEVICEINSTANCEA& record, JoystickState& state) {
        JoystickDevice device(nullptr);
        ASSERT_TRUE(device.Open(record)) << device.GetErrorText();
        EXPECT_EQ(device.GetButtonCount(), 0);
        ASSERT_TRUE(device.Poll());
        device.GetState(state);
    };
    JoystickState state;
    read(found[0], state);
    EXPECT_EQ(state.axes[1], 10000);
    EXPECT_EQ(state.axes[5], 10000); // the rudder is Rz
    EXPECT_EQ(state.axes[6], 0);
    read(found[1], state);
    EXPECT_EQ(state.axes[6], -10000); // slider 1
    read(found[2], state);
    EXPECT_EQ(state.axes[6], 10000); // the dial is slider 1
    EXPECT_EQ(state.axes[5], 0);
}

// Polls the set until `done` or a second has passed; the set's watch needs no more.
template <class Done> bool PollUntil(JoystickSet& set, Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        set.PollAll(0.008);
    }
    return true;
}

TEST_F(EvdevDeviceTest, JoysticksPluggedInAndOutKeepTheirSlots)
{
    const std::string pedalsId = std::to_string(0x076306A3);
    const std::string configuration = folder.Node("Joystick.ini");
    std::ofstream(configuration)
        << "[FLIGHT_CONTROLS]\nSIDE_STICK_P_CNTL\t= 0\nPITCH_CNTL\t= 1\nSIDE_STICK_R_CNTL\t= 0\n"
           "ROLL_CNTL\t= 0\nCOCKPIT_PEDAL\t= "
        << pedalsId << "\nPEDAL_CNTL\t= 5\n";
    ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", ShmTestOs::UniqueName("evdevplug").c_str());
    auto stick = std::make_unique<FakeEvdevNode>(folder.Node("event2"));
    Stick(*stick);
    {
        JoystickSet set;
        ASSERT_TRUE(set.Initialise(configuration.c_str())) << set.GetLastErrorText();
        ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        set.PollAll(0.008);
        ASSERT_EQ(set.GetJoystickCount(), 1);
        WarningList warnings;
        set.GetWarnings(warnings);
        const auto mentions = [&warnings](const char* text) {
            for (int i = 0; i < warnings.count; ++i) {
                if (std::string(warnings.messages[i]).find(text) != std::string::npos) {
                    return true;
                }
            }
            return false;
        };
        EXPECT_TRUE(mentions("JoyStick Id for PEDALS")); // the pedals are not there yet
        set.ClearWarnings();

        // Plugged in: the next free slot, and the file's pedal assignment finds it.
        FakeEvdevNode pedals(folder.Node("event5"));
        pedals.Name("Rudder Pedals").Id(0x06A3, 0x0763).Axis(ABS_X, 0, 255).Axis(ABS_Y, 0, 255);
        pedals.Axis(ABS_RZ, 0, 1023, 1023);
        ASSERT_TRUE(PollUntil(set, [&set] { return set.GetJoystickCount() == 2; }));
        EXPECT_STREQ(set.GetDeviceName(1), "Rudder Pedals");
        EXPECT_STREQ(set.GetSlotName(1), "Rudder Pedals");
        EXPECT_EQ(set.GetAxisSlot(AxisPedals), 1);
        set.GetWarnings(warnings);
        EXPECT_EQ(warnings.present, 0);
        JoystickState state;
        ASSERT_TRUE(set.GetSlotState(1, state));
        EXPECT_EQ(state.axes[5], 10000);

        // Unplugged: slot 0 keeps the stick, holds its reading and warns; the pedals stay in slot 1.
        stick->Send(EV_ABS, ABS_X, 1023);
        stick->Report();
        set.PollAll(0.008);
        stick->Unplug();
        ASSERT_TRUE(PollUntil(set, [&set] { return set.IsSlotLost(0); }));
        EXPECT_FALSE(set.IsSlotLost(1));
        EXPECT_EQ(set.GetJoystickCount(), 2);
        EXPECT_STREQ(set.GetDeviceName(0), "Flight Stick");
        ASSERT_TRUE(set.GetSlotState(0, state));
        EXPECT_EQ(state.axes[0], 10000);
        EXPECT_EQ(set.GetAxisSlot(AxisPedals), 1);
        set.GetWarnings(warnings);
        ASSERT_EQ(warnings.count, 1);
        const std::string warning = warnings.messages[0];
        EXPECT_NE(warning.find("slot 0"), std::string::npos) << warning;
        EXPECT_NE(warning.find("Flight Stick"), std::string::npos) << warning;
        // Lost, the stick costs nothing a tick: no listing of the nodes, one warning.
        const std::uint32_t changes = set.GetSlotChangeCount();
        AllocationCounter::Start();
        for (int tick = 0; tick < 20; ++tick) {
            set.PollAll(0.008);
        }
        EXPECT_EQ(AllocationCounter::Stop(), 0);
        EXPECT_EQ(set.GetSlotChangeCount(), changes);

        // Back, as the kernel brings it: at another node number. Its own slot again.
        stick.reset();
        FakeEvdevNode back(folder.Node("event9"));
        Stick(back);
        back.ChangeQuietly(EV_ABS, ABS_X, 0);
        ASSERT_TRUE(PollUntil(set, [&set] { return !set.IsSlotLost(0); }));
        EXPECT_EQ(set.GetJoystickCount(), 2);
        ASSERT_TRUE(set.GetSlotState(0, state));
        EXPECT_EQ(state.axes[0], -10000);
        EXPECT_STREQ(set.GetDeviceName(1), "Rudder Pedals");
        EXPECT_EQ(set.GetAxisSlot(AxisPedals), 1);
    }
    ShmTestOs::UnsetEnvironment("TAVELIN_SHM_NAME");
}

// Two quadrants of one model: "Throttle Quadrant" twice, vendor 06a3, product 0c2d.
FakeEvdevNode& Quadrant(FakeEvdevNode& node, const char* uniq, const char* phys, int x)
{
    node.Name("Throttle Quadrant").Id(0x06A3, 0x0C2D).Uniq(uniq).Phys(phys).Axis(ABS_X, 0, 1023, x);
    node.Axis(ABS_Y, 0, 1023, 512).Key(BTN_TRIGGER);
    return node;
}

TEST_F(EvdevDeviceTest, IdenticalQuadrantsAreToldApartBySerialOrPortInEitherOrderAndAcrossAReplug)
{
    {
        SCOPED_TRACE("serials, and a serial both share");
        FakeEvdevNode first(folder.Node("event0"));
        FakeEvdevNode second(folder.Node("event1"));
        Quadrant(first, "A1B2C3", "usb-0000:00:14.0-1/input0", 0);
        Quadrant(second, "D4E5F6", "usb-0000:00:14.0-2/input0", 1023);
        IDirectInputA* root = nullptr;
        ASSERT_EQ(DirectInputCreateA(nullptr, 0x0500, &root, nullptr), DI_OK);
        std::vector<DIDEVICEINSTANCEA> found = Enumerate(root);
        ASSERT_EQ(found.size(), 2u);
        EXPECT_STREQ(root->GetInstanceKey(found[0].guidInstance), "serial:A1B2C3");
        EXPECT_STREQ(root->GetInstanceKey(found[1].guidInstance), "serial:D4E5F6");
        second.Uniq("A1B2C3"); // firmware that gives every unit the same "serial"
        second.Unplug();
        second.Replug();
        found = Enumerate(root);
        ASSERT_EQ(found.size(), 2u);
        EXPECT_STREQ(root->GetInstanceKey(found[0].guidInstance), "port:usb-0000:00:14.0-1/input0");
        EXPECT_STREQ(root->GetInstanceKey(found[1].guidInstance), "port:usb-0000:00:14.0-2/input0");
        root->Release();
    }

    const std::string quadrantId = std::to_string(0x0C2D06A3);
    const std::string configuration = folder.Node("Joystick.ini");
    std::ofstream(configuration)
        << "[FLIGHT_CONTROLS]\nSIDE_STICK_P_CNTL\t= 0\nPITCH_CNTL\t= 1\nSIDE_STICK_R_CNTL\t= 0\n"
           "ROLL_CNTL\t= 0\nTHRUST_LVR_1\t= "
        << quadrantId << "\nTLA_L_CNTL\t= 0\nTHRUST_LVR_2\t= " << quadrantId
        << "\nTLA_R_CNTL\t= 0\n[JOYSTICK_INSTANCES]\nTHRUST_LVR_1\t= serial:A1B2C3\n"
           "THRUST_LVR_2\t= serial:D4E5F6\n";
    ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", ShmTestOs::UniqueName("evdevtwins").c_str());
    const auto leverSlots = [&](const char* firstSerial, const char* secondSerial) {
        FakeEvdevNode first(folder.Node("event0"));
        FakeEvdevNode second(folder.Node("event1"));
        Quadrant(first, firstSerial, "usb-0000:00:14.0-1/input0", 0);
        Quadrant(second, secondSerial, "usb-0000:00:14.0-2/input0", 1023);
        JoystickSet set;
        EXPECT_TRUE(set.Initialise(configuration.c_str())) << set.GetLastErrorText();
        EXPECT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        set.PollAll(0.008);
        return std::vector<std::int32_t> { set.GetAxisSlot(AxisThrLvrL), set.GetAxisSlot(AxisThrLvrR) };
    };
    EXPECT_EQ(leverSlots("A1B2C3", "D4E5F6"), (std::vector<std::int32_t> { 0, 1 }));
    EXPECT_EQ(leverSlots("D4E5F6", "A1B2C3"), (std::vector<std::int32_t> { 1, 0 }));

    {
        SCOPED_TRACE("both unplugged, and plugged back into each other's ports");
        auto first = std::make_unique<FakeEvdevNode>(folder.Node("event0"));
        auto second = std::make_unique<FakeEvdevNode>(folder.Node("event1"));
        Quadrant(*first, "A1B2C3", "usb-0000:00:14.0-1/input0", 0);
        Quadrant(*second, "D4E5F6", "usb-0000:00:14.0-2/input0", 1023);
        JoystickSet set;
        ASSERT_TRUE(set.Initialise(configuration.c_str())) << set.GetLastErrorText();
        ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        set.PollAll(0.008);
        EXPECT_TRUE(set.IsOneOfIdenticalJoysticks(0));
        first->Unplug();
        second->Unplug();
        ASSERT_TRUE(PollUntil(set, [&set] { return set.IsSlotLost(0) && set.IsSlotLost(1); }));
        first.reset();
        second.reset();
        FakeEvdevNode secondBack(folder.Node("event3"));
        FakeEvdevNode firstBack(folder.Node("event4"));
        Quadrant(secondBack, "D4E5F6", "usb-0000:00:14.0-1/input0", 1023);
        Quadrant(firstBack, "A1B2C3", "usb-0000:00:14.0-2/input0", 0);
        ASSERT_TRUE(PollUntil(set, [&set] { return !set.IsSlotLost(0) && !set.IsSlotLost(1); }));
        JoystickState state;
        ASSERT_TRUE(set.GetSlotState(0, state));
        EXPECT_EQ(state.axes[0], -10000) << "slot 0 reads the quadrant A1B2C3 again";
        ASSERT_TRUE(set.GetSlotState(1, state));
        EXPECT_EQ(state.axes[0], 10000);
        EXPECT_STREQ(set.GetInstanceKey(0), "serial:A1B2C3");
        EXPECT_STREQ(set.GetInstanceKey(1), "serial:D4E5F6");
        EXPECT_EQ(set.GetAxisSlot(AxisThrLvrL), 0);
        EXPECT_EQ(set.GetAxisSlot(AxisThrLvrR), 1);
    }
    ShmTestOs::UnsetEnvironment("TAVELIN_SHM_NAME");
}

TEST_F(EvdevDeviceTest, ATickReadsTheNodeOnceAndLosesNothing)
{
    FakeEvdevNode node(folder.Node("event1"));
    Stick(node);
    IDirectInputA* root = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0500, &root, nullptr), DI_OK);
    const std::vector<DIDEVICEINSTANCEA> found = Enumerate(root);
    ASSERT_EQ(found.size(), 1u);
    IDirectInputDeviceA* first = nullptr;
    ASSERT_EQ(root->CreateDevice(found[0].guidInstance, &first, nullptr), DI_OK);
    void* second = nullptr;
    ASSERT_EQ(first->QueryInterface(IID_IDirectInputDevice2A, &second), DI_OK);
    first->Release();
    auto* device = static_cast<IDirectInputDevice2A*>(second);
    ASSERT_EQ(device->SetDataFormat(&c_dfDIJoystick2), DI_OK);
    ASSERT_EQ(device->Acquire(), DI_OK);

    // The device layer's tick: Poll reads the events, the state read reports them.
    DIJOYSTATE2 state;
    node.Send(EV_KEY, BTN_TRIGGER, 1);
    node.Report();
    EXPECT_EQ(device->Poll(), DI_OK);
    node.Send(EV_KEY, BTN_TRIGGER + 1, 1); // lands between the two calls
    node.Report();
    ASSERT_EQ(device->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.rgbButtons[0], 0x80);
    EXPECT_EQ(state.rgbButtons[1], 0); // read by the next tick, not this one
    EXPECT_EQ(device->Poll(), DI_OK);
    ASSERT_EQ(device->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.rgbButtons[1], 0x80);
    // A state read without a Poll before it still reads the node.
    node.Send(EV_KEY, BTN_TRIGGER + 2, 1);
    node.Report();
    ASSERT_EQ(device->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.rgbButtons[2], 0x80);
    device->Release();
    root->Release();
}

TEST_F(EvdevDeviceTest, ControlPanelStartsJstestGtkDetachedWhenInstalled)
{
    IDirectInputA* root = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0500, &root, nullptr), DI_OK);
    const std::string savedPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", folder.path.c_str(), 1);
    EXPECT_EQ(root->RunControlPanel(nullptr, 0), DIERR_UNSUPPORTED);
    EXPECT_NE(std::string(root->GetFailureDetail()).find("apt install jstest-gtk"), std::string::npos);

    const std::string fifo = folder.Node("started");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const std::string program = folder.Node("jstest-gtk");
    std::ofstream(program) << "#!/bin/sh\necho started > '" << fifo << "'\n";
    chmod(program.c_str(), 0700);
    setenv("PATH", ("/nonexistent:" + folder.path).c_str(), 1);
    const HRESULT result = root->RunControlPanel(nullptr, 0);
    setenv("PATH", savedPath.c_str(), 1);
    EXPECT_EQ(result, DI_OK);
    pollfd wait { reader, POLLIN, 0 };
    ASSERT_EQ(poll(&wait, 1, 20000), 1);
    char text[16] = {};
    EXPECT_GT(read(reader, text, sizeof(text) - 1), 0);
    EXPECT_STREQ(text, "started\n");
    close(reader);
    root->Release();
}

} // namespace

// The evdev backend through the real libevdev, fed from pipes and FIFOs that
// the fake evdev kernel makes look like event nodes.
#include "devices/DirectInputBackends.h"
#include "devices/JoystickDevice.h"
#include "platform/posix/EvdevJoystick.h"
#include "tests/platform/fake_evdev_kernel.h"

#include <libevdev/libevdev.h>

#include <gtest/gtest.h>

#include <cerrno>
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
    EXPECT_FALSE(translation.HasAxis(1));
    EXPECT_TRUE(translation.HasAxis(7));
    EXPECT_FALSE(translation.HasPov(0));
    EXPECT_TRUE(translation.HasPov(1));

    DIJOYSTATE2 state;
    translation.Fill(handle.device, state);
    EXPECT_EQ(state.lX, 10); // -512..511 centred at -0.5
    EXPECT_EQ(state.lY, 0); // absent
    EXPECT_EQ(state.lZ, 10000);
    EXPECT_EQ(state.lRz, -10000);
    EXPECT_EQ(state.rglSlider[0], -10000); // THROTTLE, not WHEEL
    EXPECT_EQ(state.rglSlider[1], 10000); // RUDDER; WHEEL and GAS find no free slider
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

    // WHEEL, GAS and BRAKE fill the sliders when THROTTLE and RUDDER are missing.
    FakeEvdevNode pedals;
    pedals.Axis(ABS_X, 0, 10).Axis(ABS_BRAKE, 0, 10, 10).Axis(ABS_WHEEL, 0, 10, 0).Key(BTN_TRIGGER);
    EvdevHandle pedalHandle;
    ASSERT_EQ(libevdev_new_from_fd(pedals.ReadEnd(), &pedalHandle.device), 0);
    EvdevTranslation pedalTranslation;
    pedalTranslation.Configure(pedalHandle.device);
    pedalTranslation.SetRange(-10000, 10000);
    pedalTranslation.Fill(pedalHandle.device, state);
    EXPECT_EQ(state.rglSlider[0], -10000);
    EXPECT_EQ(state.rglSlider[1], 10000);
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
            return FAILED(accepted) ? accepted : CreateEvdevDirectInput(folder.path.c_str(), out);
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

TEST_F(EvdevDeviceTest, ControlPanelStartsJstestGtkDetachedWhenInstalled)
{
    IDirectInputA* root = nullptr;
    ASSERT_EQ(DirectInputCreateA(nullptr, 0x0500, &root, nullptr), DI_OK);
    const std::string savedPath = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", folder.path.c_str(), 1);
    EXPECT_EQ(root->RunControlPanel(nullptr, 0), DIERR_UNSUPPORTED);

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

// Real flight devices as the kernel presents them (tests/data/devices: evemu
// descriptions written from the devices' HID usages), played through the
// evdev backend: every input must come out under the name Windows'
// DirectInput gives its HID usage, which each file states for itself.
#include "devices/DirectInputBackends.h"
#include "devices/JoystickDevice.h"
#include "platform/posix/EvdevJoystick.h"

#include <linux/input.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::int64_t g_now = 0;
std::int64_t TestClock()
{
    return g_now;
}

// One "# WINDOWS <codes> <inputs> : <usage>" line: consecutive codes and names.
struct Expectation {
    int firstCode;
    int lastCode;
    std::string input; // X Y Z Rx Ry Rz Slider1 Slider2 POV1..4 Button
    int firstNumber; // for buttons
};

struct DeviceFile {
    std::string text;
    std::string name;
    std::uint32_t joystickId = 0;
    std::vector<Expectation> expected;
    std::map<int, int> maximum; // per axis code
};

DeviceFile ReadDevice(const fs::path& path)
{
    DeviceFile device;
    std::ifstream file(path);
    std::stringstream all;
    all << file.rdbuf();
    device.text = all.str();
    std::istringstream lines(device.text);
    std::string line;
    while (std::getline(lines, line)) {
        char codes[32] = {};
        char inputs[32] = {};
        unsigned bus = 0;
        unsigned vendor = 0;
        unsigned product = 0;
        unsigned code = 0;
        int minimum = 0;
        int maximum = 0;
        if (std::sscanf(line.c_str(), "# WINDOWS %31s %31s :", codes, inputs) == 2) {
            Expectation expectation {};
            unsigned first = 0;
            unsigned last = 0;
            const int read = std::sscanf(codes, "%x-%x", &first, &last);
            expectation.firstCode = static_cast<int>(first);
            expectation.lastCode = static_cast<int>(read == 2 ? last : first);
            std::string text = inputs;
            if (text.rfind("Button", 0) == 0) {
                expectation.input = "Button";
                expectation.firstNumber = std::stoi(text.substr(6));
            } else {
                expectation.input = text;
            }
            device.expected.push_back(expectation);
        } else if (line.rfind("N: ", 0) == 0) {
            device.name = line.substr(3);
        } else if (std::sscanf(line.c_str(), "I: %x %x %x", &bus, &vendor, &product) == 3) {
            device.joystickId = vendor | product << 16;
        } else if (std::sscanf(line.c_str(), "A: %x %d %d", &code, &minimum, &maximum) == 3) {
            device.maximum[static_cast<int>(code)] = maximum;
        }
    }
    return device;
}

const std::map<std::string, int> kAxisFields
    = { { "X", 0 }, { "Y", 1 }, { "Z", 2 }, { "Rx", 3 }, { "Ry", 4 }, { "Rz", 5 }, { "Slider1", 6 }, { "Slider2", 7 } };

// One change the test makes, and where Windows would show it.
struct Step {
    std::vector<std::pair<int, int>> events; // (type << 16 | code, value)
    std::string what;
    int axis = -1; // which axis reads 10000
    int pov = -1; // which POV reads `degrees`
    std::uint32_t degrees = 0;
    int button = -1; // which button (from 0) is pressed
};

std::vector<Step> Steps(const DeviceFile& device)
{
    std::vector<Step> steps;
    int previousButton = -1;
    for (const Expectation& expected : device.expected) {
        if (expected.input == "Button") {
            for (int code = expected.firstCode; code <= expected.lastCode; ++code) {
                Step step;
                step.button = expected.firstNumber - 1 + (code - expected.firstCode);
                step.what = "button " + std::to_string(step.button + 1);
                step.events.push_back({ EV_KEY << 16 | code, 1 });
                if (previousButton >= 0) {
                    step.events.push_back({ EV_KEY << 16 | previousButton, 0 });
                }
                previousButton = code;
                steps.push_back(step);
            }
        } else if (expected.input.rfind("POV", 0) == 0) {
            const int pov = expected.input[3] - '1';
            Step right;
            right.what = expected.input + " right";
            right.pov = pov;
            right.degrees = 90;
            right.events.push_back({ EV_ABS << 16 | expected.firstCode, 1 });
            steps.push_back(right);
            Step forward;
            forward.what = expected.input + " forward";
            forward.pov = pov;
            forward.degrees = 0;
            forward.events.push_back({ EV_ABS << 16 | expected.firstCode, 0 });
            forward.events.push_back({ EV_ABS << 16 | expected.lastCode, -1 });
            steps.push_back(forward);
            Step centred;
            centred.what = expected.input + " centred";
            centred.pov = pov;
            centred.degrees = 0xFFFFFFFFu / 100u;
            centred.events.push_back({ EV_ABS << 16 | expected.lastCode, 0 });
            steps.push_back(centred);
        } else {
            Step step;
            step.what = expected.input;
            step.axis = kAxisFields.at(expected.input);
            step.events.push_back({ EV_ABS << 16 | expected.firstCode, device.maximum.at(expected.firstCode) });
            steps.push_back(step);
        }
    }
    return steps;
}

TEST(RealDevicesTest, EveryInputOfEveryDeviceIsNamedAsWindowsNamesItsHidUsage)
{
    const fs::path folder = fs::path(TAVELIN_SOURCE_DIR) / "tests" / "data" / "devices";
    char pattern[] = "/tmp/tavelin-devices-XXXXXX";
    const char* made = mkdtemp(pattern);
    ASSERT_NE(made, nullptr);
    const fs::path scratch = made;
    SetEvemuClock(&TestClock);
    int devices = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() != ".evemu") {
            continue;
        }
        ++devices;
        const DeviceFile device = ReadDevice(entry.path());
        SCOPED_TRACE(entry.path().filename().string());
        ASSERT_FALSE(device.expected.empty());
        const std::vector<Step> steps = Steps(device);

        // The description, an empty frame where the recording's time begins,
        // then one frame for each step, 10 ms apart.
        std::string text = device.text + "E: 0.000000 0000 0000 0\n";
        char line[96];
        for (std::size_t i = 0; i < steps.size(); ++i) {
            for (const auto& [typeCode, value] : steps[i].events) {
                std::snprintf(line, sizeof line, "E: 0.%06zu %04x %04x %d\n", 10000 * (i + 1), typeCode >> 16,
                    typeCode & 0xFFFF, value);
                text += line;
            }
            std::snprintf(line, sizeof line, "E: 0.%06zu 0000 0000 0\n", 10000 * (i + 1));
            text += line;
        }
        const std::string path = (scratch / entry.path().filename()).string();
        std::ofstream(path) << text;

        g_now = 0;
        SetDirectInputOverride(
            [path](void*, std::uint32_t, IDirectInputA** out) { return CreateEvemuDirectInput({ path }, false, out); });
        IDirectInputA* root = nullptr;
        ASSERT_EQ(DirectInputCreateA(nullptr, 0x0500, &root, nullptr), DI_OK);
        std::vector<DIDEVICEINSTANCEA> found;
        root->EnumDevices(
            DIDEVTYPE_JOYSTICK,
            [](const DIDEVICEINSTANCEA* instance, void* reference) {
                static_cast<std::vector<DIDEVICEINSTANCEA>*>(reference)->push_back(*instance);
                return DIENUM_CONTINUE;
            },
            &found, DIEDFL_ATTACHEDONLY);
        char note[256] = {};
        EXPECT_FALSE(root->TakeNote(note, sizeof note)) << note;
        root->Release();
        ASSERT_EQ(found.size(), 1u) << "not taken for a joystick";
        EXPECT_STREQ(found[0].tszInstanceName, device.name.c_str());
        EXPECT_EQ(found[0].guidProduct.Data1, device.joystickId);

        JoystickDevice joystick(nullptr);
        ASSERT_TRUE(joystick.Open(found[0])) << joystick.GetErrorText();
        int buttons = 0;
        for (const Step& step : steps) {
            buttons += step.button >= 0 ? 1 : 0;
        }
        EXPECT_EQ(joystick.GetButtonCount(), buttons);
        joystick.Poll();
        JoystickState before;
        joystick.GetState(before);
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const Step& step = steps[i];
            g_now = 10000 * static_cast<std::int64_t>(i + 1);
            ASSERT_TRUE(joystick.Poll());
            JoystickState after;
            joystick.GetState(after);
            JoystickState expected = before;
            if (step.axis >= 0) {
                expected.axes[step.axis] = 10000;
            } else if (step.pov >= 0) {
                expected.pov[step.pov] = step.degrees;
            } else {
                for (std::uint8_t& pressed : expected.buttons) {
                    pressed = 0;
                }
                if (step.button < 32) {
                    expected.buttons[step.button] = 1;
                }
            }
            for (int a = 0; a < 8; ++a) {
                EXPECT_EQ(after.axes[a], expected.axes[a]) << step.what << ": axis " << a;
            }
            for (int p = 0; p < 4; ++p) {
                EXPECT_EQ(after.pov[p], expected.pov[p]) << step.what << ": POV " << p + 1;
            }
            for (int b = 0; b < 32; ++b) {
                EXPECT_EQ(after.buttons[b], expected.buttons[b]) << step.what << ": button " << b + 1;
            }
            before = after;
        }
        ClearDirectInputOverride();
    }
    EXPECT_GE(devices, 8);
    SetEvemuClock(nullptr);
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
}

} // namespace

// evemu-record files played through the evdev backend: the same readings as
// the fake kernel gives for the same device and events, the end of a
// recording, looping, and recordings that are bad in the ways real files are.
#include "devices/DirectInputBackends.h"
#include "devices/JoystickDevice.h"
#include "platform/posix/EvdevJoystick.h"
#include "platform/posix/EvemuRecording.h"
#include "tests/platform/posix/fake_evdev_kernel.h"

#include <libevdev/libevdev.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

std::int64_t g_now = 0;
std::int64_t TestClock()
{
    return g_now;
}

struct Axis {
    int code;
    int minimum;
    int maximum;
};

// One device as both the fake kernel and an evemu description show it.
struct Device {
    std::string name;
    std::uint16_t vendor;
    std::uint16_t product;
    std::vector<Axis> axes;
    std::vector<int> keys;
};

struct Event {
    int type;
    int code;
    int value;
};
struct Frame {
    std::int64_t microseconds;
    std::vector<Event> events;
};

std::string Bits(int type, const std::vector<int>& codes, int bytes)
{
    std::vector<unsigned> mask(static_cast<std::size_t>(bytes), 0);
    for (const int code : codes) {
        mask[static_cast<std::size_t>(code / 8)] |= 1u << (code % 8);
    }
    std::string text;
    char word[8];
    for (int i = 0; i < bytes; ++i) {
        if (i % 8 == 0) {
            std::snprintf(word, sizeof word, "B: %02x", type);
            text += word;
        }
        std::snprintf(word, sizeof word, " %02x", mask[static_cast<std::size_t>(i)]);
        text += word;
        if (i % 8 == 7) {
            text += "\n";
        }
    }
    return text;
}

// The description as evemu-record writes it, then the frames.
std::string EvemuText(const Device& device, const std::vector<Frame>& frames, std::int64_t start = 0)
{
    char line[128];
    std::string text = "# EVEMU 1.3\n# Input device name: \"" + device.name + "\"\nN: " + device.name + "\n";
    std::snprintf(line, sizeof line, "I: 0003 %04x %04x 0111\n", device.vendor, device.product);
    text += line;
    text += "P: 00 00 00 00 00 00 00 00\n";
    std::vector<int> types = { EV_SYN };
    if (!device.keys.empty()) {
        types.push_back(EV_KEY);
    }
    types.push_back(EV_ABS);
    types.push_back(EV_MSC);
    text += Bits(0, types, 8);
    text += Bits(EV_KEY, device.keys, 96);
    text += Bits(EV_REL, {}, 8);
    std::vector<int> abs;
    for (const Axis& axis : device.axes) {
        abs.push_back(axis.code);
    }
    text += Bits(EV_ABS, abs, 8);
    text += Bits(EV_MSC, { MSC_SCAN }, 8);
    for (const Axis& axis : device.axes) {
        std::snprintf(line, sizeof line, "A: %02x %d %d 0 0 0\n", axis.code, axis.minimum, axis.maximum);
        text += line;
    }
    for (const Frame& frame : frames) {
        const std::int64_t at = start + frame.microseconds;
        for (const Event& event : frame.events) {
            std::snprintf(line, sizeof line, "E: %lld.%06lld %04x %04x %04d\t# an event\n",
                static_cast<long long>(at / 1000000), static_cast<long long>(at % 1000000), event.type, event.code,
                event.value);
            text += line;
        }
        std::snprintf(line, sizeof line, "E: %lld.%06lld 0000 0000 0000\t# ------------ SYN_REPORT (0) ----------\n",
            static_cast<long long>(at / 1000000), static_cast<long long>(at % 1000000));
        text += line;
    }
    return text;
}

void Describe(FakeEvdevNode& node, const Device& device)
{
    node.Name(device.name).Id(device.vendor, device.product);
    for (const Axis& axis : device.axes) {
        node.Axis(axis.code, axis.minimum, axis.maximum);
    }
    for (const int key : device.keys) {
        node.Key(key);
    }
}

std::vector<int> Range(int first, int count)
{
    std::vector<int> codes;
    for (int i = 0; i < count; ++i) {
        codes.push_back(first + i);
    }
    return codes;
}

// A private folder for nodes and recordings.
class EvemuReplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tavelin-evemu-XXXXXX";
        const char* made = mkdtemp(pattern);
        folder = made != nullptr ? made : "";
        g_now = 1000;
        SetEvemuClock(&TestClock);
    }
    void TearDown() override
    {
        ClearDirectInputOverride();
        SetEvemuClock(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::string Write(const std::string& name, const std::string& text) const
    {
        const std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // The joysticks a root over `factory` enumerates, each opened by the device layer.
    std::vector<std::unique_ptr<JoystickDevice>> Open(DirectInputFactory factory)
    {
        SetDirectInputOverride(std::move(factory));
        IDirectInputA* root = nullptr;
        EXPECT_EQ(DirectInputCreateA(nullptr, 0x0500, &root, nullptr), DI_OK);
        std::vector<DIDEVICEINSTANCEA> found;
        root->EnumDevices(
            DIDEVTYPE_JOYSTICK,
            [](const DIDEVICEINSTANCEA* instance, void* reference) {
                static_cast<std::vector<DIDEVICEINSTANCEA>*>(reference)->push_back(*instance);
                return DIENUM_CONTINUE;
            },
            &found, DIEDFL_ATTACHEDONLY);
        std::vector<std::unique_ptr<JoystickDevice>> devices;
        for (const DIDEVICEINSTANCEA& record : found) {
            devices.push_back(std::make_unique<JoystickDevice>(nullptr));
            EXPECT_TRUE(devices.back()->Open(record)) << devices.back()->GetErrorText();
        }
        notes.clear();
        char note[256];
        while (root->TakeNote(note, sizeof note)) {
            notes.push_back(note);
        }
        root->Release();
        return devices;
    }

    std::vector<std::unique_ptr<JoystickDevice>> OpenRecordings(const std::vector<std::string>& paths, bool loop)
    {
        return Open([paths, loop](void*, std::uint32_t, IDirectInputA** out) {
            return CreateEvemuDirectInput(paths, loop, out);
        });
    }

    // What a root over the recordings has to tell now.
    std::vector<std::string> Notes(const std::vector<std::string>& paths, bool loop)
    {
        IDirectInputA* root = nullptr;
        EXPECT_EQ(CreateEvemuDirectInput(paths, loop, &root), DI_OK);
        std::vector<std::string> told;
        char note[256];
        while (root->TakeNote(note, sizeof note)) {
            told.push_back(note);
        }
        root->Release();
        return told;
    }

    static JoystickState Read(JoystickDevice& device)
    {
        device.Poll();
        JoystickState state;
        device.GetState(state);
        return state;
    }

    std::string folder;
    std::vector<std::string> notes;
};

void ExpectSameReading(const JoystickState& kernel, const JoystickState& recorded, const std::string& where)
{
    EXPECT_EQ(kernel.joystickId, recorded.joystickId) << where;
    EXPECT_EQ(kernel.buttonCount, recorded.buttonCount) << where;
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(kernel.axes[i], recorded.axes[i]) << where << ", axis " << i;
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(kernel.pov[i], recorded.pov[i]) << where << ", POV " << i + 1;
    }
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(kernel.buttons[i], recorded.buttons[i]) << where << ", button " << i + 1;
    }
}

TEST_F(EvemuReplayTest, ARecordingReadsAsTheFakeKernelReadsTheSameDevice)
{
    // A stick with a hat and a merged rudder code, buttonless pedals with an
    // inverted toe brake and a rudder without Rz, and a board whose buttons
    // the kernel files under BTN_0 and BTN_TRIGGER_HAPPY.
    std::vector<int> stickKeys = Range(BTN_TRIGGER, 12);
    const Device stick { "Recorded Stick", 0x044F, 0xB10A,
        { { ABS_X, 0, 1023 }, { ABS_Y, 0, 1023 }, { ABS_RZ, 0, 255 }, { ABS_RUDDER, 0, 255 }, { ABS_THROTTLE, 0, 255 },
            { ABS_HAT0X, -1, 1 }, { ABS_HAT0Y, -1, 1 } },
        stickKeys };
    const Device pedals { "Recorded Pedals", 0x06A3, 0x0763,
        { { ABS_X, 0, 127 }, { ABS_Y, 255, 0 }, { ABS_RUDDER, -512, 511 } }, {} };
    std::vector<int> boardKeys = Range(BTN_0, 4);
    for (const int key : Range(BTN_TRIGGER_HAPPY1, 30)) {
        boardKeys.push_back(key);
    }
    const Device board { "Recorded Board", 0x16C0, 0x05BA, { { ABS_Z, 0, 4095 } }, boardKeys };

    const std::vector<Frame> stickFrames = {
        { 0, { { EV_ABS, ABS_X, 512 }, { EV_ABS, ABS_Y, 511 } } },
        { 8000, { { EV_ABS, ABS_X, 1023 }, { EV_ABS, ABS_HAT0X, 1 }, { EV_ABS, ABS_HAT0Y, -1 } } },
        { 16000, { { EV_MSC, MSC_SCAN, 589825 }, { EV_KEY, BTN_TRIGGER, 1 }, { EV_ABS, ABS_RUDDER, 255 } } },
        { 24000, { { EV_KEY, BTN_TRIGGER + 11, 1 }, { EV_ABS, ABS_THROTTLE, 17 }, { EV_ABS, ABS_RZ, 3 } } },
        { 32000, { { EV_KEY, BTN_TRIGGER, 0 }, { EV_ABS, ABS_HAT0X, 0 }, { EV_ABS, ABS_Y, 0 } } },
    };
    const std::vector<Frame> pedalFrames = {
        { 0, { { EV_ABS, ABS_RUDDER, -512 } } },
        { 12000, { { EV_ABS, ABS_X, 127 }, { EV_ABS, ABS_Y, 255 } } },
        { 20000, { { EV_ABS, ABS_Y, 0 }, { EV_ABS, ABS_RUDDER, 200 } } },
        { 30000, { { EV_ABS, ABS_X, 64 } } },
    };
    const std::vector<Frame> boardFrames = {
        { 0, { { EV_KEY, BTN_0 + 3, 1 } } },
        { 10000, { { EV_KEY, BTN_TRIGGER_HAPPY1 + 27, 1 }, { EV_ABS, ABS_Z, 4095 } } },
        { 26000, { { EV_KEY, BTN_0 + 3, 0 }, { EV_KEY, BTN_TRIGGER_HAPPY1, 1 } } },
    };
    const Device* devices[] = { &stick, &pedals, &board };
    const std::vector<Frame>* frames[] = { &stickFrames, &pedalFrames, &boardFrames };

    for (int d = 0; d < 3; ++d) {
        SCOPED_TRACE(devices[d]->name);
        // The old absolute time stamps and the newer ones from zero play alike.
        const std::string path = Write(
            "device" + std::to_string(d) + ".evemu", EvemuText(*devices[d], *frames[d], d == 1 ? 1733740000123456 : 0));
        FakeEvdevNode node(folder + "/event" + std::to_string(d));
        Describe(node, *devices[d]);
        const std::string nodes = folder;
        auto kernel = Open([nodes](void*, std::uint32_t, IDirectInputA** out) {
            return CreateEvdevDirectInput(nodes.c_str(), out, (nodes + "/sys").c_str());
        });
        g_now = 5000;
        auto recorded = OpenRecordings({ path }, false);
        ASSERT_EQ(kernel.size(), 1u);
        ASSERT_EQ(recorded.size(), 1u);
        EXPECT_STREQ(recorded[0]->GetName(), devices[d]->name.c_str());
        EXPECT_EQ(recorded[0]->GetJoystickId(), kernel[0]->GetJoystickId());
        EXPECT_EQ(recorded[0]->GetButtonCount(), kernel[0]->GetButtonCount());
        EXPECT_TRUE(notes.empty());
        // The first event plays when playing begins: a moment before, the device is as it was made.
        g_now = 4999;
        ExpectSameReading(Read(*kernel[0]), Read(*recorded[0]), "before the first event");

        for (const Frame& frame : *frames[d]) {
            // A tick just before the frame is due: the recording shows the frame before.
            g_now = 5000 + frame.microseconds - 1;
            const JoystickState before = Read(*recorded[0]);
            ExpectSameReading(Read(*kernel[0]), before, "just before " + std::to_string(frame.microseconds));
            for (const Event& event : frame.events) {
                node.Send(event.type, event.code, event.value);
            }
            node.Report();
            g_now = 5000 + frame.microseconds;
            ExpectSameReading(Read(*kernel[0]), Read(*recorded[0]), "at " + std::to_string(frame.microseconds));
        }
        // Long after its end the recording holds its last state.
        g_now += 60'000'000;
        ExpectSameReading(Read(*kernel[0]), Read(*recorded[0]), "after the end");
        EXPECT_FALSE(recorded[0]->IsLost());
        ClearDirectInputOverride();
    }
}

TEST_F(EvemuReplayTest, LoopingStartsAgainAndEveryFileIsADeviceOfItsOwn)
{
    const Device throttle { "Recorded Throttle", 0x06A3, 0x0C2D, { { ABS_X, 0, 255 } }, { BTN_TRIGGER } };
    const std::vector<Frame> frames = { { 0, { { EV_ABS, ABS_X, 255 } } }, { 100000, { { EV_KEY, BTN_TRIGGER, 1 } } },
        { 200000, { { EV_ABS, ABS_X, 0 } } } };
    const std::string path = Write("throttle.evemu", EvemuText(throttle, frames));
    // The same file twice: two identical devices, each playing.
    auto looping = OpenRecordings({ path, path }, true);
    ASSERT_EQ(looping.size(), 2u);
    EXPECT_FALSE(looping[0]->GetInstanceGuid() == looping[1]->GetInstanceGuid());

    g_now = 1000 + 150000;
    JoystickState state = Read(*looping[0]);
    EXPECT_EQ(state.axes[0], 10000);
    EXPECT_EQ(state.buttons[0], 1);
    EXPECT_EQ(Read(*looping[1]).axes[0], 10000);
    // Past the end (200 ms): from the start, every input as the device began.
    g_now = 1000 + 200000 + 50000;
    state = Read(*looping[0]);
    EXPECT_EQ(state.axes[0], 10000); // the first frame again
    EXPECT_EQ(state.buttons[0], 0);
    // Many rounds later, still in step with the recording's clock.
    g_now = 1000 + 7 * 200000 + 120000;
    state = Read(*looping[0]);
    EXPECT_EQ(state.buttons[0], 1);
    EXPECT_EQ(state.axes[0], 10000);
    ClearDirectInputOverride();

    // Without looping the end holds.
    g_now = 0;
    auto once = OpenRecordings({ path }, false);
    ASSERT_EQ(once.size(), 1u);
    g_now = 10'000'000;
    state = Read(*once[0]);
    EXPECT_EQ(state.axes[0], -10000);
    EXPECT_EQ(state.buttons[0], 1);
}

TEST_F(EvemuReplayTest, BadRecordingsAreToldOnceWithTheirLineAndTheDeviceKeepsItsLastState)
{
    const Device stick { "Bad Stick", 0x044F, 0xB10A, { { ABS_X, 0, 1023 }, { ABS_Y, 0, 1023 } }, { BTN_TRIGGER } };
    const std::vector<Frame> frames = { { 0, { { EV_ABS, ABS_X, 1023 } } }, { 10000, { { EV_KEY, BTN_TRIGGER, 1 } } },
        { 20000, { { EV_ABS, ABS_X, 0 } } } };
    const std::string good = EvemuText(stick, frames);
    // The line a text begins in, counted from 1.
    const auto lineOf = [&good](const std::string& text) {
        const std::size_t at = good.find(text);
        return static_cast<std::size_t>(std::count(good.begin(), good.begin() + static_cast<long>(at), '\n')) + 1;
    };
    const std::size_t secondFrame = lineOf("E: 0.010000 0001");
    const std::size_t thirdFrame = lineOf("E: 0.020000");
    const std::size_t cut = good.find("E: 0.020000");

    struct Case {
        const char* name;
        std::string text;
        std::size_t line;
        const char* says;
        std::int32_t x; // what X reads at the end
        bool pressed; // the second frame played before the problem
    };
    std::string reordered = good.substr(0, cut) + "E: 0.005000 0003 0000 0000\nE: 0.005000 0000 0000 0000\n";
    const Case cases[] = {
        { "truncated in a line", good.substr(0, cut + 9), thirdFrame, "truncated", 10000, true },
        { "truncated in a frame", good.substr(0, cut) + "E: 0.020000 0003 0000 0000\n", thirdFrame, "truncated", 10000,
            true },
        { "out of time order", reordered, thirdFrame, "out of time order", 10000, true },
        { "an axis beyond the kernel's range", good.substr(0, cut) + "E: 0.020000 0003 0040 0000\n", thirdFrame,
            "beyond the kernel's range", 10000, true },
        { "a garbage line",
            good.substr(0, good.find("E: 0.010000")) + "\x01\x02garbage\x7f\n" + good.substr(good.find("E: 0.010000")),
            secondFrame, "not a line", 10000, false },
        { "a described axis beyond the kernel's range",
            good.substr(0, good.find("A: 00")) + "A: 41 0 1 0 0 0\n" + good.substr(good.find("A: 00")), lineOf("A: 00"),
            "axis 41 beyond the kernel's range", 0, false },
    };
    for (const Case& bad : cases) {
        SCOPED_TRACE(bad.name);
        const std::string path = Write("bad.evemu", bad.text);
        g_now = 0;
        auto devices = OpenRecordings({ path }, false);
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_TRUE(notes.empty()); // nothing to say before playing reaches the problem
        g_now = 60'000'000;
        const JoystickState state = Read(*devices[0]);
        // What came before the bad line played (a device cut short in its
        // description has axes without a range: centred), nothing after it.
        EXPECT_EQ(state.axes[0], bad.x);
        EXPECT_EQ(state.buttons[0], bad.pressed ? 1 : 0);
        Read(*devices[0]);
        notes = Notes({ path }, false);
        ASSERT_EQ(notes.size(), 1u);
        const std::string expected = path + ", line " + std::to_string(bad.line) + ": ";
        EXPECT_EQ(notes[0].rfind(expected, 0), 0u) << notes[0];
        EXPECT_NE(notes[0].find(bad.says), std::string::npos) << notes[0];
        // Once: another look says nothing more.
        EXPECT_TRUE(Notes({ path }, false).empty());
        devices.clear();
        ClearDirectInputOverride();
    }

    // A file that is missing, a folder and a mouse: no joystick, one note each.
    const Device mouse { "Recorded Mouse", 0x046D, 0xC077, {}, { BTN_LEFT, BTN_RIGHT } };
    const std::string mousePath = Write("mouse.evemu", EvemuText(mouse, {}));
    const std::string missing = folder + "/missing.evemu";
    auto none = OpenRecordings({ missing, folder, mousePath }, false);
    EXPECT_TRUE(none.empty());
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0].rfind(missing + ": cannot be read", 0), 0u) << notes[0];
    EXPECT_NE(notes[0].find("; it gives no joystick"), std::string::npos) << notes[0];
    EXPECT_EQ(notes[1].rfind(folder + ": ", 0), 0u) << notes[1];
    EXPECT_NE(notes[2].find("Recorded Mouse) is not a joystick"), std::string::npos) << notes[2];
}

TEST_F(EvemuReplayTest, MangledRecordingsNeverBreakTheReaderOrThePlayer)
{
    const Device stick { "Stick", 0x044F, 0xB10A, { { ABS_X, 0, 1023 }, { ABS_HAT0X, -1, 1 } }, Range(BTN_TRIGGER, 3) };
    const std::string good = EvemuText(stick,
        { { 0, { { EV_ABS, ABS_X, 1023 } } }, { 10000, { { EV_KEY, BTN_TRIGGER, 1 }, { EV_ABS, ABS_HAT0X, 1 } } } });
    std::uint32_t seed = 777;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const char alphabet[] = "0123456789abcdefABE:NIPBA .#\n\r-\x00\xff";
    const std::string path = folder + "/mangled.evemu";
    for (int round = 0; round < 400; ++round) {
        std::string text = good;
        for (int change = 1 + static_cast<int>(next() % 4); change > 0; --change) {
            const std::size_t at = next() % text.size();
            if (next() % 2 == 0) {
                text[at] = alphabet[next() % (sizeof alphabet - 1)];
            } else {
                text.erase(at, 1 + next() % 8);
            }
        }
        std::ofstream(path, std::ios::binary) << text;
        const EvemuRecording recording(path);
        libevdev* device = recording.MakeDevice();
        EXPECT_EQ(device != nullptr, recording.HasDevice());
        if (device != nullptr) {
            EvemuPlayback playback(recording, round % 2 == 0);
            for (const std::int64_t at : { 0, 5000, 10000, 25000, 1000000 }) {
                playback.PlayUntil(device, at);
            }
            // Whatever played, the events' times were in order.
            for (std::size_t i = 1; i < recording.Events().size(); ++i) {
                EXPECT_LE(recording.Events()[i - 1].microseconds, recording.Events()[i].microseconds);
            }
            libevdev_free(device);
        }
    }
}

TEST_F(EvemuReplayTest, TheVariableNamesTheFiles)
{
    setenv("TAVELIN_EVEMU", "/a.evemu::/b c.evemu:", 1);
    EXPECT_EQ(EvemuRecordingPaths(), (std::vector<std::string> { "/a.evemu", "/b c.evemu" }));
    unsetenv("TAVELIN_EVEMU");
    EXPECT_TRUE(EvemuRecordingPaths().empty());
}

} // namespace

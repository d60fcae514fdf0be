// Tavelin's own recordings: a flight recorded from one set of joysticks and
// replayed as the joysticks publishes the same outputs tick for tick; the
// recording text; recordings that are bad in the ways files are.
#include "devices/DirectInputBackends.h"
#include "devices/JoystickDevice.h"
#include "devices/JoystickRecorder.h"
#include "devices/JoystickRecording.h"
#include "devices/JoystickSet.h"
#include "mapping/GenericSimBlock.h"
#include "platform/virtual/VirtualJoystickFile.h"
#include "tests/support/os_helpers.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

double g_virtualSeconds = 0;
double VirtualClock()
{
    return g_virtualSeconds;
}
std::int64_t g_replayMilliseconds = 0;
std::int64_t ReplayClock()
{
    return g_replayMilliseconds;
}

// What one tick published: the six control outputs and the button bytes.
using Outputs = std::array<unsigned char, GenericSimBlock::kReverserPressed + 8 - GenericSimBlock::kPitchOutput>;

Outputs Published(const JoystickSet& set)
{
    Outputs outputs {};
    const auto* block = static_cast<const unsigned char*>(const_cast<JoystickSet&>(set).GetBlock());
    std::memcpy(outputs.data(), block + GenericSimBlock::kPitchOutput, outputs.size());
    return outputs;
}

class RecordingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        JoystickSet::ClearLastErrorText();
        ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", ShmTestOs::UniqueName("recording").c_str());
        folder = fs::temp_directory_path() / ShmTestOs::UniqueName("recording");
        fs::create_directories(folder);
        SetVirtualJoystickClock(&VirtualClock);
        SetReplayClock(&ReplayClock);
        g_replayMilliseconds = 0;
    }
    void TearDown() override
    {
        ClearDirectInputOverride();
        SetVirtualJoystickClock(nullptr);
        SetReplayClock(nullptr);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
        ShmTestOs::UnsetEnvironment("TAVELIN_SHM_NAME");
    }

    std::string Write(const std::string& name, const std::string& text) const
    {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    static std::string Read(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    // The joysticks of the recording at path, opened by the device layer, and what the root said.
    std::vector<std::unique_ptr<JoystickDevice>> Replay(const std::string& path, std::vector<std::string>& notes)
    {
        SetDirectInputOverride(
            [path](void*, std::uint32_t, IDirectInputA** out) { return CreateReplayDirectInput(path.c_str(), out); });
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
        for (auto& device : devices) {
            device->Poll();
        }
        char note[256];
        while (root->TakeNote(note, sizeof note)) {
            notes.push_back(note);
        }
        root->Release();
        return devices;
    }

    fs::path folder;
};

constexpr const char* kConfiguration
    = "[CONFIG_DETAILS]\nNAME = RECORDED\nJOY_ID = 1001\n"
      "[FLIGHT_CONTROLS]\n"
      "SIDE_STICK_P_CNTL\t= 1001\nPITCH_SENS\t= 0.002\nPITCH_DB\t= 0.5\nPITCH_CNTL\t= 1\n"
      "SIDE_STICK_R_CNTL\t= 1001\nROLL_SENS\t= 0.0025\nROLL_DB\t= 0.5\nROLL_CNTL\t= 0\n"
      "COCKPIT_PEDAL\t= 2002\nPEDAL_SENS\t= 0.0025\nPEDAL_DB\t= 0.5\nPEDAL_CNTL\t= 5\n"
      "COCKPIT_TILLER\t= 2002\nTILLER_SENS\t= 0.0015\nTILLER_DB\t= 0.5\nTILLER_CNTL\t= 2\n"
      "THRUST_LVR_1\t= 2002\nTLA_L_SENS\t= 1.0\nTLA_L_OFFSET\t= 0.0\nTLA_L_CNTL\t= 0\n"
      "THRUST_LVR_2\t= 2002\nTLA_R_SENS\t= 1.0\nTLA_R_OFFSET\t= 0.0\nTLA_R_CNTL\t= 1\n"
      "THRUST_LVR\t= 2002\nTLA_1_TC\t= 0.5\nTLA_2_TC\t= 0.5\nTLA_CNTL\t= 0\n"
      "[BUTTON_CONTROLS]\n"
      "AP_BTN_CNTL\t= 1001\nAP_BTN\t= 1\n"
      "BRK_L_BTN_CNTL\t= 2002\nBRK_L_BTN\t= 2\n";

TEST_F(RecordingTest, AReplayedFlightPublishesWhatTheFlightPublishedTickForTick)
{
    const std::string configuration = Write("Joystick.ini", kConfiguration);
    const std::string joysticks = Write("virtual.ini",
        "[JOYSTICK_0]\nJOY_ID = 1001\nNAME = Stick With A Long Name\nBUTTONS = 12\nMOTION = STICK\n"
        "[JOYSTICK_1]\nJOY_ID = 2002\nNAME = Sweeping Quadrant\nBUTTONS = 4\nMOTION = SWEEP\n");
    const std::string recording = (folder / "flight.txt").string();
    constexpr int kTicks = 700; // 5.6 s: the stick circles and presses its button, the quadrant sweeps

    std::vector<Outputs> flown;
    {
        SetDirectInputOverride([joysticks](void*, std::uint32_t, IDirectInputA** out) {
            return CreateVirtualDirectInput(joysticks.c_str(), out);
        });
        JoystickSet set;
        ASSERT_TRUE(set.Initialise(configuration.c_str())) << set.GetLastErrorText();
        g_virtualSeconds = 0;
        ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        JoystickRecorder recorder;
        std::string reason;
        ASSERT_TRUE(recorder.Start(recording, 50000, reason)) << reason;
        for (int tick = 0; tick < kTicks; ++tick) {
            g_virtualSeconds = tick * 0.008;
            set.PollAll(0.01);
            recorder.Record(set, 50000 + tick * 8);
            flown.push_back(Published(set));
        }
        ASSERT_TRUE(recorder.Stop(reason)) << reason;
        ClearDirectInputOverride();
    }
    // The flight moved: a recording of nothing would replay as nothing.
    std::size_t different = 0;
    for (int tick = 1; tick < kTicks; ++tick) {
        different += flown[tick] != flown[tick - 1] ? 1 : 0;
    }
    EXPECT_GT(different, kTicks / 2u);

    const std::string text = Read(recording);
    EXPECT_EQ(text.rfind(std::string(kRecordingHeader) + "\n", 0), 0u);
    EXPECT_NE(text.find("\n0 JOYSTICK 0 1001 12 Stick With A Long Name\n"), std::string::npos);
    EXPECT_NE(text.find("\n0 JOYSTICK 1 2002 4 Sweeping Quadrant\n"), std::string::npos);

    SetDirectInputOverride([recording](void*, std::uint32_t, IDirectInputA** out) {
        return CreateReplayDirectInput(recording.c_str(), out);
    });
    JoystickSet set;
    ASSERT_TRUE(set.Initialise(configuration.c_str())) << set.GetLastErrorText();
    g_replayMilliseconds = 0;
    ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
    EXPECT_STREQ(set.GetDeviceName(0), "Stick With A Long Name");
    EXPECT_STREQ(set.GetDeviceName(1), "Sweeping Quadrant");
    EXPECT_EQ(set.GetButtonCount(0), 12);
    int mismatches = 0;
    for (int tick = 0; tick < kTicks; ++tick) {
        g_replayMilliseconds = tick * 8;
        set.PollAll(0.01);
        const Outputs replayed = Published(set);
        const bool same = replayed == flown[tick] || (tick > 0 && replayed == flown[tick - 1])
            || (tick + 1 < kTicks && replayed == flown[tick + 1]);
        mismatches += same ? 0 : 1;
        EXPECT_TRUE(same) << "tick " << tick;
        if (mismatches > 3) {
            break;
        }
    }
    // A good recording plays without a word (the notes are those of the partial set-up file).
    WarningList warnings;
    set.GetWarnings(warnings);
    for (int i = 0; i < warnings.count; ++i) {
        EXPECT_EQ(std::string(warnings.messages[i]).find("flight.txt"), std::string::npos) << warnings.messages[i];
    }
}

TEST_F(RecordingTest, ChangesAreWrittenAsTheyHappenAndReadBack)
{
    RecordedState before;
    RecordedState now = before;
    char line[kRecordingLineLength];
    EXPECT_EQ(FormatRecordingChange(line, 8, 1, &before, now), 0u);
    now.values[0] = -10000;
    now.values[9] = 77; // VY
    now.pov[1] = 27000;
    now.pressed = 1u | 1u << 31;
    now.lost = true;
    ASSERT_GT(FormatRecordingChange(line, 123456789012, 3, &before, now), 0u);
    EXPECT_STREQ(line, "123456789012 3 X=-10000 VY=77 POV2=27000 PRESSED=1,32 LOST=1\n");
    RecordedState back = now;
    back.pressed = 0;
    back.pov[1] = RecordedState::kRecordedPovCentred;
    FormatRecordingChange(line, 123456789020, 3, &now, back);
    EXPECT_STREQ(line, "123456789020 3 POV2=-1 PRESSED=-\n");

    // A whole state, and the text read back gives each slot its changes.
    RecordedState full;
    full.values[7] = 10000;
    full.values[23] = -5;
    full.pov[0] = 4500;
    full.pressed = 1u << 4;
    std::string text = std::string(kRecordingHeader) + "\n# made by hand\n\n0 JOYSTICK 3 4294967295 32 A  Name  #1\n";
    FormatRecordingChange(line, 0, 3, nullptr, full);
    text += line;
    text += "16 3 SL2=0\n16 3 LOST=1\n";
    const ParsedRecording parsed = ParseRecording(text);
    EXPECT_EQ(parsed.problem, "");
    ASSERT_TRUE(parsed.declared[3]);
    EXPECT_FALSE(parsed.declared[0]);
    EXPECT_EQ(parsed.slots[3].name, "A  Name  #1");
    EXPECT_EQ(parsed.slots[3].joystickId, 4294967295u);
    EXPECT_EQ(parsed.slots[3].buttons, 32);
    ASSERT_EQ(parsed.slots[3].changes.size(), 2u); // two lines at one time are one change
    EXPECT_EQ(parsed.slots[3].changes[0].state, full);
    RecordedState later = full;
    later.values[7] = 0;
    later.lost = true;
    EXPECT_EQ(parsed.slots[3].changes[1].at, 16);
    EXPECT_EQ(parsed.slots[3].changes[1].state, later);
    EXPECT_EQ(parsed.end, 16);
}

TEST_F(RecordingTest, ALostJoystickIsLostInTheReplayAndComesBack)
{
    const std::string path = Write("lost.txt",
        std::string(kRecordingHeader)
            + "\n0 JOYSTICK 0 1001 2 Stick\n0 0 X=500 PRESSED=2\n100 0 LOST=1\n300 0 LOST=0 X=-700\n"
              "400 JOYSTICK 1 2002 0 Pedals\n400 1 RZ=9999\n");
    std::vector<std::string> notes;
    auto devices = Replay(path, notes);
    ASSERT_EQ(devices.size(), 1u); // the pedals come later
    EXPECT_TRUE(notes.empty());
    JoystickState state;
    devices[0]->GetState(state);
    EXPECT_EQ(state.axes[0], 500);
    EXPECT_EQ(state.buttons[1], 1);
    EXPECT_EQ(state.pov[0], 0xFFFFFFFFu / 100u); // centred, as the device layer keeps it
    g_replayMilliseconds = 150;
    EXPECT_FALSE(devices[0]->Poll());
    EXPECT_TRUE(devices[0]->IsLost());
    g_replayMilliseconds = 310;
    EXPECT_TRUE(devices[0]->Poll());
    EXPECT_FALSE(devices[0]->IsLost());
    devices[0]->GetState(state);
    EXPECT_EQ(state.axes[0], -700);
    EXPECT_EQ(state.buttons[1], 1);

    // The pedals' time comes: a joystick plugged in.
    IDirectInputA* root = nullptr;
    ASSERT_EQ(CreateReplayDirectInput(path.c_str(), &root), DI_OK);
    root->DevicesChanged(); // what it sees first
    EXPECT_FALSE(root->DevicesChanged());
    g_replayMilliseconds = 420;
    EXPECT_TRUE(root->DevicesChanged());
    EXPECT_FALSE(root->DevicesChanged());
    root->Release();
}

TEST_F(RecordingTest, BadRecordingsAreToldOnceWithTheirLineAndTheJoysticksKeepTheirLastState)
{
    const std::string good
        = std::string(kRecordingHeader) + "\n0 JOYSTICK 0 1001 2 Stick\n0 0 X=100\n8 0 X=200 PRESSED=1\n16 0 X=300\n";
    struct Case {
        const char* name;
        std::string text;
        int line;
        const char* says;
        std::int32_t x;
    };
    const std::string upTo8 = good.substr(0, good.find("16 0"));
    const Case cases[] = {
        { "truncated", good.substr(0, good.size() - 3), 5, "truncated", 200 },
        { "out of time order", upTo8 + "4 0 X=300\n", 5, "out of time order", 200 },
        { "an axis beyond its range", upTo8 + "16 0 X=10001\n", 5, "beyond the axes' range", 200 },
        { "an unknown axis", upTo8 + "16 0 W=1\n", 5, "unknown key W", 200 },
        { "a garbage line", upTo8 + "\x01\x02\xff garbage\n16 0 X=300\n", 5, "begins with its time", 200 },
        { "a slot beyond the four", upTo8 + "16 4 X=300\n", 5, "slot 0..3", 200 },
        { "not a recording", "[JOYSTICK_0]\nX = 1\n", 1, "not a Tavelin recording", 0 },
    };
    for (const Case& bad : cases) {
        SCOPED_TRACE(bad.name);
        const std::string path = Write("bad.txt", bad.text);
        g_replayMilliseconds = 0;
        std::vector<std::string> notes;
        auto devices = Replay(path, notes);
        if (bad.line > 1) {
            ASSERT_EQ(devices.size(), 1u);
            EXPECT_TRUE(notes.empty()); // nothing is said before playing gets there
            g_replayMilliseconds = 100000;
            devices[0]->Poll();
            JoystickState state;
            devices[0]->GetState(state);
            EXPECT_EQ(state.axes[0], bad.x);
            EXPECT_EQ(state.buttons[0], 1);
            EXPECT_FALSE(devices[0]->IsLost());
            devices[0]->Poll();
            notes.clear();
            IDirectInputA* root = nullptr;
            ASSERT_EQ(CreateReplayDirectInput(path.c_str(), &root), DI_OK);
            char note[256];
            while (root->TakeNote(note, sizeof note)) {
                notes.push_back(note);
            }
            root->Release();
        } else {
            EXPECT_TRUE(devices.empty());
        }
        ASSERT_EQ(notes.size(), 1u);
        const std::string expected = path + ", line " + std::to_string(bad.line) + ": ";
        EXPECT_EQ(notes[0].rfind(expected, 0), 0u) << notes[0];
        EXPECT_NE(notes[0].find(bad.says), std::string::npos) << notes[0];
        EXPECT_NE(notes[0].find("keep their last state"), std::string::npos) << notes[0];
        devices.clear();
        ClearDirectInputOverride();
    }

    // Through the joystick set: the note reaches the warning list once, and
    // the joystick keeps its last state.
    {
        const std::string path = Write("bad-in-set.txt", upTo8 + "16 0 X=10001\n");
        const std::string configuration = Write("Joystick.ini", kConfiguration);
        SetDirectInputOverride(
            [path](void*, std::uint32_t, IDirectInputA** out) { return CreateReplayDirectInput(path.c_str(), out); });
        JoystickSet set;
        ASSERT_TRUE(set.Initialise(configuration.c_str())) << set.GetLastErrorText();
        g_replayMilliseconds = 0;
        ASSERT_TRUE(set.CreateDevices(nullptr, nullptr)) << set.GetLastErrorText();
        set.ClearWarnings();
        for (int tick = 0; tick < 10; ++tick) {
            g_replayMilliseconds = tick * 8;
            set.PollAll(0.01);
        }
        WarningList warnings;
        set.GetWarnings(warnings);
        std::vector<std::string> aboutIt;
        for (int i = 0; i < warnings.count; ++i) {
            if (std::string(warnings.messages[i]).find(path) != std::string::npos) {
                aboutIt.push_back(warnings.messages[i]);
            }
        }
        ASSERT_EQ(aboutIt.size(), 1u);
        EXPECT_EQ(aboutIt[0].rfind(path + ", line 5: X = 10001", 0), 0u) << aboutIt[0];
        JoystickState state;
        ASSERT_TRUE(set.GetSlotState(0, state));
        EXPECT_EQ(state.axes[0], 200);
        EXPECT_FALSE(set.IsSlotLost(0));
        ClearDirectInputOverride();
    }

    // A file that is not there: no joysticks, and the enumeration says why.
    const std::string missing = (folder / "missing.txt").string();
    IDirectInputA* root = nullptr;
    ASSERT_EQ(CreateReplayDirectInput(missing.c_str(), &root), DI_OK);
    EXPECT_EQ(root->EnumDevices(
                  DIDEVTYPE_JOYSTICK, [](const DIDEVICEINSTANCEA*, void*) { return DIENUM_CONTINUE; }, nullptr, 0),
        DIERR_GENERIC);
    EXPECT_EQ(std::string(root->GetFailureDetail()).rfind(missing + ": cannot be read", 0), 0u);
    root->Release();
}

TEST_F(RecordingTest, ARecordingThatCannotBeWrittenSaysSo)
{
    JoystickRecorder recorder;
    std::string reason;
    const std::string inMissingFolder = (folder / "no" / "such" / "folder.txt").string();
    EXPECT_FALSE(recorder.Start(inMissingFolder, 0, reason));
    EXPECT_EQ(reason.rfind(inMissingFolder + ": ", 0), 0u) << reason;
    EXPECT_FALSE(recorder.IsRecording());
    // An existing file is replaced.
    const std::string path = Write("again.txt", "old text that is no recording\n");
    ASSERT_TRUE(recorder.Start(path, 0, reason)) << reason;
    ASSERT_TRUE(recorder.Stop(reason)) << reason;
    EXPECT_EQ(Read(path).rfind(std::string(kRecordingHeader) + "\n", 0), 0u);
}

} // namespace

namespace {

TEST(RecordingTextTest, MangledRecordingsNeverBreakTheReader)
{
    const std::string good = std::string(kRecordingHeader)
        + "\n0 JOYSTICK 0 1001 2 Stick\n0 0 X=100 POV1=9000 PRESSED=1,2\n8 0 X=200 LOST=1\n16 1 Y=3\n";
    std::uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const char alphabet[] = "0123456789 =,-\n\r#XYZPOVRESSLTJOYICK\x00\xff";
    int bad = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = good;
        for (int change = 1 + static_cast<int>(next() % 4); change > 0; --change) {
            const std::size_t at = next() % text.size();
            switch (next() % 3) {
            case 0:
                text[at] = alphabet[next() % (sizeof alphabet - 1)];
                break;
            case 1:
                text.erase(at, 1 + next() % 6);
                break;
            default:
                text.insert(at, 1, alphabet[next() % (sizeof alphabet - 1)]);
                break;
            }
            if (text.empty()) {
                text.assign(1, 'x');
            }
        }
        const ParsedRecording parsed = ParseRecording(text);
        bad += parsed.problem.empty() ? 0 : 1;
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            const auto& changes = parsed.slots[slot].changes;
            for (std::size_t i = 0; i < changes.size(); ++i) {
                // Whatever was kept is in order and in range.
                EXPECT_TRUE(parsed.declared[slot]);
                EXPECT_LE(changes[i].at, parsed.end);
                EXPECT_TRUE(i == 0 || changes[i - 1].at < changes[i].at);
                for (int axis = 0; axis < 8; ++axis) {
                    EXPECT_LE(std::abs(changes[i].state.values[axis]), 10000);
                }
            }
        }
    }
    EXPECT_GT(bad, 1000); // the mangling did reach the reader's checks
}

} // namespace

// The simblock program against blocks written by the test: what it shows,
// what it sets, how it fails, and that it always leaves the count as it was.
#include "mapping/Assignments.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "tests/support/os_helpers.h"
#include "tests/support/poll.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace GSB = GenericSimBlock;

namespace {

std::string SimblockPath()
{
    const char* folder = std::getenv("TAVELIN_TEST_BINARY_DIR");
    std::string build;
    if (folder != nullptr && *folder != '\0') {
        build = ShmTestOs::NativePath(folder);
    } else {
        // Run by hand: the tests sit in <build>/tests.
        const std::string self = ShmTestOs::SelfExecutable();
        build = self.substr(0, self.find_last_of("/\\"));
        build = build.substr(0, build.find_last_of("/\\"));
    }
    return build + "/tools/simblock/simblock" + ShmTestOs::ExecutableSuffix();
}

ShmTestOs::ProgramResult Simblock(const std::vector<std::string>& arguments)
{
    return ShmTestOs::RunProgram(SimblockPath(), arguments);
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// A strict reader of JSON syntax: enough to know that another program can parse the output.
class JsonChecker {
public:
    explicit JsonChecker(const std::string& text)
        : m_text(text)
    {
    }
    bool Valid()
    {
        const bool ok = Value();
        Blanks();
        return ok && m_at == m_text.size();
    }

private:
    void Blanks()
    {
        while (m_at < m_text.size() && std::strchr(" \t\r\n", m_text[m_at]) != nullptr) {
            ++m_at;
        }
    }
    bool Take(char c)
    {
        Blanks();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool Word(const char* word)
    {
        const std::size_t length = std::strlen(word);
        if (m_text.compare(m_at, length, word) == 0) {
            m_at += length;
            return true;
        }
        return false;
    }
    bool String()
    {
        if (!Take('"')) {
            return false;
        }
        while (m_at < m_text.size()) {
            const auto c = static_cast<unsigned char>(m_text[m_at++]);
            if (c == '"') {
                return true;
            }
            if (c < 32) {
                return false;
            }
            if (c == '\\') {
                if (m_at >= m_text.size()) {
                    return false;
                }
                const char e = m_text[m_at++];
                if (e == 'u') {
                    for (int i = 0; i < 4; ++i) {
                        if (m_at >= m_text.size() || !std::isxdigit(static_cast<unsigned char>(m_text[m_at++]))) {
                            return false;
                        }
                    }
                } else if (std::strchr("\"\\/bfnrt", e) == nullptr) {
                    return false;
                }
            }
        }
        return false;
    }
    bool Number()
    {
        const std::size_t start = m_at;
        if (m_at < m_text.size() && m_text[m_at] == '-') {
            ++m_at;
        }
        std::size_t digits = 0;
        while (m_at < m_text.size() && std::strchr("0123456789.eE+-", m_text[m_at]) != nullptr) {
            digits += std::isdigit(static_cast<unsigned char>(m_text[m_at])) ? 1 : 0;
            ++m_at;
        }
        char* end = nullptr;
        const std::string number = m_text.substr(start, m_at - start);
        std::strtod(number.c_str(), &end);
        return digits > 0 && end != nullptr && *end == '\0';
    }
    bool Value()
    {
        Blanks();
        if (m_at >= m_text.size()) {
            return false;
        }
        const char c = m_text[m_at];
        if (c == '{') {
            ++m_at;
            if (Take('}')) {
                return true;
            }
            do {
                Blanks();
                if (!String() || !Take(':') || !Value()) {
                    return false;
                }
            } while (Take(','));
            return Take('}');
        }
        if (c == '[') {
            ++m_at;
            if (Take(']')) {
                return true;
            }
            do {
                if (!Value()) {
                    return false;
                }
            } while (Take(','));
            return Take(']');
        }
        if (c == '"') {
            return String();
        }
        return Word("true") || Word("false") || Word("null") || Number();
    }

    const std::string& m_text;
    std::size_t m_at = 0;
};

// A block with a distinct value in every field simblock reports.
void FillBlock(void* block)
{
    GSB::StoreDouble(block, GSB::kPitchOutput, 1.25);
    GSB::StoreDouble(block, GSB::kRollOutput, -2.5);
    GSB::StoreDouble(block, GSB::kPedalsOutput, 3.75);
    GSB::StoreDouble(block, GSB::kThrLvrLOutput, 42.5);
    GSB::StoreDouble(block, GSB::kThrLvrROutput, 57.25);
    GSB::StoreDouble(block, GSB::kTillerOutput, -7.125);
    GSB::StoreByte(block, GSB::kApDiscPressed, 1);
    GSB::StoreByte(block, GSB::kBrakeRPressed, 1);
    GSB::StoreByte(block, GSB::kReverserPressed, 1);
    for (std::size_t i = 0; i < GSB::kControlSettingsCount; ++i) {
        GSB::StoreDouble(block, GSB::kControlSettings + 8 * i, 0.5 + static_cast<double>(i));
    }
    // Another program may store anything, even a value JSON cannot spell.
    GSB::StoreDouble(block, GSB::kThrLvrROffset, std::numeric_limits<double>::quiet_NaN());
    GSB::StoreByte(block, GSB::kApDiscButtonMirror, 5);
    GSB::StoreByte(block, GSB::kAtDiscButtonMirror, 6);
    GSB::StoreByte(block, GSB::kPttButtonMirror, 255);

    GSB::StoreInt32(block, GSB::kConfigurationIndex, 2);
    GSB::StoreInt32(block, GSB::kDefaultJoystickId, 305419896);
    GSB::StoreText(block, GSB::kConfigurationName, GSB::kConfigurationNameLength, "Cockpit \"A\"\x01");

    AxisAssignment pitch {};
    std::strcpy(pitch.joystickText, "Side stick");
    pitch.joystickId = 1234;
    pitch.slot = 1;
    pitch.input = InputY;
    StoreAxisAssignment(block, GSB::kPitchRecord, pitch);
    AxisAssignment eye {};
    std::memset(eye.joystickText, 'E', sizeof eye.joystickText); // all 20 bytes, no NUL
    eye.joystickId = 99;
    eye.slot = 2;
    eye.input = 3;
    StoreAxisAssignment(block, GSB::kEyeViewRecord, eye);
    AxisAssignment filter {};
    std::strcpy(filter.joystickText, "Filter");
    filter.joystickId = 77;
    filter.slot = 3;
    filter.input = InputASL2;
    StoreAxisAssignment(block, GSB::kThrustLeverFilterRecord, filter);

    ButtonAssignment gear {};
    std::strcpy(gear.joystickText, "DEFAULT");
    gear.joystickId = 7;
    gear.slot = 3;
    gear.buttonNumber = 12;
    StoreButtonAssignment(block, ButtonGearLvr, gear);
    ButtonAssignment fdR {};
    fdR.buttonNumber = -1;
    StoreButtonAssignment(block, ButtonFdR, fdR);
}

// Waits, with a deadline, until the block's user count reads `count`.
bool WaitForUserCount(const void* block, int count)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (GSB::LoadUserCount(block) != count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace

TEST(Simblock, ShowAndJsonReportEveryField)
{
    const std::string name = ShmTestOs::UniqueName("simblock_show");
    KQ_P_0001_02_Shm holder(name.c_str());
    ASSERT_TRUE(holder.IsReady()) << holder.GetErrorText();
    FillBlock(holder.GetBlock());

    const auto show = Simblock({ "--name", name, "show" });
    ASSERT_EQ(show.exitCode, 0) << SimblockPath() << "\n" << show.err;
    const std::string& text = show.out;
    EXPECT_TRUE(Contains(text, "version text         \" KQ_P_0001_02_genericSim $Revision: 5.5.5\"")) << text;
    EXPECT_TRUE(Contains(text, "user count           2\n")) << "the holder and simblock itself\n" << text;
    for (const char* line :
        { "  PITCH                1.25\n", "  ROLL                 -2.5\n", "  PEDALS               3.75\n",
            "  THR LVR L            42.5\n", "  THR LVR R            57.25\n", "  TILLER               -7.125\n",
            "  A/P DISC             1\n", "  BRAKE R              1\n", "  REVERSE L/R          1\n",
            "  PITCH sensitivity               0.5\n", "  THR LVR R sensitivity           12.5\n",
            "  THR LVR R offset                nan\n", "  PTT                  255\n", "  configuration index  2\n",
            "  default joystick ID  305419896\n", "  name                 \"Cockpit \\\"A\\\"\\x01\"\n" }) {
        EXPECT_TRUE(Contains(text, line)) << "missing: " << line << "\n" << text;
    }
    // Axis and button records by display name, the unterminated text cut at its field.
    EXPECT_TRUE(Contains(text, "PITCH            \"Side stick\"                     1234     1  1 (Y)\n")) << text;
    EXPECT_TRUE(Contains(text, "EYE_VIEW         \"EEEEEEEEEEEEEEEEEEEE\"             99     2  3 (POV 3)\n")) << text;
    EXPECT_TRUE(Contains(text, "THR LVR FILTER   \"Filter\"                           77     3  23 (aSL2)\n")) << text;
    EXPECT_TRUE(Contains(text, "GEAR LVR         \"DEFAULT\"                           7     3  12 (button 12)\n"))
        << text;
    EXPECT_TRUE(Contains(text, "F/D R            \"\"                                  0     0  -1 (not assigned)\n"))
        << text;
    EXPECT_TRUE(Contains(text, "PARK BRK ")) << text;

    const auto json = Simblock({ "--name", name, "json" });
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_TRUE(JsonChecker(json.out).Valid()) << json.out;
    for (const char* part :
        { "\"userCount\": 2,", "\"pitch\": 1.25", "\"tiller\": -7.125", "\"apDisc\": 1", "\"thrLvrROffset\": null",
            "\"ptt\": 255", "\"configurationIndex\": 2,", "\"name\": \"Cockpit \\\"A\\\"\\u0001\"",
            "{\"control\": \"GEAR LVR\", \"index\": 11, \"joystickText\": \"DEFAULT\", \"joystickId\": 7, "
            "\"slot\": 3, \"buttonNumber\": 12}",
            "{\"control\": \"EYE_VIEW\", \"joystickText\": \"EEEEEEEEEEEEEEEEEEEE\", \"joystickId\": 99, "
            "\"slot\": 2, \"input\": 3, \"inputName\": \"POV 3\"}" }) {
        EXPECT_TRUE(Contains(json.out, part)) << "missing: " << part << "\n" << json.out;
    }

    // Each run detached again.
    EXPECT_EQ(GSB::LoadUserCount(holder.GetBlock()), 1);
}

TEST(Simblock, SetWritesBothBytesOfAFlag)
{
    const std::string name = ShmTestOs::UniqueName("simblock_set");
    KQ_P_0001_02_Shm holder(name.c_str());
    ASSERT_TRUE(holder.IsReady()) << holder.GetErrorText();
    const void* block = holder.GetBlock();

    ASSERT_EQ(Simblock({ "--name", name, "set", "gear", "down" }).exitCode, 0);
    EXPECT_EQ(GSB::LoadByte(block, GSB::kGearFlag1), 1);
    EXPECT_EQ(GSB::LoadByte(block, GSB::kGearFlag2), 1);
    EXPECT_EQ(GSB::LoadByte(block, GSB::kParkBrakeFlag1), 0);
    ASSERT_EQ(Simblock({ "--name", name, "set", "parkbrake", "on" }).exitCode, 0);
    EXPECT_EQ(GSB::LoadByte(block, GSB::kParkBrakeFlag1), 1);
    EXPECT_EQ(GSB::LoadByte(block, GSB::kParkBrakeFlag2), 1);
    ASSERT_EQ(Simblock({ "--name", name, "set", "gear", "up" }).exitCode, 0);
    EXPECT_EQ(GSB::LoadByte(block, GSB::kGearFlag1), 0);
    EXPECT_EQ(GSB::LoadByte(block, GSB::kGearFlag2), 0);
    ASSERT_EQ(Simblock({ "--name", name, "set", "parkbrake", "off" }).exitCode, 0);
    EXPECT_EQ(GSB::LoadByte(block, GSB::kParkBrakeFlag1), 0);
    EXPECT_EQ(GSB::LoadByte(block, GSB::kParkBrakeFlag2), 0);
    EXPECT_EQ(GSB::LoadUserCount(block), 1);

    // Nonsense changes nothing.
    const auto bad = Simblock({ "--name", name, "set", "gear", "sideways" });
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_TRUE(Contains(bad.err, "usage")) << bad.err;
    EXPECT_EQ(GSB::LoadByte(block, GSB::kGearFlag1), 0);
}

TEST(Simblock, AttachFailuresAreReportedAndNothingIsCreated)
{
    // No block and --open-only: exit 2, and there is still no block.
    const std::string missing = ShmTestOs::UniqueName("simblock_missing");
    const auto openOnly = Simblock({ "--open-only", "--name", missing, "show" });
    EXPECT_EQ(openOnly.exitCode, 2) << openOnly.err;
    EXPECT_TRUE(Contains(openOnly.err, missing)) << openOnly.err;
    EXPECT_TRUE(openOnly.out.empty()) << openOnly.out;
    EXPECT_FALSE(ShmTestOs::MappingExists(missing));
    EXPECT_TRUE(Contains(openOnly.err, "simblock --open-only creates none")) << openOnly.err;
    // set and echo never create a block of their own, and say that it is they who refuse.
    const auto set = Simblock({ "--name", missing, "set", "gear", "down" });
    EXPECT_EQ(set.exitCode, 2);
    EXPECT_TRUE(Contains(set.err, "simblock set creates none")) << set.err;
    const auto echo = Simblock({ "--name", missing, "echo", "--count", "2" });
    EXPECT_EQ(echo.exitCode, 2);
    EXPECT_TRUE(Contains(echo.err, "simblock echo creates none")) << echo.err;
    EXPECT_FALSE(Contains(echo.err, "--open-only")) << "never given: " << echo.err;
    EXPECT_FALSE(ShmTestOs::MappingExists(missing));

    // Another layout's version: the attach's own text.
    const std::string foreign = ShmTestOs::UniqueName("simblock_version");
    KQ_P_0001_02_Shm holder(foreign.c_str());
    ASSERT_TRUE(holder.IsReady()) << holder.GetErrorText();
    GSB::StoreText(
        holder.GetBlock(), GSB::kVersionOffset, GSB::kVersionLength, " KQ_P_0001_02_genericSim $Revision: 4.0");
    const auto mismatch = Simblock({ "--name", foreign, "json" });
    EXPECT_EQ(mismatch.exitCode, 1);
    EXPECT_TRUE(Contains(
        mismatch.err, "KQ_P_0001_02_Shm::KQ_P_0001_02_Shm\nShared Memory Version Mismatch\nPlease rebuild software"))
        << mismatch.err;
    EXPECT_TRUE(mismatch.out.empty()) << mismatch.out;
    EXPECT_EQ(GSB::LoadUserCount(holder.GetBlock()), 1);
    GSB::StoreText(holder.GetBlock(), GSB::kVersionOffset, GSB::kVersionLength, GSB::kVersionText);

    // Too small, and held by somebody else, so not to be repaired: both sizes named.
    const std::string small = ShmTestOs::UniqueName("simblock_small");
    const std::intptr_t raw = ShmTestOs::CreateRawMapping(small, 4096);
    ASSERT_NE(raw, -1);
    const std::intptr_t held = ShmTestOs::HoldLockShared(small);
    const auto tooSmall = Simblock({ "--name", small, "show" });
    EXPECT_EQ(tooSmall.exitCode, 1);
    EXPECT_TRUE(Contains(tooSmall.err, "4096") && Contains(tooSmall.err, "132464")) << tooSmall.err;
    ShmTestOs::ReleaseLock(held);
    ShmTestOs::DestroyRawMapping(small, raw);

    // Usage errors.
    EXPECT_EQ(Simblock({}).exitCode, 64);
    EXPECT_EQ(Simblock({ "watch", "--hz", "0" }).exitCode, 64);
    EXPECT_EQ(Simblock({ "frobnicate" }).exitCode, 64);
}

TEST(Simblock, WatchPrintsALinePerSampleAndDetachesOnTermination)
{
    const std::string name = ShmTestOs::UniqueName("simblock_watch");
    KQ_P_0001_02_Shm holder(name.c_str());
    ASSERT_TRUE(holder.IsReady()) << holder.GetErrorText();
    FillBlock(holder.GetBlock());

    const auto watch = Simblock({ "--name", name, "watch", "--hz", "100", "--count", "3" });
    ASSERT_EQ(watch.exitCode, 0) << watch.err;
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = watch.out.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(watch.out.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), 4u) << watch.out;
    EXPECT_TRUE(Contains(lines[0], "PITCH") && Contains(lines[0], "REV")) << lines[0];
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], "    1.250    -2.500     3.750    -7.125    42.500    57.250 |   1   0   0   0   1   1");
    }
    EXPECT_EQ(GSB::LoadUserCount(holder.GetBlock()), 1);

    if (!ShmTestOs::TerminationRequestsSupported()) {
        // Windows has no SIGTERM to send, and ending a process by force would not let it detach.
        GTEST_SKIP() << "no termination request to send on this platform";
    }
    ShmTestOs::RunningProgram endless
        = ShmTestOs::StartProgram(SimblockPath(), { "--name", name, "watch", "--hz", "50" });
    ASSERT_NE(endless.handle, -1);
    const bool attached = WaitForUserCount(holder.GetBlock(), 2);
    ASSERT_TRUE(ShmTestOs::RequestTermination(endless));
    ASSERT_TRUE(attached);
    EXPECT_EQ(ShmTestOs::WaitProgram(endless), 128 + 15);
    EXPECT_EQ(GSB::LoadUserCount(holder.GetBlock()), 1);
    const std::string output = ShmTestOs::ReadWholeFile(endless.outFile);
    EXPECT_TRUE(Contains(output, "PITCH")) << output;
    std::remove(endless.outFile.c_str());
    std::remove(endless.errFile.c_str());
}

#ifndef _WIN32
namespace {

int Count(const std::string& text, const std::string& part)
{
    int found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

} // namespace

// Linux: another program shrinks the block under simblock watch, or removes
// its name and makes another block under it (as Tavelin's publisher does).
TEST(Simblock, WatchKeepsGoingOnABlockShrunkUnderItAndFollowsItsName)
{
    const std::string name = ShmTestOs::UniqueName("simblock_kept");
    ShmTestOs::RunningProgram watch
        = ShmTestOs::StartProgram(SimblockPath(), { "--name", name, "watch", "--hz", "50" });
    ASSERT_NE(watch.handle, -1);
    const auto said = [&](const std::string& part) {
        return testpoll::Until([&] { return Contains(ShmTestOs::ReadWholeFile(watch.errFile), part); },
            std::chrono::seconds(10), std::chrono::milliseconds(10));
    };
    const auto shows = [&](const std::string& part) {
        return testpoll::Until(
            [&] {
                const std::string out = ShmTestOs::ReadWholeFile(watch.outFile);
                const std::size_t last = out.rfind('\n', out.size() >= 2 ? out.size() - 2 : 0);
                return Contains(out.substr(last == std::string::npos ? 0 : last), part);
            },
            std::chrono::seconds(10), std::chrono::milliseconds(10));
    };
    ASSERT_TRUE(testpoll::Until(
        [&] { return ShmTestOs::MappingExists(name); }, std::chrono::seconds(10), std::chrono::milliseconds(10)));
    {
        // simblock made the block and is alone with it: truncated to nothing, it is made again.
        const int raw = shm_open(("/" + name).c_str(), O_RDWR, 0);
        ASSERT_GE(raw, 0);
        ASSERT_EQ(ftruncate(raw, 0), 0);
        close(raw);
    }
    ASSERT_TRUE(said("another program shrank the shared block \"" + name + "\"; attached to it again"))
        << ShmTestOs::ReadWholeFile(watch.errFile);
    {
        KQ_P_0001_02_Shm writer(name.c_str(), true);
        ASSERT_TRUE(writer.IsReady()) << writer.GetErrorText();
        GSB::StoreDouble(writer.GetBlock(), GSB::kPitchOutput, 1.25);
        EXPECT_TRUE(shows("    1.250 ")) << ShmTestOs::ReadWholeFile(watch.outFile);
        EXPECT_EQ(GSB::LoadUserCount(writer.GetBlock()), 2);
    }

    // The name removed: simblock stays on the block it had until a block of that name is there again.
    ASSERT_EQ(shm_unlink(("/" + name).c_str()), 0);
    ASSERT_TRUE(said("another program removed the name of the shared block \"" + name
        + "\"; still attached to the block it led to"));
    KQ_P_0001_02_Shm publisher(name.c_str());
    ASSERT_TRUE(publisher.IsReady()) << publisher.GetErrorText();
    GSB::StoreDouble(publisher.GetBlock(), GSB::kPitchOutput, -2.5);
    ASSERT_TRUE(said("the name of the shared block \"" + name + "\" leads to another block now; attached to it again"));
    EXPECT_TRUE(shows("   -2.500 ")) << ShmTestOs::ReadWholeFile(watch.outFile);
    EXPECT_TRUE(WaitForUserCount(publisher.GetBlock(), 2));

    ASSERT_TRUE(ShmTestOs::RequestTermination(watch));
    EXPECT_EQ(ShmTestOs::WaitProgram(watch), 128 + 15);
    EXPECT_EQ(GSB::LoadUserCount(publisher.GetBlock()), 1);
    const std::string errors = ShmTestOs::ReadWholeFile(watch.errFile);
    EXPECT_EQ(Count(errors, "\n"), 3) << "one line for each thing that happened: " << errors;
    std::remove(watch.outFile.c_str());
    std::remove(watch.errFile.c_str());
}

// Linux: the native half under a `wine` that runs what it is given, as Wine
// does with a Unix program: /bin/true ends at once with 0, having bridged nothing.
TEST(Simblock, TheBridgeReportsAWindowsHalfThatNeverRan)
{
    const std::string folder = (std::filesystem::temp_directory_path() / ShmTestOs::UniqueName("fakewine")).string();
    std::filesystem::create_directories(folder + "/bin");
    std::filesystem::create_directories(folder + "/prefix");
    {
        std::ofstream(folder + "/prefix/system.reg") << "WINE REGISTRY Version 2\n";
        std::ofstream wine(folder + "/bin/wine");
        wine << "#!/bin/sh\nexe=$1\nshift\nexec \"$exe\" \"$@\"\n";
    }
    std::filesystem::permissions(folder + "/bin/wine", std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    const std::string savedPath = path != nullptr ? path : "";
    ShmTestOs::SetEnvironment("PATH", (folder + "/bin:" + savedPath).c_str());
    const std::string name = ShmTestOs::UniqueName("simblock_true");
    const auto bridge
        = Simblock({ "--name", name, "wine-bridge", "--prefix", folder + "/prefix", "--exe", "/bin/true" });
    ShmTestOs::SetEnvironment("PATH", savedPath.c_str());
    EXPECT_EQ(bridge.exitCode, 1) << bridge.err;
    EXPECT_TRUE(Contains(bridge.err,
        "simblock wine-bridge: the Windows half /bin/true ended with status 0 before it bridged \"" + name
            + "\": it never ran as the bridge (is it the Windows simblock.exe?)"))
        << bridge.err;
    EXPECT_FALSE(Contains(bridge.err, "told to stop")) << bridge.err;
    EXPECT_FALSE(ShmTestOs::MappingExists(name)) << "the bridge detached from the block it made";
    std::filesystem::remove_all(folder);
}
#endif

// The network commands as far as they go without a network: their usage, the
// key set, and (in a build without the link) that they say so.
TEST(Simblock, NetworkCommandsCheckTheirWordsAndTheKeys)
{
    const auto noWord = Simblock({ "net-keys", "make" });
    EXPECT_EQ(noWord.exitCode, 64) << noWord.err;
    EXPECT_TRUE(Contains(noWord.err, "net-keys needs make DIR or check DIR")) << noWord.err;
    const auto domain = Simblock({ "--net-domain", "300", "net-receive" });
    EXPECT_EQ(domain.exitCode, 64) << domain.err;
    EXPECT_TRUE(Contains(domain.err, "--net-domain needs a whole number from 0 to 232")) << domain.err;
    const auto unknown = Simblock({ "net-receive", "--hz", "5" });
    EXPECT_EQ(unknown.exitCode, 64) << unknown.err;
    EXPECT_TRUE(Contains(unknown.err, "usage:")) << unknown.err;

    const std::string folder = ShmTestOs::NativePath(
        std::string(std::getenv("TAVELIN_TEST_BINARY_DIR") != nullptr ? std::getenv("TAVELIN_TEST_BINARY_DIR") : ".")
        + "/simblock-keys-" + std::to_string(ShmTestOs::ProcessId()));
    const auto made = Simblock({ "net-keys", "make", folder });
    // Decided by what simblock says, not by how this test was built: a receiver
    // with an engine must never be started here, outside a network namespace.
    const bool withoutLink = Contains(made.err, "this build has no network link");
#ifdef TAVELIN_HAVE_NETWORK
    EXPECT_FALSE(withoutLink) << made.err;
#endif
    if (!withoutLink) {
        ASSERT_EQ(made.exitCode, 0) << made.err;
        EXPECT_TRUE(Contains(made.out, "copy the whole folder to the other computer")) << made.out;
        const auto good = Simblock({ "net-keys", "check", folder });
        EXPECT_EQ(good.exitCode, 0) << good.err;
        const auto again = Simblock({ "net-keys", "make", folder });
        EXPECT_EQ(again.exitCode, 1) << again.err;
        std::remove((folder + "/receiver/key.pem").c_str());
        const auto broken = Simblock({ "net-keys", "check", folder });
        EXPECT_EQ(broken.exitCode, 8);
        EXPECT_TRUE(Contains(broken.err, "receiver/key.pem is missing")) << broken.err;
        const auto missing = Simblock({ "net-keys", "check", folder + "-none" });
        EXPECT_EQ(missing.exitCode, 8);
        EXPECT_TRUE(Contains(missing.err, "no such key folder")) << missing.err;
        for (const char* file : { "/ca.pem", "/ca-key.pem", "/governance.p7s", "/permissions.p7s", "/sender/cert.pem",
                 "/sender/key.pem", "/receiver/cert.pem" }) {
            std::remove((folder + file).c_str());
        }
        std::remove((folder + "/sender").c_str());
        std::remove((folder + "/receiver").c_str());
        std::remove(folder.c_str());
    } else {
        EXPECT_EQ(made.exitCode, 1);
        // The receiver takes the block, then says the link is not in the build, and lets the block go.
        const std::string name = ShmTestOs::UniqueName("simblock_net");
        const auto receive = Simblock({ "net-receive", "--name", name });
        EXPECT_EQ(receive.exitCode, 8) << receive.err;
        EXPECT_TRUE(Contains(receive.err, "this build has no network link")) << receive.err;
        EXPECT_FALSE(ShmTestOs::MappingExists(name));
    }
}

// The Wine bridge between native Tavelin and a simulator under Wine, with
// simblock.exe standing in for the simulator: native `tavelin` offscreen on
// virtual joysticks, `simblock wine-bridge` in the Wine prefix of the test run
// (WINEPREFIX), and Windows attachers run with wine. Needs the Windows build's
// simblock.exe: TAVELIN_WIN_SIMBLOCK, else the path configured into this build;
// the tests skip without it or without wine.
#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "support/WineBridge.h"
#include "tests/support/poll.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace block = GenericSimBlock;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s)
{
    return testpoll::Until(done, timeout, std::chrono::milliseconds(10));
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string WindowsSimblock()
{
    const char* given = std::getenv("TAVELIN_WIN_SIMBLOCK");
    return given != nullptr && *given != '\0' ? given : TAVELIN_WIN_SIMBLOCK_DEFAULT;
}

bool WineFound()
{
    return std::system("command -v wine >/dev/null 2>&1") == 0;
}

// A child process, its standard output and error in a log file.
class Process {
public:
    Process(const std::vector<std::string>& words, const std::filesystem::path& log)
        : m_log(log)
    {
        m_pid = fork();
        if (m_pid == 0) {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (out >= 0) {
                dup2(out, STDOUT_FILENO);
                dup2(out, STDERR_FILENO);
            }
            const int nothing = open("/dev/null", O_RDONLY);
            if (nothing >= 0) {
                dup2(nothing, STDIN_FILENO);
            }
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            std::vector<char*> argv;
            for (const std::string& word : words) {
                argv.push_back(const_cast<char*>(word.c_str()));
            }
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Process()
    {
        if (m_pid > 0 && !m_status) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    void Signal(int signal) const { kill(m_pid, signal); }
    pid_t Pid() const { return m_pid; }
    bool Running() { return !Reap(); }
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout = 20s)
    {
        WaitFor([this] { return Reap(); }, timeout);
        return m_status;
    }
    // The exit code once it ended by itself, else -1.
    int ExitCode(std::chrono::milliseconds timeout = 20s)
    {
        const std::optional<int> status = WaitForExit(timeout);
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }
    std::string Log() const { return ReadFile(m_log); }
    bool Said(const std::string& text, std::chrono::milliseconds timeout = 20s)
    {
        return WaitFor([&] { return Log().find(text) != std::string::npos || !Running(); }, timeout)
            && Log().find(text) != std::string::npos;
    }

private:
    bool Reap()
    {
        if (m_status) {
            return true;
        }
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_status = status;
            return true;
        }
        return false;
    }

    std::filesystem::path m_log;
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

struct Ran {
    int code = -1;
    std::string output;
};

// The number after "key": in simblock's JSON, or NaN.
double JsonNumber(const std::string& json, const std::string& key)
{
    const std::size_t at = json.find("\"" + key + "\": ");
    return at == std::string::npos ? std::nan("") : std::strtod(json.c_str() + at + key.size() + 4, nullptr);
}

bool Near(double a, double b)
{
    return std::fabs(a - b) < 1e-6;
}

class WineBridgeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_exe = WindowsSimblock();
        const char* prefix = std::getenv("WINEPREFIX");
        if (!std::filesystem::exists(m_exe) || !WineFound() || prefix == nullptr || *prefix == '\0') {
            GTEST_SKIP() << "needs wine, WINEPREFIX and the Windows simblock.exe (TAVELIN_WIN_SIMBLOCK; looked at "
                         << m_exe << ")";
        }
        m_prefix = prefix;
        // A lingering Wine server, its streams away from every output captured here.
        std::system("wineserver -p60 </dev/null >/dev/null 2>&1");
    }

    std::vector<std::string> Wine(const std::string& name, std::vector<std::string> words) const
    {
        words.insert(words.begin(), { "wine", m_exe, "--name", name });
        return words;
    }
    Ran RunWine(const testfiles::Sandbox& sandbox, const std::vector<std::string>& words)
    {
        Process process(Wine(sandbox.ShmName(), words), sandbox.Root() / ("wine" + std::to_string(++m_runs) + ".log"));
        Ran ran;
        ran.code = process.ExitCode(30s);
        ran.output = process.Log();
        return ran;
    }
    // The Windows side's view of the block (it attaches, so its count includes itself).
    std::string WindowsJson(const testfiles::Sandbox& sandbox)
    {
        const Ran ran = RunWine(sandbox, { "--open-only", "json" });
        return ran.code == 0 ? ran.output : std::string();
    }
    bool WindowsSees(const testfiles::Sandbox& sandbox, const std::string& key, double value)
    {
        std::string last;
        const bool seen = WaitFor([&] {
            last = WindowsJson(sandbox);
            return Near(JsonNumber(last, key), value);
        });
        if (!seen) {
            ADD_FAILURE() << "the Windows side never saw " << key << " = " << value << "; last:\n" << last;
        }
        return seen;
    }

    std::unique_ptr<Process> StartBridge(const testfiles::Sandbox& sandbox, const std::string& log = "bridge.log")
    {
        return std::make_unique<Process>(std::vector<std::string> { TAVELIN_SIMBLOCK_PATH, "--name", sandbox.ShmName(),
                                             "wine-bridge", "--prefix", m_prefix, "--exe", m_exe },
            sandbox.Root() / log);
    }
    static bool Bridged(Process& bridge, const testfiles::Sandbox& sandbox)
    {
        return bridge.Said("\"" + sandbox.ShmName() + "\" is /dev/shm/" + sandbox.ShmName());
    }
    std::unique_ptr<Process> StartTavelin(const testfiles::Sandbox& sandbox, const std::string& log)
    {
        return std::make_unique<Process>(std::vector<std::string> { TAVELIN_PROGRAM_PATH }, sandbox.Root() / log);
    }

    std::string m_exe;
    std::string m_prefix;
    int m_runs = 0;
};

std::filesystem::path ShmPath(const std::string& name)
{
    return std::filesystem::path("/dev/shm") / name;
}

TEST_F(WineBridgeTest, OutputsReachTheSimulatorItsFlagsComeBackAndTheCountIsRightOnBothSides)
{
    testfiles::Sandbox sandbox("wbshare");
    testfiles::Stick stick;
    stick.y = 2000;
    sandbox.MoveStick(stick);
    auto tavelin = StartTavelin(sandbox, "tavelin.log");
    std::unique_ptr<testfiles::BlockReader> reader;
    ASSERT_TRUE(WaitFor([&] {
        reader = std::make_unique<testfiles::BlockReader>(sandbox.ShmName());
        return !tavelin->Running() || (reader->Ready() && block::LoadUserCount(reader->Block()) >= 3);
    }) && tavelin->Running())
        << tavelin->Log();
    auto bridge = StartBridge(sandbox);
    ASSERT_TRUE(Bridged(*bridge, sandbox)) << bridge->Log();

    // Tavelin's window and processor, the bridge and this reader.
    EXPECT_EQ(block::LoadUserCount(reader->Block()), 4);
    EXPECT_TRUE(WindowsSees(sandbox, "pitch", testfiles::SettledPitch(2000)));
    EXPECT_EQ(JsonNumber(WindowsJson(sandbox), "userCount"), 5) << "the native four and the Windows reader";
    stick.y = -7000;
    sandbox.MoveStick(stick);
    EXPECT_TRUE(WindowsSees(sandbox, "pitch", testfiles::SettledPitch(-7000)));

    // The simulator's writes: the gear flags, read natively from the block's bytes.
    EXPECT_EQ(reader->Byte(block::kGearFlag1), 0);
    const Ran gear = RunWine(sandbox, { "set", "gear", "down" });
    EXPECT_EQ(gear.code, 0) << gear.output;
    EXPECT_TRUE(WaitFor([&] { return reader->Byte(block::kGearFlag1) == 1 && reader->Byte(block::kGearFlag2) == 1; }));

    // A Windows attacher that comes and goes is counted on the native side.
    Process watcher(
        Wine(sandbox.ShmName(), { "--open-only", "watch", "--hz", "20", "--count", "40" }), sandbox.Root() / "w.log");
    EXPECT_TRUE(WaitFor([&] { return block::LoadUserCount(reader->Block()) == 5; }))
        << block::LoadUserCount(reader->Block());
    EXPECT_EQ(watcher.ExitCode(), 0) << watcher.Log();
    EXPECT_EQ(block::LoadUserCount(reader->Block()), 4);
    EXPECT_EQ(JsonNumber(WindowsJson(sandbox), "userCount"), 5);

    bridge->Signal(SIGTERM);
    EXPECT_EQ(bridge->ExitCode(), 0) << bridge->Log();
    EXPECT_NE(bridge->Log().find("told to stop"), std::string::npos) << "stopped through its event: " << bridge->Log();
    EXPECT_EQ(block::LoadUserCount(reader->Block()), 3) << "the bridge detached";
    const Ran stop = RunWine(sandbox, { "wine-bridge", "--stop" });
    EXPECT_EQ(stop.code, WineBridge::kNoNativeBlock) << "no Windows half left behind: " << stop.output;
    tavelin->Signal(SIGTERM);
    EXPECT_EQ(tavelin->ExitCode(), 0);
}

TEST_F(WineBridgeTest, ARestartOfTavelinIsSeenByTheWindowsSide)
{
    testfiles::Sandbox sandbox("wbrestart");
    testfiles::Stick stick;
    stick.y = 2000;
    sandbox.MoveStick(stick);
    auto tavelin = StartTavelin(sandbox, "first.log");
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(ShmPath(sandbox.ShmName())) || !tavelin->Running(); }));
    auto bridge = StartBridge(sandbox);
    ASSERT_TRUE(Bridged(*bridge, sandbox)) << bridge->Log();
    ASSERT_TRUE(WindowsSees(sandbox, "pitch", testfiles::SettledPitch(2000)));

    tavelin->Signal(SIGTERM);
    ASSERT_EQ(tavelin->ExitCode(), 0) << tavelin->Log();
    ASSERT_TRUE(std::filesystem::exists(ShmPath(sandbox.ShmName()))) << "the bridge keeps the block";
    const std::string between = WindowsJson(sandbox);
    EXPECT_EQ(JsonNumber(between, "userCount"), 2) << "the bridge and the Windows reader: " << between;

    stick.y = -7000;
    sandbox.MoveStick(stick);
    tavelin = StartTavelin(sandbox, "second.log");
    EXPECT_TRUE(WindowsSees(sandbox, "pitch", testfiles::SettledPitch(-7000)));
    EXPECT_EQ(JsonNumber(WindowsJson(sandbox), "userCount"), 4);
    EXPECT_TRUE(bridge->Running()) << bridge->Log();
    EXPECT_EQ(bridge->Log().find("starting it again"), std::string::npos) << "the Windows half never had to restart";

    tavelin->Signal(SIGTERM);
    EXPECT_EQ(tavelin->ExitCode(), 0);
    bridge->Signal(SIGINT);
    EXPECT_EQ(bridge->ExitCode(), 0) << bridge->Log();
    EXPECT_FALSE(std::filesystem::exists(ShmPath(sandbox.ShmName()))) << "the last holder removed the name";
}

TEST_F(WineBridgeTest, ABridgeRefusesAfterAWindowsAttacherAndOutsideAWinePrefixWithItsReasons)
{
    testfiles::Sandbox sandbox("wblate");
    // The simulator first: it makes a block of its own in the prefix.
    Process simulator(Wine(sandbox.ShmName(), { "watch", "--hz", "10", "--count", "300" }), sandbox.Root() / "sim.log");
    ASSERT_TRUE(simulator.Said("PITCH")) << simulator.Log();

    auto bridge = StartBridge(sandbox);
    EXPECT_EQ(bridge->ExitCode(30s), WineBridge::kForeignMapping) << bridge->Log();
    EXPECT_NE(bridge->Log().find("start the bridge before the simulator"), std::string::npos) << bridge->Log();
    EXPECT_FALSE(std::filesystem::exists(ShmPath(sandbox.ShmName()))) << "the refused bridge left no native block";
    simulator.Signal(SIGKILL);

    // A folder that is no Wine prefix would have wine make a new one there.
    std::filesystem::create_directories(sandbox.Root() / "not-a-prefix");
    Process elsewhere({ TAVELIN_SIMBLOCK_PATH, "--name", sandbox.ShmName(), "wine-bridge", "--prefix",
                          (sandbox.Root() / "not-a-prefix").string(), "--exe", m_exe },
        sandbox.Root() / "elsewhere.log");
    EXPECT_EQ(elsewhere.ExitCode(), WineBridge::kFailed) << elsewhere.Log();
    EXPECT_NE(elsewhere.Log().find("is not a Wine prefix"), std::string::npos) << elsewhere.Log();
    EXPECT_FALSE(std::filesystem::exists(sandbox.Root() / "not-a-prefix" / "system.reg"));
}

TEST_F(WineBridgeTest, OneBridgePerPrefixItsWindowsHalfRestartsAndItEndsWithTheNativeBlock)
{
    testfiles::Sandbox sandbox("wbgone");
    auto bridge = StartBridge(sandbox);
    ASSERT_TRUE(Bridged(*bridge, sandbox)) << bridge->Log();

    auto second = StartBridge(sandbox, "second.log");
    EXPECT_EQ(second->ExitCode(30s), WineBridge::kAnotherBridge) << second->Log();
    EXPECT_TRUE(bridge->Running());

    // Killed, the Windows half is started again and takes up the mapping that a Windows holder kept.
    Process holder(Wine(sandbox.ShmName(), { "--open-only", "watch", "--hz", "10", "--count", "300" }),
        sandbox.Root() / "holder.log");
    ASSERT_TRUE(holder.Said("PITCH")) << holder.Log();
    const std::string children
        = ReadFile("/proc/" + std::to_string(bridge->Pid()) + "/task/" + std::to_string(bridge->Pid()) + "/children");
    const pid_t windowsHalf = static_cast<pid_t>(std::atol(children.c_str()));
    ASSERT_GT(windowsHalf, 0) << "the bridge runs no Windows half";
    kill(windowsHalf, SIGKILL);
    ASSERT_TRUE(bridge->Said("starting it again")) << bridge->Log();
    const std::string ready = "\"" + sandbox.ShmName() + "\" is /dev/shm/";
    ASSERT_TRUE(WaitFor([&] {
        const std::string log = bridge->Log();
        return log.find(ready, log.find("starting it again")) != std::string::npos || !bridge->Running();
    })) << bridge->Log();
    ASSERT_TRUE(bridge->Running()) << bridge->Log();
    KQ_P_0001_02_Shm native(sandbox.ShmName().c_str(), true);
    ASSERT_TRUE(native.IsReady());
    const Ran brake = RunWine(sandbox, { "set", "parkbrake", "on" });
    EXPECT_EQ(brake.code, 0) << brake.output;
    EXPECT_EQ(block::LoadByte(native.GetBlock(), block::kParkBrakeFlag1), 1)
        << "the holder's mapping is the native block";

    // A stop asked in the prefix ends both halves.
    const Ran stop = RunWine(sandbox, { "wine-bridge", "--stop" });
    EXPECT_EQ(stop.code, 0) << stop.output;
    EXPECT_EQ(bridge->ExitCode(), 0) << bridge->Log();
    holder.Signal(SIGKILL);
    holder.WaitForExit();

    auto third = StartBridge(sandbox, "third.log");
    ASSERT_TRUE(Bridged(*third, sandbox)) << third->Log();
    std::filesystem::remove(ShmPath(sandbox.ShmName()));
    EXPECT_EQ(third->ExitCode(), WineBridge::kNativeRemoved) << third->Log();
    EXPECT_NE(third->Log().find("was removed"), std::string::npos) << third->Log();
}

TEST_F(WineBridgeTest, AWindowsHalfThatNeverRanFailsAndANameMadeAgainEndsTheBridge)
{
    testfiles::Sandbox sandbox("wbnever");
    // wine runs a Unix program as it is: it ends at once with 0, and bridged nothing.
    Process never({ TAVELIN_SIMBLOCK_PATH, "--name", sandbox.ShmName(), "wine-bridge", "--prefix", m_prefix, "--exe",
                      "/bin/true" },
        sandbox.Root() / "never.log");
    EXPECT_EQ(never.ExitCode(30s), WineBridge::kFailed) << never.Log();
    EXPECT_NE(never.Log().find("it never ran as the bridge"), std::string::npos) << never.Log();
    EXPECT_EQ(never.Log().find("told to stop"), std::string::npos) << never.Log();

    // Tavelin makes the name again when another program removed it: the Wine
    // side still maps the old pages, so the bridge must end.
    auto bridge = StartBridge(sandbox);
    ASSERT_TRUE(Bridged(*bridge, sandbox)) << bridge->Log();
    std::filesystem::remove(ShmPath(sandbox.ShmName()));
    KQ_P_0001_02_Shm remade(sandbox.ShmName().c_str());
    ASSERT_TRUE(remade.IsReady()) << remade.GetErrorText();
    EXPECT_EQ(bridge->ExitCode(30s), WineBridge::kNativeRemoved) << bridge->Log();
}

bool ProcessGone(pid_t pid)
{
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    return stat.empty() || (close != std::string::npos && stat.compare(close, 3, ") Z") == 0);
}

TEST_F(WineBridgeTest, AKilledNativeHalfTakesItsWindowsHalfAlong)
{
    testfiles::Sandbox sandbox("wbkilled");
    auto bridge = StartBridge(sandbox);
    ASSERT_TRUE(Bridged(*bridge, sandbox)) << bridge->Log();
    const pid_t windowsHalf = static_cast<pid_t>(std::atol(
        ReadFile("/proc/" + std::to_string(bridge->Pid()) + "/task/" + std::to_string(bridge->Pid()) + "/children")
            .c_str()));
    ASSERT_GT(windowsHalf, 0);
    bridge->Signal(SIGKILL);
    bridge->WaitForExit();
    EXPECT_TRUE(WaitFor([&] { return ProcessGone(windowsHalf); })) << "the Windows half outlived its native half";
    const Ran stop = RunWine(sandbox, { "wine-bridge", "--stop" });
    EXPECT_EQ(stop.code, WineBridge::kNoNativeBlock) << stop.output;
    {
        // Alone now, an attacher's detach removes what the killed bridge left.
        KQ_P_0001_02_Shm cleanup(sandbox.ShmName().c_str(), true);
    }
    EXPECT_FALSE(std::filesystem::exists(ShmPath(sandbox.ShmName())));
}

// A benchmark, not a pass/fail test: prints the time from a native write to
// the Windows side reading it (half of a round trip through simblock.exe echo).
TEST_F(WineBridgeTest, LatencyFromANativeWriteToAWindowsRead)
{
    testfiles::Sandbox sandbox("wblatency");
    auto bridge = StartBridge(sandbox);
    ASSERT_TRUE(Bridged(*bridge, sandbox)) << bridge->Log();
    KQ_P_0001_02_Shm shm(sandbox.ShmName().c_str(), true);
    ASSERT_TRUE(shm.IsReady());
    auto* field = reinterpret_cast<std::uint32_t*>(static_cast<unsigned char*>(shm.GetBlock())
        + block::kSectionAddressOffset + 4 * block::kUnwrittenSectionAddress);
    std::atomic_ref<std::uint32_t> word(*field);

    constexpr int kRounds = 2000;
    Process echo(Wine(sandbox.ShmName(), { "--open-only", "echo", "--count", std::to_string(kRounds + 1) }),
        sandbox.Root() / "echo.log");
    // The first round, not timed, also waits for the echo to listen.
    std::vector<double> halves;
    std::uint32_t question = (word.load() + 1) | 1U;
    for (int round = 0; round <= kRounds; ++round, question += 2) {
        const auto started = Clock::now();
        word.store(question);
        const auto deadline = started + (round == 0 ? 20s : 2s);
        long spins = 0;
        while (word.load() != question + 1) {
            if (++spins > 2000) {
                ASSERT_LT(Clock::now(), deadline) << "no answer to round " << round << ": " << echo.Log();
                std::this_thread::yield();
            }
        }
        const auto took = std::chrono::duration<double, std::micro>(Clock::now() - started).count();
        if (round > 0) {
            halves.push_back(took / 2);
        }
    }
    EXPECT_EQ(echo.ExitCode(), 0) << echo.Log();
    std::sort(halves.begin(), halves.end());
    std::printf("wine-bridge latency, native write to Windows read (half a round trip): median %.2f us, "
                "99th percentile %.2f us, over %d round trips\n",
        halves[halves.size() / 2], halves[halves.size() * 99 / 100], kRounds);
    std::fflush(stdout);
    bridge->Signal(SIGTERM);
    EXPECT_EQ(bridge->ExitCode(), 0);
}

} // namespace

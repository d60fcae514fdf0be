// The network link between whole programs on a network of its own: three
// network namespaces (sender, receiver, intruder) joined by veth pairs to a
// bridge in a fourth (every program is pinned to its namespace's eth0), with link-local addresses, made by the suite
// and removed when it ends (and any a killed run left are removed the next time), so no packet leaves them. Needs root
// (ip netns); skipped with the reason otherwise. The blocks are shared memory, which network namespaces do not
// separate: each side has a block name of its own and the test reads both.
// With TAVELIN_NET_FIGURES=1 it also prints the latency and CPU figures.
#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "mapping/LinkValues.h"
#include "net/KeySet.h"
#include "tests/support/os_helpers.h"
#include "tests/support/poll.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
namespace GSB = GenericSimBlock;
using namespace std::chrono_literals;

namespace {

const char* kNamespacePrefix = "tavnet";

std::string Build()
{
    const char* folder = std::getenv("TAVELIN_TEST_BINARY_DIR");
    return folder != nullptr ? folder : fs::path(ShmTestOs::SelfExecutable()).parent_path().parent_path().string();
}

std::string IpCommand()
{
    for (const char* path : { "/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip" }) {
        if (access(path, X_OK) == 0) {
            return path;
        }
    }
    return "";
}

ShmTestOs::ProgramResult Ip(const std::vector<std::string>& arguments)
{
    return ShmTestOs::RunProgram(IpCommand(), arguments);
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

struct Network {
    std::string bridge, sender, receiver, intruder;
    std::vector<std::string> All() const { return { sender, receiver, intruder, bridge }; }
};

// Removes namespaces of this suite whose run is over (a run killed before its teardown).
void RemoveStaleNamespaces()
{
    std::istringstream list(Ip({ "netns", "list" }).out);
    std::string line;
    while (std::getline(list, line)) {
        const std::string name = line.substr(0, line.find(' '));
        if (name.rfind(kNamespacePrefix, 0) != 0) {
            continue;
        }
        const long pid = std::strtol(name.c_str() + std::strlen(kNamespacePrefix), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0) {
            Ip({ "netns", "del", name });
        }
    }
}

std::optional<std::string> MakeNetwork(Network& network)
{
    if (geteuid() != 0) {
        return "network namespaces need root";
    }
    if (IpCommand().empty()) {
        return "no ip command (iproute2)";
    }
    RemoveStaleNamespaces();
    const std::string base = kNamespacePrefix + std::to_string(ShmTestOs::ProcessId());
    network = { base + "b", base + "s", base + "r", base + "i" };
    for (const std::string& name : network.All()) {
        const auto made = Ip({ "netns", "add", name });
        if (made.exitCode != 0) {
            return "ip netns add failed: " + made.err;
        }
    }
    std::vector<std::vector<std::string>> steps = {
        { "-n", network.bridge, "link", "add", "br0", "type", "bridge" },
        { "-n", network.bridge, "link", "set", "br0", "up" },
    };
    const std::string ends[] = { network.sender, network.receiver, network.intruder };
    for (int i = 0; i < 3; ++i) {
        const std::string port = "p" + std::to_string(i);
        const std::string address = "169.254.23." + std::to_string(i + 1) + "/16";
        steps.push_back(
            { "-n", network.bridge, "link", "add", port, "type", "veth", "peer", "name", "eth0", "netns", ends[i] });
        steps.push_back({ "-n", network.bridge, "link", "set", port, "master", "br0", "up" });
        steps.push_back({ "-n", ends[i], "addr", "add", address, "dev", "eth0" });
        steps.push_back({ "-n", ends[i], "link", "set", "eth0", "up" });
        steps.push_back({ "-n", ends[i], "link", "set", "lo", "up" });
    }
    for (const auto& step : steps) {
        const auto done = Ip(step);
        if (done.exitCode != 0) {
            return "ip " + step[2] + " " + step[3] + " failed: " + done.err;
        }
    }
    return std::nullopt;
}

void RemoveNetwork(const Network& network)
{
    for (const std::string& name : network.All()) {
        if (!name.empty()) {
            Ip({ "netns", "del", name });
        }
    }
}

// A program in a namespace, with its own environment.
class Program {
public:
    Program(const std::string& space, const std::vector<std::string>& environment, const std::string& program,
        const std::vector<std::string>& arguments)
    {
        std::vector<std::string> words = { "netns", "exec", space, "env" };
        words.insert(words.end(), environment.begin(), environment.end());
        words.push_back(program);
        words.insert(words.end(), arguments.begin(), arguments.end());
        m_running = ShmTestOs::StartProgram(IpCommand(), words);
    }
    ~Program()
    {
        if (m_running.handle > 0) {
            // Asked first, so it lets its block go; killed only when it does not end.
            Signal(SIGTERM);
            if (!testpoll::Until([this] { return !Running(); }, 3000ms, 10ms)) {
                kill(static_cast<pid_t>(m_running.handle), SIGKILL);
            }
            ShmTestOs::WaitProgram(m_running);
        }
        std::remove(m_running.outFile.c_str());
        std::remove(m_running.errFile.c_str());
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Not ended yet (an ended child that is not yet waited for counts as ended).
    bool Running() const
    {
        if (m_running.handle <= 0) {
            return false;
        }
        int status = 0;
        const pid_t pid = static_cast<pid_t>(m_running.handle);
        if (waitpid(pid, &status, WNOHANG) == pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            m_running.handle = -1;
            return false;
        }
        return true;
    }
    void Signal(int signal) const
    {
        if (m_running.handle > 0) {
            kill(static_cast<pid_t>(m_running.handle), signal);
        }
    }
    int Wait() { return m_running.handle > 0 ? ShmTestOs::WaitProgram(m_running) : m_status; }
    int Stop()
    {
        Signal(SIGTERM);
        return Wait();
    }
    std::string Err() const { return ShmTestOs::ReadWholeFile(m_running.errFile); }
    std::string Out() const { return ShmTestOs::ReadWholeFile(m_running.outFile); }
    bool Says(const std::string& part, std::chrono::milliseconds patience = 5000ms) const
    {
        return testpoll::Until([&] { return Contains(Err(), part); }, patience, 10ms);
    }
    long CpuTicks() const
    {
        std::ifstream stat("/proc/" + std::to_string(m_running.handle) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        long user = 0;
        long system = 0;
        for (int i = 3; fields >> field; ++i) {
            if (i == 14) {
                user = std::stol(field);
            } else if (i == 15) {
                system = std::stol(field);
                break;
            }
        }
        return user + system;
    }

private:
    mutable ShmTestOs::RunningProgram m_running;
    mutable int m_status = -1;
};

// One side's block, read from the test itself.
class BlockView {
public:
    explicit BlockView(const std::string& name)
        : m_name(name)
    {
    }
    bool Open()
    {
        if (!m_shm) {
            auto shm = std::make_unique<KQ_P_0001_02_Shm>(m_name.c_str(), true);
            if (!shm->IsReady()) {
                return false;
            }
            m_shm = std::move(shm);
        }
        return true;
    }
    void Close() { m_shm.reset(); }
    ControlOutputs Outputs() { return Open() ? ReadControlOutputs(m_shm->GetBlock()) : ControlOutputs {}; }
    SimulatorFlagBytes Flags() { return Open() ? ReadSimulatorFlags(m_shm->GetBlock()) : SimulatorFlagBytes {}; }
    std::string ConfigurationName()
    {
        LinkSetUp setUp;
        if (Open()) {
            ReadLinkSetUp(m_shm->GetBlock(), setUp);
        }
        return std::string(setUp.values.configurationName,
            strnlen(setUp.values.configurationName, sizeof setUp.values.configurationName));
    }
    double Setting(std::size_t offset) { return Open() ? GSB::LoadDouble(m_shm->GetBlock(), offset) : -1.0; }
    const std::string& Name() const { return m_name; }

private:
    std::string m_name;
    std::unique_ptr<KQ_P_0001_02_Shm> m_shm;
};

class NetNamespaces : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_skip = MakeNetwork(s_network);
        s_top = fs::temp_directory_path() / ("tavelin-net-" + std::to_string(ShmTestOs::ProcessId()));
        fs::create_directories(s_top / "config" / "Orrelane" / "Shared");
        const fs::path source = fs::path(TAVELIN_SOURCE_DIR) / "examples";
        fs::copy_file(source / "Joystick.ini", s_top / "config" / "Orrelane" / "Shared" / "Joystick.ini",
            fs::copy_options::overwrite_existing);
        std::string error;
        if (!s_skip
            && (!KeySet::Make((s_top / "keys").string(), error)
                || !KeySet::Make((s_top / "other-keys").string(), error))) {
            s_skip = "no keys: " + error;
        }
    }
    static void TearDownTestSuite()
    {
        RemoveNetwork(s_network);
        fs::remove_all(s_top);
    }

    void SetUp() override
    {
        if (s_skip) {
            GTEST_SKIP() << *s_skip;
        }
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_senderBlock = ShmTestOs::UniqueName("netS");
        m_receiverBlock = ShmTestOs::UniqueName("netR");
        m_intruderBlock = ShmTestOs::UniqueName("netI");
        m_stick = (s_top / (test + "-stick.ini")).string();
        MoveStick(-3000, 4000, false);
    }

    // Whatever a killed program left of the test's blocks.
    void TearDown() override
    {
        for (const std::string& name : { m_senderBlock, m_receiverBlock, m_intruderBlock }) {
            if (!name.empty()) {
                for (const char* suffix : { "", ".lock", ".owner" }) {
                    shm_unlink(("/" + name + suffix).c_str());
                }
            }
        }
    }

    // The side stick (slot 0): Y drives pitch, X roll, button 1 is A/P DISC.
    void MoveStick(int y, int x, bool apDisc, const std::string& file = "")
    {
        std::ofstream out(file.empty() ? m_stick : file, std::ios::trunc);
        out << "[JOYSTICK_0]\nJOY_ID = 67241039\nNAME = Stick\nBUTTONS = 12\nX = " << x << "\nY = " << y
            << "\nPRESSED = " << (apDisc ? "1" : "") << "\n";
    }

    std::unique_ptr<Program> Sender(const std::string& space, const std::string& block,
        const std::vector<std::string>& options, const std::string& stick = "")
    {
        std::vector<std::string> arguments = { "--net", "--net-interface", "eth0" };
        arguments.insert(arguments.end(), options.begin(), options.end());
        return std::make_unique<Program>(space,
            std::vector<std::string> { "XDG_CONFIG_HOME=" + (s_top / "config").string(),
                "TAVELIN_VIRTUAL_JOYSTICKS=" + (stick.empty() ? m_stick : stick), "TAVELIN_SHM_NAME=" + block },
            Build() + "/tests/net_sender", arguments);
    }
    std::unique_ptr<Program> Receiver(const std::vector<std::string>& options)
    {
        std::vector<std::string> arguments = { "net-receive", "--name", m_receiverBlock, "--net-interface", "eth0" };
        arguments.insert(arguments.end(), options.begin(), options.end());
        return std::make_unique<Program>(
            s_network.receiver, std::vector<std::string> {}, Build() + "/tools/simblock/simblock", arguments);
    }
    // The program itself, offscreen, on the virtual stick, with a configuration folder of its own.
    static std::string TavelinProgram() { return Build() + "/platform/qt/tavelin"; }
    std::unique_ptr<Program> Tavelin(const std::string& space, const std::string& block, const fs::path& configHome,
        const std::vector<std::string>& arguments)
    {
        return std::make_unique<Program>(space,
            std::vector<std::string> { "QT_QPA_PLATFORM=offscreen", "XDG_CONFIG_HOME=" + configHome.string(),
                "TAVELIN_VIRTUAL_JOYSTICKS=" + m_stick, "TAVELIN_SHM_NAME=" + block },
            TavelinProgram(), arguments);
    }
    std::vector<std::string> Keys(const char* folder = "keys") const
    {
        return { "--net-keys", (s_top / folder).string() };
    }

    // The receiver's block shows what the sender's does (outputs to a thousandth).
    bool Follows(BlockView& remote, BlockView& local, std::chrono::milliseconds patience = 10000ms)
    {
        return testpoll::Until(
            [&] {
                const ControlOutputs a = remote.Outputs();
                const ControlOutputs b = local.Outputs();
                return b.pitch != 0.0 && std::fabs(a.pitch - b.pitch) < 1e-3 && std::fabs(a.roll - b.roll) < 1e-3
                    && a.apDisc == b.apDisc;
            },
            patience, 5ms);
    }
    bool Released(BlockView& remote, std::chrono::milliseconds patience, std::chrono::milliseconds step = 1ms)
    {
        return testpoll::Until(
            [&] {
                const ControlOutputs o = remote.Outputs();
                return o.pitch == 0.0 && o.roll == 0.0 && o.apDisc == 0;
            },
            patience, step);
    }

    static inline std::optional<std::string> s_skip;
    static inline Network s_network;
    static inline fs::path s_top;
    std::string m_senderBlock;
    std::string m_receiverBlock;
    std::string m_intruderBlock;
    std::string m_stick;
};

TEST_F(NetNamespaces, TheReceiverFollowsGetsTheSetUpLateAndSendsTheFlagsBack)
{
    auto sender = Sender(s_network.sender, m_senderBlock, {});
    ASSERT_TRUE(sender->Says("state: no receiver")) << sender->Err();
    BlockView local(m_senderBlock);
    BlockView remote(m_receiverBlock);
    // Started late: the set-up was published long before, and comes at once.
    std::this_thread::sleep_for(500ms);
    auto receiver = Receiver({});
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(testpoll::Until([&] { return remote.ConfigurationName() == "DEFAULT_JOYSTICK_SETUP"; }, 5000ms, 5ms))
        << receiver->Err();
    const auto setUpAfter = std::chrono::steady_clock::now() - started;
    EXPECT_LT(setUpAfter, 3000ms) << "the set-up waits for nothing but discovery";
    EXPECT_EQ(remote.Setting(GSB::kPitchSensitivity), local.Setting(GSB::kPitchSensitivity));
    EXPECT_EQ(remote.Setting(GSB::kThrLvrLFilterTimeConstant), local.Setting(GSB::kThrLvrLFilterTimeConstant));

    ASSERT_TRUE(Follows(remote, local)) << receiver->Err() << sender->Err();
    EXPECT_NEAR(remote.Outputs().pitch, -5.5, 1e-9);
    MoveStick(6000, -2000, true);
    ASSERT_TRUE(testpoll::Until([&] { return remote.Outputs().apDisc == 1; }, 3000ms, 5ms));
    ASSERT_TRUE(Follows(remote, local));
    EXPECT_GT(remote.Outputs().pitch, 0.0);
    EXPECT_TRUE(sender->Says("state: receiving")) << sender->Err();
    EXPECT_TRUE(receiver->Says("receiving from a sender")) << receiver->Err();
    EXPECT_TRUE(Contains(receiver->Err(), "anybody on the network can publish")) << receiver->Err();
    EXPECT_TRUE(Contains(sender->Err(), "anybody on the network can publish")) << sender->Err();

    // The simulator lowers the gear: both bytes come back into the sender's block.
    const auto set = ShmTestOs::RunProgram(
        Build() + "/tools/simblock/simblock", { "set", "gear", "down", "--name", m_receiverBlock });
    ASSERT_EQ(set.exitCode, 0) << set.err;
    ASSERT_TRUE(testpoll::Until([&] { return local.Flags().gear[0] == 1 && local.Flags().gear[1] == 1; }, 5000ms, 5ms));
    EXPECT_EQ(local.Flags().parkBrake[0], 0);

    // An orderly end on both sides: released, and the blocks' counts come down to the test's own views.
    EXPECT_EQ(sender->Stop(), 0);
    EXPECT_TRUE(Released(remote, 1000ms)) << "the sender's last sample is a released stick";
    EXPECT_EQ(receiver->Stop(), 128 + SIGTERM);
    EXPECT_TRUE(Contains(receiver->Err(), "stopped; the controls are released")) << receiver->Err();
    remote.Open();
    EXPECT_EQ(GSB::LoadUserCount(KQ_P_0001_02_Shm(m_receiverBlock.c_str(), true).GetBlock()), 2)
        << "only the test's two views are left";
}

TEST_F(NetNamespaces, LossesReleaseWithin150MsAndTheStreamComesBack)
{
    MoveStick(-6000, 3000, true);
    auto receiver = Receiver({});
    auto sender = Sender(s_network.sender, m_senderBlock, {});
    BlockView local(m_senderBlock);
    BlockView remote(m_receiverBlock);
    ASSERT_TRUE(Follows(remote, local)) << receiver->Err() << sender->Err();
    const double lever = remote.Outputs().thrLvrL;

    // The sender killed: no goodbye, only the silence.
    sender->Signal(SIGKILL);
    const auto killed = std::chrono::steady_clock::now();
    ASSERT_TRUE(Released(remote, 1000ms));
    const auto releasedAfter
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - killed);
    std::printf("released %lld ms after the sender was killed\n", static_cast<long long>(releasedAfter.count()));
    EXPECT_LE(releasedAfter, 150ms);
    EXPECT_NEAR(remote.Outputs().thrLvrL, lever, 1.0) << "the thrust levers are kept";
    EXPECT_TRUE(receiver->Says("the sender is lost")) << receiver->Err();
    sender->Wait();
    local.Close();

    // The sender restarted: a new run, its sequence from 1 again.
    sender = Sender(s_network.sender, m_senderBlock, {});
    ASSERT_TRUE(Follows(remote, local)) << receiver->Err() << sender->Err();
    EXPECT_TRUE(receiver->Says("the sender is back")) << receiver->Err();

    // The cable pulled and put back.
    ASSERT_EQ(Ip({ "-n", s_network.sender, "link", "set", "eth0", "down" }).exitCode, 0);
    const auto down = std::chrono::steady_clock::now();
    ASSERT_TRUE(Released(remote, 1000ms));
    EXPECT_LE(std::chrono::steady_clock::now() - down, 150ms);
    ASSERT_EQ(Ip({ "-n", s_network.sender, "link", "set", "eth0", "up" }).exitCode, 0);
    ASSERT_TRUE(Follows(remote, local, 15000ms)) << receiver->Err() << sender->Err();

    // The receiver restarted: it takes the stream (and the set-up) up again.
    EXPECT_EQ(receiver->Stop(), 128 + SIGTERM);
    remote.Close();
    receiver = Receiver({});
    ASSERT_TRUE(Follows(remote, local)) << receiver->Err();
    // The set-up comes on its own reliable stream, which may match a moment
    // after the controls' stream.
    EXPECT_TRUE(testpoll::Until([&] { return remote.ConfigurationName() == "DEFAULT_JOYSTICK_SETUP"; }, 5000ms, 5ms))
        << receiver->Err();
}

TEST_F(NetNamespaces, WithKeysNobodyElseIsHeardAndMismatchedKeysSayWhy)
{
    auto receiver = Receiver(Keys());
    auto sender = Sender(s_network.sender, m_senderBlock, Keys());
    BlockView local(m_senderBlock);
    BlockView remote(m_receiverBlock);
    ASSERT_TRUE(Follows(remote, local)) << receiver->Err() << sender->Err();
    EXPECT_TRUE(Contains(receiver->Err(), "secured with the keys in")) << receiver->Err();
    EXPECT_EQ(sender->Stop(), 0);
    ASSERT_TRUE(Released(remote, 1000ms));

    // Intruders with their own sticks, far over: without keys, then with another cockpit's.
    const std::string intruderStick = (s_top / "intruder-stick.ini").string();
    MoveStick(9000, -9000, true, intruderStick);
    const std::string& intruderBlock = m_intruderBlock;
    for (const std::vector<std::string>& options : { std::vector<std::string> {}, Keys("other-keys") }) {
        auto intruder = Sender(s_network.intruder, intruderBlock, options, intruderStick);
        EXPECT_TRUE(intruder->Says("net_sender: publishing")) << intruder->Err();
        std::this_thread::sleep_for(3000ms);
        EXPECT_TRUE(Released(remote, 10ms)) << "the intruder moved the controls: " << receiver->Err();
        if (!options.empty()) {
            // Both sides say why they do not hear each other.
            EXPECT_TRUE(intruder->Says("takes no part in the link", 8000ms)) << intruder->Err();
            EXPECT_TRUE(receiver->Says("takes no part in the link", 8000ms)) << receiver->Err();
        }
        intruder->Stop();
    }
    EXPECT_FALSE(Contains(receiver->Err(), "the sender is back")) << receiver->Err();

    // The same program from the same place with the cockpit's keys is heard: the keys made the difference.
    auto friendly = Sender(s_network.intruder, intruderBlock, Keys(), intruderStick);
    ASSERT_TRUE(testpoll::Until([&] { return remote.Outputs().pitch > 10.0; }, 10000ms, 5ms)) << receiver->Err();
}

TEST_F(NetNamespaces, OnePublisherPerBlockAndBadInputIsNamedWithTheBlockUntouched)
{
    auto receiver = Receiver({});
    ASSERT_TRUE(receiver->Says("waiting for a sender")) << receiver->Err();
    // A Tavelin on the receiver's block refuses, and so does a second receiver.
    auto local = Sender(s_network.receiver, m_receiverBlock, {});
    EXPECT_EQ(local->Wait(), 4) << local->Err();
    EXPECT_TRUE(Contains(local->Err(), "another Tavelin publishes")) << local->Err();
    auto second = Receiver({});
    EXPECT_EQ(second->Wait(), 9) << second->Err();
    EXPECT_TRUE(Contains(second->Err(), "another program publishes into the shared block")) << second->Err();
    EXPECT_EQ(receiver->Stop(), 128 + SIGTERM);
    // And the other way round: a receiver on a Tavelin's block.
    auto sender = Sender(s_network.sender, m_senderBlock, {});
    ASSERT_TRUE(sender->Says("net_sender: publishing")) << sender->Err();
    auto onTavelin = std::make_unique<Program>(s_network.intruder, std::vector<std::string> {},
        Build() + "/tools/simblock/simblock", std::vector<std::string> { "--name", m_senderBlock, "net-receive" });
    EXPECT_EQ(onTavelin->Wait(), 9) << onTavelin->Err();

    struct Case {
        std::vector<std::string> options;
        int status;
        const char* says;
    };
    const std::string expired = (s_top / "expired-keys").string();
    KeySet::MakeOptions lapsed;
    lapsed.firstDay = -10;
    lapsed.lastDay = -1;
    std::string error;
    ASSERT_TRUE(KeySet::Make(expired, lapsed, error)) << error;
    const std::string foreign = (s_top / "mixed-keys").string();
    fs::create_directories(foreign);
    fs::copy(s_top / "keys", foreign, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    fs::copy_file(s_top / "other-keys" / "receiver" / "cert.pem", fs::path(foreign) / "receiver" / "cert.pem",
        fs::copy_options::overwrite_existing);
    const std::vector<Case> cases = {
        { { "--net-domain", "233" }, 64, "--net-domain needs a whole number from 0 to 232" },
        { { "--net-peer", "no-such-host.invalid" }, 8, "the peer \"no-such-host.invalid\" does not resolve" },
        { { "--net-keys", (s_top / "no-keys").string() }, 8, "no such key folder" },
        { { "--net-keys", expired }, 8, "receiver/cert.pem expired on" },
        { { "--net-keys", foreign }, 8, "receiver/cert.pem is signed by another authority" },
        { { "--net-keys", (s_top / "keys").string(), "--net-domain", "231" }, 8, "cannot be secured" },
        { { "--net-interface", "nosuch0" }, 8, "nosuch0" },
        { { "--bogus" }, 64, "unknown option --bogus" },
    };
    for (const Case& bad : cases) {
        // In the intruder's namespace: a name lookup there reaches no server.
        std::vector<std::string> arguments = { "net-receive", "--name", m_receiverBlock };
        arguments.insert(arguments.end(), bad.options.begin(), bad.options.end());
        Program run(s_network.intruder, {}, Build() + "/tools/simblock/simblock", arguments);
        EXPECT_EQ(run.Wait(), bad.status) << bad.options[0] << ": " << run.Err();
        EXPECT_TRUE(Contains(run.Err(), bad.says)) << run.Err();
    }
    // A garbage Network.ini stops the sender with the file's line; its block is never touched.
    const fs::path config = s_top / "bad-config" / "Orrelane" / "Shared";
    fs::create_directories(config);
    std::ofstream(config / "Network.ini") << "[NETWORK]\nENABLED = 1\nDOMAIN = everything\n";
    Program garbage(s_network.intruder,
        { "XDG_CONFIG_HOME=" + (s_top / "bad-config").string(), "TAVELIN_SHM_NAME=" + ShmTestOs::UniqueName("netG") },
        Build() + "/tests/net_sender", {});
    EXPECT_EQ(garbage.Wait(), 3) << garbage.Err();
    EXPECT_TRUE(Contains(garbage.Err(), "Network.ini line 3: DOMAIN must be")) << garbage.Err();
    BlockView remote(m_receiverBlock);
    EXPECT_FALSE(remote.Open()) << "the receiver removed its block when it ended, and no bad start made one";
}

TEST_F(NetNamespaces, TheProgramWithNetSendsWhatItPublishesAndTakesTheFlagsBack)
{
    if (access(TavelinProgram().c_str(), X_OK) != 0) {
        GTEST_SKIP() << "no " << TavelinProgram() << " (the Qt build makes it)";
    }
    // Network.ini says off, on another domain: the command line's options go over it.
    const fs::path home = s_top / "tavelin-config";
    const fs::path folder = home / "Orrelane" / "Shared";
    fs::create_directories(folder);
    fs::copy_file(s_top / "config" / "Orrelane" / "Shared" / "Joystick.ini", folder / "Joystick.ini",
        fs::copy_options::overwrite_existing);
    std::ofstream(folder / "Network.ini") << "[NETWORK]\nENABLED = 0\nDOMAIN = 9\n";
    auto receiver = Receiver({});
    auto tavelin
        = Tavelin(s_network.sender, m_senderBlock, home, { "--net-domain", "0", "--net", "--net-interface", "eth0" });
    BlockView local(m_senderBlock);
    BlockView remote(m_receiverBlock);
    ASSERT_TRUE(Follows(remote, local)) << receiver->Err() << tavelin->Err();
    // The filters settle where the block settles.
    EXPECT_TRUE(testpoll::Until([&] { return std::fabs(remote.Outputs().pitch + 5.5) < 1e-9; }, 3000ms, 5ms))
        << remote.Outputs().pitch;
    EXPECT_TRUE(tavelin->Says("Network: on, domain 0, without keys")) << tavelin->Err();
    EXPECT_TRUE(tavelin->Says("Network: a receiver answers")) << tavelin->Err();
    MoveStick(6000, -2000, true);
    ASSERT_TRUE(testpoll::Until([&] { return remote.Outputs().apDisc == 1; }, 3000ms, 5ms)) << tavelin->Err();
    ASSERT_TRUE(Follows(remote, local));
    EXPECT_GT(remote.Outputs().pitch, 0.0);

    // The simulator sets the park brake over there: both bytes come back into the program's block.
    const auto set = ShmTestOs::RunProgram(
        Build() + "/tools/simblock/simblock", { "set", "parkbrake", "on", "--name", m_receiverBlock });
    ASSERT_EQ(set.exitCode, 0) << set.err;
    ASSERT_TRUE(testpoll::Until(
        [&] { return local.Flags().parkBrake[0] == 1 && local.Flags().parkBrake[1] == 1; }, 5000ms, 5ms))
        << tavelin->Err();

    // A termination signal ends the window; the link's last sample is a released stick.
    EXPECT_EQ(tavelin->Stop(), 0) << tavelin->Err();
    EXPECT_TRUE(Released(remote, 1000ms)) << receiver->Err();
    EXPECT_EQ(receiver->Stop(), 128 + SIGTERM);
}

// Not pass/fail: the figures the test command prints (TAVELIN_NET_FIGURES=1).
TEST_F(NetNamespaces, TheReceiverKeepsItsBlockThroughARemovedNameAndAShrink)
{
    auto receiver = Receiver({});
    auto sender = Sender(s_network.sender, m_senderBlock, {});
    BlockView local(m_senderBlock);
    BlockView remote(m_receiverBlock);
    ASSERT_TRUE(Follows(remote, local)) << receiver->Err() << sender->Err();
    const double sensitivity = local.Setting(GSB::kPitchSensitivity);
    const auto hasTheSetUp = [&] {
        return testpoll::Until([&] { return remote.Setting(GSB::kPitchSensitivity) == sensitivity; }, 3000ms, 5ms);
    };
    ASSERT_TRUE(hasTheSetUp()) << receiver->Err();

    // A clean-up script removes the name: a simulator that starts afterwards
    // must find the block that is written, not a fresh empty one.
    remote.Close();
    ASSERT_EQ(shm_unlink(("/" + m_receiverBlock).c_str()), 0);
    ASSERT_TRUE(receiver->Says("removed the name of the shared block")) << receiver->Err();
    EXPECT_TRUE(receiver->Says("made it again with the current contents")) << receiver->Err();
    ASSERT_TRUE(Follows(remote, local)) << receiver->Err();
    EXPECT_TRUE(hasTheSetUp()) << "the set-up is in the block made again";

    // Shrunk under it: the receiver survives, attaches again and puts the set-up back.
    remote.Close();
    const int fd = shm_open(("/" + m_receiverBlock).c_str(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 1000), 0);
    close(fd);
    ASSERT_TRUE(receiver->Says("shrank the shared block"))
        << receiver->Err() << "running: " << receiver->Running() << " remote pitch " << remote.Outputs().pitch;
    ASSERT_TRUE(Follows(remote, local)) << receiver->Err();
    EXPECT_TRUE(hasTheSetUp()) << "the set-up is put back: " << receiver->Err();
    EXPECT_TRUE(receiver->Running());
    EXPECT_EQ(receiver->Stop(), 128 + SIGTERM) << receiver->Err();
    EXPECT_EQ(sender->Stop(), 0);
}

TEST_F(NetNamespaces, Figures)
{
    if (std::getenv("TAVELIN_NET_FIGURES") == nullptr) {
        GTEST_SKIP() << "figures only with TAVELIN_NET_FIGURES=1 (scripts/test-extras/net-figures.sh)";
    }
    const long samples = 5000;
    for (const bool secured : { false, true }) {
        const std::vector<std::string> keys = secured ? Keys() : std::vector<std::string> {};
        std::vector<std::string> arguments = { "--name", m_receiverBlock, "--samples", std::to_string(samples) };
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        Program latency(s_network.receiver, {}, Build() + "/tests/net_latency", arguments);
        std::vector<std::string> options = { "--ticks", std::to_string(samples + 1000) };
        options.insert(options.end(), keys.begin(), keys.end());
        auto sender = Sender(s_network.sender, m_senderBlock, options);
        const int status = latency.Wait();
        sender->Stop();
        ASSERT_EQ(status, 0) << latency.Err() << latency.Out();
        std::printf("net latency %s: %s", secured ? "secured" : "plain", latency.Out().c_str());
    }

    const std::string publishOnly = Build() + "/bench/publish_only";
    if (access(publishOnly.c_str(), X_OK) != 0) {
        std::printf("net cpu: skipped (no %s: the Qt build makes it)\n", publishOnly.c_str());
        return;
    }
    auto receiver = Receiver({});
    const std::vector<std::string> environment = { "QT_QPA_PLATFORM=offscreen",
        "XDG_CONFIG_HOME=" + (s_top / "config").string(), "TAVELIN_VIRTUAL_JOYSTICKS=" + m_stick };
    std::vector<std::string> off = environment;
    off.push_back("TAVELIN_SHM_NAME=" + ShmTestOs::UniqueName("netOff"));
    std::vector<std::string> on = environment;
    on.push_back("TAVELIN_SHM_NAME=" + m_senderBlock);
    Program quiet(s_network.sender, off, publishOnly, {});
    Program networked(s_network.sender, on, publishOnly, { "--net" });
    ASSERT_TRUE(receiver->Says("receiving from a sender", 10000ms)) << receiver->Err() << networked.Err();
    const long quietStart = quiet.CpuTicks();
    const long networkedStart = networked.CpuTicks();
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(20s);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double hz = static_cast<double>(sysconf(_SC_CLK_TCK));
    const double quietCpu = 100.0 * static_cast<double>(quiet.CpuTicks() - quietStart) / hz / seconds;
    const double networkedCpu = 100.0 * static_cast<double>(networked.CpuTicks() - networkedStart) / hz / seconds;
    std::printf("net cpu: publish_only %.2f %% of a core with the network off, %.2f %% with it on (+%.2f points), "
                "side by side over %.0f s\n",
        quietCpu, networkedCpu, networkedCpu - quietCpu, seconds);
    quiet.Stop();
    networked.Stop();
}

} // namespace

// The main window's network link on a played engine: Network.ini with the
// command line's options over it, the values that leave in the very tick that
// wrote them, the simulator flags applied only while the link runs, the link
// started again by the dialog's OK and stopped (with a released stick) on the
// way out, and a bad Network.ini told while the block goes on as always.
#include "app/AboutDlg.h"
#include "app/NetworkSending.h"
#include "dialogs/NetworkDlg.h"
#include "tests/app/main_window_fixture.h"
#include "tests/net/fake_transport.h"
#include "tests/support/poll.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace MainIds;
namespace GSB = GenericSimBlock;
using namespace std::chrono_literals;

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The state text, as a build with the network engine shows it (the Windows
// cross build runs the same link on the played engine, but says it has none).
std::string StateShown(const std::string& text)
{
    return NetworkLink::Available() ? text : NetworkSending::kNotInBuild;
}

class NetworkWindowTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        std::error_code ignored;
        std::filesystem::remove(NetworkSending::FilePath(), ignored);
        m_input.AddJoystick(kStickA, "Stick A", 12);
    }
    void TearDown() override
    {
        m_view.reset();
        m_dialog.reset();
        std::error_code ignored;
        std::filesystem::remove(NetworkSending::FilePath(), ignored);
        MainWindowTest::TearDown();
    }
    void WriteNetwork(const std::string& text)
    {
        std::ofstream(NetworkSending::FilePath(), std::ios::binary | std::ios::trunc) << text;
    }
    std::string ReadNetwork() const
    {
        std::ifstream file(NetworkSending::FilePath(), std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    // The window on the played engine (or on `factory`), once its link is started.
    void OpenWith(
        const NetworkOverrides& overrides, NetworkLink::TransportFactory factory = nullptr, bool settle = true)
    {
        m_dialog = std::make_unique<CTavelinDlg>();
        m_dialog->ConfigureNetwork(overrides, factory ? std::move(factory) : m_engine.Factory());
        m_view = std::make_unique<RecordingDialogView>(CTavelinDlg::Template(), *m_dialog);
        m_view->Open();
        if (settle) {
            Settle();
        }
    }
    // A start or stop of the link runs on a thread of its own: done, and taken up by a tick.
    void Settle()
    {
        const NetworkSending& network = m_dialog->GetNetwork();
        ASSERT_TRUE(testpoll::Until([&] { return !network.Switching() || network.SwitchDone(); }, 5000ms, 1ms));
        if (network.Switching()) {
            Tick();
        }
        EXPECT_FALSE(network.Switching());
    }
    // The tick just run has handed on its sample.
    bool Sent(std::uint64_t sequence)
    {
        return testpoll::Until([&] { return m_engine.transport->LastControls().sequence == sequence; }, 2000ms, 1ms);
    }
    std::string Boxes() const
    {
        std::string all;
        for (const auto& [text, caption] : m_view->messageBoxes) {
            all += caption + ": " + text + "\n";
        }
        return all;
    }

    FakeEngine m_engine;
};

TEST_F(NetworkWindowTest, EachTicksValuesLeaveInThatTickAndTheFlagsComeBackOnlyWhileOn)
{
    WriteNetwork("[NETWORK]\nENABLED = 0\nDOMAIN = 7\nPEER = 127.0.0.5\n");
    NetworkOverrides overrides;
    overrides.enable = true; // --net over a file that says off
    OpenWith(overrides);
    ASSERT_NE(m_engine.transport, nullptr) << Boxes();
    EXPECT_TRUE(m_view->messageBoxes.empty()) << Boxes();
    EXPECT_EQ(m_engine.config.domain, 7);
    EXPECT_EQ(m_engine.config.peers, (std::vector<std::string> { "127.0.0.5" }));
    EXPECT_TRUE(Contains(m_engine.config.engineConfiguration, "<NetworkInterface name=\"lo\"/>"))
        << "the tests' guard keeps the engine on the loopback interface";

    // The pitch output moves every tick through its filter: each sample is the block of its own tick.
    m_input.joystick(0).state.lY = 10000;
    for (std::uint64_t tick = 1; tick <= 20; ++tick) {
        Tick();
        ASSERT_TRUE(Sent(tick)) << "tick " << tick;
        EXPECT_EQ(m_engine.transport->LastControls().outputs.pitch, Double(GSB::kPitchOutput)) << "tick " << tick;
    }
    EXPECT_GT(Double(GSB::kPitchOutput), 1.0);
    // The set-up goes reliably from the link's own thread, so it may follow the tick's sample.
    EXPECT_TRUE(testpoll::Until(
        [&] {
            return m_engine.transport->LastSetUp().setUp.values.configurationName
                == std::string("DEFAULT_JOYSTICK_SETUP");
        },
        2000ms, 1ms))
        << m_engine.transport->LastSetUp().setUp.values.configurationName;

    // Nobody answered yet; then the receiver answers with the gear down and the park brake set.
    TickPeriod();
    EXPECT_EQ(m_view->Text(kNetworkState), StateShown("no receiver"));
    const ControlsMessage heard = m_engine.transport->LastControls();
    FlagsMessage answer;
    answer.flags.gear[0] = 1;
    answer.flags.gear[1] = 1;
    answer.flags.parkBrake[1] = 1;
    answer.echoSession = heard.session;
    answer.echoSequence = heard.sequence;
    answer.echoTickTime = heard.tickTime;
    m_engine.handler->OnFlags(answer);
    TickPeriod();
    EXPECT_EQ(GSB::LoadByte(Block(), GSB::kGearFlag1), 1);
    EXPECT_EQ(GSB::LoadByte(Block(), GSB::kGearFlag2), 1);
    EXPECT_EQ(GSB::LoadByte(Block(), GSB::kParkBrakeFlag1), 0);
    EXPECT_EQ(GSB::LoadByte(Block(), GSB::kParkBrakeFlag2), 1);
    const std::string receiving = StateShown("receiving, ");
    EXPECT_EQ(m_view->Text(kNetworkState).rfind(receiving, 0), 0u) << m_view->Text(kNetworkState);
    EXPECT_TRUE(Contains(m_view->Text(kNetworkState), StateShown(" ms round trip"))) << m_view->Text(kNetworkState);
    // The link's notes are Tavelin's own lines in the warning list.
    const RecordedControl& list = m_view->Control(kWarningList);
    bool noted = false;
    for (const auto& row : list.rows) {
        noted = noted || Contains(row[1], "Network: on, domain 7, without keys");
    }
    EXPECT_TRUE(noted);

    if (!NetworkLink::Available()) {
        return; // the rest switches the link off in its dialog, which this build does not open
    }
    // The simulator sets the park brake; before any tick takes it up the operator switches the link off:
    // saved, stopped with a released stick, and what came back is not applied any more.
    answer.flags.parkBrake[0] = 1;
    m_engine.handler->OnFlags(answer); // the link (and the handler) are gone once it is off
    GSB::StoreByte(Block(), GSB::kGearFlag1, 0);
    GSB::StoreByte(Block(), GSB::kGearFlag2, 0);
    m_view->QueueChild([](RecordingDialogView& child) {
        child.Select(CNetworkDlg::kSwitch, 0);
        child.Click(kIdOk);
    });
    m_view->Click(kNetwork);
    Settle();
    EXPECT_EQ(m_view->childTemplates.back(), kNetworkTemplateId);
    EXPECT_TRUE(Contains(ReadNetwork(), "ENABLED = 0")) << ReadNetwork();
    EXPECT_TRUE(Contains(ReadNetwork(), "DOMAIN = 7")) << ReadNetwork();
    EXPECT_FALSE(m_dialog->GetNetwork().Running());
    EXPECT_EQ(m_engine.lastControls.outputs.pitch, 0.0) << "the last sample was a released stick";
    EXPECT_GT(m_engine.lastControls.sequence, 20u);
    TickPeriod();
    EXPECT_EQ(m_view->Text(kNetworkState), "off");
    EXPECT_EQ(GSB::LoadByte(Block(), GSB::kGearFlag1), 0) << "the simulator's flags are its own while the link is off";
    EXPECT_EQ(GSB::LoadByte(Block(), GSB::kParkBrakeFlag1), 0);
    EXPECT_EQ(GSB::LoadByte(Block(), GSB::kParkBrakeFlag2), 1) << "as it was";
    EXPECT_GT(Double(GSB::kPitchOutput), 1.0) << "the block goes on as always";
}

TEST_F(NetworkWindowTest, OkInTheDialogSavesAndStartsTheLinkAgainAndEveryWayOutStopsIt)
{
    if (!NetworkLink::Available()) {
        GTEST_SKIP() << "this build opens no network dialog";
    }
    WriteNetwork("[NETWORK]\nENABLED = 1\nDOMAIN = 3\n");
    OpenWith({});
    ASSERT_NE(m_engine.transport, nullptr) << Boxes();
    EXPECT_EQ(m_engine.config.domain, 3);
    m_input.joystick(0).state.lY = 10000;
    Tick(5);
    ASSERT_TRUE(Sent(5));
    const std::uint64_t firstSession = m_engine.transport->LastControls().session;

    std::string childBox;
    m_view->QueueChild([&](RecordingDialogView& child) {
        EXPECT_EQ(child.Text(CNetworkDlg::kDomain), "3");
        child.SetControlText(CNetworkDlg::kDomain, "300");
        child.Click(kIdOk);
        EXPECT_FALSE(child.Ended()) << "a bad value keeps the dialog open";
        childBox = child.messageBoxes.empty() ? "" : child.messageBoxes.back().first;
        child.SetControlText(CNetworkDlg::kDomain, "12");
        child.SetControlText(CNetworkDlg::kPeers, "127.0.0.1 localhost");
        child.Click(kIdOk);
    });
    m_view->Click(kNetwork);
    Settle();
    EXPECT_TRUE(Contains(childBox, "The domain must be a whole number from 0 to 232, not \"300\"")) << childBox;
    EXPECT_EQ(ReadNetwork().find("DOMAIN = 3"), std::string::npos) << "the bad value saved nothing";
    EXPECT_TRUE(Contains(ReadNetwork(), "DOMAIN = 12")) << ReadNetwork();
    EXPECT_TRUE(Contains(ReadNetwork(), "PEER = 127.0.0.1")) << ReadNetwork();
    EXPECT_TRUE(Contains(ReadNetwork(), "PEER = localhost")) << ReadNetwork();
    EXPECT_EQ(m_engine.lastControls.outputs.pitch, 0.0) << "the old link let go first";
    EXPECT_EQ(m_engine.config.domain, 12) << "a new engine on the new domain";
    EXPECT_EQ(m_engine.config.peers, (std::vector<std::string> { "127.0.0.1", "localhost" }));
    Tick();
    ASSERT_TRUE(Sent(1)) << "a new run counts from 1";
    EXPECT_NE(m_engine.transport->LastControls().session, firstSession);
    EXPECT_NE(m_engine.transport->LastControls().outputs.pitch, 0.0);

    // Cancel changes nothing.
    FakeTransport* running = m_engine.transport;
    m_view->QueueChild([](RecordingDialogView& child) {
        child.SetControlText(CNetworkDlg::kDomain, "99");
        child.Click(kIdCancel);
    });
    m_view->Click(kNetwork);
    EXPECT_EQ(m_engine.transport, running);
    EXPECT_TRUE(m_dialog->GetNetwork().Running());

    // The window's OK ends it: the link's last sample is a released stick.
    Tick(3);
    m_view->Click(kOk);
    ASSERT_TRUE(m_view->Ended());
    EXPECT_FALSE(m_dialog->GetNetwork().Running());
    EXPECT_EQ(m_engine.lastControls.outputs.pitch, 0.0);
    EXPECT_EQ(m_engine.lastControls.sequence, 5u);
}

TEST_F(NetworkWindowTest, AnEngineThatIsSlowToStartNeverHoldsUpTheBlock)
{
    WriteNetwork("[NETWORK]\nENABLED = 1\n");
    std::atomic<bool> go { false };
    auto played = m_engine.Factory();
    OpenWith(
        {},
        [&go, played](const TransportConfig& config, LinkHandler& handler, std::string& error) {
            // A name lookup that takes its time.
            testpoll::Until([&] { return go.load(); }, 10000ms, 1ms);
            return played(config, handler, error);
        },
        false);
    m_input.joystick(0).state.lY = 10000;
    Tick();
    const double first = Double(GSB::kPitchOutput);
    TickPeriod();
    EXPECT_GT(Double(GSB::kPitchOutput), first) << "the block is published every tick while the link starts";
    EXPECT_EQ(m_view->Text(kNetworkState), StateShown("starting"));
    EXPECT_TRUE(m_dialog->GetNetwork().Switching());
    go = true;
    Settle();
    ASSERT_NE(m_engine.transport, nullptr);
    Tick();
    ASSERT_TRUE(Sent(1)) << "the first tick after the start is the link's first sample";
    EXPECT_EQ(m_engine.transport->LastControls().outputs.pitch, Double(GSB::kPitchOutput));
    TickPeriod();
    EXPECT_EQ(m_view->Text(kNetworkState), StateShown("no receiver"));
}

TEST_F(NetworkWindowTest, ABadNetworkIniOrUnusableKeysAreToldAndTheBlockGoesOnAsAlways)
{
    WriteNetwork("[NETWORK]\nENABLED = 1\nDOMAIN = everything\n");
    OpenWith({});
    EXPECT_TRUE(Contains(Boxes(), "Network.ini line 3: DOMAIN must be a whole number from 0 to 232")) << Boxes();
    EXPECT_TRUE(Contains(Boxes(), "The network link stays off")) << Boxes();
    EXPECT_EQ(m_engine.transport, nullptr);
    m_input.joystick(0).state.lY = 10000;
    TickPeriod();
    EXPECT_TRUE(m_dialog->StartedOk());
    EXPECT_GT(Double(GSB::kPitchOutput), 1.0);
    EXPECT_EQ(m_view->Text(kNetworkState), StateShown("off"));
    EXPECT_EQ(ReadNetwork(), "[NETWORK]\nENABLED = 1\nDOMAIN = everything\n") << "the file is the operator's to mend";
    m_view.reset();
    m_dialog.reset();

    // Keys that are not there: the link does not start, and says why.
    std::filesystem::remove(NetworkSending::FilePath());
    NetworkOverrides overrides;
    overrides.enable = true;
    overrides.keys = (std::filesystem::path(m_configHome) / "no-keys").string();
    OpenWith(overrides);
    EXPECT_TRUE(Contains(Boxes(), "The network link cannot start: the key folder cannot be used")) << Boxes();
    EXPECT_EQ(m_engine.transport, nullptr);
    TickPeriod();
    EXPECT_GT(Double(GSB::kPitchOutput), 1.0);
    EXPECT_FALSE(std::filesystem::exists(NetworkSending::FilePath())) << "a start writes no file";
}

TEST_F(NetworkWindowTest, TheAboutBoxAndTheButtonSayWhetherThisBuildHasTheLink)
{
    OpenWith({});
    Tick();
    std::string about;
    m_view->QueueChild([&](RecordingDialogView& child) { about = child.Text(CAboutDlg::kNetworkText); });
    m_view->SystemCommand(kAboutCommand);
    if (NetworkLink::Available()) {
        EXPECT_EQ(about.rfind("Network link: Eclipse Cyclone DDS ", 0), 0u) << about;
    } else {
        EXPECT_EQ(about, "Network link: not in this build (no Eclipse Cyclone DDS)");
    }

    const int childrenBefore = m_view->ChildrenRun();
    m_view->Click(kNetwork);
    if (NetworkLink::Available()) {
        EXPECT_EQ(m_view->ChildrenRun(), childrenBefore + 1);
        EXPECT_EQ(m_view->childTemplates.back(), kNetworkTemplateId);
        EXPECT_EQ(m_view->Text(kNetworkState), "off");
    } else {
        // The Windows cross build: no dialog to set up what cannot run.
        EXPECT_EQ(m_view->ChildrenRun(), childrenBefore);
        ASSERT_FALSE(m_view->messageBoxes.empty());
        EXPECT_TRUE(Contains(m_view->messageBoxes.back().first, "The network link is not in this build"))
            << m_view->messageBoxes.back().first;
        EXPECT_EQ(m_view->Text(kNetworkState), "not in this build");
    }
    EXPECT_FALSE(std::filesystem::exists(NetworkSending::FilePath())) << "looking saves nothing";
}

} // namespace

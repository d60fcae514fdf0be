// The sending side's tick allocates nothing: the outputs, a changed set-up
// and the flags that came back go through fixed slots, and the link's own
// thread hands them on without allocating either; nor does the main window's
// part that calls the link in its tick and shows its state.
#include "app/NetworkSending.h"
#include "fake_transport.h"
#include "mapping/GenericSimBlock.h"
#include "net/NetworkLink.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/os_helpers.h"
#include "tests/support/poll.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace GSB = GenericSimBlock;

TEST(NetworkLinkAllocations, TicksAllocateNothingOnEitherThread)
{
    using namespace std::chrono_literals;
    std::vector<unsigned char> block(GSB::kSize, 0);
    FakeEngine engine;
    NetworkLink link(engine.Factory(), FakeClock::Now);
    NetworkSettings settings;
    settings.enabled = true;
    ASSERT_TRUE(link.Start(settings));
    link.OnTickPublished(block.data());
    ASSERT_TRUE(testpoll::Until([&] { return engine.transport->SetUpsWritten() == 1; }, 2000ms, 1ms));
    char note[NetworkLink::kNoteLength];
    while (link.TakeNote(note, sizeof note)) { }

    FlagsMessage answer;
    answer.flags.gear[0] = 1;
    AllocationCounter::Start();
    for (int tick = 0; tick < 2000; ++tick) {
        GSB::StoreDouble(block.data(), GSB::kPitchOutput, tick * 0.01);
        if (tick % 100 == 0) {
            GSB::StoreDouble(block.data(), GSB::kPitchDeadBand, tick * 0.001); // a set-up change
            answer.flags.gear[1] = static_cast<std::uint8_t>(tick / 100 % 2);
            engine.handler->OnFlags(answer);
        }
        link.OnTickPublished(block.data());
        link.TakeNote(note, sizeof note);
        (void)link.State();
    }
    const bool handedOn = testpoll::Until(
        [&] { return engine.transport->LastControls().sequence == 2001 && engine.transport->SetUpsWritten() >= 2; },
        2000ms, 1ms);
    const int allocations = AllocationCounter::Stop();
    ASSERT_TRUE(handedOn);
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(GSB::LoadByte(block.data(), GSB::kGearFlag1), 1);
}

namespace {

class NoWindow : public MainWindowServices {
public:
    NoWindow() = default;
    virtual ~NoWindow() = default;
    int RunChild(const DialogTemplate&, DialogPresenter&) override { return kIdCancel; }
    bool Closing() const override { return false; }
    JoystickSet* JoySticks() const override { return nullptr; }
};

} // namespace

TEST(NetworkLinkAllocations, TheWindowsPartAllocatesNothingInItsTicksAndFrames)
{
    using namespace std::chrono_literals;
    const std::string home = (std::filesystem::temp_directory_path() / ShmTestOs::UniqueName("netalloc")).string();
    ShmTestOs::SetEnvironment("XDG_CONFIG_HOME", home.c_str()); // no Network.ini: the options alone
    std::vector<unsigned char> block(GSB::kSize, 0);
    FakeEngine engine;
    NoWindow window;
    NetworkSending part(window);
    NetworkOverrides overrides;
    overrides.enable = true;
    part.Configure(overrides, engine.Factory());
    part.Start();
    ASSERT_TRUE(testpoll::Until([&] { return part.SwitchDone(); }, 5000ms, 1ms)) << "started on its own thread";
    part.Poll();
    ASSERT_TRUE(part.Running());
    part.OnTickPublished(block.data());
    ASSERT_TRUE(testpoll::Until([&] { return engine.transport->SetUpsWritten() == 1; }, 2000ms, 1ms));
    // A receiver answers before the count: the link notes the change once (a text, allocated).
    FlagsMessage answer;
    const auto answerLast = [&] {
        const ControlsMessage heard = engine.transport->LastControls();
        answer.echoSession = heard.session;
        answer.echoSequence = heard.sequence;
        answer.echoTickTime = heard.tickTime;
        engine.handler->OnFlags(answer);
    };
    answerLast();
    for (std::uint64_t sequence = 2; sequence <= 3; ++sequence) {
        part.OnTickPublished(block.data());
        ASSERT_TRUE(
            testpoll::Until([&] { return engine.transport->LastControls().sequence == sequence; }, 2000ms, 1ms));
    }
    part.TakeNotes(nullptr); // the notes so far, printed
    part.RefreshState();

    AllocationCounter::Start();
    for (int tick = 0; tick < 2000; ++tick) {
        GSB::StoreDouble(block.data(), GSB::kRollOutput, tick * 0.01);
        if (tick % 200 == 0) {
            answerLast();
        }
        part.OnTickPublished(block.data());
        if (tick % 6 == 0) {
            part.RefreshState();
        }
    }
    const bool handedOn
        = testpoll::Until([&] { return engine.transport->LastControls().sequence == 2003; }, 2000ms, 1ms);
    const int allocations = AllocationCounter::Stop();
    ASSERT_TRUE(handedOn);
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(
        std::string(part.StateText()).rfind(NetworkLink::Available() ? "receiving, " : "not in this build", 0), 0u)
        << part.StateText();
    part.Stop();
    EXPECT_EQ(engine.lastControls.sequence, 2004u) << "the released stick came last";
    ShmTestOs::UnsetEnvironment("XDG_CONFIG_HOME");
}

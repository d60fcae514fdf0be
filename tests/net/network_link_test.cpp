// The link's logic on a played engine and a clock the test moves: what the
// sender takes from its block in the tick, what the receiver writes into its
// block and when it releases, and the block values that travel.
#include "fake_transport.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/LinkValues.h"
#include "net/EngineLines.h"
#include "net/NetworkLink.h"
#include "net/NetworkReceiver.h"
#include "tests/support/poll.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace GSB = GenericSimBlock;

namespace {

using namespace std::chrono_literals;

constexpr std::int64_t kMs = 1'000'000;

struct Block {
    std::vector<unsigned char> bytes = std::vector<unsigned char>(GSB::kSize, 0);
    void* data() { return bytes.data(); }
};

ControlsMessage Sample(std::uint64_t session, std::uint64_t sequence, double pitch)
{
    ControlsMessage message;
    message.session = session;
    message.sequence = sequence;
    message.tickTime = FakeClock::Now();
    message.outputs.pitch = pitch;
    message.outputs.roll = -2.0;
    message.outputs.thrLvrL = 42.0;
    message.outputs.thrLvrR = 43.0;
    message.outputs.apDisc = 1;
    message.outputs.reverser = 1;
    return message;
}

std::vector<std::string> Lines(NetworkReceiver& receiver)
{
    std::vector<std::string> lines;
    std::string line;
    while (receiver.TakeLine(line)) {
        lines.push_back(line);
    }
    return lines;
}

bool AnyContains(const std::vector<std::string>& lines, const std::string& part)
{
    for (const std::string& line : lines) {
        if (line.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

NetworkSettings On()
{
    NetworkSettings settings;
    settings.enabled = true;
    settings.domain = 9;
    return settings;
}

TEST(LinkValues, TravelWholeAndTheReleaseKeepsTheThrustLevers)
{
    Block from;
    Block to;
    ControlOutputs outputs;
    outputs.pitch = 1.5;
    outputs.roll = -3.25;
    outputs.pedals = 7.0;
    outputs.thrLvrL = 55.0;
    outputs.thrLvrR = 66.0;
    outputs.tiller = -9.0;
    outputs.atDisc = 1;
    outputs.brakeR = 1;
    WriteControlOutputs(from.data(), outputs);
    EXPECT_DOUBLE_EQ(GSB::LoadDouble(from.data(), GSB::kTillerOutput), -9.0);
    WriteControlOutputs(to.data(), ReadControlOutputs(from.data()));
    EXPECT_EQ(std::memcmp(from.data(), to.data(), GSB::kSize), 0);

    ReleaseControlOutputs(to.data());
    const ControlOutputs released = ReadControlOutputs(to.data());
    EXPECT_EQ(released.pitch, 0.0);
    EXPECT_EQ(released.tiller, 0.0);
    EXPECT_EQ(released.atDisc + released.brakeR, 0);
    EXPECT_EQ(released.thrLvrL, 55.0);
    EXPECT_EQ(released.thrLvrR, 66.0);
    EXPECT_EQ(ReleasedOutputs(outputs).thrLvrR, 66.0);
    EXPECT_EQ(ReleasedOutputs(outputs).pedals, 0.0);

    // The set-up: every field this program uses, and only those.
    GSB::StoreText(from.data(), GSB::kConfigurationName, GSB::kConfigurationNameLength, "MY COCKPIT");
    GSB::StoreInt32(from.data(), GSB::kConfigurationIndex, 2);
    GSB::StoreInt32(from.data(), GSB::kPitchRecord + GSB::kRecordInput, 5);
    GSB::StoreInt32(from.data(), GSB::ButtonRecord(16) + GSB::kRecordInput, 12);
    GSB::StoreDouble(from.data(), GSB::kThrLvrROffset, 3.5);
    GSB::StoreByte(from.data(), GSB::kPttButtonMirror, 255);
    GSB::StoreByte(to.data(), GSB::ButtonRecord(3) + 33, 0xAB); // not this program's
    GSB::StoreByte(to.data(), GSB::kJoystickSetup + 300, 0xCD); // the simulator's stretch
    LinkSetUp setUp;
    ReadLinkSetUp(from.data(), setUp);
    WriteLinkSetUp(to.data(), setUp);
    LinkSetUp back;
    ReadLinkSetUp(to.data(), back);
    EXPECT_TRUE(back.SameAs(setUp));
    EXPECT_EQ(GSB::LoadInt32(to.data(), GSB::ButtonRecord(16) + GSB::kRecordInput), 12);
    EXPECT_EQ(GSB::LoadByte(to.data(), GSB::kPttButtonMirror), 255);
    EXPECT_EQ(GSB::LoadByte(to.data(), GSB::ButtonRecord(3) + 33), 0xAB);
    EXPECT_EQ(GSB::LoadByte(to.data(), GSB::kJoystickSetup + 300), 0xCD);
    setUp.values.tuning[3] = 0.75;
    EXPECT_FALSE(back.SameAs(setUp));

    // A name that fills its field is stored with its end.
    std::memset(setUp.values.configurationName, 'N', sizeof setUp.values.configurationName);
    WriteLinkSetUp(to.data(), setUp);
    EXPECT_EQ(GSB::LoadByte(to.data(), GSB::kConfigurationName + GSB::kConfigurationNameLength - 1), 0);
}

TEST(LinkValues, OutputsBeyondTheLimitsOrNotANumberAreRefused)
{
    ControlOutputs fine;
    fine.pitch = -180.0;
    fine.thrLvrL = -100.0;
    fine.thrLvrR = 100.0;
    fine.ptt = 1;
    EXPECT_TRUE(OutputsWithinLimits(fine));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (int field = 0; field < 9; ++field) {
        ControlOutputs bad = fine;
        switch (field) {
        case 0:
            bad.pitch = nan;
            break;
        case 1:
            bad.roll = 180.01;
            break;
        case 2:
            bad.pedals = -infinity;
            break;
        case 3:
            bad.tiller = 1e300;
            break;
        case 4:
            bad.thrLvrL = 100.5;
            break;
        case 5:
            bad.thrLvrR = nan;
            break;
        case 6:
            bad.apDisc = 2;
            break;
        case 7:
            bad.reverser = 255;
            break;
        default:
            bad.thrLvrL = -100.01;
        }
        EXPECT_FALSE(OutputsWithinLimits(bad)) << "field case " << field;
    }
}

class ReceiverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(receiver.Start(On())) << receiver.FullErrorText();
        ASSERT_NE(engine.handler, nullptr);
        EXPECT_EQ(engine.config.role, LinkRole::Receiver);
        EXPECT_EQ(engine.config.domain, 9);
        EXPECT_TRUE(AnyContains(Lines(receiver), "anybody on the network can publish into this block"));
    }

    double Pitch() { return GSB::LoadDouble(block.data(), GSB::kPitchOutput); }

    Block block;
    FakeEngine engine;
    NetworkReceiver receiver { block.data(), engine.Factory(), FakeClock::Now };
};

TEST_F(ReceiverTest, WritesInOrderSamplesAndDropsLateOrAbsurdOnes)
{
    receiver.OnControls(Sample(1, 1, 4.0), 100);
    EXPECT_EQ(Pitch(), 4.0);
    EXPECT_EQ(GSB::LoadByte(block.data(), GSB::kApDiscPressed), 1);
    EXPECT_EQ(GSB::LoadDouble(block.data(), GSB::kThrLvrROutput), 43.0);
    EXPECT_TRUE(AnyContains(Lines(receiver), "receiving from a sender"));

    receiver.OnControls(Sample(1, 3, 5.0), 100);
    receiver.OnControls(Sample(1, 2, 6.0), 100); // late: overtaken by 3
    receiver.OnControls(Sample(1, 3, 7.0), 100); // a repeat
    EXPECT_EQ(Pitch(), 5.0);
    ControlsMessage nan = Sample(1, 4, std::numeric_limits<double>::quiet_NaN());
    receiver.OnControls(nan, 100);
    ControlsMessage lever = Sample(1, 5, 1.0);
    lever.outputs.thrLvrL = 250.0;
    receiver.OnControls(lever, 100);
    EXPECT_EQ(Pitch(), 5.0);
    receiver.OnControls(Sample(1, 6, 8.0), 100);
    EXPECT_EQ(Pitch(), 8.0);

    const NetworkReceiver::Counts counts = receiver.GetCounts();
    EXPECT_EQ(counts.written, 3u);
    EXPECT_EQ(counts.outOfOrder, 2u);
    EXPECT_EQ(counts.beyondLimits, 2u);
    FakeClock::Advance(NetworkReceiver::kDropReportInterval);
    receiver.Step();
    EXPECT_TRUE(AnyContains(Lines(receiver), "dropped 4 samples: 2 out of order, 2 with values beyond"));

    // A restarted sender counts from 1 again: a new session is a new stream.
    FakeClock::Advance(NetworkReceiver::kSilenceLimit + kMs);
    receiver.Step();
    receiver.OnControls(Sample(2, 1, 9.0), 101);
    EXPECT_EQ(Pitch(), 9.0);
}

TEST_F(ReceiverTest, ReleasesAfterASilenceOrALapseAndTakesUpAgain)
{
    receiver.OnControls(Sample(1, 1, 4.0), 100);
    FakeClock::Advance(NetworkReceiver::kSilenceLimit - kMs);
    receiver.Step();
    EXPECT_EQ(Pitch(), 4.0) << "99 ms of silence is not yet a loss";
    FakeClock::Advance(2 * kMs);
    receiver.Step();
    EXPECT_EQ(Pitch(), 0.0);
    EXPECT_EQ(GSB::LoadByte(block.data(), GSB::kApDiscPressed), 0);
    EXPECT_EQ(GSB::LoadByte(block.data(), GSB::kReverserPressed), 0);
    EXPECT_EQ(GSB::LoadDouble(block.data(), GSB::kThrLvrLOutput), 42.0) << "the thrust levers are kept";
    std::vector<std::string> lines = Lines(receiver);
    EXPECT_TRUE(AnyContains(lines, "the sender is lost (no sample for 100 ms): the controls are released"));
    receiver.Step();
    EXPECT_TRUE(Lines(receiver).empty()) << "said once";

    receiver.OnControls(Sample(1, 2, 3.0), 100);
    EXPECT_EQ(Pitch(), 3.0);
    EXPECT_TRUE(AnyContains(Lines(receiver), "the sender is back: receiving again"));

    receiver.OnSendersAlive(0);
    EXPECT_EQ(Pitch(), 0.0);
    EXPECT_TRUE(AnyContains(Lines(receiver), "liveliness lapsed"));
    EXPECT_EQ(receiver.GetCounts().releases, 2u);
}

TEST_F(ReceiverTest, ASecondSenderIsIgnoredWhileTheFirstIsHeard)
{
    receiver.OnControls(Sample(1, 1, 4.0), 100);
    receiver.OnControls(Sample(7, 1, -20.0), 200);
    receiver.OnControls(Sample(7, 2, -20.0), 200);
    EXPECT_EQ(Pitch(), 4.0);
    EXPECT_EQ(receiver.GetCounts().otherSender, 2u);
    EXPECT_TRUE(AnyContains(Lines(receiver), "a second sender"));

    FakeClock::Advance(NetworkReceiver::kSilenceLimit + kMs);
    receiver.Step();
    receiver.OnControls(Sample(7, 3, -20.0), 200);
    EXPECT_EQ(Pitch(), -20.0) << "once the first is lost, the other one is the sender";
}

TEST_F(ReceiverTest, SendsTheFlagsWhenTheSimulatorChangesThemAndAnswersTheSender)
{
    receiver.Step();
    ASSERT_EQ(engine.transport->FlagsWritten(), 1) << "the flags as they are, for a sender that comes later";
    receiver.Step();
    EXPECT_EQ(engine.transport->FlagsWritten(), 1);

    GSB::StoreByte(block.data(), GSB::kGearFlag1, 1);
    GSB::StoreByte(block.data(), GSB::kGearFlag2, 1);
    receiver.Step();
    ASSERT_EQ(engine.transport->FlagsWritten(), 2);
    FlagsMessage sent = engine.transport->LastFlags();
    EXPECT_EQ(sent.flags.gear[0], 1);
    EXPECT_EQ(sent.flags.gear[1], 1);
    EXPECT_EQ(sent.flags.parkBrake[0], 0);
    EXPECT_EQ(sent.echoSequence, 0u) << "nothing received yet";

    receiver.OnControls(Sample(5, 41, 1.0), 100);
    receiver.Step();
    sent = engine.transport->LastFlags();
    EXPECT_EQ(sent.echoSession, 5u);
    EXPECT_EQ(sent.echoSequence, 41u);
    const int answers = engine.transport->FlagsWritten();
    FakeClock::Advance(10 * kMs);
    receiver.OnControls(Sample(5, 42, 1.0), 100);
    receiver.Step();
    EXPECT_EQ(engine.transport->FlagsWritten(), answers) << "four answers a second, not one per sample";
    for (int i = 0; i < 24; ++i) {
        FakeClock::Advance(10 * kMs);
        receiver.OnControls(Sample(5, 43 + static_cast<std::uint64_t>(i), 1.0), 100);
        receiver.Step();
    }
    EXPECT_EQ(engine.transport->FlagsWritten(), answers + 1);
    EXPECT_EQ(engine.transport->LastFlags().echoSequence, 66u);

    // The set-up when it comes.
    SetUpMessage setUp;
    std::strcpy(setUp.setUp.values.configurationName, "REMOTE");
    setUp.setUp.values.tuning[0] = 0.004;
    receiver.OnSetUp(setUp);
    EXPECT_DOUBLE_EQ(GSB::LoadDouble(block.data(), GSB::kPitchSensitivity), 0.004);
    EXPECT_TRUE(AnyContains(Lines(receiver), "set-up received (configuration \"REMOTE\")"));

    // Leaving releases: the receiver is the block's publisher.
    receiver.OnControls(Sample(5, 67, 6.0), 100);
    EXPECT_EQ(Pitch(), 6.0);
    receiver.Stop();
    EXPECT_EQ(Pitch(), 0.0);
}

TEST_F(ReceiverTest, ABlockAttachedAnewGetsTheSetUpBackAndIsReleasedUnlessASenderIsHeard)
{
    SetUpMessage setUp;
    std::strcpy(setUp.setUp.values.configurationName, "REMOTE");
    setUp.setUp.values.tuning[0] = 0.004;
    receiver.OnSetUp(setUp);
    receiver.OnControls(Sample(1, 1, 4.0), 100);

    // Nothing happened to the block: nothing is written.
    GSB::StoreDouble(block.data(), GSB::kPitchSensitivity, 0.5);
    receiver.KeepBlock([] { return false; });
    EXPECT_EQ(GSB::LoadDouble(block.data(), GSB::kPitchSensitivity), 0.5);

    // Attached anew (a repaired block holds zeros): the set-up goes back, and
    // the outputs stay for the next sample while the sender is heard.
    bool keeping = false;
    receiver.KeepBlock([&] {
        keeping = true;
        std::fill(block.bytes.begin() + GSB::kControlSettings, block.bytes.end(), 0);
        GSB::StoreDouble(block.data(), GSB::kPitchOutput, 4.0);
        return true;
    });
    EXPECT_TRUE(keeping);
    EXPECT_DOUBLE_EQ(GSB::LoadDouble(block.data(), GSB::kPitchSensitivity), 0.004);
    EXPECT_EQ(Pitch(), 4.0);

    // With the sender lost, a block attached anew is released as well.
    FakeClock::Advance(NetworkReceiver::kSilenceLimit + kMs);
    receiver.Step();
    receiver.KeepBlock([&] {
        GSB::StoreDouble(block.data(), GSB::kPitchOutput, -7.0);
        return true;
    });
    EXPECT_EQ(Pitch(), 0.0);
    EXPECT_DOUBLE_EQ(GSB::LoadDouble(block.data(), GSB::kPitchSensitivity), 0.004);
}

TEST(NetworkReceiver, StartsFromAReleasedStickWhateverTheBlockHeld)
{
    Block block;
    ControlOutputs left;
    left.pitch = 12.0;
    left.ptt = 1;
    left.thrLvrL = 70.0;
    WriteControlOutputs(block.data(), left);
    FakeEngine engine;
    NetworkReceiver receiver(block.data(), engine.Factory(), FakeClock::Now);
    ASSERT_TRUE(receiver.Start(On()));
    const ControlOutputs now = ReadControlOutputs(block.data());
    EXPECT_EQ(now.pitch, 0.0);
    EXPECT_EQ(now.ptt, 0);
    EXPECT_EQ(now.thrLvrL, 70.0);
}

TEST(NetworkReceiver, AnEngineThatCannotStartIsNamed)
{
    Block block;
    FakeEngine engine;
    engine.refusal = "the peer \"nowhere\" does not resolve";
    NetworkReceiver receiver(block.data(), engine.Factory(), FakeClock::Now);
    EXPECT_FALSE(receiver.Start(On()));
    EXPECT_NE(receiver.FullErrorText().find("the peer \"nowhere\" does not resolve"), std::string::npos);
    NetworkSettings keyed = On();
    keyed.keys = "/nonexistent/tavelin-keys";
    EXPECT_FALSE(receiver.Start(keyed));
    EXPECT_NE(receiver.FullErrorText().find("the key folder cannot be used"), std::string::npos)
        << receiver.FullErrorText();
    EXPECT_EQ(engine.transport, nullptr) << "a bad key folder never reaches the engine";
}

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ControlOutputs outputs;
        outputs.pitch = 2.5;
        outputs.thrLvrR = 30.0;
        outputs.brakeL = 1;
        WriteControlOutputs(block.data(), outputs);
        GSB::StoreText(block.data(), GSB::kConfigurationName, GSB::kConfigurationNameLength, "LOCAL");
        ASSERT_TRUE(link.Start(On())) << link.FullErrorText();
        ASSERT_NE(engine.transport, nullptr);
        EXPECT_EQ(engine.config.role, LinkRole::Sender);
        EXPECT_FALSE(engine.config.secured);
    }

    std::vector<std::string> Notes()
    {
        std::vector<std::string> notes;
        char note[NetworkLink::kNoteLength];
        while (link.TakeNote(note, sizeof note)) {
            notes.push_back(note);
        }
        return notes;
    }

    Block block;
    FakeEngine engine;
    NetworkLink link { engine.Factory(), FakeClock::Now };
};

TEST_F(LinkTest, EachTickSendsItsOutputsAndTheSetUpWhenItChanged)
{
    EXPECT_TRUE(AnyContains(Notes(), "without keys: anybody on the network can publish"));
    link.OnTickPublished(block.data());
    ASSERT_TRUE(testpoll::Until([&] { return engine.transport->ControlsWritten() == 1; }, 2000ms, 1ms));
    ControlsMessage sent = engine.transport->LastControls();
    EXPECT_EQ(sent.sequence, 1u);
    EXPECT_NE(sent.session, 0u);
    EXPECT_EQ(sent.outputs.pitch, 2.5);
    EXPECT_EQ(sent.outputs.brakeL, 1);
    EXPECT_EQ(sent.tickTime, FakeClock::Now());
    ASSERT_TRUE(testpoll::Until([&] { return engine.transport->SetUpsWritten() == 1; }, 2000ms, 1ms));
    EXPECT_STREQ(engine.transport->LastSetUp().setUp.values.configurationName, "LOCAL");

    GSB::StoreDouble(block.data(), GSB::kPitchOutput, -1.0);
    link.OnTickPublished(block.data());
    ASSERT_TRUE(testpoll::Until([&] { return engine.transport->ControlsWritten() == 2; }, 2000ms, 1ms));
    EXPECT_EQ(engine.transport->LastControls().sequence, 2u);
    EXPECT_EQ(engine.transport->LastControls().outputs.pitch, -1.0);
    EXPECT_EQ(engine.transport->SetUpsWritten(), 1) << "an unchanged set-up is not sent again";

    GSB::StoreDouble(block.data(), GSB::kRollDeadBand, 0.75);
    link.OnTickPublished(block.data());
    ASSERT_TRUE(testpoll::Until([&] { return engine.transport->SetUpsWritten() == 2; }, 2000ms, 1ms));
    EXPECT_EQ(engine.transport->LastSetUp().setUp.values.tuning[3], 0.75);

    // Leaving sends a released stick with the thrust levers kept.
    const std::uint64_t session = engine.transport->LastControls().session;
    link.Stop();
    EXPECT_FALSE(link.Running());
    EXPECT_EQ(link.State().status, LinkStatus::Off);
    EXPECT_EQ(engine.lastControls.session, session);
    EXPECT_EQ(engine.lastControls.sequence, 4u);
    EXPECT_EQ(engine.lastControls.outputs.pitch, 0.0);
    EXPECT_EQ(engine.lastControls.outputs.brakeL, 0);
    EXPECT_EQ(engine.lastControls.outputs.thrLvrR, 30.0);
}

TEST_F(LinkTest, TheFlagsComeBackIntoTheBlockAndTheAnswersGiveTheState)
{
    EXPECT_EQ(link.State().status, LinkStatus::NoReceiver);
    link.OnTickPublished(block.data());
    ASSERT_TRUE(testpoll::Until([&] { return engine.transport->ControlsWritten() == 1; }, 2000ms, 1ms));
    const ControlsMessage sent = engine.transport->LastControls();

    FlagsMessage answer;
    answer.flags.gear[0] = 1;
    answer.flags.gear[1] = 1;
    answer.flags.parkBrake[1] = 1;
    answer.echoSession = sent.session;
    answer.echoSequence = sent.sequence;
    answer.echoTickTime = sent.tickTime;
    FakeClock::Advance(3 * kMs / 2);
    engine.handler->OnFlags(answer);
    EXPECT_EQ(GSB::LoadByte(block.data(), GSB::kGearFlag1), 0) << "the block is written in the tick, not by the engine";
    link.OnTickPublished(block.data());
    EXPECT_EQ(GSB::LoadByte(block.data(), GSB::kGearFlag1), 1);
    EXPECT_EQ(GSB::LoadByte(block.data(), GSB::kGearFlag2), 1);
    EXPECT_EQ(GSB::LoadByte(block.data(), GSB::kParkBrakeFlag1), 0);
    EXPECT_EQ(GSB::LoadByte(block.data(), GSB::kParkBrakeFlag2), 1);

    LinkState state = link.State();
    EXPECT_EQ(state.status, LinkStatus::Receiving);
    EXPECT_EQ(state.roundTripMicroseconds, 1500);
    EXPECT_EQ(LinkStateText(state), "receiving, 1.5 ms round trip");
    ASSERT_TRUE(
        testpoll::Until([&] { return AnyContains(Notes(), "a receiver answers (1.5 ms round trip)"); }, 2000ms, 1ms));

    // An answer of another run of the sender (kept by the engine) says nothing of this one.
    FlagsMessage stale = answer;
    stale.echoSession = sent.session + 1;
    stale.echoTickTime = sent.tickTime - 5 * kMs;
    engine.handler->OnFlags(stale);
    EXPECT_EQ(link.State().roundTripMicroseconds, 1500);

    // A local change stays until the simulator changes them again.
    GSB::StoreByte(block.data(), GSB::kGearFlag1, 0);
    engine.handler->OnFlags(answer);
    link.OnTickPublished(block.data());
    EXPECT_EQ(GSB::LoadByte(block.data(), GSB::kGearFlag1), 0);

    FakeClock::Advance(NetworkLink::kAnswerPatience + kMs);
    EXPECT_EQ(link.State().status, LinkStatus::Lost);
    EXPECT_EQ(LinkStateText(link.State()), "lost");
    link.OnTickPublished(block.data());
    ASSERT_TRUE(testpoll::Until([&] { return AnyContains(Notes(), "the receiver no longer answers"); }, 2000ms, 1ms));
}

TEST(NetworkLink, StartsOnlyWhenOnAndSaysWhyNot)
{
    FakeEngine engine;
    NetworkLink link(engine.Factory(), FakeClock::Now);
    EXPECT_TRUE(link.Start(NetworkSettings {}));
    EXPECT_FALSE(link.Running()) << "off by default";
    EXPECT_EQ(engine.transport, nullptr);
    Block block;
    link.OnTickPublished(block.data()); // nothing to do, and no harm

    NetworkSettings keyed = On();
    keyed.keys = "/nonexistent/tavelin-keys";
    EXPECT_FALSE(link.Start(keyed));
    EXPECT_NE(link.FullErrorText().find("/nonexistent/tavelin-keys"), std::string::npos) << link.FullErrorText();
    NetworkSettings wrong = On();
    wrong.domain = 500;
    EXPECT_FALSE(link.Start(wrong));
    EXPECT_NE(link.FullErrorText().find("outside 0 to 232"), std::string::npos) << link.FullErrorText();
    engine.refusal = "no network";
    EXPECT_FALSE(link.Start(On()));
    EXPECT_NE(link.FullErrorText().find("The network link cannot start: no network."), std::string::npos);
    EXPECT_FALSE(link.Running());
}

TEST(NetworkLink, SaysWhetherTheBuildHasTheLink)
{
    const std::string description = NetworkLink::Description();
#ifdef TAVELIN_HAVE_NETWORK
    EXPECT_TRUE(NetworkLink::Available());
    EXPECT_NE(description.find("Eclipse Cyclone DDS 0."), std::string::npos) << description;
#else
    EXPECT_FALSE(NetworkLink::Available());
    EXPECT_NE(description.find("not in this build"), std::string::npos) << description;
    NetworkLink link;
    EXPECT_FALSE(link.Start(On()));
    EXPECT_NE(link.FullErrorText().find("this build has no network link"), std::string::npos);
#endif
}

TEST(EngineLines, SayEachComplaintOnceInAWhileAndNameFailedHandshakes)
{
    EngineLines lines;
    const std::int64_t t = 5'000'000'000;
    const std::string first = lines.Filter("Process handshake failed: 1a2b:3c (code: 200)", t);
    EXPECT_NE(first.find("the key check with another computer failed"), std::string::npos) << first;
    EXPECT_TRUE(lines.Filter("Process handshake failed: 9f8e:77 (code: 200)", t + 1'000'000'000).empty())
        << "the same complaint about another participant";
    EXPECT_FALSE(lines.Filter("udp write failed", t + 2).empty());
    EXPECT_FALSE(lines.Filter("Process handshake failed: 9f8e:77 (code: 200)", t + 31'000'000'000).empty());
    EXPECT_TRUE(lines.Filter("", t).empty());
}

} // namespace

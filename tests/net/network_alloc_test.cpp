// The sending side's tick allocates nothing: the outputs, a changed set-up
// and the flags that came back go through fixed slots, and the link's own
// thread hands them on without allocating either.
#include "fake_transport.h"
#include "mapping/GenericSimBlock.h"
#include "net/NetworkLink.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/poll.h"

#include <gtest/gtest.h>

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

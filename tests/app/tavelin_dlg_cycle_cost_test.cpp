// What a polling cycle costs once the window is running: no allocation, and
// only what changed reaches the window (nothing at all while the sticks rest).
#include "tests/app/main_window_fixture.h"
#include "tests/support/allocation_counter.h"

#include <algorithm>
#include <deque>
#include <string>

namespace {

// Counts the allocations made while `run` runs.
template <class Run> long AllocationsDuring(Run run)
{
    AllocationCounter::Start();
    run();
    return AllocationCounter::Stop();
}

// Four sticks moving every input at once, as the demo's sweep does.
void Sweep(ScriptedDirectInput& input, int step)
{
    for (int j = 0; j < 4; ++j) {
        auto& state = input.joystick(j).state;
        const int phase = (step * 97 + j * 1500) % 20000;
        state.lX = phase - 10000;
        state.lY = 10000 - phase;
        state.lZ = (phase * 3) % 20000 - 10000;
        state.lRx = (phase * 5) % 20000 - 10000;
        state.lRz = (phase * 7) % 20000 - 10000;
        state.rglSlider[0] = phase - 10000;
        state.rglSlider[1] = (phase * 5) % 20000 - 10000;
        state.rgdwPOV[0] = static_cast<std::uint32_t>((step / 10) % 8) * 4500;
        state.rgbButtons[(step / 7) % 16] ^= 0x80;
    }
}

} // namespace

using namespace MainIds;

TEST_F(MainWindowTest, CyclesAfterTheFirstAllocateNothingAndSendOnlyChanges)
{
    for (std::uint32_t i = 0; i < 4; ++i) {
        m_input.AddJoystick(kStickA + i, "Stick", 16);
        m_input.joystick(static_cast<int>(i)).state.rglSlider[0] = 10000; // thrust levers closed and still
        m_input.joystick(static_cast<int>(i)).state.rglSlider[1] = 10000;
    }
    m_input.SetLogging(false);
    Open();
    Tick(3);

    // At rest: the window hears nothing.
    EXPECT_EQ(AllocationsDuring([&] { m_dialog->GetJoySticks()->PollAll(0.01); }), 0) << "PollAll";
    const int calls = m_view->CallCount();
    EXPECT_EQ(AllocationsDuring([&] { Tick(5); }), 0);
    EXPECT_EQ(m_view->CallCount(), calls);
    if (m_view->CallCount() != calls) {
        m_view->recordTouched = true;
        Tick();
        for (std::int32_t id : m_view->touched) {
            ADD_FAILURE() << "sent to control " << id << " while every stick rests: " << m_view->Text(id);
        }
        m_view->recordTouched = false;
    }

    // Moving: the changed readouts, bars and texts, still without allocating.
    auto& state = m_input.joystick(2).state;
    const int xSets = m_view->Control(ReadoutValueId(2, 1)).textSets;
    const int ySets = m_view->Control(ReadoutValueId(2, 2)).textSets;
    long allocations = AllocationsDuring([&] {
        for (int step = 1; step <= 20; ++step) {
            state.lX = 400 * step;
            state.rgbButtons[step % 16] = 0x80;
            m_input.joystick(0).state.lY = -300 * step; // pitch
            Tick();
            state.rgbButtons[step % 16] = 0;
        }
    });
    EXPECT_EQ(allocations, 0);
    // A number changing on every tick is sent once a refresh period.
    const int sent = m_view->Control(ReadoutValueId(2, 1)).textSets - xSets;
    EXPECT_GE(sent, 20 / kNumberCycles);
    EXPECT_LE(sent, 20 / kNumberCycles + 1);
    EXPECT_EQ(m_view->Control(ReadoutValueId(2, 2)).textSets, ySets);
    EXPECT_GT(m_view->Control(kAxisRows[0].progress).progressSets, 0);
    EXPECT_LT(m_view->Control(kAxisRows[0].progress).progress, 50);
    EXPECT_EQ(AllocationsDuring([&] { TickPeriod(); }), 0);
    EXPECT_EQ(m_view->Text(ReadoutValueId(2, 1)), "8000");

    // Once the filters have settled, the window is quiet again.
    Tick(400);
    const int settled = m_view->CallCount();
    Tick(3);
    EXPECT_EQ(m_view->CallCount(), settled);

    // A row waiting for movement, the highlight coming and going, and the
    // detection's end cost no allocation either.
    m_view->Click(AxisDetectId(3));
    ASSERT_TRUE(m_dialog->Detecting());
    allocations = AllocationsDuring([&] {
        for (int step = 1; step <= 20; ++step) {
            state.lZ = 150 * step; // under a fifth of the range
            Tick();
        }
        state.lZ = 9000;
        Tick();
    });
    EXPECT_EQ(allocations, 0);
    EXPECT_FALSE(m_dialog->Detecting());
    EXPECT_EQ(m_view->Control(kAxisRows[3].inputCombo).selection, 2);
    EXPECT_EQ(m_view->Control(kAxisRows[3].joystickCombo).selection, 2);
    EXPECT_TRUE(m_view->Control(ReadoutValueId(2, 3)).highlighted);
}

TEST_F(MainWindowTest, SweepingSticksArePacedFreshAndAllocateNothing)
{
    for (std::uint32_t i = 0; i < 4; ++i) {
        m_input.AddJoystick(kStickA + i, "Stick", 16);
    }
    m_input.SetLogging(false);
    Open();
    TickPeriod();

    // Whatever the window shows was true within one refresh period: the last
    // kNumberCycles values of a readout, of a bar the last kFrameCycles.
    const std::int32_t readout = ReadoutValueId(1, 1);
    const RecordedControl& bar = m_view->Control(kAxisRows[1].progress); // roll: slot 0, X
    std::deque<std::string> recentTexts;
    std::deque<int> recentBars;
    const int readoutSets = m_view->Control(readout).textSets;
    const int barSets = bar.progressSets;
    constexpr int kTicks = 300;
    long allocations = 0;
    int stale = 0;
    for (int step = 1; step <= kTicks; ++step) {
        Sweep(m_input, step);
        allocations += AllocationsDuring([&] { Tick(); });
        recentTexts.push_back(std::to_string(m_input.joystick(1).state.lX));
        if (recentTexts.size() > static_cast<std::size_t>(kNumberCycles)) {
            recentTexts.pop_front();
        }
        const double roll = Double(GenericSimBlock::kRollOutput);
        recentBars.push_back(static_cast<int>(std::clamp((roll + 25.0) / 50.0 * 100.0, 0.0, 100.0)));
        if (recentBars.size() > static_cast<std::size_t>(kFrameCycles)) {
            recentBars.pop_front();
        }
        if (std::find(recentTexts.begin(), recentTexts.end(), m_view->Text(readout)) == recentTexts.end()
            || std::find(recentBars.begin(), recentBars.end(), bar.progress) == recentBars.end()) {
            ++stale;
        }
    }
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(stale, 0) << "ticks on which the window showed something older than one period";
    const int textsSent = m_view->Control(readout).textSets - readoutSets;
    EXPECT_LE(textsSent, kTicks / kNumberCycles + 1);
    EXPECT_GE(textsSent, kTicks / kNumberCycles - 1);
    const int barsSent = bar.progressSets - barSets;
    EXPECT_LE(barsSent, kTicks / kFrameCycles + 1);
    EXPECT_GT(barsSent, kTicks / kNumberCycles);
}

TEST_F(MainWindowTest, HiddenWindowHearsNothingWhilePublishingGoesOn)
{
    for (std::uint32_t i = 0; i < 4; ++i) {
        m_input.AddJoystick(kStickA + i, "Stick", 16);
    }
    m_input.SetLogging(false);
    Open();
    TickPeriod();

    m_view->SetVisible(false);
    EXPECT_FALSE(m_dialog->WindowVisible());
    const int calls = m_view->CallCount();
    const int cycles = m_dialog->GetCycleCount();
    double lowestRoll = 100.0;
    double highestRoll = -100.0;
    long allocations = 0;
    for (int step = 1; step <= 200; ++step) {
        Sweep(m_input, step);
        allocations += AllocationsDuring([&] { Tick(); });
        lowestRoll = std::min(lowestRoll, Double(GenericSimBlock::kRollOutput));
        highestRoll = std::max(highestRoll, Double(GenericSimBlock::kRollOutput));
    }
    EXPECT_EQ(m_view->CallCount(), calls) << "nothing is sent to a window nobody sees";
    EXPECT_EQ(allocations, 0);
    EXPECT_EQ(m_dialog->GetCycleCount(), cycles + 200);
    EXPECT_LT(lowestRoll, -10.0) << "the block is published on every tick all the same";
    EXPECT_GT(highestRoll, 10.0);

    // Shown again: everything up to date at once, before the next tick.
    m_input.joystick(3).state.rgbButtons[0] = 0x80;
    m_input.joystick(3).state.lZ = 1234;
    Tick(); // taken while still hidden
    EXPECT_EQ(m_view->CallCount(), calls);
    m_view->SetVisible(true);
    EXPECT_GT(m_view->CallCount(), calls);
    for (int slot = 0; slot < 4; ++slot) {
        const JoystickState& state = m_dialog->GetSlotState(slot);
        EXPECT_EQ(m_view->Text(ReadoutValueId(slot, 1)), std::to_string(state.axes[0])) << slot;
        EXPECT_EQ(m_view->Text(ReadoutValueId(slot, 9)), std::to_string(state.pov[0])) << slot;
    }
    EXPECT_EQ(m_view->Text(ReadoutValueId(3, 3)), "1234");
    EXPECT_EQ(m_view->Text(ReadoutValueId(3, 11)), std::to_string(m_dialog->GetFirstButton(3)));
    const double roll = Double(GenericSimBlock::kRollOutput);
    EXPECT_EQ(m_view->Control(kAxisRows[1].progress).progress,
        static_cast<int>(std::clamp((roll + 25.0) / 50.0 * 100.0, 0.0, 100.0)));
    char expected[32];
    std::snprintf(expected, sizeof expected, "%7.3f Deg", roll);
    EXPECT_EQ(m_view->Text(kAxisRows[1].valueText), expected);

    // And it is paced as before: the next tick brings nothing new yet.
    const int shown = m_view->CallCount();
    Tick();
    EXPECT_EQ(m_view->CallCount(), shown);
}

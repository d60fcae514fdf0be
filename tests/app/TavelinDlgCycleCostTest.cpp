// What a polling cycle costs once the window is running: no allocation, and
// only what changed reaches the window (nothing at all while the sticks rest).
#include "tests/app/MainWindowFixture.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> g_counting { false };
std::atomic<long> g_allocations { 0 };

void* Allocate(std::size_t size)
{
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

// Counts the allocations made while `run` runs.
template <class Run> long AllocationsDuring(Run run)
{
    g_allocations = 0;
    g_counting = true;
    run();
    g_counting = false;
    return g_allocations.load();
}

} // namespace

void* operator new(std::size_t size)
{
    return Allocate(size);
}
void* operator new[](std::size_t size)
{
    return Allocate(size);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

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
    EXPECT_EQ(m_view->Text(ReadoutValueId(2, 1)), "8000");
    EXPECT_EQ(m_view->Control(ReadoutValueId(2, 1)).textSets, xSets + 20);
    EXPECT_EQ(m_view->Control(ReadoutValueId(2, 2)).textSets, ySets);
    EXPECT_GT(m_view->Control(kAxisRows[0].progress).progressSets, 0);
    EXPECT_LT(m_view->Control(kAxisRows[0].progress).progress, 50);

    // Once the filters have settled, the window is quiet again.
    Tick(400);
    const int settled = m_view->CallCount();
    Tick(3);
    EXPECT_EQ(m_view->CallCount(), settled);
}

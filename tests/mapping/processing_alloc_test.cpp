// The per-cycle processing allocates nothing: every global operator new is
// replaced by one that counts while counting is switched on.
#include "tests/mapping/processor_fixture.h"

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
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment)
{
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = ((size == 0 ? 1 : size) + align - 1) / align * align;
#if defined(_WIN32)
    void* memory = _aligned_malloc(rounded, align);
#else
    void* memory = std::aligned_alloc(align, rounded);
#endif
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void ReleaseAligned(void* memory)
{
#if defined(_WIN32)
    _aligned_free(memory);
#else
    std::free(memory);
#endif
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
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t alignment)
{
    return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return AllocateAligned(size, alignment);
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
void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept
{
    ReleaseAligned(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept
{
    ReleaseAligned(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept
{
    ReleaseAligned(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept
{
    ReleaseAligned(memory);
}

using ProcessorTest::kJoystickIds;
using ProcessorTest::ProcessorFixture;

TEST_F(ProcessorFixture, CyclesAllocateNothingEvenWhileResolvingAndWarning)
{
    // The counter itself works.
    g_counting = true;
    delete new int(5);
    g_counting = false;
    ASSERT_EQ(g_allocations.load(), 1);
    g_allocations = 0;

    // Every control assigned, some to joysticks that are not there, so that
    // resolutions run and queue warnings during the counted cycles.
    const std::int32_t axes[] = { AxisPitch, AxisRoll, AxisPedals, AxisTiller, AxisThrLvrL, AxisThrLvrR };
    for (int i = 0; i < 6; ++i) {
        processor.SetAxisAssignment(
            axes[i], i % 4, i == 2 ? 0x0BAD : static_cast<std::int32_t>(kJoystickIds[i % 4]), i);
    }
    processor.SetEyeViewJoystick(0, static_cast<std::int32_t>(kJoystickIds[1]));
    processor.SetEyeViewInput(1);
    for (int button = 0; button < kCockpitButtonCount; ++button) {
        processor.SetButtonAssignment(
            button, button % 4, 1 + button, static_cast<std::int32_t>(kJoystickIds[button % 4]));
    }
    GenericSimBlock::StoreDouble(block, GenericSimBlock::kPitchSensitivity, 0.002);
    GenericSimBlock::StoreDouble(block, GenericSimBlock::kThrLvrLSensitivity, 1.0);

    g_counting = true;
    for (int cycle = 0; cycle < 20000; ++cycle) {
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            states[slot].axes[slot] = (cycle * 37 + slot * 1000) % 20001 - 10000;
            states[slot].buttons[cycle % 32] = static_cast<std::uint8_t>(cycle & 1);
        }
        if (cycle % 1000 == 0) {
            processor.ResetCycleCount();
        }
        Cycle(1 + (cycle / 100) % 4);
    }
    g_counting = false;
    EXPECT_EQ(g_allocations.load(), 0);
    EXPECT_TRUE(processor.HasWarnings()); // the counted cycles did resolve and warn
}

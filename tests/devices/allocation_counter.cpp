// Replaced global operator new and delete that count while asked to.
#include "tests/devices/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> g_counting { false };
std::atomic<int> g_allocations { 0 };

void* AllocateOrNull(std::size_t size) noexcept
{
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
    return std::malloc(size == 0 ? 1 : size);
}

void* Allocate(std::size_t size)
{
    void* memory = AllocateOrNull(size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void Free(void* memory)
{
    std::free(memory);
}

} // namespace

namespace AllocationCounter {

void Start()
{
    g_allocations = 0;
    g_counting = true;
}

int Stop()
{
    g_counting = false;
    return g_allocations.load();
}

} // namespace AllocationCounter

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
    Free(memory);
}
void operator delete[](void* memory) noexcept
{
    Free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    Free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    Free(memory);
}
// The non-throwing forms too, or their blocks would come from another allocator.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return AllocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return AllocateOrNull(size);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    Free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept
{
    Free(memory);
}

// Replaced global operator new and delete that count while asked to: every
// form (plain, array, non-throwing, aligned), or blocks of the forms left out
// would come from another allocator and be freed by this one.
#include "tests/support/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> g_counting { false };
std::atomic<int> g_allocations { 0 };

void Count() noexcept
{
    if (g_counting.load(std::memory_order_relaxed)) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
}

void* AllocateOrNull(std::size_t size) noexcept
{
    Count();
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

void Free(void* memory) noexcept
{
    std::free(memory);
}

void* AllocateAlignedOrNull(std::size_t size, std::align_val_t alignment) noexcept
{
    Count();
    const auto align = static_cast<std::size_t>(alignment);
    const std::size_t rounded = ((size == 0 ? 1 : size) + align - 1) / align * align;
#if defined(_WIN32)
    return _aligned_malloc(rounded, align);
#else
    return std::aligned_alloc(align, rounded);
#endif
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment)
{
    void* memory = AllocateAlignedOrNull(size, alignment);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void FreeAligned(void* memory) noexcept
{
#if defined(_WIN32)
    _aligned_free(memory);
#else
    std::free(memory);
#endif
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
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return AllocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return AllocateOrNull(size);
}
void* operator new(std::size_t size, std::align_val_t alignment)
{
    return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return AllocateAligned(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return AllocateAlignedOrNull(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return AllocateAlignedOrNull(size, alignment);
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
void operator delete(void* memory, const std::nothrow_t&) noexcept
{
    Free(memory);
}
void operator delete[](void* memory, const std::nothrow_t&) noexcept
{
    Free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept
{
    FreeAligned(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept
{
    FreeAligned(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept
{
    FreeAligned(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept
{
    FreeAligned(memory);
}
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept
{
    FreeAligned(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept
{
    FreeAligned(memory);
}

#include "support/CloseRequest.h"

#include <atomic>

namespace {

// A signal handler may only touch a lock-free atomic.
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<bool> g_noted { false };

} // namespace

namespace CloseRequest {

void Note()
{
    g_noted.store(true, std::memory_order_relaxed);
}

bool Noted()
{
    return g_noted.load(std::memory_order_relaxed);
}

void Clear()
{
    g_noted.store(false, std::memory_order_relaxed);
}

} // namespace CloseRequest

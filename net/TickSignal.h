// How the tick wakes the link's thread without ever waiting itself: a count
// it raises, and the thread waits for the count to move. C++20's atomic wait
// (a futex on Linux, WaitOnAddress with Microsoft's library); libstdc++ 12
// without futexes (mingw) can miss a notification, so there the thread looks
// again every millisecond instead.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

class TickSignal {
public:
    void Raise()
    {
        m_count.fetch_add(1, std::memory_order_release);
        m_count.notify_one();
    }

    // Returns once the count is no longer `seen`, with the count.
    std::uint32_t Wait(std::uint32_t seen)
    {
#if defined(__GLIBCXX__) && !defined(__linux__)
        while (m_count.load(std::memory_order_acquire) == seen) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
#else
        m_count.wait(seen, std::memory_order_acquire);
#endif
        return m_count.load(std::memory_order_acquire);
    }

private:
    std::atomic<std::uint32_t> m_count { 0 };
};

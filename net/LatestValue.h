// A value handed from one thread to another without either ever waiting:
// three slots, one being written, one being read, one in between. The
// writer fills Back() and Publishes it; the reader Takes the newest one,
// if there is one it has not seen, and reads Front(). Values in between are
// skipped, which is right for "the latest outputs". One writer, one reader.
#pragma once

#include <atomic>

template <class T> class LatestValue {
public:
    T& Back() { return m_slots[m_back]; }
    void Publish()
    {
        const unsigned previous = m_middle.exchange(m_back | kFresh, std::memory_order_acq_rel);
        m_back = previous & kIndex;
    }

    bool Take()
    {
        if ((m_middle.load(std::memory_order_acquire) & kFresh) == 0) {
            return false;
        }
        const unsigned previous = m_middle.exchange(m_front, std::memory_order_acq_rel);
        m_front = previous & kIndex;
        return true;
    }
    const T& Front() const { return m_slots[m_front]; }

private:
    static constexpr unsigned kIndex = 3;
    static constexpr unsigned kFresh = 4;
    T m_slots[3] = {};
    std::atomic<unsigned> m_middle { 1 };
    unsigned m_back = 0; // the writer's
    unsigned m_front = 2; // the reader's
};

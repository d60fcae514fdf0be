// Whether a value moved by more than a fiftieth (2 %) of its range within the
// last half second: the lowest and highest reading of each 50 ms of that
// half second, kept in fixed storage so that 120 readouts cost each cycle a
// few comparisons and no allocation.
#pragma once

#include <cstdint>

class MovementWindow {
public:
    static constexpr std::int64_t kWindowMs = 500;
    static constexpr std::int64_t kBucketMs = 50;
    static constexpr int kBuckets = static_cast<int>(kWindowMs / kBucketMs);
    static constexpr std::int64_t kRangeDivisor = 50;

    // Takes the reading at `nowMs` (never earlier than the last one) and
    // answers whether the window's readings span more than range / 50.
    bool Feed(std::int64_t value, std::int64_t nowMs, std::int64_t range)
    {
        const std::int64_t bucket = nowMs / kBucketMs;
        const int index = static_cast<int>(((bucket % kBuckets) + kBuckets) % kBuckets);
        if (!m_used[index] || m_bucket[index] != bucket) {
            m_used[index] = true;
            m_bucket[index] = bucket;
            m_low[index] = value;
            m_high[index] = value;
        } else if (value < m_low[index]) {
            m_low[index] = value;
        } else if (value > m_high[index]) {
            m_high[index] = value;
        }
        std::int64_t low = value;
        std::int64_t high = value;
        for (int i = 0; i < kBuckets; ++i) {
            if (m_used[i] && bucket - m_bucket[i] < kBuckets) {
                low = m_low[i] < low ? m_low[i] : low;
                high = m_high[i] > high ? m_high[i] : high;
            }
        }
        return (high - low) * kRangeDivisor > range;
    }

    void Reset()
    {
        for (bool& used : m_used) {
            used = false;
        }
    }

private:
    bool m_used[kBuckets] = {};
    std::int64_t m_bucket[kBuckets] = {};
    std::int64_t m_low[kBuckets] = {};
    std::int64_t m_high[kBuckets] = {};
};

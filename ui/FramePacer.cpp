#include "ui/FramePacer.h"

#include <algorithm>

void FramePacer::TimerStarted(std::int32_t id, int periodMs)
{
    if (periodMs <= 0) {
        return;
    }
    for (int i = 0; i < m_timerCount; ++i) {
        if (m_timers[i].id == id) {
            // Started again: the new period.
            m_timers[i].periodMs = periodMs;
            ChooseFastest();
            return;
        }
    }
    if (m_timerCount == kMaxTimers) {
        return; // beyond any window's use; those ticks bring no frames
    }
    m_timers[m_timerCount++] = { id, periodMs };
    ChooseFastest();
}

void FramePacer::TimerStopped(std::int32_t id)
{
    for (int i = 0; i < m_timerCount; ++i) {
        if (m_timers[i].id == id) {
            m_timers[i] = m_timers[m_timerCount - 1];
            --m_timerCount;
            ChooseFastest();
            return;
        }
    }
}

void FramePacer::ChooseFastest()
{
    if (m_timerCount == 0) {
        return;
    }
    const Timer* fastest = &m_timers[0];
    for (int i = 1; i < m_timerCount; ++i) {
        if (m_timers[i].periodMs < fastest->periodMs) {
            fastest = &m_timers[i];
        }
    }
    m_pacingTimer = fastest->id;
    m_frameTicks = std::max(1, FrameTicksFor(fastest->periodMs));
    m_numberTicks = NumberTicksFor(fastest->periodMs);
    m_sinceFrame = std::min(m_sinceFrame, m_frameTicks);
    m_sinceNumbers = std::min(m_sinceNumbers, m_numberTicks);
}

FramePacer::Frame FramePacer::AfterTick(std::int32_t id, bool visible)
{
    Frame frame;
    if (m_timerCount == 0 || id != m_pacingTimer) {
        return frame;
    }
    m_ticked = true;
    m_sinceFrame = std::min(m_sinceFrame + 1, m_frameTicks);
    m_sinceNumbers = std::min(m_sinceNumbers + 1, m_numberTicks);
    frame.due = visible && m_sinceFrame >= m_frameTicks;
    frame.numbers = frame.due && m_sinceNumbers >= m_numberTicks;
    if (frame.due) {
        m_sinceFrame = 0;
    }
    if (frame.numbers) {
        m_sinceNumbers = 0;
    }
    return frame;
}

void FramePacer::RequestFull()
{
    m_sinceFrame = m_frameTicks;
    m_sinceNumbers = m_numberTicks;
}

void FramePacer::Restart()
{
    m_sinceFrame = 0;
    m_sinceNumbers = 0;
}

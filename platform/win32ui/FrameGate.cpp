#include "platform/win32ui/FrameGate.h"

void FrameGate::Attach(HWND window, UINT_PTR timerId, int periodMs, std::function<void()> flush)
{
    m_window = window;
    m_timerId = timerId;
    m_periodMs = periodMs;
    m_flush = std::move(flush);
}

bool FrameGate::Due() const
{
    const auto elapsed
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_lastFlush);
    return !m_flushedOnce || elapsed.count() >= m_periodMs;
}

void FrameGate::SetTimerForRest()
{
    const auto elapsed
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_lastFlush);
    const long long rest = m_periodMs - elapsed.count();
    if (SetTimer(m_window, m_timerId, static_cast<UINT>(rest > 0 ? rest : 1), nullptr) != 0) {
        m_timerSet = true;
    } else {
        Flush(); // no timer to wait with: better drawn now than never
    }
}

void FrameGate::Request()
{
    if (m_armed || m_window == nullptr) {
        return;
    }
    if (Due()) {
        Flush();
        return;
    }
    m_armed = true;
    if (!m_heartbeat) {
        SetTimerForRest();
    }
}

void FrameGate::SetHeartbeat(bool beating)
{
    m_heartbeat = beating;
    if (!beating && m_armed && !m_timerSet && m_window != nullptr) {
        SetTimerForRest();
    }
}

void FrameGate::Beat()
{
    if (m_armed && Due()) {
        Flush();
    }
}

bool FrameGate::OnTimer(UINT_PTR id)
{
    if (id != m_timerId || m_window == nullptr) {
        return false;
    }
    if (m_armed) {
        Flush();
    } else if (m_timerSet) {
        KillTimer(m_window, m_timerId);
        m_timerSet = false;
    }
    return true;
}

void FrameGate::Detach()
{
    if (m_window != nullptr && m_timerSet) {
        KillTimer(m_window, m_timerId);
    }
    m_timerSet = false;
    m_armed = false;
    m_window = nullptr;
    m_flush = nullptr;
}

void FrameGate::Flush()
{
    if (m_timerSet) {
        KillTimer(m_window, m_timerId);
        m_timerSet = false;
    }
    m_armed = false;
    m_lastFlush = std::chrono::steady_clock::now();
    m_flushedOnce = true;
    if (m_flush) {
        m_flush();
    }
}

#include "platform/win32ui/FrameGate.h"

void FrameGate::Attach(HWND window, UINT_PTR timerId, int periodMs, std::function<void()> flush)
{
    m_window = window;
    m_timerId = timerId;
    m_periodMs = periodMs;
    m_flush = std::move(flush);
}

void FrameGate::Request()
{
    if (m_armed || m_window == nullptr) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastFlush).count();
    if (!m_flushedOnce || elapsed >= m_periodMs) {
        Flush();
        return;
    }
    if (SetTimer(m_window, m_timerId, static_cast<UINT>(m_periodMs - elapsed), nullptr) != 0) {
        m_armed = true;
    } else {
        Flush(); // no timer to wait with: better drawn now than never
    }
}

bool FrameGate::OnTimer(UINT_PTR id)
{
    if (id != m_timerId || m_window == nullptr) {
        return false;
    }
    KillTimer(m_window, m_timerId);
    m_armed = false;
    Flush();
    return true;
}

void FrameGate::Detach()
{
    if (m_window != nullptr && m_armed) {
        KillTimer(m_window, m_timerId);
    }
    m_armed = false;
    m_window = nullptr;
    m_flush = nullptr;
}

void FrameGate::Flush()
{
    m_lastFlush = std::chrono::steady_clock::now();
    m_flushedOnce = true;
    if (m_flush) {
        m_flush();
    }
}

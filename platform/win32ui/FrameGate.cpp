#include "platform/win32ui/FrameGate.h"

void FrameGate::Attach(HWND window, std::function<void()> flush)
{
    m_window = window;
    m_flush = std::move(flush);
}

void FrameGate::Request()
{
    if (m_armed || m_window == nullptr) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_lastFlush).count();
    if (!m_flushedOnce || elapsed >= kFrameMs) {
        Flush();
        return;
    }
    if (SetTimer(m_window, kTimerId, static_cast<UINT>(kFrameMs - elapsed), nullptr) != 0) {
        m_armed = true;
    } else {
        Flush(); // no timer to wait with: better drawn now than never
    }
}

bool FrameGate::OnTimer(UINT_PTR id)
{
    if (id != kTimerId) {
        return false;
    }
    KillTimer(m_window, kTimerId);
    m_armed = false;
    Flush();
    return true;
}

void FrameGate::Detach()
{
    if (m_window != nullptr && m_armed) {
        KillTimer(m_window, kTimerId);
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

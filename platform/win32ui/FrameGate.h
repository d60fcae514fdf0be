// Paces repaints of fast-changing values to at most one per period (a screen
// frame, 16 ms, for bars; 50 ms for numbers, about as fast as the eye reads
// them): a value changed now is on screen at the latest a period later. It
// borrows a timer of the dialog window for the wait.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

class FrameGate {
public:
    static constexpr int kFrameMs = 16;
    static constexpr int kNumberMs = 50;
    // Above the 16-bit range that template control and presenter timer ids use.
    static constexpr UINT_PTR kFirstTimerId = 0x54A71001;

    void Attach(HWND window, UINT_PTR timerId, int periodMs, std::function<void()> flush);
    // Runs the flush now or, if a frame was drawn less than a frame ago, once
    // that frame has passed. Requests in between are merged.
    void Request();
    // WM_TIMER: true when the tick was the gate's own.
    bool OnTimer(UINT_PTR id);
    // While the window has a fast timer of its own, its ticks drive the gate
    // (Beat after each) and the gate needs no timer: no timer set and killed
    // on every turn.
    void SetHeartbeat(bool beating);
    void Beat();
    void Detach();

private:
    void Flush();
    bool Due() const;
    void SetTimerForRest();

    HWND m_window = nullptr;
    UINT_PTR m_timerId = kFirstTimerId;
    int m_periodMs = kFrameMs;
    std::function<void()> m_flush;
    std::chrono::steady_clock::time_point m_lastFlush {};
    bool m_flushedOnce = false;
    bool m_armed = false; // a flush is due once the period has passed
    bool m_timerSet = false;
    bool m_heartbeat = false;
};

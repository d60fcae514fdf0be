// FramePacer: when a window's presenter is given a frame. Frames follow the
// window's fastest timer: as often as a 60 Hz screen can show them (with the
// 8 ms cycle every third tick, 24 ms: every second tick would be 62.5 Hz),
// numbers on every other frame (48 ms, about 20 a second, as fast as anybody
// reads them). A hidden window gets no frames. No allocation: it runs every tick.
#pragma once

#include <cstdint>

class FramePacer {
public:
    static constexpr int kScreenHz = 60;
    static constexpr int kMaxTimers = 8;

    struct Frame {
        bool due = false;
        bool numbers = false; // the numbers' turn too
    };

    // The fewest ticks of a `periodMs` timer that are at least a screen
    // frame long, and the numbers' turn (every other frame).
    static constexpr int FrameTicksFor(int periodMs)
    {
        return periodMs <= 0 ? 1 : (1000 + kScreenHz * periodMs - 1) / (kScreenHz * periodMs);
    }
    static constexpr int NumberTicksFor(int periodMs) { return 2 * FrameTicksFor(periodMs); }

    // The window's timers; frames count the ticks of the fastest.
    void TimerStarted(std::int32_t id, int periodMs);
    void TimerStopped(std::int32_t id);
    // A tick of timer `id` has been handled: the frame it brings, if any.
    Frame AfterTick(std::int32_t id, bool visible);
    // Something must be seen at once: the next tick brings a frame with numbers.
    void RequestFull();
    // The window was shown again and has just been given a whole frame:
    // counting starts afresh from it.
    void Restart();
    // Whether a tick has counted yet: before it there is nothing to show,
    // and the first tick brings the whole frame.
    bool Ticked() const { return m_ticked; }

    // Ticks of the fastest timer per frame and per numbers' turn.
    int FrameTicks() const { return m_frameTicks; }
    int NumberTicks() const { return m_numberTicks; }
    // The timer whose ticks count (meaningful while HasTimer()).
    std::int32_t PacingTimer() const { return m_pacingTimer; }
    bool HasTimer() const { return m_timerCount > 0; }

private:
    void ChooseFastest();

    struct Timer {
        std::int32_t id = 0;
        int periodMs = 0;
    };
    Timer m_timers[kMaxTimers] = {};
    int m_timerCount = 0;
    bool m_ticked = false;
    std::int32_t m_pacingTimer = 0;
    int m_frameTicks = 1;
    int m_numberTicks = 2;
    // Ticks since the last frame and numbers, held at their due count: the
    // first tick, and the first after a full request, is due.
    static constexpr int kDue = 1 << 20;
    int m_sinceFrame = kDue;
    int m_sinceNumbers = kDue;
};

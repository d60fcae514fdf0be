// WindowSession: the life of one open dialog window, the same whatever draws
// it. Every renderer of the window seam (Qt, Win32, the recording fake) owns
// one per open dialog, hands it the toolkit's events and lets it decide what
// reaches the presenter and when: the lifecycle, close requests from outside
// and from the user, a close that waits behind a box or child dialog, which
// events may still arrive, and the window's frames (FramePacer: the one owner
// of pacing). What is truly the renderer's own it asks of its SessionHost.
#pragma once

#include "ui/DialogView.h"
#include "ui/FramePacer.h"

#include <cstdint>

// What a session asks of the renderer that owns it.
class SessionHost {
public:
    virtual ~SessionHost() = default;
    // Calls WindowSession::DeliverPendingClose() once the handler running now
    // has returned to the window's loop (a posted event), never from inside
    // this call.
    virtual void PostPendingClose() = 0;
    // Answers every message box this window shows right now: a question
    // with Cancel, any other box with OK.
    virtual void AnswerOpenBoxes() = 0;
    // Leaves the window's modal loop with `result` once the running handler
    // has returned.
    virtual void LeaveModalLoop(int result) = 0;
    // After every event delivered to the presenter: what it changed goes to
    // the screen together (one repaint).
    virtual void AfterEvent() { }
};

class WindowSession {
public:
    enum class State {
        Built, // the window exists; the presenter is not bound yet
        Initialising, // OnInitDialog runs
        Running, // events are delivered
        Ending, // the presenter ended the window; its loop has yet to return
        Finished, // OnDestroy was delivered (Finish unbinds the presenter)
    };
    enum class DialogKey { Enter, Escape };

    WindowSession(DialogPresenter& presenter, SessionHost& host, WindowSession* parent = nullptr);
    ~WindowSession();
    WindowSession(const WindowSession&) = delete;
    WindowSession& operator=(const WindowSession&) = delete;

    // Binds the presenter to `view` and runs its initialisation (a nested
    // loop for the close rules: a close request meanwhile waits for its end).
    // Returns what OnInitDialog answered; Ended() tells whether it ended the window.
    bool Open(DialogView& view);
    // After the modal loop: OnDestroy once, then the presenter is unbound. Idempotent.
    void Finish();
    // The presenter's EndDialog: the first result counts.
    void End(int result);
    // The process may end as soon as the running handler returns (the
    // system's session ends): the close request goes out, its OnClose is
    // delivered now unless a nested loop holds it back, OnDestroy follows at
    // once and the window leaves its loop (with Cancel unless the presenter
    // ended it). The presenter stays bound, for a handler still running under
    // a box, until Finish.
    void EndAtOnce();

    State GetState() const { return m_state; }
    // Events may reach the presenter: bound, and not ended.
    bool Live() const { return m_state == State::Initialising || m_state == State::Running; }
    bool Ended() const { return m_state == State::Ending || m_state == State::Finished; }
    int Result() const { return m_result; }
    DialogPresenter& Presenter() const { return m_presenter; }
    WindowSession* Parent() const { return m_parent; }

    // Nested loops of this window (its initialisation, message boxes, the
    // system menu, child dialogs): a close request waits until none runs.
    void EnterNested() { ++m_nested; }
    void LeaveNested();
    int Nested() const { return m_nested; }
    // One nested loop for as long as it lives (a box, a menu).
    class NestedLoop {
    public:
        explicit NestedLoop(WindowSession& session)
            : m_session(session)
        {
            m_session.EnterNested();
        }
        ~NestedLoop() { m_session.LeaveNested(); }
        NestedLoop(const NestedLoop&) = delete;
        NestedLoop& operator=(const NestedLoop&) = delete;

    private:
        WindowSession& m_session;
    };
    // The child dialog running right now, for close requests to reach it.
    void SetOpenChild(WindowSession* child) { m_child = child; }
    WindowSession* OpenChild() const { return m_child; }
    // Runs a child dialog's modal loop (`run()`, which returns its result) as
    // a nested loop of this window, with `child` open for close requests.
    template <typename Run> int RunChild(WindowSession& child, Run&& run)
    {
        WindowSession* outer = m_child;
        m_child = &child;
        EnterNested();
        const int result = run();
        m_child = outer;
        LeaveNested();
        return result;
    }

    // A way out taken from outside (a signal, the session ending): the
    // presenter hears OnCloseRequested at once; an open child dialog is
    // cancelled, open boxes are answered, and OnClose (a child: OnCancel and
    // the end with Cancel) follows once no nested loop of this window runs.
    void RequestClose();
    // A close request waits here or in a window below: boxes asked now are
    // answered at once (a question with Cancel).
    bool ClosePending() const;
    // The host's posted call (see SessionHost::PostPendingClose).
    void DeliverPendingClose();

    // The toolkit's events, delivered while Live().
    void DeliverCommand(std::int32_t id);
    // Enter where no control takes it: the default button (OK), only for a
    // presenter that ends on dialog keys; Escape: Cancel, for every window.
    void DeliverDialogKey(DialogKey key);
    // The window's close box.
    void DeliverClose();
    // A system menu command; the close command, unless the presenter handles
    // it, goes the close box's way. False when neither took it (the toolkit's
    // own handling follows: move, size, minimise).
    bool DeliverSystemCommand(unsigned command);
    void DeliverSelection(std::int32_t id, int position);
    // The presenter's answer (non-zero refuses the change); -1 when not delivered.
    int DeliverSpin(std::int32_t id, int delta);
    void DeliverEditChange(std::int32_t id);
    void DeliverCurvePointDrag(std::int32_t id, int point, double x, double y);
    // A tick of one of the presenter's timers, and the frame it brings.
    void DeliverTimer(std::int32_t id);
    // Whether anybody can see the window; only a change is delivered. Shown
    // again, the presenter gets one whole frame at once.
    void DeliverVisibility(bool visible);
    void DeliverDevicesChanged();
    bool Visible() const { return m_visible; }

    // Pacing: the renderer reports the timers it runs for the presenter.
    void TimerStarted(std::int32_t id, int periodMs) { m_pacer.TimerStarted(id, periodMs); }
    void TimerStopped(std::int32_t id) { m_pacer.TimerStopped(id); }
    // DialogView::RequestFullFrame.
    void RequestFullFrame() { m_pacer.RequestFull(); }
    const FramePacer& Pacer() const { return m_pacer; }

private:
    void AfterEvent();

    DialogPresenter& m_presenter;
    SessionHost& m_host;
    DialogView* m_view = nullptr; // bound by Open, until Finish
    WindowSession* m_parent;
    WindowSession* m_child = nullptr;
    State m_state = State::Built;
    int m_result = kIdCancel;
    int m_nested = 0;
    bool m_closePending = false;
    bool m_visible = true; // taken as visible until told otherwise
    FramePacer m_pacer;
};

#include "ui/WindowSession.h"

WindowSession::WindowSession(DialogPresenter& presenter, SessionHost& host, WindowSession* parent)
    : m_presenter(presenter)
    , m_host(host)
    , m_parent(parent)
{
}

WindowSession::~WindowSession()
{
    Finish();
}

bool WindowSession::Open(DialogView& view)
{
    if (m_state != State::Built) {
        return false;
    }
    m_view = &view;
    m_presenter.BindView(&view);
    m_state = State::Initialising;
    EnterNested();
    const bool result = m_presenter.OnInitDialog();
    if (m_state == State::Initialising) {
        m_state = State::Running;
    }
    LeaveNested();
    m_host.AfterEvent();
    return result;
}

void WindowSession::Finish()
{
    if (m_state == State::Built) {
        return;
    }
    if (m_state != State::Finished) {
        m_state = State::Finished;
        m_presenter.OnDestroy();
    }
    if (m_view != nullptr) {
        m_view = nullptr;
        m_presenter.BindView(nullptr);
    }
}

void WindowSession::EndAtOnce()
{
    if (m_state == State::Built || m_state == State::Finished) {
        return;
    }
    RequestClose();
    DeliverPendingClose();
    if (Live()) {
        // Held back by a nested loop, or the presenter did not end: the
        // window goes all the same, its presenter has let go of everything.
        m_state = State::Ending;
        m_result = kIdCancel;
        m_host.LeaveModalLoop(kIdCancel);
    }
    m_state = State::Finished;
    m_presenter.OnDestroy();
}

void WindowSession::End(int result)
{
    if (!Live()) {
        return;
    }
    m_state = State::Ending;
    m_result = result;
    m_host.LeaveModalLoop(result);
}

void WindowSession::LeaveNested()
{
    if (m_nested > 0) {
        --m_nested;
    }
    if (m_nested == 0 && m_closePending && Live()) {
        // Not now: the handler that opened the nested loop is still running.
        m_host.PostPendingClose();
    }
}

void WindowSession::RequestClose()
{
    if (!Live()) {
        return;
    }
    m_presenter.OnCloseRequested();
    m_closePending = true;
    if (m_child != nullptr) {
        m_child->RequestClose();
    }
    m_host.AnswerOpenBoxes();
    if (m_nested == 0) {
        m_host.PostPendingClose();
    }
}

bool WindowSession::ClosePending() const
{
    return m_closePending || (m_parent != nullptr && m_parent->ClosePending());
}

void WindowSession::DeliverPendingClose()
{
    if (!m_closePending || !Live() || m_nested > 0) {
        return;
    }
    m_closePending = false;
    if (m_parent == nullptr) {
        // The main window goes out the way its close box does.
        m_presenter.OnClose();
    } else {
        m_presenter.OnCancel();
        End(kIdCancel);
    }
    AfterEvent();
}

void WindowSession::AfterEvent()
{
    m_host.AfterEvent();
}

void WindowSession::DeliverCommand(std::int32_t id)
{
    if (Live()) {
        m_presenter.OnCommand(id);
        AfterEvent();
    }
}

void WindowSession::DeliverDialogKey(DialogKey key)
{
    if (!Live()) {
        return;
    }
    if (key == DialogKey::Enter) {
        if (!m_presenter.EndsOnDialogKeys()) {
            return;
        }
        m_presenter.OnCommand(kIdOk);
    } else {
        // Escape is Cancel for every window; one that must not end on it ignores it there.
        m_presenter.OnCommand(kIdCancel);
    }
    AfterEvent();
}

void WindowSession::DeliverClose()
{
    if (Live()) {
        m_presenter.OnClose();
        AfterEvent();
    }
}

bool WindowSession::DeliverSystemCommand(unsigned command)
{
    if (!Live()) {
        return false;
    }
    bool taken = m_presenter.OnSystemCommand(command);
    if (!taken && (command & 0xFFF0u) == kSystemClose) {
        taken = true;
        if (Live()) {
            m_presenter.OnClose();
        }
    }
    AfterEvent();
    return taken;
}

void WindowSession::DeliverSelection(std::int32_t id, int position)
{
    if (Live()) {
        m_presenter.OnSelectionChange(id, position);
        AfterEvent();
    }
}

int WindowSession::DeliverSpin(std::int32_t id, int delta)
{
    if (!Live()) {
        return -1;
    }
    const int answer = m_presenter.OnSpinDelta(id, delta);
    AfterEvent();
    return answer;
}

void WindowSession::DeliverEditChange(std::int32_t id)
{
    if (Live()) {
        m_presenter.OnEditChange(id);
        AfterEvent();
    }
}

void WindowSession::DeliverCurvePointDrag(std::int32_t id, int point, double x, double y)
{
    if (Live()) {
        m_presenter.OnCurvePointDrag(id, point, x, y);
        AfterEvent();
    }
}

void WindowSession::DeliverTimer(std::int32_t id)
{
    if (!Live()) {
        return;
    }
    m_presenter.OnTimer(id);
    if (Live()) {
        const FramePacer::Frame frame = m_pacer.AfterTick(id, m_visible);
        if (frame.due) {
            m_presenter.OnFrame(frame.numbers);
        }
    }
    AfterEvent();
}

void WindowSession::DeliverVisibility(bool visible)
{
    if (!Live() || visible == m_visible) {
        return;
    }
    m_visible = visible;
    m_presenter.OnVisibilityChange(visible);
    if (visible && Live() && m_pacer.Ticked()) {
        // What changed while hidden, all in one frame.
        m_presenter.OnFrame(true);
        m_pacer.Restart();
    }
    AfterEvent();
}

void WindowSession::DeliverDevicesChanged()
{
    if (Live()) {
        m_presenter.OnDevicesChanged();
        AfterEvent();
    }
}

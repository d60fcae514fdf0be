#include "tests/fakes/RecordingDialogView.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

RecordingDialogView::RecordingDialogView(
    const DialogTemplate& dialogTemplate, DialogPresenter& presenter, RecordingDialogView* parent)
    : m_template(dialogTemplate)
    , m_presenter(presenter)
    , m_parent(parent)
    , m_title(dialogTemplate.caption)
    , m_session(presenter, *this, parent != nullptr ? &parent->m_session : nullptr)
{
    for (const auto& control : dialogTemplate.controls) {
        if (control.id == kNoControlId) {
            continue;
        }
        RecordedControl& recorded = m_controls[control.id];
        recorded.id = control.id;
        recorded.kind = control.kind;
        recorded.text = control.text;
        // Room for any text a tick sends: recording must not allocate inside
        // the presenter's allocation counts.
        recorded.text.reserve(64);
        recorded.enabled = (control.flags & FlagDisabled) == 0;
        recorded.visible = (control.flags & FlagHidden) == 0;
        recorded.toolTip = control.toolTip != nullptr ? control.toolTip : "";
        if (control.kind == ControlKind::Lamp) {
            recorded.lamp = static_cast<LampPicture>(control.image);
        }
    }
}

RecordingDialogView::~RecordingDialogView()
{
    if (m_open && !m_destroyed) {
        Destroy();
    }
}

bool RecordingDialogView::Open()
{
    m_open = true;
    ++m_driving;
    const bool result = m_session.Open(*this);
    --m_driving;
    Settle();
    return result;
}

void RecordingDialogView::Settle()
{
    if (m_driving > 0) {
        return;
    }
    while (m_closePosted) {
        m_closePosted = false;
        ++m_driving;
        m_session.DeliverPendingClose();
        --m_driving;
    }
    // The modal loop ends once the handler that asked for it has returned.
    if (m_session.Ended() && !m_destroyed) {
        Destroy();
    }
}

void RecordingDialogView::PostPendingClose()
{
    m_closePosted = true;
    // No handler of this window runs (a script drives it from outside, or
    // the request reached it through its owner): the loop would deliver it
    // right after this call.
    Settle();
}

void RecordingDialogView::AnswerOpenBoxes()
{
    if (m_inQuestion) {
        m_questionCancelled = true;
    }
}

void RecordingDialogView::LeaveModalLoop(int /*result*/)
{
    // Settle() ends the window once the running handler has returned.
}

void RecordingDialogView::RequestClose()
{
    ++m_driving;
    m_session.RequestClose();
    --m_driving;
    Settle();
}

void RecordingDialogView::PressEnter()
{
    ++m_driving;
    m_session.DeliverDialogKey(WindowSession::DialogKey::Enter);
    --m_driving;
    Settle();
}

void RecordingDialogView::Destroy()
{
    if (!m_open || m_destroyed) {
        return;
    }
    m_destroyed = true;
    m_session.Finish();
    timers.clear();
}

void RecordingDialogView::Click(std::int32_t id)
{
    if (!Live()) {
        return;
    }
    // The operator's act is no call of the presenter's: not counted.
    auto& control = const_cast<RecordedControl&>(Control(id));
    if (!control.enabled || !control.visible) {
        return; // an operator cannot press what is greyed or hidden
    }
    if (control.kind == ControlKind::CheckBox) {
        control.checked = !control.checked; // a check box turns over before it tells
    }
    ++m_driving;
    m_session.DeliverCommand(id);
    --m_driving;
    Settle();
}

void RecordingDialogView::Select(std::int32_t id, int position)
{
    if (!Live()) {
        return;
    }
    RecordedControl& control = Mutable(id);
    if (!control.enabled || position < 0 || position >= static_cast<int>(control.entries.size())) {
        return;
    }
    control.selection = position;
    control.text = control.entries[static_cast<std::size_t>(position)];
    ++m_driving;
    m_session.DeliverSelection(id, position);
    --m_driving;
    Settle();
}

int RecordingDialogView::Spin(std::int32_t id, int delta)
{
    if (!Live() || !Control(id).enabled) {
        return -1;
    }
    ++m_driving;
    const int result = m_session.DeliverSpin(id, delta);
    --m_driving;
    Settle();
    return result;
}

void RecordingDialogView::Type(std::int32_t id, const std::string& text)
{
    if (!Live()) {
        return;
    }
    auto& control = const_cast<RecordedControl&>(Control(id));
    if (!control.enabled || !control.visible || control.kind != ControlKind::Edit) {
        return;
    }
    control.text = text;
    ++m_driving;
    m_session.DeliverEditChange(id);
    --m_driving;
    Settle();
}

void RecordingDialogView::Drag(std::int32_t id, int point, double x, double y)
{
    if (!Live()) {
        return;
    }
    const RecordedControl& control = Control(id);
    if (!control.enabled || control.kind != ControlKind::CurveGraph || point < 0 || point >= control.graph.pointCount) {
        return;
    }
    ++m_driving;
    m_session.DeliverCurvePointDrag(id, point, std::clamp(x, -1.0, 1.0), std::clamp(y, -1.0, 1.0));
    --m_driving;
    Settle();
}

bool RecordingDialogView::Tick()
{
    if (!Live() || timers.empty()) {
        return false;
    }
    // A handler may start or stop timers: take the ids first, without
    // allocating (presenter tests count the allocations of a tick).
    constexpr std::size_t kMaxTimers = 8;
    std::int32_t ids[kMaxTimers];
    std::size_t count = 0;
    for (const auto& entry : timers) {
        if (count < kMaxTimers) {
            ids[count++] = entry.first;
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (Live() && timers.count(ids[i]) != 0) {
            ++m_driving;
            m_session.DeliverTimer(ids[i]);
            --m_driving;
            Settle();
        }
    }
    return true;
}

void RecordingDialogView::Close()
{
    ++m_driving;
    m_session.DeliverClose();
    --m_driving;
    Settle();
}

void RecordingDialogView::PressEscape()
{
    ++m_driving;
    m_session.DeliverDialogKey(WindowSession::DialogKey::Escape);
    --m_driving;
    Settle();
}

void RecordingDialogView::SystemCommand(unsigned command)
{
    ++m_driving;
    m_session.DeliverSystemCommand(command);
    --m_driving;
    Settle();
}

void RecordingDialogView::SetVisible(bool visible)
{
    ++m_driving;
    m_session.DeliverVisibility(visible);
    --m_driving;
    Settle();
}

const RecordedControl& RecordingDialogView::Control(std::int32_t id) const
{
    const auto found = m_controls.find(id);
    if (found == m_controls.end()) {
        throw std::out_of_range("no control " + std::to_string(id) + " in template " + std::to_string(m_template.id));
    }
    return found->second;
}

RecordedControl& RecordingDialogView::Mutable(std::int32_t id)
{
    ++m_calls;
    if (recordTouched) {
        touched.push_back(id);
    }
    const auto found = m_controls.find(id);
    if (found == m_controls.end()) {
        unknownIds.push_back(id);
        RecordedControl& added = m_controls[id];
        added.id = id;
        return added;
    }
    return found->second;
}

void RecordingDialogView::SetTitle(const char* title)
{
    ++m_calls;
    m_title = title;
}

void RecordingDialogView::SetIcon(std::int32_t resource)
{
    ++m_calls;
    iconResource = resource;
}

bool RecordingDialogView::AppendSystemMenuItem(unsigned command, const char* text)
{
    ++m_calls;
    systemMenu.emplace_back(command, text);
    return true;
}

void RecordingDialogView::SetControlText(std::int32_t id, const char* text)
{
    RecordedControl& control = Mutable(id);
    control.text = text;
    ++control.textSets;
}

int RecordingDialogView::GetControlText(std::int32_t id, char* buffer, int size) const
{
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    const auto found = m_controls.find(id);
    const std::string text = found != m_controls.end() ? found->second.text : std::string();
    const int length = std::min(static_cast<int>(text.size()), size - 1);
    std::memcpy(buffer, text.data(), static_cast<std::size_t>(length));
    buffer[length] = '\0';
    return length;
}

void RecordingDialogView::EnableControl(std::int32_t id, bool enable)
{
    Mutable(id).enabled = enable;
}

void RecordingDialogView::ShowControl(std::int32_t id, bool show)
{
    Mutable(id).visible = show;
}

void RecordingDialogView::ComboInsertString(std::int32_t id, int position, const char* text)
{
    RecordedControl& control = Mutable(id);
    const auto at = std::clamp(position, 0, static_cast<int>(control.entries.size()));
    control.entries.insert(control.entries.begin() + at, text);
}

void RecordingDialogView::ComboSetEditText(std::int32_t id, const char* text)
{
    RecordedControl& control = Mutable(id);
    control.text = text;
    ++control.textSets;
}

void RecordingDialogView::ComboSetSelection(std::int32_t id, int position)
{
    RecordedControl& control = Mutable(id);
    if (position >= 0 && position < static_cast<int>(control.entries.size())) {
        control.selection = position;
        control.text = control.entries[static_cast<std::size_t>(position)];
    } else {
        control.selection = -1;
    }
}

void RecordingDialogView::SetProgressPosition(std::int32_t id, int position)
{
    RecordedControl& control = Mutable(id);
    control.progress = std::clamp(position, 0, 100);
    ++control.progressSets;
}

void RecordingDialogView::SetProgressBarColour(std::int32_t id, BarColour colour)
{
    RecordedControl& control = Mutable(id);
    control.colourSet = true;
    control.colour = colour;
}

void RecordingDialogView::SetLampPicture(std::int32_t id, LampPicture picture)
{
    RecordedControl& control = Mutable(id);
    control.lamp = picture;
    ++control.lampSets;
}

void RecordingDialogView::SetCheck(std::int32_t id, bool checked)
{
    Mutable(id).checked = checked;
}

bool RecordingDialogView::IsChecked(std::int32_t id) const
{
    return Control(id).checked;
}

void RecordingDialogView::SetCurveGraph(std::int32_t id, const CurveGraphData& graph)
{
    RecordedControl& control = Mutable(id);
    control.graph = graph;
    ++control.graphSets;
}

void RecordingDialogView::SetCurveMarker(std::int32_t id, const CurveMarker& marker)
{
    RecordedControl& control = Mutable(id);
    control.marker = marker;
    ++control.markerSets;
}

void RecordingDialogView::SetControlHighlight(std::int32_t id, bool highlighted)
{
    RecordedControl& control = Mutable(id);
    control.highlighted = highlighted;
    ++control.highlightSets;
}

void RecordingDialogView::ComboSetItemToolTip(std::int32_t id, int position, const char* text)
{
    Mutable(id).entryToolTips[position] = text != nullptr ? text : "";
}

void RecordingDialogView::ListInsertColumn(std::int32_t id, int column, const char* heading, int widthPixels)
{
    RecordedControl& control = Mutable(id);
    const auto at = static_cast<std::size_t>(std::clamp(column, 0, static_cast<int>(control.columns.size())));
    control.columns.insert(control.columns.begin() + static_cast<std::ptrdiff_t>(at), heading);
    control.columnWidths.insert(control.columnWidths.begin() + static_cast<std::ptrdiff_t>(at), widthPixels);
}

int RecordingDialogView::ListInsertItem(std::int32_t id, int position, const char* text, bool selected)
{
    RecordedControl& control = Mutable(id);
    const int at = std::clamp(position, 0, static_cast<int>(control.rows.size()));
    control.rows.insert(control.rows.begin() + at, std::vector<std::string> { text });
    control.rowSelected.insert(control.rowSelected.begin() + at, selected);
    return at;
}

void RecordingDialogView::ListSetItemText(std::int32_t id, int item, int column, const char* text)
{
    RecordedControl& control = Mutable(id);
    if (item < 0 || item >= static_cast<int>(control.rows.size()) || column < 0) {
        return;
    }
    auto& row = control.rows[static_cast<std::size_t>(item)];
    if (row.size() <= static_cast<std::size_t>(column)) {
        row.resize(static_cast<std::size_t>(column) + 1);
    }
    row[static_cast<std::size_t>(column)] = text;
}

void RecordingDialogView::ListDeleteAllItems(std::int32_t id)
{
    RecordedControl& control = Mutable(id);
    control.rows.clear();
    control.rowSelected.clear();
}

void RecordingDialogView::ListEnsureVisible(std::int32_t id, int item)
{
    Mutable(id).ensuredVisible = item;
}

bool RecordingDialogView::CreateControl(const RuntimeControl& control)
{
    ++m_calls;
    RecordedControl& recorded = m_controls[control.id];
    recorded.id = control.id;
    recorded.kind = control.kind;
    recorded.text = control.text;
    recorded.text.reserve(64);
    recorded.enabled = (control.flags & FlagDisabled) == 0;
    recorded.visible = (control.flags & FlagHidden) == 0;
    recorded.runtime = true;
    recorded.parentGroupId = control.parentGroupId;
    recorded.pixelRect = control.rect;
    recorded.toolTip = control.toolTip != nullptr ? control.toolTip : "";
    return true;
}

bool RecordingDialogView::StartTimer(std::int32_t id, int periodMs)
{
    ++m_calls;
    if (failTimers) {
        return false;
    }
    ++timerStarts;
    timers[id] = periodMs;
    m_session.TimerStarted(id, periodMs);
    return true;
}

void RecordingDialogView::StopTimer(std::int32_t id)
{
    ++m_calls;
    ++timerStops;
    timers.erase(id);
    m_session.TimerStopped(id);
}

void RecordingDialogView::RequestFullFrame()
{
    ++fullFrameRequests;
    m_session.RequestFullFrame();
}

void RecordingDialogView::ShowMessageBox(const char* text, const char* caption)
{
    ++m_calls;
    messageBoxes.emplace_back(text, caption);
}

SaveChoice RecordingDialogView::AskSaveDiscardCancel(const char* text, const char* caption)
{
    ++m_calls;
    questions.emplace_back(text, caption);
    if (m_session.ClosePending()) {
        return SaveChoice::Cancel; // on the way out already: the close asks nothing
    }
    m_session.EnterNested();
    m_inQuestion = true;
    m_questionCancelled = false;
    if (duringQuestion) {
        const std::function<void()> during = std::move(duringQuestion);
        duringQuestion = nullptr;
        during();
    }
    m_inQuestion = false;
    m_session.LeaveNested();
    SaveChoice answer = SaveChoice::Cancel;
    if (!saveAnswers.empty()) {
        answer = saveAnswers.front();
        saveAnswers.pop_front();
    }
    return m_questionCancelled ? SaveChoice::Cancel : answer;
}

int RecordingDialogView::RunModalChild(const DialogTemplate& dialogTemplate, DialogPresenter& presenter)
{
    ++m_calls;
    ++m_childrenRun;
    childTemplates.push_back(dialogTemplate.id);
    ChildScript script;
    if (!m_childScripts.empty()) {
        script = std::move(m_childScripts.front());
        m_childScripts.pop_front();
    }
    RecordingDialogView child(dialogTemplate, presenter, this);
    RecordingDialogView* outer = m_openChild;
    WindowSession* outerSession = m_session.OpenChild();
    m_openChild = &child;
    m_session.SetOpenChild(&child.m_session);
    m_session.EnterNested();
    child.Open();
    if (script && child.Live()) {
        script(child);
    }
    if (child.Live()) {
        child.PressEscape();
    }
    child.Destroy();
    m_openChild = outer;
    m_session.SetOpenChild(outerSession);
    m_session.LeaveNested();
    return child.Result();
}

void RecordingDialogView::EndDialog(int result)
{
    ++m_calls;
    m_session.End(result);
}

int RecordingDialogRunner::RunModal(const DialogTemplate& dialogTemplate, DialogPresenter& presenter)
{
    ++runs;
    RecordingDialogView view(dialogTemplate, presenter);
    view.Open();
    if (m_script && !view.Destroyed()) {
        m_script(view);
    }
    if (!view.Destroyed()) {
        view.Close();
    }
    view.Destroy();
    return view.Result();
}

void RecordingDialogRunner::ShowMessageBox(const char* text, const char* caption)
{
    boxes.emplace_back(text == nullptr ? "" : text, caption == nullptr ? "" : caption);
}

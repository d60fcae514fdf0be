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
    m_presenter.BindView(this);
    m_open = true;
    const bool result = m_presenter.OnInitDialog();
    AfterEvent();
    return result;
}

void RecordingDialogView::AfterEvent()
{
    // A close request from outside is delivered once the handler it
    // interrupted has returned.
    if (m_closePending && Live() && !m_ended && m_openChild == nullptr && !m_inQuestion) {
        m_closePending = false;
        m_presenter.OnClose();
    }
    // The modal loop ends once the handler that asked for it has returned.
    if (m_ended && !m_destroyed) {
        Destroy();
    }
}

void RecordingDialogView::RequestClose()
{
    if (!Live()) {
        return;
    }
    m_presenter.OnCloseRequested();
    m_closePending = true;
    if (m_openChild != nullptr && m_openChild->Live()) {
        // As a renderer does: the child is cancelled, its handler goes on.
        m_openChild->m_presenter.OnCancel();
        m_openChild->EndDialog(kIdCancel);
        m_openChild->AfterEvent();
        return;
    }
    if (m_inQuestion) {
        m_questionCancelled = true;
        return;
    }
    AfterEvent();
}

void RecordingDialogView::PressEnter()
{
    if (!Live() || !m_presenter.EndsOnDialogKeys()) {
        return;
    }
    m_presenter.OnCommand(kIdOk);
    AfterEvent();
}

void RecordingDialogView::Destroy()
{
    if (!m_open || m_destroyed) {
        return;
    }
    m_destroyed = true;
    m_presenter.OnDestroy();
    m_presenter.BindView(nullptr);
    timers.clear();
}

void RecordingDialogView::Click(std::int32_t id)
{
    if (!Live()) {
        return;
    }
    const RecordedControl& control = Control(id);
    if (!control.enabled || !control.visible) {
        return; // an operator cannot press what is greyed or hidden
    }
    m_presenter.OnCommand(id);
    AfterEvent();
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
    m_presenter.OnSelectionChange(id, position);
    AfterEvent();
}

int RecordingDialogView::Spin(std::int32_t id, int delta)
{
    if (!Live() || !Control(id).enabled) {
        return -1;
    }
    const int result = m_presenter.OnSpinDelta(id, delta);
    AfterEvent();
    return result;
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
            m_presenter.OnTimer(ids[i]);
            AfterEvent();
        }
    }
    return true;
}

void RecordingDialogView::Close()
{
    if (!Live()) {
        return;
    }
    m_presenter.OnClose();
    AfterEvent();
}

void RecordingDialogView::PressEscape()
{
    // Escape is Cancel for every window; one that must not end on it ignores it there.
    if (!Live()) {
        return;
    }
    m_presenter.OnCommand(kIdCancel);
    AfterEvent();
}

void RecordingDialogView::SystemCommand(unsigned command)
{
    if (!Live()) {
        return;
    }
    if (!m_presenter.OnSystemCommand(command) && (command & 0xFFF0u) == kSystemClose && Live()) {
        m_presenter.OnClose();
    }
    AfterEvent();
}

void RecordingDialogView::SetVisible(bool visible)
{
    if (!Live() || visible == m_visible) {
        return;
    }
    m_visible = visible;
    m_presenter.OnVisibilityChange(visible);
    AfterEvent();
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
    return true;
}

void RecordingDialogView::StopTimer(std::int32_t id)
{
    ++m_calls;
    ++timerStops;
    timers.erase(id);
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
    m_inQuestion = true;
    m_questionCancelled = false;
    if (duringQuestion) {
        const std::function<void()> during = std::move(duringQuestion);
        duringQuestion = nullptr;
        during();
    }
    m_inQuestion = false;
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
    m_openChild = &child;
    child.Open();
    if (script && child.Live()) {
        script(child);
    }
    m_openChild = outer;
    if (child.Live()) {
        child.PressEscape();
    }
    child.Destroy();
    return child.Result();
}

void RecordingDialogView::EndDialog(int result)
{
    ++m_calls;
    if (!m_ended) {
        m_ended = true;
        m_result = result;
    }
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

// RecordingDialogView: a headless dialog window for presenter tests. It builds
// its controls from the template, records every control's state and every
// call, delivers events the way a renderer does (ending the dialog calls
// OnDestroy once), and runs child dialogs modally from scripts queued by the test.
#pragma once

#include "ui/DialogView.h"
#include "ui/WindowSession.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct RecordedControl {
    std::int32_t id = 0;
    ControlKind kind = ControlKind::Static;
    std::string text;
    bool enabled = true;
    bool visible = true;
    bool runtime = false; // made with CreateControl
    std::int32_t parentGroupId = 0;
    PixelRect pixelRect {};
    // Combo box.
    std::vector<std::string> entries;
    int selection = -1;
    // Progress bar.
    int progress = 0;
    bool colourSet = false;
    BarColour colour {};
    // Lamp.
    LampPicture lamp = LampPicture::Off;
    // Check box.
    bool checked = false;
    // Curve graph: what it shows and how often each part was sent.
    CurveGraphData graph {};
    CurveMarker marker {};
    int graphSets = 0;
    int markerSets = 0;
    // List view.
    std::vector<std::string> columns;
    std::vector<int> columnWidths;
    std::vector<std::vector<std::string>> rows;
    std::vector<bool> rowSelected;
    int ensuredVisible = -1;
    // Tooltip (from the template or CreateControl) and highlight.
    std::string toolTip;
    bool highlighted = false;
    int highlightSets = 0;
    // Combo box: the tooltip of each entry, by position.
    std::map<int, std::string> entryToolTips;
    // How often the presenter changed it.
    int textSets = 0;
    int lampSets = 0;
    int progressSets = 0;
};

class RecordingDialogView : public DialogView, private SessionHost {
public:
    using ChildScript = std::function<void(RecordingDialogView& child)>;

    RecordingDialogView(
        const DialogTemplate& dialogTemplate, DialogPresenter& presenter, RecordingDialogView* parent = nullptr);
    ~RecordingDialogView() override;

    // Driving the window as an operator and the framework would.
    bool Open(); // BindView + OnInitDialog
    void Click(std::int32_t id);
    // Picks entry `position` in a combo box (its edit text becomes the entry).
    void Select(std::int32_t id, int position);
    int Spin(std::int32_t id, int delta);
    // Types `text` into an editable text box (all of it replaced), as the
    // operator does: the presenter hears OnEditChange.
    void Type(std::int32_t id, const std::string& text);
    // Drags point `point` of a curve graph to (x, y) (each held to -1..1).
    void Drag(std::int32_t id, int point, double x, double y);
    // One tick of every running timer; false when no timer runs.
    bool Tick();
    void Close();
    // Enter and Escape where no control takes them: the default button (OK)
    // and Cancel, unless the presenter says its window does not end on them.
    void PressEnter();
    void PressEscape();
    // A close request from outside (a termination signal): OnCloseRequested
    // at once; an open child dialog is cancelled and an open question answered
    // Cancel; OnClose once the handler that opened them has returned.
    void RequestClose();
    void SystemCommand(unsigned command);
    // The window minimised or hidden (false) and shown again (true); tells the
    // presenter only of a change, as a renderer does.
    void SetVisible(bool visible);
    bool Visible() const { return m_session.Visible(); }
    // The framework tearing the window down without a way out (OnDestroy only).
    void Destroy();

    // Child dialogs: each RunModalChild takes the next script; without one the
    // child is cancelled right after its initialisation. A script that leaves
    // the child open ends it with Cancel.
    void QueueChild(ChildScript script) { m_childScripts.push_back(std::move(script)); }
    int ChildrenRun() const { return m_childrenRun; }
    std::vector<std::int32_t> childTemplates;

    // What the presenter did.
    const RecordedControl& Control(std::int32_t id) const;
    bool Has(std::int32_t id) const { return m_controls.count(id) != 0; }
    const std::string& Text(std::int32_t id) const { return Control(id).text; }
    bool Ended() const { return m_session.Ended(); }
    int Result() const { return m_session.Result(); }
    bool Destroyed() const { return m_destroyed; }
    const std::string& Title() const { return m_title; }
    std::vector<std::pair<std::string, std::string>> messageBoxes; // text, caption
    // Save / Discard / Cancel questions asked (text, caption), the answers to
    // give in turn (Cancel when none is left), and something to do while the
    // next question is open.
    std::vector<std::pair<std::string, std::string>> questions;
    std::deque<SaveChoice> saveAnswers;
    std::function<void()> duringQuestion;
    std::vector<std::pair<unsigned, std::string>> systemMenu;
    std::map<std::int32_t, int> timers; // running: id -> period
    int timerStarts = 0;
    int timerStops = 0;
    bool failTimers = false; // StartTimer answers false
    // Every call that changes the window.
    int CallCount() const { return m_calls; }
    // Ids of the controls changed since the last call count check (for diagnosis; off by default: it allocates).
    bool recordTouched = false;
    std::vector<std::int32_t> touched;
    RecordingDialogView* Parent() const { return m_parent; }
    DialogPresenter& Presenter() const { return m_presenter; }
    const WindowSession& Session() const { return m_session; }
    int fullFrameRequests = 0;
    int iconResource = 0;
    // Ids the presenter addressed that the window does not have.
    std::vector<std::int32_t> unknownIds;

    // DialogView.
    void SetTitle(const char* title) override;
    void SetIcon(std::int32_t iconResource) override;
    bool AppendSystemMenuItem(unsigned command, const char* text) override;
    void SetControlText(std::int32_t id, const char* text) override;
    int GetControlText(std::int32_t id, char* buffer, int size) const override;
    void EnableControl(std::int32_t id, bool enable) override;
    void ShowControl(std::int32_t id, bool show) override;
    void ComboInsertString(std::int32_t id, int position, const char* text) override;
    void ComboSetEditText(std::int32_t id, const char* text) override;
    void ComboSetSelection(std::int32_t id, int position) override;
    void SetProgressPosition(std::int32_t id, int position) override;
    void SetProgressBarColour(std::int32_t id, BarColour colour) override;
    void SetLampPicture(std::int32_t id, LampPicture picture) override;
    void SetCheck(std::int32_t id, bool checked) override;
    bool IsChecked(std::int32_t id) const override;
    void SetCurveGraph(std::int32_t id, const CurveGraphData& graph) override;
    void SetCurveMarker(std::int32_t id, const CurveMarker& marker) override;
    void SetControlHighlight(std::int32_t id, bool highlighted) override;
    void ComboSetItemToolTip(std::int32_t id, int position, const char* text) override;
    void ListInsertColumn(std::int32_t id, int column, const char* heading, int widthPixels) override;
    int ListInsertItem(std::int32_t id, int position, const char* text, bool selected) override;
    void ListSetItemText(std::int32_t id, int item, int column, const char* text) override;
    void ListDeleteAllItems(std::int32_t id) override;
    void ListEnsureVisible(std::int32_t id, int item) override;
    bool CreateControl(const RuntimeControl& control) override;
    bool StartTimer(std::int32_t id, int periodMs) override;
    void StopTimer(std::int32_t id) override;
    void RequestFullFrame() override;
    void ShowMessageBox(const char* text, const char* caption) override;
    SaveChoice AskSaveDiscardCancel(const char* text, const char* caption) override;
    int RunModalChild(const DialogTemplate& dialogTemplate, DialogPresenter& presenter) override;
    void EndDialog(int result) override;
    void* NativeWindow() const override { return nullptr; }
    void* ProgramInstance() const override { return nullptr; }

private:
    // SessionHost: the fake's modal loop is the test driving it; what is
    // posted runs once the driving call's handler has returned.
    void PostPendingClose() override;
    void AnswerOpenBoxes() override;
    void LeaveModalLoop(int result) override;

    RecordedControl& Mutable(std::int32_t id);
    // Around every driving call: runs what was posted meanwhile, and ends the
    // window once the handler that ended it has returned.
    void Settle();
    bool Live() const { return m_session.Live(); }

    const DialogTemplate& m_template;
    DialogPresenter& m_presenter;
    RecordingDialogView* m_parent;
    std::map<std::int32_t, RecordedControl> m_controls;
    std::deque<ChildScript> m_childScripts;
    std::string m_title;
    int m_calls = 0;
    int m_childrenRun = 0;
    bool m_open = false;
    bool m_destroyed = false;
    RecordingDialogView* m_openChild = nullptr;
    bool m_inQuestion = false;
    bool m_questionCancelled = false;
    bool m_closePosted = false;
    int m_driving = 0; // driving calls under way (a script may drive from inside a handler)
    WindowSession m_session;
};

// Runs top-level dialogs (the application object) through RecordingDialogViews.
class RecordingDialogRunner : public DialogRunner {
public:
    explicit RecordingDialogRunner(RecordingDialogView::ChildScript script)
        : m_script(std::move(script))
    {
    }
    int RunModal(const DialogTemplate& dialogTemplate, DialogPresenter& presenter) override;
    void ShowMessageBox(const char* text, const char* caption) override;
    int runs = 0;
    std::vector<std::pair<std::string, std::string>> boxes; // text, caption

private:
    RecordingDialogView::ChildScript m_script;
};

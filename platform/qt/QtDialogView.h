// The Qt 6 Widgets renderer of the window seam: builds a dialog template's
// controls as widgets at their template positions (readout lines and stacked
// bars as cells of one custom-drawn panel), hands the operator's actions to
// its WindowSession, which decides what reaches the presenter and when, and
// runs the dialog modally with its own event loop (so the owner's timers keep
// firing behind a child dialog). What it keeps is Qt's own: the widgets,
// posting through the event loop, and one repaint per event.
#pragma once

#include "platform/qt/DialogUnits.h"
#include "platform/qt/QtControls.h"
#include "ui/ControlRegistry.h"
#include "ui/DialogView.h"
#include "ui/WindowSession.h"

#include <QDialog>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class QLabel;
class QMenu;
class QMessageBox;
class QScrollArea;
class QTimer;
class QtDialogView;

// The dialog window itself: forwards the close box, Escape, the context menu
// (which stands in for the system menu) and F1 to its view.
class TemplateDialog : public QDialog {
public:
    TemplateDialog(QtDialogView& view, QWidget* parent);

    void reject() override;
    void accept() override;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QtDialogView& m_view;
};

class QtDialogView : public DialogView, private SessionHost {
public:
    QtDialogView(const DialogTemplate& dialogTemplate, DialogPresenter& presenter, QtDialogView* parent = nullptr);
    ~QtDialogView() override;
    QtDialogView(const QtDialogView&) = delete;
    QtDialogView& operator=(const QtDialogView&) = delete;

    // Builds the window, binds the presenter, runs its initialisation and
    // shows the window. False when the presenter ended it during initialisation.
    bool Open();
    // Runs the modal loop until the presenter ends the dialog, then Finish().
    int Exec();
    // Tears down: OnDestroy once, unbinds, stops every timer. Idempotent.
    void Finish();
    // Open + Exec: the whole modal run.
    int RunModal();

    bool Ended() const { return m_session.Ended(); }
    // A close request is waiting to be delivered, here or in a window below.
    bool ClosePending() const { return m_session.ClosePending(); }
    int Result() const { return m_session.Result(); }
    QDialog* Dialog() const { return m_dialog.get(); }
    // What scrolls when the screen is smaller than the dialog, and the
    // widget its controls lie on (the template's size).
    QScrollArea* ScrollArea() const { return m_scroll; }
    QWidget* Canvas() const { return m_canvas; }
    // The widget of a control id (null for a cell of a panel or an unknown id).
    QWidget* Widget(std::int32_t id) const;
    // A control drawn as a cell of a panel (null for a widget or an unknown id).
    const ReadoutPanel::Cell* CellOf(std::int32_t id) const;
    const DialogBaseUnits& BaseUnits() const { return m_units; }

    // Ways out taken from outside the window (a signal): see
    // WindowSession::RequestClose. Open boxes are answered (a question with
    // Cancel) and an open context menu is closed.
    void RequestClose() { m_session.RequestClose(); }

    // Where nobody can answer a box (no display): every message box returns
    // at once as if OK had been pressed, a Save / Discard / Cancel question as
    // if Save had. The presenter has written the text to standard error.
    static void SetAnswerBoxesAtOnce(bool atOnce);
    static bool AnswersBoxesAtOnce();
    // False when the presenter keeps Enter and Escape from ending its window.
    bool EndsOnDialogKeys() const { return m_session.Presenter().EndsOnDialogKeys(); }

    // Events from the widgets (also used by TemplateDialog and the tests).
    void DeliverCommand(std::int32_t id) { m_session.DeliverCommand(id); }
    void DeliverDialogKey(WindowSession::DialogKey key) { m_session.DeliverDialogKey(key); }
    void DeliverClose() { m_session.DeliverClose(); }
    void DeliverSystemCommand(unsigned command) { m_session.DeliverSystemCommand(command); }
    void DeliverSelection(std::int32_t id, int position) { m_session.DeliverSelection(id, position); }
    // A non-zero answer refuses the change; without a position of its own
    // there is nothing to undo.
    void DeliverSpin(std::int32_t id, int delta) { (void)m_session.DeliverSpin(id, delta); }
    void DeliverTimer(std::int32_t id) { m_session.DeliverTimer(id); }
    void DeliverEditChange(std::int32_t id) { m_session.DeliverEditChange(id); }
    void DeliverCurvePointDrag(std::int32_t id, int point, double x, double y)
    {
        m_session.DeliverCurvePointDrag(id, point, x, y);
    }
    // Tells the presenter when nobody can see the window any more (minimised,
    // hidden, fully covered) and when it can again.
    void UpdateVisibility();
    bool ShownToPresenter() const { return m_session.Visible(); }
    void ShowSystemMenu(const QPoint& globalPosition);
    // F1: the About command of the system menu, when the window has one.
    void ShowHelp();
    // The tooltip of a control drawn as a cell of a panel (which takes no
    // mouse events itself) at `point` in the dialog's coordinates, or "".
    QString CellToolTipAt(const QPoint& point) const;
    // Whether a control is highlighted right now (for tests).
    bool Highlighted(std::int32_t id) const;
    // The tooltip of a control, whether a widget or a panel's cell (for tests).
    QString ToolTip(std::int32_t id) const;

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
    void* NativeWindow() const override { return m_dialog.get(); }
    void* ProgramInstance() const override { return nullptr; }

private:
    // What a control is to Qt: its widget (null for a readout cell, which
    // its group's panel draws).
    struct Native {
        QWidget* widget = nullptr;
        QString editText; // combo: the text shown when no entry matches
    };
    using Controls = ControlRegistry<Native>;
    using Control = Controls::Entry;
    struct MenuItem {
        unsigned command;
        QString text;
    };

    // SessionHost.
    void PostPendingClose() override;
    void AnswerOpenBoxes() override;
    void LeaveModalLoop(int result) override;
    // After every presenter event: the readout changes it made go to Qt as one repaint.
    void AfterEvent() override;

    void Build();
    // The readout group of the stacked bars and the texts beside them
    // (marked in `live`, by template index), or kNoGroup.
    int BuildLiveArea(std::vector<char>& live);
    void WatchVisibility();
    void FitWrappedText(QLabel& label) const;
    QWidget* MakeWidget(const ControlTemplate& control);
    // The panel that draws a readout cell.
    ReadoutPanel& PanelOf(const Control& control) const { return *m_panels[static_cast<std::size_t>(control.group)]; }
    bool MakePanel(const Control& groupBox);
    // Shows a box modally as a nested loop of this window; returns its answer.
    int ExecBox(QMessageBox& box);

    const DialogTemplate& m_template;
    QtDialogView* m_parent;
    std::unique_ptr<TemplateDialog> m_dialog;
    QScrollArea* m_scroll = nullptr; // owned by the dialog
    QWidget* m_canvas = nullptr; // owned by the scroll area
    DialogBaseUnits m_units;
    QObject* m_visibilityWatch = nullptr; // owned by the dialog
    Controls m_controls;
    // By readout group: a group box's readout lines, or the stacked bars and
    // their texts (owned by the dialog).
    std::vector<ReadoutPanel*> m_panels;
    std::map<std::int32_t, QTimer*> m_timers;
    std::vector<MenuItem> m_menu;
    std::vector<QWidget*> m_openBoxes; // message boxes shown right now
    QPointer<QMenu> m_openMenu; // the context menu shown right now
    bool m_built = false;
    WindowSession m_session;
};

// Runs top-level dialogs (the application object's way in).
class QtDialogRunner : public DialogRunner {
public:
    int RunModal(const DialogTemplate& dialogTemplate, DialogPresenter& presenter) override;
    // Offscreen (no display to show it on) the box is not shown.
    void ShowMessageBox(const char* text, const char* caption) override;
    // The top-level view running right now (null outside RunModal).
    QtDialogView* Current() const { return m_current; }
    // A close request from outside: the open view's RequestClose, or the
    // answer to a box of the runner's own.
    void RequestClose();

private:
    QtDialogView* m_current = nullptr;
    QWidget* m_openBox = nullptr;
};

// The application icon (resource 128).
QIcon ApplicationIcon();

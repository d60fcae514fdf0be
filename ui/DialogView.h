// The window seam: what a presenter may ask of the dialog window it drives
// (DialogView) and the events the window hands back (DialogPresenter). No
// toolkit type crosses it; renderers live in platform/ (Qt 6 Widgets) and a
// recording fake in tests/fakes. Controls are addressed by their template ids.
#pragma once

#include "ui/CurveGraph.h"
#include "ui/DialogTemplate.h"
#include "ui/LampPicture.h"

#include <cstdint>

// Modal results and commands, as the platform's dialog framework numbers them.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr unsigned kAboutCommand = 0x10; // appended to the system menu
inline constexpr unsigned kSystemClose = 0xF060; // the system menu's Close

class DialogPresenter;

struct PixelRect {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
};

// A control made at run time (the readouts of the main window): placed in
// pixels relative to the top-left corner of the group box `parentGroupId`.
struct RuntimeControl {
    std::int32_t id;
    ControlKind kind; // Static (label, unit) or Edit (value box)
    const char* text;
    std::int32_t parentGroupId;
    PixelRect rect;
    std::uint32_t flags = FlagNone; // FlagSunken, FlagDisabled, FlagHidden
    const char* toolTip = nullptr; // as ControlTemplate::toolTip
};

// The answers of AskSaveDiscardCancel.
enum class SaveChoice { Save, Discard, Cancel };

struct BarColour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

// One open dialog window. Every call is made on the window's own thread from
// inside an event handler; texts are copied before the call returns.
class DialogView {
public:
    virtual ~DialogView() = default;

    virtual void SetTitle(const char* title) = 0;
    virtual void SetIcon(std::int32_t iconResource) = 0;
    // Appends a separator and a command item to the system menu; false when
    // the window has no system menu.
    virtual bool AppendSystemMenuItem(unsigned command, const char* text) = 0;

    virtual void SetControlText(std::int32_t id, const char* text) = 0;
    // Copies at most size - 1 characters and terminates; returns the length copied.
    virtual int GetControlText(std::int32_t id, char* buffer, int size) const = 0;
    virtual void EnableControl(std::int32_t id, bool enable) = 0;
    virtual void ShowControl(std::int32_t id, bool show) = 0;

    // Combo boxes: an entry's position is the value it stands for, so entries
    // are inserted at positions and never sorted.
    virtual void ComboInsertString(std::int32_t id, int position, const char* text) = 0;
    virtual void ComboSetEditText(std::int32_t id, const char* text) = 0;
    virtual void ComboSetSelection(std::int32_t id, int position) = 0;

    virtual void SetProgressPosition(std::int32_t id, int position) = 0;
    virtual void SetProgressBarColour(std::int32_t id, BarColour colour) = 0;

    virtual void SetLampPicture(std::int32_t id, LampPicture picture) = 0;

    // Check boxes.
    virtual void SetCheck(std::int32_t id, bool checked) = 0;
    virtual bool IsChecked(std::int32_t id) const = 0;
    // A curve graph: the curve and its points (drawn when they change), and
    // the live input's dot on it (every frame it moves; hidden when !shown).
    virtual void SetCurveGraph(std::int32_t id, const CurveGraphData& graph) = 0;
    virtual void SetCurveMarker(std::int32_t id, const CurveMarker& marker) = 0;

    // Draws attention to a control: a readout value box whose value just
    // moved, or a slot's group box whose joystick is lost. Sent on change only.
    virtual void SetControlHighlight(std::int32_t id, bool highlighted) = 0;
    // The tooltip of one entry of a combo box's list (the device behind a
    // slot number); where the toolkit has no per-entry tips, the renderer
    // shows the selected entry's tip on the combo itself.
    virtual void ComboSetItemToolTip(std::int32_t id, int position, const char* text) = 0;

    // Report-style list: columns left-aligned, widths in pixels.
    virtual void ListInsertColumn(std::int32_t id, int column, const char* heading, int widthPixels) = 0;
    // Inserts an item at `position` (later items move down); returns its index.
    virtual int ListInsertItem(std::int32_t id, int position, const char* text, bool selected) = 0;
    virtual void ListSetItemText(std::int32_t id, int item, int column, const char* text) = 0;
    virtual void ListDeleteAllItems(std::int32_t id) = 0;
    virtual void ListEnsureVisible(std::int32_t id, int item) = 0;

    virtual bool CreateControl(const RuntimeControl& control) = 0;

    // A repeating timer whose ticks arrive as OnTimer(id); false when it
    // cannot be created. Ticks keep arriving while a child dialog is modal.
    virtual bool StartTimer(std::int32_t id, int periodMs) = 0;
    virtual void StopTimer(std::int32_t id) = 0;
    // Something changed that must be seen at once: the next tick brings a
    // frame with the numbers (DialogPresenter::OnFrame).
    virtual void RequestFullFrame() = 0;

    // Modal box with only an OK button; returns when the operator closes it.
    virtual void ShowMessageBox(const char* text, const char* caption) = 0;
    // Modal question with the buttons Save, Discard and Cancel (Cancel also
    // for Escape and the box's close box); returns the operator's answer.
    // Where nobody can answer (no display) it is answered Save at once; a
    // close request from outside answers it Cancel.
    virtual SaveChoice AskSaveDiscardCancel(const char* text, const char* caption) = 0;
    // Runs a child dialog modally (this window its owner) and returns its
    // result (kIdOk or kIdCancel). This window's timers keep firing meanwhile.
    virtual int RunModalChild(const DialogTemplate& dialogTemplate, DialogPresenter& presenter) = 0;

    // Ends the modal loop once the current handler has returned.
    virtual void EndDialog(int result) = 0;

    // Opaque platform handles for the joystick set's cooperative level and the
    // control panel: the native window and the program's module (may be null).
    virtual void* NativeWindow() const = 0;
    virtual void* ProgramInstance() const = 0;
};

// Runs a top-level dialog modally (the application object's way in).
class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    virtual int RunModal(const DialogTemplate& dialogTemplate, DialogPresenter& presenter) = 0;
    // A message box with no window behind it (the program refusing to start),
    // shown where a display can show one; a close request answers it.
    virtual void ShowMessageBox(const char* text, const char* caption) = 0;
};

// The presenter of one dialog. A renderer running it modally:
//   1. builds the window from the template, calls BindView(&view), then
//      OnInitDialog();
//   2. delivers events one at a time until the presenter calls EndDialog:
//      push button clicks as OnCommand(id) (Enter: the default button, only
//      when EndsOnDialogKeys() says so: for a window that says no, Enter does
//      nothing beyond what the focused control does with it, such as a combo
//      committing its choice; Escape: OnCommand(kIdCancel) for every window,
//      so a presenter that must not end on one key keeps OnCancel from ending
//      it); a combo selection by the operator as
//      OnSelectionChange(id, position); a spin click as OnSpinDelta(id, delta)
//      with the position change the up-down control proposes (a non-zero
//      answer refuses it); the operator's typing in an editable text box as
//      OnEditChange(id); a drag of a curve graph's point as
//      OnCurvePointDrag(id, point, x, y); timer ticks as OnTimer(id), each followed by
//      OnFrame(numbers) when the window's frame is due (ui/FramePacer.h: frames
//      follow the fastest timer, none while the window is hidden, one whole
//      frame at once when it is shown again); the window's close box
//      and, for the main window, a close request from outside (SIGINT,
//      SIGTERM, SIGHUP; on Windows the session ending) as OnCloseRequested()
//      at once - possibly while a handler waits in a child dialog or box -
//      then, after ending every open child dialog with kIdCancel, answering
//      open boxes and letting that handler return, as OnClose(); system menu
//      commands as OnSystemCommand(command) - when that returns false the
//      renderer does its own handling (for kSystemClose: OnClose()); for the
//      main window, a change of the attached devices that the system reports
//      (Windows: WM_DEVICECHANGE) as OnDevicesChanged(); whether anybody can
//      see the window as OnVisibilityChange(visible) when that changes
//      (minimised, hidden or fully covered: false; a window is taken as
//      visible until told otherwise);
//   3. after the modal loop ends calls OnDestroy() once, then BindView(nullptr).
class DialogPresenter {
public:
    virtual ~DialogPresenter() = default;

    void BindView(DialogView* view) { m_view = view; }
    DialogView* BoundView() const { return m_view; }

    virtual bool OnInitDialog() { return true; }
    virtual void OnCommand(std::int32_t id)
    {
        if (id == kIdOk) {
            OnOK();
        } else if (id == kIdCancel) {
            OnCancel();
        }
    }
    virtual void OnSelectionChange(std::int32_t /*id*/, int /*position*/) { }
    virtual int OnSpinDelta(std::int32_t /*id*/, int /*delta*/) { return 0; }
    // The operator changed the text of an editable text box (never a change
    // the presenter made itself).
    virtual void OnEditChange(std::int32_t /*id*/) { }
    // The operator dragged point `point` of a curve graph to (x, y), each
    // within -1..1; the presenter decides where it goes and draws it anew.
    virtual void OnCurvePointDrag(std::int32_t /*id*/, int /*point*/, double /*x*/, double /*y*/) { }
    virtual void OnTimer(std::int32_t /*id*/) { }
    virtual void OnClose() { OnCancel(); }
    // A close request from outside has arrived; the OnClose() that follows
    // must end the window without asking anything.
    virtual void OnCloseRequested() { }
    // False: Enter and Escape never end this window (see above).
    virtual bool EndsOnDialogKeys() const { return true; }
    virtual void OnDestroy() { }
    virtual bool OnSystemCommand(unsigned /*command*/) { return false; }
    virtual void OnDevicesChanged() { }
    // Nobody sees a hidden window: a presenter may skip its refreshes until it is shown again.
    virtual void OnVisibilityChange(bool /*visible*/) { }
    // The window's frame: show what changed since the last (bars, lamps,
    // texts), and the numbers too when `numbers`.
    virtual void OnFrame(bool /*numbers*/) { }

    virtual void OnOK() { EndDialog(kIdOk); }
    virtual void OnCancel() { EndDialog(kIdCancel); }

protected:
    DialogPresenter() = default;
    DialogPresenter(const DialogPresenter&) = delete;
    DialogPresenter& operator=(const DialogPresenter&) = delete;

    void EndDialog(int result)
    {
        if (m_view != nullptr) {
            m_view->EndDialog(result);
        }
    }

    DialogView* m_view = nullptr;
};

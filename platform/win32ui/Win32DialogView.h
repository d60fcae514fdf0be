// The native Win32 renderer of the window seam: runs a template as a real
// dialog (DialogBoxIndirectParam on an in-memory template) with the common
// controls, maps the dialog's messages to the presenter's events, and paces
// the values that change on every tick: numbers about 20 times a second,
// bars once a frame.
#pragma once

#include "platform/win32ui/FrameGate.h"
#include "platform/win32ui/ReadoutPanel.h"
#include "ui/DialogView.h"
#include "ui/FramePacer.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class Win32DialogView : public DialogView {
public:
    // Private messages of the dialog window.
    static constexpr UINT kDeliverPendingClose = WM_APP + 0x71;

    Win32DialogView(const DialogTemplate& dialogTemplate, DialogPresenter& presenter, HINSTANCE instance,
        Win32DialogView* parent = nullptr);
    ~Win32DialogView() override;
    Win32DialogView(const Win32DialogView&) = delete;
    Win32DialogView& operator=(const Win32DialogView&) = delete;

    // Builds and runs the dialog modally until the presenter ends it; the
    // window is gone when this returns. Returns the modal result.
    int RunModal();

    HWND Window() const { return m_window; }
    // The window of a control id (null for a readout cell or an unknown id).
    HWND ControlWindow(std::int32_t id) const;
    Win32DialogView* OpenChild() const { return m_child; }
    bool Ended() const { return m_endRequested; }
    const std::vector<std::unique_ptr<ReadoutPanel>>& Panels() const { return m_panels; }
    // What the window's tooltip control says for a control (a window or a
    // readout cell), "" when nothing; whether a control is highlighted.
    std::wstring ToolTipOf(std::int32_t id) const;
    bool Highlighted(std::int32_t id) const;
    // The client area the template asks for, and how far it is scrolled now.
    SIZE ContentSize() const { return m_content; }
    POINT ScrollPosition() const { return m_scroll; }

    // A way out taken from outside the window (WM_CLOSE, the end of the
    // session): ends an open child dialog with Cancel and answers open message
    // boxes, then delivers OnClose once no nested loop of this window runs.
    void RequestClose();

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
    void* NativeWindow() const override { return m_window; }
    void* ProgramInstance() const override { return m_instance; }

private:
    struct Control {
        ControlKind kind = ControlKind::Static;
        HWND window = nullptr;
        ReadoutPanel* panel = nullptr; // a readout cell: drawn by this panel
        int cell = -1;
        std::vector<std::wstring> entries; // combo box: its entries, for exact matching
        LampPicture lamp = LampPicture::Off;
        bool lampSet = false;
        // Paced to the frame: a label's next text, a bar's next position (-1: none).
        std::wstring pendingText;
        bool textPending = false;
        int pendingValue = -1;
        int shownValue = -1;
        bool queued = false;
        bool highlighted = false;
        std::wstring toolTip; // from the template
        std::vector<std::wstring> entryTips; // combo box: the tip of each entry
    };

    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommandMessage(WPARAM wParam, LPARAM lParam);
    bool OnNotify(const NMHDR& header, LRESULT& result);
    bool OnTimerMessage(UINT_PTR id);
    void OnSystemCommandMessage(unsigned command);
    void PaintMinimised();
    void Finish();

    void Pace(std::int32_t id, Control& control);
    void FlushNumbers();
    void FlushBars();
    Control* Find(std::int32_t id);
    const Control* Find(std::int32_t id) const;
    ReadoutPanel* PanelFor(std::int32_t groupId);
    HBITMAP LampBitmap(LampPicture picture);
    bool Live() const { return m_bound && !m_endRequested; }
    void EnterNested() { ++m_nested; }
    void LeaveNested();
    void DeliverPendingClose();
    void EndMessageBoxes();
    void AddToolTip(std::int32_t id, const Control& control, const char* text);
    void RefreshComboTip(std::int32_t id, const Control& control);
    // Scrolling: a window larger than its monitor's work area takes the
    // work area, and its controls scroll inside it.
    void FitToWorkArea();
    void UpdateScrollBars();
    void ScrollTo(int x, int y);
    void OnScroll(int bar, WPARAM wParam);
    int ScaleX(int pixels) const;
    int ScaleY(int pixels) const;

    const DialogTemplate& m_template;
    DialogPresenter& m_presenter;
    HINSTANCE m_instance;
    Win32DialogView* m_parent;
    HWND m_window = nullptr;
    HFONT m_font = nullptr;
    HDEVNOTIFY m_deviceNotification = nullptr;
    int m_baseX = 6; // the dialog font's base units
    int m_baseY = 13;
    FrameGate m_numberGate; // texts and readout cells, about 20 a second
    FrameGate m_barGate; // progress bars, once a frame
    std::unordered_map<std::int32_t, Control> m_controls;
    std::map<std::int32_t, ReadoutPanel*> m_panelByGroup;
    std::vector<std::unique_ptr<ReadoutPanel>> m_panels;
    std::vector<std::int32_t> m_timers;
    std::vector<std::int32_t> m_fastTimers; // those that tick at least once a frame
    std::vector<std::int32_t> m_pacedNumbers; // texts with a change waiting for their turn
    std::vector<std::int32_t> m_pacedBars; // bars with a change waiting for the frame
    HBITMAP m_lampBitmaps[3] = {};
    HWND m_toolTip = nullptr;
    SIZE m_content {}; // the client area the template asks for
    POINT m_scroll {}; // how far the controls are scrolled
    bool m_scrolling = false;
    HBRUSH m_highlightBrush = nullptr;
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;
    Win32DialogView* m_child = nullptr; // the child dialog open right now
    int m_boxesOpen = 0;
    bool m_bound = false;
    bool m_finished = false;
    bool m_endRequested = false;
    bool m_closePending = false;
    bool m_closePosted = false;
    int m_result = kIdCancel;
    int m_nested = 0; // initialisation, message boxes and child dialogs running now
    FramePacer m_pacer;
    bool m_shownToPresenter = true; // what the presenter was last told
};

// The native Win32 renderer of the window seam: runs a template as a real
// dialog (DialogBoxIndirectParam on an in-memory template) with the common
// controls, readout lines as cells of one custom-drawn panel per group box,
// and maps the dialog's messages to its WindowSession, which decides what
// reaches the presenter and when (the frames too: the presenter sends its
// values only then, so a value is drawn when it is told). What it keeps is
// Win32's own: the controls, posting to the dialog, and painting.
#pragma once

#include "platform/win32ui/ReadoutPanel.h"
#include "platform/win32ui/Win32CurveGraph.h"
#include "ui/ControlRegistry.h"
#include "ui/DialogView.h"
#include "ui/WindowSession.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Win32DialogView : public DialogView, private SessionHost {
public:
    // Private messages of the dialog window.
    static constexpr UINT kDeliverPendingClose = WM_APP + 0x71;
    // F1 on any of the window's controls (WM_HELP carries a pointer and cannot be posted).
    static constexpr UINT kDeliverHelp = WM_APP + 0x72;

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
    bool Ended() const { return m_session.Ended(); }
    // By readout group: the panel of each group box that holds readout lines.
    const std::vector<std::unique_ptr<ReadoutPanel>>& Panels() const { return m_panels; }
    // What the window's tooltip control says for a control (a window or a
    // readout cell), "" when nothing; whether a control is highlighted.
    std::wstring ToolTipOf(std::int32_t id) const;
    bool Highlighted(std::int32_t id) const;
    // The client area the template asks for, and how far it is scrolled now.
    SIZE ContentSize() const { return m_content; }
    POINT ScrollPosition() const { return m_scroll; }

    // A way out taken from outside the window (WM_CLOSE): see
    // WindowSession::RequestClose.
    void RequestClose() { m_session.RequestClose(); }

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
    // A curve graph's painter (for tests), or null.
    const Win32CurveGraph* CurveGraphOf(std::int32_t id) const;
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
    // What a control is to Win32: its window (null for a readout cell, which
    // its group's panel draws) and what the window cannot tell.
    struct Native {
        HWND window = nullptr;
        std::vector<std::wstring> entries; // combo box: its entries, for exact matching
        LampPicture lamp = LampPicture::Off;
        bool lampSet = false;
        int shownValue = -1; // a bar's position
        bool highlighted = false;
        std::wstring toolTip; // from the template
        std::vector<std::wstring> entryTips; // combo box: the tip of each entry
        std::shared_ptr<Win32CurveGraph> graph; // a curve graph's painter
    };
    using Controls = ControlRegistry<Native>;
    using Control = Controls::Entry;

    // SessionHost.
    void PostPendingClose() override;
    void AnswerOpenBoxes() override;
    void LeaveModalLoop(int result) override;
    // After every presenter event: the readout cells it changed are invalidated together.
    void AfterEvent() override;

    static INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void OnCommandMessage(WPARAM wParam, LPARAM lParam);
    bool OnNotify(const NMHDR& header, LRESULT& result);
    bool OnTimerMessage(UINT_PTR id);
    void OnSizeMessage(WPARAM kind);
    void PaintMinimised();
    // The items appended to the system menu, also offered as the window's
    // context menu; F1 chooses About among them. A window manager may give
    // no way to the system menu itself.
    void ShowContextMenu(LPARAM where);
    void ShowHelp();
    void Finish();

    void FlushPanels();
    // The panel that draws a readout cell.
    ReadoutPanel& PanelOf(const Control& control) const { return *m_panels[static_cast<std::size_t>(control.group)]; }
    bool MakePanel(const Control& groupBox);
    HBITMAP LampBitmap(LampPicture picture);
    // Shows a message box as a nested loop of this window; returns its answer.
    int ShowBox(const char* text, const char* caption, UINT type);
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
    HINSTANCE m_instance;
    Win32DialogView* m_parent;
    HWND m_window = nullptr;
    HFONT m_font = nullptr;
    HDEVNOTIFY m_deviceNotification = nullptr;
    int m_baseX = 6; // the dialog font's base units
    int m_baseY = 13;
    Controls m_controls;
    std::vector<std::unique_ptr<ReadoutPanel>> m_panels;
    std::vector<std::int32_t> m_timers;
    struct MenuItem {
        unsigned command;
        std::wstring text;
    };
    std::vector<MenuItem> m_menu; // appended to the system menu
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
    bool m_settingText = false; // EN_CHANGE of the presenter's own text is no edit
    WindowSession m_session;
};

#include "platform/win32ui/Win32DialogView.h"

#include "platform/win32ui/DialogTemplateBuilder.h"
#include "platform/win32ui/WideText.h"

#include <commctrl.h>
#include <dbt.h>
#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// The device interface class of HID devices ({4D1E55B2-F16F-11CF-88CB-001111000030}).
constexpr GUID kHidInterfaceClass = { 0x4D1E55B2, 0xF16F, 0x11CF, { 0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30 } };

// The up-down arrows sit mid-way in their default range (100 down to 0) and
// never move from there, so no limit ever stops a click's delta.
constexpr int kSpinLowest = 100;
constexpr int kSpinHighest = 0;
constexpr int kSpinResting = 50;

// The base units the run-time controls' pixel sizes were drawn for.
constexpr int kDesignBaseX = 6;
constexpr int kDesignBaseY = 13;

// A readout panel keeps clear of its group box's frame by this much.
constexpr int kPanelInset = 4;

void InitialiseCommonControlsOnce()
{
    static const bool done = [] {
        INITCOMMONCONTROLSEX controls {};
        controls.dwSize = sizeof controls;
        controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_UPDOWN_CLASS | ICC_LISTVIEW_CLASSES;
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)done;
}

struct BoxSearch {
    HWND owner;
    HWND skip;
};

BOOL CALLBACK EndOneMessageBox(HWND window, LPARAM parameter)
{
    const auto* search = reinterpret_cast<const BoxSearch*>(parameter);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (window != search->skip && GetWindow(window, GW_OWNER) == search->owner
        && std::wcscmp(className, L"#32770") == 0) {
        // A question is answered Cancel; a box with OK alone, OK.
        const int answer = GetDlgItem(window, IDCANCEL) != nullptr ? IDCANCEL : IDOK;
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
    }
    return TRUE;
}

} // namespace

Win32DialogView::Win32DialogView(
    const DialogTemplate& dialogTemplate, DialogPresenter& presenter, HINSTANCE instance, Win32DialogView* parent)
    : m_template(dialogTemplate)
    , m_instance(instance)
    , m_parent(parent)
    , m_session(presenter, *this, parent != nullptr ? &parent->m_session : nullptr)
{
    InitialiseCommonControlsOnce();
}

Win32DialogView::~Win32DialogView()
{
    Finish();
    for (HBITMAP& bitmap : m_lampBitmaps) {
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
            bitmap = nullptr;
        }
    }
    for (HICON icon : { m_bigIcon, m_smallIcon }) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
    if (m_highlightBrush != nullptr) {
        DeleteObject(m_highlightBrush);
    }
}

// ---------------------------------------------------------------- the modal run

int Win32DialogView::RunModal()
{
    const std::vector<std::uint32_t> block = BuildDialogTemplate(m_template, m_parent == nullptr);
    const HWND owner = m_parent != nullptr ? m_parent->m_window : nullptr;
    const INT_PTR answer = DialogBoxIndirectParamW(m_instance, reinterpret_cast<LPCDLGTEMPLATEW>(block.data()), owner,
        &Win32DialogView::DialogProcedure, reinterpret_cast<LPARAM>(this));
    Finish();
    m_window = nullptr;
    return answer == -1 ? kIdCancel : m_session.Result();
}

namespace {

// The tool id of a readout cell's tip: far above any window handle's value.
UINT_PTR CellToolId(std::int32_t id)
{
    return static_cast<UINT_PTR>(0x70000000u) + static_cast<UINT_PTR>(static_cast<std::uint32_t>(id));
}

// A progress bar of a signed value: the bar paints itself, then its middle
// is marked with a line of the window text colour.
LRESULT CALLBACK CentreMarkProcedure(
    HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR /*data*/)
{
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, &CentreMarkProcedure, 1);
        return DefSubclassProc(window, message, wParam, lParam);
    }
    if (message != WM_PAINT) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    RECT client;
    GetClientRect(window, &client);
    if (HDC dc = GetDC(window)) {
        const int middle = (client.left + client.right) / 2;
        const RECT line { middle, client.top + 1, middle + 1, client.bottom - 1 };
        FillRect(dc, &line, GetSysColorBrush(COLOR_WINDOWTEXT));
        ReleaseDC(window, dc);
    }
    return result;
}

// A combo box or an up-down control: only a deliberate act changes it. The
// wheel turns it only while it (or a combo's edit field) has the keyboard
// focus and the pointer is on it; any other wheel goes to the dialog, which
// scrolls. A combo's edit field hands its wheel to the combo, so this sees it.
LRESULT CALLBACK WheelGuardProcedure(
    HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR /*data*/)
{
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, &WheelGuardProcedure, 2);
        return DefSubclassProc(window, message, wParam, lParam);
    }
    if (message != WM_MOUSEWHEEL) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
    const HWND focus = GetFocus();
    const bool focused = focus != nullptr && (focus == window || IsChild(window, focus));
    RECT placed;
    const POINT pointer { GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam) };
    const bool pointerOn = GetWindowRect(window, &placed) && PtInRect(&placed, pointer);
    if (focused && pointerOn) {
        return DefSubclassProc(window, message, wParam, lParam);
    }
    if (const HWND dialog = GetParent(window)) {
        SendMessageW(dialog, WM_MOUSEWHEEL, wParam, lParam);
    }
    return 0;
}

// A drop-down combo's edit field takes the wheel for itself (and scrolls
// nothing): it goes to the combo, whose guard above decides.
LRESULT CALLBACK ComboEditWheelProcedure(
    HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/, DWORD_PTR /*data*/)
{
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, &ComboEditWheelProcedure, 3);
        return DefSubclassProc(window, message, wParam, lParam);
    }
    if (message == WM_MOUSEWHEEL) {
        if (const HWND combo = GetParent(window)) {
            SendMessageW(combo, WM_MOUSEWHEEL, wParam, lParam);
        }
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// The windows of this thread that answer F1. The dialog manager's loop hands
// every message to the message filter before the focused control sees it,
// so F1 reaches the window whichever control has the focus.
thread_local std::vector<std::pair<HWND, Win32DialogView*>> t_helpWindows;
thread_local HHOOK t_helpHook = nullptr;

LRESULT CALLBACK HelpKeyFilter(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && message != nullptr && message->message == WM_KEYDOWN && message->wParam == VK_F1
        && GetKeyState(VK_CONTROL) >= 0 && GetKeyState(VK_SHIFT) >= 0 && GetKeyState(VK_MENU) >= 0) {
        const HWND root = GetAncestor(message->hwnd, GA_ROOT);
        for (const auto& entry : t_helpWindows) {
            if (entry.first == root) {
                // Answered between messages, not inside the filter.
                PostMessageW(root, Win32DialogView::kDeliverHelp, 0, 0);
                return TRUE;
            }
        }
    }
    return CallNextHookEx(t_helpHook, code, wParam, lParam);
}

} // namespace

INT_PTR CALLBACK Win32DialogView::DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        auto* view = reinterpret_cast<Win32DialogView*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        view->m_window = window;
        view->OnInitDialog();
        return TRUE;
    }
    auto* view = reinterpret_cast<Win32DialogView*>(GetWindowLongPtrW(window, DWLP_USER));
    if (view == nullptr) {
        return FALSE;
    }
    return view->HandleMessage(message, wParam, lParam);
}

void Win32DialogView::OnInitDialog()
{
    m_font = reinterpret_cast<HFONT>(SendMessageW(m_window, WM_GETFONT, 0, 0));
    RECT units { 0, 0, 4, 8 };
    if (MapDialogRect(m_window, &units)) {
        m_baseX = std::max<int>(1, units.right);
        m_baseY = std::max<int>(1, units.bottom);
    }
    m_toolTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window, nullptr, m_instance, nullptr);
    if (m_toolTip != nullptr) {
        // Wide enough for a sentence, and a combo's device name on a line of its own.
        SendMessageW(m_toolTip, TTM_SETMAXTIPWIDTH, 0, ScaleX(360));
    }
    for (const ControlTemplate& control : m_template.controls) {
        if (control.id == kNoControlId || m_controls.Has(control.id)) {
            continue; // the first of repeated ids answers, as GetDlgItem does
        }
        const HWND window = GetDlgItem(m_window, control.id);
        if (window == nullptr) {
            continue;
        }
        Native entry;
        entry.window = window;
        switch (control.kind) {
        case ControlKind::Spin:
            SendMessageW(window, UDM_SETRANGE32, static_cast<WPARAM>(kSpinLowest), kSpinHighest);
            SendMessageW(window, UDM_SETPOS32, 0, kSpinResting);
            SetWindowSubclass(window, &WheelGuardProcedure, 2, 0);
            break;
        case ControlKind::ComboBox: {
            SetWindowSubclass(window, &WheelGuardProcedure, 2, 0);
            COMBOBOXINFO parts {};
            parts.cbSize = sizeof parts;
            if (GetComboBoxInfo(window, &parts) && parts.hwndItem != nullptr && parts.hwndItem != window) {
                SetWindowSubclass(parts.hwndItem, &ComboEditWheelProcedure, 3, 0);
            }
            break;
        }
        case ControlKind::ProgressBar:
            // A themed bar ignores its colour; " " (not "") switches the theme off under Wine too.
            SetWindowTheme(window, L" ", L" ");
            SendMessageW(window, PBM_SETRANGE32, 0, 100);
            entry.shownValue = 0;
            if ((control.flags & FlagCentreMark) != 0) {
                SetWindowSubclass(window, &CentreMarkProcedure, 1, 0);
            }
            break;
        case ControlKind::ListView:
            SendMessageW(window, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
            break;
        case ControlKind::Lamp:
            entry.lamp = static_cast<LampPicture>(control.image);
            entry.lampSet = true;
            break;
        case ControlKind::CurveGraph: {
            const std::int32_t id = control.id;
            entry.graph = std::make_shared<Win32CurveGraph>(window,
                [this, id](int point, double x, double y) { m_session.DeliverCurvePointDrag(id, point, x, y); });
            break;
        }
        default:
            break;
        }
        entry.toolTip = WideText::FromUtf8(control.toolTip != nullptr ? control.toolTip : "");
        AddToolTip(control.id, *m_controls.AddTemplateControl(control, std::move(entry)), control.toolTip);
    }

    if (m_parent == nullptr) {
        // Joysticks are HID devices: their arrival and removal reach the main window.
        DEV_BROADCAST_DEVICEINTERFACE_W filter {};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kHidInterfaceClass;
        m_deviceNotification = RegisterDeviceNotificationW(m_window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    if (t_helpWindows.empty()) {
        t_helpHook = SetWindowsHookExW(WH_MSGFILTER, &HelpKeyFilter, nullptr, GetCurrentThreadId());
    }
    t_helpWindows.emplace_back(m_window, this);
    m_session.Open(*this);
    FitToWorkArea();
}

void Win32DialogView::FitToWorkArea()
{
    if (m_window == nullptr) {
        return;
    }
    // From the template, not the window: a window manager may have cut the
    // window to the screen already.
    RECT content { 0, 0, m_template.width, m_template.height };
    MapDialogRect(m_window, &content);
    m_content = { content.right, content.bottom };
    RECT frame = content;
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_STYLE)), FALSE,
        static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_EXSTYLE)));
    MONITORINFO monitor {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(m_window, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return;
    }
    const RECT& work = monitor.rcWork;
    const LONG workWidth = work.right - work.left;
    const LONG workHeight = work.bottom - work.top;
    const LONG width = frame.right - frame.left;
    const LONG height = frame.bottom - frame.top;
    if (width <= workWidth && height <= workHeight) {
        return;
    }
    // Too large for the screen: a resizable window of the work area's size,
    // whose controls scroll.
    m_scrolling = true;
    SetWindowLongPtrW(m_window, GWL_STYLE,
        GetWindowLongPtrW(m_window, GWL_STYLE) | static_cast<LONG_PTR>(WS_THICKFRAME | WS_HSCROLL | WS_VSCROLL));
    const LONG newWidth = std::min(width, workWidth);
    const LONG newHeight = std::min(height, workHeight);
    SetWindowPos(m_window, nullptr, work.left + (workWidth - newWidth) / 2, work.top + (workHeight - newHeight) / 2,
        newWidth, newHeight, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    UpdateScrollBars();
}

void Win32DialogView::UpdateScrollBars()
{
    if (!m_scrolling) {
        return;
    }
    // Twice: a bar that appears takes room from the other direction.
    for (int pass = 0; pass < 2; ++pass) {
        RECT client;
        GetClientRect(m_window, &client);
        SCROLLINFO info {};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE;
        info.nMin = 0;
        info.nMax = m_content.cx - 1;
        info.nPage = static_cast<UINT>(std::max<LONG>(0, client.right));
        SetScrollInfo(m_window, SB_HORZ, &info, TRUE);
        info.nMax = m_content.cy - 1;
        info.nPage = static_cast<UINT>(std::max<LONG>(0, client.bottom));
        SetScrollInfo(m_window, SB_VERT, &info, TRUE);
    }
    RECT client;
    GetClientRect(m_window, &client);
    ScrollTo(std::clamp<int>(m_scroll.x, 0, std::max<int>(0, m_content.cx - client.right)),
        std::clamp<int>(m_scroll.y, 0, std::max<int>(0, m_content.cy - client.bottom)));
}

void Win32DialogView::ScrollTo(int x, int y)
{
    RECT client;
    GetClientRect(m_window, &client);
    x = std::clamp<int>(x, 0, std::max<int>(0, m_content.cx - client.right));
    y = std::clamp<int>(y, 0, std::max<int>(0, m_content.cy - client.bottom));
    const int dx = m_scroll.x - x;
    const int dy = m_scroll.y - y;
    if (dx == 0 && dy == 0) {
        return;
    }
    m_scroll = { x, y };
    // The child windows move with the picture; readout cells' tooltip
    // rectangles are relative to the dialog and move along.
    // Each child moved by hand, in one deferred batch: ScrollWindowEx's
    // SW_SCROLLCHILDREN leaves children alone on some systems (Wine).
    int children = 0;
    for (HWND child = GetWindow(m_window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        ++children;
    }
    HDWP batch = BeginDeferWindowPos(children);
    for (HWND child = GetWindow(m_window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT placed;
        GetWindowRect(child, &placed);
        MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&placed), 2);
        const UINT flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
        if (batch != nullptr) {
            batch = DeferWindowPos(batch, child, nullptr, placed.left + dx, placed.top + dy, 0, 0, flags);
        } else {
            SetWindowPos(child, nullptr, placed.left + dx, placed.top + dy, 0, 0, flags);
        }
    }
    if (batch != nullptr) {
        EndDeferWindowPos(batch);
    }
    InvalidateRect(m_window, nullptr, TRUE);
    if (m_toolTip != nullptr) {
        for (const auto& [id, control] : m_controls) {
            if (!control.IsCell()) {
                continue;
            }
            TTTOOLINFOW tool {};
            tool.cbSize = sizeof tool;
            tool.hwnd = m_window;
            tool.uId = CellToolId(id);
            tool.rect = PanelOf(control).CellAt(control.cell).rect;
            MapWindowPoints(PanelOf(control).Window(), m_window, reinterpret_cast<POINT*>(&tool.rect), 2);
            SendMessageW(m_toolTip, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    SetScrollPos(m_window, SB_HORZ, x, TRUE);
    SetScrollPos(m_window, SB_VERT, y, TRUE);
}

void Win32DialogView::OnScroll(int bar, WPARAM wParam)
{
    SCROLLINFO info {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    GetScrollInfo(m_window, bar, &info);
    const int line = bar == SB_VERT ? m_baseY : m_baseX;
    int position = bar == SB_VERT ? m_scroll.y : m_scroll.x;
    switch (LOWORD(wParam)) {
    case SB_LINEUP:
        position -= line;
        break;
    case SB_LINEDOWN:
        position += line;
        break;
    case SB_PAGEUP:
        position -= static_cast<int>(info.nPage);
        break;
    case SB_PAGEDOWN:
        position += static_cast<int>(info.nPage);
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        position = info.nTrackPos;
        break;
    case SB_TOP:
        position = 0;
        break;
    case SB_BOTTOM:
        position = info.nMax;
        break;
    default:
        return;
    }
    if (bar == SB_VERT) {
        ScrollTo(m_scroll.x, position);
    } else {
        ScrollTo(position, m_scroll.y);
    }
}

void Win32DialogView::Finish()
{
    const auto help = std::find_if(t_helpWindows.begin(), t_helpWindows.end(),
        [this](const std::pair<HWND, Win32DialogView*>& entry) { return entry.second == this; });
    if (help != t_helpWindows.end()) {
        t_helpWindows.erase(help);
        if (t_helpWindows.empty() && t_helpHook != nullptr) {
            UnhookWindowsHookEx(t_helpHook);
            t_helpHook = nullptr;
        }
    }
    m_session.Finish();
    if (m_deviceNotification != nullptr) {
        UnregisterDeviceNotification(m_deviceNotification);
        m_deviceNotification = nullptr;
    }
    if (m_window != nullptr) {
        for (const std::int32_t id : m_timers) {
            KillTimer(m_window, static_cast<UINT_PTR>(id));
        }
    }
    m_timers.clear();
}

void Win32DialogView::EndDialog(int result)
{
    m_session.End(result);
}

void Win32DialogView::LeaveModalLoop(int result)
{
    // The dialog manager leaves its loop once the running handler has returned.
    if (m_window != nullptr) {
        ::EndDialog(m_window, result);
    }
}

void Win32DialogView::PostPendingClose()
{
    if (m_window != nullptr) {
        PostMessageW(m_window, kDeliverPendingClose, 0, 0);
    }
}

void Win32DialogView::AnswerOpenBoxes()
{
    // An open menu (the system menu) has nobody left to choose from it, and
    // the dialog's loop cannot end while the menu's runs.
    EndMenu();
    if (m_boxesOpen == 0 || m_window == nullptr) {
        return;
    }
    BoxSearch search { m_window, m_child != nullptr ? m_child->m_window : nullptr };
    EnumThreadWindows(GetCurrentThreadId(), &EndOneMessageBox, reinterpret_cast<LPARAM>(&search));
}

void Win32DialogView::AfterEvent()
{
    FlushPanels();
}

// ---------------------------------------------------------------- messages

INT_PTR Win32DialogView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommandMessage(wParam, lParam);
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
        // A highlighted group box (a lost joystick's slot) has a red caption;
        // another highlighted text sits on the highlight's yellow.
        const Control* control = m_controls.Find(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
        if (control == nullptr || !control->native.highlighted) {
            return FALSE;
        }
        HDC dc = reinterpret_cast<HDC>(wParam);
        if (control->kind == ControlKind::GroupBox) {
            SetTextColor(dc, RGB(220, 0, 0));
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
        }
        if (m_highlightBrush == nullptr) {
            m_highlightBrush = CreateSolidBrush(kHighlightColour);
        }
        SetBkColor(dc, kHighlightColour);
        return reinterpret_cast<INT_PTR>(m_highlightBrush);
    }
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (lParam != 0 && OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) {
            SetWindowLongPtrW(m_window, DWLP_MSGRESULT, result);
            return TRUE;
        }
        return FALSE;
    }
    case WM_TIMER:
        return OnTimerMessage(static_cast<UINT_PTR>(wParam)) ? TRUE : FALSE;
    case WM_SYSCOMMAND: {
        const auto command = static_cast<unsigned>(wParam);
        // The close box goes through the presenter, never straight to WM_CLOSE.
        return m_session.DeliverSystemCommand(command) || (command & 0xFFF0u) == SC_CLOSE ? TRUE : FALSE;
    }
    case WM_CLOSE:
        // From outside (a polite close, as taskkill without /F sends it).
        m_session.RequestClose();
        return TRUE;
    case WM_QUERYENDSESSION:
        SetWindowLongPtrW(m_window, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_ENDSESSION:
        if (wParam != 0) {
            // The process may end as soon as this returns: leave now, the way
            // OK does, and let go of the devices and the block here.
            m_session.EndAtOnce();
        }
        SetWindowLongPtrW(m_window, DWLP_MSGRESULT, 0);
        return TRUE;
    case kDeliverPendingClose:
        m_session.DeliverPendingClose();
        return TRUE;
    case WM_PAINT:
        if (IsIconic(m_window)) {
            PaintMinimised();
            return TRUE;
        }
        return FALSE;
    case WM_HSCROLL:
    case WM_VSCROLL:
        // The window's own bars only: up-down controls report through here too.
        if (lParam != 0 || !m_scrolling) {
            return FALSE;
        }
        OnScroll(message == WM_VSCROLL ? SB_VERT : SB_HORZ, wParam);
        return TRUE;
    case WM_MOUSEWHEEL:
        if (!m_scrolling) {
            return FALSE;
        }
        ScrollTo(m_scroll.x, m_scroll.y - GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA * 3 * m_baseY);
        return TRUE;
    case WM_GETMINMAXINFO:
        if (m_scrolling && lParam != 0) {
            // Never larger than what it holds.
            RECT frame { 0, 0, m_content.cx, m_content.cy };
            AdjustWindowRectEx(&frame,
                static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_STYLE)) & ~WS_HSCROLL & ~WS_VSCROLL, FALSE,
                static_cast<DWORD>(GetWindowLongPtrW(m_window, GWL_EXSTYLE)));
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMaxTrackSize = { frame.right - frame.left, frame.bottom - frame.top };
            return TRUE;
        }
        return FALSE;
    case WM_SIZE:
        OnSizeMessage(wParam);
        return FALSE;
    case WM_DEVICECHANGE:
        // A HID device came or went (registered for below), or any device
        // node changed: the presenter enumerates its joysticks again.
        if (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE || wParam == DBT_DEVNODES_CHANGED) {
            m_session.DeliverDevicesChanged();
        }
        return TRUE;
    case WM_CONTEXTMENU:
        ShowContextMenu(lParam);
        return TRUE;
    case WM_HELP: // F1 where a system sends it
    case kDeliverHelp:
        ShowHelp();
        return TRUE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(m_bigIcon);
    case WM_DESTROY:
        Finish();
        return FALSE;
    default:
        return FALSE;
    }
}

void Win32DialogView::OnCommandMessage(WPARAM wParam, LPARAM lParam)
{
    const auto from = reinterpret_cast<HWND>(lParam);
    const int code = HIWORD(wParam);
    if (from == nullptr) {
        // A menu command, an accelerator, or Enter / Escape without a button of that id.
        const auto command = static_cast<std::int32_t>(static_cast<std::int16_t>(LOWORD(wParam)));
        if (command == kIdOk || command == kIdCancel) {
            m_session.DeliverDialogKey(
                command == kIdOk ? WindowSession::DialogKey::Enter : WindowSession::DialogKey::Escape);
        } else {
            m_session.DeliverCommand(command);
        }
        return;
    }
    const auto id = static_cast<std::int32_t>(GetDlgCtrlID(from));
    if (id == kIdOk && GetKeyState(VK_RETURN) < 0) {
        // The dialog manager's Enter, not a click: the session decides
        // whether it ends the window.
        m_session.DeliverDialogKey(WindowSession::DialogKey::Enter);
        return;
    }
    const Control* control = m_controls.Find(id);
    if (control == nullptr) {
        // Escape names the Cancel button whatever its state; a control that
        // is not in the template is not the presenter's.
        if (code == BN_CLICKED && (id == kIdOk || id == kIdCancel)) {
            m_session.DeliverCommand(id);
        }
        return;
    }
    switch (control->kind) {
    case ControlKind::PushButton:
    case ControlKind::CheckBox: // BS_AUTOCHECKBOX: turned over before it tells
        if (code == BN_CLICKED) {
            m_session.DeliverCommand(id);
        }
        break;
    case ControlKind::Edit:
        if (code == EN_CHANGE && !m_settingText && (GetWindowLongPtrW(from, GWL_STYLE) & ES_READONLY) == 0) {
            m_session.DeliverEditChange(id);
        }
        break;
    case ControlKind::ComboBox:
        // Only the operator's choice: selections set by the presenter send no CBN_SELCHANGE.
        if (code == CBN_SELCHANGE) {
            RefreshComboTip(id, *control);
            const auto position = static_cast<int>(SendMessageW(from, CB_GETCURSEL, 0, 0));
            if (position >= 0) {
                m_session.DeliverSelection(id, position);
            }
        }
        break;
    default:
        break;
    }
}

bool Win32DialogView::OnNotify(const NMHDR& header, LRESULT& result)
{
    if (header.code != UDN_DELTAPOS) {
        return false;
    }
    const auto id = static_cast<std::int32_t>(header.idFrom);
    if (m_controls.Find(id, ControlKind::Spin) == nullptr) {
        return false;
    }
    const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
    (void)m_session.DeliverSpin(id, change.iDelta);
    // Refused whatever the presenter said: the arrows keep their resting
    // position, so no limit is ever reached.
    result = TRUE;
    return true;
}

bool Win32DialogView::OnTimerMessage(UINT_PTR id)
{
    const auto found = std::find(m_timers.begin(), m_timers.end(), static_cast<std::int32_t>(id));
    if (found == m_timers.end()) {
        return false;
    }
    m_session.DeliverTimer(static_cast<std::int32_t>(id));
    return true;
}

void Win32DialogView::OnSizeMessage(WPARAM kind)
{
    if (kind != SIZE_MINIMIZED) {
        UpdateScrollBars();
    }
    // Nobody sees a minimised window: the presenter gets no frames for it,
    // and on the restore one whole frame, drawn at once.
    if (kind == SIZE_MINIMIZED) {
        m_session.DeliverVisibility(false);
    } else if (kind == SIZE_RESTORED || kind == SIZE_MAXIMIZED) {
        m_session.DeliverVisibility(true);
    }
}

void Win32DialogView::PaintMinimised()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_window, &paint);
    if (dc != nullptr && m_bigIcon != nullptr) {
        RECT client;
        GetClientRect(m_window, &client);
        const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
        DrawIcon(dc, x, y, m_bigIcon);
    }
    EndPaint(m_window, &paint);
}

// ---------------------------------------------------------------- painting

void Win32DialogView::FlushPanels()
{
    if (m_window == nullptr || IsIconic(m_window)) {
        return; // nothing is drawn while minimised; the restore's whole frame shows it all
    }
    for (const auto& panel : m_panels) {
        panel->FlushDirty();
    }
}

// ---------------------------------------------------------------- lookups

HWND Win32DialogView::ControlWindow(std::int32_t id) const
{
    const Control* control = m_controls.Find(id);
    return control != nullptr ? control->native.window : nullptr;
}

int Win32DialogView::ScaleX(int pixels) const
{
    return MulDiv(pixels, m_baseX, kDesignBaseX);
}

int Win32DialogView::ScaleY(int pixels) const
{
    return MulDiv(pixels, m_baseY, kDesignBaseY);
}

HBITMAP Win32DialogView::LampBitmap(LampPicture picture)
{
    const int index = picture == LampPicture::On ? 1 : (picture == LampPicture::Warning ? 2 : 0);
    HBITMAP& bitmap = m_lampBitmaps[index];
    if (bitmap == nullptr) {
        bitmap = static_cast<HBITMAP>(
            LoadImageW(m_instance, MAKEINTRESOURCEW(static_cast<int>(picture)), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    }
    return bitmap;
}

// ---------------------------------------------------------------- DialogView

void Win32DialogView::SetTitle(const char* title)
{
    if (m_window != nullptr) {
        SetWindowTextW(m_window, WideText::FromUtf8(title).c_str());
    }
}

void Win32DialogView::SetIcon(std::int32_t iconResource)
{
    if (m_window == nullptr) {
        return;
    }
    const auto load = [this, iconResource](int size) {
        return static_cast<HICON>(
            LoadImageW(m_instance, MAKEINTRESOURCEW(iconResource), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    };
    if (m_bigIcon == nullptr) {
        m_bigIcon = load(GetSystemMetrics(SM_CXICON));
        m_smallIcon = load(GetSystemMetrics(SM_CXSMICON));
    }
    SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_bigIcon));
    SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));
}

bool Win32DialogView::AppendSystemMenuItem(unsigned command, const char* text)
{
    const HMENU menu = m_window != nullptr ? GetSystemMenu(m_window, FALSE) : nullptr;
    if (menu == nullptr) {
        return false;
    }
    std::wstring wide = WideText::FromUtf8(text);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    if (AppendMenuW(menu, MF_STRING, command, wide.c_str()) == FALSE) {
        return false;
    }
    m_menu.push_back({ command, std::move(wide) });
    return true;
}

void Win32DialogView::ShowContextMenu(LPARAM where)
{
    if (!m_session.Live() || m_menu.empty()) {
        return;
    }
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        return;
    }
    for (const MenuItem& item : m_menu) {
        AppendMenuW(menu, MF_STRING, item.command, item.text.c_str());
    }
    POINT at { GET_X_LPARAM(where), GET_Y_LPARAM(where) };
    if (where == -1) {
        // From the keyboard (Shift+F10, the menu key): at the window's corner.
        at = { 0, 0 };
        ClientToScreen(m_window, &at);
    }
    unsigned chosen = 0;
    {
        const WindowSession::NestedLoop nested(m_session);
        chosen = static_cast<unsigned>(
            TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, m_window, nullptr));
    }
    DestroyMenu(menu);
    if (chosen != 0) {
        m_session.DeliverSystemCommand(chosen);
    }
}

void Win32DialogView::ShowHelp()
{
    for (const MenuItem& item : m_menu) {
        if ((item.command & 0xFFF0u) == kAboutCommand) {
            m_session.DeliverSystemCommand(item.command);
            return;
        }
    }
}

void Win32DialogView::SetControlText(std::int32_t id, const char* text)
{
    Control* control = m_controls.Find(id);
    if (control == nullptr) {
        return;
    }
    if (control->IsCell()) {
        // Drawn with the others changed by the same event.
        wchar_t value[64];
        WideText::FromUtf8(text, value, 64);
        PanelOf(*control).SetText(control->cell, value);
        return;
    }
    if (control->kind == ControlKind::ComboBox) {
        ComboSetEditText(id, text);
        return;
    }
    // An edit sends EN_CHANGE for this too: not the operator's typing.
    m_settingText = true;
    SetWindowTextW(control->native.window, WideText::FromUtf8(text).c_str());
    m_settingText = false;
}

void Win32DialogView::SetCheck(std::int32_t id, bool checked)
{
    if (const Control* control = m_controls.Find(id, ControlKind::CheckBox)) {
        SendMessageW(control->native.window, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

bool Win32DialogView::IsChecked(std::int32_t id) const
{
    const Control* control = m_controls.Find(id, ControlKind::CheckBox);
    return control != nullptr && SendMessageW(control->native.window, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32DialogView::SetCurveGraph(std::int32_t id, const CurveGraphData& graph)
{
    if (const Control* control = m_controls.Find(id, ControlKind::CurveGraph);
        control != nullptr && control->native.graph) {
        control->native.graph->SetGraph(graph);
    }
}

void Win32DialogView::SetCurveMarker(std::int32_t id, const CurveMarker& marker)
{
    if (const Control* control = m_controls.Find(id, ControlKind::CurveGraph);
        control != nullptr && control->native.graph) {
        control->native.graph->SetMarker(marker);
    }
}

const Win32CurveGraph* Win32DialogView::CurveGraphOf(std::int32_t id) const
{
    const Control* control = m_controls.Find(id, ControlKind::CurveGraph);
    return control != nullptr ? control->native.graph.get() : nullptr;
}

int Win32DialogView::GetControlText(std::int32_t id, char* buffer, int size) const
{
    std::string value;
    if (const Control* control = m_controls.Find(id)) {
        if (control->IsCell()) {
            value = WideText::ToUtf8(PanelOf(*control).CellAt(control->cell).text.c_str());
        } else if (control->native.window != nullptr) {
            const int length = GetWindowTextLengthW(control->native.window);
            std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
            const int got = GetWindowTextW(control->native.window, wide.data(), length + 1);
            value = WideText::ToUtf8(wide.c_str(), got);
        }
    }
    return CopyControlText(value, buffer, size);
}

void Win32DialogView::EnableControl(std::int32_t id, bool enable)
{
    Control* control = m_controls.Find(id);
    if (control == nullptr) {
        return;
    }
    if (control->IsCell()) {
        PanelOf(*control).SetEnabled(control->cell, enable);
    } else if ((IsWindowEnabled(control->native.window) != FALSE) != enable) {
        EnableWindow(control->native.window, enable ? TRUE : FALSE);
    }
}

void Win32DialogView::ShowControl(std::int32_t id, bool show)
{
    Control* control = m_controls.Find(id);
    if (control == nullptr) {
        return;
    }
    if (control->IsCell()) {
        PanelOf(*control).SetVisible(control->cell, show);
    } else if ((IsWindowVisible(control->native.window) != FALSE) != show) {
        ShowWindow(control->native.window, show ? SW_SHOWNA : SW_HIDE);
    }
}

void Win32DialogView::ComboInsertString(std::int32_t id, int position, const char* text)
{
    Control* control = m_controls.Find(id, ControlKind::ComboBox);
    if (control == nullptr) {
        return;
    }
    const int at = std::clamp(position, 0, static_cast<int>(control->native.entries.size()));
    std::wstring entry = WideText::FromUtf8(text);
    const auto inserted = SendMessageW(
        control->native.window, CB_INSERTSTRING, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(entry.c_str()));
    if (inserted >= 0) {
        control->native.entries.insert(control->native.entries.begin() + at, std::move(entry));
    }
}

void Win32DialogView::ComboSetEditText(std::int32_t id, const char* text)
{
    Control* control = m_controls.Find(id, ControlKind::ComboBox);
    if (control == nullptr) {
        return;
    }
    const std::wstring value = WideText::FromUtf8(text);
    // Exactly, case and all: CB_FINDSTRINGEXACT ignores case.
    const auto entry = std::find(control->native.entries.begin(), control->native.entries.end(), value);
    const auto current = static_cast<int>(SendMessageW(control->native.window, CB_GETCURSEL, 0, 0));
    if (entry != control->native.entries.end()) {
        const auto position = static_cast<int>(entry - control->native.entries.begin());
        if (current != position) {
            SendMessageW(control->native.window, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
        }
        return;
    }
    // A text that is no entry ("?"): shown in the edit field with nothing selected.
    if (current != -1) {
        SendMessageW(control->native.window, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    }
    SetWindowTextW(control->native.window, value.c_str());
}

void Win32DialogView::ComboSetSelection(std::int32_t id, int position)
{
    Control* control = m_controls.Find(id, ControlKind::ComboBox);
    if (control == nullptr) {
        return;
    }
    const bool valid = position >= 0 && position < static_cast<int>(control->native.entries.size());
    SendMessageW(control->native.window, CB_SETCURSEL, static_cast<WPARAM>(valid ? position : -1), 0);
    RefreshComboTip(id, *control);
}

void Win32DialogView::ComboSetItemToolTip(std::int32_t id, int position, const char* text)
{
    Control* control = m_controls.Find(id, ControlKind::ComboBox);
    if (control == nullptr || position < 0 || position > 255) {
        return;
    }
    if (static_cast<int>(control->native.entryTips.size()) <= position) {
        control->native.entryTips.resize(static_cast<std::size_t>(position) + 1);
    }
    control->native.entryTips[static_cast<std::size_t>(position)] = WideText::FromUtf8(text);
    RefreshComboTip(id, *control);
}

// A combo list's entries have no tips of their own here: the combo's tip
// names what its selected entry stands for on a second line.
void Win32DialogView::RefreshComboTip(std::int32_t /*id*/, const Control& control)
{
    if (m_toolTip == nullptr || control.native.entryTips.empty()) {
        return;
    }
    const auto position = static_cast<int>(SendMessageW(control.native.window, CB_GETCURSEL, 0, 0));
    std::wstring text = control.native.toolTip;
    if (position >= 0 && position < static_cast<int>(control.native.entryTips.size())
        && !control.native.entryTips[static_cast<std::size_t>(position)].empty()) {
        text += text.empty() ? L"" : L"\n";
        text += control.native.entryTips[static_cast<std::size_t>(position)];
    }
    TTTOOLINFOW tool {};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_window;
    tool.uId = reinterpret_cast<UINT_PTR>(control.native.window);
    tool.lpszText = text.data();
    tool.hinst = nullptr;
    SendMessageW(m_toolTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32DialogView::AddToolTip(std::int32_t id, const Control& control, const char* text)
{
    if (m_toolTip == nullptr || text == nullptr || text[0] == '\0') {
        return;
    }
    std::wstring wide = WideText::FromUtf8(text);
    TTTOOLINFOW tool {};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_SUBCLASS;
    tool.lpszText = wide.data();
    if (control.IsCell()) {
        // A readout cell: its panel lets the mouse through to the dialog, so
        // the tool is the cell's rectangle of the dialog.
        const ReadoutPanel& panel = PanelOf(control);
        tool.hwnd = m_window;
        tool.uId = CellToolId(id);
        tool.rect = panel.CellAt(control.cell).rect;
        MapWindowPoints(panel.Window(), m_window, reinterpret_cast<POINT*>(&tool.rect), 2);
        SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        return;
    }
    tool.uFlags |= TTF_IDISHWND;
    tool.hwnd = m_window;
    tool.uId = reinterpret_cast<UINT_PTR>(control.native.window);
    SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (control.kind == ControlKind::ComboBox) {
        // The edit field of a drop-down combo takes the mouse over most of it.
        if (HWND edit = GetWindow(control.native.window, GW_CHILD)) {
            tool.uId = reinterpret_cast<UINT_PTR>(edit);
            SendMessageW(m_toolTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
}

std::wstring Win32DialogView::ToolTipOf(std::int32_t id) const
{
    const Control* control = m_controls.Find(id);
    if (control == nullptr || m_toolTip == nullptr) {
        return std::wstring();
    }
    wchar_t buffer[1024] = {};
    TTTOOLINFOW tool {};
    tool.cbSize = sizeof tool;
    tool.lpszText = buffer;
    if (control->IsCell()) {
        tool.hwnd = m_window;
        tool.uId = CellToolId(id);
    } else {
        tool.hwnd = m_window;
        tool.uId = reinterpret_cast<UINT_PTR>(control->native.window);
    }
    SendMessageW(m_toolTip, TTM_GETTEXTW, sizeof buffer / sizeof buffer[0], reinterpret_cast<LPARAM>(&tool));
    return std::wstring(buffer);
}

bool Win32DialogView::Highlighted(std::int32_t id) const
{
    const Control* control = m_controls.Find(id);
    if (control == nullptr) {
        return false;
    }
    return control->IsCell() ? PanelOf(*control).Highlighted(control->cell) : control->native.highlighted;
}

void Win32DialogView::SetControlHighlight(std::int32_t id, bool highlighted)
{
    Control* control = m_controls.Find(id);
    if (control == nullptr) {
        return;
    }
    if (control->IsCell()) {
        PanelOf(*control).SetHighlighted(control->cell, highlighted);
        return;
    }
    if (control->native.highlighted != highlighted) {
        control->native.highlighted = highlighted;
        InvalidateRect(control->native.window, nullptr, TRUE);
    }
}

void Win32DialogView::SetProgressPosition(std::int32_t id, int position)
{
    Control* control = m_controls.Find(id, ControlKind::ProgressBar);
    if (control == nullptr) {
        return;
    }
    const int value = std::clamp(position, 0, 100);
    if (value != control->native.shownValue) {
        SendMessageW(control->native.window, PBM_SETPOS, static_cast<WPARAM>(value), 0);
        control->native.shownValue = value;
    }
}

void Win32DialogView::SetProgressBarColour(std::int32_t id, BarColour colour)
{
    Control* control = m_controls.Find(id, ControlKind::ProgressBar);
    if (control == nullptr) {
        return;
    }
    SendMessageW(control->native.window, PBM_SETBARCOLOR, 0, RGB(colour.red, colour.green, colour.blue));
}

void Win32DialogView::SetLampPicture(std::int32_t id, LampPicture picture)
{
    Control* control = m_controls.Find(id, ControlKind::Lamp);
    if (control == nullptr) {
        return;
    }
    if (control->native.lampSet && control->native.lamp == picture) {
        return;
    }
    const HBITMAP bitmap = LampBitmap(picture);
    if (bitmap == nullptr) {
        return;
    }
    const auto previous = reinterpret_cast<HBITMAP>(
        SendMessageW(control->native.window, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    // The picture the dialog manager loaded from the template belongs to the
    // control until it is replaced; ours stay with the view.
    if (previous != nullptr
        && std::find(std::begin(m_lampBitmaps), std::end(m_lampBitmaps), previous) == std::end(m_lampBitmaps)) {
        DeleteObject(previous);
    }
    control->native.lamp = picture;
    control->native.lampSet = true;
}

void Win32DialogView::ListInsertColumn(std::int32_t id, int column, const char* heading, int widthPixels)
{
    Control* control = m_controls.Find(id, ControlKind::ListView);
    if (control == nullptr) {
        return;
    }
    std::wstring text = WideText::FromUtf8(heading);
    LVCOLUMNW entry {};
    entry.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    entry.fmt = LVCFMT_LEFT;
    entry.cx = widthPixels;
    entry.pszText = text.data();
    entry.iSubItem = column;
    SendMessageW(
        control->native.window, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&entry));
}

int Win32DialogView::ListInsertItem(std::int32_t id, int position, const char* text, bool selected)
{
    Control* control = m_controls.Find(id, ControlKind::ListView);
    if (control == nullptr) {
        return -1;
    }
    std::wstring value = WideText::FromUtf8(text);
    LVITEMW item {};
    item.mask = LVIF_TEXT | LVIF_STATE;
    item.iItem = std::max(position, 0);
    item.pszText = value.data();
    item.state = selected ? LVIS_SELECTED : 0;
    item.stateMask = LVIS_SELECTED;
    return static_cast<int>(SendMessageW(control->native.window, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void Win32DialogView::ListSetItemText(std::int32_t id, int item, int column, const char* text)
{
    Control* control = m_controls.Find(id, ControlKind::ListView);
    if (control == nullptr || item < 0 || column < 0) {
        return;
    }
    std::wstring value = WideText::FromUtf8(text);
    LVITEMW entry {};
    entry.iSubItem = column;
    entry.pszText = value.data();
    SendMessageW(control->native.window, LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&entry));
}

void Win32DialogView::ListDeleteAllItems(std::int32_t id)
{
    Control* control = m_controls.Find(id, ControlKind::ListView);
    if (control != nullptr) {
        SendMessageW(control->native.window, LVM_DELETEALLITEMS, 0, 0);
    }
}

void Win32DialogView::ListEnsureVisible(std::int32_t id, int item)
{
    Control* control = m_controls.Find(id, ControlKind::ListView);
    if (control != nullptr && item >= 0) {
        SendMessageW(control->native.window, LVM_ENSUREVISIBLE, static_cast<WPARAM>(item), FALSE);
    }
}

bool Win32DialogView::MakePanel(const Control& groupBox)
{
    const HWND box = groupBox.native.window;
    if (box == nullptr) {
        return false;
    }
    RECT rect;
    GetWindowRect(box, &rect);
    MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&rect), 2);
    // Inside the frame and below the caption, so that it never paints over them.
    rect.left += kPanelInset;
    rect.top += m_baseY;
    rect.right -= kPanelInset;
    rect.bottom -= 2;
    auto panel = std::make_unique<ReadoutPanel>();
    if (!panel->Create(m_window, rect, m_font)) {
        return false;
    }
    // Above the group box, and the box clips it out of its own paint, so
    // the box never covers the lines. (Only this box: one that clipped its
    // siblings would vanish under a group box around it.)
    SetWindowPos(panel->Window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetWindowLongPtrW(box, GWL_STYLE, GetWindowLongPtrW(box, GWL_STYLE) | static_cast<LONG_PTR>(WS_CLIPSIBLINGS));
    m_panels.push_back(std::move(panel));
    return true;
}

bool Win32DialogView::CreateControl(const RuntimeControl& control)
{
    if (m_window == nullptr || m_controls.Has(control.id)) {
        return false;
    }
    // Pixel sizes drawn for the usual dialog font, scaled with the real one.
    RECT rect { ScaleX(control.rect.x), ScaleY(control.rect.y), ScaleX(control.rect.x + control.rect.width),
        ScaleY(control.rect.y + control.rect.height) };
    const int group = m_controls.CellGroupFor(control, [this](const Control& box) { return MakePanel(box); });
    if (group != Controls::kNoGroup) {
        // The panel starts inside the frame and below the caption; the
        // lines keep their 2 px from the frame.
        OffsetRect(&rect, 2 - kPanelInset, -2);
        const int cell = m_panels[static_cast<std::size_t>(group)]->AddCell(
            { control.id, control.kind, rect, WideText::FromUtf8(control.text), (control.flags & FlagDisabled) == 0,
                (control.flags & FlagHidden) == 0, (control.flags & FlagSunken) != 0 });
        AddToolTip(control.id, *m_controls.AddRuntimeCell(control, group, cell), control.toolTip);
        return true;
    }
    // Anything else: a real control, placed relative to its group box.
    if (const Control* box = m_controls.Find(control.parentGroupId); box != nullptr && box->native.window != nullptr) {
        RECT boxRect;
        GetWindowRect(box->native.window, &boxRect);
        MapWindowPoints(nullptr, m_window, reinterpret_cast<POINT*>(&boxRect), 2);
        OffsetRect(&rect, boxRect.left, boxRect.top);
    }
    const ControlTemplate asTemplate { control.id, control.kind, control.text, { 0, 0, 0, 0 }, control.flags };
    const NativeControlStyle style = StyleFor(asTemplate);
    const HWND window = CreateWindowExW(style.exStyle, style.className, WideText::FromUtf8(control.text).c_str(),
        style.style, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, m_window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), m_instance, nullptr);
    if (window == nullptr) {
        return false;
    }
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), FALSE);
    Native entry;
    entry.window = window;
    AddToolTip(control.id, *m_controls.AddRuntimeControl(control, std::move(entry)), control.toolTip);
    return true;
}

bool Win32DialogView::StartTimer(std::int32_t id, int periodMs)
{
    if (m_window == nullptr || periodMs <= 0) {
        return false;
    }
    // Starting a running timer again restarts it with the new period.
    if (SetTimer(m_window, static_cast<UINT_PTR>(id), static_cast<UINT>(periodMs), nullptr) == 0) {
        return false;
    }
    if (std::find(m_timers.begin(), m_timers.end(), id) == m_timers.end()) {
        m_timers.push_back(id);
    }
    m_session.TimerStarted(id, periodMs);
    return true;
}

void Win32DialogView::StopTimer(std::int32_t id)
{
    const auto found = std::find(m_timers.begin(), m_timers.end(), id);
    if (found == m_timers.end()) {
        return;
    }
    m_timers.erase(found);
    m_session.TimerStopped(id);
    if (m_window != nullptr) {
        KillTimer(m_window, static_cast<UINT_PTR>(id));
    }
}

void Win32DialogView::RequestFullFrame()
{
    m_session.RequestFullFrame();
}

int Win32DialogView::ShowBox(const char* text, const char* caption, UINT type)
{
    const WindowSession::NestedLoop nested(m_session);
    ++m_boxesOpen;
    const int answer
        = MessageBoxW(m_window, WideText::FromUtf8(text).c_str(), WideText::FromUtf8(caption).c_str(), type);
    --m_boxesOpen;
    return answer;
}

SaveChoice Win32DialogView::AskSaveDiscardCancel(const char* text, const char* caption)
{
    if (m_session.ClosePending()) {
        return SaveChoice::Cancel; // on the way out already: the close asks nothing
    }
    // Yes saves, No discards.
    const int answer = ShowBox(text, caption, MB_YESNOCANCEL | MB_ICONQUESTION);
    if (answer == IDYES) {
        return SaveChoice::Save;
    }
    return answer == IDNO ? SaveChoice::Discard : SaveChoice::Cancel;
}

void Win32DialogView::ShowMessageBox(const char* text, const char* caption)
{
    if (m_session.ClosePending()) {
        return; // on the way out: nobody is left to answer it
    }
    ShowBox(text, caption, MB_OK);
}

int Win32DialogView::RunModalChild(const DialogTemplate& dialogTemplate, DialogPresenter& presenter)
{
    Win32DialogView child(dialogTemplate, presenter, m_instance, this);
    Win32DialogView* outer = m_child;
    m_child = &child;
    const int result = m_session.RunChild(child.m_session, [&child] { return child.RunModal(); });
    m_child = outer;
    return result;
}

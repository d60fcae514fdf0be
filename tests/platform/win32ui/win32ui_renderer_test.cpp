// The native renderer under Wine: every template becomes real common controls
// with the template's classes, styles, captions and ids, and every kind of
// event an operator or the system causes reaches the presenter, while the
// polling timer keeps ticking behind message boxes and child dialogs.
#include "dialogs/ResponseCurvesDlg.h"
#include "platform/win32ui/Win32DialogRunner.h"
#include "platform/win32ui/Win32DialogView.h"
#include "tests/support/poll.h"
#include "ui/DialogView.h"
#include "ui/FramePacer.h"

#include <windows.h>

#include <commctrl.h>
#include <dbt.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    return testpoll::Until(done, timeout, std::chrono::milliseconds(2));
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring Wide(const char* text)
{
    std::wstring wide;
    for (const char* c = text; c != nullptr && *c != '\0'; ++c) {
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
    }
    return wide;
}

// ---------------------------------------------------------------- templates

// Opens a template, looks at the real window during initialisation, and closes it.
class InspectingPresenter : public DialogPresenter {
public:
    explicit InspectingPresenter(std::function<void(Win32DialogView&)> inspect)
        : m_inspect(std::move(inspect))
    {
    }
    bool OnInitDialog() override
    {
        m_inspect(*static_cast<Win32DialogView*>(m_view));
        EndDialog(kIdOk);
        return true;
    }

private:
    std::function<void(Win32DialogView&)> m_inspect;
};

// Opens a template and looks at the real window once it is up and placed.
class ShownPresenter : public DialogPresenter {
public:
    explicit ShownPresenter(std::function<void(Win32DialogView&)> inspect)
        : m_inspect(std::move(inspect))
    {
    }
    bool OnInitDialog() override { return m_view->StartTimer(kTimer, 10); }
    void OnTimer(std::int32_t /*id*/) override
    {
        m_view->StopTimer(kTimer);
        m_inspect(*static_cast<Win32DialogView*>(m_view));
        EndDialog(kIdOk);
    }

private:
    static constexpr std::int32_t kTimer = 77;
    std::function<void(Win32DialogView&)> m_inspect;
};

struct Expected {
    const wchar_t* className;
    DWORD mustHave;
};

Expected ExpectedFor(const ControlTemplate& control)
{
    switch (control.kind) {
    case ControlKind::PushButton:
        return { L"Button", static_cast<DWORD>((control.flags & FlagDefault) != 0 ? BS_DEFPUSHBUTTON : 0) };
    case ControlKind::GroupBox:
        return { L"Button", BS_GROUPBOX };
    case ControlKind::Static:
        return { L"Static", 0 };
    case ControlKind::Edit:
        return { L"Edit", static_cast<DWORD>((control.flags & FlagEditable) != 0 ? WS_TABSTOP : ES_READONLY) };
    case ControlKind::ComboBox:
        return { L"ComboBox", CBS_DROPDOWN };
    case ControlKind::ProgressBar:
        return { L"msctls_progress32", 0 };
    case ControlKind::Spin:
        return { L"msctls_updown32", static_cast<DWORD>((control.flags & FlagHorizontalSpin) != 0 ? UDS_HORZ : 0) };
    case ControlKind::Lamp:
        return { L"Static", SS_BITMAP };
    case ControlKind::ListView:
        return { L"SysListView32", LVS_REPORT };
    case ControlKind::Icon:
        return { L"Static", SS_ICON };
    case ControlKind::CheckBox:
        return { L"Button", BS_AUTOCHECKBOX };
    case ControlKind::CurveGraph:
        return { L"Static", SS_NOTIFY };
    }
    return { L"", 0 };
}

TEST(Win32Renderer, EveryTemplateBecomesNativeControlsOfTheRightClassesStylesCaptionsAndIds)
{
    const std::array<const DialogTemplate*, 8> templates = { &MainDialogTemplate(), &AboutDialogTemplate(),
        &DeadBandDialogTemplate(), &ConfigChoiceDialogTemplate(), &ThrustLeverDialogTemplate(),
        &NetworkDialogTemplate(), &ResponseCurvesDialogTemplate(), &CalibrateDialogTemplate() };
    for (const DialogTemplate* dialog : templates) {
        SCOPED_TRACE("template " + std::to_string(dialog->id));
        int inspected = 0;
        InspectingPresenter presenter([&](Win32DialogView& view) {
            const HWND window = view.Window();
            ASSERT_NE(window, nullptr);
            EXPECT_EQ(ClassOf(window), L"#32770");
            EXPECT_EQ(TextOf(window), Wide(dialog->caption));
            // Template order is the dialog manager's creation order: the i-th child is the i-th control.
            HWND child = GetWindow(window, GW_CHILD);
            for (const ControlTemplate& control : dialog->controls) {
                SCOPED_TRACE("control " + std::to_string(control.id) + " \"" + control.text + "\"");
                ASSERT_NE(child, nullptr) << "fewer windows than controls";
                const Expected expected = ExpectedFor(control);
                const auto style = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
                EXPECT_EQ(ClassOf(child), expected.className);
                EXPECT_EQ(style & expected.mustHave, expected.mustHave);
                if (control.kind == ControlKind::Edit) {
                    EXPECT_EQ((style & ES_READONLY) != 0, (control.flags & FlagEditable) == 0)
                        << "only a field to type into takes keys";
                }
                if (control.kind == ControlKind::Static || control.kind == ControlKind::PushButton
                    || control.kind == ControlKind::GroupBox) {
                    EXPECT_EQ(TextOf(child), Wide(control.text));
                }
                EXPECT_EQ(GetDlgCtrlID(child), control.id);
                EXPECT_EQ((style & WS_VISIBLE) != 0, (control.flags & FlagHidden) == 0);
                EXPECT_EQ((style & WS_DISABLED) != 0, (control.flags & FlagDisabled) != 0);
                // Placed in dialog units of the dialog's font, not in fixed pixels.
                RECT placed;
                GetWindowRect(child, &placed);
                MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&placed), 2);
                RECT wanted { control.rect.x, control.rect.y, control.rect.x + control.rect.width,
                    control.rect.y + control.rect.height };
                MapDialogRect(window, &wanted);
                EXPECT_EQ(placed.left, wanted.left);
                EXPECT_EQ(placed.top, wanted.top);
                // Up-down arrows and icons size themselves; a combo box's height holds its list.
                const bool sizesItself = control.kind == ControlKind::Spin || control.kind == ControlKind::Icon;
                if (!sizesItself) {
                    EXPECT_EQ(placed.right, wanted.right);
                }
                if (!sizesItself && control.kind != ControlKind::ComboBox) {
                    EXPECT_EQ(placed.bottom, wanted.bottom);
                }
                if (control.kind == ControlKind::Lamp) {
                    const auto bitmap = reinterpret_cast<HBITMAP>(SendMessageW(child, STM_GETIMAGE, IMAGE_BITMAP, 0));
                    BITMAP info {};
                    ASSERT_NE(bitmap, nullptr) << "lamp picture " << control.image << " missing";
                    GetObjectW(bitmap, sizeof info, &info);
                    EXPECT_EQ(info.bmWidth, 11);
                    EXPECT_EQ(info.bmHeight, 11);
                }
                if (control.kind == ControlKind::Icon) {
                    EXPECT_NE(SendMessageW(child, STM_GETICON, 0, 0), 0) << "the application icon is missing";
                }
                if (control.id != kNoControlId) {
                    EXPECT_FALSE(view.ToolTipOf(control.id).empty()) << "no tooltip";
                }
                ++inspected;
                child = GetWindow(child, GW_HWNDNEXT);
            }
        });
        Win32DialogRunner runner(GetModuleHandleW(nullptr));
        EXPECT_EQ(runner.RunModal(*dialog, presenter), kIdOk);
        EXPECT_EQ(inspected, static_cast<int>(dialog->controls.size()));
    }
}

// ---------------------------------------------------------------- events

constexpr std::int32_t kTimerId = 32453;
constexpr std::int32_t kButton = 1001;
constexpr std::int32_t kBoxButton = 1002;
constexpr std::int32_t kChildButton = 1003;
constexpr std::int32_t kCombo = 1004;
constexpr std::int32_t kUpDown = 1005;
constexpr std::int32_t kLeftRight = 1006;
constexpr std::int32_t kValue = 1007;
constexpr std::int32_t kGroup = 1008;

constexpr std::array<ControlTemplate, 9> kEventControls = { {
    { kIdOk, ControlKind::PushButton, "OK", { 150, 6, 50, 14 }, FlagDefault },
    { kButton, ControlKind::PushButton, "Press", { 6, 6, 50, 14 } },
    { kBoxButton, ControlKind::PushButton, "Box", { 6, 24, 50, 14 } },
    { kChildButton, ControlKind::PushButton, "Child", { 6, 42, 50, 14 } },
    { kCombo, ControlKind::ComboBox, "", { 64, 6, 60, 12 } },
    { kUpDown, ControlKind::Spin, "", { 64, 24, 10, 14 } },
    { kLeftRight, ControlKind::Spin, "", { 80, 24, 20, 10 }, FlagHorizontalSpin },
    { kValue, ControlKind::Static, "", { 64, 42, 60, 8 } },
    { kGroup, ControlKind::GroupBox, "Readouts", { 6, 60, 200, 60 } },
} };

const DialogTemplate& EventTemplate()
{
    static const DialogTemplate dialog { 900, "Renderer events", 210, 126, kEventControls };
    return dialog;
}

// The presenter's timer: as fast as the main window's cycle.
constexpr int kTickMs = 8;

// Records every event; its buttons open a message box and the About box.
// Like the main window's presenter it shows its values at the window's
// frames: the numbers' turn sets the readouts to the tick count.
class RecordingPresenter : public DialogPresenter {
public:
    std::atomic<int> ticks { 0 };
    std::atomic<int> destroys { 0 };
    std::atomic<int> closes { 0 };
    std::atomic<bool> boxReturned { false };
    std::atomic<int> childResult { -1 };
    std::atomic<HWND> window { nullptr };
    std::atomic<long long> painted { 0 }; // readout cells drawn so far, as of the last tick
    std::atomic<int> frames { 0 };
    std::atomic<int> cellValue { -1 }; // what the readout cell holds, as of the last tick
    // At the first tick after the window was shown again: cells still
    // waiting to be drawn.
    std::atomic<bool> waitingWhenShown { true };
    std::atomic<int> closeRequests { 0 };
    bool keysEnd = true; // EndsOnDialogKeys
    std::function<void(RecordingPresenter&)> onClose;
    std::function<void(RecordingPresenter&)> onButton; // run inside the click of kButton

    std::vector<std::string> Events()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    bool Saw(const std::string& event)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::string& seen : m_events) {
            if (seen == event) {
                return true;
            }
        }
        return false;
    }
    int Count(const std::string& event)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        int n = 0;
        for (const std::string& seen : m_events) {
            n += seen == event ? 1 : 0;
        }
        return n;
    }

    bool OnInitDialog() override
    {
        window = static_cast<HWND>(m_view->NativeWindow());
        m_view->AppendSystemMenuItem(kAboutCommand, "&About Tavelin...");
        m_view->SetIcon(kApplicationIcon);
        m_view->ComboInsertString(kCombo, 0, "Zero");
        m_view->ComboInsertString(kCombo, 1, "One");
        m_view->ComboInsertString(kCombo, 2, "Two");
        // The presenter's own choices are no selection changes.
        m_view->ComboSetEditText(kCombo, "One");
        m_view->ComboSetSelection(kCombo, 0);
        m_view->ComboSetEditText(kCombo, "?");
        m_view->CreateControl({ 2001, ControlKind::Static, "Label", kGroup, { 2, 2, 50, 20 } });
        m_view->CreateControl({ 2002, ControlKind::Edit, "----", kGroup, { 54, 2, 70, 20 }, FlagSunken });
        EXPECT_TRUE(m_view->StartTimer(kTimerId, kTickMs));
        return true;
    }
    void OnCommand(std::int32_t id) override
    {
        Record("command " + std::to_string(id));
        if (id == kButton && onButton) {
            onButton(*this);
            Record("command " + std::to_string(id) + " returns");
        } else if (id == kBoxButton) {
            m_view->ShowMessageBox("Something to say", "Renderer box");
            boxReturned = true;
        } else if (id == kChildButton) {
            DialogPresenter& about = m_about;
            childResult = m_view->RunModalChild(AboutDialogTemplate(), about);
        } else if (id == kIdOk) {
            EndDialog(kIdOk);
        }
    }
    void OnSelectionChange(std::int32_t id, int position) override
    {
        Record("select " + std::to_string(id) + " " + std::to_string(position));
    }
    void OnDevicesChanged() override { Record("devices changed"); }
    int OnSpinDelta(std::int32_t id, int delta) override
    {
        Record("spin " + std::to_string(id) + " " + std::to_string(delta));
        return 0;
    }
    void OnTimer(std::int32_t id) override
    {
        if (id == kTimerId) {
            ++ticks;
            const auto& panels = static_cast<Win32DialogView*>(m_view)->Panels();
            painted = panels.empty() ? 0 : panels.front()->CellsPainted();
            char text[32];
            m_view->GetControlText(2002, text, sizeof text);
            cellValue = std::atoi(text);
            if (m_justShown && !panels.empty()) {
                m_justShown = false;
                waitingWhenShown = panels.front()->HasDirtyCells();
            }
        }
    }
    void OnFrame(bool numbers) override
    {
        ++frames;
        if (!numbers) {
            return;
        }
        Record("numbers at tick " + std::to_string(ticks));
        char text[32];
        std::snprintf(text, sizeof text, "%d", ticks.load());
        m_view->SetControlText(2002, text); // a readout cell changing on every turn
        m_view->SetControlText(kValue, text);
    }
    void OnVisibilityChange(bool visible) override
    {
        Record(std::string(visible ? "shown" : "hidden") + " at tick " + std::to_string(ticks));
        m_justShown = visible;
    }
    void OnClose() override
    {
        ++closes;
        Record("close");
        if (onClose) {
            onClose(*this);
        } else {
            EndDialog(kIdCancel);
        }
    }
    void OnDestroy() override
    {
        ++destroys;
        Record("destroy");
    }
    bool OnSystemCommand(unsigned command) override
    {
        Record("syscommand " + std::to_string(command));
        return (command & 0xFFF0u) == kAboutCommand;
    }
    void OnCloseRequested() override
    {
        ++closeRequests;
        Record("close requested");
    }
    bool EndsOnDialogKeys() const override { return keysEnd; }
    void EndNow(int result) { EndDialog(result); }
    SaveChoice Ask() { return m_view->AskSaveDiscardCancel("Save the changes?", "Renderer question"); }

private:
    void Record(const std::string& event)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_events.push_back(event);
    }

    class About : public DialogPresenter {
    } m_about;
    bool m_justShown = false;
    std::mutex m_mutex;
    std::vector<std::string> m_events;
};

// The dialog runs on this thread; `drive` acts as the operator from another.
int RunDriven(RecordingPresenter& presenter, const std::function<void(HWND)>& drive)
{
    std::thread driver([&] {
        if (!WaitFor([&] { return presenter.window.load() != nullptr && presenter.ticks > 0; })) {
            ADD_FAILURE() << "the dialog never ticked";
            return;
        }
        drive(presenter.window.load());
    });
    Win32DialogRunner runner(GetModuleHandleW(nullptr));
    const int result = runner.RunModal(EventTemplate(), presenter);
    driver.join();
    return result;
}

// Clicks an up-down control's half: the first arrow (up, or right when horizontal) or the second.
void ClickArrow(HWND arrows, bool first)
{
    RECT rect;
    GetClientRect(arrows, &rect);
    const bool horizontal = (GetWindowLongPtrW(arrows, GWL_STYLE) & UDS_HORZ) != 0;
    int x = rect.right / 2;
    int y = rect.bottom / 2;
    if (horizontal) {
        x = first ? rect.right * 3 / 4 : rect.right / 4; // right arrow on the right
    } else {
        y = first ? rect.bottom / 4 : rect.bottom * 3 / 4;
    }
    PostMessageW(arrows, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(arrows, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

HWND FindOwnedDialog(HWND owner, const wchar_t* caption)
{
    const HWND found = FindWindowW(L"#32770", caption);
    return found != nullptr && GetWindow(found, GW_OWNER) == owner ? found : nullptr;
}

TEST(Win32Renderer, EveryEventKindReachesThePresenterAndTicksKeepComingBehindBoxesAndChildDialogs)
{
    RecordingPresenter presenter;
    HWND seen = nullptr;
    const int result = RunDriven(presenter, [&](HWND window) {
        seen = window;
        // A click.
        PostMessageW(GetDlgItem(window, kButton), BM_CLICK, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return presenter.Saw("command 1001"); }));

        // The operator's choice in the combo box: one step down from "nothing chosen".
        const HWND combo = GetDlgItem(window, kCombo);
        COMBOBOXINFO parts {};
        parts.cbSize = sizeof parts;
        GetComboBoxInfo(combo, &parts);
        PostMessageW(parts.hwndItem != nullptr ? parts.hwndItem : combo, WM_KEYDOWN, VK_DOWN, 0);
        EXPECT_TRUE(WaitFor([&] { return presenter.Saw("select 1004 0"); }));

        // Real UDN_DELTAPOS from real arrows: up or right -1, down or left +1,
        // and sixty clicks one way are never stopped by the control's range.
        const HWND upDown = GetDlgItem(window, kUpDown);
        const HWND leftRight = GetDlgItem(window, kLeftRight);
        ClickArrow(upDown, true);
        EXPECT_TRUE(WaitFor([&] { return presenter.Saw("spin 1005 -1"); }));
        ClickArrow(upDown, false);
        EXPECT_TRUE(WaitFor([&] { return presenter.Saw("spin 1005 1"); }));
        ClickArrow(leftRight, true);
        EXPECT_TRUE(WaitFor([&] { return presenter.Saw("spin 1006 -1"); }));
        ClickArrow(leftRight, false);
        EXPECT_TRUE(WaitFor([&] { return presenter.Saw("spin 1006 1"); }));
        for (int i = 0; i < 60; ++i) {
            ClickArrow(upDown, false);
        }
        EXPECT_TRUE(WaitFor([&] { return presenter.Count("spin 1005 1") == 61; })) << presenter.Count("spin 1005 1");

        // The system menu holds the About item, and its command arrives.
        const HMENU menu = GetSystemMenu(window, FALSE);
        wchar_t item[64] = {};
        GetMenuStringW(menu, kAboutCommand, item, 64, MF_BYCOMMAND);
        EXPECT_STREQ(item, L"&About Tavelin...");
        PostMessageW(window, WM_SYSCOMMAND, kAboutCommand, 0);
        EXPECT_TRUE(WaitFor([&] { return presenter.Saw("syscommand 16"); }));

        // Devices that come and go; other device messages are not the presenter's business.
        PostMessageW(window, WM_DEVICECHANGE, DBT_QUERYCHANGECONFIG, 0);
        PostMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
        EXPECT_TRUE(WaitFor([&] { return presenter.Saw("devices changed"); }));
        EXPECT_EQ(presenter.Count("devices changed"), 1);

        // A message box: ticks go on while it is open.
        PostMessageW(GetDlgItem(window, kBoxButton), BM_CLICK, 0, 0);
        HWND box = nullptr;
        EXPECT_TRUE(WaitFor([&] { return (box = FindOwnedDialog(window, L"Renderer box")) != nullptr; }));
        int before = presenter.ticks;
        EXPECT_TRUE(WaitFor([&] { return presenter.ticks >= before + 10; })) << "no ticks behind the box";
        EXPECT_FALSE(presenter.boxReturned);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitFor([&] { return presenter.boxReturned.load(); }));

        // A child dialog: ticks go on while it is open, its OK ends it with kIdOk.
        PostMessageW(GetDlgItem(window, kChildButton), BM_CLICK, 0, 0);
        HWND child = nullptr;
        EXPECT_TRUE(WaitFor([&] { return (child = FindOwnedDialog(window, L"About Tavelin")) != nullptr; }));
        before = presenter.ticks;
        EXPECT_TRUE(WaitFor([&] { return presenter.ticks >= before + 10; })) << "no ticks behind the child";
        EXPECT_FALSE(IsWindowEnabled(window)) << "the child is modal";
        PostMessageW(GetDlgItem(child, IDOK), BM_CLICK, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return presenter.childResult == kIdOk; }));
        EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(window) != FALSE; }));

        // The close box: through the system command, then the close handler.
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    });
    EXPECT_EQ(result, kIdCancel);
    EXPECT_EQ(presenter.Count("syscommand 61536"), 1);
    EXPECT_EQ(presenter.closes, 1);
    EXPECT_EQ(presenter.destroys, 1) << "destroyed once";
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_EQ(presenter.BoundView(), nullptr);
    // The presenter's own combo choices never came back as events.
    EXPECT_EQ(presenter.Count("select 1004 1"), 0);
    EXPECT_EQ(presenter.Count("select 1004 2"), 0);
    EXPECT_EQ(presenter.Events().back(), "destroy");
}

// One notch of the wheel (down when `notches` is positive), posted to
// `target` as the system sends it, with the pointer at `pointer` (screen).
void PostWheel(HWND target, POINT pointer, int notches)
{
    PostMessageW(target, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA * notches)),
        MAKELPARAM(static_cast<WORD>(pointer.x), static_cast<WORD>(pointer.y)));
}

POINT MiddleOf(HWND window)
{
    RECT placed;
    GetWindowRect(window, &placed);
    return { (placed.left + placed.right) / 2, (placed.top + placed.bottom) / 2 };
}

TEST(Win32Renderer, TheWheelTurnsAComboOnlyWithFocusAndThePointerOnIt)
{
    RecordingPresenter presenter;
    RunDriven(presenter, [&](HWND window) {
        const HWND combo = GetDlgItem(window, kCombo);
        COMBOBOXINFO parts {};
        parts.cbSize = sizeof parts;
        GetComboBoxInfo(combo, &parts);
        const HWND edit = parts.hwndItem != nullptr ? parts.hwndItem : combo;
        const HWND upDown = GetDlgItem(window, kUpDown);
        const POINT onCombo = MiddleOf(combo);
        const POINT elsewhere = MiddleOf(GetDlgItem(window, kButton));
        // Whoever the wheel reaches (the system sends it to the focus, or to
        // what lies under the pointer): without focus nothing changes.
        PostMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, kButton)), TRUE);
        PostWheel(combo, onCombo, 1);
        PostWheel(edit, onCombo, 1);
        PostWheel(upDown, MiddleOf(upDown), 1);
        PostMessageW(GetDlgItem(window, kButton), BM_CLICK, 0, 0); // a marker behind them
        EXPECT_TRUE(WaitFor([&] { return presenter.Saw("command 1001"); }));
        EXPECT_EQ(presenter.Count("select 1004 1"), 0);
        EXPECT_EQ(presenter.Count("spin 1005 1") + presenter.Count("spin 1005 -1"), 0);
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);

        // Focused, but the pointer is elsewhere: still nothing.
        PostMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(combo), TRUE);
        PostWheel(edit, elsewhere, 1);
        PostMessageW(GetDlgItem(window, kButton), BM_CLICK, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return presenter.Count("command 1001") == 2; }));
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);

        // Focused, the pointer on it: the operator's choice (the marker's click took the focus).
        PostMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(combo), TRUE);
        PostWheel(edit, onCombo, 1);
        EXPECT_TRUE(WaitFor([&] { return presenter.Saw("select 1004 0"); }));
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(presenter.Count("select 1004 1"), 0);
}

TEST(Win32Renderer, AboutIsReachedFromTheContextMenuAndWithF1)
{
    RecordingPresenter presenter;
    RunDriven(presenter, [&](HWND window) {
        // A right click in the window: its menu holds the About item.
        const POINT at = MiddleOf(window);
        PostMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(at.x, at.y));
        PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_TRUE(WaitFor([&] { return presenter.Saw("syscommand 16"); }));

        // F1 on whatever control has the focus.
        const HWND button = GetDlgItem(window, kButton);
        PostMessageW(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(button), TRUE);
        PostMessageW(button, WM_KEYDOWN, VK_F1, 0);
        PostMessageW(button, WM_KEYUP, VK_F1, 0xC0000001);
        EXPECT_TRUE(WaitFor([&] { return presenter.Count("syscommand 16") == 2; }));
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(presenter.Count("syscommand 16"), 2);
}

TEST(Win32Renderer, ReadoutCellsChangingOnEveryTickArePaintedAboutTwentyTimesASecond)
{
    RecordingPresenter presenter;
    long long painted = 0;
    int ticks = 0;
    std::chrono::milliseconds elapsed {};
    presenter.onClose = [&](RecordingPresenter& self) {
        // Read on the window's own thread, while it still stands.
        auto* view = static_cast<Win32DialogView*>(self.BoundView());
        if (!view->Panels().empty()) {
            painted = view->Panels().front()->CellsPainted();
        }
        self.EndNow(kIdCancel);
    };
    RunDriven(presenter, [&](HWND window) {
        const int startTicks = presenter.ticks;
        const auto start = Clock::now();
        EXPECT_TRUE(WaitFor([&] { return presenter.ticks >= startTicks + 100; }));
        ticks = presenter.ticks - startTicks;
        elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    ASSERT_GT(painted, 0) << "the readout cell was never drawn";
    EXPECT_GT(presenter.ticks, 0);
    // One cell changes on every numbers' turn (every sixth tick); at most one
    // paint per turn (plus the first paints of both cells and a little slack
    // for expose events).
    const long long frames = elapsed.count() / (FramePacer::NumberTicksFor(kTickMs) * kTickMs) + 1;
    EXPECT_LE(painted, frames + 10) << ticks << " ticks in " << elapsed.count() << " ms";
    EXPECT_LT(painted, ticks + 2) << "painted on every tick";
}

TEST(Win32Renderer, NothingIsDrawnWhileMinimisedAndTheChangesShowOnRestore)
{
    RecordingPresenter presenter;
    RunDriven(presenter, [&](HWND window) {
        EXPECT_TRUE(WaitFor([&] { return presenter.painted > 0; }));
        PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        EXPECT_TRUE(WaitFor([&] { return IsIconic(window) != FALSE; }));
        int ticks = presenter.ticks;
        EXPECT_TRUE(WaitFor([&] { return presenter.ticks >= ticks + 5; }));
        const long long whileMinimised = presenter.painted;
        ticks = presenter.ticks;
        EXPECT_TRUE(WaitFor([&] { return presenter.ticks >= ticks + 30; }));
        EXPECT_EQ(presenter.painted, whileMinimised) << "readouts drawn while minimised";
        PostMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
        EXPECT_TRUE(WaitFor([&] { return presenter.painted > whileMinimised; })) << "nothing drawn after the restore";
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(presenter.destroys, 1);
}

TEST(Win32Renderer, ARestoredWindowGetsOneWholeFrameAtOnceAndDrawsItsCells)
{
    RecordingPresenter presenter;
    long long paintedOnRestore = 0;
    int valueOnRestore = -1;
    RunDriven(presenter, [&](HWND window) {
        EXPECT_TRUE(WaitFor([&] { return presenter.painted > 0; }));
        PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        EXPECT_TRUE(WaitFor([&] { return IsIconic(window) != FALSE; }));
        const int ticks = presenter.ticks;
        EXPECT_TRUE(WaitFor([&] { return presenter.ticks >= ticks + 3 * FramePacer::NumberTicksFor(kTickMs); }));
        const long long before = presenter.painted;
        PostMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
        EXPECT_TRUE(WaitFor([&] { return IsIconic(window) == FALSE; }));
        // The ticks right after the restore bring no numbers' turn of their own.
        const int restored = presenter.ticks;
        EXPECT_TRUE(WaitFor([&] { return presenter.ticks >= restored + 2; }));
        paintedOnRestore = presenter.painted - before;
        valueOnRestore = presenter.cellValue;
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    const std::vector<std::string> events = presenter.Events();
    const auto hidden = std::find_if(
        events.begin(), events.end(), [](const std::string& event) { return event.rfind("hidden", 0) == 0; });
    const auto shown
        = std::find_if(hidden, events.end(), [](const std::string& event) { return event.rfind("shown", 0) == 0; });
    ASSERT_NE(hidden, events.end()) << "the minimised window was never hidden to the presenter";
    ASSERT_NE(shown, events.end()) << "the restored window was never shown to the presenter";
    EXPECT_EQ(std::count_if(hidden, shown, [](const std::string& event) { return event.rfind("numbers", 0) == 0; }), 0)
        << "frames while minimised";
    // Shown, then the whole frame before any further tick, once.
    const std::string tick = shown->substr(std::string("shown at tick ").size());
    ASSERT_NE(shown + 1, events.end());
    EXPECT_EQ(*(shown + 1), "numbers at tick " + tick);
    EXPECT_EQ(std::count(shown, events.end(), "numbers at tick " + tick), 1);
    EXPECT_EQ(valueOnRestore, std::stoi(tick)) << "the cell shows the restored frame's value";
    EXPECT_FALSE(presenter.waitingWhenShown) << "the restored frame waited for the next tick";
    EXPECT_GE(paintedOnRestore, 2) << "both readout cells drawn again";
}

TEST(Win32Renderer, ACloseFromOutsideInsideAHandlerArrivesOnceItHasReturned)
{
    RecordingPresenter presenter;
    presenter.onButton = [](RecordingPresenter& self) {
        // A close sent while the handler runs: told at once, closed later.
        SendMessageW(self.window.load(), WM_CLOSE, 0, 0);
    };
    const int result = RunDriven(presenter, [&](HWND window) {
        PostMessageW(GetDlgItem(window, kButton), BM_CLICK, 0, 0);
        EXPECT_TRUE(WaitFor([&] { return presenter.Saw("close"); }));
    });
    EXPECT_EQ(result, kIdCancel);
    std::vector<std::string> order;
    for (const std::string& event : presenter.Events()) {
        if (event.rfind("numbers", 0) != 0) {
            order.push_back(event);
        }
    }
    EXPECT_EQ(order,
        (std::vector<std::string> { "command 1001", "close requested", "command 1001 returns", "close", "destroy" }));
}

TEST(Win32Renderer, CloseFromOutsideEndsTheOpenBoxAndChildFirstThenTheWindowOnce)
{
    // A message box is open when WM_CLOSE comes.
    {
        RecordingPresenter presenter;
        const int result = RunDriven(presenter, [&](HWND window) {
            PostMessageW(GetDlgItem(window, kBoxButton), BM_CLICK, 0, 0);
            EXPECT_TRUE(WaitFor([&] { return FindOwnedDialog(window, L"Renderer box") != nullptr; }));
            PostMessageW(window, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(result, kIdCancel);
        EXPECT_TRUE(presenter.boxReturned);
        EXPECT_EQ(presenter.closes, 1);
        EXPECT_EQ(presenter.destroys, 1);
    }
    // A child dialog is open: it is cancelled, then the window closes.
    {
        RecordingPresenter presenter;
        const int result = RunDriven(presenter, [&](HWND window) {
            PostMessageW(GetDlgItem(window, kChildButton), BM_CLICK, 0, 0);
            EXPECT_TRUE(WaitFor([&] { return FindOwnedDialog(window, L"About Tavelin") != nullptr; }));
            PostMessageW(window, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(result, kIdCancel);
        EXPECT_EQ(presenter.childResult, kIdCancel);
        EXPECT_EQ(presenter.closes, 1);
        EXPECT_EQ(presenter.destroys, 1);
    }
    // The session ends: the presenter lets go before the message returns.
    {
        RecordingPresenter presenter;
        int destroysWhenAnswered = -1;
        RunDriven(presenter, [&](HWND window) {
            EXPECT_NE(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), 0) << "the log-off is not refused";
            SendMessageW(window, WM_ENDSESSION, TRUE, 0);
            destroysWhenAnswered = presenter.destroys;
        });
        EXPECT_EQ(destroysWhenAnswered, 1);
        EXPECT_EQ(presenter.closes, 1);
        EXPECT_EQ(presenter.destroys, 1);
    }
}

TEST(Win32Renderer, ACloseFromOutsideClosesAnOpenSystemMenu)
{
    RecordingPresenter presenter;
    bool menuShown = false;
    bool closedLate = false;
    const int result = RunDriven(presenter, [&](HWND window) {
        PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, ' '); // Alt+Space: the system menu
        menuShown = WaitFor([] { return IsWindowVisible(FindWindowW(L"#32768", nullptr)) != FALSE; });
        PostMessageW(window, WM_CLOSE, 0, 0);
        // A menu left open keeps the window from closing: closed late, it fails the test.
        if (!WaitFor([&] { return IsWindow(window) == FALSE; }, std::chrono::seconds(3))) {
            closedLate = true;
            PostMessageW(window, WM_CANCELMODE, 0, 0);
        }
    });
    EXPECT_TRUE(menuShown);
    EXPECT_FALSE(closedLate);
    EXPECT_EQ(result, kIdCancel);
    EXPECT_EQ(presenter.closes, 1);
    EXPECT_EQ(presenter.destroys, 1);
}

TEST(Win32Renderer, TheSaveQuestionAndAWindowThatNoKeyEnds)
{
    // Yes saves, No discards, Cancel stays.
    const std::pair<int, SaveChoice> answers[]
        = { { IDYES, SaveChoice::Save }, { IDNO, SaveChoice::Discard }, { IDCANCEL, SaveChoice::Cancel } };
    for (const auto& [button, answer] : answers) {
        RecordingPresenter presenter;
        std::atomic<int> got { -1 };
        presenter.onClose = [&](RecordingPresenter& self) {
            got = static_cast<int>(self.Ask());
            self.EndNow(kIdOk);
        };
        RunDriven(presenter, [&, button = button](HWND window) {
            PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            HWND box = nullptr;
            EXPECT_TRUE(WaitFor([&] { return (box = FindOwnedDialog(window, L"Renderer question")) != nullptr; }));
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        });
        EXPECT_EQ(got, static_cast<int>(answer));
    }
    // A close from outside while the question is open: told at once, the
    // question answered Cancel, then the close delivered.
    {
        RecordingPresenter presenter;
        std::atomic<int> got { -1 };
        presenter.onClose = [&](RecordingPresenter& self) {
            if (self.closeRequests == 0) {
                got = static_cast<int>(self.Ask());
                return;
            }
            self.EndNow(kIdCancel);
        };
        const int result = RunDriven(presenter, [&](HWND window) {
            PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
            EXPECT_TRUE(WaitFor([&] { return FindOwnedDialog(window, L"Renderer question") != nullptr; }));
            PostMessageW(window, WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(result, kIdCancel);
        EXPECT_EQ(got, static_cast<int>(SaveChoice::Cancel));
        EXPECT_EQ(presenter.closeRequests, 1);
        EXPECT_EQ(presenter.closes, 2);
    }
    // The dialog manager's Enter (no button named) does nothing when the
    // presenter says so; a click on OK still counts. (Escape stays Cancel:
    // such a presenter keeps its OnCancel from ending the window.)
    {
        RecordingPresenter presenter;
        presenter.keysEnd = false;
        const int result = RunDriven(presenter, [&](HWND window) {
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
            PostMessageW(GetDlgItem(window, kButton), BM_CLICK, 0, 0);
            EXPECT_TRUE(WaitFor([&] { return presenter.Saw("command " + std::to_string(kButton)); }));
            EXPECT_FALSE(presenter.Saw("command 1"));
            PostMessageW(GetDlgItem(window, kIdOk), BM_CLICK, 0, 0);
        });
        EXPECT_EQ(result, kIdOk);
    }
}

} // namespace

// Run by ctest on a small screen (win32ui_small_screen_test); skipped where
// the window fits.
TEST(Win32Renderer, OnASmallScreenTheMainWindowScrollsAndNothingLiesOutsideItsArea)
{
    bool inspected = false;
    ShownPresenter presenter([&](Win32DialogView& view) {
        const HWND window = view.Window();
        const SIZE content = view.ContentSize();
        MONITORINFO monitor {};
        monitor.cbSize = sizeof monitor;
        ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor));
        const RECT work = monitor.rcWork;
        if (content.cx <= work.right - work.left && content.cy <= work.bottom - work.top) {
            inspected = true;
            GTEST_SKIP() << "the screen holds the whole window";
        }
        RECT frame;
        GetWindowRect(window, &frame);
        EXPECT_GE(frame.left, work.left);
        EXPECT_GE(frame.top, work.top);
        EXPECT_LE(frame.right, work.right);
        EXPECT_LE(frame.bottom, work.bottom);
        const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
        EXPECT_NE(style & (WS_VSCROLL | WS_HSCROLL), 0u);

        // Every control lies inside the scrolled area.
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT placed;
            GetWindowRect(child, &placed);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&placed), 2);
            const LONG bottom = ClassOf(child) == L"ComboBox" ? placed.top : placed.bottom; // its list drops below
            EXPECT_GE(placed.left, 0) << GetDlgCtrlID(child);
            EXPECT_GE(placed.top, 0) << GetDlgCtrlID(child);
            EXPECT_LE(placed.right, content.cx) << GetDlgCtrlID(child);
            EXPECT_LE(bottom, content.cy) << GetDlgCtrlID(child);
        }

        // The wheel over a combo without focus scrolls the window and leaves the combo alone.
        HWND combo = nullptr;
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr && combo == nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            // Its own style: the window itself may not be shown yet.
            const auto childStyle = static_cast<DWORD>(GetWindowLongPtrW(child, GWL_STYLE));
            combo = ClassOf(child) == L"ComboBox" && (childStyle & WS_VISIBLE) != 0 ? child : nullptr;
        }
        ASSERT_NE(combo, nullptr);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"first"));
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"second"));
        SendMessageW(combo, CB_SETCURSEL, 0, 0);
        SetFocus(nullptr);
        const POINT onCombo = MiddleOf(combo);
        SendMessageW(combo, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
            MAKELPARAM(static_cast<WORD>(onCombo.x), static_cast<WORD>(onCombo.y)));
        EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
        EXPECT_GT(view.ScrollPosition().y, 0);

        // Scrolled to the end, the last control is in view.
        SendMessageW(window, WM_VSCROLL, SB_BOTTOM, 0);
        SendMessageW(window, WM_HSCROLL, SB_BOTTOM, 0);
        EXPECT_GT(view.ScrollPosition().x + view.ScrollPosition().y, 0);
        RECT client;
        GetClientRect(window, &client);
        RECT list;
        GetWindowRect(GetDlgItem(window, 1505), &list);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&list), 2);
        EXPECT_GE(list.left, client.left);
        EXPECT_GE(list.top, client.top);
        EXPECT_LE(list.right, client.right);
        EXPECT_LE(list.bottom, client.bottom) << "scrolled to " << view.ScrollPosition().x << ","
                                              << view.ScrollPosition().y << " of " << content.cx << "x" << content.cy;
        inspected = true;
    });
    Win32DialogRunner runner(GetModuleHandleW(nullptr));
    EXPECT_EQ(runner.RunModal(MainDialogTemplate(), presenter), kIdOk);
    EXPECT_TRUE(inspected);
}

// ---------------------------------------------------------------- the curve graph

namespace {

// The Response Curves dialog, telling the test what its window showed as it closed.
class ShownCurves : public CResponseCurvesDlg {
public:
    using CResponseCurvesDlg::CResponseCurvesDlg;

    bool OnInitDialog() override
    {
        const bool result = CResponseCurvesDlg::OnInitDialog();
        window = static_cast<HWND>(m_view->NativeWindow());
        return result;
    }
    void OnDestroy() override
    {
        if (const auto* view = dynamic_cast<Win32DialogView*>(m_view)) {
            if (const Win32CurveGraph* graph = view->CurveGraphOf(kGraph)) {
                shownGraph = graph->Graph();
                shownMarker = graph->Marker();
            }
            checked = view->IsChecked(kInvert);
        }
        CResponseCurvesDlg::OnDestroy();
    }

    std::atomic<HWND> window { nullptr };
    CurveGraphData shownGraph {};
    CurveMarker shownMarker {};
    bool checked = false;
};

// Where the graph draws the curve position (x, y): a margin of 6 pixels all round.
POINT GraphPixel(HWND graph, double x, double y)
{
    RECT client;
    GetClientRect(graph, &client);
    return { static_cast<LONG>(6 + (x + 1.0) / 2.0 * (client.right - 12) + 0.5),
        static_cast<LONG>(client.bottom - 6 - (y + 1.0) / 2.0 * (client.bottom - 12) + 0.5) };
}

} // namespace

TEST(Win32Renderer, TheCurvesDialogTakesTypingTheCheckBoxAndADraggedPointAndDrawsWhatItIsGiven)
{
    ResponseCurveSet curves;
    const int pitch = CockpitAxisTable::IndexOf(AxisPitch);
    ResponseCurve::Parse("POINTS -1 -1 1 1", curves[static_cast<std::size_t>(pitch)]);
    ShownCurves dialog(curves, [](int) { return std::optional<std::int32_t>(5000); });
    std::thread driver([&] {
        if (!WaitFor([&] { return dialog.window.load() != nullptr; })) {
            ADD_FAILURE() << "the dialog never opened";
            return;
        }
        const HWND window = dialog.window.load();
        // Typing: the edit's EN_CHANGE reaches the presenter.
        SendMessageW(GetDlgItem(window, CResponseCurvesDlg::kPoints), WM_SETTEXT, 0,
            reinterpret_cast<LPARAM>(L"-1 -1 0 0.5 1 1"));
        // The middle point dragged from 0.5 up to 0.8.
        const HWND graph = GetDlgItem(window, CResponseCurvesDlg::kGraph);
        const POINT from = GraphPixel(graph, 0.0, 0.5);
        const POINT to = GraphPixel(graph, 0.0, 0.8);
        PostMessageW(graph, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
        PostMessageW(graph, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
        PostMessageW(graph, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
        PostMessageW(GetDlgItem(window, CResponseCurvesDlg::kInvert), BM_CLICK, 0, 0);
        // Frames bring the live dot and its numbers; then OK.
        EXPECT_TRUE(WaitFor([&] {
            wchar_t text[64] = {};
            GetWindowTextW(GetDlgItem(window, CResponseCurvesDlg::kLive), text, 64);
            return std::wstring(text).rfind(L"Input +0.500", 0) == 0;
        }));
        PostMessageW(GetDlgItem(window, kIdOk), BM_CLICK, 0, 0);
    });
    Win32DialogRunner runner(GetModuleHandleW(nullptr));
    EXPECT_EQ(runner.RunModal(CResponseCurvesDlg::Template(), dialog), kIdOk);
    driver.join();

    const ResponseCurve& curve = curves[static_cast<std::size_t>(pitch)];
    ASSERT_EQ(curve.PointCount(), 3);
    EXPECT_NEAR(curve.Points()[1].x, 0.0, 0.02);
    EXPECT_NEAR(curve.Points()[1].y, 0.8, 0.02);
    EXPECT_TRUE(curve.Inverted());
    EXPECT_TRUE(dialog.checked);
    // The graph holds what it was last given: the inverted curve, mirrored points, the dot on it.
    EXPECT_EQ(dialog.shownGraph.pointCount, 3);
    EXPECT_NEAR(dialog.shownGraph.points[1].x, -curve.Points()[1].x, 1e-12);
    EXPECT_EQ(dialog.shownGraph.samples.front(), curve.Evaluate(-1.0));
    EXPECT_TRUE(dialog.shownMarker.shown);
    EXPECT_EQ(dialog.shownMarker.input, 0.5);
    EXPECT_EQ(dialog.shownMarker.output, curve.Evaluate(0.5));
}

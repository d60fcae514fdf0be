// The window session alone, without any toolkit: what reaches the presenter
// and when. These are the close and lifecycle rules every renderer shares,
// tested once here.
#include "ui/ControlRegistry.h"
#include "ui/WindowSession.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A presenter that writes down every event it is given.
class Journal : public DialogPresenter {
public:
    std::vector<std::string> events;
    bool endsOnKeys = true;
    bool handlesSystemClose = false;
    std::function<void()> onCommand; // run inside OnCommand

    bool OnInitDialog() override
    {
        events.push_back(BoundView() != nullptr ? "init(bound)" : "init");
        return true;
    }
    void OnCommand(std::int32_t id) override
    {
        events.push_back("command " + std::to_string(id));
        if (onCommand) {
            onCommand();
        }
    }
    void OnSelectionChange(std::int32_t id, int position) override
    {
        events.push_back("select " + std::to_string(id) + " " + std::to_string(position));
    }
    int OnSpinDelta(std::int32_t /*id*/, int delta) override { return delta; }
    void OnTimer(std::int32_t id) override { events.push_back("timer " + std::to_string(id)); }
    void OnFrame(bool numbers) override { events.push_back(numbers ? "frame+numbers" : "frame"); }
    void OnClose() override { events.push_back("close"); }
    void OnCloseRequested() override { events.push_back("close requested"); }
    bool EndsOnDialogKeys() const override { return endsOnKeys; }
    void OnDestroy() override { events.push_back("destroy"); }
    bool OnSystemCommand(unsigned command) override
    {
        events.push_back("system " + std::to_string(command));
        return handlesSystemClose;
    }
    void OnDevicesChanged() override { events.push_back("devices"); }
    void OnVisibilityChange(bool visible) override { events.push_back(visible ? "shown" : "hidden"); }
    void OnOK() override { events.push_back("ok"); }
    void OnCancel() override { events.push_back("cancel"); }

    // Takes what was written down so far.
    std::vector<std::string> Take()
    {
        std::vector<std::string> taken;
        taken.swap(events);
        return taken;
    }
};

// What the toolkit would do: posted calls wait in a queue until the test
// runs the loop; the rest is counted.
class Host : public SessionHost {
public:
    std::vector<std::function<void()>> posted;
    WindowSession* session = nullptr;
    int boxesAnswered = 0;
    int loopsLeft = 0;
    int lastResult = 0;
    int afterEvents = 0;

    void PostPendingClose() override
    {
        posted.push_back([this] { session->DeliverPendingClose(); });
    }
    void AnswerOpenBoxes() override { ++boxesAnswered; }
    void LeaveModalLoop(int result) override
    {
        ++loopsLeft;
        lastResult = result;
    }
    void AfterEvent() override { ++afterEvents; }
    // The window's loop gets control back.
    void RunLoop()
    {
        auto due = std::move(posted);
        posted.clear();
        for (auto& call : due) {
            call();
        }
    }
};

// A view that only passes EndDialog on, as every renderer does.
class EndingView : public DialogView {
public:
    WindowSession* session = nullptr;
    void SetTitle(const char*) override { }
    void SetIcon(std::int32_t) override { }
    bool AppendSystemMenuItem(unsigned, const char*) override { return true; }
    void SetControlText(std::int32_t, const char*) override { }
    int GetControlText(std::int32_t, char*, int) const override { return 0; }
    void EnableControl(std::int32_t, bool) override { }
    void ShowControl(std::int32_t, bool) override { }
    void ComboInsertString(std::int32_t, int, const char*) override { }
    void ComboSetEditText(std::int32_t, const char*) override { }
    void ComboSetSelection(std::int32_t, int) override { }
    void SetProgressPosition(std::int32_t, int) override { }
    void SetProgressBarColour(std::int32_t, BarColour) override { }
    void SetLampPicture(std::int32_t, LampPicture) override { }
    void SetCheck(std::int32_t, bool) override { }
    bool IsChecked(std::int32_t) const override { return false; }
    void SetCurveGraph(std::int32_t, const CurveGraphData&) override { }
    void SetCurveMarker(std::int32_t, const CurveMarker&) override { }
    void SetControlHighlight(std::int32_t, bool) override { }
    void ComboSetItemToolTip(std::int32_t, int, const char*) override { }
    void ListInsertColumn(std::int32_t, int, const char*, int) override { }
    int ListInsertItem(std::int32_t, int, const char*, bool) override { return 0; }
    void ListSetItemText(std::int32_t, int, int, const char*) override { }
    void ListDeleteAllItems(std::int32_t) override { }
    void ListEnsureVisible(std::int32_t, int) override { }
    bool CreateControl(const RuntimeControl&) override { return true; }
    bool StartTimer(std::int32_t id, int periodMs) override
    {
        session->TimerStarted(id, periodMs);
        return true;
    }
    void StopTimer(std::int32_t id) override { session->TimerStopped(id); }
    void RequestFullFrame() override { session->RequestFullFrame(); }
    void ShowMessageBox(const char*, const char*) override { }
    SaveChoice AskSaveDiscardCancel(const char*, const char*) override { return SaveChoice::Cancel; }
    int RunModalChild(const DialogTemplate&, DialogPresenter&) override { return kIdCancel; }
    void EndDialog(int result) override { session->End(result); }
    void* NativeWindow() const override { return nullptr; }
    void* ProgramInstance() const override { return nullptr; }
};

// One window: its presenter, its host and its session.
struct Window {
    explicit Window(Window* parent = nullptr)
        : session(presenter, host, parent != nullptr ? &parent->session : nullptr)
    {
        host.session = &session;
        view.session = &session;
    }
    Journal presenter;
    Host host;
    WindowSession session;
    EndingView view;
};

using Events = std::vector<std::string>;

} // namespace

TEST(WindowSession, LifecycleDeliversEventsOnlyBetweenInitialisationAndTheEnd)
{
    Window window;
    window.session.DeliverCommand(5); // not open yet
    EXPECT_TRUE(window.presenter.Take().empty());
    EXPECT_EQ(window.session.GetState(), WindowSession::State::Built);

    EXPECT_TRUE(window.session.Open(window.view));
    EXPECT_EQ(window.presenter.Take(), Events({ "init(bound)" }));
    EXPECT_EQ(window.session.GetState(), WindowSession::State::Running);
    EXPECT_EQ(window.host.afterEvents, 1);

    window.session.DeliverCommand(7);
    window.session.DeliverSelection(9, 2);
    EXPECT_EQ(window.session.DeliverSpin(11, 3), 3);
    window.session.DeliverDevicesChanged();
    EXPECT_EQ(window.presenter.Take(), Events({ "command 7", "select 9 2", "devices" }));

    // The presenter ends the window: the first result counts, nothing more arrives.
    window.presenter.onCommand = [&] {
        window.view.EndDialog(kIdOk);
        window.view.EndDialog(kIdCancel);
    };
    window.session.DeliverCommand(1);
    EXPECT_TRUE(window.session.Ended());
    EXPECT_EQ(window.session.Result(), kIdOk);
    EXPECT_EQ(window.host.loopsLeft, 1);
    window.session.DeliverCommand(8);
    window.session.DeliverTimer(1);
    window.session.RequestClose();
    EXPECT_EQ(window.session.DeliverSpin(11, 1), -1);
    EXPECT_EQ(window.presenter.Take(), Events({ "command 1" }));

    window.session.Finish();
    window.session.Finish();
    EXPECT_EQ(window.presenter.Take(), Events({ "destroy" }));
    EXPECT_EQ(window.presenter.BoundView(), nullptr);
    EXPECT_EQ(window.session.GetState(), WindowSession::State::Finished);
}

TEST(WindowSession, DialogKeysAndTheSystemMenuCloseFollowThePresentersWishes)
{
    Window window;
    window.session.Open(window.view);
    window.presenter.Take();

    window.session.DeliverDialogKey(WindowSession::DialogKey::Enter);
    window.session.DeliverDialogKey(WindowSession::DialogKey::Escape);
    EXPECT_EQ(window.presenter.Take(), Events({ "command 1", "command 2" }));

    // A window that must not end on one key: Enter does nothing, Escape still
    // arrives as Cancel (the presenter decides what it means).
    window.presenter.endsOnKeys = false;
    window.session.DeliverDialogKey(WindowSession::DialogKey::Enter);
    window.session.DeliverDialogKey(WindowSession::DialogKey::Escape);
    EXPECT_EQ(window.presenter.Take(), Events({ "command 2" }));

    // The system menu's Close goes the close box's way unless handled.
    window.session.DeliverSystemCommand(kSystemClose);
    window.presenter.handlesSystemClose = true;
    window.session.DeliverSystemCommand(kSystemClose | 0x2u);
    window.session.DeliverSystemCommand(kAboutCommand);
    window.session.DeliverClose();
    EXPECT_EQ(window.presenter.Take(), Events({ "system 61536", "close", "system 61538", "system 16", "close" }));
}

TEST(WindowSession, ACloseRequestFromOutsideWaitsForNestedLoopsAndReachesChildren)
{
    Window main;
    main.session.Open(main.view);
    main.presenter.Take();

    // Nothing open: told at once, closed once the loop runs.
    main.session.RequestClose();
    EXPECT_EQ(main.presenter.Take(), Events({ "close requested" }));
    EXPECT_TRUE(main.session.ClosePending());
    EXPECT_EQ(main.host.boxesAnswered, 1);
    main.host.RunLoop();
    EXPECT_EQ(main.presenter.Take(), Events({ "close" }));
    EXPECT_FALSE(main.session.ClosePending());

    // A child dialog is open: it is cancelled and ends; the main window's
    // close waits until the handler that opened the child has returned.
    Window child(&main);
    main.session.EnterNested();
    main.session.SetOpenChild(&child.session);
    child.session.Open(child.view);
    child.presenter.Take();
    main.session.RequestClose();
    EXPECT_EQ(main.presenter.Take(), Events({ "close requested" }));
    EXPECT_TRUE(child.session.ClosePending()); // a box the child asks now is answered at once
    EXPECT_TRUE(main.host.posted.empty());
    child.host.RunLoop();
    EXPECT_EQ(child.presenter.Take(), Events({ "close requested", "cancel" }));
    EXPECT_TRUE(child.session.Ended());
    EXPECT_EQ(child.session.Result(), kIdCancel);
    main.host.RunLoop();
    EXPECT_TRUE(main.presenter.Take().empty());
    child.session.Finish();
    main.session.SetOpenChild(nullptr);
    main.session.LeaveNested();
    EXPECT_TRUE(main.presenter.Take().empty()); // posted, not delivered inside the handler
    main.host.RunLoop();
    EXPECT_EQ(main.presenter.Take(), Events({ "close" }));

    // A request during the initialisation waits for its end as well.
    struct Requesting : Journal {
        WindowSession* session = nullptr;
        bool OnInitDialog() override
        {
            session->RequestClose();
            return Journal::OnInitDialog();
        }
    } requesting;
    Host host;
    WindowSession session(requesting, host);
    host.session = &session;
    requesting.session = &session;
    EndingView view;
    view.session = &session;
    session.Open(view);
    EXPECT_EQ(requesting.Take(), Events({ "close requested", "init(bound)" }));
    ASSERT_EQ(host.posted.size(), 1u);
    host.RunLoop();
    EXPECT_EQ(requesting.Take(), Events({ "close" }));
}

TEST(WindowSession, FramesFollowTheFastestTimerAndStopWhileHidden)
{
    Window window;
    window.session.Open(window.view);
    window.view.StartTimer(40, 8);
    window.presenter.Take();
    const FramePacer& pacer = window.session.Pacer();
    EXPECT_EQ(pacer.FrameTicks(), 3); // 24 ms: two ticks would be faster than a 60 Hz screen
    EXPECT_EQ(pacer.NumberTicks(), 6);

    auto framesIn = [&](int ticks) {
        std::string pattern;
        for (int i = 0; i < ticks; ++i) {
            window.session.DeliverTimer(40);
            const Events events = window.presenter.Take();
            pattern += events.size() == 1 ? "." : (events[1] == "frame" ? "f" : "N");
        }
        return pattern;
    };
    // Shown before any tick: nothing to show yet, and the first tick still
    // brings everything; then a frame every third, numbers every sixth.
    window.session.DeliverVisibility(false);
    window.session.DeliverVisibility(true);
    EXPECT_EQ(window.presenter.Take(), Events({ "hidden", "shown" }));
    EXPECT_EQ(framesIn(13), "N..f..N..f..N");

    // Hidden: the ticks go on, no frames; shown again: one whole frame at once.
    window.session.DeliverVisibility(false);
    window.session.DeliverVisibility(false);
    EXPECT_EQ(window.presenter.Take(), Events({ "hidden" }));
    EXPECT_EQ(framesIn(7), ".......");
    window.session.DeliverVisibility(true);
    EXPECT_EQ(window.presenter.Take(), Events({ "shown", "frame+numbers" }));
    EXPECT_EQ(framesIn(6), "..f..N");

    // Something that must be seen at once.
    window.session.DeliverTimer(40);
    window.view.RequestFullFrame();
    window.presenter.Take();
    EXPECT_EQ(framesIn(4), "N..f");

    // A slower timer beside it counts for nothing; when the fast one stops,
    // the slow one paces (every 50 ms tick is a frame, numbers every other).
    window.view.StartTimer(41, 50);
    window.session.DeliverTimer(41);
    EXPECT_EQ(window.presenter.Take(), Events({ "timer 41" }));
    window.view.StopTimer(40);
    EXPECT_EQ(pacer.FrameTicks(), 1);
    EXPECT_EQ(pacer.NumberTicks(), 2);
    std::string slow;
    for (int i = 0; i < 4; ++i) {
        window.session.DeliverTimer(41);
        const Events events = window.presenter.Take();
        slow += events.size() == 1 ? "." : (events[1] == "frame" ? "f" : "N");
    }
    EXPECT_EQ(slow.size(), 4u);
    EXPECT_EQ(slow.find('.'), std::string::npos);
    EXPECT_NE(slow.find('N'), std::string::npos);
    EXPECT_NE(slow.find('f'), std::string::npos);

    // A presenter that ends its window in a tick gets no frame after it.
    window.view.StopTimer(41);
    window.view.StartTimer(42, 8);
    window.view.RequestFullFrame();
    window.view.EndDialog(kIdOk);
    window.session.DeliverTimer(42);
    EXPECT_TRUE(window.presenter.Take().empty());
}

TEST(WindowSession, OnlyLabelsAndValueBoxesInAGroupBoxBecomeReadoutCells)
{
    const RuntimeControl label { 1, ControlKind::Static, "X", 10, { 0, 0, 10, 10 } };
    const RuntimeControl value { 2, ControlKind::Edit, "----", 10, { 0, 0, 10, 10 } };
    const RuntimeControl button { 3, ControlKind::PushButton, "Move", 10, { 0, 0, 10, 10 } };
    EXPECT_TRUE(BecomesReadoutCell(label, ControlKind::GroupBox));
    EXPECT_TRUE(BecomesReadoutCell(value, ControlKind::GroupBox));
    EXPECT_FALSE(BecomesReadoutCell(button, ControlKind::GroupBox));
    EXPECT_FALSE(BecomesReadoutCell(value, ControlKind::Static));
}

TEST(WindowSession, TheSystemMenuSaysWhatNobodyTookSoTheToolkitHandlesIt)
{
    Window window;
    EXPECT_FALSE(window.session.DeliverSystemCommand(kSystemClose)) << "not open: nothing taken";
    window.session.Open(window.view);
    window.presenter.Take();
    constexpr unsigned kMinimise = 0xF020;
    EXPECT_FALSE(window.session.DeliverSystemCommand(kMinimise));
    EXPECT_TRUE(window.session.DeliverSystemCommand(kSystemClose));
    window.presenter.handlesSystemClose = true;
    EXPECT_TRUE(window.session.DeliverSystemCommand(kAboutCommand));
    EXPECT_EQ(window.presenter.Take(), Events({ "system 61472", "system 61536", "close", "system 16" }));
}

TEST(WindowSession, AChildRunsAsANestedLoopThatACloseRequestReachesAndWaitsFor)
{
    Window main;
    main.session.Open(main.view);
    main.presenter.Take();
    Window child(&main);
    const int result = main.session.RunChild(child.session, [&] {
        EXPECT_EQ(main.session.OpenChild(), &child.session);
        EXPECT_EQ(main.session.Nested(), 1);
        child.session.Open(child.view);
        child.presenter.Take();
        main.session.RequestClose();
        child.host.RunLoop(); // the child's own loop: it is cancelled and ends
        main.host.RunLoop(); // a loop of the main window inside the child's: still held back
        EXPECT_EQ(main.presenter.Take(), Events({ "close requested" }));
        child.session.Finish();
        return child.session.Result();
    });
    EXPECT_EQ(result, kIdCancel);
    EXPECT_EQ(child.presenter.Take(), Events({ "close requested", "cancel", "destroy" }));
    EXPECT_EQ(main.session.OpenChild(), nullptr);
    EXPECT_EQ(main.session.Nested(), 0);
    EXPECT_TRUE(main.presenter.Take().empty()) << "not inside the handler that ran the child";
    main.host.RunLoop();
    EXPECT_EQ(main.presenter.Take(), Events({ "close" }));

    // A box or menu for as long as its scope lives.
    Window other;
    other.session.Open(other.view);
    other.presenter.Take();
    {
        const WindowSession::NestedLoop box(other.session);
        other.session.RequestClose();
        EXPECT_TRUE(other.host.posted.empty());
    }
    other.host.RunLoop();
    EXPECT_EQ(other.presenter.Take(), Events({ "close requested", "close" }));
}

TEST(WindowSession, EndingAtOnceLetsGoBeforeTheHandlerReturnsAndKeepsTheViewForItsCaller)
{
    // Nothing open: the close and OnDestroy at once, the presenter's own result.
    {
        struct Ending : Journal {
            void OnClose() override
            {
                Journal::OnClose();
                EndDialog(kIdOk);
            }
        };
        Ending presenter;
        Host host;
        WindowSession session(presenter, host);
        host.session = &session;
        EndingView view;
        view.session = &session;
        session.Open(view);
        presenter.Take();
        session.EndAtOnce();
        EXPECT_EQ(presenter.Take(), Events({ "close requested", "close", "destroy" }));
        EXPECT_EQ(session.Result(), kIdOk);
        EXPECT_EQ(host.loopsLeft, 1);
        EXPECT_EQ(presenter.BoundView(), &view) << "still bound until the loop is gone";
        host.RunLoop(); // what was posted meanwhile finds nothing to do
        session.DeliverTimer(1);
        session.Finish();
        EXPECT_TRUE(presenter.Take().empty()) << "OnDestroy once";
        EXPECT_EQ(presenter.BoundView(), nullptr);
    }
    // A box is open: it is answered, OnDestroy at once, and the window goes
    // with Cancel although the close itself is held back behind the box.
    {
        Window window;
        window.session.Open(window.view);
        window.presenter.Take();
        window.session.EnterNested();
        window.session.EndAtOnce();
        EXPECT_EQ(window.presenter.Take(), Events({ "close requested", "destroy" }));
        EXPECT_EQ(window.host.boxesAnswered, 1);
        EXPECT_EQ(window.host.loopsLeft, 1);
        EXPECT_EQ(window.host.lastResult, kIdCancel);
        EXPECT_EQ(window.session.GetState(), WindowSession::State::Finished);
        window.session.LeaveNested(); // the handler under the box goes on: nothing more arrives
        window.host.RunLoop();
        window.session.EndAtOnce();
        window.session.Finish();
        EXPECT_TRUE(window.presenter.Take().empty());
    }
}

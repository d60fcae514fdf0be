// The Qt renderer against a probe presenter: geometry from dialog units, what
// reaches the presenter (and what must not), modal runs, timers behind a
// child dialog, the readout panel and the window's visibility.
#include "platform/qt/QtDialogView.h"
#include "platform/qt/QtMessageFilter.h"
#include "tests/platform/qt/qt_test_support.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLoggingCategory>
#include <QMenu>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace {

using qttest::Control;

// Keeps the rectangles of the paint events a widget receives.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(std::vector<QRect>& paints)
        : m_paints(paints)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            m_paints.push_back(static_cast<QPaintEvent*>(event)->rect());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::vector<QRect>& m_paints;
};
using qttest::WaitFor;

constexpr std::int32_t kCombo = 10;
constexpr std::int32_t kSpin = 11;
constexpr std::int32_t kHorizontalSpin = 12;
constexpr std::int32_t kLamp = 13;
constexpr std::int32_t kList = 14;
constexpr std::int32_t kGroup = 16;
constexpr std::int32_t kProgress = 17;
constexpr std::int32_t kOpenChild = 18;
constexpr std::int32_t kLabel = 19;
constexpr std::int32_t kTimer = 77;

constexpr std::array<ControlTemplate, 10> kProbeControls = { {
    { kIdOk, ControlKind::PushButton, "OK", { 140, 4, 50, 14 }, FlagDefault },
    { kOpenChild, ControlKind::PushButton, "Child", { 140, 22, 50, 14 } },
    { kCombo, ControlKind::ComboBox, "", { 4, 4, 40, 12 } },
    { kSpin, ControlKind::Spin, "", { 50, 4, 9, 16 } },
    { kHorizontalSpin, ControlKind::Spin, "", { 64, 4, 26, 10 }, FlagHorizontalSpin },
    { kLamp, ControlKind::Lamp, "", { 4, 24, 8, 8 }, FlagNone, static_cast<std::int32_t>(LampPicture::Off) },
    { kLabel, ControlKind::Static, "Left", { 0, 40, 30, 8 } },
    { kList, ControlKind::ListView, "", { 4, 60, 130, 36 }, FlagSunken },
    { kGroup, ControlKind::GroupBox, "Group", { 100, 40, 96, 60 } },
    { kProgress, ControlKind::ProgressBar, "", { 20, 24, 60, 10 } },
} };

const DialogTemplate& ProbeTemplate()
{
    static const DialogTemplate dialog { 900, "Probe", 200, 100, kProbeControls };
    return dialog;
}

constexpr std::array<ControlTemplate, 1> kChildControls = { {
    { kIdOk, ControlKind::PushButton, "OK", { 4, 4, 50, 14 }, FlagDefault },
} };

const DialogTemplate& ChildTemplate()
{
    static const DialogTemplate dialog { 901, "Child", 60, 22, kChildControls };
    return dialog;
}

// Records every event; runs a child dialog on kOpenChild.
class Probe : public DialogPresenter {
public:
    struct Event {
        std::string kind;
        std::int32_t id;
        int value;
    };

    bool OnInitDialog() override
    {
        ++inits;
        if (endInInit) {
            EndDialog(kIdCancel);
        }
        if (startTimer) {
            m_view->StartTimer(kTimer, 8);
        }
        for (int i = 0; i < initBoxes; ++i) {
            m_view->ShowMessageBox("Start-up failed", "Probe::OnInitDialog");
        }
        return true;
    }
    void OnCommand(std::int32_t id) override
    {
        events.push_back({ "command", id, 0 });
        if (duringCommand) {
            duringCommand(id);
            events.push_back({ "command returns", id, 0 });
            return;
        }
        if (id == kOpenChild) {
            Probe child;
            childResult = m_view->RunModalChild(ChildTemplate(), child);
            childCancels = child.cancels;
            return;
        }
        DialogPresenter::OnCommand(id);
    }
    void OnSelectionChange(std::int32_t id, int position) override { events.push_back({ "selection", id, position }); }
    int OnSpinDelta(std::int32_t id, int delta) override
    {
        events.push_back({ "spin", id, delta });
        return 0;
    }
    void OnTimer(std::int32_t /*id*/) override { ++ticks; }
    void OnClose() override
    {
        events.push_back({ "close", 0, 0 });
        EndDialog(kIdOk);
    }
    void OnCancel() override
    {
        ++cancels;
        DialogPresenter::OnCancel();
    }
    void OnDestroy() override { ++destroys; }
    void OnCloseRequested() override { events.push_back({ "close requested", 0, 0 }); }
    void OnVisibilityChange(bool visible) override { visibility.push_back(visible); }
    bool OnSystemCommand(unsigned command) override
    {
        events.push_back({ "system", static_cast<std::int32_t>(command), 0 });
        return true;
    }

    std::vector<Event> events;
    std::vector<bool> visibility;
    std::function<void(std::int32_t id)> duringCommand; // runs inside OnCommand
    bool endInInit = false;
    bool startTimer = false;
    int initBoxes = 0; // message boxes shown by the initialisation
    int inits = 0;
    int destroys = 0;
    int cancels = 0;
    int ticks = 0;
    int childResult = -1;
    int childCancels = 0;
};

class QtRendererTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { qttest::Application(); }
};

TEST_F(QtRendererTest, DialogUnitsMapEdgesWithTheDialogManagersRounding)
{
    const DialogBaseUnits units { 6, 13 };
    // The classic 50 x 14 push button at the 6 x 13 base units is 75 x 23 pixels.
    EXPECT_EQ(units.ToPixels({ 4, 8, 50, 14 }), QRect(6, 13, 75, 23));
    // Edges are mapped, not sizes: neighbours stay touching after rounding.
    const QRect left = units.ToPixels({ 0, 0, 3, 5 });
    const QRect right = units.ToPixels({ 3, 0, 3, 5 });
    EXPECT_NE(left.width(), right.width());
    EXPECT_EQ(left.right() + 1, right.left());
    EXPECT_EQ(units.ToPixelsX(1), 2); // 1.5 rounds up, as MulDiv does

    // A bigger font gives a proportionally bigger window.
    QFont big = DialogFont();
    big.setPixelSize(22);
    const DialogBaseUnits small = DialogBaseUnits::FromFont(DialogFont());
    const DialogBaseUnits large = DialogBaseUnits::FromFont(big);
    EXPECT_GE(small.cx, 5);
    EXPECT_GE(small.cy, 11);
    EXPECT_NEAR(static_cast<double>(large.cy) / small.cy, 2.0, 0.35);
    EXPECT_NEAR(static_cast<double>(large.cx) / small.cx, 2.0, 0.5);

    Probe probe;
    QtDialogView view(ProbeTemplate(), probe);
    ASSERT_TRUE(view.Open());
    const DialogBaseUnits& used = view.BaseUnits();
    EXPECT_EQ(view.Dialog()->size(), QSize(used.ToPixelsX(200), used.ToPixelsY(100)));
    EXPECT_EQ(Control<QComboBox>(view.Dialog(), kCombo)->geometry(), used.ToPixels({ 4, 4, 40, 12 }));
    // Lamps take the size of their 11 x 11 picture.
    EXPECT_EQ(Control<QLabel>(view.Dialog(), kLamp)->size(), QSize(11, 11));
    view.Finish();
}

TEST_F(QtRendererTest, OnlyTheOperatorsChoiceInAComboReachesThePresenter)
{
    Probe probe;
    QtDialogView view(ProbeTemplate(), probe);
    ASSERT_TRUE(view.Open());
    view.Dialog()->show();
    auto* combo = Control<QComboBox>(view.Dialog(), kCombo);
    ASSERT_NE(combo, nullptr);

    view.ComboSetEditText(kCombo, "?"); // before any entry exists
    for (int i = 0; i < 4; ++i) {
        const char* names[] = { " X", " Y", " Z", "Rx" };
        view.ComboInsertString(kCombo, i, names[i]);
    }
    view.ComboInsertString(kCombo, 0, "first"); // positions are kept, never sorted
    ASSERT_EQ(combo->count(), 5);
    EXPECT_EQ(combo->itemText(0), "first");
    EXPECT_EQ(combo->itemText(4), "Rx");
    char text[16];
    view.GetControlText(kCombo, text, sizeof text);
    EXPECT_STREQ(text, "?"); // filling the list chose nothing

    view.ComboSetEditText(kCombo, " Y");
    EXPECT_EQ(combo->currentText(), " Y");
    view.ComboSetSelection(kCombo, 4);
    EXPECT_EQ(combo->currentText(), "Rx");
    view.ComboSetEditText(kCombo, "not an entry");
    view.GetControlText(kCombo, text, sizeof text);
    EXPECT_STREQ(text, "not an entry");
    EXPECT_TRUE(probe.events.empty()) << "programmatic updates must not report a selection";

    // The operator: one key press, one notification with the entry's position.
    view.ComboSetSelection(kCombo, 2);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    ASSERT_EQ(probe.events.size(), 1u);
    EXPECT_EQ(probe.events[0].kind, "selection");
    EXPECT_EQ(probe.events[0].id, kCombo);
    EXPECT_EQ(probe.events[0].value, 3);

    view.EnableControl(kCombo, false);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(probe.events.size(), 1u);
    view.Finish();
}

// One notch of the wheel delivered to `widget`, the pointer at its middle or at `at`.
void WheelOver(QWidget* widget, int notches, QPointF at = QPointF(-1, -1))
{
    if (at == QPointF(-1, -1)) {
        at = QRectF(widget->rect()).center();
    }
    QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(), QPoint(0, -120 * notches), Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

TEST_F(QtRendererTest, TheWheelTurnsAComboOnlyWhenItHasFocusAndOtherwiseScrollsTheWindow)
{
    Probe probe;
    QtDialogView view(ProbeTemplate(), probe);
    ASSERT_TRUE(view.Open());
    view.Dialog()->show();
    view.Dialog()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.Dialog()));
    // Smaller than its canvas, so the window scrolls.
    view.Dialog()->resize(view.Dialog()->size() / 2);
    QScrollBar* bar = view.ScrollArea()->verticalScrollBar();
    ASSERT_TRUE(WaitFor([&] { return bar->maximum() > 0; }));
    auto* combo = Control<QComboBox>(view.Dialog(), kCombo);
    auto* other = Control<QPushButton>(view.Dialog(), kOpenChild);
    ASSERT_NE(combo, nullptr);
    for (const char* name : { " X", " Y", " Z", "Rx" }) {
        view.ComboInsertString(kCombo, combo->count(), name);
    }
    view.ComboSetSelection(kCombo, 1);

    // Unfocused: the window scrolls, the combo keeps its entry and gets no focus.
    other->setFocus();
    WheelOver(combo, 1);
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_FALSE(combo->hasFocus());
    EXPECT_GT(bar->value(), 0);
    EXPECT_TRUE(probe.events.empty());
    WheelOver(combo, -1);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(combo->currentIndex(), 1);

    // Focused, with the pointer on it: the wheel is the operator's choice.
    combo->setFocus();
    ASSERT_TRUE(combo->hasFocus());
    WheelOver(combo, 1);
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_EQ(bar->value(), 0);
    ASSERT_EQ(probe.events.size(), 1u);
    EXPECT_EQ(probe.events[0].kind, "selection");
    EXPECT_EQ(probe.events[0].value, 2);

    // Focused, but the pointer has left it (the combo still gets the wheel): it scrolls.
    WheelOver(combo, 1, QPointF(combo->width() + 5, combo->height() / 2.0));
    EXPECT_EQ(combo->currentIndex(), 2);
    EXPECT_GT(bar->value(), 0);
    EXPECT_EQ(probe.events.size(), 1u);

    // The arrow pairs never take focus, so the wheel over them scrolls too.
    auto* arrows = Control<QWidget>(view.Dialog(), kSpin);
    ASSERT_NE(arrows, nullptr);
    const int scrolled = bar->value();
    WheelOver(arrows->findChildren<QToolButton*>().value(0), -1);
    EXPECT_LT(bar->value(), scrolled);
    EXPECT_EQ(probe.events.size(), 1u);
    view.Finish();
}

std::vector<std::string> g_passedOn; // what the message filter handed on

void RecordMessage(QtMsgType /*type*/, const QMessageLogContext& /*context*/, const QString& text)
{
    g_passedOn.push_back(text.toStdString());
}

Q_LOGGING_CATEGORY(probeCategory, "tavelin.probe")

TEST_F(QtRendererTest, QtsPluginNoiseIsDroppedAndEveryOtherMessagePassesOn)
{
    g_passedOn.clear();
    qInstallMessageHandler(&RecordMessage);
    InstallQtMessageFilter();
    qWarning("This plugin does not support propagateSizeHints()");
    qWarning("This plugin does not support raise()");
    qWarning("QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-probe'");
    qWarning("QFont::setPointSize: Point size <= 0 (0), must be greater than 0");
    qCritical("This plugin does not support propagateSizeHints()"); // critical always shows
    qCWarning(probeCategory, "This plugin does not support anything"); // not Qt's category
    qInstallMessageHandler(nullptr);
    EXPECT_EQ(g_passedOn,
        (std::vector<std::string> { "QFont::setPointSize: Point size <= 0 (0), must be greater than 0",
            "This plugin does not support propagateSizeHints()", "This plugin does not support anything" }));
}

TEST_F(QtRendererTest, SpinArrowsSendTheDeltasOfAnUpDownControlWithItsDefaultRange)
{
    Probe probe;
    QtDialogView view(ProbeTemplate(), probe);
    ASSERT_TRUE(view.Open());
    view.Dialog()->show();
    auto* vertical = dynamic_cast<SpinArrows*>(view.Widget(kSpin));
    auto* horizontal = dynamic_cast<SpinArrows*>(view.Widget(kHorizontalSpin));
    ASSERT_NE(vertical, nullptr);
    ASSERT_NE(horizontal, nullptr);
    EXPECT_EQ(vertical->DecreaseButton()->arrowType(), Qt::UpArrow);
    EXPECT_EQ(horizontal->DecreaseButton()->arrowType(), Qt::RightArrow);
    // The arrows sit where they point.
    EXPECT_LT(vertical->DecreaseButton()->y(), vertical->IncreaseButton()->y());
    EXPECT_GT(horizontal->DecreaseButton()->x(), horizontal->IncreaseButton()->x());

    QTest::mouseClick(vertical->DecreaseButton(), Qt::LeftButton);
    QTest::mouseClick(vertical->IncreaseButton(), Qt::LeftButton);
    QTest::mouseClick(horizontal->DecreaseButton(), Qt::LeftButton);
    QTest::mouseClick(horizontal->IncreaseButton(), Qt::LeftButton);
    ASSERT_EQ(probe.events.size(), 4u);
    const int expected[4][2] = { { kSpin, -1 }, { kSpin, 1 }, { kHorizontalSpin, -1 }, { kHorizontalSpin, 1 } };
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(probe.events[static_cast<std::size_t>(i)].kind, "spin");
        EXPECT_EQ(probe.events[static_cast<std::size_t>(i)].id, expected[i][0]);
        EXPECT_EQ(probe.events[static_cast<std::size_t>(i)].value, expected[i][1]);
    }

    view.EnableControl(kSpin, false);
    QTest::mouseClick(vertical->DecreaseButton(), Qt::LeftButton);
    EXPECT_EQ(probe.events.size(), 4u) << "a greyed spin cannot be clicked";
    view.Finish();
}

TEST_F(QtRendererTest, LampsBarsAndTheReportList)
{
    Probe probe;
    QtDialogView view(ProbeTemplate(), probe);
    ASSERT_TRUE(view.Open());
    auto* lamp = Control<QLabel>(view.Dialog(), kLamp);
    view.SetLampPicture(kLamp, LampPicture::Warning);
    EXPECT_EQ(lamp->pixmap().toImage().pixelColor(5, 5), LampColour(LampPicture::Warning));
    view.SetLampPicture(kLamp, LampPicture::On);
    EXPECT_EQ(lamp->pixmap().toImage().pixelColor(5, 5), LampColour(LampPicture::On));
    EXPECT_NE(LampColour(LampPicture::Off), LampColour(LampPicture::On));

    auto* bar = dynamic_cast<ColourBar*>(view.Widget(kProgress));
    ASSERT_NE(bar, nullptr);
    view.SetProgressBarColour(kProgress, { 204, 0, 204 });
    EXPECT_EQ(bar->Colour(), QColor(204, 0, 204));
    // The presenter paces positions: the bar takes each at once.
    view.SetProgressPosition(kProgress, 73);
    EXPECT_EQ(bar->Value(), 73);
    view.SetProgressPosition(kProgress, 250);
    EXPECT_EQ(bar->Value(), 100);
    // A fast run of texts: the label shows the last one, numbers and words alike.
    for (int i = 0; i <= 50; ++i) {
        view.SetControlText(kLabel, std::to_string(i).c_str());
    }
    char text[8];
    view.GetControlText(kLabel, text, sizeof text);
    EXPECT_STREQ(text, "50");
    auto* label = dynamic_cast<TextLabel*>(Control<QLabel>(view.Dialog(), kLabel));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->ShownText(), "50");
    view.SetControlText(kLabel, "Gear Lever set to UP");
    EXPECT_EQ(label->ShownText(), "Gear Lever set to UP");
    EXPECT_EQ(label->text(), "Gear Lever set to UP");
    view.SetControlText(kLabel, " -7.500 Deg");
    view.GetControlText(kLabel, text, sizeof text);
    EXPECT_STREQ(text, " -7.500");

    auto* list = Control<QTreeWidget>(view.Dialog(), kList);
    view.ListInsertColumn(kList, 0, "Item", 5);
    view.ListInsertColumn(kList, 1, "Warning Message", 500);
    ASSERT_EQ(list->columnCount(), 2);
    EXPECT_EQ(list->headerItem()->text(0), "Item");
    EXPECT_EQ(list->headerItem()->text(1), "Warning Message");
    EXPECT_EQ(list->columnWidth(0), 5);
    EXPECT_EQ(list->columnWidth(1), 500);
    EXPECT_EQ(view.ListInsertItem(kList, 0, " ", true), 0);
    view.ListSetItemText(kList, 0, 1, "older");
    EXPECT_EQ(view.ListInsertItem(kList, 0, " ", false), 0); // later items move down
    view.ListSetItemText(kList, 0, 1, "newer");
    view.ListSetItemText(kList, 9, 1, "no such item");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(1), "newer");
    EXPECT_EQ(list->topLevelItem(1)->text(1), "older");
    EXPECT_TRUE(list->topLevelItem(1)->isSelected());
    EXPECT_FALSE(list->topLevelItem(0)->isSelected());
    view.ListDeleteAllItems(kList);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    view.Finish();
}

TEST_F(QtRendererTest, ReadoutCellsArePaintedByOnePanelValueByValue)
{
    Probe probe;
    QtDialogView view(ProbeTemplate(), probe);
    ASSERT_TRUE(view.Open());
    view.Dialog()->show();
    ASSERT_TRUE(view.CreateControl({ 5000, ControlKind::Static, "X", kGroup, { 2, 2, 50, 20 } }));
    ASSERT_TRUE(
        view.CreateControl({ 5001, ControlKind::Edit, "----", kGroup, { 54, 2, 70, 20 }, FlagSunken | FlagDisabled }));
    EXPECT_FALSE(view.CreateControl({ 5001, ControlKind::Edit, "", kGroup, { 0, 0, 1, 1 } })) << "ids stay unique";
    EXPECT_EQ(view.Widget(5001), nullptr) << "value boxes are cells of the panel, not widgets";
    auto* group = Control<QGroupBox>(view.Dialog(), kGroup);
    auto* panel = group->findChild<ReadoutPanel*>();
    ASSERT_NE(panel, nullptr);
    char text[16];
    view.GetControlText(5001, text, sizeof text);
    EXPECT_STREQ(text, "----");
    view.SetControlText(5001, "-10000");
    view.EnableControl(5001, true);
    view.GetControlText(5001, text, sizeof text);
    EXPECT_STREQ(text, "-10000");
    EXPECT_TRUE(panel->CellAt(1).enabled);
    // The panel sits inside the frame below the caption, and holds its cells.
    EXPECT_GE(panel->geometry().top(), QFontMetrics(group->font()).height());
    EXPECT_TRUE(group->rect().contains(panel->geometry()));
    EXPECT_TRUE(panel->rect().contains(panel->CellAt(1).rect));

    // A new value reaches Qt once the presenter's event has returned, and
    // repaints its own text only: not its frame, not the other cells. What
    // the window then holds is what a whole repaint of the panel draws.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.Dialog()));
    std::vector<QRect> paints;
    PaintRecorder recorder(paints);
    panel->installEventFilter(&recorder);
    ASSERT_TRUE(WaitFor([&] {
        QCoreApplication::processEvents();
        return !panel->grab().isNull();
    }));
    paints.clear();
    view.SetControlText(5001, "-9999");
    view.DeliverTimer(kTimer);
    ASSERT_TRUE(WaitFor([&] { return !paints.empty(); }));
    const QRect cell = panel->CellAt(1).rect;
    for (const QRect& painted : paints) {
        EXPECT_TRUE(cell.adjusted(1, 1, -1, -1).contains(painted)) << "painted beyond the value's text";
    }
    const QImage whole = panel->grab().toImage();
    const QPoint corner = panel->mapTo(view.Dialog(), cell.topLeft());
    const QImage shown
        = view.Dialog()->screen()->grabWindow(view.Dialog()->winId()).toImage().copy(QRect(corner, cell.size()));
    EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32), whole.copy(cell).convertToFormat(QImage::Format_RGB32));
    view.SetControlText(5001, "");
    EXPECT_NE(panel->grab().toImage().copy(cell), whole.copy(cell)) << "the digits were drawn";
    panel->removeEventFilter(&recorder);
    view.Finish();
}

// Two bars stacked with their value texts beside them; a third row whose bar
// has a button lying over its column in the second template.
constexpr std::int32_t kBarA = 30;
constexpr std::int32_t kBarB = 31;
constexpr std::int32_t kValueA = 32;
constexpr std::int32_t kValueB = 33;
constexpr std::int32_t kTitleA = 34;

constexpr std::array<ControlTemplate, 5> kBarControls = { {
    { kTitleA, ControlKind::Static, "Pitch", { 4, 10, 30, 8 } },
    { kBarA, ControlKind::ProgressBar, "", { 40, 9, 60, 10 } },
    { kValueA, ControlKind::Static, "", { 102, 10, 44, 8 } },
    { kBarB, ControlKind::ProgressBar, "", { 40, 23, 60, 10 } },
    { kValueB, ControlKind::Static, "", { 102, 24, 44, 8 } },
} };
constexpr std::array<ControlTemplate, 4> kCoveredBarControls = { {
    { kBarA, ControlKind::ProgressBar, "", { 40, 9, 60, 10 } },
    { kBarB, ControlKind::ProgressBar, "", { 40, 23, 60, 10 } },
    { kIdOk, ControlKind::PushButton, "OK", { 60, 15, 50, 10 } },
    { kValueA, ControlKind::Static, "", { 102, 10, 44, 8 } },
} };

TEST_F(QtRendererTest, StackedBarsAndTheirTextsAreDrawnByOneWidget)
{
    static const DialogTemplate bars { 902, "Bars", 160, 40, kBarControls };
    Probe probe;
    QtDialogView view(bars, probe);
    ASSERT_TRUE(view.Open());
    view.Dialog()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.Dialog()));
    for (std::int32_t id : { kBarA, kBarB, kValueA, kValueB }) {
        EXPECT_EQ(view.Widget(id), nullptr) << id;
        EXPECT_NE(view.CellOf(id), nullptr) << id;
    }
    EXPECT_NE(view.Widget(kTitleA), nullptr) << "the title is left of the bar, not beside its end";
    std::vector<ReadoutPanel*> areas; // (no meta-object of its own: qobject_cast cannot tell it)
    for (QWidget* child : view.Canvas()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (auto* panel = dynamic_cast<ReadoutPanel*>(child)) {
            areas.push_back(panel);
        }
    }
    ASSERT_EQ(areas.size(), 1u);
    ReadoutPanel* area = areas.front();

    view.SetProgressBarColour(kBarA, { 204, 0, 204 });
    view.SetProgressPosition(kBarA, 50);
    view.SetProgressPosition(kBarB, 400);
    view.SetControlText(kValueA, " 12.500 Deg");
    view.DeliverTimer(kTimer);
    EXPECT_EQ(view.CellOf(kBarB)->value, 100);
    char text[32];
    view.GetControlText(kValueA, text, sizeof text);
    EXPECT_STREQ(text, " 12.500 Deg");

    // Half of bar A in its colour, the other half empty; the text drawn.
    const QImage picture = area->grab().toImage();
    const QRect barA = view.CellOf(kBarA)->rect;
    const int middle = barA.center().y();
    EXPECT_EQ(picture.pixelColor(barA.left() + barA.width() / 4, middle), QColor(204, 0, 204));
    EXPECT_NE(picture.pixelColor(barA.left() + barA.width() * 3 / 4, middle), QColor(204, 0, 204));
    const QRect valueA = view.CellOf(kValueA)->rect;
    view.SetControlText(kValueA, "");
    EXPECT_NE(area->grab().toImage().copy(valueA), picture.copy(valueA)) << "the value text was drawn";
    view.ShowControl(kBarB, false);
    EXPECT_FALSE(view.CellOf(kBarB)->visible);
    view.Finish();

    // Where another control lies over the column, each bar stays a widget of its own.
    static const DialogTemplate covered { 903, "Covered", 160, 40, kCoveredBarControls };
    Probe other;
    QtDialogView coveredView(covered, other);
    ASSERT_TRUE(coveredView.Open());
    EXPECT_NE(dynamic_cast<ColourBar*>(coveredView.Widget(kBarA)), nullptr);
    EXPECT_EQ(coveredView.CellOf(kBarA), nullptr);
    coveredView.Finish();
}

TEST_F(QtRendererTest, VisibilityReachesThePresenterWhenItChanges)
{
    Probe probe;
    QtDialogView view(ProbeTemplate(), probe);
    ASSERT_TRUE(view.Open());
    view.Dialog()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.Dialog()));
    ASSERT_TRUE(WaitFor([&] { return view.ShownToPresenter(); }));
    view.Dialog()->showMinimized();
    ASSERT_TRUE(WaitFor([&] { return !view.ShownToPresenter(); }));
    view.Dialog()->showNormal();
    ASSERT_TRUE(WaitFor([&] { return view.ShownToPresenter(); }));
    view.Dialog()->hide();
    ASSERT_TRUE(WaitFor([&] { return !view.ShownToPresenter(); }));
    view.Dialog()->show();
    ASSERT_TRUE(WaitFor([&] { return view.ShownToPresenter(); }));
    // Only changes are told, starting from a window taken as visible.
    ASSERT_GE(probe.visibility.size(), 4u);
    for (std::size_t i = 0; i < probe.visibility.size(); ++i) {
        EXPECT_EQ(probe.visibility[i], i % 2 == 1) << i;
    }
    EXPECT_TRUE(probe.visibility.back());
    view.Finish();
    const std::size_t told = probe.visibility.size();
    view.Dialog()->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_EQ(probe.visibility.size(), told) << "nothing after the end";
}

TEST_F(QtRendererTest, WaysOutOfAModalRun)
{
    {
        // Ended while initialising: no loop at all, OnDestroy once.
        Probe probe;
        probe.endInInit = true;
        QtDialogView view(ProbeTemplate(), probe);
        EXPECT_EQ(view.RunModal(), kIdCancel);
        EXPECT_EQ(probe.destroys, 1);
        EXPECT_EQ(probe.BoundView(), nullptr);
    }
    {
        // Escape is the Cancel command; the close box is OnClose.
        Probe probe;
        QtDialogView view(ProbeTemplate(), probe);
        QTimer::singleShot(0, [&] { QTest::keyClick(view.Dialog(), Qt::Key_Escape); });
        EXPECT_EQ(view.RunModal(), kIdCancel);
        ASSERT_FALSE(probe.events.empty());
        EXPECT_EQ(probe.events[0].kind, "command");
        EXPECT_EQ(probe.events[0].id, kIdCancel);
        EXPECT_EQ(probe.destroys, 1);
    }
    {
        Probe probe;
        QtDialogView view(ProbeTemplate(), probe);
        QTimer::singleShot(0, [&] { view.Dialog()->close(); });
        EXPECT_EQ(view.RunModal(), kIdOk);
        ASSERT_EQ(probe.events.size(), 1u);
        EXPECT_EQ(probe.events[0].kind, "close");
    }
    {
        // A close asked from outside (a signal) while a child is open: the
        // child is cancelled first, then the window goes through OnClose.
        Probe probe;
        QtDialogView view(ProbeTemplate(), probe);
        QTimer::singleShot(0, [&] {
            // Armed first: it runs inside the child's loop once the click has opened it.
            qttest::WhenShown(QStringLiteral("template901"), [&](QDialog* child) {
                EXPECT_NE(child, nullptr);
                view.RequestClose();
            });
            Control<QPushButton>(view.Dialog(), kOpenChild)->click();
        });
        EXPECT_EQ(view.RunModal(), kIdOk);
        EXPECT_EQ(probe.childResult, kIdCancel);
        EXPECT_EQ(probe.childCancels, 1);
        ASSERT_FALSE(probe.events.empty());
        EXPECT_EQ(probe.events.back().kind, "close");
        EXPECT_EQ(probe.destroys, 1);
    }
}

TEST_F(QtRendererTest, ACloseRequestAnswersTheOpenBoxAndEveryLaterOne)
{
    // A signal while start-up shows its failures: the box on screen is
    // answered, the next one is not even shown, and the window then leaves.
    Probe probe;
    probe.initBoxes = 3;
    QtDialogView view(ProbeTemplate(), probe);
    int shown = 0;
    qttest::WhenShown(QStringLiteral("messageBox"), [&](QDialog* box) {
        EXPECT_NE(box, nullptr);
        ++shown;
        view.RequestClose();
    });
    // A box left waiting for a person would hang the program: answered late, it fails the test.
    bool answeredLate = false;
    QTimer late;
    late.setSingleShot(true);
    QObject::connect(&late, &QTimer::timeout, [&] {
        if (QDialog* box = qttest::FindWindow(QStringLiteral("messageBox"))) {
            answeredLate = true;
            box->done(0);
        }
        late.start(100);
    });
    late.start(5000);
    EXPECT_EQ(view.RunModal(), kIdOk);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(answeredLate);
    ASSERT_FALSE(probe.events.empty());
    EXPECT_EQ(probe.events.back().kind, "close");
    EXPECT_EQ(probe.destroys, 1);
}

TEST_F(QtRendererTest, TheContextMenuAndF1StandInForTheSystemMenu)
{
    Probe probe;
    QtDialogView view(ProbeTemplate(), probe);
    ASSERT_TRUE(view.Open());
    view.Dialog()->show();
    QTest::keyClick(view.Dialog(), Qt::Key_F1);
    EXPECT_TRUE(probe.events.empty()) << "no About item appended yet";

    ASSERT_TRUE(view.AppendSystemMenuItem(kAboutCommand, "&About Tavelin..."));
    QString shown;
    QTimer::singleShot(0, [&] {
        WaitFor([&] { return QApplication::activePopupWidget() != nullptr; });
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            shown = menu->actions().value(0)->text();
            menu->actions().value(0)->trigger();
            menu->close(); // a click would close it too
        }
    });
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5), view.Dialog()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view.Dialog(), &rightClick);
    EXPECT_EQ(shown, "&About Tavelin...");
    ASSERT_TRUE(WaitFor([&] { return !probe.events.empty(); }, 1000));
    EXPECT_EQ(probe.events[0].kind, "system");
    EXPECT_EQ(probe.events[0].id, static_cast<std::int32_t>(kAboutCommand));

    QTest::keyClick(view.Dialog(), Qt::Key_F1);
    ASSERT_EQ(probe.events.size(), 2u);
    EXPECT_EQ(probe.events[1].id, static_cast<std::int32_t>(kAboutCommand));
    view.Finish();
}

TEST_F(QtRendererTest, TimersKeepFiringBehindChildDialogsAndMessageBoxes)
{
    Probe probe;
    probe.startTimer = true;
    QtDialogView view(ProbeTemplate(), probe);
    ASSERT_TRUE(view.Open());
    view.Dialog()->show();
    ASSERT_TRUE(WaitFor([&] { return probe.ticks >= 3; }));

    int ticksSeenInChild = 0;
    qttest::WhenShown(QStringLiteral("template901"), [&](QDialog* child) {
        ASSERT_NE(child, nullptr);
        const int before = probe.ticks;
        WaitFor([&] { return probe.ticks >= before + 5; });
        ticksSeenInChild = probe.ticks - before;
        Control<QPushButton>(child, kIdOk)->click();
    });
    Control<QPushButton>(view.Dialog(), kOpenChild)->click(); // returns when the child has closed
    EXPECT_GE(ticksSeenInChild, 5);
    EXPECT_EQ(probe.childResult, kIdOk);

    // A message box: modal, OK only, with the caption; ticks go on behind it.
    QString caption;
    QString text;
    int buttons = 0;
    int ticksSeenInBox = 0;
    qttest::WhenShown(QStringLiteral("messageBox"), [&](QDialog* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isModal());
        caption = box->windowTitle();
        text = box->text();
        buttons = static_cast<int>(box->buttons().size());
        const int before = probe.ticks;
        WaitFor([&] { return probe.ticks >= before + 3; });
        ticksSeenInBox = probe.ticks - before;
        box->button(QMessageBox::Ok)->click();
    });
    view.ShowMessageBox("SettingsFileClass::OpenFileForReading\nNo such file <:>", "CTavelinDlg::Initialise");
    EXPECT_EQ(caption, "CTavelinDlg::Initialise");
    EXPECT_EQ(text, "SettingsFileClass::OpenFileForReading\nNo such file <:>");
    EXPECT_EQ(buttons, 1);
    EXPECT_GE(ticksSeenInBox, 3);

    // The three-way question: Save, Discard and Cancel, each answered as pressed;
    // a close request from outside answers Cancel.
    for (const auto& [button, answer] :
        { std::pair { QMessageBox::Save, SaveChoice::Save }, std::pair { QMessageBox::Discard, SaveChoice::Discard },
            std::pair { QMessageBox::Cancel, SaveChoice::Cancel } }) {
        qttest::WhenShown(QStringLiteral("saveQuestion"), [&, button = button](QDialog* window) {
            auto* box = qobject_cast<QMessageBox*>(window);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->buttons().size(), 3);
            box->button(button)->click();
        });
        EXPECT_EQ(view.AskSaveDiscardCancel("Save?", "Tavelin"), answer);
    }
    // Where nobody can answer, boxes and questions return at once.
    QtDialogView::SetAnswerBoxesAtOnce(true);
    view.ShowMessageBox("nobody sees this", "CTavelinDlg::Initialise");
    EXPECT_EQ(view.AskSaveDiscardCancel("Save?", "Tavelin"), SaveChoice::Save);
    QtDialogView::SetAnswerBoxesAtOnce(false);
    EXPECT_EQ(qttest::FindWindow(QStringLiteral("messageBox")), nullptr);
    // A close request while the question is open answers it Cancel, and every later one too.
    qttest::WhenShown(QStringLiteral("saveQuestion"), [&](QDialog* window) {
        EXPECT_NE(window, nullptr);
        view.RequestClose();
    });
    EXPECT_EQ(view.AskSaveDiscardCancel("Save?", "Tavelin"), SaveChoice::Cancel);
    EXPECT_EQ(view.AskSaveDiscardCancel("Save?", "Tavelin"), SaveChoice::Cancel);

    view.StopTimer(kTimer);
    const int stopped = probe.ticks;
    QTest::qWait(40);
    EXPECT_EQ(probe.ticks, stopped);
    view.Finish();
}

// What Qt does for the session: the close a request leaves pending comes
// through the event loop once the handler that asked has returned, and a
// request closes an open context menu (nobody is left to choose from it).
TEST_F(QtRendererTest, APendingCloseIsPostedAndAnOpenContextMenuGivesWay)
{
    {
        Probe probe;
        QtDialogView view(ProbeTemplate(), probe);
        probe.duringCommand = [&](std::int32_t) { view.RequestClose(); };
        QTimer::singleShot(0, [&] { Control<QPushButton>(view.Dialog(), kOpenChild)->click(); });
        EXPECT_EQ(view.RunModal(), kIdOk);
        std::vector<std::string> kinds;
        for (const Probe::Event& event : probe.events) {
            kinds.push_back(event.kind);
        }
        EXPECT_EQ(kinds, (std::vector<std::string> { "command", "close requested", "command returns", "close" }));
        EXPECT_EQ(probe.destroys, 1);
    }
    {
        Probe probe;
        QtDialogView view(ProbeTemplate(), probe);
        ASSERT_TRUE(view.Open());
        view.Dialog()->show();
        ASSERT_TRUE(view.AppendSystemMenuItem(kAboutCommand, "&About Tavelin..."));
        bool menuShown = false;
        QTimer::singleShot(0, [&] {
            menuShown = WaitFor([&] { return QApplication::activePopupWidget() != nullptr; });
            view.RequestClose();
        });
        // A menu left open would keep the window from closing: closed late, it fails the test.
        bool closedLate = false;
        QTimer late;
        late.setSingleShot(true);
        QObject::connect(&late, &QTimer::timeout, [&] {
            if (QWidget* menu = QApplication::activePopupWidget()) {
                closedLate = true;
                menu->close();
            }
        });
        late.start(3000);
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5), view.Dialog()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(view.Dialog(), &rightClick); // returns when the menu has closed
        EXPECT_TRUE(menuShown);
        EXPECT_FALSE(closedLate);
        ASSERT_TRUE(WaitFor([&] { return view.Ended(); }));
        ASSERT_FALSE(probe.events.empty());
        EXPECT_EQ(probe.events.back().kind, "close");
        EXPECT_EQ(probe.events.size(), 2u) << "the menu's About was never chosen";
        view.Finish();
        EXPECT_EQ(probe.destroys, 1);
    }
}

} // namespace

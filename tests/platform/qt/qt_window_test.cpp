// The real main window on offscreen Qt widgets: virtual joysticks, a
// configuration in a private folder and a private block, read back by a
// second attacher the way the simulator reads it.
#include "app/TavelinDlg.h"
#include "mapping/GenericSimBlock.h"
#include "platform/qt/QtDialogView.h"
#include "tests/platform/qt/qt_test_support.h"
#include "tests/support/test_files.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

using namespace MainIds;
using qttest::Control;
using qttest::WaitFor;
namespace block = GenericSimBlock;

// The main window opened the way the application object runs it, but left
// to the test's event loop instead of its own.
struct OpenWindow {
    std::unique_ptr<CTavelinDlg> dialog = std::make_unique<CTavelinDlg>();
    std::unique_ptr<QtDialogView> view = std::make_unique<QtDialogView>(CTavelinDlg::Template(), *dialog);

    bool Open()
    {
        const bool open = view->Open();
        view->Dialog()->show();
        return open;
    }
    QDialog* Window() const { return view->Dialog(); }
    std::string Text(std::int32_t id) const
    {
        char text[256];
        view->GetControlText(id, text, sizeof text);
        return text;
    }
    ~OpenWindow()
    {
        if (!view->Ended()) {
            // Left the way a termination signal leaves it: nothing asked.
            dialog->OnCloseRequested();
            view->DeliverCommand(kOk);
        }
        view->Finish();
    }
};

bool Near(double a, double b)
{
    return std::fabs(a - b) < 1e-6;
}

class QtWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { qttest::Application(); }
};

TEST_F(QtWindowTest, StartsWithTheVirtualJoysticksAndPublishesEveryTick)
{
    testfiles::Sandbox sandbox("window");
    testfiles::Stick stick;
    stick.y = 5000;
    stick.pov = 9000;
    sandbox.MoveStick(stick);

    OpenWindow window;
    ASSERT_TRUE(window.Open());
    testfiles::BlockReader reader(sandbox.ShmName());
    ASSERT_TRUE(reader.Ready());
    EXPECT_EQ(window.Window()->windowTitle(), "Version 1.6");
    EXPECT_FALSE(window.Window()->windowIcon().pixmap(32, 32).isNull()) << "the icon's pictures are linked in";

    const double pitch = testfiles::SettledPitch(5000);
    ASSERT_TRUE(WaitFor([&] { return Near(reader.Double(block::kPitchOutput), pitch); }))
        << reader.Double(block::kPitchOutput);
    ASSERT_TRUE(WaitFor([&] { return window.Text(kAxisRows[0].valueText) == "  9.500 Deg"; }))
        << window.Text(kAxisRows[0].valueText);
    EXPECT_EQ(window.Text(kDeviceName[0]), "Virtual Stick");
    // Pitch -20..20: 9.5 is 73.75 % of the bar.
    // The stacked bars are drawn by one widget, as cells.
    const ReadoutPanel::Cell* bar = window.view->CellOf(kAxisRows[0].progress);
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(WaitFor([&] { return bar->value == 73; }, 500)) << bar->value;
    EXPECT_EQ(bar->colour, QColor(204, 0, 204));
    EXPECT_EQ(
        Control<QLabel>(window.Window(), kSideStickLamp)->property("lamp").toInt(), static_cast<int>(LampPicture::On));

    // The readouts: slot 0 live, the empty slots greyed with "----".
    EXPECT_EQ(window.Text(ReadoutValueId(0, 0)), std::to_string(testfiles::kStickId));
    EXPECT_EQ(window.Text(ReadoutValueId(0, 2)), "5000");
    EXPECT_EQ(window.Text(ReadoutValueId(0, 9)), "90");
    EXPECT_EQ(window.Text(ReadoutValueId(0, 10)), "12");
    EXPECT_EQ(window.Text(ReadoutValueId(1, 2)), "----");

    // The combos hold their lists and show the assignment.
    auto* pitchInput = Control<QComboBox>(window.Window(), kAxisRows[0].inputCombo);
    ASSERT_NE(pitchInput, nullptr);
    EXPECT_EQ(pitchInput->count(), 24);
    EXPECT_EQ(pitchInput->currentText(), " Y");
    EXPECT_EQ(Control<QComboBox>(window.Window(), kButtonRows[1].buttonCombo)->currentText(), "1");
    auto* list = Control<QTreeWidget>(window.Window(), kWarningList);
    ASSERT_EQ(list->columnCount(), 2);
    EXPECT_EQ(list->headerItem()->text(1), "Warning Message");

    // Moving the stick: the block follows, and so does the window.
    stick.y = -3000;
    stick.pressed = "1";
    sandbox.MoveStick(stick);
    ASSERT_TRUE(WaitFor([&] { return Near(reader.Double(block::kPitchOutput), testfiles::SettledPitch(-3000)); }));
    EXPECT_TRUE(WaitFor([&] { return reader.Byte(block::kApDiscPressed) == 1; }));
    EXPECT_TRUE(WaitFor([&] { return window.Text(ReadoutValueId(0, 11)) == "1"; }));
}

TEST_F(QtWindowTest, CombosAndSpinsChangeTheAssignmentAndTuningInTheBlock)
{
    testfiles::Sandbox sandbox("widgets");
    OpenWindow window;
    ASSERT_TRUE(window.Open());
    testfiles::BlockReader reader(sandbox.ShmName());
    ASSERT_TRUE(reader.Ready());
    auto* pitchInput = Control<QComboBox>(window.Window(), kAxisRows[0].inputCombo);
    ASSERT_TRUE(WaitFor([&] { return pitchInput->count() == 24; }));
    EXPECT_EQ(reader.Int(block::kPitchRecord + block::kRecordInput), 1);

    // " Y" -> " Z" -> "Rx" by the keyboard, as an operator would.
    pitchInput->setFocus();
    QTest::keyClick(pitchInput, Qt::Key_Down);
    QTest::keyClick(pitchInput, Qt::Key_Down);
    EXPECT_EQ(reader.Int(block::kPitchRecord + block::kRecordInput), 3);
    EXPECT_EQ(pitchInput->currentText(), "Rx");

    // The last entry is an axis ("SL2-90"), which drives the button instead of a number.
    auto* apButton = Control<QComboBox>(window.Window(), kButtonRows[1].buttonCombo);
    apButton->setFocus();
    QTest::keyClick(apButton, Qt::Key_End);
    EXPECT_EQ(apButton->currentText(), "SL2-90");
    EXPECT_EQ(window.dialog->GetJoySticks()->GetAxisButton(1).threshold, -9000);

    // Up through the axis entries to "31" on a 12-button stick: stored and shown as 12.
    for (int entry = 0; entry < 64; ++entry) {
        QTest::keyClick(apButton, Qt::Key_Up);
    }
    EXPECT_FALSE(window.dialog->GetJoySticks()->GetAxisButton(1).Drives());
    EXPECT_EQ(reader.Int(block::ButtonRecord(1) + block::kRecordInput), 12);
    EXPECT_EQ(apButton->currentText(), "12");

    // One click on the pitch spin's up arrow raises the sensitivity by 0.0001.
    auto* spin = dynamic_cast<SpinArrows*>(window.view->Widget(kAxisRows[0].spin));
    ASSERT_NE(spin, nullptr);
    const double before = reader.Double(block::kPitchSensitivity);
    QTest::mouseClick(spin->DecreaseButton(), Qt::LeftButton);
    EXPECT_NEAR(reader.Double(block::kPitchSensitivity), before + 0.0001, 1e-12);
    EXPECT_EQ(window.Text(kAxisRows[0].sensitivityText), "0.0021");
    QTest::mouseClick(spin->IncreaseButton(), Qt::LeftButton);
    QTest::mouseClick(spin->IncreaseButton(), Qt::LeftButton);
    EXPECT_NEAR(reader.Double(block::kPitchSensitivity), before - 0.0001, 1e-12);
    // The thrust levers' spins are not on show.
    EXPECT_FALSE(window.view->Widget(kAxisRows[4].spin)->isVisible());
}

TEST_F(QtWindowTest, OutputsKeepMovingBehindAModalSetUpDialog)
{
    testfiles::Sandbox sandbox("modal");
    OpenWindow window;
    ASSERT_TRUE(window.Open());
    testfiles::BlockReader reader(sandbox.ShmName());
    ASSERT_TRUE(reader.Ready());
    ASSERT_TRUE(WaitFor([&] { return window.dialog->GetCycleCount() > 2; }));

    bool movedBehind = false;
    std::string shownBehind;
    qttest::WhenShown(QStringLiteral("template131"), [&](QDialog* deadBands) {
        ASSERT_NE(deadBands, nullptr);
        testfiles::Stick stick;
        stick.y = 8000;
        sandbox.MoveStick(stick);
        movedBehind = WaitFor([&] { return Near(reader.Double(block::kPitchOutput), testfiles::SettledPitch(8000)); });
        WaitFor([&] { return window.Text(kAxisRows[0].valueText) == " 15.500 Deg"; });
        shownBehind = window.Text(kAxisRows[0].valueText);
        // Pitch dead band one step down (right arrow: -1, times 0.01), then OK.
        auto* spin = dynamic_cast<SpinArrows*>(deadBands->findChild<QWidget*>(QStringLiteral("id1094")));
        ASSERT_NE(spin, nullptr);
        QTest::mouseClick(spin->DecreaseButton(), Qt::LeftButton);
        auto* value = dynamic_cast<TextLabel*>(Control<QLabel>(deadBands, 1090));
        ASSERT_NE(value, nullptr);
        EXPECT_TRUE(WaitFor([&] { return value->ShownText() == "0.4900"; }, 500)) << value->ShownText().toStdString();
        Control<QPushButton>(deadBands, kIdOk)->click();
    });
    Control<QPushButton>(window.Window(), kSetDeadBands)->click();
    EXPECT_TRUE(movedBehind);
    EXPECT_EQ(shownBehind, " 15.500 Deg");
    EXPECT_NEAR(reader.Double(block::kPitchDeadBand), 0.49, 1e-12);
    EXPECT_TRUE(WaitFor([&] { return Near(reader.Double(block::kPitchOutput), 8000 * 0.002 - 0.49); }));

    // F1 opens the About box over the running window.
    qttest::WhenShown(QStringLiteral("template100"), [&](QDialog* about) {
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->windowTitle(), "About Tavelin");
        const int cycles = window.dialog->GetCycleCount();
        EXPECT_TRUE(WaitFor([&] { return window.dialog->GetCycleCount() > cycles + 3; }));
        Control<QPushButton>(about, kIdOk)->click();
    });
    QTest::keyClick(window.Window(), Qt::Key_F1);
    EXPECT_EQ(qttest::FindWindow(QStringLiteral("template100")), nullptr);
}

TEST_F(QtWindowTest, FailuresAreMessageBoxesAnsweredWithOk)
{
    testfiles::Sandbox sandbox("boxes");
    // Unreadable, yet there: a link to nothing (a missing file would be a first start).
    std::filesystem::remove(sandbox.ConfigurationFile());
    std::filesystem::create_symlink(sandbox.ConfigurationFile().string() + ".gone", sandbox.ConfigurationFile());

    QString caption;
    QString text;
    bool answered = false;
    qttest::WhenShown(QStringLiteral("messageBox"), [&](QDialog* window) {
        answered = true;
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr);
        caption = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    OpenWindow window;
    window.Open();
    // Without a box the script would still be waiting when the next test runs.
    ASSERT_TRUE(WaitFor([&] { return answered; }, 6000));
    EXPECT_EQ(caption, "CTavelinDlg::Initialise");
    EXPECT_TRUE(text.contains("SettingsFileClass::OpenFileForReading")) << text.toStdString();
    EXPECT_TRUE(text.contains("Joystick.ini")) << text.toStdString();
    EXPECT_FALSE(window.dialog->StartedOk());
    EXPECT_TRUE(window.Window()->isVisible()) << "the window stays open after a failed start";
}

TEST_F(QtWindowTest, NoKeyEndsTheWindowAndTheCloseBoxAsksAboutChanges)
{
    testfiles::Sandbox sandbox("keys");
    OpenWindow window;
    ASSERT_TRUE(window.Open());
    ASSERT_TRUE(WaitFor([&] { return window.dialog->GetCycleCount() > 0; }));
    auto* pitchInput = Control<QComboBox>(window.Window(), kAxisRows[0].inputCombo);
    ASSERT_NE(pitchInput, nullptr);
    pitchInput->setFocus();
    for (const Qt::Key key : { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape }) {
        QTest::keyClick(pitchInput, key);
        QTest::keyClick(window.Window(), key);
        QTest::keyClick(Control<QPushButton>(window.Window(), kOk), key);
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.view->Ended());
    EXPECT_TRUE(window.Window()->isVisible());

    // A change not saved: the close box asks; Cancel stays, Discard leaves.
    window.view->DeliverSpin(kAxisRows[0].spin, -3);
    ASSERT_TRUE(window.dialog->HasUnsavedChanges());
    QString question;
    qttest::WhenShown(QStringLiteral("saveQuestion"), [&](QDialog* box) {
        question = box->windowTitle();
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::Cancel)->click();
    });
    window.Window()->close();
    ASSERT_TRUE(WaitFor([&] { return !question.isEmpty(); }));
    EXPECT_EQ(question, "Tavelin");
    EXPECT_FALSE(window.view->Ended());
    qttest::WhenShown(QStringLiteral("saveQuestion"),
        [&](QDialog* box) { qobject_cast<QMessageBox*>(box)->button(QMessageBox::Discard)->click(); });
    window.Window()->close();
    EXPECT_TRUE(WaitFor([&] { return window.view->Ended(); }));
}

TEST_F(QtWindowTest, ACloseFromOutsideCancelsTheOpenDialogAndDetachesOnce)
{
    testfiles::Sandbox sandbox("close");
    OpenWindow window;
    ASSERT_TRUE(window.Open());
    testfiles::BlockReader attached(sandbox.ShmName());
    ASSERT_TRUE(attached.Ready());
    ASSERT_TRUE(WaitFor([&] { return window.dialog->GetCycleCount() > 0; }));
    EXPECT_EQ(block::LoadUserCount(attached.Block()), 3); // window, processor, this test

    qttest::WhenShown(QStringLiteral("template134"), [&](QDialog* thrustLevers) {
        EXPECT_NE(thrustLevers, nullptr);
        window.view->RequestClose(); // what SIGTERM does
    });
    Control<QPushButton>(window.Window(), kThrustLeverData)->click();
    ASSERT_TRUE(WaitFor([&] { return window.view->Ended(); }));
    EXPECT_EQ(window.view->Result(), kIdOk);
    EXPECT_EQ(window.dialog->GetJoySticks(), nullptr) << "the joysticks are released on the way out";
    window.view->Finish();
    EXPECT_EQ(block::LoadUserCount(attached.Block()), 1);
}

} // namespace

TEST_F(QtWindowTest, ASmallScreenScrollsTheWholeWindowAndEveryControlHasATooltip)
{
    testfiles::Sandbox sandbox("small");
    testfiles::Stick stick;
    sandbox.MoveStick(stick);
    OpenWindow window;
    ASSERT_TRUE(window.Open());

    // The offscreen screen (800 x 600) is smaller than the window's canvas.
    const QRect available = window.Window()->screen()->availableGeometry();
    QWidget* canvas = window.view->Canvas();
    QScrollArea* scroll = window.view->ScrollArea();
    ASSERT_NE(canvas, nullptr);
    const DialogBaseUnits& units = window.view->BaseUnits();
    EXPECT_EQ(canvas->size(),
        QSize(units.ToPixelsX(CTavelinDlg::Template().width), units.ToPixelsY(CTavelinDlg::Template().height)));
    ASSERT_TRUE(canvas->width() > available.width() || canvas->height() > available.height());
    EXPECT_LE(window.Window()->width(), available.width());
    EXPECT_LE(window.Window()->height(), available.height());
    EXPECT_GT(scroll->verticalScrollBar()->maximum() + scroll->horizontalScrollBar()->maximum(), 0);

    // Nothing lies outside the scrolled area, and scrolling reaches the last control.
    for (QWidget* child : canvas->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(canvas->rect().contains(child->geometry())) << child->objectName().toStdString();
    }
    auto* list = Control<QTreeWidget>(window.Window(), kWarningList);
    scroll->ensureWidgetVisible(list, 0, 0);
    const QRect shown(list->mapTo(scroll->viewport(), QPoint(0, 0)), list->size());
    EXPECT_TRUE(scroll->viewport()->rect().contains(shown));

    // Every control of the template and every readout cell has its tooltip.
    for (const auto& control : CTavelinDlg::Template().controls) {
        if (control.id != kNoControlId) {
            EXPECT_FALSE(window.view->ToolTip(control.id).isEmpty()) << control.id;
        }
    }
    EXPECT_TRUE(WaitFor([&] { return !window.view->ToolTip(ReadoutValueId(3, 29)).isEmpty(); }));
    EXPECT_TRUE(window.view->CellOf(kAxisRows[0].progress)->centreMark);
    EXPECT_FALSE(window.view->CellOf(kAxisRows[4].progress)->centreMark);

    // Detection through the real window: the roll row takes the stick's Z
    // axis, and the moving value box is highlighted meanwhile.
    ASSERT_TRUE(WaitFor([&] { return window.dialog->GetCycleCount() > 2; }));
    Control<QPushButton>(window.Window(), AxisDetectId(1))->click();
    EXPECT_EQ(Control<QPushButton>(window.Window(), AxisDetectId(1))->text(), "5 s");
    stick.z = 9000;
    sandbox.MoveStick(stick);
    auto* rollInput = Control<QComboBox>(window.Window(), kAxisRows[1].inputCombo);
    EXPECT_TRUE(WaitFor([&] { return rollInput->currentText() == " Z"; })) << rollInput->currentText().toStdString();
    EXPECT_TRUE(WaitFor([&] { return window.view->Highlighted(ReadoutValueId(0, 3)); }));
    EXPECT_EQ(Control<QPushButton>(window.Window(), AxisDetectId(1))->text(), "Move");
    EXPECT_TRUE(WaitFor([&] { return !window.view->Highlighted(ReadoutValueId(0, 3)); }, 3000));
}

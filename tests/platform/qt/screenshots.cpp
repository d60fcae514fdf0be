// qt_screenshots: takes the pictures of docs/ on a real X display (Xvfb):
// the main window with the joysticks of TAVELIN_VIRTUAL_JOYSTICKS moving,
// a row waiting for the control to move, then each set-up dialog (and the
// network dialog) over it.
// Each picture is the screen as `import` sees it, cut to the window.
// Usage: qt_screenshots <folder> [suffix of the names] [font scale]
// With a font scale the desktop font is that many times larger.
#include "app/TavelinDlg.h"
#include "dialogs/ResponseCurvesDlg.h"
#include "platform/qt/QtDialogView.h"
#include "tests/platform/qt/qt_test_support.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QStyleFactory>

#include <cstdio>
#include <memory>

namespace {

QString g_folder;
QString g_suffix;
int g_failures = 0;

// The virtual joysticks' file with its MOTION lines stopped or back.
void SetMotion(bool sweep)
{
    const QString path = QString::fromLocal8Bit(qgetenv("TAVELIN_VIRTUAL_JOYSTICKS"));
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return;
    }
    static QByteArray moving; // the file as it came, its joysticks moving
    QByteArray text = file.readAll();
    file.close();
    if (moving.isEmpty()) {
        moving = text;
    }
    if (sweep) {
        text = moving;
    } else {
        for (const char* motion : { "STICK", "THROTTLE", "PEDALS", "SWEEP" }) {
            text.replace(QByteArray("MOTION  = ") + motion, "MOTION  = NONE");
        }
    }
    // Whole or not at all: a reader must never meet a half-written file.
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(text);
        out.commit();
    }
}

void Snap(QWidget* window, const QString& name)
{
    if (window == nullptr) {
        std::fprintf(stderr, "qt_screenshots: no window for %s\n", qPrintable(name));
        ++g_failures;
        return;
    }
    // Let the last frame reach the screen.
    qttest::WaitFor([] { return false; }, 300);
    const QRect frame = window->frameGeometry();
    const QString crop
        = QStringLiteral("%1x%2+%3+%4").arg(frame.width()).arg(frame.height()).arg(frame.x()).arg(frame.y());
    const QString file = QDir(g_folder).filePath(name + g_suffix + QStringLiteral(".png"));
    const int status = QProcess::execute(QStringLiteral("import"),
        { QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"), crop, QStringLiteral("+repage"),
            file });
    if (status != 0) {
        std::fprintf(stderr, "qt_screenshots: import failed for %s\n", qPrintable(file));
        ++g_failures;
    } else {
        std::printf("%s\n", qPrintable(file));
    }
}

// Opens a child from the main window, photographs it and closes it.
void SnapChild(QDialog* main, int buttonId, const QString& templateName, const QString& name, int closeId)
{
    qttest::WhenShown(templateName, [&](QDialog* child) {
        Snap(child, name);
        if (child != nullptr) {
            if (auto* close = qttest::Control<QPushButton>(child, closeId)) {
                close->click();
            }
        }
    });
    if (buttonId == 0) {
        QTest::keyClick(main, Qt::Key_F1);
    } else if (auto* button = qttest::Control<QPushButton>(main, buttonId)) {
        button->click();
    }
}

// The curves dialog with the roll's curve made a POINTS curve, the stick moving on it.
void SnapCurves(QDialog* main)
{
    qttest::WhenShown(QStringLiteral("template141"), [&](QDialog* child) {
        auto* axis = qttest::Control<QComboBox>(child, CResponseCurvesDlg::kAxis);
        auto* kind = qttest::Control<QComboBox>(child, CResponseCurvesDlg::kKind);
        auto* points = qttest::Control<QLineEdit>(child, CResponseCurvesDlg::kPoints);
        if (axis != nullptr && kind != nullptr && points != nullptr) {
            axis->setCurrentIndex(1);
            emit axis->activated(1);
            kind->setCurrentIndex(2);
            emit kind->activated(2);
            points->selectAll();
            QTest::keyClicks(points, "-1 -1 -0.5 -0.3 0 0 0.5 0.3 1 1");
            qttest::WaitFor([] { return false; }, 700);
        }
        Snap(child, QStringLiteral("response-curves-dialog"));
        if (auto* close = qttest::Control<QPushButton>(child, kIdCancel)) {
            close->click();
        }
    });
    if (auto* button = qttest::Control<QPushButton>(main, MainIds::kResponseCurves)) {
        button->click();
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(fusion);
    }
    g_folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    g_suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const double fontScale = argc > 3 ? QString::fromLocal8Bit(argv[3]).toDouble() : 1.0;
    QDir().mkpath(g_folder);
    if (fontScale > 0.0 && fontScale != 1.0) {
        // A desktop set to a larger font: the whole layout follows it.
        QFont font = QApplication::font();
        if (font.pointSizeF() > 0) {
            font.setPointSizeF(font.pointSizeF() * fontScale);
        } else {
            font.setPixelSize(static_cast<int>(font.pixelSize() * fontScale));
        }
        QApplication::setFont(font);
    }

    auto dialog = std::make_unique<CTavelinDlg>();
    QtDialogView view(CTavelinDlg::Template(), *dialog);
    view.Open();
    view.Dialog()->move(0, 0);
    view.Dialog()->show();
    qttest::WaitFor([&] { return dialog->GetCycleCount() > 150; }, 10000);
    Snap(view.Dialog(), QStringLiteral("main-window"));

    // A row waiting for its control: the sticks held still meanwhile, or the
    // sweep would answer at once.
    SetMotion(false);
    qttest::WaitFor([] { return false; }, 600);
    if (auto* move = qttest::Control<QPushButton>(view.Dialog(), MainIds::AxisDetectId(2))) {
        view.ScrollArea()->ensureWidgetVisible(move);
        move->click();
        qttest::WaitFor([] { return false; }, 1200);
        Snap(view.Dialog(), QStringLiteral("detection"));
    }
    view.DeliverCommand(kIdCancel); // Escape: the waiting ends, the window stays
    view.ScrollArea()->ensureVisible(0, 0);
    SetMotion(true);

    SnapChild(view.Dialog(), MainIds::kSetDeadBands, QStringLiteral("template131"), QStringLiteral("dead-band-dialog"),
        kIdCancel);
    SnapChild(view.Dialog(), MainIds::kThrustLeverData, QStringLiteral("template134"),
        QStringLiteral("thrust-lever-dialog"), kIdCancel);
    SnapCurves(view.Dialog());
    SnapChild(view.Dialog(), MainIds::kSaveAssignments, QStringLiteral("template132"), QStringLiteral("choice-dialog"),
        kIdCancel);
    SnapChild(
        view.Dialog(), MainIds::kNetwork, QStringLiteral("template140"), QStringLiteral("network-dialog"), kIdCancel);
    SnapChild(view.Dialog(), 0, QStringLiteral("template100"), QStringLiteral("about-box"), kIdOk);

    // The calibration while the demo's stick sweeps: a few seconds of captures first.
    qttest::WhenShown(QStringLiteral("template150"), [&](QDialog* child) {
        qttest::WaitFor([] { return false; }, 4000);
        Snap(child, QStringLiteral("calibrate-dialog"));
        if (child != nullptr) {
            if (auto* close = qttest::Control<QPushButton>(child, kIdCancel)) {
                close->click();
            }
        }
    });
    if (auto* calibrate = qttest::Control<QPushButton>(
            view.Dialog(), MainIds::kControlPanelCalibrates ? MainIds::kControlPanel : MainIds::kCalibrate)) {
        view.ScrollArea()->ensureWidgetVisible(calibrate);
        calibrate->click();
    }
    view.ScrollArea()->ensureVisible(0, 0);

    view.DeliverCommand(kIdOk);
    view.Finish();
    return g_failures == 0 ? 0 : 1;
}

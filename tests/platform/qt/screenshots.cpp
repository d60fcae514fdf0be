// qt_screenshots: takes the pictures of docs/ on a real X display (Xvfb):
// the main window with the joysticks of TAVELIN_VIRTUAL_JOYSTICKS moving,
// then each set-up dialog over it. Each picture is the screen as `import`
// sees it, cut to the window. Usage: qt_screenshots <folder>
#include "app/TavelinDlg.h"
#include "platform/qt/QtDialogView.h"
#include "tests/platform/qt/qt_test_support.h"

#include <QDir>
#include <QProcess>
#include <QStyleFactory>

#include <cstdio>
#include <memory>

namespace {

QString g_folder;
int g_failures = 0;

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
    const QString file = QDir(g_folder).filePath(name + QStringLiteral(".png"));
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

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(fusion);
    }
    g_folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(g_folder);

    auto dialog = std::make_unique<CTavelinDlg>();
    QtDialogView view(CTavelinDlg::Template(), *dialog);
    view.Open();
    view.Dialog()->move(20, 20);
    view.Dialog()->show();
    qttest::WaitFor([&] { return dialog->GetCycleCount() > 150; }, 10000);
    Snap(view.Dialog(), QStringLiteral("main-window"));

    SnapChild(view.Dialog(), MainIds::kSetDeadBands, QStringLiteral("template131"), QStringLiteral("dead-band-dialog"),
        kIdCancel);
    SnapChild(view.Dialog(), MainIds::kThrustLeverData, QStringLiteral("template134"),
        QStringLiteral("thrust-lever-dialog"), kIdCancel);
    SnapChild(view.Dialog(), MainIds::kSaveAssignments, QStringLiteral("template132"), QStringLiteral("choice-dialog"),
        kIdCancel);
    SnapChild(view.Dialog(), 0, QStringLiteral("template100"), QStringLiteral("about-box"), kIdOk);

    view.DeliverCommand(kIdOk);
    view.Finish();
    return g_failures == 0 ? 0 : 1;
}

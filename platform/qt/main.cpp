// tavelin: the program. The application object runs the main window through
// the Qt renderer; SIGTERM and SIGINT leave it the way its close box does.
#include "app/TavelinApp.h"
#include "platform/qt/QtDialogView.h"
#include "platform/qt/SignalBridge.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavelin"));
    QApplication::setDesktopFileName(QStringLiteral("tavelin"));
    QApplication::setWindowIcon(ApplicationIcon());
    // The window ends through its presenter, never because a box was the last window.
    QApplication::setQuitOnLastWindowClosed(false);
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(fusion);
    }

    QtDialogRunner runner;
    SignalBridge bridge([&runner](int /*signal*/) {
        if (QtDialogView* view = runner.Current()) {
            view->RequestClose();
        }
    });

    CTavelinApp app;
    app.InitInstance(runner);
    return 0;
}

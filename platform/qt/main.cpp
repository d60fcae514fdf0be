// tavelin: the program. The application object runs the main window through
// the Qt renderer; SIGTERM, SIGINT, SIGHUP and logging off end it without a
// question. Exit status 0, or 1 when it did not start (another Tavelin
// publishes into the block).
#include "app/TavelinApp.h"
#include "platform/qt/QtDialogView.h"
#include "support/CloseRequest.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QStyleFactory>

#include <cstring>
#include <memory>

int main(int argc, char* argv[])
{
    // `tavelin --check-display`: ends at once with 0 when the window system
    // can be reached (Qt ends the program otherwise); run.sh asks this.
    const bool checkOnly = argc > 1 && std::strcmp(argv[1], "--check-display") == 0;
    QApplication application(argc, argv);
    if (checkOnly) {
        return 0;
    }
    // Offscreen nobody sees a box: each is on standard error and answered at once.
    QtDialogView::SetAnswerBoxesAtOnce(QGuiApplication::platformName() == QStringLiteral("offscreen"));
    QApplication::setApplicationName(QStringLiteral("Tavelin"));
    QApplication::setDesktopFileName(QStringLiteral("tavelin"));
    QApplication::setWindowIcon(ApplicationIcon());
    // The window ends through its presenter, never because a box was the last window.
    QApplication::setQuitOnLastWindowClosed(false);
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(fusion);
    }

    QtDialogRunner runner;
#ifndef QT_NO_SESSIONMANAGER
    // Logging off ends the window without a question, like a termination signal.
    QObject::connect(
        &application, &QGuiApplication::commitDataRequest, [&runner](QSessionManager&) { runner.RequestClose(); });
#endif
    // A close request from outside (a signal) ends the window without asking anything.
    std::unique_ptr<CloseRequestSource> closeRequests = CloseRequestSource::Create();
    std::unique_ptr<QSocketNotifier> closeNotifier;
    if (closeRequests && closeRequests->Descriptor() >= 0) {
        closeNotifier = std::make_unique<QSocketNotifier>(closeRequests->Descriptor(), QSocketNotifier::Read);
        QObject::connect(closeNotifier.get(), &QSocketNotifier::activated, [&runner, &closeRequests] {
            if (closeRequests->TakeRequests()) {
                runner.RequestClose();
            }
        });
    }

    CTavelinApp app;
    app.InitInstance(runner);
    return app.ExitCode();
}

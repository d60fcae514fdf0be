// tavelin: the program. The application object runs the main window through
// the Qt renderer; SIGTERM, SIGINT, SIGHUP and logging off end it without a
// question. Exit status 0, or 1 when it did not start (another Tavelin
// publishes into the block); 64 for a command line it does not understand.
// Every option is an addition: without one the program starts its window.
// The network options (--net ...) lay themselves over Network.ini; the link's
// engine is this build's (Cyclone DDS where CMake found it).
#include "app/TavelinApp.h"
#include "devices/InputDeviceList.h"
#include "net/LinkTransport.h"
#include "net/NetworkSettings.h"
#include "platform/qt/QtDialogView.h"
#include "platform/qt/QtMessageFilter.h"
#include "support/CloseRequest.h"
#include "support/CommandLine.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QStyleFactory>

#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

// The program's options, one row each, in the order --help shows them.
constexpr CommandLineOption kOptions[] = {
    { "--help", "-h", nullptr, "show this text and end" },
    { "--version", nullptr, nullptr, "show the version and end" },
    { "--list-devices", nullptr, nullptr,
        "list the input devices as Tavelin sees them, with the fix for each joystick "
        "that udev does not give to the user at the seat" },
    { "--check-display", nullptr, nullptr, "end at once with 0 when the window system can be reached" },
};

// Qt's own arguments (QGuiApplication, QApplication and the X11 platform's),
// handed to Qt as they came.
constexpr ForeignOption kQtOptions[] = { { "platform", true, false }, { "platformpluginpath", true, false },
    { "platformtheme", true, false }, { "plugin", true, false }, { "qwindowgeometry", true, false },
    { "qwindowicon", true, false }, { "qwindowtitle", true, false }, { "session", true, false },
    { "display", true, false }, { "geometry", true, false }, { "name", true, false }, { "title", true, false },
    { "icon", true, false }, { "style", true, true }, { "stylesheet", true, true }, { "reverse", false, false },
    { "widgetcount", false, false }, { "nograb", false, false }, { "dograb", false, false }, { "sync", false, false },
    { "qmljsdebugger", false, true } };

constexpr const char* kSummary
    = "Links up to four joysticks to the simulator's shared block and shows, assigns and tunes them in one window.";
constexpr const char* kEpilogue = "Qt's own options (-platform NAME, -style NAME, -display NAME, ...) go to Qt.\n"
                                  "The manual page is tavelin(1).";

// 0, or 1 when the text could not be written (a closed pipe, a full disk).
int Print(const std::string& text)
{
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return std::fflush(stdout) == 0 && written ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    std::vector<CommandLineOption> options(std::begin(kOptions), std::end(kOptions));
    options.insert(options.end(), std::begin(kNetworkOptionRows), std::end(kNetworkOptionRows));
    CommandLine commandLine("tavelin", options, kQtOptions, "Qt options");
    NetworkOverrides network;
    std::string problem;
    if (!commandLine.Parse(argc, argv)) {
        std::fprintf(stderr, "tavelin: %s\n%s", commandLine.FullErrorText().c_str(), commandLine.Usage().c_str());
        return CommandLine::kExitUsage;
    }
    if (!TakeNetworkOptions(commandLine, network, problem)) {
        std::fprintf(stderr, "tavelin: %s\n%s", problem.c_str(), commandLine.Usage().c_str());
        return CommandLine::kExitUsage;
    }
    if (commandLine.Has("--help")) {
        return Print(commandLine.Help(kSummary, kEpilogue));
    }
    if (commandLine.Has("--version")) {
        return Print(std::string("tavelin ") + TAVELIN_VERSION + "\n");
    }
    if (commandLine.Has("--list-devices")) {
        const InputDeviceListing listing = ListPlatformInputDevices();
        const int printed = Print(FormatInputDeviceList(listing));
        return listing.readable ? printed : 1;
    }
    // `tavelin --check-display`: ends at once with 0 when the window system
    // can be reached (Qt ends the program otherwise); run.sh asks this.
    const bool checkOnly = commandLine.Has("--check-display");
    // Qt sees only its own arguments, and they live as long as it does.
    std::vector<std::string> qtArguments = commandLine.ForeignArguments();
    std::vector<char*> qtPointers;
    for (std::string& argument : qtArguments) {
        qtPointers.push_back(argument.data());
    }
    qtPointers.push_back(nullptr);
    int qtCount = static_cast<int>(qtArguments.size());
    InstallQtMessageFilter(); // before the platform plugin loads and speaks
    QApplication application(qtCount, qtPointers.data());
    if (checkOnly) {
        return 0;
    }
    // Offscreen nobody sees a box: each is on standard error and answered at once.
    QtDialogView::SetAnswerBoxesAtOnce(QGuiApplication::platformName() == QStringLiteral("offscreen"));
    QApplication::setApplicationName(QStringLiteral("Tavelin"));
    QApplication::setDesktopFileName(QStringLiteral("com.orrelane.Tavelin"));
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
    app.SetNetwork(network, CreateLinkTransport);
    app.InitInstance(runner);
    return app.ExitCode();
}

// tavelin.exe: the program. The application object runs the main window as a
// native dialog for the whole run; a log-off or a polite close from outside
// arrives at that window as a message and leaves it the way OK does.
// Without arguments it starts its window; --help and --version answer on the
// standard handles (or the console it was started from) and end, and a
// command line it does not understand ends it with status 64. The network
// options are read as on Linux; a build without the network link (the cross
// build: no Cyclone DDS) says so when --net asks for it.
#include "app/TavelinApp.h"
#include "net/LinkTransport.h"
#include "net/NetworkSettings.h"
#include "platform/win32ui/Win32DialogRunner.h"
#include "support/CommandLine.h"

#include <windows.h>

#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The program's options, one row each, in the order --help shows them.
constexpr CommandLineOption kOptions[] = {
    { "--help", "-h", nullptr, "show this text and end" },
    { "--version", nullptr, nullptr, "show the version and end" },
};

constexpr const char* kSummary
    = "Links up to four joysticks to the simulator's shared block and shows, assigns and tunes them in one window.";

// A window program has the handles its starter gave it (a pipe, a file, a
// terminal under Wine); started from a console without them, it writes to
// that console; started from the desktop, it shows a box.
bool Write(DWORD which, const std::string& text)
{
    HANDLE handle = GetStdHandle(which);
    bool ownHandle = false;
    if ((handle == nullptr || handle == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        handle = CreateFileA(
            "CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        ownHandle = handle != INVALID_HANDLE_VALUE;
    }
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        const UINT icon = which == STD_ERROR_HANDLE ? MB_ICONERROR : MB_ICONINFORMATION;
        return MessageBoxA(nullptr, text.c_str(), "Tavelin", MB_OK | icon) != 0;
    }
    DWORD written = 0;
    const bool done = WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0
        && written == text.size();
    if (ownHandle) {
        CloseHandle(handle);
    }
    return done;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/)
{
    std::vector<CommandLineOption> options(std::begin(kOptions), std::end(kOptions));
    options.insert(options.end(), std::begin(kNetworkOptionRows), std::end(kNetworkOptionRows));
    CommandLine commandLine("tavelin", options);
    NetworkOverrides network;
    std::string problem;
    if (!commandLine.Parse(__argc, __argv)) {
        Write(STD_ERROR_HANDLE, "tavelin: " + commandLine.FullErrorText() + "\n" + commandLine.Usage());
        return CommandLine::kExitUsage;
    }
    if (!TakeNetworkOptions(commandLine, network, problem)) {
        Write(STD_ERROR_HANDLE, "tavelin: " + problem + "\n" + commandLine.Usage());
        return CommandLine::kExitUsage;
    }
    if (commandLine.Has("--help")) {
        return Write(STD_OUTPUT_HANDLE, commandLine.Help(kSummary)) ? 0 : 1;
    }
    if (commandLine.Has("--version")) {
        return Write(STD_OUTPUT_HANDLE, std::string("tavelin ") + TAVELIN_VERSION + "\n") ? 0 : 1;
    }
    Win32DialogRunner runner(instance);
    CTavelinApp app;
    app.SetNetwork(network, CreateLinkTransport);
    app.InitInstance(runner);
    // 1 when it did not start: another Tavelin publishes into the block.
    return app.ExitCode();
}

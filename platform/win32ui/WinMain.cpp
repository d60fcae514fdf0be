// tavelin.exe: the program. The application object runs the main window as a
// native dialog for the whole run; a log-off or a polite close from outside
// arrives at that window as a message and leaves it the way OK does.
#include "app/TavelinApp.h"
#include "platform/win32ui/Win32DialogRunner.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/)
{
    Win32DialogRunner runner(instance);
    CTavelinApp app;
    app.InitInstance(runner);
    // 1 when it did not start: another Tavelin publishes into the block.
    return app.ExitCode();
}

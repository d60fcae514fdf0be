// CTavelinApp: the application object. It runs the main window modally for
// the whole run; the renderer that shows it is handed in by the program.
// One Tavelin publishes into a block: a second one on the same block name
// says so and does not start.
#pragma once

class DialogRunner;

class CTavelinApp {
public:
    CTavelinApp() = default;

    // Constructs the main window, runs it until it ends and destroys it.
    // Returns false, so that the application ends (the modal result is not used).
    bool InitInstance(DialogRunner& runner);
    // The program's exit status: 0, or 1 when it refused to start.
    int ExitCode() const { return m_exitCode; }

private:
    int m_exitCode = 0;
};

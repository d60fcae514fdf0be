// CTavelinApp: the application object. It runs the main window modally for
// the whole run; the renderer that shows it is handed in by the program.
#pragma once

class DialogRunner;

class CTavelinApp {
public:
    CTavelinApp() = default;

    // Constructs the main window, runs it until it ends and destroys it.
    // Returns false, so that the application ends (the modal result is not used).
    bool InitInstance(DialogRunner& runner);
};

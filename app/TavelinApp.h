// CTavelinApp: the application object. It runs the main window modally for
// the whole run; the renderer that shows it is handed in by the program.
// One Tavelin publishes into a block: a second one on the same block name
// says so and does not start.
#pragma once

#include "net/NetworkLink.h"
#include "net/NetworkSettings.h"

class DialogRunner;

class CTavelinApp {
public:
    CTavelinApp() = default;

    // The command line's network options and the engine the link is to use
    // (the platform's; null: the one this build has), before InitInstance.
    void SetNetwork(const NetworkOverrides& overrides, NetworkLink::TransportFactory factory)
    {
        m_networkOverrides = overrides;
        m_networkFactory = std::move(factory);
    }

    // Constructs the main window, runs it until it ends and destroys it.
    // Returns false, so that the application ends (the modal result is not used).
    bool InitInstance(DialogRunner& runner);
    // The program's exit status: 0, or 1 when it refused to start.
    int ExitCode() const { return m_exitCode; }

private:
    int m_exitCode = 0;
    NetworkOverrides m_networkOverrides;
    NetworkLink::TransportFactory m_networkFactory;
};

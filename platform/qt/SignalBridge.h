// Turns SIGTERM and SIGINT into a call on the GUI thread: the handler only
// writes a byte into a pipe, a socket notifier reads it in the event loop.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

class SignalBridge {
public:
    // Installs the handlers; `onSignal` runs in the event loop, once per signal.
    explicit SignalBridge(std::function<void(int signal)> onSignal);
    ~SignalBridge();
    SignalBridge(const SignalBridge&) = delete;
    SignalBridge& operator=(const SignalBridge&) = delete;

    bool Installed() const { return m_installed; }

private:
    std::function<void(int)> m_onSignal;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_installed = false;
};

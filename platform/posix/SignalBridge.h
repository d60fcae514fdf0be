// Linux close requests: SIGTERM, SIGINT and SIGHUP become a byte in a pipe
// that the event loop watches, and the process-wide close note. The handler
// does nothing but that.
#pragma once

#include "support/CloseRequest.h"

class SignalBridge final : public CloseRequestSource {
public:
    SignalBridge();
    ~SignalBridge() override;
    SignalBridge(const SignalBridge&) = delete;
    SignalBridge& operator=(const SignalBridge&) = delete;

    bool Installed() const override { return m_installed; }
    int Descriptor() const override;
    bool TakeRequests() override;

private:
    bool m_installed = false;
};

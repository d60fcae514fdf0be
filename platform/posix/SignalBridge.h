// Linux close requests: SIGTERM and SIGINT become a byte in a pipe that the
// event loop watches. The handler does nothing but that write.
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

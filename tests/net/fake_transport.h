// A network engine for the link's tests: it keeps what was written (in fixed
// room, so writing allocates nothing) and lets the test play what arrives.
#pragma once

#include "net/LinkTransport.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class FakeTransport : public LinkTransport {
public:
    // Where the last Controls sample is left when the transport is closed.
    ControlsMessage* farewell = nullptr;
    ~FakeTransport() override
    {
        if (farewell != nullptr) {
            *farewell = m_lastControls;
        }
    }

    bool WriteControls(const ControlsMessage& message) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastControls = message;
        ++m_controlsWritten;
        return true;
    }
    bool WriteSetUp(const SetUpMessage& message) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastSetUp = message;
        ++m_setUpsWritten;
        return true;
    }
    bool WriteFlags(const FlagsMessage& message) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastFlags = message;
        ++m_flagsWritten;
        return true;
    }

    ControlsMessage LastControls() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lastControls;
    }
    SetUpMessage LastSetUp() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lastSetUp;
    }
    FlagsMessage LastFlags() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_lastFlags;
    }
    int ControlsWritten() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_controlsWritten;
    }
    int SetUpsWritten() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_setUpsWritten;
    }
    int FlagsWritten() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_flagsWritten;
    }

private:
    mutable std::mutex m_mutex;
    ControlsMessage m_lastControls;
    SetUpMessage m_lastSetUp;
    FlagsMessage m_lastFlags;
    int m_controlsWritten = 0;
    int m_setUpsWritten = 0;
    int m_flagsWritten = 0;
};

// The factory the link and the receiver are given: it makes one FakeTransport
// and remembers it and the handler, so the test can play the other side.
struct FakeEngine {
    FakeTransport* transport = nullptr;
    LinkHandler* handler = nullptr;
    TransportConfig config;
    std::string refusal; // non-empty: creating fails with it
    ControlsMessage lastControls; // the last sample written before the transport closed

    auto Factory()
    {
        return [this](const TransportConfig& given, LinkHandler& linkHandler,
                   std::string& error) -> std::unique_ptr<LinkTransport> {
            if (!refusal.empty()) {
                error = refusal;
                return nullptr;
            }
            auto made = std::make_unique<FakeTransport>();
            transport = made.get();
            made->farewell = &lastControls;
            handler = &linkHandler;
            config = given;
            return made;
        };
    }
};

// A clock the test moves.
struct FakeClock {
    static inline std::atomic<std::int64_t> now { 1'000'000'000 };
    static std::int64_t Now() { return now.load(); }
    static void Advance(std::int64_t nanoseconds) { now.fetch_add(nanoseconds); }
};

// The seam between the link's logic (net/) and the network engine (Eclipse
// Cyclone DDS in platform/cyclonedds). The engine owns its threads: what
// arrives is handed to a LinkHandler on one of them, at once. Builds without
// the engine (the Windows cross build) have CreateLinkTransport fail with a
// text saying so.
#pragma once

#include "net/LinkMessages.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class LinkRole { Sender, Receiver };

// Called on the engine's threads, never on the caller's; calls for one kind
// of message never overlap.
class LinkHandler {
public:
    virtual ~LinkHandler() = default;
    // writer: which sending program it came from (the same for all of its samples).
    virtual void OnControls(const ControlsMessage& message, std::uint64_t writer)
    {
        (void)message;
        (void)writer;
    }
    virtual void OnSetUp(const SetUpMessage& message) { (void)message; }
    virtual void OnFlags(const FlagsMessage& message) { (void)message; }
    // The senders' writers of Controls that are alive (each write asserts it;
    // the lease is 100 ms), after it changed.
    virtual void OnSendersAlive(int count) { (void)count; }
    // A computer on the domain has been heard for a while but takes no part in
    // the link: its keys do not fit (another cockpit's, or keys on one side
    // only) or it is another program. Once per such computer.
    virtual void OnPeerNotLetIn(const char* who) { (void)who; }
    // What the engine reports of its own (handshakes that failed, unusable
    // peers): one line, without its line end.
    virtual void OnEngineText(const char* line) { (void)line; }
};

struct TransportConfig {
    LinkRole role = LinkRole::Sender;
    int domain = 0;
    std::string engineConfiguration; // the engine's own configuration text (net/EngineConfiguration.h)
    std::vector<std::string> peers; // resolved first, so a bad name fails with its name
    bool secured = false;
};

class LinkTransport {
public:
    virtual ~LinkTransport() = default;
    // Never wait for the network: a sample that cannot go now is dropped (controls)
    // or kept for the next attempt by the engine (set-up, flags). False: it failed.
    virtual bool WriteControls(const ControlsMessage& message) = 0;
    virtual bool WriteSetUp(const SetUpMessage& message) = 0;
    virtual bool WriteFlags(const FlagsMessage& message) = 0;
};

// Whether this build has a network engine, and what the About box says of it.
bool NetworkEngineAvailable();
const char* NetworkEngineDescription();

// The endpoints of `config.role` on the domain; null with the reason in `error`.
// `handler` outlives the transport.
std::unique_ptr<LinkTransport> CreateLinkTransport(
    const TransportConfig& config, LinkHandler& handler, std::string& error);

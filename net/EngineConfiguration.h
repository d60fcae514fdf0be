// The network engine's configuration for the link, built in code from the
// settings (nothing is read from a file of the engine's own): the domain, the
// interface pin, the peers (and then no multicast), a short participant lease
// so a vanished computer is forgotten in seconds, no trace file, and with keys
// the three DDS Security plugins.
//
// TAVELIN_NET_LOOPBACK_ONLY=1 (the tests set it for every test) keeps the link
// off the machine's own network: outside a network namespace of its own (one
// that `ip netns` made, or that is not the first process's) the engine is pinned to the loopback
// interface, and another interface or a peer that is no loopback address is
// refused; inside one the settings stand as given.
#pragma once

#include "net/KeySet.h"
#include "net/NetworkSettings.h"

#include <string>

namespace EngineConfiguration {

// Cyclone DDS's XML for the domain. `keys`: the role's files, or null for none.
std::string Text(const NetworkSettings& settings, const KeySet::Files* keys);

// Whether TAVELIN_NET_LOOPBACK_ONLY is set (to anything but "" and "0").
bool LoopbackOnly();
// Whether this process runs in a network namespace of its own: one that
// `ip netns` made (named in /run/netns), or another than the first process's.
bool InNetworkNamespaceOfItsOwn();
// The guard above, applied to the settings an engine is about to start with:
// false with the reason when it refuses them.
bool Confine(NetworkSettings& settings, std::string& error);

// The text with &, <, >, " and ' written as XML entities.
std::string Escaped(const std::string& text);

} // namespace EngineConfiguration

// The network engine's configuration for the link, built in code from the
// settings (nothing is read from the environment or a file of the engine's
// own): the domain, the interface pin, the peers (and then no multicast), a
// short participant lease so a vanished computer is forgotten in seconds, no
// trace file, and with keys the three DDS Security plugins.
#pragma once

#include "net/KeySet.h"
#include "net/NetworkSettings.h"

#include <string>

namespace EngineConfiguration {

// Cyclone DDS's XML for the domain. `keys`: the role's files, or null for none.
std::string Text(const NetworkSettings& settings, const KeySet::Files* keys);

// The text with &, <, >, " and ' written as XML entities.
std::string Escaped(const std::string& text);

} // namespace EngineConfiguration

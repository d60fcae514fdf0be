// Builds without a network engine (Cyclone DDS was not found, as in the
// Windows cross build): the link says so and never starts.
#include "net/KeySet.h"
#include "net/LinkTransport.h"

namespace {

constexpr const char* kNone = "this build has no network link (it was built without Eclipse Cyclone DDS)";

} // namespace

bool NetworkEngineAvailable()
{
    return false;
}

const char* NetworkEngineDescription()
{
    return "network link: not in this build (no Eclipse Cyclone DDS)";
}

std::unique_ptr<LinkTransport> CreateLinkTransport(const TransportConfig&, LinkHandler&, std::string& error)
{
    error = kNone;
    return nullptr;
}

namespace KeySet {

bool Make(const std::string&, std::string& error)
{
    error = kNone;
    return false;
}

bool Make(const std::string&, const MakeOptions&, std::string& error)
{
    error = kNone;
    return false;
}

std::vector<std::string> Check(const std::string& folder, std::optional<LinkRole>)
{
    return { folder + ": " + kNone };
}

} // namespace KeySet

// Where the key set's files are: the same on every build.
#include "net/KeySet.h"

#include <filesystem>

namespace KeySet {

const char* IdentityName(LinkRole role)
{
    return role == LinkRole::Sender ? "sender" : "receiver";
}

Files FilesOf(const std::string& folder, LinkRole role)
{
    namespace fs = std::filesystem;
    const fs::path base(folder);
    const fs::path identity = base / IdentityName(role);
    return { (base / "ca.pem").string(), (base / "ca-key.pem").string(), (base / "governance.p7s").string(),
        (base / "permissions.p7s").string(), (identity / "cert.pem").string(), (identity / "key.pem").string() };
}

} // namespace KeySet

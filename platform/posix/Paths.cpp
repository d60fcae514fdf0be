// Linux folders: the program's folder from /proc/self/exe; configuration
// files under $XDG_CONFIG_HOME/Orrelane/Shared (default ~/.config/Orrelane/Shared).
#include "support/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Paths {

std::string ProgramFileName()
{
    char buffer[PATH_MAX + 1];
    const ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (length <= 0) {
        return {};
    }
    return std::string(buffer, static_cast<std::size_t>(length));
}

std::string ProgramFolder()
{
    const std::string file = ProgramFileName();
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : file.substr(0, slash);
}

std::string ConfigurationFolder()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') {
            const passwd* entry = getpwuid(getuid());
            home = entry != nullptr ? entry->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.config";
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base + "/Orrelane/Shared";
}

char Separator()
{
    return '/';
}

bool CreateFolders(const std::string& folder)
{
    if (folder.empty()) {
        return false;
    }
    for (std::size_t i = 1; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '/') {
            const std::string part = folder.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
                return false;
            }
        }
    }
    struct stat info { };
    return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::FILE* CreateNewFile(const std::string& path, std::string& reason)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        reason = std::strerror(errno);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        reason = std::strerror(errno);
        close(fd);
        unlink(path.c_str());
    }
    return file;
}

std::string ResolveLinks(const std::string& path)
{
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat info { };
        if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return current;
        }
        char buffer[PATH_MAX + 1];
        const ssize_t length = readlink(current.c_str(), buffer, PATH_MAX);
        if (length <= 0) {
            return current;
        }
        std::string next(buffer, static_cast<std::size_t>(length));
        if (next[0] != '/') {
            const std::size_t slash = current.rfind('/');
            if (slash != std::string::npos) {
                next = current.substr(0, slash + 1) + next;
            }
        }
        current = next;
    }
    return current; // a loop: the open that follows reports it
}

namespace {

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

bool ReplaceExistingFile(const std::string& from, const std::string& to, std::string& reason)
{
    const int fd = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    struct stat old { };
    bool ok = true;
    if (stat(to.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        // Only an administrator can give the file back to its owner (a save
        // under sudo); for anyone else the owner is the saver already.
        if (old.st_uid != geteuid() || old.st_gid != getegid()) {
            [[maybe_unused]] const int ignored = fchown(fd, old.st_uid, old.st_gid);
        }
        if (fchmod(fd, old.st_mode & 07777) != 0) {
            reason = std::strerror(errno);
            ok = false;
        }
    }
    if (ok && fsync(fd) != 0) {
        reason = std::strerror(errno);
        ok = false;
    }
    close(fd);
    // rename() replaces the target atomically on POSIX file systems.
    if (ok && std::rename(from.c_str(), to.c_str()) != 0) {
        reason = std::strerror(errno);
        ok = false;
    }
    if (!ok) {
        return false;
    }
    // The new name itself is only durable once the folder is.
    const int folder = open(FolderOf(to).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return true;
}

std::string DemoJoystickFile()
{
    const std::string installed = ProgramFolder() + "/../share/tavelin/virtual-joysticks.ini";
    std::string candidates[] = {
        installed,
#ifdef TAVELIN_EXAMPLES_DIR
        std::string(TAVELIN_EXAMPLES_DIR) + "/virtual-joysticks.ini",
#endif
    };
    for (std::string& candidate : candidates) {
        struct stat status { };
        if (stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
            char resolved[PATH_MAX];
            return realpath(candidate.c_str(), resolved) != nullptr ? std::string(resolved) : candidate;
        }
    }
    return {};
}

const char* NativeLineEnd()
{
    return "\n";
}

} // namespace Paths

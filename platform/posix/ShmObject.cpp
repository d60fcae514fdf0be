#include "platform/posix/ShmObject.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr mode_t kOwnOnly = 0600;

std::string UserName(uid_t uid)
{
    std::vector<char> buffer(4096);
    struct passwd entry { };
    struct passwd* found = nullptr;
    std::string text;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr
        && found->pw_name != nullptr) {
        text = std::string(found->pw_name) + " ";
    }
    return text + "(uid " + std::to_string(uid) + ")";
}

bool Trusted(const struct stat& status)
{
    return status.st_uid == geteuid() && (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string Refusal(const std::string& object, const struct stat& status)
{
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
    return ShmObject::Path(object) + " belongs to " + UserName(status.st_uid) + " with mode " + mode
        + ": refused, only objects of " + UserName(geteuid()) + " that nobody else may write are used";
}

} // namespace

namespace ShmObject {

std::string Path(const std::string& object)
{
    return "/dev/shm" + object;
}

Opened Open(const std::string& object, bool create)
{
    Opened opened;
    // A name removed between the two opens is simply tried again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (create) {
            const int fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL, kOwnOnly);
            if (fd >= 0) {
                // The umask may have taken bits away (or the creator's mode is
                // not what we want): set exactly 0600.
                if (fchmod(fd, kOwnOnly) != 0) {
                    opened.error = errno;
                    close(fd);
                    shm_unlink(object.c_str());
                    return opened;
                }
                opened.fd = fd;
                opened.created = true;
                return opened;
            }
            if (errno != EEXIST) {
                opened.error = errno;
                return opened;
            }
        }
        const int fd = shm_open(object.c_str(), O_RDWR, 0);
        if (fd < 0) {
            opened.error = errno;
            if (opened.error == ENOENT && create) {
                continue;
            }
            struct stat status { };
            if ((opened.error == EACCES || opened.error == EPERM) && stat(Path(object).c_str(), &status) == 0
                && !Trusted(status)) {
                opened.refusal = Refusal(object, status);
            }
            return opened;
        }
        struct stat status { };
        if (fstat(fd, &status) != 0) {
            opened.error = errno;
            close(fd);
            return opened;
        }
        if (!Trusted(status)) {
            opened.refusal = Refusal(object, status);
            close(fd);
            return opened;
        }
        opened.fd = fd;
        return opened;
    }
    return opened;
}

} // namespace ShmObject

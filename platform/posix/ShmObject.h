// The POSIX shared memory objects of this user (/dev/shm/<name>): opened, or
// created with mode 0600 whatever the umask, and trusted only when they belong
// to this user and nobody else may write them. Shared by the block, its lock
// and the publisher lock.
#pragma once

#include <string>

namespace ShmObject {

// "/dev/shm/<name>" for an object name "/<name>", as people find it.
std::string Path(const std::string& object);

struct Opened {
    int fd = -1;
    bool created = false;
    int error = 0; // errno of a failing call
    std::string refusal; // set instead when the object is not this user's own
};

// Opens the object for reading and writing; with create, makes it (exclusively,
// 0600 set with fchmod) when it does not exist.
Opened Open(const std::string& object, bool create);

} // namespace ShmObject

// BaseSharedMemory on Linux: POSIX shared memory objects ("/" + the mapping
// name, i.e. /dev/shm/<name>) mapped with mmap.
// - Creation is exclusive (O_EXCL); the size is set with ftruncate.
// - The object's size is checked with fstat before mmap, so a mapping smaller
//   than the block is refused with a text and never touched (no SIGBUS).
// - Attach and detach are serialised by flock on a companion object
//   "/<name>.lock". The last detacher unlinks both names while holding the
//   lock; a waiter that then gets the lock sees its object unlinked
//   (st_nlink 0) and starts over on a fresh one, so removing it is race-free.
// - Error codes are errno values and the system texts come from strerror_r.
#include "mapping/BaseSharedMemory.h"

#include "support/TextFunctions.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kTextSize = 1024;
constexpr mode_t kObjectMode = 0666; // the simulator may run under another account; umask still applies

std::string ObjectName(const char* name)
{
    return std::string("/") + name;
}

std::string LockName(const char* name)
{
    return std::string("/") + name + ".lock";
}

int ToDescriptor(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

} // namespace

bool BaseSharedMemory::CreateMapping(std::uint32_t size)
{
    m_alreadyExists = false;
    const std::string object = ObjectName(m_name);
    const int fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL, kObjectMode);
    if (fd < 0) {
        const int error = errno;
        m_alreadyExists = error == EEXIST;
        Fail("Creating Shared memory", static_cast<unsigned long>(error));
        return false;
    }
    int result;
    do {
        result = ftruncate(fd, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int error = errno;
        // A zero-sized object left behind would be refused by every later attacher.
        close(fd);
        shm_unlink(object.c_str());
        Fail("Creating Shared memory", static_cast<unsigned long>(error));
        return false;
    }
    // Like the paging-file mapping on Windows, the object outlives this descriptor.
    close(fd);
    return true;
}

bool BaseSharedMemory::OpenMapping()
{
    m_nameMissing = false;
    const std::string object = ObjectName(m_name);
    const int fd = shm_open(object.c_str(), O_RDWR, 0);
    if (fd < 0) {
        const int error = errno;
        m_nameMissing = error == ENOENT;
        Fail("OpenFileMapping", static_cast<unsigned long>(error));
        return false;
    }
    m_handle = fd;
    return true;
}

bool BaseSharedMemory::MapView()
{
    m_sizeRefused = false;
    if (m_handle < 0) {
        Fail("MapViewOfFile", EBADF);
        return false;
    }
    struct stat status {};
    if (fstat(ToDescriptor(m_handle), &status) != 0) {
        Fail("MapViewOfFile", static_cast<unsigned long>(errno));
        return false;
    }
    const auto actual = static_cast<unsigned long long>(status.st_size < 0 ? 0 : status.st_size);
    if (actual < m_size || actual == 0) {
        m_sizeRefused = true;
        m_lastError = 0;
        char text[kTextSize];
        FormatBounded(text, kTextSize, "Shared memory \"%s\" has %llu bytes, fewer than the %lu bytes of the block",
            m_name, actual, static_cast<unsigned long>(m_size));
        SetErrorText(text);
        return false;
    }
    void* view = mmap(nullptr, static_cast<std::size_t>(actual), PROT_READ | PROT_WRITE, MAP_SHARED,
        ToDescriptor(m_handle), 0);
    if (view == MAP_FAILED) {
        Fail("MapViewOfFile", static_cast<unsigned long>(errno));
        return false;
    }
    m_view = view;
    m_viewLength = static_cast<std::size_t>(actual);
    return true;
}

void BaseSharedMemory::UnmapAndClose()
{
    if (m_view != nullptr) {
        munmap(m_view, m_viewLength);
        m_view = nullptr;
        m_viewLength = 0;
    }
    if (m_handle >= 0) {
        close(ToDescriptor(m_handle));
        m_handle = -1;
    }
}

bool BaseSharedMemory::LockAttach()
{
    if (m_lockHandle >= 0) {
        return true;
    }
    const std::string lock = LockName(m_name);
    for (;;) {
        // flock needs no write access, so a lock object made by another account still serves.
        const int fd = shm_open(lock.c_str(), O_RDONLY | O_CREAT, kObjectMode);
        if (fd < 0) {
            Fail("Attach lock", static_cast<unsigned long>(errno));
            return false;
        }
        int result;
        do {
            result = flock(fd, LOCK_EX);
        } while (result != 0 && errno == EINTR);
        struct stat status {};
        if (result != 0 || fstat(fd, &status) != 0) {
            const int error = errno;
            close(fd);
            Fail("Attach lock", static_cast<unsigned long>(error));
            return false;
        }
        if (status.st_nlink > 0) {
            m_lockHandle = fd;
            return true;
        }
        // The last user removed this lock object while we waited for it: take the new one.
        close(fd);
    }
}

void BaseSharedMemory::UnlockAttach()
{
    if (m_lockHandle < 0) {
        return;
    }
    if (m_removeLockName) {
        shm_unlink(LockName(m_name).c_str());
        m_removeLockName = false;
    }
    flock(ToDescriptor(m_lockHandle), LOCK_UN);
    close(ToDescriptor(m_lockHandle));
    m_lockHandle = -1;
}

void BaseSharedMemory::RemoveName()
{
    shm_unlink(ObjectName(m_name).c_str());
    RemoveLockName();
}

void BaseSharedMemory::RemoveLockName()
{
    // Only while holding the lock is it safe to let the lock object go.
    if (m_lockHandle >= 0) {
        m_removeLockName = true;
    }
}

void BaseSharedMemory::SystemErrorText(unsigned long code, char* out, std::size_t outSize)
{
    if (out == nullptr || outSize == 0) {
        return;
    }
    char buffer[256] = {};
    // glibc's strerror_r returns the text, which need not be in buffer.
    const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    CopyBounded(out, text == nullptr ? "" : text, static_cast<int>(outSize < INT_MAX ? outSize : INT_MAX));
}

// BaseSharedMemory on Linux: POSIX shared memory objects ("/" + the mapping
// name, i.e. /dev/shm/<name>) mapped with mmap.
// - Creation is exclusive (O_EXCL), with mode 0600 set by fchmod (the umask
//   plays no part); the size is set with ftruncate.
// - Before use, fstat: an object of another user, or one that group or others
//   may write, is refused with a text naming it, its owner and its mode, and
//   never mapped or written.
// - The object's size is checked with fstat before mmap, so a mapping smaller
//   than the block is refused with a text and never touched (no SIGBUS); the
//   attacher may extend it instead (KQ_P_0001_02_Shm says when).
// - The lock object "/<name>.lock" (0600 too) carries two locks:
//   * attach and detach are serialised by an OFD write lock on its first byte,
//     taken with a bounded wait;
//   * every attachment holds a flock of its own open of it, shared, for as long
//     as it is attached; the kernel drops it with a killed process. Whoever
//     gets it exclusively at once (under the write lock) holds the block alone.
//   The flock and the byte lock do not meet. The last detacher unlinks both
//   names while holding the byte lock; a waiter that then gets the lock sees
//   its object unlinked (st_nlink 0) and starts over on a fresh one.
// - Every view is watched by the bus error guard (BlockGuard): a block that
//   another program shrinks under a view turns it into zero pages and marks it
//   broken instead of ending the program. A view can be parked (zero pages
//   over it) and mapped again at the same address, so that pointers into it
//   stay valid while its attachment attaches again.
// - Error codes are errno values and the system texts come from strerror_r.
#include "mapping/BaseSharedMemory.h"

#include "platform/posix/BlockGuard.h"
#include "platform/posix/ShmObject.h"
#include "support/CloseRequest.h"
#include "support/TextFunctions.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kTextSize = 1024;

enum Hold : std::uint8_t { NotHeld = 0, HeldShared = 1, HeldAlone = 2 };

using Clock = std::chrono::steady_clock;

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

// The attach lock: a write lock on the lock object's first byte, owned by the
// open file description, so two attachments of one process exclude each other too.
bool SetByteLock(int fd, short type)
{
    struct flock range { };
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 1;
    return fcntl(fd, F_OFD_SETLK, &range) == 0;
}

// Short pauses first: the lock is normally held for microseconds.
void Pause(int round)
{
    if (round < 20) {
        std::this_thread::yield();
    } else {
        std::this_thread::sleep_for(std::chrono::microseconds(round < 40 ? 200 : (round < 80 ? 1000 : 5000)));
    }
}

} // namespace

bool BaseSharedMemory::CreateMapping(std::uint32_t size)
{
    m_alreadyExists = false;
    const std::string object = ObjectName(m_name);
    const int fd = shm_open(object.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        const int error = errno;
        m_alreadyExists = error == EEXIST;
        Fail("Creating Shared memory", static_cast<unsigned long>(error));
        return false;
    }
    int result = fchmod(fd, 0600); // exactly this user's, whatever the umask left
    if (result == 0) {
        do {
            result = ftruncate(fd, static_cast<off_t>(size));
        } while (result != 0 && errno == EINTR);
    }
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
    const ShmObject::Opened opened = ShmObject::Open(ObjectName(m_name), false);
    if (opened.fd < 0) {
        if (!opened.refusal.empty()) {
            Explain(opened.refusal.c_str());
            return false;
        }
        m_nameMissing = opened.error == ENOENT;
        Fail("OpenFileMapping", static_cast<unsigned long>(opened.error));
        return false;
    }
    m_handle = opened.fd;
    return true;
}

bool BaseSharedMemory::MapView()
{
    m_sizeRefused = false;
    m_grew = false;
    if (m_handle < 0) {
        Fail("MapViewOfFile", EBADF);
        return false;
    }
    struct stat status { };
    if (fstat(ToDescriptor(m_handle), &status) != 0) {
        Fail("MapViewOfFile", static_cast<unsigned long>(errno));
        return false;
    }
    auto actual = static_cast<unsigned long long>(status.st_size < 0 ? 0 : status.st_size);
    if (actual < m_size && m_growShort && m_size > 0) {
        int result;
        do {
            result = ftruncate(ToDescriptor(m_handle), static_cast<off_t>(m_size));
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            Fail("MapViewOfFile", static_cast<unsigned long>(errno));
            return false;
        }
        actual = m_size;
        m_grew = true;
    }
    if (actual < m_size || actual == 0) {
        m_sizeRefused = true;
        char text[kTextSize];
        FormatBounded(text, kTextSize, "Shared memory \"%s\" has %llu bytes, fewer than the %lu bytes of the block",
            m_name, actual, static_cast<unsigned long>(m_size));
        Explain(text);
        return false;
    }
    const int fd = ToDescriptor(m_handle);
    if (m_parked) {
        // Where the last view was: never more than that place, the rest stays zero pages.
        const std::size_t length = actual < m_viewLength ? static_cast<std::size_t>(actual) : m_viewLength;
        if (mmap(m_view, length, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, fd, 0) == MAP_FAILED) {
            Fail("MapViewOfFile", static_cast<unsigned long>(errno));
            return false;
        }
        m_parked = false;
        BlockGuard::Renew(m_guardSlot, fd);
        return true;
    }
    void* view = mmap(nullptr, static_cast<std::size_t>(actual), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        Fail("MapViewOfFile", static_cast<unsigned long>(errno));
        return false;
    }
    m_view = view;
    m_viewLength = static_cast<std::size_t>(actual);
    m_guardSlot = BlockGuard::Watch(m_view, m_viewLength, fd);
    return true;
}

void BaseSharedMemory::UnmapAndClose()
{
    if (m_view != nullptr) {
        BlockGuard::Forget(m_guardSlot);
        m_guardSlot = -1;
        munmap(m_view, m_viewLength);
        m_view = nullptr;
        m_viewLength = 0;
        m_parked = false;
    }
    if (m_handle >= 0) {
        close(ToDescriptor(m_handle));
        m_handle = -1;
    }
}

void BaseSharedMemory::ParkView()
{
    if (m_view != nullptr && !m_parked) {
        if (mmap(m_view, m_viewLength, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0)
            == MAP_FAILED) {
            BlockGuard::Forget(m_guardSlot);
            m_guardSlot = -1;
            munmap(m_view, m_viewLength);
            m_view = nullptr;
            m_viewLength = 0;
        } else {
            m_parked = true;
            BlockGuard::Renew(m_guardSlot, -1);
        }
    }
    if (m_handle >= 0) {
        close(ToDescriptor(m_handle));
        m_handle = -1;
    }
}

void BaseSharedMemory::GuardCallingThread()
{
    BlockGuard::CoverCallingThread();
}

bool BaseSharedMemory::ViewBroken() const
{
    return m_view != nullptr && !m_parked && BlockGuard::Broken(m_guardSlot);
}

namespace {

// The object open as `fd` has lost its last name, or /dev/shm/<name><suffix>
// is another object. Asked while publishing: nothing is allocated.
bool NoLongerNamed(int fd, const char* name, const char* suffix)
{
    struct stat own { };
    if (fd < 0 || fstat(fd, &own) != 0) {
        return false;
    }
    if (own.st_nlink == 0) {
        return true;
    }
    char path[512];
    FormatBounded(path, static_cast<int>(sizeof path), "/dev/shm/%s%s", name, suffix);
    struct stat named { };
    if (stat(path, &named) != 0) {
        return errno == ENOENT;
    }
    return named.st_dev != own.st_dev || named.st_ino != own.st_ino;
}

} // namespace

bool BaseSharedMemory::MappingNameLost() const
{
    return !m_parked && NoLongerNamed(ToDescriptor(m_handle), m_name, "");
}

bool BaseSharedMemory::ReadFront(void* out, std::size_t length) const
{
    if (m_handle < 0) {
        return false;
    }
    ssize_t got;
    do {
        got = pread(ToDescriptor(m_handle), out, length, 0);
    } while (got < 0 && errno == EINTR);
    return got == static_cast<ssize_t>(length);
}

bool BaseSharedMemory::MappingNameExists() const
{
    char path[512];
    FormatBounded(path, static_cast<int>(sizeof path), "/dev/shm/%s", m_name);
    struct stat named { };
    return stat(path, &named) == 0;
}

bool BaseSharedMemory::LockNameLost() const
{
    // Nobody of ours removes it while it is held: only the last holder does.
    return m_hold != NotHeld && NoLongerNamed(ToDescriptor(m_lockHandle), m_name, ".lock");
}

void BaseSharedMemory::ReleaseView(bool /*lastUser*/)
{
    // The hold, not the view, tells the others that this attachment is still there.
    UnmapAndClose();
}

bool BaseSharedMemory::LockAttach(int waitMs, bool closeEndsWait)
{
    if (m_lockHeld) {
        return true;
    }
    const std::string lock = LockName(m_name);
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (int round = 0;; ++round) {
        if (m_lockHandle < 0) {
            const ShmObject::Opened opened = ShmObject::Open(lock, true);
            if (opened.fd < 0) {
                if (!opened.refusal.empty()) {
                    Explain(opened.refusal.c_str());
                } else {
                    Fail("Attach lock", static_cast<unsigned long>(opened.error));
                }
                return false;
            }
            m_lockHandle = opened.fd;
        }
        const int fd = ToDescriptor(m_lockHandle);
        if (SetByteLock(fd, F_WRLCK)) {
            struct stat status { };
            if (fstat(fd, &status) != 0) {
                const int error = errno;
                SetByteLock(fd, F_UNLCK);
                Fail("Attach lock", static_cast<unsigned long>(error));
                return false;
            }
            if (status.st_nlink > 0 || m_hold != NotHeld) {
                m_lockHeld = true;
                return true;
            }
            // The last user removed this lock object while we waited for it: take the new one.
            close(fd);
            m_lockHandle = -1;
            continue;
        }
        const int error = errno;
        if (error != EAGAIN && error != EACCES && error != EINTR) {
            Fail("Attach lock", static_cast<unsigned long>(error));
            return false;
        }
        char text[kTextSize];
        if (closeEndsWait && CloseRequest::Noted()) {
            FormatBounded(text, kTextSize, "Shared memory \"%s\" not attached: the program is closing", m_name);
            Explain(text);
            return false;
        }
        if (Clock::now() >= deadline) {
            FormatBounded(text, kTextSize, "The lock %s of the shared memory stayed held by another process for %d ms",
                ShmObject::Path(lock).c_str(), waitMs);
            Explain(text);
            return false;
        }
        Pause(round);
    }
}

void BaseSharedMemory::UnlockAttach()
{
    if (!m_lockHeld) {
        return;
    }
    const int fd = ToDescriptor(m_lockHandle);
    if (m_removeLockName) {
        shm_unlink(LockName(m_name).c_str());
        m_removeLockName = false;
    }
    SetByteLock(fd, F_UNLCK);
    m_lockHeld = false;
    if (m_hold == NotHeld) {
        close(fd);
        m_lockHandle = -1;
    }
}

bool BaseSharedMemory::HoldAlone()
{
    if (m_lockHandle < 0) {
        return false;
    }
    if (flock(ToDescriptor(m_lockHandle), LOCK_EX | LOCK_NB) == 0) {
        m_hold = HeldAlone;
        return true;
    }
    // A conversion that fails has let go of a shared hold as well.
    m_hold = NotHeld;
    return false;
}

bool BaseSharedMemory::HoldShared(int waitMs)
{
    if (m_lockHandle < 0) {
        Fail("Attach lock", EBADF);
        return false;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (int round = 0;; ++round) {
        if (flock(ToDescriptor(m_lockHandle), LOCK_SH | LOCK_NB) == 0) {
            m_hold = HeldShared;
            return true;
        }
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            Fail("Attach lock", static_cast<unsigned long>(error));
            return false;
        }
        // Only a program that ignores the attach lock holds it exclusively for longer than an instant.
        if (Clock::now() >= deadline || CloseRequest::Noted()) {
            char text[kTextSize];
            FormatBounded(text, kTextSize, "The lock %s of the shared memory stayed held by another process for %d ms",
                ShmObject::Path(LockName(m_name)).c_str(), waitMs);
            Explain(text);
            return false;
        }
        Pause(round);
    }
}

void BaseSharedMemory::ReleaseHold()
{
    if (m_lockHandle < 0) {
        m_hold = NotHeld;
        return;
    }
    if (m_hold != NotHeld) {
        flock(ToDescriptor(m_lockHandle), LOCK_UN);
        m_hold = NotHeld;
    }
    if (!m_lockHeld) {
        close(ToDescriptor(m_lockHandle));
        m_lockHandle = -1;
    }
}

void BaseSharedMemory::RemoveName()
{
    shm_unlink(ObjectName(m_name).c_str());
    RemoveLockName();
}

void BaseSharedMemory::RemoveLockName()
{
    // Only while holding the lock is it safe to let the lock object go.
    if (m_lockHeld) {
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

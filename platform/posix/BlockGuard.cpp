// The SIGBUS handler and its table of watched views. The table is written by
// the program's threads (a slot is claimed with a compare-and-swap, filled,
// then published) and only read by the handler. mmap is not on POSIX's list
// of async-signal-safe calls, but on Linux it is a plain system call, and
// mapping zero pages over a shrunk pool from the handler is what display
// servers have long done for their clients' shared-memory buffers.
#include "platform/posix/BlockGuard.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>

namespace {

constexpr int kSlots = 64;

enum SlotState : int { Free = 0, Filling = 1, InUse = 2 };

struct Slot {
    std::atomic<int> state { Free };
    std::atomic<std::uintptr_t> start { 0 };
    std::atomic<std::size_t> length { 0 };
    // The object behind the view; 0 for private zero pages.
    std::atomic<std::uint64_t> device { 0 };
    std::atomic<std::uint64_t> inode { 0 };
    std::atomic<bool> broken { false };
};

static_assert(std::atomic<std::uint64_t>::is_always_lock_free && std::atomic<std::uintptr_t>::is_always_lock_free,
    "the handler reads the table without locks");

Slot g_slots[kSlots];
struct sigaction g_previous = {};
std::once_flag g_install;

bool Valid(int slot)
{
    return slot >= 0 && slot < kSlots;
}

void Identify(Slot& slot, int fd)
{
    struct stat status { };
    const bool known = fd >= 0 && fstat(fd, &status) == 0;
    slot.device.store(known ? static_cast<std::uint64_t>(status.st_dev) : 0, std::memory_order_relaxed);
    slot.inode.store(known ? static_cast<std::uint64_t>(status.st_ino) : 0, std::memory_order_relaxed);
}

bool Mapped(const Slot& slot)
{
    return slot.state.load(std::memory_order_acquire) == InUse;
}

// Zero pages over every watched view of the object whose view holds `address`.
bool Mend(std::uintptr_t address)
{
    int hit = -1;
    for (int i = 0; i < kSlots && hit < 0; ++i) {
        const Slot& slot = g_slots[i];
        const std::uintptr_t start = slot.start.load(std::memory_order_relaxed);
        if (Mapped(slot) && address >= start && address - start < slot.length.load(std::memory_order_relaxed)) {
            hit = i;
        }
    }
    if (hit < 0) {
        return false;
    }
    const std::uint64_t device = g_slots[hit].device.load(std::memory_order_relaxed);
    const std::uint64_t inode = g_slots[hit].inode.load(std::memory_order_relaxed);
    bool mended = false;
    for (int i = 0; i < kSlots; ++i) {
        Slot& slot = g_slots[i];
        const bool sameObject = inode != 0 && slot.inode.load(std::memory_order_relaxed) == inode
            && slot.device.load(std::memory_order_relaxed) == device;
        if (!Mapped(slot) || (i != hit && !sameObject)) {
            continue;
        }
        void* start = reinterpret_cast<void*>(slot.start.load(std::memory_order_relaxed));
        const std::size_t length = slot.length.load(std::memory_order_relaxed);
        if (mmap(start, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
            slot.broken.store(true, std::memory_order_release);
            mended = mended || i == hit;
        }
    }
    return mended;
}

// Not ours: whoever handled it before us does, else the default action ends
// the program (raised again, so a sent signal ends it as well as a fault).
void PassOn(int signal, siginfo_t* info, void* context)
{
    if ((g_previous.sa_flags & SA_SIGINFO) != 0) {
        if (g_previous.sa_sigaction != nullptr) {
            g_previous.sa_sigaction(signal, info, context);
            return;
        }
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN
        && g_previous.sa_handler != nullptr) {
        g_previous.sa_handler(signal);
        return;
    }
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

extern "C" void OnBusError(int signal, siginfo_t* info, void* context)
{
    const int saved = errno;
    // Only a fault the kernel raised names an address; a sent SIGBUS is never ours.
    const bool fault = info != nullptr && info->si_code > 0;
    if (fault && Mend(reinterpret_cast<std::uintptr_t>(info->si_addr))) {
        errno = saved;
        return; // the access is made again, on the zero pages
    }
    errno = saved;
    PassOn(signal, info, context);
}

void Install()
{
    // What was there first is read before ours goes in, so the handler never sees it half-written.
    sigaction(SIGBUS, nullptr, &g_previous);
    struct sigaction action = {};
    action.sa_sigaction = OnBusError;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
    sigaction(SIGBUS, &action, nullptr);
}

} // namespace

namespace BlockGuard {

void CoverCallingThread()
{
    sigset_t bus;
    sigemptyset(&bus);
    sigaddset(&bus, SIGBUS);
    pthread_sigmask(SIG_UNBLOCK, &bus, nullptr);
}

int Watch(void* start, std::size_t length, int fd)
{
    std::call_once(g_install, Install);
    for (int i = 0; i < kSlots; ++i) {
        Slot& slot = g_slots[i];
        int expected = Free;
        if (!slot.state.compare_exchange_strong(expected, Filling, std::memory_order_acq_rel)) {
            continue;
        }
        slot.start.store(reinterpret_cast<std::uintptr_t>(start), std::memory_order_relaxed);
        slot.length.store(length, std::memory_order_relaxed);
        Identify(slot, fd);
        slot.broken.store(false, std::memory_order_relaxed);
        slot.state.store(InUse, std::memory_order_release);
        return i;
    }
    return -1;
}

void Renew(int slot, int fd)
{
    if (!Valid(slot)) {
        return;
    }
    Identify(g_slots[slot], fd);
    g_slots[slot].broken.store(false, std::memory_order_release);
}

void Forget(int slot)
{
    if (!Valid(slot)) {
        return;
    }
    Slot& entry = g_slots[slot];
    entry.state.store(Filling, std::memory_order_release);
    entry.start.store(0, std::memory_order_relaxed);
    entry.length.store(0, std::memory_order_relaxed);
    entry.device.store(0, std::memory_order_relaxed);
    entry.inode.store(0, std::memory_order_relaxed);
    entry.broken.store(false, std::memory_order_relaxed);
    entry.state.store(Free, std::memory_order_release);
}

bool Broken(int slot)
{
    return Valid(slot) && g_slots[slot].broken.load(std::memory_order_acquire);
}

} // namespace BlockGuard

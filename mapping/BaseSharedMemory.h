// BaseSharedMemory: one named shared-memory mapping, created or opened by name
// and mapped whole for reading and writing. It knows nothing of the contents.
// Implemented once per platform: platform/win32 (file mapping backed by the
// paging file) and platform/posix (shm_open + mmap on "/" + the name).
#pragma once

#include "support/KQ_ErrorReport.h"

#include <cstddef>
#include <cstdint>

class BaseSharedMemory : public KQ_ErrorReport {
public:
    BaseSharedMemory();
    // Releases only the reporting base: a view or handle still open stays open
    // until the derived class releases it or the process ends.
    ~BaseSharedMemory() override;
    BaseSharedMemory(const BaseSharedMemory&) = delete;
    BaseSharedMemory& operator=(const BaseSharedMemory&) = delete;

    // All return true on success; on failure they set the error text and return false.

    // Creates the mapping exclusively. When a mapping of that name exists
    // already, fails with AlreadyExists() true, so the caller can open it instead.
    // Linux: mode 0600 whatever the umask.
    bool CreateMapping(std::uint32_t size);
    // Linux: a mapping that belongs to another user, or that group or others
    // may write, is refused (RefusedText() true) and never mapped.
    bool OpenMapping();
    // Maps the whole mapping. A mapping smaller than the size set is refused
    // (never mapped and read past its end) with a text naming both sizes,
    // unless GrowShortMapping was asked for (Linux only).
    bool MapView();
    bool CreateAndMap();
    bool OpenAndMap();
    void ZeroView(std::size_t count);
    void* GetBlock() const { return m_view; }
    void UnmapAndClose();
    void Close() { UnmapAndClose(); }

    // Linux: a block shrunk under the calling thread's access reads zeros in
    // it too. A thread that a library made with every signal blocked (a
    // network engine's worker, say) is otherwise ended by the bus error
    // instead; such a thread calls this before it touches a block.
    static void GuardCallingThread();

    // How long attach and detach wait for each other's lock.
    static constexpr int kAttachWaitMs = 2000;
    static constexpr int kDetachWaitMs = 250;

    // Serialises attach and detach between the processes that use this code
    // (Linux: a write lock on the first byte of the lock object "<name>.lock";
    // Windows: a named mutex). Waits at most waitMs; with closeEndsWait also
    // gives up as soon as the program is asked to close. Linux: the lock object
    // is made 0600 and refused like the mapping when it is not this user's own.
    bool LockAttach(int waitMs, bool closeEndsWait);
    void UnlockAttach();

    // While the attach lock is held. Linux: every attachment holds the lock
    // object (a flock of its own open of it) shared for as long as it is
    // attached, so the kernel knows who still uses the block even when a
    // process was killed. Windows: the kernel keeps the mapping itself.
    //
    // True when nobody else holds it: this attachment now holds it exclusively
    // (until HoldShared). Always false on Windows.
    bool HoldAlone();
    // Holds it shared, waiting at most waitMs for a holder that does not take
    // the attach lock.
    bool HoldShared(int waitMs);
    // Lets go of it (and, on Linux, of the lock object).
    void ReleaseHold();

    // Removes the name, so the next attacher creates a fresh block. On Windows
    // the name goes with the last handle and this does nothing. Also removes
    // the lock object when the attach lock is released (nothing is left for
    // it to guard); waiters then start over on a new one.
    void RemoveName();
    // Only the lock object (see RemoveName).
    void RemoveLockName();

    // The detach of one attachment: unmaps the view where it is not needed any
    // more (Linux: always; Windows: only for the last user, the view otherwise
    // stays until the process ends).
    void ReleaseView(bool lastUser);

    // Linux: another program shrank the mapping under this view, which shows
    // private zero pages now instead (touching it no longer ends the program).
    // Never on Windows, where a mapping keeps its size.
    bool ViewBroken() const;
    // Linux: the mapping's name, or its lock object's while it is held, no
    // longer leads to what this attachment maps or holds (another program
    // removed or replaced it). A system call or two each. Never on Windows,
    // where a name lives as long as a handle to it.
    bool MappingNameLost() const;
    bool LockNameLost() const;
    // Some mapping has the name right now (this one or another).
    bool MappingNameExists() const;
    // Lets the mapping go but keeps the view's address taken (Linux: private
    // zero pages in its place), so that the next MapView maps there again and
    // whoever kept the address reads the new mapping; closes the handle.
    // Windows: unmaps, and the next view may be elsewhere.
    void ParkView();

    // Makes MapView extend a mapping shorter than the size set, as an attacher
    // that holds the block alone does to repair one whose creator died half-way
    // (Linux; Windows mappings never change size).
    void GrowShortMapping(bool grow) { m_growShort = grow; }
    // The last MapView extended the mapping.
    bool Grew() const { return m_grew; }
    // After OpenMapping: reads the mapping's first bytes without mapping it
    // (Linux; false on Windows and when it is shorter than that).
    bool ReadFront(void* out, std::size_t length) const;

    bool AlreadyExists() const { return m_alreadyExists; }
    bool SizeRefused() const { return m_sizeRefused; }
    // The last failure was explained in a sentence of its own (a size, owner or
    // mode refusal, a lock that stayed held), not by a system call's code.
    bool RefusedText() const { return m_explained; }
    // The last OpenMapping failed because no mapping of that name exists.
    bool NameMissing() const { return m_nameMissing; }
    // errno on Linux, GetLastError() on Windows, of the last failing system call.
    unsigned long LastErrorCode() const { return m_lastError; }
    // The system's message for an error code (strerror / FormatMessageA).
    static void SystemErrorText(unsigned long code, char* out, std::size_t outSize);

protected:
    void SetName(const char* name);
    void SetSize(std::uint32_t size) { m_size = size; }
    std::uint32_t GetSize() const { return m_size; }
    const char* GetName() const { return m_name; }

    bool m_ready = false;

private:
    // Records a failed system call: its code, and "<operation> (Code: <code>)" as the text.
    void Fail(const char* operation, unsigned long code);
    // Records a failure that its text explains.
    void Explain(const char* text);

    char m_name[256] = {};
    std::intptr_t m_handle = -1; // mapping handle / descriptor
    std::intptr_t m_lockHandle = -1; // attach lock handle / lock object descriptor
    void* m_view = nullptr;
    std::size_t m_viewLength = 0; // what was mapped, for the unmap
    std::uint32_t m_size = 0;
    unsigned long m_lastError = 0;
    bool m_alreadyExists = false;
    bool m_sizeRefused = false;
    bool m_explained = false;
    bool m_nameMissing = false;
    bool m_lockHeld = false; // the attach lock (not the hold)
    std::uint8_t m_hold = 0; // Linux: 0 not held, 1 held shared, 2 held alone
    bool m_growShort = false;
    bool m_grew = false;
    bool m_removeLockName = false; // the last user is leaving: the lock object goes too
    bool m_parked = false; // m_view is kept as private zero pages, for the next MapView
    int m_guardSlot = -1; // Linux: the view's entry in the bus error guard
};

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
    bool CreateMapping(std::uint32_t size);
    bool OpenMapping();
    // Maps the whole mapping. A mapping smaller than the size set is refused
    // (never mapped and read past its end) with a text naming both sizes.
    bool MapView();
    bool CreateAndMap();
    bool OpenAndMap();
    void ZeroView(std::size_t count);
    void* GetBlock() const { return m_view; }
    void UnmapAndClose();
    void Close() { UnmapAndClose(); }

    // Serialises attach and detach between the processes that use this code
    // (a lock object beside the mapping: flock on Linux, a named mutex on Windows).
    bool LockAttach();
    void UnlockAttach();

    // Removes the name, so the next attacher creates a fresh block. On Windows
    // the name goes with the last handle and this does nothing.
    void RemoveName();
    // While the attach lock is held: remove the lock object when it is released
    // (nothing is left for it to guard). Waiters then start over on a new one.
    void RemoveLockName();

    bool AlreadyExists() const { return m_alreadyExists; }
    bool SizeRefused() const { return m_sizeRefused; }
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

    char m_name[256] = {};
    std::intptr_t m_handle = -1;     // mapping handle / descriptor
    std::intptr_t m_lockHandle = -1; // attach lock handle / descriptor
    void* m_view = nullptr;
    std::size_t m_viewLength = 0;    // what was mapped, for the unmap
    std::uint32_t m_size = 0;
    unsigned long m_lastError = 0;
    bool m_alreadyExists = false;
    bool m_sizeRefused = false;
    bool m_nameMissing = false;
    bool m_removeLockName = false;   // the last user is leaving: the lock object goes too
};

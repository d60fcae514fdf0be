// BaseSharedMemory on Windows: a named file mapping backed by the paging file.
// - CreateFileMappingA (INVALID_HANDLE_VALUE, PAGE_READWRITE); creation is
//   exclusive: ERROR_ALREADY_EXISTS means somebody else made it first. The
//   creating handle is kept open for the life of the process, so the mapping
//   exists at least as long as its creator.
// - OpenFileMappingA / MapViewOfFile with FILE_MAP_ALL_ACCESS, the whole mapping.
// - A view smaller than the block (VirtualQuery) is unmapped and refused.
// - Attach and detach are serialised by a named mutex "<name>_AttachLock"; a
//   holder that died leaves it abandoned, which still grants it. The wait is
//   bounded and ends with a text saying so.
// - The kernel keeps the mapping while any handle is open, so there is no
//   hold to take: nobody is ever known to be alone, and nothing is repaired.
//   A mapping never shrinks and its name never goes while it is open, so a
//   view never breaks and a name is never lost.
// - Error codes are GetLastError() values, the texts FormatMessageA's.
#include "mapping/BaseSharedMemory.h"

#include "support/CloseRequest.h"
#include "support/TextFunctions.h"

#include <climits>
#include <cstring>
#include <string>
#include <windows.h>

namespace {

constexpr int kTextSize = 1024;

HANDLE ToHandle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

std::intptr_t FromHandle(HANDLE handle)
{
    return reinterpret_cast<std::intptr_t>(handle);
}

bool IsOpen(std::intptr_t handle)
{
    return handle != -1 && handle != 0;
}

} // namespace

bool BaseSharedMemory::CreateMapping(std::uint32_t size)
{
    m_alreadyExists = false;
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, m_name);
    const DWORD error = GetLastError();
    if (mapping == nullptr) {
        Fail("Creating Shared memory", error);
        return false;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        // This handle is only a second reference to somebody else's mapping.
        CloseHandle(mapping);
        m_alreadyExists = true;
        Fail("Creating Shared memory", error);
        return false;
    }
    // Deliberately neither stored nor closed: it keeps the mapping alive while this process runs.
    return true;
}

bool BaseSharedMemory::OpenMapping()
{
    m_nameMissing = false;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, m_name);
    if (mapping == nullptr) {
        const DWORD error = GetLastError();
        m_nameMissing = error == ERROR_FILE_NOT_FOUND;
        Fail("OpenFileMapping", error);
        return false;
    }
    m_handle = FromHandle(mapping);
    return true;
}

bool BaseSharedMemory::MapView()
{
    m_sizeRefused = false;
    m_grew = false;
    if (!IsOpen(m_handle)) {
        Fail("MapViewOfFile", ERROR_INVALID_HANDLE);
        return false;
    }
    void* view = MapViewOfFile(ToHandle(m_handle), FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (view == nullptr) {
        Fail("MapViewOfFile", GetLastError());
        return false;
    }
    MEMORY_BASIC_INFORMATION region {};
    if (VirtualQuery(view, &region, sizeof region) == 0) {
        const DWORD error = GetLastError();
        UnmapViewOfFile(view);
        Fail("MapViewOfFile", error);
        return false;
    }
    if (region.RegionSize < m_size) {
        // Reading the block's far fields would run past the end of this view.
        UnmapViewOfFile(view);
        m_sizeRefused = true;
        char text[kTextSize];
        FormatBounded(text, kTextSize, "Shared memory \"%s\" has %llu bytes, fewer than the %lu bytes of the block",
            m_name, static_cast<unsigned long long>(region.RegionSize), static_cast<unsigned long>(m_size));
        Explain(text);
        return false;
    }
    m_view = view;
    m_viewLength = region.RegionSize;
    return true;
}

void BaseSharedMemory::UnmapAndClose()
{
    if (m_view != nullptr) {
        UnmapViewOfFile(m_view);
        m_view = nullptr;
        m_viewLength = 0;
    }
    if (IsOpen(m_handle)) {
        CloseHandle(ToHandle(m_handle));
        m_handle = -1;
    }
}

void BaseSharedMemory::ParkView()
{
    // No address can be kept for a view of another mapping here; nothing ever
    // breaks a view either, so only attachments without one attach again.
    UnmapAndClose();
}

void BaseSharedMemory::GuardCallingThread()
{
}

bool BaseSharedMemory::ViewBroken() const
{
    return false;
}

bool BaseSharedMemory::MappingNameLost() const
{
    return false;
}

bool BaseSharedMemory::LockNameLost() const
{
    return false;
}

bool BaseSharedMemory::ReadFront(void* /*out*/, std::size_t /*length*/) const
{
    return false; // a mapping here is never short
}

bool BaseSharedMemory::MappingNameExists() const
{
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, m_name);
    if (mapping == nullptr) {
        return false;
    }
    CloseHandle(mapping);
    return true;
}

void BaseSharedMemory::ReleaseView(bool lastUser)
{
    // Another user's detach keeps the view until the process ends.
    if (lastUser) {
        UnmapAndClose();
    }
}

bool BaseSharedMemory::LockAttach(int waitMs, bool closeEndsWait)
{
    if (m_lockHeld) {
        return true;
    }
    const std::string lockName = std::string(m_name) + "_AttachLock";
    HANDLE mutex = CreateMutexA(nullptr, FALSE, lockName.c_str());
    if (mutex == nullptr) {
        Fail("Attach lock", GetLastError());
        return false;
    }
    // In slices, so that a close request ends an attach's wait.
    constexpr int kSliceMs = 50;
    int waited = 0;
    for (;;) {
        const int slice = waitMs - waited < kSliceMs ? waitMs - waited : kSliceMs;
        const DWORD result = WaitForSingleObject(mutex, static_cast<DWORD>(slice < 0 ? 0 : slice));
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
            break;
        }
        if (result != WAIT_TIMEOUT) {
            const DWORD error = result == WAIT_FAILED ? GetLastError() : result;
            CloseHandle(mutex);
            Fail("Attach lock", error);
            return false;
        }
        waited += slice;
        char text[kTextSize];
        if (closeEndsWait && CloseRequest::Noted()) {
            CloseHandle(mutex);
            FormatBounded(text, kTextSize, "Shared memory \"%s\" not attached: the program is closing", m_name);
            Explain(text);
            return false;
        }
        if (waited >= waitMs) {
            CloseHandle(mutex);
            FormatBounded(text, kTextSize, "The lock %s of the shared memory stayed held by another process for %d ms",
                lockName.c_str(), waitMs);
            Explain(text);
            return false;
        }
    }
    m_lockHandle = FromHandle(mutex);
    m_lockHeld = true;
    return true;
}

void BaseSharedMemory::UnlockAttach()
{
    if (!m_lockHeld) {
        return;
    }
    ReleaseMutex(ToHandle(m_lockHandle));
    CloseHandle(ToHandle(m_lockHandle));
    m_lockHandle = -1;
    m_lockHeld = false;
    m_removeLockName = false;
}

bool BaseSharedMemory::HoldAlone()
{
    return false;
}

bool BaseSharedMemory::HoldShared(int /*waitMs*/)
{
    return true;
}

void BaseSharedMemory::ReleaseHold()
{
}

void BaseSharedMemory::RemoveName()
{
    // Named kernel objects vanish with their last handle.
}

void BaseSharedMemory::RemoveLockName()
{
    // The mutex vanishes with its last handle.
}

void BaseSharedMemory::SystemErrorText(unsigned long code, char* out, std::size_t outSize)
{
    if (out == nullptr || outSize == 0) {
        return;
    }
    const int size = static_cast<int>(outSize < INT_MAX ? outSize : INT_MAX);
    char* message = nullptr;
    const DWORD length
        = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
            nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
            reinterpret_cast<LPSTR>(&message), 0, nullptr);
    if (length == 0 || message == nullptr) {
        FormatBounded(out, size, "Error %lu", code);
        return;
    }
    // The table's texts end in "\r\n", which would add an empty line to a report.
    DWORD end = length;
    while (end > 0 && (message[end - 1] == '\r' || message[end - 1] == '\n' || message[end - 1] == ' ')) {
        --end;
    }
    message[end] = '\0';
    CopyBounded(out, message, size);
    LocalFree(message);
}

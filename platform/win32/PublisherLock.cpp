// PublisherLock on Windows: a named mutex "<name>_Publisher" that the program
// keeps open until it ends; a second program that opens it hears
// ERROR_ALREADY_EXISTS. The kernel removes it with the last handle.
#include "mapping/PublisherLock.h"

#include "mapping/BaseSharedMemory.h"

#include <windows.h>

namespace {

constexpr const char* kWhere = "PublisherLock::Acquire";

} // namespace

PublisherLock::PublisherLock(const char* mappingName)
    : m_name(mappingName == nullptr ? "" : mappingName)
{
}

PublisherLock::~PublisherLock()
{
    if (m_handle != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
        m_handle = -1;
    }
}

bool PublisherLock::Acquire()
{
    m_heldElsewhere = false;
    if (m_handle != -1) {
        return true;
    }
    const std::string mutexName = m_name + "_Publisher";
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName.c_str());
    const DWORD error = GetLastError();
    if (mutex == nullptr) {
        char text[1024];
        BaseSharedMemory::SystemErrorText(error, text, sizeof text);
        ReportError(kWhere, (mutexName + ": " + text).c_str());
        return false;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        m_heldElsewhere = true;
        ReportError(kWhere, ("another program holds " + mutexName).c_str());
        return false;
    }
    m_handle = reinterpret_cast<std::intptr_t>(mutex);
    return true;
}

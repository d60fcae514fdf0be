// PublisherLock on Linux: an exclusive flock on "/<name>.owner" (0600, this
// user's own), taken without waiting and held until the program ends; the
// kernel lets it go when the program dies. The holder removes the name when it
// leaves, while still holding it; a newcomer that locked an object whose name
// was removed meanwhile (st_nlink 0) starts over on a fresh one.
#include "mapping/PublisherLock.h"

#include "platform/posix/ShmObject.h"
#include "support/TextFunctions.h"

#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kWhere = "PublisherLock::Acquire";

std::string OwnerName(const std::string& name)
{
    return "/" + name + ".owner";
}

} // namespace

PublisherLock::PublisherLock(const char* mappingName)
    : m_name(mappingName == nullptr ? "" : mappingName)
{
}

PublisherLock::~PublisherLock()
{
    if (m_handle >= 0) {
        shm_unlink(OwnerName(m_name).c_str());
        close(static_cast<int>(m_handle));
        m_handle = -1;
    }
}

bool PublisherLock::Acquire()
{
    m_heldElsewhere = false;
    if (m_handle >= 0) {
        return true;
    }
    const std::string object = OwnerName(m_name);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ShmObject::Opened opened = ShmObject::Open(object, true);
        if (opened.fd < 0) {
            if (!opened.refusal.empty()) {
                ReportError(kWhere, opened.refusal.c_str());
            } else {
                ReportError(kWhere, (ShmObject::Path(object) + ": " + std::strerror(opened.error)).c_str());
            }
            return false;
        }
        if (flock(opened.fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            close(opened.fd);
            if (error == EWOULDBLOCK) {
                m_heldElsewhere = true;
                ReportError(kWhere, ("another program holds " + ShmObject::Path(object)).c_str());
            } else {
                ReportError(kWhere, (ShmObject::Path(object) + ": " + std::strerror(error)).c_str());
            }
            return false;
        }
        struct stat status { };
        if (fstat(opened.fd, &status) == 0 && status.st_nlink > 0) {
            m_handle = opened.fd;
            return true;
        }
        // Its last holder removed it after we opened it: take the new one.
        close(opened.fd);
    }
    ReportError(kWhere, (ShmObject::Path(object) + " keeps being replaced").c_str());
    return false;
}

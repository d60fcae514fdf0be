// PublisherLock: one Tavelin publishes into a block. The program takes it at
// start for the block's name and keeps it to the end; a second program on the
// same name finds it taken and does not start. Implemented once per platform:
// platform/posix (a flock on "/dev/shm/<name>.owner", held for the program's
// lifetime) and platform/win32 (a named mutex "<name>_Publisher").
#pragma once

#include "support/KQ_ErrorReport.h"

#include <cstdint>
#include <string>

class PublisherLock : public KQ_ErrorReport {
public:
    explicit PublisherLock(const char* mappingName);
    // Lets it go (Linux: and removes the lock object's name).
    ~PublisherLock() override;
    PublisherLock(const PublisherLock&) = delete;
    PublisherLock& operator=(const PublisherLock&) = delete;

    // Never waits. False when another program holds it (HeldElsewhere) or the
    // lock could not be taken (the error text says why; Linux: a lock object
    // of another user, or one that others may write, is refused).
    bool Acquire();
    bool HeldElsewhere() const { return m_heldElsewhere; }
    const std::string& MappingName() const { return m_name; }

private:
    std::string m_name;
    std::intptr_t m_handle = -1; // descriptor / mutex handle while held
    bool m_heldElsewhere = false;
};

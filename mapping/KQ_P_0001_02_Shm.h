// KQ_P_0001_02_Shm: this program's attachment to the simulator's block.
// Construction opens the block (or creates and initialises it), checks the
// version text and counts itself as a user; destruction detaches. On Linux an
// attachment that finds nobody else holding the block repairs what dead
// processes left (a stale count, a short or unversioned block), and only a
// detacher that is the last holder removes the name.
// The mapping name is "GenericSimSharedMemory", or TAVELIN_SHM_NAME when set.
#pragma once

#include "mapping/BaseSharedMemory.h"

class KQ_P_0001_02_Shm : public BaseSharedMemory {
public:
    KQ_P_0001_02_Shm();
    // For tests and tools: attach under another mapping name, or only open an
    // existing block (never create) when openOnly is set.
    explicit KQ_P_0001_02_Shm(const char* mappingName, bool openOnly = false);
    ~KQ_P_0001_02_Shm() override;

    // Mapped and of this layout's version.
    bool IsReady() const { return m_ready && m_versionMatches; }
    // Whether this attachment created the block (or re-made a half-made one).
    bool CreatedBlock() const { return m_created; }
    // Mapped, but laid out by another version (the attach's text says so).
    bool VersionMismatch() const { return m_ready && !m_versionMatches; }
    const char* MappingName() const { return GetName(); }

    // The mapping name in use: TAVELIN_SHM_NAME or "GenericSimSharedMemory".
    static const char* DefaultMappingName();
    // The layout header's revision line, and the component tag after which
    // its version text stands.
    static const char* InterfaceBanner();
    static const char* VersionTag();

private:
    void Attach(const char* mappingName, bool openOnly);
    void UseExistingBlock(bool alone);
    void InitialiseBlock();
    void Detach();
    // The base's own sentence, or the system's text for the last failing call,
    // under this class's operation name.
    void ReportFailure();
    void ReportSystemError();

    bool m_versionMatches = false;
    bool m_created = false;
    void* m_block = nullptr;
};

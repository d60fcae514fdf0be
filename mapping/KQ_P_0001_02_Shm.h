// KQ_P_0001_02_Shm: this program's attachment to the simulator's block.
// Construction opens the block (or creates and initialises it), checks the
// version text and counts itself as a user; destruction detaches. On Linux an
// attachment that finds nobody else holding the block repairs what dead
// processes left (a stale count, a block without its version text), any
// attachment grows back a block cut short that kept its version text, and
// only a detacher that is the last holder removes the name.
// The mapping name is "GenericSimSharedMemory", or TAVELIN_SHM_NAME when set.
// What other programs may do to the block while it is attached (shrink it,
// remove or replace its name) is found by Broken, NameLost and LockLost, and
// mended by attaching again (Reattach) at the same address. The attachments
// of one process are kept on one thread (they see each other: see Reattach).
#pragma once

#include "mapping/BaseSharedMemory.h"

#include <vector>

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

    // Linux: another program shrank the block under this attachment; its view
    // shows zero pages now, until it attaches again.
    bool Broken() const { return IsReady() && ViewBroken(); }
    // Linux: the block's name no longer leads to the block attached (removed,
    // or another object made under it). A system call or two: about once a
    // second is often enough.
    bool NameLost() const { return IsReady() && MappingNameLost(); }
    // Linux: the name of the lock object held no longer leads to it, so the
    // hold tells nobody any more that this attachment uses the block.
    bool LockLost() const { return IsReady() && LockNameLost(); }

    // Detaches and attaches again as on construction: a short or half-made
    // block is repaired by an attacher that holds it alone and refused
    // otherwise. Where it had a view it maps the block at the same address,
    // so pointers into the old view keep leading into the block (into zero
    // pages while it has none). A block it creates gets `seed`'s bytes (the
    // whole block, the user count made 1) instead of zeros. The other
    // attachments of this process to the same name that are not attached, or
    // whose block broke or lost its name, let go first, so that one of them
    // can hold the block alone, and attach again after this one. IsReady().
    bool Reattach(const void* seed = nullptr);
    // Attaches again, as Reattach does, the other attachments of this process
    // to the same name that are not attached or whose block broke or lost its
    // name (one that could not attach at start-up, say). Only while this one is.
    void BringAlong();

    // The mapping name in use: TAVELIN_SHM_NAME or "GenericSimSharedMemory".
    static const char* DefaultMappingName();
    // The layout header's revision line, and the component tag after which
    // its version text stands.
    static const char* InterfaceBanner();
    static const char* VersionTag();

private:
    void Attach(const char* mappingName, bool openOnly, const void* seed = nullptr);
    void UseExistingBlock(bool alone, const void* seed);
    void InitialiseBlock(const void* seed);
    void Detach();
    // The way out of a reattach: the count and the hold are given up, no name
    // is removed, and the view is parked at its address.
    void LetGo();
    void AttachAgain(const void* seed);
    bool NeedsAttaching() const;
    // The other attachments of this name in this process that need attaching.
    std::vector<KQ_P_0001_02_Shm*> Stragglers() const;
    bool BeginsWithVersion() const;
    // The base's own sentence, or the system's text for the last failing call,
    // under this class's operation name.
    void ReportFailure();
    void ReportSystemError();

    bool m_versionMatches = false;
    bool m_created = false;
    bool m_openOnly = false;
    void* m_block = nullptr;
};

#include "mapping/KQ_P_0001_02_Shm.h"

#include "mapping/GenericSimBlock.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* kWhere = "KQ_P_0001_02_Shm::KQ_P_0001_02_Shm";
constexpr const char* kMismatch = "Shared Memory Version Mismatch\nPlease rebuild software";

bool VersionMatches(const void* block)
{
    char text[GenericSimBlock::kVersionLength + 1];
    GenericSimBlock::LoadText(
        block, GenericSimBlock::kVersionOffset, GenericSimBlock::kVersionLength, text, sizeof text);
    return std::strcmp(text, GenericSimBlock::kVersionText) == 0;
}

} // namespace

const char* KQ_P_0001_02_Shm::DefaultMappingName()
{
    const char* name = std::getenv("TAVELIN_SHM_NAME");
    return name != nullptr && *name != '\0' ? name : GenericSimBlock::kDefaultMappingName;
}

const char* KQ_P_0001_02_Shm::InterfaceBanner()
{
    return GenericSimBlock::kInterfaceBanner;
}

const char* KQ_P_0001_02_Shm::VersionTag()
{
    return GenericSimBlock::kVersionTag;
}

KQ_P_0001_02_Shm::KQ_P_0001_02_Shm()
{
    Attach(DefaultMappingName(), false);
}

KQ_P_0001_02_Shm::KQ_P_0001_02_Shm(const char* mappingName, bool openOnly)
{
    Attach(mappingName == nullptr ? DefaultMappingName() : mappingName, openOnly);
}

KQ_P_0001_02_Shm::~KQ_P_0001_02_Shm()
{
    Detach();
}

void KQ_P_0001_02_Shm::Attach(const char* mappingName, bool openOnly)
{
    SetName(mappingName);
    SetSize(GenericSimBlock::kSize);
    m_ready = false;
    m_versionMatches = false;

    // Everyone who attaches through this code does so under the attach lock, so
    // two programs starting together never both initialise the block, and
    // nobody opens one that its creator is still initialising. The wait is
    // bounded, and ends at once when the program is asked to close.
    if (!LockAttach(kAttachWaitMs, true)) {
        ReportFailure();
        return;
    }
    // Nobody else holds the block: whatever count or half-made block is there
    // was left by processes that have gone, and may be repaired.
    const bool alone = HoldAlone();
    if (!alone && !HoldShared(kAttachWaitMs)) {
        UnlockAttach();
        ReleaseHold();
        ReportFailure();
        return;
    }
    GrowShortMapping(alone);
    if (OpenAndMap()) {
        UseExistingBlock(alone);
    } else if (NameMissing() && !openOnly) {
        if (CreateAndMap()) {
            InitialiseBlock();
        } else if (AlreadyExists() && OpenAndMap()) {
            // Created in between by a program that does not take the lock.
            UseExistingBlock(alone);
        }
    }
    GrowShortMapping(false);
    const bool attached = IsReady() && (!alone || HoldShared(0));
    if (!attached && alone) {
        // Nobody of ours holds this name, so the lock object need not outlive
        // this attach; removing it under the lock is always safe.
        RemoveLockName();
    }
    UnlockAttach();
    if (!attached) {
        ReleaseHold();
    }

    if (!m_ready) {
        Close(); // a handle without a usable view is of no use to anyone
        ReportFailure();
    }
}

void KQ_P_0001_02_Shm::UseExistingBlock(bool alone)
{
    m_ready = true;
    m_block = GetBlock();
    if (alone && (Grew() || GenericSimBlock::LoadByte(m_block, GenericSimBlock::kVersionOffset) == 0)) {
        // A creator that died half-way left it short or without its version text.
        InitialiseBlock();
        return;
    }
    if (VersionMatches(m_block)) {
        m_versionMatches = true;
        if (alone) {
            // Whatever count is there belongs to processes that have gone.
            GenericSimBlock::StoreUserCount(m_block, 1);
        } else {
            GenericSimBlock::JoinUserCount(m_block);
        }
    } else {
        ReportError(kWhere, kMismatch);
    }
}

void KQ_P_0001_02_Shm::InitialiseBlock()
{
    m_block = GetBlock();
    ZeroView(GenericSimBlock::kSize);
    GenericSimBlock::StoreText(
        m_block, GenericSimBlock::kVersionOffset, GenericSimBlock::kVersionLength, GenericSimBlock::kVersionText);
    GenericSimBlock::StoreUserCount(m_block, 1);
    m_ready = true;
    m_versionMatches = true;
    m_created = true;

    // Only meaningful to a process that maps the block at the creator's address;
    // the layout keeps the low 32 bits.
    const auto start = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(m_block));
    for (std::size_t i = 0; i < GenericSimBlock::kSectionAddressCount; ++i) {
        if (i == GenericSimBlock::kUnwrittenSectionAddress) {
            continue;
        }
        GenericSimBlock::Store<std::uint32_t>(
            m_block, GenericSimBlock::kSectionAddressOffset + 4 * i, start + GenericSimBlock::kSectionIncrements[i]);
    }
}

void KQ_P_0001_02_Shm::Detach()
{
    if (!IsReady()) {
        return;
    }
    // Detaching without the lock still beats leaving the count raised for ever;
    // only the name stays then, for a later attacher to find.
    const bool locked = LockAttach(kDetachWaitMs, false);
    const bool alone = locked && HoldAlone();
    const bool last = GenericSimBlock::LeaveUserCount(m_block) == 0;
    ReleaseView(last || alone);
    if (alone) {
        // Only the kernel's word counts here: a count that is wrong (killed
        // users, another program's writes) never removes a block still in use.
        RemoveName();
    }
    UnlockAttach();
    ReleaseHold();
    m_block = nullptr;
    m_ready = false;
    m_versionMatches = false;
}

void KQ_P_0001_02_Shm::ReportFailure()
{
    if (RefusedText()) {
        const std::string reason = GetErrorText();
        ReportError(kWhere, reason.c_str());
    } else {
        ReportSystemError();
    }
}

void KQ_P_0001_02_Shm::ReportSystemError()
{
    char text[1024];
    SystemErrorText(LastErrorCode(), text, sizeof text);
    ReportError(kWhere, text);
}

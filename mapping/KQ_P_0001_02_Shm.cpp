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
    GenericSimBlock::LoadText(block, GenericSimBlock::kVersionOffset, GenericSimBlock::kVersionLength, text, sizeof text);
    return std::strcmp(text, GenericSimBlock::kVersionText) == 0;
}

} // namespace

const char* KQ_P_0001_02_Shm::DefaultMappingName()
{
    const char* name = std::getenv("TAVELIN_SHM_NAME");
    return name != nullptr && *name != '\0' ? name : GenericSimBlock::kDefaultMappingName;
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

    // Everyone who attaches through this code does so under the lock, so two
    // programs starting together never both initialise the block, and nobody
    // opens one that its creator is still initialising.
    if (!LockAttach()) {
        ReportSystemError();
        return;
    }
    if (OpenAndMap()) {
        UseExistingBlock();
    } else if (NameMissing() && !openOnly) {
        if (CreateAndMap()) {
            InitialiseBlock();
        } else if (AlreadyExists() && OpenAndMap()) {
            // Created in between by a program that does not take the lock.
            UseExistingBlock();
        }
    }
    if (!IsReady()) {
        // Nobody of ours holds this name through this attach, so the lock object
        // need not outlive it; removing it under the lock is always safe.
        RemoveLockName();
    }
    UnlockAttach();

    if (!m_ready) {
        const bool sizeRefused = SizeRefused();
        const std::string reason = GetErrorText();
        Close(); // a handle without a usable view is of no use to anyone
        if (sizeRefused) {
            ReportError(kWhere, reason.c_str());
        } else {
            ReportSystemError();
        }
    }
}

void KQ_P_0001_02_Shm::UseExistingBlock()
{
    m_ready = true;
    m_block = GetBlock();
    if (VersionMatches(m_block)) {
        m_versionMatches = true;
        GenericSimBlock::AddToUserCount(m_block, 1);
    } else {
        ReportError(kWhere, kMismatch);
    }
}

void KQ_P_0001_02_Shm::InitialiseBlock()
{
    m_block = GetBlock();
    ZeroView(GenericSimBlock::kSize);
    GenericSimBlock::StoreText(m_block, GenericSimBlock::kVersionOffset, GenericSimBlock::kVersionLength,
        GenericSimBlock::kVersionText);
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
        GenericSimBlock::Store<std::uint32_t>(m_block, GenericSimBlock::kSectionAddressOffset + 4 * i,
            start + GenericSimBlock::kSectionIncrements[i]);
    }
}

void KQ_P_0001_02_Shm::Detach()
{
    if (!IsReady()) {
        return;
    }
    // Detaching without the lock still beats leaving the count raised for ever.
    const bool locked = LockAttach();
    if (GenericSimBlock::AddToUserCount(m_block, -1) <= 0) {
        GenericSimBlock::StoreUserCount(m_block, 0);
        UnmapAndClose();
        // The block lives exactly as long as somebody holds it.
        RemoveName();
    }
    if (locked) {
        UnlockAttach();
    }
    m_block = nullptr;
    m_ready = false;
    m_versionMatches = false;
}

void KQ_P_0001_02_Shm::ReportSystemError()
{
    char text[1024];
    SystemErrorText(LastErrorCode(), text, sizeof text);
    ReportError(kWhere, text);
}

#include "mapping/KQ_P_0001_02_Shm.h"

#include "mapping/GenericSimBlock.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

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

// Every attachment of this process, so that one that attaches again can
// take the others of its name along. Both are made once and never destroyed:
// an attachment owned by a static object is destroyed at exit, after the
// statics of this file would have been.
std::mutex& AttachmentsLock()
{
    static std::mutex* const lock = new std::mutex;
    return *lock;
}

std::vector<KQ_P_0001_02_Shm*>& Attachments()
{
    static std::vector<KQ_P_0001_02_Shm*>* const attachments = new std::vector<KQ_P_0001_02_Shm*>;
    return *attachments;
}

void Register(KQ_P_0001_02_Shm* attachment)
{
    const std::lock_guard<std::mutex> guard(AttachmentsLock());
    Attachments().push_back(attachment);
}

void Unregister(KQ_P_0001_02_Shm* attachment)
{
    const std::lock_guard<std::mutex> guard(AttachmentsLock());
    std::vector<KQ_P_0001_02_Shm*>& all = Attachments();
    all.erase(std::remove(all.begin(), all.end(), attachment), all.end());
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
    Register(this);
}

KQ_P_0001_02_Shm::KQ_P_0001_02_Shm(const char* mappingName, bool openOnly)
{
    Attach(mappingName == nullptr ? DefaultMappingName() : mappingName, openOnly);
    Register(this);
}

KQ_P_0001_02_Shm::~KQ_P_0001_02_Shm()
{
    Unregister(this);
    Detach();
}

void KQ_P_0001_02_Shm::Attach(const char* mappingName, bool openOnly, const void* seed)
{
    SetName(mappingName);
    SetSize(GenericSimBlock::kSize);
    m_ready = false;
    m_versionMatches = false;
    m_created = false;
    m_openOnly = openOnly;

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
    // A block cut short that still begins with its version text is grown back
    // by whoever attaches: what is left stays, the rest comes back as zeros,
    // and every holder's view is whole again. Only a lone attacher re-makes
    // one that lost its version text too (nobody else can be using it then).
    GrowShortMapping(alone);
    const bool opened = OpenMapping();
    if (opened && !alone && BeginsWithVersion()) {
        GrowShortMapping(true);
    }
    if (opened && MapView()) {
        UseExistingBlock(alone, seed);
    } else if (!opened && NameMissing() && !openOnly) {
        if (CreateAndMap()) {
            InitialiseBlock(seed);
        } else if (AlreadyExists() && OpenAndMap()) {
            // Created in between by a program that does not take the lock.
            UseExistingBlock(alone, seed);
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
        // A handle without a usable view is of no use to anyone; an address
        // kept from an earlier view stays taken for the next attach.
        ParkView();
        ReportFailure();
    }
}

void KQ_P_0001_02_Shm::UseExistingBlock(bool alone, const void* seed)
{
    m_ready = true;
    m_block = GetBlock();
    if (alone && (Grew() || GenericSimBlock::LoadByte(m_block, GenericSimBlock::kVersionOffset) == 0)
        && !VersionMatches(m_block)) {
        // A creator that died half-way, or another program, left it without its version text.
        InitialiseBlock(seed);
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

void KQ_P_0001_02_Shm::InitialiseBlock(const void* seed)
{
    m_block = GetBlock();
    if (seed != nullptr) {
        std::memcpy(m_block, seed, GenericSimBlock::kSize);
    } else {
        ZeroView(GenericSimBlock::kSize);
    }
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
        if (!m_ready) {
            UnmapAndClose(); // a view parked by a reattach that failed
        }
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

bool KQ_P_0001_02_Shm::BeginsWithVersion() const
{
    unsigned char front[GenericSimBlock::kVersionLength];
    return ReadFront(front, sizeof front) && VersionMatches(front);
}

bool KQ_P_0001_02_Shm::NeedsAttaching() const
{
    return !IsReady() || ViewBroken() || MappingNameLost() || LockNameLost();
}

void KQ_P_0001_02_Shm::LetGo()
{
    // The count of a block whose pages went is nobody's any more; one whose
    // name went is left, as a detacher leaves it.
    if (IsReady() && !ViewBroken()) {
        GenericSimBlock::LeaveUserCount(m_block);
    }
    ReleaseHold();
    ParkView();
    m_ready = false;
    m_versionMatches = false;
    m_created = false;
    m_block = nullptr;
}

void KQ_P_0001_02_Shm::AttachAgain(const void* seed)
{
    // SetName copies from the name given: not from itself.
    const std::string name = GetName();
    Attach(name.c_str(), m_openOnly, seed);
}

std::vector<KQ_P_0001_02_Shm*> KQ_P_0001_02_Shm::Stragglers() const
{
    // Empty (and so without an allocation) while every attachment is whole.
    std::vector<KQ_P_0001_02_Shm*> others;
    const std::lock_guard<std::mutex> guard(AttachmentsLock());
    for (KQ_P_0001_02_Shm* other : Attachments()) {
        if (other != this && std::strcmp(other->GetName(), GetName()) == 0 && other->NeedsAttaching()) {
            others.push_back(other);
        }
    }
    return others;
}

bool KQ_P_0001_02_Shm::Reattach(const void* seed)
{
    const std::vector<KQ_P_0001_02_Shm*> others = Stragglers();
    for (KQ_P_0001_02_Shm* other : others) {
        other->LetGo();
    }
    LetGo();
    AttachAgain(seed);
    if (IsReady()) {
        for (KQ_P_0001_02_Shm* other : others) {
            other->AttachAgain(nullptr);
        }
    }
    return IsReady();
}

void KQ_P_0001_02_Shm::BringAlong()
{
    if (!IsReady()) {
        return;
    }
    for (KQ_P_0001_02_Shm* other : Stragglers()) {
        other->LetGo();
        other->AttachAgain(nullptr);
    }
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

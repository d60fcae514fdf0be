// BlockKeeper: what the publisher does when other programs shrink the block,
// remove or replace its name or its lock, or keep it from being attached.
// The attachment keeps its address through all of it (KQ_P_0001_02_Shm::
// Reattach), so the window's own view, which follows it, stays where it was.
#include "mapping/BlockKeeper.h"

#include "mapping/KQ_P_0001_02_Shm.h"

#include <cstring>

namespace Block = GenericSimBlock;

namespace {

constexpr const char* kStillOnTheOldBlock = "; programs still attached to the old block must attach again";

} // namespace

BlockKeeper::BlockKeeper(Release release)
    : m_release(release)
{
}

BlockKeeper::~BlockKeeper() = default;

bool BlockKeeper::Attach()
{
    m_working = nullptr;
    m_haveSetUp = false;
    m_shm = std::make_unique<KQ_P_0001_02_Shm>();
    if (!m_shm->IsReady()) {
        m_error = m_shm->FullErrorText();
        return false;
    }
    m_working = m_shm->GetBlock();
    m_nextCheck = Clock::now() + kCheckPeriod;
    return true;
}

const std::string& BlockKeeper::WorkOnStandIn()
{
    m_standIn.assign(Block::kSize, 0);
    m_working = m_standIn.data();
    m_nextCheck = Clock::now() + kCheckPeriod;
    m_note = std::string("The shared block \"") + Name() + "\" could not be attached (" + Reason()
        + "): Tavelin tries again every second and publishes once it has it";
    return m_note;
}

bool BlockKeeper::Shared() const
{
    return m_shm != nullptr && m_shm->IsReady() && m_working == m_shm->GetBlock();
}

const char* BlockKeeper::Keep()
{
    if (m_shm == nullptr || m_working == nullptr) {
        return nullptr;
    }
    m_note.clear();
    const Clock::time_point now = Clock::now();
    if (Shared()) {
        Capture();
        if (m_shm->Broken()) {
            OnLost(Loss::Shrunk);
        } else if (now >= m_nextCheck) {
            m_nextCheck = now + kCheckPeriod;
            OnNameCheck();
            if (Shared()) {
                // The window's own view, when it could not attach at start-up.
                m_shm->BringAlong();
            }
        }
    } else if (now >= m_nextCheck) {
        m_nextCheck = now + kCheckPeriod;
        TryAgain();
    }
    return m_note.empty() ? nullptr : m_note.c_str();
}

void BlockKeeper::Capture()
{
    SetUp& next = m_setUps[1 - m_goodSetUp];
    const auto* block = static_cast<const unsigned char*>(m_working);
    std::memcpy(next.settings, block + Block::kControlSettings, sizeof next.settings);
    std::memcpy(next.assignments, block + Block::kJoystickSetup, sizeof next.assignments);
    // Taken while the block broke, it holds zeros: the last good copy stays.
    if (!m_shm->Broken()) {
        m_goodSetUp = 1 - m_goodSetUp;
        m_haveSetUp = true;
    }
}

void BlockKeeper::ToStandIn()
{
    if (m_standIn.size() != Block::kSize) {
        m_standIn.assign(Block::kSize, 0);
    }
    if (m_haveSetUp) {
        const SetUp& kept = m_setUps[m_goodSetUp];
        std::memcpy(m_standIn.data() + Block::kControlSettings, kept.settings, sizeof kept.settings);
        std::memcpy(m_standIn.data() + Block::kJoystickSetup, kept.assignments, sizeof kept.assignments);
    }
    m_working = m_standIn.data();
}

void BlockKeeper::FromStandIn()
{
    auto* block = static_cast<unsigned char*>(m_shm->GetBlock());
    std::memcpy(
        block + Block::kControlSettings, m_standIn.data() + Block::kControlSettings, Block::kSettingsAndMirrorsLength);
    std::memcpy(block + Block::kJoystickSetup, m_standIn.data() + Block::kJoystickSetup, Block::kJoystickSetupSize);
    m_working = block;
}

void BlockKeeper::OnNameCheck()
{
    if (m_shm->NameLost()) {
        OnLost(Loss::NameRemoved);
    } else if (m_shm->LockLost()) {
        OnLost(Loss::LockRemoved);
    }
}

void BlockKeeper::OnLost(Loss loss)
{
    const bool nameGone = loss == Loss::NameRemoved;
    if (nameGone) {
        // The orphan still holds everything: a block made again starts from
        // it, and whoever still reads the orphan sees the controls released.
        auto* block = static_cast<unsigned char*>(m_working);
        m_seed.assign(block, block + Block::kSize);
        if (m_release != nullptr) {
            m_release(block);
        }
    }
    ToStandIn();
    const bool back = m_shm->Reattach(nameGone ? m_seed.data() : nullptr);
    if (back) {
        FromStandIn();
    } else {
        m_nextCheck = Clock::now() + kCheckPeriod;
    }
    if (nameGone && back && !m_shm->CreatedBlock()) {
        loss = Loss::NameReplaced;
    }
    const std::string name = std::string("\"") + Name() + "\"";
    const std::string failed
        = ", and it could not be attached again (" + Reason() + "): Tavelin tries again every second";
    switch (loss) {
    case Loss::Shrunk:
        m_note = "Another program shrank the shared block " + name
            + (back ? ": Tavelin attached it again and put its set-up back" : failed);
        break;
    case Loss::NameRemoved:
        m_note = "Another program removed the name of the shared block " + name
            + (back ? ": Tavelin made it again with the current contents" : failed) + kStillOnTheOldBlock;
        break;
    case Loss::NameReplaced:
        m_note = "The name of the shared block " + name
            + " led to another block: Tavelin attached that one and put its set-up there" + kStillOnTheOldBlock;
        break;
    case Loss::LockRemoved:
        m_note = "Another program removed the lock of the shared block " + name
            + (back ? ": Tavelin holds it again" : failed);
        break;
    }
}

void BlockKeeper::TryAgain()
{
    // Quiet while it fails: the note that it tries was given when it began.
    if (m_shm->Reattach()) {
        FromStandIn();
        m_note = std::string("The shared block \"") + Name()
            + "\" is attached now: Tavelin publishes into it with the set-up in use";
    }
}

std::string BlockKeeper::Reason() const
{
    // The attachment's text without the name of the operation, on one line.
    std::string text = m_shm != nullptr ? m_shm->GetErrorText() : "";
    const std::size_t firstLine = text.find('\n');
    if (firstLine != std::string::npos) {
        text.erase(0, firstLine + 1);
    }
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos;) {
        text.replace(at, 1, "; ");
    }
    return text;
}

const char* BlockKeeper::Name() const
{
    return m_shm != nullptr ? m_shm->MappingName() : "";
}

#include "tools/simblock/KeptAttachment.h"

#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"

#include <cstdio>
#include <vector>

namespace {

constexpr std::chrono::seconds kCheckPeriod { 1 };

} // namespace

KeptAttachment::KeptAttachment(KQ_P_0001_02_Shm& shm)
    : m_shm(shm)
    , m_nextCheck(Clock::now() + kCheckPeriod)
{
}

KeptAttachment::KeptAttachment(KQ_P_0001_02_Shm& shm, Release release)
    : KeptAttachment(shm)
{
    m_release = release;
}

bool KeptAttachment::Keep()
{
    const Clock::time_point now = Clock::now();
    if (m_shm.Broken()) {
        AttachAgain(std::string("another program shrank the shared block \"") + m_shm.MappingName() + "\"");
        return m_shm.IsReady();
    }
    if (now < m_nextCheck) {
        return m_shm.IsReady();
    }
    m_nextCheck = now + kCheckPeriod;
    if (!m_shm.IsReady()) {
        // Quiet while it fails: the line that it tries came with the event.
        if (m_shm.Reattach()) {
            ++m_attachments;
            Say(std::string("attached to the shared block \"") + m_shm.MappingName() + "\" again");
        }
    } else if (m_shm.NameLost()) {
        if (m_shm.MappingNameExists()) {
            m_nameGoneSaid = false;
            AttachAgain(
                std::string("the name of the shared block \"") + m_shm.MappingName() + "\" leads to another block now");
        } else if (m_release != nullptr) {
            MakeNameAgain();
        } else if (!m_nameGoneSaid) {
            // Its publisher makes it again; until then the block it led to is still the one to show.
            m_nameGoneSaid = true;
            Say(std::string("another program removed the name of the shared block \"") + m_shm.MappingName()
                + "\"; still attached to the block it led to");
        }
    } else if (m_shm.LockLost()) {
        AttachAgain(
            std::string("another program removed the lock of the shared block \"") + m_shm.MappingName() + "\"");
    }
    return m_shm.IsReady();
}

bool KeptAttachment::BrokeDuringUse()
{
    if (!m_shm.Broken()) {
        return false;
    }
    Keep();
    return true;
}

void KeptAttachment::MakeNameAgain()
{
    // The orphan still holds everything: the block made again starts from
    // it, and whoever still reads the orphan sees the controls released.
    auto* block = static_cast<unsigned char*>(m_shm.GetBlock());
    const std::vector<unsigned char> contents(block, block + GenericSimBlock::kSize);
    m_release(block);
    AttachAgain(std::string("another program removed the name of the shared block \"") + m_shm.MappingName()
            + "\"; made it again with the current contents (programs still attached to the old block must attach "
              "again)",
        contents.data());
}

void KeptAttachment::AttachAgain(const std::string& event, const void* seed)
{
    if (m_shm.Reattach(seed)) {
        ++m_attachments;
        Say(event + (seed != nullptr ? "" : "; attached to it again"));
    } else {
        m_nextCheck = Clock::now() + kCheckPeriod;
        Say(event + ", and it could not be attached again (" + Reason() + "); trying again every second");
    }
}

std::string KeptAttachment::Reason() const
{
    std::string text = m_shm.GetErrorText();
    const std::size_t firstLine = text.find('\n');
    if (firstLine != std::string::npos) {
        text.erase(0, firstLine + 1);
    }
    for (char& c : text) {
        c = c == '\n' ? ' ' : c;
    }
    return text;
}

void KeptAttachment::Say(const std::string& what) const
{
    std::fprintf(stderr, "simblock: %s\n", what.c_str());
    std::fflush(stderr);
}

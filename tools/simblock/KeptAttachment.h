// KeptAttachment: simblock's attachment, kept through what other programs do
// to the block, as Tavelin's publisher keeps its own: a block shrunk under it
// is attached again (repaired, or refused by the usual rules and tried again
// every second), and a name that leads to another block is followed. Each
// event is one line on standard error. An attachment that publishes into the
// block (net-receive) also makes a removed name again, with the block's
// current contents, as Tavelin's publisher does.
#pragma once

#include <chrono>
#include <string>

class KQ_P_0001_02_Shm;

class KeptAttachment {
public:
    // What a publisher leaves in a block it moves away from.
    using Release = void (*)(void* block);

    explicit KeptAttachment(KQ_P_0001_02_Shm& shm);
    // The block's publisher: a removed name is made again.
    KeptAttachment(KQ_P_0001_02_Shm& shm, Release release);

    // Before each use of the block: true while it is attached.
    bool Keep();
    // After a use: whether the block broke during it (then it is attached
    // again, or tried again from the next Keep on).
    bool BrokeDuringUse();
    // How often the block was attached anew (what it holds may be another's,
    // or a repaired block's zeros): a publisher then puts its set-up back.
    unsigned Attachments() const { return m_attachments; }

private:
    using Clock = std::chrono::steady_clock;

    void Say(const std::string& what) const;
    void AttachAgain(const std::string& event, const void* seed = nullptr);
    void MakeNameAgain();
    std::string Reason() const;

    KQ_P_0001_02_Shm& m_shm;
    Clock::time_point m_nextCheck;
    bool m_nameGoneSaid = false;
    Release m_release = nullptr;
    unsigned m_attachments = 0;
};

// KeptAttachment: simblock's attachment, kept through what other programs do
// to the block, as Tavelin's publisher keeps its own: a block shrunk under it
// is attached again (repaired, or refused by the usual rules and tried again
// every second), and a name that leads to another block is followed. Each
// event is one line on standard error.
#pragma once

#include <chrono>
#include <string>

class KQ_P_0001_02_Shm;

class KeptAttachment {
public:
    explicit KeptAttachment(KQ_P_0001_02_Shm& shm);

    // Before each use of the block: true while it is attached.
    bool Keep();
    // After a use: whether the block broke during it (then it is attached
    // again, or tried again from the next Keep on).
    bool BrokeDuringUse();

private:
    using Clock = std::chrono::steady_clock;

    void Say(const std::string& what) const;
    void AttachAgain(const std::string& event);
    std::string Reason() const;

    KQ_P_0001_02_Shm& m_shm;
    Clock::time_point m_nextCheck;
    bool m_nameGoneSaid = false;
};

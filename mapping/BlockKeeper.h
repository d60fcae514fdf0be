// BlockKeeper: the publisher's attachment to the block, kept whatever other
// programs do to it. Each tick it keeps a copy of the set-up and looks for the
// mark of a block shrunk under it; once a second it checks that the block's
// name still leads to the block, and tries again to attach while it has none.
// Without the block the processor works on a stand-in, a private block of the
// same layout; its set-up goes into the block as soon as there is one. Each
// event makes one note, for the warning list.
#pragma once

#include "mapping/GenericSimBlock.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class KQ_P_0001_02_Shm;

class BlockKeeper {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kCheckPeriod { 1 };

    // Stores released controls into a block: what the publisher leaves in a
    // block it moves away from, for programs that still read it.
    using Release = void (*)(void* block);

    explicit BlockKeeper(Release release);
    ~BlockKeeper();
    BlockKeeper(const BlockKeeper&) = delete;
    BlockKeeper& operator=(const BlockKeeper&) = delete;

    // Attaches as on start-up (TAVELIN_SHM_NAME or the simulator's name).
    // False with the attachment's text in ErrorText; the attachment is kept
    // for the tries after WorkOnStandIn.
    bool Attach();
    const std::string& ErrorText() const { return m_error; }
    // After a failed Attach: the processor works on the stand-in until the
    // block can be had, which is tried once a second. The note that says so.
    const std::string& WorkOnStandIn();

    // What the processor works on: the block, or the stand-in; null before either.
    void* Block() const { return m_working; }
    // Block() is the shared block.
    bool Shared() const;

    // Once per tick, before the block is touched: the note of what happened,
    // or null. Allocates nothing unless something happened.
    const char* Keep();

private:
    enum class Loss { Shrunk, NameRemoved, NameReplaced, LockRemoved };

    void Capture();
    void ToStandIn();
    void FromStandIn();
    void OnLost(Loss loss);
    void OnNameCheck();
    void TryAgain();
    std::string Reason() const;
    const char* Name() const;

    Release m_release;
    std::unique_ptr<KQ_P_0001_02_Shm> m_shm;
    void* m_working = nullptr;
    std::vector<unsigned char> m_standIn;
    std::vector<unsigned char> m_seed;
    // The set-up as the last tick found it (two copies: one being taken, one
    // good), so that a copy taken while the block broke is never used.
    struct SetUp {
        unsigned char settings[GenericSimBlock::kSettingsAndMirrorsLength];
        unsigned char assignments[GenericSimBlock::kJoystickSetupSize];
    };
    SetUp m_setUps[2] = {};
    int m_goodSetUp = 0;
    bool m_haveSetUp = false;
    Clock::time_point m_nextCheck {};
    std::string m_error;
    std::string m_note;
};

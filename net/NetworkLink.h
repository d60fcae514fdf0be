// NetworkLink: the sending side of the link, the seam the program's polling
// cycle calls. Start it with the settings; then, in every tick, right after
// the tick wrote its block, OnTickPublished(block): the outputs go out in
// that same tick, the set-up whenever it changed, and the simulator flags
// that came back are written into the block (both bytes of each pair, as the
// simulator on the other computer set them). State() says whether a receiver
// answers; TakeNote gives the texts the window lists as notes.
//
// The tick never waits for the network: OnTickPublished hands the outputs to
// the engine as a best-effort sample, which is sent at once and never waits
// for a receiver (no allocation either); a changed set-up, which goes
// reliably and so may wait for the receivers' answers, is copied into a slot
// that a thread of the link's own takes it from (one wake-up of that thread).
// Only a change of the link's state takes the notes' lock, and TakeNote only
// tries it. Stop (and the destructor) sends a released stick first, as the
// program's own exit does.
// OnTickPublished, TakeNote and Stop belong to one thread (the tick's).
#pragma once

#include "net/EngineLines.h"
#include "net/LatestValue.h"
#include "net/LinkTransport.h"
#include "net/NetworkSettings.h"
#include "net/TickSignal.h"
#include "support/KQ_ErrorReport.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

enum class LinkStatus {
    Off, // not started
    NoReceiver, // started; no receiver has answered yet
    Receiving, // a receiver answers; roundTripMicroseconds is the last round trip
    Lost, // a receiver answered, and has not for a second
};

struct LinkState {
    LinkStatus status = LinkStatus::Off;
    std::int64_t roundTripMicroseconds = 0;
};

// "off", "no receiver", "receiving, 0.4 ms round trip", "lost".
std::string LinkStateText(const LinkState& state);
// The same text into `text` (cut to `size`), without allocating: for a window's tick.
void FormatLinkState(const LinkState& state, char* text, std::size_t size);

class NetworkLink : public KQ_ErrorReport, private LinkHandler {
public:
    using TransportFactory
        = std::function<std::unique_ptr<LinkTransport>(const TransportConfig&, LinkHandler&, std::string&)>;
    using Clock = std::int64_t (*)(); // steady nanoseconds

    // How long a receiver may stay silent before the link counts as lost; it
    // answers four times a second.
    static constexpr std::int64_t kAnswerPatience = 1'000'000'000;
    static constexpr int kNotes = 8;
    static constexpr int kNoteLength = 256;

    NetworkLink();
    // For tests: another engine, another clock.
    NetworkLink(TransportFactory factory, Clock clock);
    ~NetworkLink() override;
    NetworkLink(const NetworkLink&) = delete;
    NetworkLink& operator=(const NetworkLink&) = delete;

    // Checks the settings and the keys, opens the endpoints and starts the
    // link's thread. False with the reason (nothing runs then). Settings
    // that are not enabled start nothing and succeed.
    bool Start(const NetworkSettings& settings);
    void Stop();
    bool Running() const { return m_running; }

    // In the tick, after the block was written.
    void OnTickPublished(void* block);

    LinkState State() const;
    // The next note, if any ("Network: ..."); never waits.
    bool TakeNote(char* text, std::size_t size);

    static bool Available() { return NetworkEngineAvailable(); }
    static const char* Description() { return NetworkEngineDescription(); }

private:
    void Run();
    void Note(const std::string& text);
    void NoteStateChange();
    void OnFlags(const FlagsMessage& message) override;
    void OnEngineText(const char* line) override;
    void OnPeerNotLetIn(const char* who) override;

    TransportFactory m_factory;
    Clock m_clock;
    std::unique_ptr<LinkTransport> m_transport;
    std::thread m_thread;
    bool m_running = false;
    NetworkSettings m_settings;
    std::uint64_t m_session = 0;

    // The tick's own.
    std::uint64_t m_sequence = 0;
    std::uint64_t m_setUpSequence = 0;
    bool m_setUpSent = false;
    LinkSetUp m_readSetUp;
    LinkSetUp m_sentSetUp;
    ControlOutputs m_lastOutputs;
    ControlsMessage m_controls;
    LinkStatus m_shownStatus = LinkStatus::NoReceiver;
    bool m_writeFailureNoted = false;

    // Tick to link thread: the set-ups.
    LatestValue<SetUpMessage> m_setUps;
    TickSignal m_ticks;
    std::atomic<bool> m_stopping { false };

    // Engine thread to tick.
    LatestValue<SimulatorFlagBytes> m_flags;
    bool m_flagsSeen = false;
    SimulatorFlagBytes m_lastFlags;
    std::atomic<std::int64_t> m_lastAnswer { 0 };
    std::atomic<std::int64_t> m_roundTrip { 0 };

    // Notes from any thread; the tick only tries the lock.
    std::mutex m_notesMutex;
    char m_notes[kNotes][kNoteLength] = {};
    int m_firstNote = 0;
    int m_noteCount = 0;
    std::mutex m_engineMutex;
    EngineLines m_engineLines;
};

// NetworkReceiver: the receiving side of the link (simblock net-receive), on
// the simulator's computer. It writes each Controls sample into its block
// the moment it arrives and the set-up when it comes, and sends the
// simulator's gear and park-brake flags back when they change (and four
// times a second, as the answer the sender times its round trip by).
// When the sender's liveliness lapses or no sample came for 100 ms it
// releases the controls exactly as Tavelin's own exit does, says so, and
// takes the stream up again when a sender is back.
// Samples that come out of order, or hold values beyond the outputs' limits
// (mapping/OutputLimits.h) or NaN, are dropped; while one sender is heard, a
// second one's samples are ignored.
#pragma once

#include "mapping/LinkValues.h"
#include "net/EngineLines.h"
#include "net/LinkTransport.h"
#include "net/NetworkSettings.h"
#include "support/KQ_ErrorReport.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class NetworkReceiver : public KQ_ErrorReport, private LinkHandler {
public:
    using TransportFactory
        = std::function<std::unique_ptr<LinkTransport>(const TransportConfig&, LinkHandler&, std::string&)>;
    using Clock = std::int64_t (*)();
    // After each sample written into the block, with the time right after the write.
    using WriteObserver = std::function<void(const ControlsMessage&, std::int64_t writtenAt)>;

    static constexpr std::int64_t kSilenceLimit = 100'000'000; // 100 ms without a sample
    static constexpr std::int64_t kAnswerInterval = 250'000'000;
    static constexpr std::int64_t kDropReportInterval = 1'000'000'000;

    struct Counts {
        std::uint64_t written = 0;
        std::uint64_t outOfOrder = 0;
        std::uint64_t beyondLimits = 0;
        std::uint64_t otherSender = 0;
        std::uint64_t setUps = 0;
        std::uint64_t releases = 0;
    };

    // `block`: the attached block, which outlives the receiver.
    explicit NetworkReceiver(void* block);
    NetworkReceiver(void* block, TransportFactory factory, Clock clock);
    ~NetworkReceiver() override;
    NetworkReceiver(const NetworkReceiver&) = delete;
    NetworkReceiver& operator=(const NetworkReceiver&) = delete;

    // Checks the settings and the keys, opens the endpoints (the settings need
    // not be enabled: a receiver is always on) and releases the controls that
    // are in the block until a sender is heard. False with the reason.
    bool Start(const NetworkSettings& settings);
    // Releases the controls (the receiver is the block's publisher) and closes.
    void Stop();

    // The loop's step, at least every 10 ms: the 100 ms rule, the flags, the answer.
    void Step();
    // Waits at most `timeout` for a sample or anything else to do.
    void WaitForActivity(std::chrono::milliseconds timeout);
    // Runs `keep` while no sample is written (the engine's threads wait), for
    // the block's attachment to be mended under the receiver. When `keep`
    // answers that the block was attached anew, the last set-up goes back
    // into it, and the controls are released there unless a sender is heard.
    void KeepBlock(const std::function<bool()>& keep);
    // What the receiver has to say, one line at a time.
    bool TakeLine(std::string& line);

    Counts GetCounts() const;
    bool Receiving() const;
    void SetWriteObserver(WriteObserver observer) { m_observer = std::move(observer); }

    // The LinkHandler side, public for tests that play the engine.
    void OnControls(const ControlsMessage& message, std::uint64_t writer) override;
    void OnSetUp(const SetUpMessage& message) override;
    void OnSendersAlive(int count) override;
    void OnEngineText(const char* line) override;
    void OnPeerNotLetIn(const char* who) override;

private:
    enum class Stream { Waiting, Receiving, Released };

    void Release(const char* why);
    void Say(std::string line);
    void ReportDrops(std::int64_t now);

    void* m_block;
    TransportFactory m_factory;
    Clock m_clock;
    WriteObserver m_observer;
    std::unique_ptr<LinkTransport> m_transport;

    mutable std::mutex m_mutex;
    std::condition_variable m_activity;
    bool m_woken = false;
    bool m_closing = false;
    Stream m_stream = Stream::Waiting;
    std::uint64_t m_writer = 0;
    std::uint64_t m_session = 0;
    std::uint64_t m_lastSequence = 0;
    std::uint64_t m_ignoredWriter = 0;
    std::int64_t m_lastSample = 0;
    std::int64_t m_lastTickTime = 0;
    bool m_answerDue = false;
    std::int64_t m_lastAnswer = 0;
    bool m_flagsSent = false;
    SimulatorFlagBytes m_sentFlags;
    Counts m_counts;
    LinkSetUp m_lastSetUp;
    bool m_haveSetUp = false;
    Counts m_reported;
    std::int64_t m_lastDropReport = 0;
    std::deque<std::string> m_lines;
    EngineLines m_engineLines;
};

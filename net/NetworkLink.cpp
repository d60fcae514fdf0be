#include "net/NetworkLink.h"

#include "net/EngineConfiguration.h"
#include "net/KeySet.h"
#include "support/TextFunctions.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace {

constexpr const char* kWhere = "NetworkLink::Start";

std::int64_t SteadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint64_t NewSession()
{
    std::random_device device;
    std::uint64_t session = 0;
    while (session == 0) {
        session = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    }
    return session;
}

std::string RoundTripText(std::int64_t microseconds)
{
    char text[32];
    FormatBounded(text, sizeof text, "%.1f ms round trip", static_cast<double>(microseconds) / 1000.0);
    return text;
}

} // namespace

void FormatLinkState(const LinkState& state, char* text, std::size_t size)
{
    const int room = static_cast<int>(std::min<std::size_t>(size, 1u << 20));
    switch (state.status) {
    case LinkStatus::NoReceiver:
        CopyBounded(text, "no receiver", room);
        return;
    case LinkStatus::Receiving:
        FormatBounded(
            text, room, "receiving, %.1f ms round trip", static_cast<double>(state.roundTripMicroseconds) / 1000.0);
        return;
    case LinkStatus::Lost:
        CopyBounded(text, "lost", room);
        return;
    case LinkStatus::Off:
        break;
    }
    CopyBounded(text, "off", room);
}

std::string LinkStateText(const LinkState& state)
{
    char text[48];
    FormatLinkState(state, text, sizeof text);
    return text;
}

NetworkLink::NetworkLink()
    : NetworkLink(CreateLinkTransport, SteadyNanoseconds)
{
}

NetworkLink::NetworkLink(TransportFactory factory, Clock clock)
    : m_factory(std::move(factory))
    , m_clock(clock != nullptr ? clock : SteadyNanoseconds)
{
}

NetworkLink::~NetworkLink()
{
    Stop();
}

bool NetworkLink::Start(const NetworkSettings& settings)
{
    Stop();
    if (!settings.enabled) {
        return true;
    }
    std::string problem;
    if (!CheckNetworkSettings(settings, problem)) {
        ReportError(kWhere, ("The network link cannot start: " + problem + ".").c_str());
        return false;
    }
    NetworkSettings confined = settings;
    if (!EngineConfiguration::Confine(confined, problem)) {
        ReportError(kWhere, ("The network link cannot start: " + problem + ".").c_str());
        return false;
    }
    KeySet::Files keys;
    if (!settings.keys.empty()) {
        const std::vector<std::string> faults = KeySet::Check(settings.keys, LinkRole::Sender);
        if (!faults.empty()) {
            std::string text = "The network link cannot start: the key folder cannot be used:";
            for (const std::string& fault : faults) {
                text += "\n" + fault;
            }
            ReportError(kWhere, text.c_str());
            return false;
        }
        keys = KeySet::FilesOf(settings.keys, LinkRole::Sender);
    }
    TransportConfig config;
    config.role = LinkRole::Sender;
    config.domain = settings.domain;
    config.peers = confined.peers;
    config.secured = !settings.keys.empty();
    config.engineConfiguration = EngineConfiguration::Text(confined, config.secured ? &keys : nullptr);

    m_settings = settings;
    m_session = NewSession();
    m_sequence = 0;
    m_setUpSequence = 0;
    m_setUpSent = false;
    m_flagsSeen = false;
    m_lastAnswer = 0;
    m_roundTrip = 0;
    m_shownStatus = LinkStatus::NoReceiver;
    m_writeFailureNoted = false;
    m_stopping = false;
    m_transport = m_factory ? m_factory(config, *this, problem) : nullptr;
    if (!m_transport) {
        ReportError(kWhere, ("The network link cannot start: " + problem + ".").c_str());
        return false;
    }
    const std::string domain = std::to_string(settings.domain);
    if (config.secured) {
        Note("Network: on, domain " + domain + ", secured with the keys in " + settings.keys);
    } else {
        Note("Network: on, domain " + domain + ", without keys: anybody on the network can publish on this domain");
    }
    m_running = true;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void NetworkLink::Stop()
{
    if (!m_running) {
        return;
    }
    // The last sample is a released stick, so the other side lets go at once.
    ControlsMessage& last = m_controls;
    last.session = m_session;
    last.sequence = ++m_sequence;
    last.tickTime = m_clock();
    last.outputs = ReleasedOutputs(m_lastOutputs);
    m_transport->WriteControls(last);
    m_stopping.store(true, std::memory_order_release);
    m_ticks.Raise();
    m_thread.join();
    m_transport.reset();
    m_running = false;
}

void NetworkLink::OnTickPublished(void* block)
{
    if (!m_running || block == nullptr) {
        return;
    }
    // The controls go from the tick itself: a best-effort sample is handed to
    // the engine and sent without waiting for anybody, and waking another
    // thread every tick would cost more than the sending.
    ControlsMessage& message = m_controls;
    message.session = m_session;
    message.sequence = ++m_sequence;
    message.tickTime = m_clock();
    message.outputs = ReadControlOutputs(block);
    m_lastOutputs = message.outputs;
    if (!m_transport->WriteControls(message) && !m_writeFailureNoted) {
        m_writeFailureNoted = true;
        Note("Network: the controls could not be sent (the network engine refused them)");
    }

    ReadLinkSetUp(block, m_readSetUp);
    if (!m_setUpSent || !m_readSetUp.SameAs(m_sentSetUp)) {
        m_sentSetUp = m_readSetUp;
        SetUpMessage& setUp = m_setUps.Back();
        setUp.session = m_session;
        setUp.sequence = ++m_setUpSequence;
        setUp.setUp = m_readSetUp;
        m_setUps.Publish();
        m_setUpSent = true;
        // A set-up is sent reliably, which may wait for the receivers' answers: by the link's thread.
        m_ticks.Raise();
    }

    if (m_flags.Take()) {
        WriteSimulatorFlags(block, m_flags.Front());
    }
    NoteStateChange();
}

void NetworkLink::Run()
{
    std::uint32_t seen = 0;
    for (;;) {
        seen = m_ticks.Wait(seen);
        if (m_setUps.Take() && !m_transport->WriteSetUp(m_setUps.Front())) {
            Note("Network: the set-up could not be sent (the network engine refused it)");
        }
        if (m_stopping.load(std::memory_order_acquire)) {
            return;
        }
    }
}

LinkState NetworkLink::State() const
{
    LinkState state;
    if (!m_running) {
        return state;
    }
    const std::int64_t answered = m_lastAnswer.load(std::memory_order_acquire);
    state.roundTripMicroseconds = m_roundTrip.load(std::memory_order_relaxed) / 1000;
    if (answered == 0) {
        state.status = LinkStatus::NoReceiver;
    } else if (m_clock() - answered <= kAnswerPatience) {
        state.status = LinkStatus::Receiving;
    } else {
        state.status = LinkStatus::Lost;
    }
    return state;
}

void NetworkLink::NoteStateChange()
{
    const LinkState state = State();
    if (state.status == m_shownStatus) {
        return;
    }
    const LinkStatus before = m_shownStatus;
    m_shownStatus = state.status;
    if (state.status == LinkStatus::Receiving) {
        Note(std::string("Network: ")
            + (before == LinkStatus::Lost ? "the receiver answers again" : "a receiver answers") + " ("
            + RoundTripText(state.roundTripMicroseconds) + ")");
    } else if (state.status == LinkStatus::Lost) {
        Note("Network: the receiver no longer answers (nothing for a second); the controls go out all the same");
    }
}

void NetworkLink::OnFlags(const FlagsMessage& message)
{
    // Applied when the simulator changed them; the answers in between repeat them.
    if (!m_flagsSeen || !(message.flags == m_lastFlags)) {
        m_flagsSeen = true;
        m_lastFlags = message.flags;
        m_flags.Back() = message.flags;
        m_flags.Publish();
    }
    if (message.echoSession == m_session && message.echoSequence != 0) {
        const std::int64_t now = m_clock();
        const std::int64_t roundTrip = now - message.echoTickTime;
        if (roundTrip >= 0 && roundTrip < 10 * kAnswerPatience) {
            m_roundTrip.store(roundTrip, std::memory_order_relaxed);
            m_lastAnswer.store(now, std::memory_order_release);
        }
    }
}

void NetworkLink::OnEngineText(const char* line)
{
    std::string said;
    {
        std::lock_guard<std::mutex> lock(m_engineMutex);
        said = m_engineLines.Filter(line, m_clock());
    }
    if (!said.empty()) {
        Note("Network: " + said);
    }
}

void NetworkLink::Note(const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_notesMutex);
    if (m_noteCount == kNotes) {
        // Full: the oldest gives way.
        m_firstNote = (m_firstNote + 1) % kNotes;
        --m_noteCount;
    }
    CopyBounded(m_notes[(m_firstNote + m_noteCount) % kNotes], text.c_str(), kNoteLength);
    ++m_noteCount;
}

bool NetworkLink::TakeNote(char* text, std::size_t size)
{
    std::unique_lock<std::mutex> lock(m_notesMutex, std::try_to_lock);
    if (!lock.owns_lock() || m_noteCount == 0 || text == nullptr || size == 0) {
        return false;
    }
    CopyBounded(text, m_notes[m_firstNote], static_cast<int>(size));
    m_firstNote = (m_firstNote + 1) % kNotes;
    --m_noteCount;
    return true;
}

void NetworkLink::OnPeerNotLetIn(const char* who)
{
    const std::string text = std::string("a computer on this domain (") + who
        + ") has been heard for 5 s but takes no part in the link: its keys do not fit this side's (another "
          "cockpit's keys, or keys on one side only), or it is another program";
    Note("Network: " + text);
}

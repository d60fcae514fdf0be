#include "net/NetworkReceiver.h"

#include "mapping/BaseSharedMemory.h"
#include "net/EngineConfiguration.h"
#include "net/KeySet.h"

#include <cstring>

namespace {

constexpr const char* kWhere = "NetworkReceiver::Start";
constexpr std::size_t kMostLines = 64;

std::int64_t SteadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The engine's threads start with every signal blocked: a block shrunk
// under one of them while it writes must read zeros, not end the receiver.
void GuardEngineThread()
{
    thread_local bool guarded = false;
    if (!guarded) {
        BaseSharedMemory::GuardCallingThread();
        guarded = true;
    }
}

} // namespace

NetworkReceiver::NetworkReceiver(void* block)
    : NetworkReceiver(block, CreateLinkTransport, SteadyNanoseconds)
{
}

NetworkReceiver::NetworkReceiver(void* block, TransportFactory factory, Clock clock)
    : m_block(block)
    , m_factory(std::move(factory))
    , m_clock(clock != nullptr ? clock : SteadyNanoseconds)
{
}

NetworkReceiver::~NetworkReceiver()
{
    Stop();
}

bool NetworkReceiver::Start(const NetworkSettings& settings)
{
    Stop();
    std::string problem;
    if (m_block == nullptr) {
        ReportError(kWhere, "The receiver has no block to write into.");
        return false;
    }
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
        const std::vector<std::string> faults = KeySet::Check(settings.keys, LinkRole::Receiver);
        if (!faults.empty()) {
            std::string text = "The network link cannot start: the key folder cannot be used:";
            for (const std::string& fault : faults) {
                text += "\n" + fault;
            }
            ReportError(kWhere, text.c_str());
            return false;
        }
        keys = KeySet::FilesOf(settings.keys, LinkRole::Receiver);
    }
    TransportConfig config;
    config.role = LinkRole::Receiver;
    config.domain = settings.domain;
    config.peers = confined.peers;
    config.secured = !settings.keys.empty();
    config.engineConfiguration = EngineConfiguration::Text(confined, config.secured ? &keys : nullptr);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stream = Stream::Waiting;
        m_writer = 0;
        m_flagsSent = false;
        m_answerDue = false;
    }
    std::unique_ptr<LinkTransport> transport = m_factory ? m_factory(config, *this, problem) : nullptr;
    if (!transport) {
        ReportError(kWhere, ("The network link cannot start: " + problem + ".").c_str());
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_transport = std::move(transport);
    // Until a sender is heard nothing publishes: whatever a publisher that died
    // left in the block is released, as after a loss.
    ReleaseControlOutputs(m_block);
    const std::string domain = std::to_string(settings.domain);
    Say(config.secured ? "waiting for a sender on domain " + domain + ", secured with the keys in " + settings.keys
                       : "waiting for a sender on domain " + domain
                + ", without keys: anybody on the network can publish into this block");
    return true;
}

void NetworkReceiver::Stop()
{
    std::unique_ptr<LinkTransport> transport;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_transport) {
            return;
        }
        m_closing = true;
        ReleaseControlOutputs(m_block);
        transport = std::move(m_transport);
    }
    // Outside the lock: closing waits for the engine's threads, which may be
    // waiting in OnControls; what they bring now is not written.
    transport.reset();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closing = false;
}

void NetworkReceiver::OnControls(const ControlsMessage& message, std::uint64_t writer)
{
    GuardEngineThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closing) {
        return;
    }
    const std::int64_t now = m_clock();
    if (m_stream == Stream::Receiving && writer != m_writer) {
        ++m_counts.otherSender;
        if (writer != m_ignoredWriter) {
            m_ignoredWriter = writer;
            Say("a second sender publishes on this domain; its samples are ignored while the first one is heard");
        }
        return;
    }
    if (writer != m_writer || message.session != m_session) {
        m_writer = writer;
        m_session = message.session;
        m_lastSequence = 0;
    }
    if (message.sequence <= m_lastSequence) {
        ++m_counts.outOfOrder;
        return;
    }
    m_lastSequence = message.sequence;
    if (!OutputsWithinLimits(message.outputs)) {
        ++m_counts.beyondLimits;
        return;
    }
    WriteControlOutputs(m_block, message.outputs);
    const std::int64_t written = m_clock();
    ++m_counts.written;
    m_lastSample = now;
    m_lastTickTime = message.tickTime;
    m_answerDue = true;
    bool wake = now - m_lastAnswer >= kAnswerInterval; // the answer goes at once, so the round trip is true
    if (m_stream != Stream::Receiving) {
        Say(m_stream == Stream::Waiting ? "receiving from a sender" : "the sender is back: receiving again");
        m_stream = Stream::Receiving;
        wake = true;
    }
    if (wake) {
        m_woken = true;
        m_activity.notify_one();
    }
    if (m_observer) {
        m_observer(message, written);
    }
}

void NetworkReceiver::OnSetUp(const SetUpMessage& message)
{
    GuardEngineThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closing) {
        return;
    }
    WriteLinkSetUp(m_block, message.setUp);
    m_lastSetUp = message.setUp;
    m_haveSetUp = true;
    ++m_counts.setUps;
    char name[sizeof message.setUp.values.configurationName + 1] = {};
    std::memcpy(name, message.setUp.values.configurationName, sizeof message.setUp.values.configurationName);
    Say(std::string("set-up received (configuration \"") + name + "\")");
}

void NetworkReceiver::KeepBlock(const std::function<bool()>& keep)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!keep()) {
        return;
    }
    if (m_haveSetUp) {
        WriteLinkSetUp(m_block, m_lastSetUp);
    }
    if (m_stream != Stream::Receiving) {
        ReleaseControlOutputs(m_block);
    }
}

void NetworkReceiver::OnSendersAlive(int count)
{
    GuardEngineThread();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (count == 0 && m_stream == Stream::Receiving) {
        Release("the sender's liveliness lapsed");
    }
}

void NetworkReceiver::OnEngineText(const char* line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string said = m_engineLines.Filter(line, m_clock());
    if (!said.empty()) {
        Say(std::move(said));
    }
}

void NetworkReceiver::Release(const char* why)
{
    ReleaseControlOutputs(m_block);
    m_stream = Stream::Released;
    m_answerDue = false;
    ++m_counts.releases;
    Say(std::string("the sender is lost (") + why + "): the controls are released");
}

void NetworkReceiver::Step()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_transport) {
        return;
    }
    const std::int64_t now = m_clock();
    if (m_stream == Stream::Receiving && now - m_lastSample > kSilenceLimit) {
        Release("no sample for 100 ms");
    }
    const SimulatorFlagBytes flags = ReadSimulatorFlags(m_block);
    const bool flagsChanged = !m_flagsSent || !(flags == m_sentFlags);
    const bool answer = m_answerDue && now - m_lastAnswer >= kAnswerInterval;
    if (flagsChanged || answer) {
        FlagsMessage message;
        message.flags = flags;
        if (m_stream == Stream::Receiving) {
            message.echoSession = m_session;
            message.echoSequence = m_lastSequence;
            message.echoTickTime = m_lastTickTime;
        }
        if (m_transport->WriteFlags(message)) {
            m_flagsSent = true;
            m_sentFlags = flags;
            if (message.echoSequence != 0) {
                m_lastAnswer = now;
                m_answerDue = false;
            }
        }
    }
    ReportDrops(now);
}

void NetworkReceiver::ReportDrops(std::int64_t now)
{
    const std::uint64_t order = m_counts.outOfOrder - m_reported.outOfOrder;
    const std::uint64_t limits = m_counts.beyondLimits - m_reported.beyondLimits;
    if ((order == 0 && limits == 0) || now - m_lastDropReport < kDropReportInterval) {
        return;
    }
    m_lastDropReport = now;
    m_reported = m_counts;
    Say("dropped " + std::to_string(order + limits) + " samples: " + std::to_string(order) + " out of order, "
        + std::to_string(limits) + " with values beyond the outputs' limits");
}

void NetworkReceiver::WaitForActivity(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_activity.wait_for(lock, timeout, [this] { return m_woken; });
    m_woken = false;
}

void NetworkReceiver::Say(std::string line)
{
    if (m_lines.size() >= kMostLines) {
        m_lines.pop_front();
    }
    m_lines.push_back(std::move(line));
}

bool NetworkReceiver::TakeLine(std::string& line)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_lines.empty()) {
        return false;
    }
    line = std::move(m_lines.front());
    m_lines.pop_front();
    return true;
}

NetworkReceiver::Counts NetworkReceiver::GetCounts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counts;
}

bool NetworkReceiver::Receiving() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stream == Stream::Receiving;
}

void NetworkReceiver::OnPeerNotLetIn(const char* who)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string text = std::string("a computer on this domain (") + who
        + ") has been heard for 5 s but takes no part in the link: its keys do not fit this side's (another "
          "cockpit's keys, or keys on one side only), or it is another program";
    Say(text);
}

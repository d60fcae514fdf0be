// The link's network engine: Eclipse Cyclone DDS through its C API (Debian 12
// has no C++ binding), with the types idlc makes from TavelinLink.idl.
// Supports: the topics Controls (best effort, keep last 1, deadline 50 ms,
// manual-by-topic liveliness with a 100 ms lease), SetUp and SimulatorFlags
// (reliable, transient local, keep last 1, never blocking a write); DDS
// Security through the plugins of Debian's libddsc0debian (found by the
// library itself). What arrives is handed over on Cyclone's listener threads.
// The engine's warnings and errors (failed handshakes among them, which
// would otherwise only reach a trace file) go to every live transport's
// handler through one process-wide log sink.
// Limits: one transport per domain number in a process (the engine's rule);
// IPv4 (the engine's default); peers are resolved once, at creation.
#include "net/LinkTransport.h"

#include "TavelinLink.h"

#include <dds/dds.h>
#include <dds/version.h>
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace {

constexpr const char* kControlsTopic = "Controls";
constexpr const char* kSetUpTopic = "SetUp";
constexpr const char* kFlagsTopic = "SimulatorFlags";
constexpr int kTakeAtOnce = 8;
// How long a computer may be heard without taking part before it is named.
constexpr auto kLetInPatience = std::chrono::seconds(5);
constexpr auto kWatchStep = std::chrono::milliseconds(500);

class CycloneTransport;

// The handlers that the engine's log lines go to.
class LogRoute {
public:
    static void Join(CycloneTransport* transport);
    static void Leave(CycloneTransport* transport);

private:
    static void OnLog(void* context, const dds_log_data_t* data);
    static std::mutex s_mutex;
    static std::vector<CycloneTransport*> s_transports;
    static std::once_flag s_installed;
};

std::mutex LogRoute::s_mutex;
std::vector<CycloneTransport*> LogRoute::s_transports;
std::once_flag LogRoute::s_installed;

std::string ReturnText(dds_return_t code)
{
    return dds_strretcode(code);
}

void Copy(char* to, std::size_t size, const char* from)
{
    std::memcpy(to, from, size);
    to[size - 1] = '\0';
}

class CycloneTransport : public LinkTransport {
public:
    CycloneTransport(const TransportConfig& config, LinkHandler& handler)
        : m_config(config)
        , m_handler(handler)
    {
    }

    ~CycloneTransport() override
    {
        {
            std::lock_guard<std::mutex> lock(m_watchMutex);
            m_watchStopping = true;
        }
        m_watchWake.notify_one();
        if (m_watch.joinable()) {
            m_watch.join();
        }
        // First away from the log, so no line reaches a handler that is going.
        LogRoute::Leave(this);
        if (m_domain > 0) {
            dds_delete(m_domain);
        }
    }

    bool Create(std::string& error)
    {
        for (const std::string& peer : m_config.peers) {
            if (!Resolves(peer, error)) {
                return false;
            }
        }
        LogRoute::Join(this);
        {
            std::lock_guard<std::mutex> lock(m_startMutex);
            m_starting = true;
        }
        const bool made = MakeEntities(error);
        if (made) {
            m_watch = std::thread([this] { WatchParticipants(); });
        }
        std::lock_guard<std::mutex> lock(m_startMutex);
        m_starting = false;
        if (!made && !m_startLines.empty()) {
            error += ":";
            for (const std::string& line : m_startLines) {
                error += "\n" + line;
            }
        }
        return made;
    }

    bool WriteControls(const ControlsMessage& message) override
    {
        TavelinLink_Controls sample {};
        sample.senderSession = message.session;
        sample.sequenceNumber = message.sequence;
        sample.tickTime = message.tickTime;
        const ControlOutputs& o = message.outputs;
        sample.pitch = o.pitch;
        sample.roll = o.roll;
        sample.pedals = o.pedals;
        sample.thrLvrL = o.thrLvrL;
        sample.thrLvrR = o.thrLvrR;
        sample.tiller = o.tiller;
        sample.apDisc = o.apDisc;
        sample.atDisc = o.atDisc;
        sample.ptt = o.ptt;
        sample.brakeL = o.brakeL;
        sample.brakeR = o.brakeR;
        sample.reverser = o.reverser;
        return m_controlsWriter > 0 && dds_write(m_controlsWriter, &sample) >= 0;
    }

    bool WriteSetUp(const SetUpMessage& message) override
    {
        TavelinLink_SetUp sample {};
        sample.senderSession = message.session;
        sample.sequenceNumber = message.sequence;
        const SetUpValues& s = message.setUp.values;
        sample.configurationIndex = s.configurationIndex;
        sample.defaultJoystickId = s.defaultJoystickId;
        std::memcpy(sample.configurationName, s.configurationName, sizeof sample.configurationName);
        static_assert(sizeof sample.axes / sizeof sample.axes[0] == CockpitAxisTable::kRowCount);
        static_assert(sizeof sample.buttons / sizeof sample.buttons[0] == kCockpitButtonCount);
        static_assert(sizeof sample.settings == sizeof s.tuning);
        static_assert(sizeof sample.mirrors == sizeof message.setUp.mirrors);
        for (int i = 0; i < CockpitAxisTable::kRowCount; ++i) {
            std::memcpy(sample.axes[i].joystickText, s.axes[i].joystickText, sizeof sample.axes[i].joystickText);
            sample.axes[i].joystickId = s.axes[i].joystickId;
            sample.axes[i].slot = s.axes[i].slot;
            sample.axes[i].input = s.axes[i].input;
        }
        for (int i = 0; i < kCockpitButtonCount; ++i) {
            std::memcpy(
                sample.buttons[i].joystickText, s.buttons[i].joystickText, sizeof sample.buttons[i].joystickText);
            sample.buttons[i].joystickId = s.buttons[i].joystickId;
            sample.buttons[i].slot = s.buttons[i].slot;
            sample.buttons[i].buttonNumber = s.buttons[i].buttonNumber;
        }
        std::memcpy(sample.settings, s.tuning, sizeof sample.settings);
        std::memcpy(sample.mirrors, message.setUp.mirrors, sizeof sample.mirrors);
        return m_setUpWriter > 0 && dds_write(m_setUpWriter, &sample) >= 0;
    }

    bool WriteFlags(const FlagsMessage& message) override
    {
        TavelinLink_SimulatorFlags sample {};
        std::memcpy(sample.gear, message.flags.gear, sizeof sample.gear);
        std::memcpy(sample.parkBrake, message.flags.parkBrake, sizeof sample.parkBrake);
        sample.echoSession = message.echoSession;
        sample.echoSequenceNumber = message.echoSequence;
        sample.echoTickTime = message.echoTickTime;
        return m_flagsWriter > 0 && dds_write(m_flagsWriter, &sample) >= 0;
    }

    void OnEngineLine(const char* line)
    {
        {
            std::lock_guard<std::mutex> lock(m_startMutex);
            if (m_starting && m_startLines.size() < 8) {
                m_startLines.emplace_back(line);
            }
        }
        m_handler.OnEngineText(line);
    }

private:
    static bool Resolves(const std::string& peer, std::string& error)
    {
        // "host:port": the host alone is looked up (an IPv6 address has several colons).
        std::string host = peer;
        const std::size_t colon = host.rfind(':');
        if (colon != std::string::npos && host.find(':') == colon) {
            host.resize(colon);
        }
        addrinfo hints {};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        const int status = getaddrinfo(host.c_str(), nullptr, &hints, &found);
        if (status != 0) {
            error = "the peer \"" + peer + "\" does not resolve to an IPv4 address (" + gai_strerror(status) + ")";
            return false;
        }
        freeaddrinfo(found);
        return true;
    }

    static dds_qos_t* ControlsQos()
    {
        dds_qos_t* qos = dds_create_qos();
        dds_qset_reliability(qos, DDS_RELIABILITY_BEST_EFFORT, 0);
        dds_qset_history(qos, DDS_HISTORY_KEEP_LAST, 1);
        dds_qset_deadline(qos, DDS_MSECS(50));
        dds_qset_liveliness(qos, DDS_LIVELINESS_MANUAL_BY_TOPIC, DDS_MSECS(100));
        return qos;
    }

    // A write never waits for acknowledgements: max blocking time 0.
    static dds_qos_t* KeptQos()
    {
        dds_qos_t* qos = dds_create_qos();
        dds_qset_reliability(qos, DDS_RELIABILITY_RELIABLE, 0);
        dds_qset_durability(qos, DDS_DURABILITY_TRANSIENT_LOCAL);
        dds_qset_history(qos, DDS_HISTORY_KEEP_LAST, 1);
        return qos;
    }

    bool Failed(const char* what, dds_entity_t code, std::string& error)
    {
        if (code > 0) {
            return false;
        }
        error = std::string("the network engine could not ") + what + " (" + ReturnText(code) + ")";
        return true;
    }

    bool MakeEntities(std::string& error)
    {
        m_domain
            = dds_create_domain(static_cast<dds_domainid_t>(m_config.domain), m_config.engineConfiguration.c_str());
        if (Failed("start on its configuration", m_domain, error)) {
            return false;
        }
        const dds_entity_t participant
            = dds_create_participant(static_cast<dds_domainid_t>(m_config.domain), nullptr, nullptr);
        if (Failed(m_config.secured ? "start with the keys" : "start", participant, error)) {
            return false;
        }
        const dds_entity_t controls
            = dds_create_topic(participant, &TavelinLink_Controls_desc, kControlsTopic, nullptr, nullptr);
        const dds_entity_t setUp
            = dds_create_topic(participant, &TavelinLink_SetUp_desc, kSetUpTopic, nullptr, nullptr);
        const dds_entity_t flags
            = dds_create_topic(participant, &TavelinLink_SimulatorFlags_desc, kFlagsTopic, nullptr, nullptr);
        if (Failed("make the topics", std::min({ controls, setUp, flags }), error)) {
            return false;
        }
        dds_qos_t* controlsQos = ControlsQos();
        dds_qos_t* keptQos = KeptQos();
        bool made = false;
        if (m_config.role == LinkRole::Sender) {
            m_controlsWriter = dds_create_writer(participant, controls, controlsQos, nullptr);
            m_setUpWriter = dds_create_writer(participant, setUp, keptQos, nullptr);
            dds_listener_t* listener = dds_create_listener(this);
            dds_lset_data_available(listener, &CycloneTransport::OnFlagsAvailable);
            const dds_entity_t reader = dds_create_reader(participant, flags, keptQos, listener);
            dds_delete_listener(listener);
            made = !Failed("make its endpoints", std::min({ m_controlsWriter, m_setUpWriter, reader }), error);
        } else {
            m_flagsWriter = dds_create_writer(participant, flags, keptQos, nullptr);
            dds_listener_t* listener = dds_create_listener(this);
            dds_lset_data_available(listener, &CycloneTransport::OnControlsAvailable);
            dds_lset_liveliness_changed(listener, &CycloneTransport::OnLivelinessChanged);
            const dds_entity_t controlsReader = dds_create_reader(participant, controls, controlsQos, listener);
            m_controlsReader = controlsReader;
            dds_delete_listener(listener);
            listener = dds_create_listener(this);
            dds_lset_data_available(listener, &CycloneTransport::OnSetUpAvailable);
            const dds_entity_t setUpReader = dds_create_reader(participant, setUp, keptQos, listener);
            dds_delete_listener(listener);
            made = !Failed("make its endpoints", std::min({ m_flagsWriter, controlsReader, setUpReader }), error);
        }
        dds_delete_qos(controlsQos);
        dds_delete_qos(keptQos);
        m_participant = participant;
        m_participants = dds_create_reader(participant, DDS_BUILTIN_TOPIC_DCPSPARTICIPANT, nullptr, nullptr);
        dds_get_guid(participant, &m_ownGuid);
        return made;
    }

    // Every computer heard on the domain (the engine announces participants
    // before their keys are checked) must come to share an endpoint with this
    // side; one that does not within a few seconds is named once. This is how
    // the side whose handshake fails silently learns of it.
    void WatchParticipants()
    {
        struct Heard {
            std::chrono::steady_clock::time_point since;
            bool settled = false;
        };
        std::map<std::string, Heard> heard;
        std::unique_lock<std::mutex> lock(m_watchMutex);
        while (!m_watchWake.wait_for(lock, kWatchStep, [this] { return m_watchStopping; })) {
            lock.unlock();
            const auto now = std::chrono::steady_clock::now();
            TakeParticipants(heard, now);
            std::vector<std::string> partners;
            Partners(partners);
            for (auto& [key, entry] : heard) {
                if (entry.settled) {
                    continue;
                }
                if (std::find(partners.begin(), partners.end(), key) != partners.end()) {
                    entry.settled = true;
                } else if (now - entry.since >= kLetInPatience) {
                    entry.settled = true;
                    m_handler.OnPeerNotLetIn(("participant " + key.substr(0, 24)).c_str());
                }
            }
            lock.lock();
        }
    }

    static std::string GuidText(const dds_guid_t& guid)
    {
        char text[2 * sizeof guid.v + 1] = {};
        for (std::size_t i = 0; i < sizeof guid.v; ++i) {
            std::snprintf(text + 2 * i, 3, "%02x", guid.v[i]);
        }
        return text;
    }

    // Other processes' participants only (the first twelve bytes are the process's prefix).
    bool Foreign(const dds_guid_t& guid) const { return std::memcmp(guid.v, m_ownGuid.v, 12) != 0; }

    template <class Heard>
    void TakeParticipants(std::map<std::string, Heard>& heard, std::chrono::steady_clock::time_point now)
    {
        if (m_participants <= 0) {
            return;
        }
        TakeAll<dds_builtintopic_participant_t>(
            m_participants,
            [&](const dds_builtintopic_participant_t& participant, const dds_sample_info_t& info) {
                if (!Foreign(participant.key)) {
                    return;
                }
                const std::string key = GuidText(participant.key);
                if (info.instance_state == DDS_IST_ALIVE) {
                    heard.try_emplace(key, Heard { now, false });
                } else {
                    heard.erase(key);
                }
            },
            true);
    }

    // The participants this side shares a Controls endpoint with.
    void Partners(std::vector<std::string>& out) const
    {
        const bool sender = m_config.role == LinkRole::Sender;
        const dds_entity_t endpoint = sender ? m_controlsWriter : m_controlsReader;
        if (endpoint <= 0) {
            return;
        }
        dds_instance_handle_t handles[16];
        const dds_return_t count = sender ? dds_get_matched_subscriptions(endpoint, handles, 16)
                                          : dds_get_matched_publications(endpoint, handles, 16);
        for (dds_return_t i = 0; i < std::min<dds_return_t>(count, 16); ++i) {
            dds_builtintopic_endpoint_t* data = sender ? dds_get_matched_subscription_data(endpoint, handles[i])
                                                       : dds_get_matched_publication_data(endpoint, handles[i]);
            if (data != nullptr) {
                out.push_back(GuidText(data->participant_key));
                dds_builtintopic_free_endpoint(data);
            }
        }
    }

    template <class Sample, class Deliver>
    static void TakeAll(dds_entity_t reader, Deliver deliver, bool invalidToo = false)
    {
        void* samples[kTakeAtOnce] = {};
        dds_sample_info_t infos[kTakeAtOnce];
        for (;;) {
            const dds_return_t count = dds_take(reader, samples, infos, kTakeAtOnce, kTakeAtOnce);
            if (count <= 0) {
                return;
            }
            for (dds_return_t i = 0; i < count; ++i) {
                if (infos[i].valid_data || invalidToo) {
                    deliver(*static_cast<const Sample*>(samples[i]), infos[i]);
                }
            }
            dds_return_loan(reader, samples, count);
            if (count < kTakeAtOnce) {
                return;
            }
        }
    }

    static void OnControlsAvailable(dds_entity_t reader, void* context)
    {
        auto* self = static_cast<CycloneTransport*>(context);
        TakeAll<TavelinLink_Controls>(
            reader, [self](const TavelinLink_Controls& sample, const dds_sample_info_t& info) {
                ControlsMessage message;
                message.session = sample.senderSession;
                message.sequence = sample.sequenceNumber;
                message.tickTime = sample.tickTime;
                ControlOutputs& o = message.outputs;
                o.pitch = sample.pitch;
                o.roll = sample.roll;
                o.pedals = sample.pedals;
                o.thrLvrL = sample.thrLvrL;
                o.thrLvrR = sample.thrLvrR;
                o.tiller = sample.tiller;
                o.apDisc = sample.apDisc;
                o.atDisc = sample.atDisc;
                o.ptt = sample.ptt;
                o.brakeL = sample.brakeL;
                o.brakeR = sample.brakeR;
                o.reverser = sample.reverser;
                self->m_handler.OnControls(message, info.publication_handle);
            });
    }

    static void OnSetUpAvailable(dds_entity_t reader, void* context)
    {
        auto* self = static_cast<CycloneTransport*>(context);
        TakeAll<TavelinLink_SetUp>(reader, [self](const TavelinLink_SetUp& sample, const dds_sample_info_t&) {
            SetUpMessage message;
            message.session = sample.senderSession;
            message.sequence = sample.sequenceNumber;
            SetUpValues& s = message.setUp.values;
            s.configurationIndex = sample.configurationIndex;
            s.defaultJoystickId = sample.defaultJoystickId;
            Copy(s.configurationName, sizeof s.configurationName, sample.configurationName);
            for (int i = 0; i < CockpitAxisTable::kRowCount; ++i) {
                Copy(s.axes[i].joystickText, sizeof s.axes[i].joystickText, sample.axes[i].joystickText);
                s.axes[i].joystickId = sample.axes[i].joystickId;
                s.axes[i].slot = sample.axes[i].slot;
                s.axes[i].input = sample.axes[i].input;
            }
            for (int i = 0; i < kCockpitButtonCount; ++i) {
                Copy(s.buttons[i].joystickText, sizeof s.buttons[i].joystickText, sample.buttons[i].joystickText);
                s.buttons[i].joystickId = sample.buttons[i].joystickId;
                s.buttons[i].slot = sample.buttons[i].slot;
                s.buttons[i].buttonNumber = sample.buttons[i].buttonNumber;
            }
            std::memcpy(s.tuning, sample.settings, sizeof s.tuning);
            std::memcpy(message.setUp.mirrors, sample.mirrors, sizeof message.setUp.mirrors);
            self->m_handler.OnSetUp(message);
        });
    }

    static void OnFlagsAvailable(dds_entity_t reader, void* context)
    {
        auto* self = static_cast<CycloneTransport*>(context);
        TakeAll<TavelinLink_SimulatorFlags>(
            reader, [self](const TavelinLink_SimulatorFlags& sample, const dds_sample_info_t&) {
                FlagsMessage message;
                std::memcpy(message.flags.gear, sample.gear, sizeof message.flags.gear);
                std::memcpy(message.flags.parkBrake, sample.parkBrake, sizeof message.flags.parkBrake);
                message.echoSession = sample.echoSession;
                message.echoSequence = sample.echoSequenceNumber;
                message.echoTickTime = sample.echoTickTime;
                self->m_handler.OnFlags(message);
            });
    }

    static void OnLivelinessChanged(dds_entity_t, const dds_liveliness_changed_status_t status, void* context)
    {
        static_cast<CycloneTransport*>(context)->m_handler.OnSendersAlive(static_cast<int>(status.alive_count));
    }

    TransportConfig m_config;
    LinkHandler& m_handler;
    dds_entity_t m_domain = 0;
    dds_entity_t m_controlsWriter = 0;
    dds_entity_t m_setUpWriter = 0;
    dds_entity_t m_flagsWriter = 0;
    dds_entity_t m_controlsReader = 0;
    dds_entity_t m_participant = 0;
    dds_entity_t m_participants = 0;
    dds_guid_t m_ownGuid {};
    std::thread m_watch;
    std::mutex m_watchMutex;
    std::condition_variable m_watchWake;
    bool m_watchStopping = false;
    std::mutex m_startMutex;
    bool m_starting = false;
    std::vector<std::string> m_startLines;
};

void LogRoute::Join(CycloneTransport* transport)
{
    // Installed once and kept: without a transport the lines go nowhere, and
    // library code never prints. Not under s_mutex: the engine calls OnLog
    // with its own sink lock held, which installing takes too.
    std::call_once(s_installed, [] { dds_set_log_sink(&LogRoute::OnLog, nullptr); });
    std::lock_guard<std::mutex> lock(s_mutex);
    s_transports.push_back(transport);
}

void LogRoute::Leave(CycloneTransport* transport)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_transports.erase(std::remove(s_transports.begin(), s_transports.end(), transport), s_transports.end());
}

void LogRoute::OnLog(void*, const dds_log_data_t* data)
{
    if (data == nullptr || data->message == nullptr) {
        return;
    }
    std::string line(data->message, data->size);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    if (line.empty()) {
        return;
    }
    std::lock_guard<std::mutex> lock(s_mutex);
    for (CycloneTransport* transport : s_transports) {
        transport->OnEngineLine(line.c_str());
    }
}

} // namespace

bool NetworkEngineAvailable()
{
    return true;
}

const char* NetworkEngineDescription()
{
    return "network link: Eclipse Cyclone DDS " DDS_VERSION " with DDS Security";
}

std::unique_ptr<LinkTransport> CreateLinkTransport(
    const TransportConfig& config, LinkHandler& handler, std::string& error)
{
    auto transport = std::make_unique<CycloneTransport>(config, handler);
    if (!transport->Create(error)) {
        return nullptr;
    }
    return transport;
}

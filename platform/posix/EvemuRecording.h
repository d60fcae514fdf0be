// EvemuRecording: one device as `evemu-record` writes it (its description,
// then its timed events), read into memory and played back onto a libevdev
// handle of its own, so that the evdev backend reads it as it reads a node.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct libevdev;

struct EvemuEvent {
    std::int64_t microseconds = 0; // from the recording's first event
    std::uint16_t type = 0;
    std::uint16_t code = 0;
    std::int32_t value = 0;
};

struct EvemuAxis {
    int code = 0;
    int minimum = 0;
    int maximum = 0;
    int fuzz = 0;
    int flat = 0;
    int resolution = 0;
};

class EvemuRecording {
public:
    // The most a recording may hold: about two hours of a busy device.
    static constexpr std::uintmax_t kMaxFileBytes = 256u << 20;

    // Reads the file. Everything up to its first bad line is kept; that line
    // is named in GetProblem ("<file>, line <n>: <what>"), and playing stops
    // there. A file that cannot be read at all has a problem and no device.
    explicit EvemuRecording(std::string path);

    const std::string& Path() const { return m_path; }
    // Whether a device was described (a name and an I: line at least).
    bool HasDevice() const { return m_hasDevice; }
    const std::string& GetProblem() const { return m_problem; }
    // Microseconds from the first event to the last one that plays.
    std::int64_t Duration() const { return m_events.empty() ? 0 : m_events.back().microseconds; }
    const std::vector<EvemuEvent>& Events() const { return m_events; }

    // A handle holding the described device in its start state (every axis
    // at 0, every key up, as a freshly made device is); null without a device.
    libevdev* MakeDevice() const;

private:
    void Parse(const std::string& text);
    bool ParseLine(const std::string& line);
    bool Fail(std::size_t line, const std::string& what);

    std::string m_path;
    bool m_hasDevice = false;
    bool m_haveId = false;
    std::string m_problem;
    std::string m_lineError;
    std::string m_name;
    std::uint16_t m_id[4] = {}; // bus, vendor, product, version
    std::vector<std::uint8_t> m_properties;
    std::vector<std::vector<std::uint8_t>> m_bits; // per event type (index 0: the types)
    std::vector<EvemuAxis> m_axes;
    std::vector<EvemuEvent> m_events;
    // While reading: the frame not yet closed by a SYN_REPORT, and where it began.
    std::vector<EvemuEvent> m_frame;
    std::size_t m_frameLine = 0;
    std::int64_t m_firstTime = -1;
    std::int64_t m_lastTime = 0;
    bool m_inEvents = false;
};

// Where a recording is in its playback, over a handle made by MakeDevice.
class EvemuPlayback {
public:
    EvemuPlayback(const EvemuRecording& recording, bool loop)
        : m_recording(&recording)
        , m_loop(loop)
    {
    }
    // Applies every frame due at `microseconds` after playback began, as the
    // kernel hands a reader whole frames. Past the end the device keeps its
    // last state, or (looping) goes back to its start state and plays again.
    void PlayUntil(libevdev* device, std::int64_t microseconds);
    // True once the first warning-worthy point (the recording's problem) was reached.
    bool ReachedProblem() const { return m_reachedEnd && !m_recording->GetProblem().empty(); }

private:
    void Restart(libevdev* device);
    void Apply(libevdev* device, std::int64_t local);

    const EvemuRecording* m_recording;
    bool m_loop;
    std::size_t m_next = 0;
    std::int64_t m_cycle = 0;
    bool m_reachedEnd = false;
};

// Recording the slots: a line per change, written through a buffer of our own.
#include "devices/JoystickRecorder.h"

#include "devices/JoystickSet.h"
#include "support/Paths.h"
#include "support/TextFunctions.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr std::size_t kBufferBytes = 64 * 1024;
constexpr std::int64_t kFlushMilliseconds = 1000;

} // namespace

JoystickRecorder::~JoystickRecorder()
{
    std::string ignored;
    Stop(ignored);
}

bool JoystickRecorder::Start(const std::string& path, std::int64_t milliseconds, std::string& reason)
{
    Stop(reason);
    reason.clear();
    std::remove(path.c_str());
    std::FILE* file = Paths::CreateNewFile(path, reason);
    if (file == nullptr) {
        reason = path + ": " + reason;
        return false;
    }
    if (!m_buffer) {
        m_buffer = std::make_unique<char[]>(kBufferBytes);
    }
    std::setvbuf(file, m_buffer.get(), _IOFBF, kBufferBytes);
    m_file = file;
    m_path = path;
    m_start = milliseconds;
    m_lastFlush = milliseconds;
    m_failed = false;
    m_failure.clear();
    for (bool& declared : m_declared) {
        declared = false;
    }
    const std::string header = std::string(kRecordingHeader)
        + "\n# Tavelin's recording of its four joystick slots: times in milliseconds from the start\n";
    Write(header.c_str(), header.size());
    return !m_failed;
}

void JoystickRecorder::Record(const JoystickSet& set, std::int64_t milliseconds)
{
    if (m_file == nullptr) {
        return;
    }
    const std::int64_t at = milliseconds >= m_start ? milliseconds - m_start : 0;
    char line[kRecordingLineLength];
    for (int slot = 0; slot < kJoystickSlots && m_file != nullptr; ++slot) {
        JoystickState state;
        if (!set.GetSlotState(slot, state)) {
            continue;
        }
        const RecordedState now = RecordedStateOf(state, set.IsSlotLost(slot));
        if (!m_declared[slot]) {
            // The name last: it may hold blanks. A line end in a name would break the line.
            char name[256];
            CopyBounded(name, set.GetDeviceName(slot), static_cast<int>(sizeof name));
            for (char& c : name) {
                c = c == '\n' || c == '\r' ? ' ' : c;
            }
            const int length = std::snprintf(line, sizeof line, "%lld JOYSTICK %d %u %d %s\n",
                static_cast<long long>(at), slot, state.joystickId, set.GetButtonCount(slot), name);
            Write(line, static_cast<std::size_t>(length > 0 ? std::min<int>(length, sizeof line - 1) : 0));
            m_declared[slot] = true;
            Write(line, FormatRecordingChange(line, at, slot, nullptr, now));
        } else {
            Write(line, FormatRecordingChange(line, at, slot, &m_last[slot], now));
        }
        m_last[slot] = now;
    }
    if (m_file != nullptr && milliseconds - m_lastFlush >= kFlushMilliseconds) {
        m_lastFlush = milliseconds;
        if (std::fflush(m_file) != 0) {
            Fail(std::strerror(errno));
        }
    }
}

bool JoystickRecorder::Write(const char* text, std::size_t length)
{
    if (m_file == nullptr || length == 0) {
        return m_file != nullptr;
    }
    if (std::fwrite(text, 1, length, m_file) != length) {
        Fail(std::strerror(errno));
        return false;
    }
    return true;
}

void JoystickRecorder::Fail(const char* what)
{
    m_failed = true;
    m_failure = m_path + ": the recording could not be written (" + what + ") and has stopped";
    std::fclose(m_file);
    m_file = nullptr;
}

bool JoystickRecorder::Stop(std::string& reason)
{
    if (m_file == nullptr) {
        reason = m_failed ? m_failure : "";
        return !m_failed;
    }
    const bool flushed = std::fflush(m_file) == 0;
    const int error = errno;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!flushed || !closed) {
        m_failed = true;
        m_failure = m_path + ": the end of the recording could not be written (" + std::strerror(error) + ")";
    }
    reason = m_failed ? m_failure : "";
    return !m_failed;
}

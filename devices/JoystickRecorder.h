// JoystickRecorder: writes what the four slots showed, tick by tick, into a
// Tavelin recording (devices/JoystickRecording.h) while it runs. A tick
// formats only what changed into a buffer of its own; the file is written
// once a second, at the end and when the buffer is full.
#pragma once

#include "devices/JoystickRecording.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class JoystickSet;

class JoystickRecorder {
public:
    JoystickRecorder() = default;
    ~JoystickRecorder();
    JoystickRecorder(const JoystickRecorder&) = delete;
    JoystickRecorder& operator=(const JoystickRecorder&) = delete;

    // Starts a recording into the new file `path` (an existing one is
    // replaced); `milliseconds` on the caller's clock is its time 0. False
    // with the reason when the file cannot be made.
    bool Start(const std::string& path, std::int64_t milliseconds, std::string& reason);
    // After a tick's PollAll: every slot's change since the last tick.
    void Record(const JoystickSet& set, std::int64_t milliseconds);
    // Ends the recording; false with the reason when it could not all be written.
    bool Stop(std::string& reason);

    bool IsRecording() const { return m_file != nullptr; }
    const std::string& Path() const { return m_path; }
    // Set when a write failed while recording (the recording has ended then).
    bool Failed() const { return m_failed; }
    const std::string& GetFailure() const { return m_failure; }

private:
    bool Write(const char* text, std::size_t length);
    void Fail(const char* what);

    std::FILE* m_file = nullptr;
    std::unique_ptr<char[]> m_buffer;
    std::string m_path;
    std::int64_t m_start = 0;
    std::int64_t m_lastFlush = 0;
    bool m_declared[kJoystickSlots] = {};
    RecordedState m_last[kJoystickSlots];
    bool m_failed = false;
    std::string m_failure;
};

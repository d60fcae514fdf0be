// FlightRecording: the main window's "Record" toggle and TAVELIN_RECORD. While
// it records, every tick's four slot states go into a Tavelin recording
// (devices/JoystickRecorder.h); the button reads "Stop" then. The warning
// list says where a recording goes, where it ended and why, if it could
// not be written.
#pragma once

#include "devices/JoystickRecorder.h"
#include "ui/DialogView.h"

#include <cstdint>
#include <string>

class JoystickSet;

class FlightRecording {
public:
    static constexpr const char* kRecordText = "Record";
    static constexpr const char* kStopText = "Stop";

    void Bind(DialogView* view) { m_view = view; }

    // Start-up: a recording into the file TAVELIN_RECORD names, when it names one.
    void Start(JoystickSet& set, std::int64_t now);
    // The button: starts a recording into a new file of the configuration
    // folder (Recording-<date>-<time>.txt), or ends the one running.
    void OnRecordButton(JoystickSet& set, std::int64_t now);
    // Every tick, after the poll: no allocation while nothing fails.
    void OnTick(JoystickSet& set, std::int64_t now);
    // Every way out: the recording is ended and the file complete.
    void Stop(JoystickSet* set);

    bool IsRecording() const { return m_recorder.IsRecording(); }
    const std::string& Path() const { return m_recorder.Path(); }

private:
    void StartInto(JoystickSet& set, const std::string& path, std::int64_t now);
    void ShowButton();

    DialogView* m_view = nullptr;
    JoystickRecorder m_recorder;
};

// The Record toggle and TAVELIN_RECORD.
#include "app/FlightRecording.h"

#include "app/TavelinDlgIds.h"
#include "devices/JoystickSet.h"
#include "support/Paths.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

void Note(JoystickSet* set, const std::string& text)
{
    if (set != nullptr) {
        set->AddNote(text.c_str(), NoteKind::Stays);
    }
}

// A new name in the configuration folder, after the local time it began.
std::string NewRecordingPath()
{
    const std::time_t now = std::time(nullptr);
    char stamp[32] = "unknown-time";
    if (const std::tm* local = std::localtime(&now)) {
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", local);
    }
    return Paths::ConfigurationFolder() + Paths::Separator() + "Recording-" + stamp + ".txt";
}

} // namespace

void FlightRecording::Start(JoystickSet& set, std::int64_t now)
{
    const char* path = std::getenv("TAVELIN_RECORD");
    if (path != nullptr && path[0] != '\0') {
        StartInto(set, path, now);
    }
}

void FlightRecording::OnRecordButton(JoystickSet& set, std::int64_t now)
{
    if (m_recorder.IsRecording()) {
        Stop(&set);
        return;
    }
    Paths::CreateFolders(Paths::ConfigurationFolder());
    StartInto(set, NewRecordingPath(), now);
}

void FlightRecording::StartInto(JoystickSet& set, const std::string& path, std::int64_t now)
{
    std::string reason;
    if (m_recorder.Start(path, now, reason)) {
        Note(&set, "Recording the joysticks into " + path);
    } else {
        Note(&set, "No recording: " + reason);
    }
    ShowButton();
}

void FlightRecording::OnTick(JoystickSet& set, std::int64_t now)
{
    if (!m_recorder.IsRecording()) {
        return;
    }
    m_recorder.Record(set, now);
    if (!m_recorder.IsRecording()) {
        Note(&set, m_recorder.GetFailure());
        ShowButton();
    }
}

void FlightRecording::Stop(JoystickSet* set)
{
    if (!m_recorder.IsRecording()) {
        return;
    }
    std::string reason;
    if (m_recorder.Stop(reason)) {
        Note(set, "Recording ended: " + m_recorder.Path());
    } else {
        Note(set, reason);
    }
    ShowButton();
}

void FlightRecording::ShowButton()
{
    if (m_view != nullptr) {
        m_view->SetControlText(MainIds::kRecord, m_recorder.IsRecording() ? kStopText : kRecordText);
    }
}

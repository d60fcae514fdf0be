#include "app/Calibrations.h"

#include "app/MessageEcho.h"
#include "config/CalibrationFile.h"
#include "devices/JoystickSet.h"
#include "dialogs/CalibrateDlg.h"

namespace {

constexpr const char* kCaption = "CTavelinDlg::OnCalibrate";

} // namespace

Calibrations::Calibrations(MainWindowServices& window)
    : m_window(window)
{
}

void Calibrations::ApplyTo(JoystickSet& set)
{
    if (!m_read) {
        m_read = true;
        m_path = CalibrationFile::DefaultPath();
        CalibrationFile::ReadResult read = CalibrationFile::Read(m_path);
        m_table = std::move(read.table);
        for (const std::string& note : read.notes) {
            set.AddNote(note.c_str(), NoteKind::GivesWay);
        }
    }
    set.SetCalibration(m_table);
}

void Calibrations::OnCalibrate()
{
    JoystickSet* set = m_window.JoySticks();
    if (set == nullptr || m_window.Closing()) {
        return;
    }
    CalibrationTable edited = m_table;
    const JoystickSetInputs inputs(*set);
    CCalibrateDlg dialog;
    dialog.SetInputs(inputs);
    dialog.SetTable(edited);
    if (m_window.RunChild(CCalibrateDlg::Template(), dialog) != kIdOk || m_window.Closing() || edited == m_table) {
        return;
    }
    m_table = std::move(edited);
    // Asked again: the window owns the set.
    set = m_window.JoySticks();
    if (set != nullptr) {
        set->SetCalibration(m_table);
    }
    std::string reason;
    if (!CalibrationFile::Save(m_path, m_table, reason)) {
        if (m_view != nullptr) {
            const std::string text = "The calibration could not be saved to " + m_path + ":\n" + reason
                + "\nIt is used until Tavelin ends.";
            MessageEcho::ShowBox(*m_view, text.c_str(), kCaption);
        }
        return;
    }
    if (set != nullptr) {
        const std::string note = "Calibration saved to " + m_path;
        set->AddNote(note.c_str(), NoteKind::GivesWay);
    }
}

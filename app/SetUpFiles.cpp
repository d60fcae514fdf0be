#include "app/SetUpFiles.h"

#include "app/MessageEcho.h"
#include "app/TavelinDlgIds.h"
#include "config/DefaultConfiguration.h"
#include "config/WhichConfig.h"
#include "devices/JoystickSet.h"
#include "support/Paths.h"
#include "support/TextFunctions.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

using namespace MainIds;

namespace {

constexpr const char* kCloseCaption = "Tavelin";

// What Read Alternate names the configuration it stores, by index.
constexpr const char* kSetUpNames[SetUpFiles::kFiles] = { "DEFAULT JOY STICK SET UP ", "ALTN 1 JOY STICK SET UP ",
    "ALTN 2 JOY STICK SET UP ", "ALTN 3 JOY STICK SET UP " };

// The reason alone: an error text's first line names the operation, its last the file.
std::string ReasonOf(const KQ_ErrorReport& report)
{
    std::string reason = report.GetErrorText();
    const std::size_t firstLine = reason.find('\n');
    if (firstLine != std::string::npos) {
        reason.erase(0, firstLine + 1);
    }
    reason.erase(std::min(reason.find('\n'), reason.size()));
    return reason;
}

} // namespace

SetUpFiles::SetUpFiles(MainWindowServices& window, const BlockSetUp& block)
    : m_window(window)
    , m_block(block)
{
    m_texts.Bind(TextCurrentFile, kCurrentFile);
    m_texts.Bind(TextSetUpName, kSetUpName);
}

void SetUpFiles::ShowBox(const char* text, const char* caption) const
{
    if (m_view != nullptr) {
        MessageEcho::ShowBox(*m_view, text, caption);
    }
}

void SetUpFiles::SendTexts()
{
    if (m_view != nullptr) {
        m_texts.Send(*m_view);
    }
}

void SetUpFiles::BuildPaths()
{
    for (int i = 0; i < kFiles; ++i) {
        m_paths[i] = Paths::ConfigurationFile(i);
    }
}

const std::string& SetUpFiles::Path(int index) const
{
    return m_paths[index >= 0 && index < kFiles ? index : 0];
}

// ---------------------------------------------------------------- start-up

const std::string& SetUpFiles::ChooseStartFile()
{
    const std::int32_t index = m_block.ConfigurationIndex();
    m_startFile = m_paths[index >= 1 && index <= 3 ? index : 0];
    return m_startFile;
}

void SetUpFiles::WriteDefaultIfMissing()
{
    const std::string& file = m_paths[0];
    // Anything of that name, even a link to nothing, is the operator's: never written over.
    std::error_code error;
    const auto status = std::filesystem::symlink_status(std::filesystem::path(file), error);
    if (std::filesystem::exists(status) || (error && error != std::errc::no_such_file_or_directory)) {
        return;
    }
    KQ_ErrorReport report;
    if (!DefaultConfiguration::Write(file.c_str(), report)) {
        // Published all the same, from memory; a later save writes it once the folder allows.
        m_defaultInMemory = true;
        m_firstRunNote = "No Joystick.ini was found, and the default set-up could not be saved to " + file + " ("
            + ReasonOf(report) + "): it is used from memory until Save Assignments can write it";
        return;
    }
    m_firstRunNote = "No Joystick.ini was found: the default set-up was written to " + file;
}

bool SetUpFiles::ReadsDefaultFromMemory(const std::string& path) const
{
    return m_defaultInMemory && path == m_paths[0];
}

void SetUpFiles::NoteFirstRun(JoystickSet& set) const
{
    // Tavelin's own news, not a described warning: the lamp stays green and
    // the choice dialog claims no joystick ID without a match.
    if (!m_firstRunNote.empty()) {
        set.AddNote(m_firstRunNote.c_str(), NoteKind::Stays);
    }
}

void SetUpFiles::ShowStartFile()
{
    m_texts.Set(TextCurrentFile, m_startFile.c_str());
    m_texts.Set(TextSetUpName, m_block.ConfigurationName().c_str());
}

void SetUpFiles::ShowSetUpName()
{
    m_texts.Set(TextSetUpName, m_block.ConfigurationName().c_str());
}

// ---------------------------------------------------------------- what the file held

void SetUpFiles::Loaded()
{
    m_loadedValid = false;
    m_snapshotDue = true;
}

void SetUpFiles::TakeSnapshotIfDue(const JoystickSet& set)
{
    if (m_snapshotDue) {
        TakeSnapshot(&set);
    }
}

void SetUpFiles::TakeSnapshot(const JoystickSet* set)
{
    if (set != nullptr && set->GetBlock() != nullptr) {
        m_loaded = set->SetUpInBlock().Take();
        for (std::int32_t button = 0; button < kCockpitButtonCount; ++button) {
            m_loadedAxisButtons[button] = set->GetAxisButton(button);
        }
        m_loadedValid = true;
        m_snapshotDue = false;
    }
}

bool SetUpFiles::HasUnsavedChanges(const JoystickSet* set) const
{
    if (!m_loadedValid || set == nullptr || set->GetBlock() == nullptr) {
        return false;
    }
    for (std::int32_t button = 0; button < kCockpitButtonCount; ++button) {
        const AxisButtonSetting now = set->GetAxisButton(button);
        const AxisButtonSetting then = m_loadedAxisButtons[button];
        if (now.axis != then.axis || (now.Drives() && now.threshold != then.threshold)) {
            return true;
        }
    }
    return !set->SetUpInBlock().Take().SavesAs(m_loaded);
}

bool SetUpFiles::AskBeforeClosing()
{
    if (m_view == nullptr || !HasUnsavedChanges(m_window.JoySticks())) {
        return true;
    }
    const std::string file = m_texts.Get(TextCurrentFile);
    const std::string question = "The assignment or tuning differs from " + file + "\nSave the changes before closing?";
    MessageEcho::Print(kCloseCaption, question.c_str());
    const SaveChoice choice = m_view->AskSaveDiscardCancel(question.c_str(), kCloseCaption);
    if (m_window.Closing()) {
        return true; // a close request from outside meanwhile: nobody is asked any more
    }
    JoystickSet* set = m_window.JoySticks();
    if (choice == SaveChoice::Cancel || set == nullptr) {
        return false;
    }
    if (choice == SaveChoice::Save) {
        int index = 0;
        for (int i = 0; i < kFiles; ++i) {
            if (m_paths[i] == file) {
                index = i;
            }
        }
        if (!set->SaveConfiguration(index, m_paths[index].c_str())) {
            // Nothing was saved: the window stays, so nothing is lost.
            ShowBox(set->GetErrorText(), "CTavelinDlg::OnSave");
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------- Save and Read Alternate

void SetUpFiles::OnSave()
{
    JoystickSet* set = m_window.JoySticks();
    if (set == nullptr) {
        return;
    }
    ConfigChoiceRequest request;
    request.chosenIndex = 0;
    CopyBounded(request.currentPath, m_texts.Get(TextCurrentFile), sizeof request.currentPath);
    request.reading = 0;
    // Only a described warning stands for joystick IDs that were replaced.
    request.warnings = set->HasWarnings() ? 1 : 0;
    CopyBounded(request.slotZeroText, set->GetDeviceName(0), sizeof request.slotZeroText);
    request.showSlotZero = 1;

    CWhichConfigDlg choice;
    choice.SetRequest(&request);
    const int result = m_window.RunChild(CWhichConfigDlg::Template(), choice);

    // After Cancel nothing is saved, so the window must not claim another file.
    set = m_window.JoySticks();
    if (result != kIdOk || set == nullptr || m_window.Closing()) {
        return;
    }
    const int index = request.chosenIndex >= 0 && request.chosenIndex <= 3 ? request.chosenIndex : 0;
    const std::string& file = m_paths[index];
    if (!set->SaveConfiguration(index, file.c_str())) {
        // Nothing was written there: the window keeps naming the file in use.
        ShowBox(set->GetErrorText(), "CTavelinDlg::OnSave");
        return;
    }
    m_texts.Set(TextCurrentFile, file.c_str());
    SendTexts();
    TakeSnapshot(set);
    // News, not a warning: the next save's choice claims no joystick ID without a match.
    const std::string note = "Saved to " + file;
    set->AddNote(note.c_str(), NoteKind::GivesWay);
}

std::unique_ptr<JoystickSet> SetUpFiles::ReadAlternate()
{
    // The set-up in use keeps running while the operator chooses and until
    // the chosen one has loaded.
    ConfigChoiceRequest request;
    request.chosenIndex = 0;
    CopyBounded(request.currentPath, m_texts.Get(TextCurrentFile), sizeof request.currentPath);
    request.reading = 1;
    request.warnings = 0;
    request.showSlotZero = 0;
    CWhichConfigDlg choice;
    choice.SetRequest(&request);
    m_window.RunChild(CWhichConfigDlg::Template(), choice);
    if (m_window.Closing()) {
        return nullptr; // a way out taken meanwhile: no store, no load
    }

    const int index = request.chosenIndex >= 1 && request.chosenIndex <= 3 ? request.chosenIndex : 0;
    const std::string& file = m_paths[index];
    JoystickSet::Replacement read = JoystickSet::ReadOrKeep(file.c_str(), index, kSetUpNames[index], m_block);
    if (read.set == nullptr) {
        ShowBox(read.reason.c_str(), "CTavelinDlg::OnRead1");
        return nullptr;
    }
    m_readFile = file;
    m_readName = read.setUpName;
    return std::move(read.set);
}

void SetUpFiles::ShowReadFile()
{
    m_texts.Set(TextCurrentFile, m_readFile.c_str());
    m_texts.Set(TextSetUpName, m_readName.c_str());
}

// SetUpFiles: the main window's joystick configuration files. Which file a
// start reads (the block's configuration index), the default set-up written
// on a first start, Save Assignments and Read Alternate with their choice
// dialog, the "Current Set Up" texts, and what the loaded file held, so that
// closing can ask before changes are lost.
#pragma once

#include "app/MainWindowServices.h"
#include "app/ScreenTexts.h"
#include "mapping/AxisButtons.h"
#include "mapping/SetUp.h"
#include "ui/DialogView.h"

#include <memory>
#include <string>

class JoystickSet;

class SetUpFiles {
public:
    static constexpr int kFiles = 4; // the default and three alternates

    SetUpFiles(MainWindowServices& window, const BlockSetUp& block);
    SetUpFiles(const SetUpFiles&) = delete;
    SetUpFiles& operator=(const SetUpFiles&) = delete;

    void Bind(DialogView* view) { m_view = view; }

    // The four paths in the configuration folder.
    void BuildPaths();
    // 0 the default file, 1..3 the alternates; any other index the default.
    const std::string& Path(int index) const;

    // The file the block's configuration index names (the default for any
    // other index, or without the block).
    const std::string& ChooseStartFile();
    const std::string& StartFile() const { return m_startFile; }
    // A first start: without a default file the window would have nothing to
    // publish, so the compiled-in set-up is written there (never over
    // anything of that name). When the folder takes no file the set-up is
    // read from memory instead (ReadsDefaultFromMemory), until a save can
    // write it. Either is told by NoteFirstRun once the set-up has loaded.
    void WriteDefaultIfMissing();
    void NoteFirstRun(JoystickSet& set) const;
    // Whether `path` is the default file that a first start could not write,
    // so that the compiled-in set-up is read in its place.
    bool ReadsDefaultFromMemory(const std::string& path) const;
    // The start file and the block's set-up name, for the next transfer.
    void ShowStartFile();
    // The block's set-up name alone: a block attached after the start.
    void ShowSetUpName();

    const char* CurrentFileText() const { return m_texts.Get(TextCurrentFile); }
    const char* SetUpNameText() const { return m_texts.Get(TextSetUpName); }

    // A set-up was loaded: what it holds is taken once the first cycle has
    // matched its joystick IDs to the attached joysticks.
    void Loaded();
    void TakeSnapshotIfDue(const JoystickSet& set);
    void TakeSnapshot(const JoystickSet* set);
    // Whether the assignment or tuning in the block differs from the file
    // (as it stood once loaded and resolved, or last saved).
    bool HasUnsavedChanges(const JoystickSet* set) const;
    // Before the window ends with unsaved changes: asks whether to save them.
    // True when the window may end; false when the operator stays or the
    // save failed (nothing is lost then).
    bool AskBeforeClosing();

    // Save Assignments: asks which file, and writes it only after OK.
    void OnSave();
    // Read Alternate: asks which file and reads it into a new joystick set,
    // which is returned; null when nothing changed (a way out was taken, or
    // the file could not be read: then the set-up in use keeps running and
    // the reason is shown). ShowReadFile then names what was read.
    std::unique_ptr<JoystickSet> ReadAlternate();
    void ShowReadFile();

    void SendTexts();

private:
    enum TextIndex { TextCurrentFile, TextSetUpName, kTextCount };

    void ShowBox(const char* text, const char* caption) const;

    MainWindowServices& m_window;
    const BlockSetUp& m_block;
    DialogView* m_view = nullptr;
    std::string m_paths[kFiles];
    std::string m_startFile;
    std::string m_firstRunNote; // for the warning list once the default set-up has loaded
    bool m_defaultInMemory = false; // the first start could not write the default file
    std::string m_readFile;
    std::string m_readName;
    ScreenTexts<kTextCount> m_texts;
    SetUpValues m_loaded;
    // The buttons an axis drove then: they live in the process, not in the block.
    AxisButtonSetting m_loadedAxisButtons[kCockpitButtonCount] = {};
    bool m_loadedValid = false;
    bool m_snapshotDue = false;
};

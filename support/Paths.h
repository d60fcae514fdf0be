// Where the program lives and where its joystick configuration files are kept.
// One implementation per platform (platform/posix, platform/win32).
#pragma once

#include <string>

namespace Paths {

// The folder holding the running program, without a trailing separator.
std::string ProgramFolder();

// The program's full file name (used for values relative to its folder).
std::string ProgramFileName();

// The folder of the four configuration files, without a trailing separator:
// Windows "C:\Program Files\Orrelane\Shared"; Linux
// $XDG_CONFIG_HOME/Orrelane/Shared (default ~/.config/Orrelane/Shared).
std::string ConfigurationFolder();

// The platform's path separator ('\\' on Windows, '/' elsewhere).
char Separator();

// Configuration file of index 0 (Joystick.ini) to 3 (Joystick3.ini);
// any other index gives the default file.
std::string ConfigurationFile(int index);

// Creates the folder and its missing parents; true when it exists afterwards.
bool CreateFolders(const std::string& folder);

// Moves `from` over `to`, replacing an existing `to` in one step, so that a
// reader sees either the old file or the new one. On failure `to` is left as
// it was and `reason` holds the system's text.
bool ReplaceExistingFile(const std::string& from, const std::string& to, std::string& reason);

// The platform's line end in text files: "\r\n" on Windows, "\n" elsewhere.
const char* NativeLineEnd();

} // namespace Paths

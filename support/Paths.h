// Where the program lives and where its joystick configuration files are kept.
// One implementation per platform (platform/posix, platform/win32); the file
// names are the same on both.
#pragma once

#include <cstdio>
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
inline std::string ConfigurationFile(int index)
{
    static const char* const names[] = { "Joystick.ini", "Joystick1.ini", "Joystick2.ini", "Joystick3.ini" };
    return ConfigurationFolder() + Separator() + names[index >= 0 && index <= 3 ? index : 0];
}

// Creates the folder and its missing parents; true when it exists afterwards.
bool CreateFolders(const std::string& folder);

// Creates `path` as a new, empty file open for binary writing: never an
// existing file and never through a symbolic link (O_CREAT | O_EXCL |
// O_NOFOLLOW; CREATE_NEW on Windows). Null with the system's text in `reason`.
std::FILE* CreateNewFile(const std::string& path, std::string& reason);

// The file that writing to `path` changes: the end of its chain of symbolic
// links (at most 40), or `path` itself when it is none (always on Windows).
std::string ResolveLinks(const std::string& path);

// Moves `from` over `to`, replacing an existing `to` in one step, so that a
// reader sees either the old file or the new one. `from` is first given the
// mode of an existing `to` and synced to the disk, and the folder is synced
// after the move, so a crash leaves the old file or the whole new one. On
// failure `to` is left as it was and `reason` holds the system's text.
bool ReplaceExistingFile(const std::string& from, const std::string& to, std::string& reason);

// The demo's virtual joystick file that comes with the program
// (virtual-joysticks.ini: beside tavelin.exe on Windows; on Linux in
// ../share/tavelin of the program's folder, or examples/ of the source tree
// for a program run from its build folder), or "" when there is none.
std::string DemoJoystickFile();

// The platform's line end in text files: "\r\n" on Windows, "\n" elsewhere.
const char* NativeLineEnd();

} // namespace Paths

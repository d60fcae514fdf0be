// Saving a whole text file so that a reader sees either the old file or the
// new one: written beside the target under a new temporary name (never an
// existing name, never through a link), flushed and closed, then moved over
// the target in one step. A target that is a link is replaced where it points.
#pragma once

#include <memory>
#include <string>

class SettingsFileClass;

// Writes `text` ("\n" line ends, stored as the platform's) to `path`, making
// missing folders. False with the reason when the file is left as it was.
bool ReplaceFileWithText(const std::string& path, const std::string& text, std::string& reason);

// The folder part of a path ("" for a bare name, "/" for a file in the root).
std::string FolderOf(const std::string& path);
// A new file "<target>.tmp", or when that name is taken (a save that died, or
// a link someone put there) the first free "<target>.tmp<N>"; the name taken
// is left alone. `name` is the name tried last; the file may be closed (see
// its error text) when none could be made.
std::unique_ptr<SettingsFileClass> CreateTemporary(const std::string& target, std::string& name);

// Saving a whole text file so that a reader sees either the old file or the
// new one: written beside the target under a new temporary name (never an
// existing name, never through a link), flushed and closed, then moved over
// the target in one step. A target that is a link is replaced where it points.
#pragma once

#include <string>

// Writes `text` ("\n" line ends, stored as the platform's) to `path`, making
// missing folders. False with the reason when the file is left as it was.
bool ReplaceFileWithText(const std::string& path, const std::string& text, std::string& reason);

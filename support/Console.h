// What a command-line tool needs to know about its output stream: whether it
// is a terminal (then a display can be refreshed in place); and one line to
// standard error, also from a Windows program without a console. One
// implementation per platform (platform/posix, platform/win32).
#pragma once

#include <cstddef>

namespace Console {

// Standard output is an interactive terminal, not a file or a pipe.
bool OutputIsTerminal();

// Writes `length` bytes to the process's standard error at once, unbuffered;
// nothing when there is none.
void WriteToStandardError(const char* text, std::size_t length);

} // namespace Console

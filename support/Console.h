// What a command-line tool needs to know about its output stream: whether it
// is a terminal (then a display can be refreshed in place). One implementation
// per platform (platform/posix, platform/win32).
#pragma once

namespace Console {

// Standard output is an interactive terminal, not a file or a pipe.
bool OutputIsTerminal();

} // namespace Console

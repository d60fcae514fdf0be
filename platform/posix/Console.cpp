// Console on Linux: a terminal is what isatty says it is.
#include "support/Console.h"

#include <cerrno>
#include <unistd.h>

namespace Console {

bool OutputIsTerminal()
{
    return isatty(STDOUT_FILENO) == 1;
}

void WriteToStandardError(const char* text, std::size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(STDERR_FILENO, text, length);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

} // namespace Console

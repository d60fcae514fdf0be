// Console on Linux: a terminal is what isatty says it is.
#include "support/Console.h"

#include <unistd.h>

namespace Console {

bool OutputIsTerminal()
{
    return isatty(STDOUT_FILENO) == 1;
}

} // namespace Console

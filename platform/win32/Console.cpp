// Console on Windows: standard output is a terminal when it is a console
// handle (GetConsoleMode succeeds); files and pipes are not.
#include "support/Console.h"

#include <windows.h>

namespace Console {

bool OutputIsTerminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

} // namespace Console

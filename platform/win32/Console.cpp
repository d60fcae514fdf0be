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

void WriteToStandardError(const char* text, std::size_t length)
{
    // The handle, not the run-time library's stream: a window program has
    // the handle its starter gave it even without a console.
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) {
        return;
    }
    while (length > 0) {
        DWORD written = 0;
        const DWORD chunk = length > 65536 ? 65536 : static_cast<DWORD>(length);
        if (!WriteFile(error, text, chunk, &written, nullptr) || written == 0) {
            return;
        }
        text += written;
        length -= written;
    }
}

} // namespace Console

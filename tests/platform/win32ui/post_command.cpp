// For the pictures of docs/ (docs/windows-screenshot.sh): presses a button
// of a running window from outside, as a menu command would: post_command.exe
// "<window title>" <control id>. Exits 1 when no such window is there.
#include <windows.h>

#include <cstdlib>

int wmain(int argc, wchar_t* argv[])
{
    if (argc != 3) {
        return 2;
    }
    const HWND window = FindWindowW(L"#32770", argv[1]);
    if (window == nullptr) {
        return 1;
    }
    const int id = _wtoi(argv[2]);
    return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), 0) ? 0 : 1;
}

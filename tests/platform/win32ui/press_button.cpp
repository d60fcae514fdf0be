// press_button.exe TITLE ID: presses the push button ID of the top-level
// window titled TITLE, as a click would (BM_CLICK, posted), for the scripts
// that take pictures of the native window's dialogs under Wine. Exit status 1
// when there is no such window or control.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fwprintf(stderr, L"usage: press_button.exe TITLE ID\n");
        return 2;
    }
    const HWND window = FindWindowW(nullptr, argv[1]);
    const HWND button = window != nullptr ? GetDlgItem(window, std::wcstol(argv[2], nullptr, 10)) : nullptr;
    if (button == nullptr) {
        std::fwprintf(stderr, L"press_button: no control %ls in a window \"%ls\"\n", argv[2], argv[1]);
        return 1;
    }
    PostMessageW(button, BM_CLICK, 0, 0);
    return 0;
}

#include "platform/win32ui/WideText.h"

#include <windows.h>

namespace WideText {

std::wstring FromUtf8(const char* text)
{
    if (text == nullptr || *text == '\0') {
        return {};
    }
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), needed);
    wide.resize(static_cast<std::size_t>(needed - 1));
    return wide;
}

void FromUtf8(const char* text, wchar_t* buffer, std::size_t size)
{
    if (buffer == nullptr || size == 0) {
        return;
    }
    buffer[0] = L'\0';
    if (text == nullptr || *text == '\0') {
        return;
    }
    const int written = MultiByteToWideChar(CP_UTF8, 0, text, -1, buffer, static_cast<int>(size));
    if (written <= 0) {
        // Too long for the buffer: keep what fits.
        const int partial
            = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size) - 1, buffer, static_cast<int>(size) - 1);
        buffer[partial > 0 ? partial : 0] = L'\0';
    }
}

std::string ToUtf8(const wchar_t* text, int length)
{
    if (text == nullptr || length == 0 || (length < 0 && *text == L'\0')) {
        return {};
    }
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return {};
    }
    std::string narrow(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, narrow.data(), needed, nullptr, nullptr);
    if (length < 0 && !narrow.empty() && narrow.back() == '\0') {
        narrow.pop_back();
    }
    return narrow;
}

} // namespace WideText

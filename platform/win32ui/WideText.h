// Texts between the presenters (UTF-8) and the wide-character window API.
#pragma once

#include <cstddef>
#include <string>

namespace WideText {

std::wstring FromUtf8(const char* text);
// Converts into a fixed buffer of `size` characters, always terminated; for
// values set on every tick, where an allocation per call would be waste.
void FromUtf8(const char* text, wchar_t* buffer, std::size_t size);
std::string ToUtf8(const wchar_t* text, int length = -1);

} // namespace WideText

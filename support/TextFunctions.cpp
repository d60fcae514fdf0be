#include "support/TextFunctions.h"

#include "support/NumberText.h"

#include <cstdio>
#include <cstring>

int FormatBoundedV(char* buffer, int size, const char* format, va_list args)
{
    if (buffer == nullptr || size < 1 || format == nullptr) {
        return 0;
    }
    std::memset(buffer, 0, static_cast<std::size_t>(size));
    const int count = FormatTextV(buffer, static_cast<std::size_t>(size), format, args);
    if (count < 0 || count >= size) {
        buffer[size - 1] = '\0';
    }
    return count;
}

int FormatBounded(char* buffer, int size, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int count = FormatBoundedV(buffer, size, format, args);
    va_end(args);
    return count;
}

char* CopyBounded(char* destination, const char* source, int size)
{
    if (destination == nullptr || source == nullptr || size < 1) {
        return nullptr;
    }
    // strncpy would read past an unterminated source shorter than size; this stops at its end.
    int i = 0;
    for (; i < size && source[i] != '\0'; ++i) {
        destination[i] = source[i];
    }
    for (; i < size; ++i) {
        destination[i] = '\0';
    }
    destination[size - 1] = '\0';
    return destination;
}

namespace {

constexpr std::size_t kCompareLimit = 999;

std::size_t CopyWithoutBlanks(const char* text, char (&out)[kCompareLimit + 1])
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < kCompareLimit && text[i] != '\0'; ++i) {
        if (text[i] != ' ') {
            out[n++] = text[i];
        }
    }
    out[n] = '\0';
    return n;
}

} // namespace

bool SameIgnoringBlanks(const char* a, const char* b)
{
    if (a == nullptr || b == nullptr) {
        return false;
    }
    char left[kCompareLimit + 1];
    char right[kCompareLimit + 1];
    const std::size_t leftLength = CopyWithoutBlanks(a, left);
    const std::size_t rightLength = CopyWithoutBlanks(b, right);
    return leftLength == rightLength && std::memcmp(left, right, leftLength) == 0;
}

char* CutAtNewline(char* text)
{
    return CutAtChar(text, '\n');
}

const char* SkipBlanks(const char* text)
{
    if (text == nullptr) {
        return nullptr;
    }
    while (*text == ' ') {
        ++text;
    }
    return text;
}

char* SkipBlanks(char* text)
{
    return const_cast<char*>(SkipBlanks(static_cast<const char*>(text)));
}

char* RemoveBlanks(char* text)
{
    if (text == nullptr) {
        return nullptr;
    }
    char* out = text;
    for (const char* in = text; *in != '\0'; ++in) {
        if (*in != ' ') {
            *out++ = *in;
        }
    }
    *out = '\0';
    return text;
}

char* CutAtChar(char* text, char character)
{
    if (text == nullptr) {
        return nullptr;
    }
    char* found = std::strchr(text, character);
    if (found != nullptr) {
        *found = '\0';
    }
    return text;
}

char* TabsToBlanks(char* text)
{
    if (text == nullptr) {
        return nullptr;
    }
    for (char* p = text; *p != '\0'; ++p) {
        if (*p == '\t') {
            *p = ' ';
        }
    }
    return text;
}

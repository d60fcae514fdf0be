// TextFunctions: bounded operations on zero-terminated character strings.
// A blank is the space character only; a tab is not a blank until
// TabsToBlanks has made it one. Null strings are nothing to do; nothing allocates.
#pragma once

#include <cstdarg>

#if defined(__GNUC__)
#define TAVELIN_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define TAVELIN_PRINTF_FORMAT(fmt, args)
#endif

// Zero-fills all `size` characters, formats into them (numbers as the "C"
// locale writes them, see NumberText.h) and always terminates:
// a text that does not fit keeps its first size - 1 characters.
int FormatBounded(char* buffer, int size, const char* format, ...) TAVELIN_PRINTF_FORMAT(3, 4);
int FormatBoundedV(char* buffer, int size, const char* format, va_list args) TAVELIN_PRINTF_FORMAT(3, 0);

// Copies at most size - 1 characters, pads with zeros up to size and terminates.
char* CopyBounded(char* destination, const char* source, int size);

// Equal after removing every blank from the first 999 characters of each.
bool SameIgnoringBlanks(const char* a, const char* b);

char* CutAtNewline(char* text);
const char* SkipBlanks(const char* text);
char* SkipBlanks(char* text);
char* RemoveBlanks(char* text);
char* CutAtChar(char* text, char character);
char* TabsToBlanks(char* text);

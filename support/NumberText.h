// Numbers to text and back as the "C" locale writes them, whatever locale the
// process runs under: files must read the same on every machine and a decimal
// comma must never turn a tuning value into 0. Nothing here allocates.
#pragma once

#include <cstdarg>
#include <cstddef>

// vsnprintf's contract (at most size - 1 characters and a zero when size > 0;
// returns the length the whole text would have had), with every floating
// conversion (%f %F %e %E %g %G %a %A) done by std::to_chars, so the decimal
// point is always '.'. Long doubles are formatted at double precision.
int FormatTextV(char* buffer, std::size_t size, const char* format, va_list args);

// strtod, strtof and strtoll (base 10) as in the "C" locale: leading white
// space, an optional sign, then the longest number there is; `end` (if given)
// is set after it, or to `text` when there is none (the result is then 0).
// Out of range gives +-HUGE_VAL (or 0 on underflow); integers saturate.
double TextToDouble(const char* text, const char** end = nullptr);
float TextToFloat(const char* text, const char** end = nullptr);
long long TextToLongLong(const char* text, const char** end = nullptr);

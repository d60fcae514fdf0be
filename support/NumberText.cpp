// The formatter walks the format itself: integer, character, string and
// pointer conversions go to snprintf one at a time (the locale never changes
// them), floating ones are built from std::to_chars, which always writes '.'.
#include "support/NumberText.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

// Longest floating text we build: 309 integer digits, the point and 1074
// decimals (the smallest double needs that many; every decimal beyond is 0).
constexpr int kMaxPrecision = 1074;
constexpr std::size_t kFloatRoom = 1500;

class Sink {
public:
    Sink(char* out, std::size_t size)
        : m_out(out)
        , m_size(size)
    {
    }

    void Put(char c)
    {
        if (m_pos + 1 < m_size) {
            m_out[m_pos] = c;
        }
        ++m_pos;
    }
    void Put(const char* text, std::size_t length)
    {
        for (std::size_t i = 0; i < length; ++i) {
            Put(text[i]);
        }
    }
    void Pad(char c, std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i) {
            Put(c);
        }
    }
    // Room for snprintf at the current position (0: count only).
    char* Here() { return m_pos < m_size ? m_out + m_pos : nullptr; }
    std::size_t Room() const { return m_pos < m_size ? m_size - m_pos : 0; }
    void Advance(int count)
    {
        if (count > 0) {
            m_pos += static_cast<std::size_t>(count);
        }
    }
    void Terminate()
    {
        if (m_size > 0) {
            m_out[std::min(m_pos, m_size - 1)] = '\0';
        }
    }
    std::size_t Count() const { return m_pos; }

private:
    char* m_out;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

struct Spec {
    bool left = false;
    bool plus = false;
    bool space = false;
    bool alternate = false;
    bool zero = false;
    int width = 0;
    int precision = -1; // none given
    char length[3] = {}; // "", "hh", "h", "l", "ll", "j", "z", "t", "L"
    char conversion = '\0';
};

bool IsUpper(char conversion)
{
    return conversion == 'F' || conversion == 'E' || conversion == 'G' || conversion == 'A';
}

char ToUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Digits of `magnitude` (not negative) in `out`; returns the length, 0 when it did not fit.
std::size_t Chars(char* out, std::size_t room, double magnitude, std::chars_format form, int precision)
{
    const std::to_chars_result result = precision < 0 ? std::to_chars(out, out + room, magnitude, form)
                                                      : std::to_chars(out, out + room, magnitude, form, precision);
    return result.ec == std::errc() ? static_cast<std::size_t>(result.ptr - out) : 0;
}

// The decimal exponent scientific notation with `digits` significant digits would show.
int DecimalExponent(double magnitude, int digits)
{
    if (magnitude == 0.0) {
        return 0;
    }
    char text[64];
    const std::size_t length = Chars(text, sizeof text, magnitude, std::chars_format::scientific, digits - 1);
    const char* e = static_cast<const char*>(std::memchr(text, 'e', length));
    int exponent = 0;
    if (e != nullptr) {
        const char* from = e + 1;
        if (*from == '+') {
            ++from;
        }
        std::from_chars(from, text + length, exponent);
    }
    return exponent;
}

// Removes trailing fraction zeros (and a bare point) from the mantissa part of `text`.
std::size_t StripZeros(char* text, std::size_t length)
{
    char* exponent = static_cast<char*>(std::memchr(text, 'e', length));
    const std::size_t mantissaEnd = exponent != nullptr ? static_cast<std::size_t>(exponent - text) : length;
    if (std::memchr(text, '.', mantissaEnd) == nullptr) {
        return length;
    }
    std::size_t cut = mantissaEnd;
    while (cut > 0 && text[cut - 1] == '0') {
        --cut;
    }
    if (cut > 0 && text[cut - 1] == '.') {
        --cut;
    }
    std::memmove(text + cut, text + mantissaEnd, length - mantissaEnd);
    return cut + (length - mantissaEnd);
}

// Inserts a point after the first digit when the text has none (the '#' flag).
std::size_t ForcePoint(char* text, std::size_t length, std::size_t room)
{
    if (std::memchr(text, '.', length) != nullptr || length + 1 > room) {
        return length;
    }
    const char* exponent = static_cast<const char*>(std::memchr(text, 'e', length));
    const char* p = static_cast<const char*>(std::memchr(text, 'p', length));
    const std::size_t at = exponent != nullptr ? static_cast<std::size_t>(exponent - text)
        : p != nullptr                         ? static_cast<std::size_t>(p - text)
                                               : length;
    std::memmove(text + at + 1, text + at, length - at);
    text[at] = '.';
    return length + 1;
}

void PutFloat(Sink& sink, const Spec& spec, double value)
{
    const bool negative = std::signbit(value);
    const double magnitude = std::fabs(value);
    const bool upper = IsUpper(spec.conversion);
    const char kind = static_cast<char>(spec.conversion | 0x20); // f e g a

    char digits[kFloatRoom];
    std::size_t length = 0;
    std::size_t extraZeros = 0; // asked-for digits beyond those a double has, all 0
    const char* prefix = "";
    if (std::isnan(magnitude)) {
        std::memcpy(digits, "nan", 3);
        length = 3;
    } else if (std::isinf(magnitude)) {
        std::memcpy(digits, "inf", 3);
        length = 3;
    } else if (kind == 'a') {
        prefix = upper ? "0X" : "0x";
        constexpr int kHexDigits = 13;
        if (spec.precision > kHexDigits) {
            extraZeros = static_cast<std::size_t>(spec.precision - kHexDigits);
        }
        length = Chars(digits, sizeof digits, magnitude, std::chars_format::hex, std::min(spec.precision, kHexDigits));
    } else {
        int precision = spec.precision < 0 ? 6 : spec.precision;
        if (precision > kMaxPrecision && kind != 'g') {
            extraZeros = static_cast<std::size_t>(precision - kMaxPrecision);
        }
        precision = std::min(precision, kMaxPrecision);
        if (kind == 'f') {
            length = Chars(digits, sizeof digits, magnitude, std::chars_format::fixed, precision);
        } else if (kind == 'e') {
            length = Chars(digits, sizeof digits, magnitude, std::chars_format::scientific, precision);
        } else {
            // %g: P significant digits, scientific when the exponent is < -4 or >= P.
            const int significant = precision == 0 ? 1 : precision;
            // Rounding can carry into the next power of ten only below 17
            // digits: a double is never that close to one.
            const int exponent = DecimalExponent(magnitude, std::min(significant, 17));
            if (exponent < significant && exponent >= -4) {
                length = Chars(digits, sizeof digits, magnitude, std::chars_format::fixed, significant - 1 - exponent);
            } else {
                length = Chars(digits, sizeof digits, magnitude, std::chars_format::scientific, significant - 1);
            }
            if (!spec.alternate) {
                length = StripZeros(digits, length);
            }
        }
    }
    if (spec.alternate && std::isfinite(magnitude)) {
        length = ForcePoint(digits, length, sizeof digits);
    }
    // The extra zeros end the fraction: before an exponent, if there is one.
    const char* exponentMark = static_cast<const char*>(std::memchr(digits, kind == 'a' ? 'p' : 'e', length));
    const std::size_t zerosAt = exponentMark != nullptr ? static_cast<std::size_t>(exponentMark - digits) : length;
    if (upper) {
        for (std::size_t i = 0; i < length; ++i) {
            digits[i] = ToUpper(digits[i]);
        }
    }

    const char sign = negative ? '-' : spec.plus ? '+' : spec.space ? ' ' : '\0';
    const std::size_t prefixLength = std::strlen(prefix);
    const std::size_t body = (sign != '\0' ? 1 : 0) + prefixLength + length + extraZeros;
    const std::size_t width = spec.width > 0 ? static_cast<std::size_t>(spec.width) : 0;
    const std::size_t fill = width > body ? width - body : 0;
    const bool zeroFill = spec.zero && !spec.left && std::isfinite(magnitude);
    if (!spec.left && !zeroFill) {
        sink.Pad(' ', fill);
    }
    if (sign != '\0') {
        sink.Put(sign);
    }
    sink.Put(prefix, prefixLength);
    if (zeroFill) {
        sink.Pad('0', fill);
    }
    sink.Put(digits, zerosAt);
    sink.Pad('0', extraZeros);
    sink.Put(digits + zerosAt, length - zerosAt);
    if (spec.left) {
        sink.Pad(' ', fill);
    }
}

// One non-floating conversion through snprintf, with width and precision as numbers.
template <typename T> void PutThroughC(Sink& sink, const Spec& spec, T value)
{
    char format[32];
    std::size_t n = 0;
    format[n++] = '%';
    if (spec.left) {
        format[n++] = '-';
    }
    if (spec.plus) {
        format[n++] = '+';
    }
    if (spec.space) {
        format[n++] = ' ';
    }
    if (spec.alternate) {
        format[n++] = '#';
    }
    if (spec.zero) {
        format[n++] = '0';
    }
    format[n] = '\0';
    char number[16];
    if (spec.width > 0) {
        std::snprintf(number, sizeof number, "%d", spec.width);
        std::strcat(format, number);
    }
    if (spec.precision >= 0) {
        std::snprintf(number, sizeof number, ".%d", spec.precision);
        std::strcat(format, number);
    }
    std::strcat(format, spec.length);
    n = std::strlen(format);
    format[n++] = spec.conversion;
    format[n] = '\0';
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
    // The format is one conversion, rebuilt from its checked flags, width and precision.
    sink.Advance(std::snprintf(sink.Here(), sink.Room(), format, value));
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

bool Is(const Spec& spec, const char* length)
{
    return std::strcmp(spec.length, length) == 0;
}

// Reads one conversion's argument and writes it. False for an unknown conversion.
bool PutConversion(Sink& sink, const Spec& spec, va_list& args)
{
    switch (spec.conversion) {
    case 'd':
    case 'i':
        if (Is(spec, "l")) {
            PutThroughC(sink, spec, va_arg(args, long));
        } else if (Is(spec, "ll")) {
            PutThroughC(sink, spec, va_arg(args, long long));
        } else if (Is(spec, "j")) {
            PutThroughC(sink, spec, va_arg(args, std::intmax_t));
        } else if (Is(spec, "z") || Is(spec, "t")) {
            PutThroughC(sink, spec, va_arg(args, std::ptrdiff_t));
        } else {
            PutThroughC(sink, spec, va_arg(args, int));
        }
        return true;
    case 'u':
    case 'o':
    case 'x':
    case 'X':
        if (Is(spec, "l")) {
            PutThroughC(sink, spec, va_arg(args, unsigned long));
        } else if (Is(spec, "ll")) {
            PutThroughC(sink, spec, va_arg(args, unsigned long long));
        } else if (Is(spec, "j")) {
            PutThroughC(sink, spec, va_arg(args, std::uintmax_t));
        } else if (Is(spec, "z") || Is(spec, "t")) {
            PutThroughC(sink, spec, va_arg(args, std::size_t));
        } else {
            PutThroughC(sink, spec, va_arg(args, unsigned int));
        }
        return true;
    case 'c':
        // A wint_t (for %lc) arrives promoted to int, as a char does.
        PutThroughC(sink, spec, va_arg(args, int));
        return true;
    case 's':
        if (Is(spec, "l")) {
            PutThroughC(sink, spec, va_arg(args, const wchar_t*));
        } else {
            PutThroughC(sink, spec, va_arg(args, const char*));
        }
        return true;
    case 'p':
        PutThroughC(sink, spec, va_arg(args, void*));
        return true;
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
        if (Is(spec, "L")) {
            PutFloat(sink, spec, static_cast<double>(va_arg(args, long double)));
        } else {
            PutFloat(sink, spec, va_arg(args, double));
        }
        return true;
    case 'n':
        if (int* count = va_arg(args, int*)) {
            *count = static_cast<int>(std::min<std::size_t>(sink.Count(), INT_MAX));
        }
        return true;
    default:
        return false;
    }
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether a decimal text that from_chars found out of range is too large
// (rather than too small): where its first significant digit stands,
// counted from the point, plus its exponent.
bool Overflows(const char* from, const char* to)
{
    long long position = 0;
    bool seenPoint = false;
    bool seenDigit = false;
    const char* p = from;
    for (; p < to && (IsDigit(*p) || *p == '.'); ++p) {
        if (*p == '.') {
            seenPoint = true;
        } else if (!seenDigit && *p != '0') {
            seenDigit = true;
            position = seenPoint ? position - 1 : 1;
        } else if (seenDigit && !seenPoint) {
            ++position;
        } else if (!seenDigit && seenPoint) {
            --position;
        }
    }
    long long exponent = 0;
    if (p < to && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negative = p < to && *p == '-';
        if (p < to && (*p == '-' || *p == '+')) {
            ++p;
        }
        for (; p < to && IsDigit(*p); ++p) {
            exponent = std::min(exponent * 10 + (*p - '0'), 1000000000LL);
        }
        exponent = negative ? -exponent : exponent;
    }
    return position + exponent > 0;
}

template <typename T> T TextToFloating(const char* text, const char** end)
{
    if (end != nullptr) {
        *end = text;
    }
    if (text == nullptr) {
        return T(0);
    }
    const char* p = text;
    while (IsSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // A second sign is not a number ("+-1"), which from_chars would take.
    if (*p == '+' || *p == '-') {
        return T(0);
    }
    const char* stop = p + std::strlen(p);
    std::chars_format form = std::chars_format::general;
    const char* digits = p;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        form = std::chars_format::hex;
        digits = p + 2;
    }
    T value {};
    std::from_chars_result result = std::from_chars(digits, stop, value, form);
    if (form == std::chars_format::hex && result.ptr == digits) {
        // "0x" with no hex digit after it: strtod reads the 0 alone.
        value = T(0);
        result = { p + 1, std::errc() };
    }
    if (result.ec == std::errc::result_out_of_range) {
        bool large = true;
        if (form == std::chars_format::hex) {
            const char* mark = std::find_if(digits, result.ptr, [](char c) { return c == 'p' || c == 'P'; });
            large = mark == result.ptr || mark + 1 == result.ptr || mark[1] != '-';
        } else {
            large = Overflows(digits, result.ptr);
        }
        value = large ? std::numeric_limits<T>::infinity() : T(0);
    } else if (result.ec != std::errc()) {
        return T(0);
    }
    if (end != nullptr) {
        *end = result.ptr;
    }
    return negative ? -value : value;
}

} // namespace

int FormatTextV(char* buffer, std::size_t size, const char* format, va_list args)
{
    Sink sink(buffer, buffer != nullptr ? size : 0);
    if (format == nullptr) {
        sink.Terminate();
        return 0;
    }
    // A copy of our own, so that it can be handed on by reference.
    va_list work;
    va_copy(work, args);
    const char* p = format;
    while (*p != '\0') {
        if (*p != '%') {
            sink.Put(*p++);
            continue;
        }
        const char* start = p++;
        if (*p == '%') {
            sink.Put('%');
            ++p;
            continue;
        }
        Spec spec;
        for (;; ++p) {
            if (*p == '-') {
                spec.left = true;
            } else if (*p == '+') {
                spec.plus = true;
            } else if (*p == ' ') {
                spec.space = true;
            } else if (*p == '#') {
                spec.alternate = true;
            } else if (*p == '0') {
                spec.zero = true;
            } else {
                break;
            }
        }
        if (*p == '*') {
            spec.width = va_arg(work, int);
            if (spec.width < 0) {
                spec.left = true;
                spec.width = spec.width == INT_MIN ? INT_MAX : -spec.width;
            }
            ++p;
        } else {
            for (; IsDigit(*p); ++p) {
                spec.width = std::min(spec.width * 10 + (*p - '0'), 100000);
            }
        }
        if (*p == '.') {
            ++p;
            spec.precision = 0;
            if (*p == '*') {
                spec.precision = va_arg(work, int);
                spec.precision = spec.precision < 0 ? -1 : spec.precision;
                ++p;
            } else {
                for (; IsDigit(*p); ++p) {
                    spec.precision = std::min(spec.precision * 10 + (*p - '0'), 100000);
                }
            }
        }
        std::size_t n = 0;
        while (n < 2 && (*p == 'h' || *p == 'l' || *p == 'j' || *p == 'z' || *p == 't' || *p == 'L')) {
            spec.length[n++] = *p++;
        }
        spec.conversion = *p;
        if (*p == '\0' || !PutConversion(sink, spec, work)) {
            // Not a conversion: the text stays as written.
            const char* to = *p == '\0' ? p : p + 1;
            sink.Put(start, static_cast<std::size_t>(to - start));
            p = to;
            continue;
        }
        ++p;
    }
    va_end(work);
    sink.Terminate();
    return static_cast<int>(std::min<std::size_t>(sink.Count(), INT_MAX));
}

double TextToDouble(const char* text, const char** end)
{
    return TextToFloating<double>(text, end);
}

float TextToFloat(const char* text, const char** end)
{
    return TextToFloating<float>(text, end);
}

long long TextToLongLong(const char* text, const char** end)
{
    if (end != nullptr) {
        *end = text;
    }
    if (text == nullptr) {
        return 0;
    }
    const char* p = text;
    while (IsSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (!IsDigit(*p)) {
        return 0;
    }
    unsigned long long magnitude = 0;
    bool overflow = false;
    for (; IsDigit(*p); ++p) {
        const unsigned digit = static_cast<unsigned>(*p - '0');
        if (magnitude > (std::numeric_limits<unsigned long long>::max() - digit) / 10) {
            overflow = true;
        } else {
            magnitude = magnitude * 10 + digit;
        }
    }
    if (end != nullptr) {
        *end = p;
    }
    const unsigned long long limit
        = negative ? static_cast<unsigned long long>(LLONG_MAX) + 1 : static_cast<unsigned long long>(LLONG_MAX);
    if (overflow || magnitude > limit) {
        return negative ? LLONG_MIN : LLONG_MAX;
    }
    if (negative) {
        return magnitude == limit ? LLONG_MIN : -static_cast<long long>(magnitude);
    }
    return static_cast<long long>(magnitude);
}

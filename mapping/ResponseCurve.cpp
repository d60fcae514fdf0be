#include "mapping/ResponseCurve.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr int kDecimals = 6;

// The number as the file keeps it: written with six decimals and read back,
// so that what is in use is what a save and a load give. No negative zero.
double AsStored(double value)
{
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, kDecimals);
    if (written.ec != std::errc()) {
        return value;
    }
    double stored = value;
    std::from_chars(text, written.ptr, stored, std::chars_format::fixed);
    return stored == 0.0 ? 0.0 : stored;
}

double Clamped(double u)
{
    // NaN goes to the centre rather than through the arithmetic.
    if (!(u >= -1.0)) {
        return u > 0.0 ? 1.0 : (std::isnan(u) ? 0.0 : -1.0);
    }
    return u > 1.0 ? 1.0 : u;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A plain decimal: optional sign, digits with at most one point, at least one digit.
bool ReadNumber(std::string_view word, double& value)
{
    std::size_t at = 0;
    if (at < word.size() && word[at] == '+') {
        ++at; // from_chars takes no '+'
    }
    const std::size_t first = at;
    if (at < word.size() && word[at] == '-') {
        if (first != 0) {
            return false;
        }
        ++at;
    }
    bool digits = false;
    bool point = false;
    for (; at < word.size(); ++at) {
        const char c = word[at];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (!digits) {
        return false;
    }
    const char* begin = word.data() + first;
    const char* end = word.data() + word.size();
    const auto read = std::from_chars(begin, end, value, std::chars_format::fixed);
    return read.ec == std::errc() && read.ptr == end && std::isfinite(value);
}

// Appends to a bounded buffer, keeping its terminating zero.
class TextOut {
public:
    TextOut(char* buffer, std::size_t size)
        : m_buffer(buffer)
        , m_size(size)
    {
        if (m_size > 0) {
            m_buffer[0] = '\0';
        }
    }
    void Word(const char* text)
    {
        if (m_length > 0) {
            Put(" ", 1);
        }
        Put(text, std::strlen(text));
    }
    void Number(double value)
    {
        char text[64];
        const auto written = std::to_chars(text, text + sizeof text - 1, value, std::chars_format::fixed, kDecimals);
        *(written.ec == std::errc() ? written.ptr : text) = '\0';
        Word(text);
    }
    std::size_t Length() const { return m_length; }

private:
    void Put(const char* text, std::size_t count)
    {
        if (m_size == 0) {
            return;
        }
        const std::size_t room = m_size - 1 - m_length;
        const std::size_t taken = std::min(room, count);
        std::memcpy(m_buffer + m_length, text, taken);
        m_length += taken;
        m_buffer[m_length] = '\0';
    }

    char* m_buffer;
    std::size_t m_size;
    std::size_t m_length = 0;
};

} // namespace

ResponseCurve ResponseCurve::Linear(bool invert)
{
    ResponseCurve curve;
    curve.m_invert = invert;
    return curve;
}

const char* ResponseCurve::SetExpo(double k, bool invert)
{
    if (!std::isfinite(k)) {
        return "k is not a number";
    }
    const double stored = AsStored(k);
    if (stored < 0.0 || stored > 1.0) {
        return "k must be from 0 to 1";
    }
    m_kind = CurveKind::Expo;
    m_invert = invert;
    m_k = stored;
    m_count = 0;
    return nullptr;
}

const char* ResponseCurve::SetPoints(std::span<const CurvePoint> points, bool invert)
{
    if (points.size() < static_cast<std::size_t>(kMinPoints)) {
        return "a curve through points needs at least 2 of them";
    }
    if (points.size() > static_cast<std::size_t>(kMaxPoints)) {
        return "a curve through points takes at most 16 of them";
    }
    std::array<CurvePoint, kMaxPoints> stored {};
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y)) {
            return "a point is not a number";
        }
        stored[i] = { AsStored(points[i].x), AsStored(points[i].y) };
        if (stored[i].x < -1.0 || stored[i].x > 1.0 || stored[i].y < -1.0 || stored[i].y > 1.0) {
            return "every point must lie within -1..1";
        }
        if (i > 0 && !(stored[i].x > stored[i - 1].x)) {
            return "the points' x must increase from one point to the next";
        }
    }
    if (stored[0].x != -1.0 || stored[points.size() - 1].x != 1.0) {
        return "the first point must be at x = -1 and the last at x = 1";
    }
    m_kind = CurveKind::Points;
    m_invert = invert;
    m_k = 0.0;
    m_count = static_cast<int>(points.size());
    m_points = stored;
    PrepareTangents();
    return nullptr;
}

void ResponseCurve::PrepareTangents()
{
    // Fritsch-Carlson. The slopes of the segments first.
    const int n = m_count;
    std::array<double, kMaxPoints> slope {};
    for (int i = 0; i + 1 < n; ++i) {
        slope[i] = (m_points[i + 1].y - m_points[i].y) / (m_points[i + 1].x - m_points[i].x);
        m_perWidth[i] = 1.0 / (m_points[i + 1].x - m_points[i].x);
    }
    // A segment is part of a straight run when a neighbour has its slope.
    const auto inRun = [&](int segment) {
        if (segment < 0 || segment + 1 >= n) {
            return false;
        }
        return (segment > 0 && slope[segment - 1] == slope[segment])
            || (segment + 2 < n && slope[segment + 1] == slope[segment]);
    };
    m_tangents[0] = slope[0];
    m_tangents[n - 1] = slope[n - 2];
    for (int i = 1; i + 1 < n; ++i) {
        const double left = slope[i - 1];
        const double right = slope[i];
        if (left * right <= 0.0) {
            m_tangents[i] = 0.0; // a turn or a flat: no overshoot
        } else if (inRun(i) && !inRun(i - 1)) {
            m_tangents[i] = right; // points on a line stay on it
        } else if (inRun(i - 1) && !inRun(i)) {
            m_tangents[i] = left;
        } else {
            m_tangents[i] = (left + right) / 2.0;
        }
    }
    // Tangents so large that a segment would overshoot are brought back into
    // the circle of radius 3, which keeps every segment monotone.
    for (int i = 0; i + 1 < n; ++i) {
        if (slope[i] == 0.0) {
            m_tangents[i] = 0.0;
            m_tangents[i + 1] = 0.0;
            continue;
        }
        const double a = m_tangents[i] / slope[i];
        const double b = m_tangents[i + 1] / slope[i];
        const double length = a * a + b * b;
        if (length > 9.0) {
            const double t = 3.0 / std::sqrt(length);
            m_tangents[i] = t * a * slope[i];
            m_tangents[i + 1] = t * b * slope[i];
        }
    }
}

double ResponseCurve::Shape(double u) const
{
    u = Clamped(u);
    switch (m_kind) {
    case CurveKind::Linear:
        return u;
    case CurveKind::Expo:
        return (1.0 - m_k) * u + m_k * u * u * u;
    case CurveKind::Points:
        break;
    }
    if (u >= m_points[m_count - 1].x) {
        return m_points[m_count - 1].y;
    }
    // The segment whose left end is the last point at or before u.
    int i = 0;
    while (i + 2 < m_count && m_points[i + 1].x <= u) {
        ++i;
    }
    const CurvePoint& p0 = m_points[i];
    const CurvePoint& p1 = m_points[i + 1];
    const double h = p1.x - p0.x;
    const double t = (u - p0.x) * m_perWidth[i];
    const double t2 = t * t;
    const double t3 = t2 * t;
    const double f = (2.0 * t3 - 3.0 * t2 + 1.0) * p0.y + (t3 - 2.0 * t2 + t) * h * m_tangents[i]
        + (-2.0 * t3 + 3.0 * t2) * p1.y + (t3 - t2) * h * m_tangents[i + 1];
    // Rounding must not carry it past its ends.
    const double low = std::min(p0.y, p1.y);
    const double high = std::max(p0.y, p1.y);
    return f < low ? low : (f > high ? high : f);
}

double ResponseCurve::Evaluate(double u) const
{
    u = Clamped(u);
    return Shape(m_invert ? -u : u);
}

std::size_t ResponseCurve::Format(char* buffer, std::size_t size) const
{
    TextOut out(buffer, size);
    switch (m_kind) {
    case CurveKind::Linear:
        out.Word("LINEAR");
        break;
    case CurveKind::Expo:
        out.Word("EXPO");
        out.Number(m_k);
        break;
    case CurveKind::Points:
        out.Word("POINTS");
        for (int i = 0; i < m_count; ++i) {
            out.Number(m_points[i].x);
            out.Number(m_points[i].y);
        }
        break;
    }
    if (m_invert) {
        out.Word("INVERT");
    }
    return out.Length();
}

const char* ResponseCurve::Parse(std::string_view text, ResponseCurve& out)
{
    if (text.find('[') != std::string_view::npos) {
        return "a curve never holds \"[\"";
    }
    if (text.size() >= kTextLength) {
        return "longer than 511 characters";
    }
    // The words, without allocating: at most a kind, 32 numbers and INVERT.
    constexpr std::size_t kMaxWords = 2 * kMaxPoints + 2;
    std::array<std::string_view, kMaxWords + 1> words {};
    std::size_t count = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && IsBlank(text[at])) {
            ++at;
        }
        const std::size_t start = at;
        while (at < text.size() && !IsBlank(text[at])) {
            ++at;
        }
        if (at > start) {
            if (count == words.size()) {
                return "a curve through points takes at most 16 of them";
            }
            words[count++] = text.substr(start, at - start);
        }
    }
    if (count == 0) {
        return "no kind of curve given";
    }
    const bool invert = words[count - 1] == "INVERT";
    const std::size_t numbers = count - 1 - (invert ? 1 : 0);
    const std::string_view kind = words[0];
    if (invert && count == 1) {
        return "INVERT must follow the kind of curve";
    }

    ResponseCurve curve;
    if (kind == "LINEAR") {
        if (numbers != 0) {
            return "LINEAR takes no numbers";
        }
        curve = Linear(invert);
    } else if (kind == "EXPO") {
        double k = 0.0;
        if (numbers != 1) {
            return "EXPO takes one number, k";
        }
        if (!ReadNumber(words[1], k)) {
            return "k is not a number";
        }
        if (const char* reason = curve.SetExpo(k, invert)) {
            return reason;
        }
    } else if (kind == "POINTS") {
        if (numbers % 2 != 0) {
            return "every point needs an x and a y";
        }
        if (numbers / 2 > static_cast<std::size_t>(kMaxPoints)) {
            return "a curve through points takes at most 16 of them";
        }
        std::array<CurvePoint, kMaxPoints> points {};
        for (std::size_t i = 0; i < numbers / 2; ++i) {
            if (!ReadNumber(words[1 + 2 * i], points[i].x) || !ReadNumber(words[2 + 2 * i], points[i].y)) {
                return "a point is not a number";
            }
        }
        if (const char* reason = curve.SetPoints(std::span(points.data(), numbers / 2), invert)) {
            return reason;
        }
    } else {
        return "the kind must be LINEAR, EXPO or POINTS";
    }
    out = curve;
    return nullptr;
}

bool ResponseCurve::operator==(const ResponseCurve& other) const
{
    if (m_kind != other.m_kind || m_invert != other.m_invert || m_k != other.m_k || m_count != other.m_count) {
        return false;
    }
    return std::equal(m_points.begin(), m_points.begin() + m_count, other.m_points.begin());
}

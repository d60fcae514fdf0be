// ResponseCurve: how an axis's position u = value / 10000 (-1..1) is shaped
// before the processing goes on with 10000 * f(u). LINEAR, EXPO k with
// f(u) = (1 - k) u + k u^3, or POINTS through 2 to 16 points joined by a
// monotone cubic (Fritsch-Carlson); any kind may be inverted (u becomes -u
// first). The cubic's tangents are worked out whenever the points change, so
// evaluating a curve allocates nothing and reads only its own arrays. The text
// form is the value of the configuration files' curve lines, read and written
// without the locale.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

enum class CurveKind : unsigned char { Linear, Expo, Points };

struct CurvePoint {
    double x = 0.0;
    double y = 0.0;

    bool operator==(const CurvePoint&) const = default;
};

class ResponseCurve {
public:
    static constexpr int kMinPoints = 2;
    static constexpr int kMaxPoints = 16;
    // A curve's text, like every line of Tavelin's own sections, fits 511 characters.
    static constexpr std::size_t kTextLength = 512;
    static constexpr double kFullScale = 10000.0;
    // A product, not a quotient, in the tick (within a unit in the last place of it).
    static constexpr double kPerFullScale = 1.0 / kFullScale;

    // Plain LINEAR: the value goes on unchanged.
    ResponseCurve() = default;

    static ResponseCurve Linear(bool invert = false);
    // Null `reason` on success; otherwise the curve is left as it was and the
    // reason says what is wrong. Numbers are taken as the file would keep
    // them (six decimals), so a curve made here saves and reads back the same.
    const char* SetExpo(double k, bool invert);
    const char* SetPoints(std::span<const CurvePoint> points, bool invert);
    void SetInvert(bool invert) { m_invert = invert; }

    CurveKind Kind() const { return m_kind; }
    bool Inverted() const { return m_invert; }
    double K() const { return m_k; }
    int PointCount() const { return m_count; }
    std::span<const CurvePoint> Points() const { return { m_points.data(), static_cast<std::size_t>(m_count) }; }
    // LINEAR without INVERT: the processing skips the curve altogether.
    bool IsPlainLinear() const { return m_kind == CurveKind::Linear && !m_invert; }

    // f(u) of the shape alone, for u in -1..1 (clamped), without INVERT.
    double Shape(double u) const;
    // The whole curve on a position: INVERT, then the shape; u clamped to -1..1.
    double Evaluate(double u) const;
    // On a raw axis value: 10000 * Evaluate(value / 10000), unrounded.
    double Apply(double value) const { return kFullScale * Evaluate(value * kPerFullScale); }

    // The text form: "LINEAR", "EXPO 0.350000", "POINTS -1.000000 -1.000000 ...",
    // each followed by " INVERT" when inverted. Returns the length written
    // (the text is cut to size - 1 characters if it must be).
    std::size_t Format(char* buffer, std::size_t size) const;
    // Words in upper case apart by blanks or tabs, numbers in plain decimal
    // form ("0.5", "-1", "+.25"). Null on success; otherwise `out` is left
    // as it was and the reason is one short sentence.
    static const char* Parse(std::string_view text, ResponseCurve& out);

    bool operator==(const ResponseCurve& other) const;

private:
    void PrepareTangents();

    CurveKind m_kind = CurveKind::Linear;
    bool m_invert = false;
    double m_k = 0.0;
    int m_count = 0;
    std::array<CurvePoint, kMaxPoints> m_points {};
    std::array<double, kMaxPoints> m_tangents {};
    // 1 / the width of each segment, so that the tick multiplies.
    std::array<double, kMaxPoints> m_perWidth {};
};

// ResponseCurve: each kind at the points that define it, no overshoot between
// points, the symmetry of EXPO, INVERT on every kind, and the text form read
// and written without the locale, bad texts refused without touching the curve.
#include "mapping/ResponseCurve.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <vector>

namespace {

ResponseCurve Parsed(const std::string& text)
{
    ResponseCurve curve;
    const char* reason = ResponseCurve::Parse(text, curve);
    EXPECT_EQ(reason, nullptr) << text << ": " << (reason != nullptr ? reason : "");
    return curve;
}

std::string Text(const ResponseCurve& curve)
{
    char text[ResponseCurve::kTextLength];
    curve.Format(text, sizeof text);
    return text;
}

// u from -1 to 1 in `steps` equal steps.
std::vector<double> Sweep(int steps)
{
    std::vector<double> u;
    for (int i = 0; i <= steps; ++i) {
        u.push_back(-1.0 + 2.0 * i / steps);
    }
    return u;
}

constexpr const char* kExampleRoll = "POINTS -1 -1 -0.5 -0.3 0 0 0.5 0.3 1 1";

} // namespace

TEST(ResponseCurve, EveryKindAtItsDefiningPoints)
{
    const ResponseCurve linear;
    EXPECT_TRUE(linear.IsPlainLinear());
    for (const double u : { -1.0, -0.37, 0.0, 0.5, 1.0 }) {
        EXPECT_EQ(linear.Evaluate(u), u);
    }

    for (const double k : { 0.0, 0.35, 1.0 }) {
        const ResponseCurve expo = Parsed("EXPO " + std::to_string(k));
        EXPECT_EQ(expo.Kind(), CurveKind::Expo);
        EXPECT_EQ(expo.Evaluate(-1.0), -1.0) << k;
        EXPECT_EQ(expo.Evaluate(0.0), 0.0) << k;
        EXPECT_EQ(expo.Evaluate(1.0), 1.0) << k;
        EXPECT_NEAR(expo.Evaluate(0.5), (1.0 - k) * 0.5 + k * 0.125, 1e-15) << k;
        EXPECT_NEAR(expo.Apply(-2500.0), 10000.0 * ((1.0 - k) * -0.25 + k * -0.015625), 1e-9) << k;
    }

    // Through every point exactly; between collinear points a straight line.
    const ResponseCurve roll = Parsed(kExampleRoll);
    ASSERT_EQ(roll.PointCount(), 5);
    for (const CurvePoint& p : roll.Points()) {
        EXPECT_EQ(roll.Evaluate(p.x), p.y) << p.x;
    }
    for (const double u : { -0.4, -0.25, -0.1, 0.1, 0.25, 0.45 }) {
        EXPECT_NEAR(roll.Evaluate(u), 0.6 * u, 1e-12) << u;
    }
    const ResponseCurve straight = Parsed("POINTS -1 -0.5 1 0.5");
    for (const double u : Sweep(40)) {
        EXPECT_NEAR(straight.Evaluate(u), 0.5 * u, 1e-12) << u;
    }

    // Positions beyond the ends count as the ends; NaN as the centre.
    const ResponseCurve expo = Parsed("EXPO 0.5");
    EXPECT_EQ(expo.Apply(25000.0), 10000.0);
    EXPECT_EQ(roll.Apply(-12000.0), -10000.0);
    EXPECT_EQ(expo.Evaluate(std::nan("")), 0.0);
}

TEST(ResponseCurve, PointsNeverOvershootAndKeepTheirDirection)
{
    const char* curves[] = {
        kExampleRoll,
        "POINTS -1 -1 -0.1 -0.9 0 0 0.1 0.9 1 1", // steep, then nearly flat
        "POINTS -1 -1 -0.5 0 0.5 0 1 1", // a flat middle
        "POINTS -1 0 -0.98 0.95 1 1",
        "POINTS -1 1 -0.2 0.9 0 -0.6 0.7 -0.65 1 -1", // falling
        "POINTS -1 -1 -0.9 -0.99 -0.8 -0.2 -0.7 -0.19 0 0.8 0.1 0.81 0.9 0.82 1 1",
    };
    for (const char* text : curves) {
        const ResponseCurve curve = Parsed(text);
        const auto points = curve.Points();
        const bool rising = points.back().y >= points.front().y;
        double last = curve.Evaluate(-1.0);
        for (const double u : Sweep(20000)) {
            const double f = curve.Evaluate(u);
            if (rising) {
                ASSERT_GE(f, last) << text << " at " << u;
            } else {
                ASSERT_LE(f, last) << text << " at " << u;
            }
            last = f;
            // Within the values of the segment's two ends.
            std::size_t i = 0;
            while (i + 2 < points.size() && points[i + 1].x <= u) {
                ++i;
            }
            ASSERT_GE(f, std::min(points[i].y, points[i + 1].y)) << text << " at " << u;
            ASSERT_LE(f, std::max(points[i].y, points[i + 1].y)) << text << " at " << u;
        }
        // A flat stretch stays flat.
        if (std::string(text) == "POINTS -1 -1 -0.5 0 0.5 0 1 1") {
            EXPECT_EQ(curve.Evaluate(0.2), 0.0);
        }
    }
}

TEST(ResponseCurve, ExpoIsSymmetricAndInvertTurnsEveryKindRound)
{
    for (const double k : { 0.1, 0.5, 0.9 }) {
        ResponseCurve expo;
        ASSERT_EQ(expo.SetExpo(k, false), nullptr);
        for (const double u : Sweep(200)) {
            EXPECT_EQ(expo.Evaluate(-u), -expo.Evaluate(u)) << k << " " << u;
            EXPECT_LE(std::fabs(expo.Evaluate(u)), std::fabs(u) + 1e-15) << "softer near the centre";
        }
    }

    // An asymmetric curve shows that INVERT negates the input, not the output.
    const char* kinds[] = { "LINEAR", "EXPO 0.4", "POINTS -1 -0.2 0 0 0.5 0.8 1 1" };
    for (const char* text : kinds) {
        const ResponseCurve plain = Parsed(text);
        const ResponseCurve inverted = Parsed(std::string(text) + " INVERT");
        EXPECT_TRUE(inverted.Inverted());
        EXPECT_FALSE(inverted.IsPlainLinear());
        for (const double u : Sweep(50)) {
            EXPECT_EQ(inverted.Evaluate(u), plain.Shape(-u)) << text << " " << u;
        }
    }
    EXPECT_EQ(Parsed("LINEAR INVERT").Apply(3000.0), -3000.0);
    EXPECT_EQ(Parsed("POINTS -1 -0.2 0 0 0.5 0.8 1 1 INVERT").Evaluate(-0.5), 0.8);
}

TEST(ResponseCurve, TextsReadBackAsTheyWereWrittenUnderAnyLocale)
{
    // A locale with a decimal comma, where one exists here, must change nothing.
    const char* before = std::setlocale(LC_ALL, nullptr);
    const std::string saved = before != nullptr ? before : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");

    EXPECT_EQ(Text(ResponseCurve()), "LINEAR");
    EXPECT_EQ(Text(Parsed("EXPO 0.35")), "EXPO 0.350000");
    EXPECT_EQ(Text(Parsed(kExampleRoll)),
        "POINTS -1.000000 -1.000000 -0.500000 -0.300000 0.000000 0.000000 0.500000 0.300000 1.000000 1.000000");
    EXPECT_EQ(Text(Parsed(" \tEXPO\t+.25   INVERT ")), "EXPO 0.250000 INVERT");
    EXPECT_EQ(Text(Parsed("LINEAR INVERT")), "LINEAR INVERT");

    // Whatever is set is what a save and a load give back, to the bit.
    ResponseCurve fine;
    ASSERT_EQ(fine.SetExpo(1.0 / 3.0, true), nullptr);
    const CurvePoint third[] = { { -1.0, -1.0 }, { 1.0 / 3.0, 0.1234567 }, { 1.0, 0.9999996 } };
    ResponseCurve points;
    ASSERT_EQ(points.SetPoints(third, false), nullptr);
    EXPECT_EQ(points.Points()[2].y, 1.0);
    for (const ResponseCurve& curve : { fine, points, Parsed(kExampleRoll), Parsed("LINEAR INVERT") }) {
        const ResponseCurve back = Parsed(Text(curve));
        EXPECT_TRUE(back == curve) << Text(curve);
        EXPECT_EQ(Text(back), Text(curve));
    }

    // Sixteen points with INVERT, the longest text, fits its line.
    std::string sixteen = "POINTS";
    for (int i = 0; i < 16; ++i) {
        sixteen.append(" ").append(std::to_string(-1.0 + 2.0 * i / 15)).append(" -0.999999");
    }
    const ResponseCurve longest = Parsed(sixteen + " INVERT");
    EXPECT_EQ(longest.PointCount(), 16);
    EXPECT_LT(Text(longest).size(), ResponseCurve::kTextLength - 20);
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(ResponseCurve, BadTextsAreRefusedAndLeaveTheCurveAsItWas)
{
    std::string seventeen = "POINTS";
    for (int i = 0; i < 17; ++i) {
        seventeen.append(" ").append(std::to_string(-1.0 + 2.0 * i / 16)).append(" 0");
    }
    const char* bad[] = {
        "",
        "   ",
        "SPLINE 1 2",
        "expo 0.5",
        "INVERT",
        "LINEAR 0.5",
        "EXPO",
        "EXPO 0.2 0.3",
        "EXPO -0.1",
        "EXPO 1.5",
        "EXPO nan",
        "EXPO inf",
        "EXPO 0,5",
        "EXPO 5e-1",
        "EXPO 0x1",
        "EXPO .",
        "EXPO --1",
        "EXPO 0.5 INVERT INVERT",
        "EXPO [0.5]",
        "POINTS",
        "POINTS -1 -1",
        "POINTS -1 -1 1",
        "POINTS -1 -1 0.5 0 0.2 0.1 1 1", // out of order
        "POINTS -1 -1 0 0 0 0.5 1 1", // x repeated
        "POINTS -1 -1 0.0000001 0 0.0000004 0.1 1 1", // the same x once kept to six decimals
        "POINTS -1.5 -1 1 1",
        "POINTS -0.9 -1 1 1",
        "POINTS -1 -1 0.9 1",
        "POINTS -1 -1.2 1 1",
        "POINTS -1 -1 0 NaN 1 1",
        "POINTS -1 -1 0 x 1 1",
        "POINTS -1 -1 1 1 [",
    };
    std::vector<std::string> texts(std::begin(bad), std::end(bad));
    texts.push_back(seventeen);
    texts.push_back("EXPO 0.5" + std::string(600, ' ') + "INVERT");
    for (const std::string& text : texts) {
        ResponseCurve curve = Parsed("EXPO 0.25 INVERT");
        const ResponseCurve before = curve;
        const char* reason = ResponseCurve::Parse(text, curve);
        ASSERT_NE(reason, nullptr) << "taken: \"" << text << "\"";
        EXPECT_GT(std::string(reason).size(), 5u);
        EXPECT_TRUE(curve == before) << text;
    }

    ResponseCurve curve;
    EXPECT_NE(curve.SetExpo(std::nan(""), false), nullptr);
    const CurvePoint one[] = { { -1.0, 0.0 } };
    EXPECT_NE(curve.SetPoints(one, false), nullptr);
    EXPECT_TRUE(curve.IsPlainLinear());
}

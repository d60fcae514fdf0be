#include "support/NumberText.h"
#include "support/TextFunctions.h"
#include "tests/support/CommaLocale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace {

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#endif
// The formats below are the ones compared, handed in as data.
std::string Ours(const char* format, double value)
{
    char buffer[2048];
    FormatBounded(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string Theirs(const char* format, double value)
{
    char buffer[2048];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

} // namespace

TEST(NumberText, FloatingConversionsMatchTheCLibraryInTheCLocale)
{
    const char* const formats[] = { "%f", "%6.4f", "%7.3f Deg", "%9.3f ", "%9.2e ", "%.17g", "%.10g", "%g", "%e", "%E",
        "%G", "%+.2f", "% .3e", "%-12.4f|", "%012.3f", "%#.0f", "%#.0e", "%#g", "%.0f", "%.0e", "%.1g", "%20.15g", "%F",
        "%.30f", "%.40g", "%.400g", "%.800f", "%.20e", "%.1100f", "%.1100e" };
    const double values[] = { 0.0, -0.0, 1.0, -1.0, 0.5, 2.5, 0.002, 0.0025, 1e-5, 123456.789, -7.25, 1e300, -1e-300,
        99.99995, 0.1, 1.0 / 3.0, 5e-324, std::numeric_limits<double>::max(), 1e21, 999999.5 };
    for (const char* format : formats) {
        for (double value : values) {
            if (std::string(format) == "%#g" && value == 999999.5) {
                // glibc drops the kept zeros when rounding carries into a new digit ("1.e+06").
                EXPECT_EQ(Ours(format, value), "1.00000e+06");
                continue;
            }
            EXPECT_EQ(Ours(format, value), Theirs(format, value)) << format << " of " << value;
        }
    }
    // The C library spells infinities and NaN its own way on Windows; ours is the C standard's.
    EXPECT_EQ(Ours("%f", std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(Ours("%7.3f", -std::numeric_limits<double>::infinity()), "   -inf");
    EXPECT_EQ(Ours("%G", std::numeric_limits<double>::quiet_NaN()), "NAN");

    // Everything else goes through as written, widths and precisions from the arguments included.
    char buffer[128];
    EXPECT_EQ(FormatBounded(buffer, sizeof buffer, "%s=%*d|%-*.*s|%5.1f%%|%lu|%c|%lld", "k", 4, 7, 6, 2, "abc", 2.25,
                  static_cast<unsigned long>(42), 'x', -9LL),
        28);
    EXPECT_STREQ(buffer, "k=   7|ab    |  2.2%|42|x|-9");
    // Cut to the buffer, the count stays the whole length.
    char small[6];
    EXPECT_EQ(FormatBounded(small, sizeof small, "%f", 1234.5), 11);
    EXPECT_STREQ(small, "1234.");
}

TEST(NumberText, TextToNumbersReadLikeTheCLibraryInTheCLocale)
{
    const char* const texts[]
        = { "1.5", "  -2.25xyz", "+0.002", ".5", "1.", "1e3", "-1E-3", "0x1p3", "0x", "abc", "", "-", "+-1", "1e400",
              "-1e400", "1e-400", "0.000000000000000000000000000000001e-300", "inf", "-nan", "12,5", "\t7" };
    for (const char* text : texts) {
        char* theirEnd = nullptr;
        const double theirs = std::strtod(text, &theirEnd);
        const char* ourEnd = nullptr;
        const double ours = TextToDouble(text, &ourEnd);
        if (std::isnan(theirs)) {
            EXPECT_TRUE(std::isnan(ours)) << text;
        } else {
            EXPECT_EQ(ours, theirs) << text;
        }
        EXPECT_EQ(ourEnd - text, theirEnd - text) << text;
        const float theirFloat = std::strtof(text, nullptr);
        if (std::isnan(theirFloat)) {
            EXPECT_TRUE(std::isnan(TextToFloat(text))) << text;
        } else {
            EXPECT_EQ(TextToFloat(text), theirFloat) << text;
        }
    }
    const char* const integers[]
        = { "42", " -17 apples", "+5", "99999999999999999999", "-99999999999999999999", "x1", "", "-", "0012" };
    for (const char* text : integers) {
        char* theirEnd = nullptr;
        const long long theirs = std::strtoll(text, &theirEnd, 10);
        const char* ourEnd = nullptr;
        EXPECT_EQ(TextToLongLong(text, &ourEnd), theirs) << text;
        EXPECT_EQ(ourEnd - text, theirEnd - text) << text;
    }
}

TEST(NumberText, ACommaLocaleChangesNothing)
{
    testlocale::CommaLocale comma;
    if (!comma.Active()) {
        GTEST_SKIP() << comma.Reason();
    }
    // The C library itself now writes and reads commas ...
    EXPECT_EQ(Theirs("%.1f", 2.5), "2,5");
    // ... the program's texts do not.
    EXPECT_EQ(Ours("%6.4f", 0.002), "0.0020");
    EXPECT_EQ(Ours("%7.3f Deg", -12.5), "-12.500 Deg");
    EXPECT_EQ(Ours("%f", 1.0), "1.000000");
    EXPECT_EQ(Ours("%.17g", 0.1), "0.10000000000000001");
    EXPECT_EQ(TextToDouble("0.0025"), 0.0025);
    EXPECT_EQ(TextToFloat("-2.5"), -2.5F);
    const char* end = nullptr;
    EXPECT_EQ(TextToDouble("12,5", &end), 12.0) << "a comma ends the number";
    EXPECT_STREQ(end, ",5");
}

#include "support/TextFunctions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Whether bytes [from, to) of buffer are all zero.
bool ZeroFrom(const char* buffer, int from, int to)
{
    for (int i = from; i < to; ++i) {
        if (buffer[i] != '\0') {
            return false;
        }
    }
    return true;
}

} // namespace

TEST(TextFunctions, FormatBoundedAlwaysTerminatesAndZeroFills)
{
    char buffer[5];
    std::memset(buffer, 'x', sizeof buffer);
    FormatBounded(buffer, 5, "%d", 123456);
    EXPECT_STREQ(buffer, "1234");

    std::memset(buffer, 'x', sizeof buffer);
    FormatBounded(buffer, 5, "%d", 12);
    EXPECT_STREQ(buffer, "12");
    EXPECT_TRUE(ZeroFrom(buffer, 2, 5));

    // Exactly filling the buffer would leave no room for the end: the last character gives way.
    std::memset(buffer, 'x', sizeof buffer);
    FormatBounded(buffer, 5, "%s", "abcde");
    EXPECT_STREQ(buffer, "abcd");
    FormatBounded(buffer, 5, "%s", "abcd");
    EXPECT_STREQ(buffer, "abcd");

    // The count is the formatter's: the length the whole text would have had.
    EXPECT_EQ(FormatBounded(buffer, 5, "%d", 123456), 6);
    EXPECT_EQ(FormatBounded(nullptr, 5, "%d", 1), 0);

    // A buffer of one character holds only the end.
    char one = 'x';
    FormatBounded(&one, 1, "%d", 7);
    EXPECT_EQ(one, '\0');

    // The texts of the block attachment are formatted into 1024 characters.
    char report[1024];
    FormatBounded(report, sizeof report, "OpenFileMapping (Code: %d)", 2);
    EXPECT_STREQ(report, "OpenFileMapping (Code: 2)");
    const std::string longName(2000, 'n');
    FormatBounded(report, sizeof report, "%s", longName.c_str());
    EXPECT_EQ(std::strlen(report), 1023u);
}

TEST(TextFunctions, CopyBoundedKeepsAtMostSizeMinusOne)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(CopyBounded(buffer, "abcdef", 4), buffer);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(buffer[4], 'x') << "nothing past size is touched";

    std::memset(buffer, 'x', sizeof buffer);
    CopyBounded(buffer, "ab", 8);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_TRUE(ZeroFrom(buffer, 2, 8)) << "a shorter source is padded with zeros";

    std::memset(buffer, 'x', sizeof buffer);
    CopyBounded(buffer, "abcdef", 1);
    EXPECT_EQ(buffer[0], '\0');

    EXPECT_EQ(CopyBounded(nullptr, "abc", 4), nullptr);
    EXPECT_EQ(CopyBounded(buffer, nullptr, 4), nullptr);
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(CopyBounded(buffer, "abc", -1), nullptr);
    EXPECT_EQ(buffer[0], 'x');

    // A source without a terminator within size is not read past size.
    const char unterminated[4] = { 'w', 'x', 'y', 'z' };
    CopyBounded(buffer, unterminated, 4);
    EXPECT_STREQ(buffer, "wxy");
}

TEST(TextFunctions, SameIgnoringBlanksRemovesSpacesOnly)
{
    EXPECT_TRUE(SameIgnoringBlanks("  NOT _AVAIL  ", "NOT_AVAIL"));
    EXPECT_TRUE(SameIgnoringBlanks("NA", "N A"));
    EXPECT_TRUE(SameIgnoringBlanks("", "   "));
    EXPECT_FALSE(SameIgnoringBlanks("na", "NA"));
    EXPECT_FALSE(SameIgnoringBlanks("NOT_AVAIL\t", "NOT_AVAIL"));
    EXPECT_FALSE(SameIgnoringBlanks("NOT_AVAI", "NOT_AVAIL"));
    EXPECT_FALSE(SameIgnoringBlanks(nullptr, "NA"));
    EXPECT_FALSE(SameIgnoringBlanks("NA", nullptr));

    // Only the first 999 characters of each take part.
    const std::string longA = std::string(999, 'a') + "b";
    const std::string longB = std::string(999, 'a') + "c";
    EXPECT_TRUE(SameIgnoringBlanks(longA.c_str(), longB.c_str()));
    const std::string differsAtTheLimit = std::string(998, 'a') + "c";
    EXPECT_FALSE(SameIgnoringBlanks(longA.c_str(), differsAtTheLimit.c_str()));
}

TEST(TextFunctions, LineHelpers)
{
    char line[64];

    std::strcpy(line, "KEY = value\nnext");
    EXPECT_STREQ(CutAtNewline(line), "KEY = value");
    std::strcpy(line, "no newline");
    EXPECT_STREQ(CutAtNewline(line), "no newline");

    EXPECT_STREQ(SkipBlanks("   x y"), "x y");
    const char* tabbed = "\t x";
    EXPECT_EQ(SkipBlanks(tabbed), tabbed) << "a tab is not a blank";
    EXPECT_STREQ(SkipBlanks("   "), "");

    std::strcpy(line, "a b  c");
    EXPECT_STREQ(RemoveBlanks(line), "abc");
    std::strcpy(line, "a\tb \t c");
    EXPECT_STREQ(RemoveBlanks(line), "a\tb\tc");
    std::strcpy(line, "a\tb \t c");
    EXPECT_STREQ(RemoveBlanks(TabsToBlanks(line)), "abc");

    std::strcpy(line, "JOY_ID=305419896");
    EXPECT_STREQ(CutAtChar(line, '='), "JOY_ID");
    std::strcpy(line, "JOY_ID 305419896");
    EXPECT_STREQ(CutAtChar(line, '='), "JOY_ID 305419896");

    EXPECT_EQ(CutAtNewline(nullptr), nullptr);
    EXPECT_EQ(SkipBlanks(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(RemoveBlanks(nullptr), nullptr);
    EXPECT_EQ(CutAtChar(nullptr, '='), nullptr);
    EXPECT_EQ(TabsToBlanks(nullptr), nullptr);
}

// The table-driven command line: options and their values, a toolkit's
// arguments passed through, and what counts as a usage error.
#include "support/CommandLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr CommandLineOption kOptions[] = {
    { "--help", "-h", nullptr, "show this text" },
    { "--version", nullptr, nullptr, "show the version" },
    { "--file", nullptr, "FILE", "read FILE" },
};

constexpr ForeignOption kForeign[] = {
    { "platform", true, false },
    { "style", true, true },
    { "reverse", false, false },
    { "qmljsdebugger", false, true },
};

struct Outcome {
    bool parsed;
    std::string error;
    std::vector<std::string> foreign;
};

Outcome Parse(CommandLine& line, std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "prog");
    const bool parsed = line.Parse(static_cast<int>(arguments.size()), arguments.data());
    return { parsed, line.FullErrorText(), line.ForeignArguments() };
}

TEST(CommandLineTest, OptionsAliasesAndValuesInBothSpellings)
{
    CommandLine line("prog", kOptions, kForeign, "toolkit options");
    Outcome run = Parse(line, {});
    EXPECT_TRUE(run.parsed);
    EXPECT_FALSE(line.Has("--help"));
    EXPECT_EQ(run.foreign, (std::vector<std::string> { "prog" }));

    run = Parse(line, { "-h", "--file", "a.ini", "--file=b=c.ini" });
    ASSERT_TRUE(run.parsed) << run.error;
    EXPECT_TRUE(line.Has("--help"));
    EXPECT_FALSE(line.Has("--version"));
    EXPECT_EQ(line.Value("--file"), "b=c.ini"); // the last one given, split at the first "="
    EXPECT_EQ(line.Value("--version"), "");
    // A second parse forgets the first.
    run = Parse(line, { "--version" });
    ASSERT_TRUE(run.parsed);
    EXPECT_FALSE(line.Has("--help"));
    EXPECT_TRUE(line.Has("--version"));
}

TEST(CommandLineTest, ForeignArgumentsPassThroughInOrderAsTheirOwnerReadsThem)
{
    CommandLine line("prog", kOptions, kForeign, "toolkit options");
    Outcome run = Parse(line,
        { "-platform", "offscreen", "--version", "--reverse", "-style=Fusion", "--style", "Windows",
            "-qmljsdebugger=port:1234" });
    ASSERT_TRUE(run.parsed) << run.error;
    EXPECT_TRUE(line.Has("--version"));
    EXPECT_EQ(run.foreign,
        (std::vector<std::string> { "prog", "-platform", "offscreen", "--reverse", "-style=Fusion", "--style",
            "Windows", "-qmljsdebugger=port:1234" }));
    // A value after "=" where the owner reads none, and an option without its value, are not the owner's.
    run = Parse(line, { "-platform=offscreen" });
    EXPECT_FALSE(run.parsed);
    EXPECT_EQ(run.error, "unknown option \"-platform=offscreen\"");
    run = Parse(line, { "-platform" });
    EXPECT_FALSE(run.parsed);
    // Only the table's options and the owner's are taken: a near miss is not.
    run = Parse(line, { "-platforms", "x" });
    EXPECT_FALSE(run.parsed);
}

TEST(CommandLineTest, UsageErrorsNameTheArgument)
{
    CommandLine line("prog", kOptions);
    const struct {
        std::vector<const char*> arguments;
        const char* error;
    } cases[] = {
        { { "--frobnicate" }, "unknown option \"--frobnicate\"" }, { { "-x" }, "unknown option \"-x\"" },
        { { "file.ini" }, "unexpected argument \"file.ini\"" }, { { "-" }, "unexpected argument \"-\"" },
        { { "--version=2" }, "--version takes no value" }, { { "--file" }, "--file needs FILE" },
        { { "--file=" }, "--file needs FILE" },
        { { "--help", "-platform", "offscreen" }, "unknown option \"-platform\"" }, // nobody's here
    };
    for (const auto& example : cases) {
        const Outcome run = Parse(line, example.arguments);
        EXPECT_FALSE(run.parsed) << example.error;
        EXPECT_EQ(run.error, example.error);
    }
    // A value that looks like an option is still the value.
    const Outcome run = Parse(line, { "--file", "--help" });
    ASSERT_TRUE(run.parsed);
    EXPECT_EQ(line.Value("--file"), "--help");
    EXPECT_FALSE(line.Has("--help"));
}

TEST(CommandLineTest, HelpListsEveryOptionWithItsTextInOneColumn)
{
    CommandLine line("prog", kOptions, kForeign, "toolkit options");
    EXPECT_EQ(line.Usage(), "usage: prog [--help] [--version] [--file FILE] [toolkit options]\n");
    const std::string help = line.Help("Does things.", "See prog(1).");
    EXPECT_EQ(help.rfind(line.Usage(), 0), 0u);
    EXPECT_NE(help.find("\nDoes things.\n"), std::string::npos);
    EXPECT_NE(help.find("\nSee prog(1).\n"), std::string::npos);
    std::size_t column = std::string::npos;
    for (const CommandLineOption& option : kOptions) {
        const std::size_t lineStart = help.find(std::string("\n  ") + option.name);
        ASSERT_NE(lineStart, std::string::npos) << option.name;
        const std::size_t text = help.find(option.help, lineStart);
        ASSERT_NE(text, std::string::npos) << option.name;
        EXPECT_LT(text, help.find('\n', lineStart + 1));
        if (column == std::string::npos) {
            column = text - lineStart;
        }
        EXPECT_EQ(text - lineStart, column) << option.name;
    }
    EXPECT_NE(help.find("--help, -h"), std::string::npos);
    EXPECT_NE(help.find("--file FILE"), std::string::npos);
}

} // namespace

// SettingsFileClass: modes, bounded and direct reads, line ends both ways,
// the error texts, and failing writes.
#include "config/SettingsFile.h"
#include "support/Paths.h"
#include "tests/config/config_test_support.h"
#include "tests/fakes/FailingSettingsStream.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

using ConfigTest::ReadBytes;
using ConfigTest::TemporaryFolder;
using ConfigTest::WriteBytes;

namespace {

std::string Native(const std::string& text)
{
    return ConfigTest::WithLineEnds(text, Paths::NativeLineEnd());
}

} // namespace

TEST(SettingsFile, ClosedObjectsFailEveryOperationWithTheirTexts)
{
    SettingsFileClass unnamed("", FileOpenForWriting);
    EXPECT_FALSE(unnamed.IsOpen());
    EXPECT_FALSE(unnamed.IsFileOpen());
    EXPECT_STREQ(unnamed.GetErrorText(), "");
    EXPECT_FALSE(unnamed.WriteToSettingsFile("x"));
    EXPECT_STREQ(unnamed.GetErrorText(), "SettingsFileClass::WriteToSettingsFile\nFile is not opened\n");
    EXPECT_FALSE(unnamed.WriteToSettingsFile("KEY", 3));
    EXPECT_FALSE(unnamed.WriteLineToSettingsFile(std::string("x")));
    char line[16] = "left over";
    EXPECT_FALSE(unnamed.ReadFromSettingsFile(line, static_cast<int>(sizeof line)));
    EXPECT_STREQ(line, "");
    EXPECT_STREQ(unnamed.GetErrorText(), "SettingsFileClass::ReadFromSettingsFile\nFile is not opened\n");
    EXPECT_FALSE(unnamed.RewindFile());
    EXPECT_TRUE(unnamed.CloseFile());

    TemporaryFolder folder;
    const std::string path = folder.File("any.ini");
    WriteBytes(path, "a\n");
    SettingsFileClass badMode(path, 4);
    EXPECT_FALSE(badMode.IsOpen());
    EXPECT_STREQ(badMode.GetErrorText(), "");
    EXPECT_STREQ(badMode.GetFileName(), path.c_str());

    const std::string missing = folder.File("missing.ini");
    struct {
        int mode;
        const char* where;
    } const opens[] = { { FileOpenForReading, "SettingsFileClass::OpenFileForReading" },
        { FileOpenForReadWrite, "SettingsFileClass::OpenFileForReadWrite" } };
    for (const auto& open : opens) {
        SettingsFileClass file(missing, open.mode);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.FullErrorText(), std::string(open.where) + "\n" + std::strerror(ENOENT) + "\n" + missing);
    }
    const std::string noFolder = folder.File("no/such/folder.ini");
    SettingsFileClass writer(noFolder, FileOpenForWriting);
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(writer.FullErrorText().rfind("SettingsFileClass::OpenFileForWriting\n", 0), 0u);
}

TEST(SettingsFile, ModesCreateEmptyAppendAndUpdate)
{
    TemporaryFolder folder;
    const std::string path = folder.File("modes.ini");
    WriteBytes(path, "old contents\n");
    {
        SettingsFileClass emptied(path, FileOpenForWriting);
        ASSERT_TRUE(emptied.IsOpen());
    }
    EXPECT_EQ(ReadBytes(path), "");

    {
        SettingsFileClass appended(path, FileOpenForAppending);
        ASSERT_TRUE(appended.IsOpen());
        EXPECT_TRUE(appended.WriteLineToSettingsFile("one"));
    }
    {
        SettingsFileClass appended(path, FileOpenForAppending);
        EXPECT_TRUE(appended.WriteLineToSettingsFile("two"));
    }
    EXPECT_EQ(ReadBytes(path), Native("one\ntwo\n"));

    {
        // Read the first line, then overwrite from there on.
        SettingsFileClass update(path, FileOpenForReadWrite);
        ASSERT_TRUE(update.IsOpen());
        std::string line;
        ASSERT_TRUE(update.ReadFromSettingsFile(line));
        EXPECT_EQ(line, "one\n");
        EXPECT_TRUE(update.WriteToSettingsFile("TWO"));
    }
    EXPECT_EQ(ReadBytes(path), Native("one\nTWO\n"));

    const std::string created = folder.File("created.ini");
    {
        SettingsFileClass appended(created, FileOpenForAppending);
        EXPECT_TRUE(appended.IsOpen());
    }
    EXPECT_TRUE(std::filesystem::exists(created));
}

TEST(SettingsFile, WritesProduceExactBytesWithNativeLineEnds)
{
    TemporaryFolder folder;
    const std::string path = folder.File("writes.ini");
    {
        SettingsFileClass file(path, FileOpenForWriting);
        ASSERT_TRUE(file.IsOpen());
        EXPECT_TRUE(file.WriteToSettingsFile("no line end"));
        EXPECT_TRUE(file.WriteToSettingsFile("\n"));
        EXPECT_TRUE(file.WriteToSettingsFile("ON", true));
        EXPECT_TRUE(file.WriteToSettingsFile("OFF", false));
        EXPECT_TRUE(file.WriteToSettingsFile("COUNT", -42));
        EXPECT_TRUE(file.WriteToSettingsFile("GAIN", 0.05));
        EXPECT_TRUE(file.WriteFormattedLine("%s\t\t= %d", "PITCH_CNTL", 1));
        EXPECT_TRUE(file.WriteLineToSettingsFile(std::string("two\nlines")));
        EXPECT_TRUE(file.WriteToSettingsFile(std::string(1500, 'x')));
        EXPECT_TRUE(file.FlushFile());
        EXPECT_TRUE(file.CloseFile());
        EXPECT_FALSE(file.IsOpen());
        EXPECT_FALSE(file.WriteToSettingsFile("after close"));
    }
    const std::string expected = "no line end\nON = TRUE\nOFF = FALSE\nCOUNT = -42\nGAIN = 0.050000\n"
                                 "PITCH_CNTL\t\t= 1\ntwo\nlines\n"
        + std::string(1023, 'x');
    EXPECT_EQ(ReadBytes(path), Native(expected));
}

TEST(SettingsFile, ReadsAcceptEveryLineEndAndDeliverOneLineFeed)
{
    TemporaryFolder folder;
    const std::string path = folder.File("ends.ini");
    static const char bytes[] = "lf\ncrlf\r\ncr\rblank follows\n\nnul\0inside\n\r\nlast";
    WriteBytes(path, std::string(bytes, sizeof bytes - 1));
    SettingsFileClass file(path, FileOpenForReading);
    ASSERT_TRUE(file.IsOpen());
    const char* const lines[] = { "lf\n", "crlf\n", "cr\n", "blank follows\n", "\n", "nul", "\n", "last" };
    char buffer[64];
    for (const char* expected : lines) {
        ASSERT_TRUE(file.ReadFromSettingsFile(buffer, static_cast<int>(sizeof buffer))) << expected;
        EXPECT_STREQ(buffer, expected);
    }
    EXPECT_FALSE(file.ReadFromSettingsFile(buffer, static_cast<int>(sizeof buffer)));
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(file.FullErrorText(), "SettingsFileClass::ReadFromSettingsFile\nNULL read from file\n" + path);

    // Every lookup starts again from the top.
    ASSERT_TRUE(file.RewindFile());
    ASSERT_TRUE(file.ReadFromSettingsFile(buffer, static_cast<int>(sizeof buffer)));
    EXPECT_STREQ(buffer, "lf\n");
}

TEST(SettingsFile, LongLinesAreCutByTheBoundedReadAndContinuedByTheDirectOne)
{
    TemporaryFolder folder;
    const std::string path = folder.File("long.ini");
    const std::string first(2000, 'a');
    // Longer than the line buffer itself: its tail must not come back as a line.
    const std::string second = std::string(6000, 'b') + "KEY = tail";
    WriteBytes(path, first + "\n" + second + "\nnext\n");

    SettingsFileClass bounded(path, FileOpenForReading);
    static char buffer[1024];
    ASSERT_TRUE(bounded.ReadFromSettingsFile(buffer, 1024));
    EXPECT_EQ(std::string(buffer), first.substr(0, 1023));
    ASSERT_TRUE(bounded.ReadFromSettingsFile(buffer, 1024));
    EXPECT_EQ(std::string(buffer), second.substr(0, 1023));
    ASSERT_TRUE(bounded.ReadFromSettingsFile(buffer, 1024));
    EXPECT_STREQ(buffer, "next\n");
    EXPECT_FALSE(bounded.ReadFromSettingsFile(buffer, 1024));

    SettingsFileClass direct(path, FileOpenForReading);
    ASSERT_TRUE(direct.ReadFromSettingsFile(buffer));
    EXPECT_EQ(std::string(buffer), first.substr(0, 1023));
    ASSERT_TRUE(direct.ReadFromSettingsFile(buffer));
    EXPECT_EQ(std::string(buffer), first.substr(1023) + "\n");
    char small[4];
    ASSERT_TRUE(direct.ReadFromSettingsFileDirect(small, 4));
    EXPECT_STREQ(small, "bbb");
}

TEST(SettingsFile, AFullDiskFailsTheWriteOrTheClose)
{
    TemporaryFolder folder;
    const std::string path = folder.File("full.ini");
    {
        FailingSettingsStream::Scope full(10);
        SettingsFileClass file(path, FileOpenForWriting);
        ASSERT_TRUE(file.IsOpen());
        EXPECT_TRUE(file.WriteToSettingsFile("12345"));
        EXPECT_FALSE(file.WriteToSettingsFile("67890X"));
        EXPECT_EQ(file.FullErrorText(), "SettingsFileClass::WriteToSettingsFile\nEOF Error On writing\n" + path);
        EXPECT_EQ(FailingSettingsStream::BytesAccepted(), 10u);
    }
    {
        FailingSettingsStream::Scope lostOnClose(0, FailingSettingsStream::Failure::OnClose);
        SettingsFileClass file(path, FileOpenForWriting);
        EXPECT_TRUE(file.WriteLineToSettingsFile("written"));
        EXPECT_FALSE(file.CloseFile());
        EXPECT_EQ(file.FullErrorText(), "SettingsFileClass::WriteToSettingsFile\nEOF Error On writing\n" + path);
    }
    // Outside the scopes the real stream is back.
    SettingsFileClass file(path, FileOpenForWriting);
    EXPECT_TRUE(file.WriteToSettingsFile(std::string(100, 'z')));
    EXPECT_TRUE(file.CloseFile());
    EXPECT_EQ(ReadBytes(path), std::string(100, 'z'));
}

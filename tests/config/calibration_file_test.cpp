// Calibration.ini: what it reads, what it refuses (one note per bad entry,
// naming the file, the key and the text), what a save writes and that a save
// that fails leaves the old file as it was.
#include "config/CalibrationFile.h"
#include "tests/config/config_test_support.h"
#include "tests/fakes/FailingSettingsStream.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using ConfigTest::ReadBytes;
using ConfigTest::WriteBytes;

namespace {

CalibrationFile::ReadResult ParseText(const std::string& text)
{
    return CalibrationFile::Parse(text, "Calibration.ini");
}

// The notes a file of one section with the single line `line` gives.
std::vector<std::string> NotesOf(const std::string& line)
{
    return ParseText("[JOYSTICK_305419896]\n" + line + "\n").notes;
}

} // namespace

TEST(CalibrationFile, ReadsCentredAndRestingAxesPerJoystick)
{
    const CalibrationFile::ReadResult read = ParseText("# a comment\n"
                                                       "[JOYSTICK_305419896]\r\n"
                                                       "X\t= -9800 120 9750\r\n"
                                                       "  SL1 =  -10000   9900  \n"
                                                       "\n"
                                                       "[ JOYSTICK_-2 ]\n"
                                                       "RZ=+5 6 7\n"
                                                       "[JOYSTICK_12@serial:A1B2]\n"
                                                       "Y = -1 1\n");
    EXPECT_TRUE(read.notes.empty()) << read.notes[0];
    const JoystickCalibration* stick = read.table.Find(305419896);
    ASSERT_NE(stick, nullptr);
    EXPECT_EQ(stick->axes[0], AxisCalibration::Centred(-9800, 120, 9750));
    EXPECT_EQ(stick->axes[6], AxisCalibration::RestsAtEnd(-10000, 9900));
    EXPECT_EQ(stick->axes[1].kind, AxisCalibration::Kind::None);
    ASSERT_NE(read.table.Find(-2), nullptr);
    EXPECT_EQ(read.table.Find(-2)->axes[5], AxisCalibration::Centred(5, 6, 7));
    // The per-instance section is kept for that instance only.
    EXPECT_EQ(read.table.Find(12), nullptr);
    ASSERT_NE(read.table.Find(12, "serial:A1B2"), nullptr);
    EXPECT_EQ(read.table.Find(12, "serial:A1B2")->axes[1], AxisCalibration::RestsAtEnd(-1, 1));
}

TEST(CalibrationFile, EachBadEntryIsIgnoredWithOneNoteNamingFileKeyAndText)
{
    struct Case {
        const char* line;
        const char* note;
    };
    const Case cases[] = {
        { "X = 100 100 200",
            "Calibration.ini: [JOYSTICK_305419896] X = 100 100 200 has its min not below its centre: the axis is "
            "not calibrated" },
        { "Y = 300 200 100",
            "Calibration.ini: [JOYSTICK_305419896] Y = 300 200 100 has its min not below its centre: the axis is "
            "not calibrated" },
        { "Z = -5 7 7",
            "Calibration.ini: [JOYSTICK_305419896] Z = -5 7 7 has its centre not below its max: the axis is not "
            "calibrated" },
        { "RX = 50 50",
            "Calibration.ini: [JOYSTICK_305419896] RX = 50 50 has its min not below its max: the axis is not "
            "calibrated" },
        { "RY = -10001 0 100",
            "Calibration.ini: [JOYSTICK_305419896] RY = -10001 0 100 lies beyond -10000..10000: the axis is not "
            "calibrated" },
        { "RZ = -100 0 10001",
            "Calibration.ini: [JOYSTICK_305419896] RZ = -100 0 10001 lies beyond -10000..10000: the axis is not "
            "calibrated" },
        { "SL1 = abc",
            "Calibration.ini: [JOYSTICK_305419896] SL1 = abc is not \"min centre max\" or \"min max\" in whole "
            "numbers: the axis is not calibrated" },
        { "SL2 = 1.5 2 3",
            "Calibration.ini: [JOYSTICK_305419896] SL2 = 1.5 2 3 is not \"min centre max\" or \"min max\" in whole "
            "numbers: the axis is not calibrated" },
        { "X = 1 2 3 4",
            "Calibration.ini: [JOYSTICK_305419896] X = 1 2 3 4 is not \"min centre max\" or \"min max\" in whole "
            "numbers: the axis is not calibrated" },
        { "X = 5",
            "Calibration.ini: [JOYSTICK_305419896] X = 5 is not \"min centre max\" or \"min max\" in whole numbers: "
            "the axis is not calibrated" },
        { "X = 99999999999 0 1",
            "Calibration.ini: [JOYSTICK_305419896] X = 99999999999 0 1 is not \"min centre max\" or \"min max\" in "
            "whole numbers: the axis is not calibrated" },
        { "X = [1 2 3",
            "Calibration.ini: [JOYSTICK_305419896] X = [1 2 3 is not \"min centre max\" or \"min max\" in whole "
            "numbers: the axis is not calibrated" },
        { "THROTTLE = 1 2",
            "Calibration.ini: [JOYSTICK_305419896] THROTTLE is not one of X Y Z RX RY RZ SL1 SL2: "
            "ignored" },
        { "garbage", "Calibration.ini: [JOYSTICK_305419896] garbage is not a \"key = value\" line: ignored" },
    };
    for (const Case& c : cases) {
        const std::vector<std::string> notes = NotesOf(c.line);
        ASSERT_EQ(notes.size(), 1u) << c.line;
        EXPECT_EQ(notes[0], c.note);
        // The axis stays as read: the entry calibrates nothing.
        const CalibrationFile::ReadResult read = ParseText(std::string("[JOYSTICK_305419896]\n") + c.line + "\n");
        const JoystickCalibration* entry = read.table.Find(305419896);
        EXPECT_TRUE(entry == nullptr || !entry->Calibrates()) << c.line;
    }

    // Sections that are not a joystick's, and lines outside any: one note each, the good entries still count.
    const CalibrationFile::ReadResult read = ParseText("X = 1 2 3\n"
                                                       "[JOYSTICK_abc]\n"
                                                       "X = 1 2 3\n"
                                                       "Y = 1 2 3\n"
                                                       "[JOYSTICK_4\n"
                                                       "[JOYSTICK_5@]\n"
                                                       "[JOYSTICK_6]\n"
                                                       "X = 1 2 3\n"
                                                       "Y = 3 2 1\n");
    EXPECT_EQ(read.notes,
        (std::vector<std::string> {
            "Calibration.ini: X = 1 2 3 stands outside any [JOYSTICK_<ID>] section: ignored",
            "Calibration.ini: [JOYSTICK_abc] is not a [JOYSTICK_<ID>] section: its lines are ignored",
            "Calibration.ini: [JOYSTICK_4 is not a [JOYSTICK_<ID>] section: its lines are ignored",
            "Calibration.ini: [JOYSTICK_5@] is not a [JOYSTICK_<ID>] section: its lines are ignored",
            "Calibration.ini: [JOYSTICK_6] Y = 3 2 1 has its min not below its centre: the axis is not calibrated",
        }));
    ASSERT_EQ(read.table.Entries().size(), 1u);
    EXPECT_EQ(read.table.Find(6)->axes[0], AxisCalibration::Centred(1, 2, 3));

    // A line longer than the 512-character buffer is not read in parts.
    const std::string longLine = "X = 1 2 3" + std::string(600, ' ') + "4";
    const std::vector<std::string> notes = NotesOf(longLine);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].rfind("Calibration.ini: a line longer than 511 characters (X = 1 2 3", 0), 0u) << notes[0];
    EXPECT_EQ(ParseText("[JOYSTICK_305419896]\n" + longLine + "\n").table.Find(305419896), nullptr);
    // An unread value too long to be written back on a line of its own is not kept.
    const std::string longValue = "SL1=" + std::string(505, 'x');
    ASSERT_LE(longValue.size(), 511u);
    const CalibrationFile::ReadResult unkept = ParseText("[JOYSTICK_1]\n" + longValue + "\n");
    EXPECT_EQ(unkept.notes.size(), 1u);
    EXPECT_TRUE(unkept.table.Empty());
    // Every note fits the warning list's 255 characters.
    EXPECT_LE(NotesOf("X = " + std::string(400, '7')).at(0).size(), 255u);
}

TEST(CalibrationFile, SaveWritesWhatReadsBackAndKeepsUnreadValuesAsWritten)
{
    ConfigTest::TemporaryFolder folder;
    const std::string path = folder.File("Shared/Calibration.ini"); // the folder is made
    CalibrationTable table;
    table.Entry(305419896).axes[0] = AxisCalibration::Centred(-9800, 120, 9750);
    table.Entry(305419896).axes[7] = AxisCalibration::RestsAtEnd(-10000, 9900);
    table.Entry(-2).axes[3] = AxisCalibration::Centred(-1, 0, 1);
    table.Entry(12, "serial:A1B2").axes[1] = AxisCalibration::RestsAtEnd(-5, 5);
    table.Entry(-2).unreadText[4] = "12 abc";
    std::string reason;
    ASSERT_TRUE(CalibrationFile::Save(path, table, reason)) << reason;

    const std::string text = CalibrationFile::Text(table);
    EXPECT_NE(text.find("[JOYSTICK_-2]\nRX\t= -1 0 1\nRY\t= 12 abc\n#\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[JOYSTICK_12@serial:A1B2]\nY\t= -5 5\n#\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[JOYSTICK_305419896]\nX\t= -9800 120 9750\nSL2\t= -10000 9900\n#\n"), std::string::npos)
        << text;

    const CalibrationFile::ReadResult read = CalibrationFile::Read(path);
    // The unread value is told again, and stays in the table to be written back unchanged.
    ASSERT_EQ(read.notes.size(), 1u);
    EXPECT_EQ(read.notes[0],
        "Calibration.ini: [JOYSTICK_-2] RY = 12 abc is not \"min centre max\" or \"min max\" in whole numbers: the "
        "axis is not calibrated");
    EXPECT_EQ(read.table, table);
    EXPECT_EQ(CalibrationFile::Text(read.table), text);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(CalibrationFile, MissingFileIsNoCalibrationAndAFailedSaveKeepsTheOldFile)
{
    ConfigTest::TemporaryFolder folder;
    const std::string path = folder.File("Calibration.ini");
    CalibrationFile::ReadResult read = CalibrationFile::Read(path);
    EXPECT_TRUE(read.table.Empty());
    EXPECT_TRUE(read.notes.empty());

    CalibrationTable table;
    table.Entry(1).axes[0] = AxisCalibration::Centred(-1, 0, 1);
    std::string reason;
    ASSERT_TRUE(CalibrationFile::Save(path, table, reason)) << reason;
    const std::string old = ReadBytes(path);
    table.Entry(1).axes[1] = AxisCalibration::RestsAtEnd(-3, 3);
    {
        FailingSettingsStream::Scope full(10);
        EXPECT_FALSE(CalibrationFile::Save(path, table, reason));
        EXPECT_NE(reason.find("EOF Error On writing"), std::string::npos) << reason;
    }
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    {
        FailingSettingsStream::Scope lostOnClose(0, FailingSettingsStream::Failure::OnClose);
        EXPECT_FALSE(CalibrationFile::Save(path, table, reason));
    }
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));

    // A file too large to be a calibration is refused whole, with one note.
    WriteBytes(path, "[JOYSTICK_1]\nX = 1 2 3\n" + std::string(CalibrationFile::kMaxFileSize, '#'));
    read = CalibrationFile::Read(path);
    EXPECT_TRUE(read.table.Empty());
    ASSERT_EQ(read.notes.size(), 1u);
    EXPECT_EQ(read.notes[0].rfind("Calibration.ini could not be read, no axis is calibrated: ", 0), 0u)
        << read.notes[0];
}

// Ini_File_Reader and CIniRead: the section and entry rules, the nine lookup
// forms, the error texts, relative values and the converters' length rules.
#include "config/Ini_File_Reader.h"
#include "support/Paths.h"
#include "tests/config/config_test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string>

using ConfigTest::TemporaryFolder;
using ConfigTest::WriteBytes;

namespace {

class IniReader : public ::testing::Test {
protected:
    // Opens a reader on a file holding exactly `bytes`.
    Ini_File_Reader& Open(const std::string& bytes)
    {
        m_path = m_folder.File("lookup.ini");
        WriteBytes(m_path, bytes);
        m_reader = std::make_unique<Ini_File_Reader>();
        EXPECT_TRUE(m_reader->OpenFile(m_path)) << m_reader->GetErrorText();
        return *m_reader;
    }

    std::string Compact(const char* section, const char* key)
    {
        char value[1024] = "unchanged";
        return m_reader->LookForValue(section, key, value, sizeof value) ? value : "<missing>";
    }
    std::string AsWritten(const char* section, const char* key)
    {
        char value[1024] = "unchanged";
        return m_reader->LookForValueAsWritten(section, key, value, sizeof value) ? value : "<missing>";
    }

    TemporaryFolder m_folder;
    std::string m_path;
    std::unique_ptr<Ini_File_Reader> m_reader;
};

} // namespace

TEST_F(IniReader, KeysAreFoundInAnyOrderWhateverTheBlanksAndTabs)
{
    Open("[CONFIG_DETAILS]\n"
         "NAME = My  set up  \n"
         "JOY_ID=5\n"
         "#\n"
         "[FLIGHT_CONTROLS]\n"
         "PITCH_CNTL\t\t= 1\n"
         "  ROLL _ CNTL \t =\t  2 = two\n"
         "JOY_ID \t  =   5\n"
         "SIDE_STICK_P_CNTL\t= 7\n");
    EXPECT_EQ(Compact("FLIGHT_CONTROLS", "SIDE_STICK_P_CNTL"), "7");
    EXPECT_EQ(Compact("FLIGHT_CONTROLS", "PITCH_CNTL"), "1");
    EXPECT_EQ(Compact("FLIGHT_CONTROLS", "ROLL_CNTL"), "2=two");
    EXPECT_EQ(AsWritten("FLIGHT_CONTROLS", "ROLL_CNTL"), "2 = two");
    EXPECT_EQ(Compact("CONFIG_DETAILS", "JOY_ID"), "5");
    EXPECT_EQ(Compact("FLIGHT_CONTROLS", "JOY_ID"), "5");
    EXPECT_EQ(AsWritten("CONFIG_DETAILS", "NAME"), "My  set up  ");
    EXPECT_EQ(Compact("CONFIG_DETAILS", "NAME"), "Mysetup");
    // Keys are case-sensitive and must match whole.
    EXPECT_EQ(Compact("FLIGHT_CONTROLS", "pitch_cntl"), "<missing>");
    EXPECT_EQ(Compact("FLIGHT_CONTROLS", "PITCH"), "<missing>");
}

TEST_F(IniReader, SectionsOpenAtTheirNameAndEndAtAnyBracket)
{
    Open("# the joystick set-up follows in [FLIGHT_CONTROLS]\n"
         "EARLY = 1\n"
         "[BUTTON_CONTROLS]\n"
         "AP_BTN = 3\n"
         "AP_BTN = 4\n"
         "# a note with a [ in it\n"
         "LATE_BTN = 5\n"
         "[FLIGHT_CONTROLS]\n"
         "PITCH_CNTL = 1\n"
         "[ACCESS] STRAY = 9\n"
         "EYE_POV_CNTL = 1\n");
    // The comment line opens the section before the real header.
    EXPECT_EQ(Compact("FLIGHT_CONTROLS", "EARLY"), "1");
    EXPECT_EQ(Compact("FLIGHT_CONTROLS", "PITCH_CNTL"), "<missing>");
    // First entry wins; a comment with "[" ends the section.
    EXPECT_EQ(Compact("BUTTON_CONTROLS", "AP_BTN"), "3");
    EXPECT_EQ(Compact("BUTTON_CONTROLS", "LATE_BTN"), "<missing>");
    // A key of another section is not found; a header line is still an entry.
    EXPECT_EQ(Compact("ACCESS", "AP_BTN"), "<missing>");
    EXPECT_EQ(Compact("BUTTON_CONTROLS", "EYE_POV_CNTL"), "<missing>");
    EXPECT_EQ(Compact("ACCESS", "EYE_POV_CNTL"), "1");
    EXPECT_EQ(Compact("BUTTON_CONTROLS", "[ACCESS]STRAY"), "<missing>");

    EXPECT_EQ(Compact("NOPE", "AP_BTN"), "<missing>");
    EXPECT_EQ(m_reader->FullErrorText(), "Ini_File_Reader::LookForValue\nDid not find Key [NOPE]\nin file \n" + m_path);
    EXPECT_EQ(Compact("BUTTON_CONTROLS", "GEAR_BTN"), "<missing>");
    EXPECT_EQ(m_reader->FullErrorText(),
        "Ini_File_Reader::LookForValue\nDid not find Item <GEAR_BTN> under Key [BUTTON_CONTROLS]\nin file \n" + m_path);
}

TEST_F(IniReader, TypedFormsConvertTheCompactValue)
{
    Open("[S]\n"
         "INT = - 12x\n"
         "BIG = 99999999999\n"
         "SHORT = 70000\n"
         "FLOAT = 0.1\n"
         "DOUBLE = 2.5e1\n"
         "LONG = -2147483649\n"
         "YES = yes True\n"
         "ONE = x1\n"
         "NO = false\n"
         "\t ENABLED  \t\n");
    int i = 0;
    EXPECT_TRUE(m_reader->LookForValue("S", "INT", i));
    EXPECT_EQ(i, -12);
    EXPECT_TRUE(m_reader->LookForValue("S", "BIG", i));
    EXPECT_EQ(i, INT32_MAX);
    std::int16_t s = 0;
    EXPECT_TRUE(m_reader->LookForValue("S", "SHORT", s));
    EXPECT_EQ(s, static_cast<std::int16_t>(70000 - 65536));
    float f = 0;
    EXPECT_TRUE(m_reader->LookForValue("S", "FLOAT", f));
    EXPECT_FLOAT_EQ(f, 0.1F);
    double d = 0;
    EXPECT_TRUE(m_reader->LookForValue("S", "DOUBLE", d));
    EXPECT_DOUBLE_EQ(d, 25.0);
    long l = 0;
    EXPECT_TRUE(m_reader->LookForValue("S", "LONG", l));
    EXPECT_EQ(l, static_cast<long>(INT32_MIN));
    bool b = false;
    EXPECT_TRUE(m_reader->LookForValue("S", "YES", b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(m_reader->LookForValue("S", "ONE", b));
    EXPECT_TRUE(b);
    EXPECT_TRUE(m_reader->LookForValue("S", "NO", b));
    EXPECT_FALSE(b);
    EXPECT_FALSE(m_reader->LookForValue("S", "MISSING", b));
    EXPECT_FALSE(b);

    EXPECT_TRUE(m_reader->LookForValue("S", "ENABLED"));
    EXPECT_FALSE(m_reader->LookForValue("S", "ENABLE"));
    EXPECT_FALSE(m_reader->LookForValue("T", "ENABLED"));
}

TEST_F(IniReader, EveryLineEndAndAMissingLastOneReadTheSame)
{
    const std::string lines[] = { "[S]", "NAME = A B", "BTN = NA", "LAST = 9" };
    for (const char* end : { "\n", "\r\n", "\r" }) {
        std::string bytes;
        for (const auto& line : lines) {
            bytes += line + end;
        }
        bytes.resize(bytes.size() - std::string(end).size());
        Open(bytes);
        EXPECT_EQ(AsWritten("S", "NAME"), "A B") << "line end " << static_cast<int>(end[0]);
        EXPECT_EQ(AsWritten("S", "BTN"), "NA");
        EXPECT_EQ(AsWritten("S", "LAST"), "9");
    }
}

TEST_F(IniReader, HostileFilesAreReadWithoutFault)
{
    // A value longer than every buffer, a tail that must not become a line of
    // its own, NUL bytes, and a last line with no end.
    std::string bytes = "[S]\nLONG = " + std::string(3000, 'v') + "\n";
    bytes += "HIDE = " + std::string(6000, 'h') + "\nTAIL = shown\n";
    // Exactly the line buffer's 5119 characters before the next key.
    bytes += "HUGE = " + std::string(5112, 'w') + "HIDDEN = 1\n";
    bytes += std::string("NUL = a\0b\n", 10) + "END = 1";
    Open(bytes);
    EXPECT_EQ(Compact("S", "LONG"), std::string(1023 - 7, 'v'));
    EXPECT_EQ(Compact("S", "TAIL"), "shown");
    EXPECT_EQ(Compact("S", "HIDDEN"), "<missing>");
    EXPECT_EQ(Compact("S", "NUL"), "a");
    EXPECT_EQ(Compact("S", "END"), "1");

    CIniRead ini(m_path.c_str());
    ASSERT_TRUE(ini.Open());
    char value[300];
    InitDataRequest request;
    request.section = "S";
    request.key = "LONG";
    request.destination = value;
    request.length = static_cast<int>(sizeof value);
    ASSERT_TRUE(ini.GetInitData(request));
    EXPECT_EQ(std::string(value), std::string(255, 'v'));
    EXPECT_NE(request.reader, nullptr);

    // Random bytes: lookups end, whatever they find.
    std::mt19937 random(12345);
    for (int round = 0; round < 20; ++round) {
        std::string garbage(4096, '\0');
        for (char& c : garbage) {
            c = static_cast<char>(random() % 256);
        }
        garbage.insert(random() % 4000, "[S]\nKEY=1\n");
        Open(garbage);
        char out[64];
        m_reader->LookForValue("S", "KEY", out, sizeof out);
        m_reader->LookForValue("S", "KEY");
    }
}

TEST_F(IniReader, OpenFailuresKeepTheReason)
{
    Ini_File_Reader unnamed;
    EXPECT_FALSE(unnamed.OpenFile(""));
    EXPECT_STREQ(
        unnamed.GetErrorText(), "Ini_File_Reader::OpenFile\nIni_File_Reader::OpenFile - File Name Given was NULL");
    char value[8];
    EXPECT_FALSE(unnamed.LookForValue("S", "K", value, sizeof value));

    const std::string missing = m_folder.File("missing.ini");
    CIniRead ini(missing.c_str());
    EXPECT_FALSE(ini.Open());
    EXPECT_EQ(std::string(ini.GetErrorText()).rfind("SettingsFileClass::OpenFileForReading\n", 0), 0u);
    InitDataRequest request;
    request.section = "S";
    request.key = "K";
    request.destination = value;
    request.length = static_cast<int>(sizeof value);
    EXPECT_FALSE(ini.GetInitData(request));
}

TEST_F(IniReader, InitDataResolvesProgramRelativeValuesAndReportsMissingTags)
{
    Open("[PATHS]\n"
         "NAV = ..\\data\\nav.dat\n"
         "SLASH =   ../data/nav.dat\n"
         "HERE = .\\nav.dat\n"
         "PLAIN = C:\\Sim\\nav.dat\n");
    CIniRead ini(m_path.c_str());
    ASSERT_TRUE(ini.Open());
    const auto get = [&ini](const char* key, int length = 260) {
        char value[260] = "unchanged";
        InitDataRequest request;
        request.section = "PATHS";
        request.key = key;
        request.destination = value;
        request.length = length;
        return ini.GetInitData(request) ? std::string(value) : "<missing>";
    };
    const char separator = Paths::Separator();
    std::string relative = "data";
    relative += separator;
    relative += "nav.dat";
    const std::string expected = Paths::ProgramFolder() + separator + relative;
    EXPECT_EQ(get("NAV"), expected);
    EXPECT_EQ(get("SLASH"), expected);
    EXPECT_EQ(get("HERE"), ".\\nav.dat");
    EXPECT_EQ(get("PLAIN"), "C:\\Sim\\nav.dat");
    EXPECT_EQ(get("PLAIN", 3), "C:");

    EXPECT_EQ(get("ABSENT"), "<missing>");
    EXPECT_STREQ(ini.GetErrorText(), "Tag >ABSENT< not found under Title >PATHS< in initialisation file");
    EXPECT_EQ(ini.MessageText(), "Tag >ABSENT< not found under Title >PATHS< in initialisation file");
    char value[8];
    InitDataRequest request;
    request.section = "NO_SECTION";
    request.key = "NAV";
    request.destination = value;
    request.length = static_cast<int>(sizeof value);
    EXPECT_FALSE(ini.GetInitData(request));
    EXPECT_STREQ(ini.GetErrorText(), "Tag >NAV< not found under Title >NO_SECTION< in initialisation file");
}

TEST(IniConverters, LengthRulesDecideWhatIsAccepted)
{
    double d = -1.0;
    EXPECT_FALSE(CIniRead::ParseDouble("5", d));
    EXPECT_DOUBLE_EQ(d, -1.0);
    EXPECT_TRUE(CIniRead::ParseDouble("5.", d));
    EXPECT_DOUBLE_EQ(d, 5.0);
    EXPECT_TRUE(CIniRead::ParseDouble("0.05", d));
    EXPECT_DOUBLE_EQ(d, 0.05);
    EXPECT_TRUE(CIniRead::ParseDouble("12345678901234567.00", d));
    EXPECT_FALSE(CIniRead::ParseDouble("123456789012345678.00", d));
    EXPECT_FALSE(CIniRead::ParseDouble("", d));
    EXPECT_FALSE(CIniRead::ParseDouble(nullptr, d));
    // Not a number a tuning value could use.
    EXPECT_FALSE(CIniRead::ParseDouble("nan", d));
    EXPECT_FALSE(CIniRead::ParseDouble("-inf", d));
    EXPECT_FALSE(CIniRead::ParseDouble("1e999", d));

    long l = -1;
    EXPECT_TRUE(CIniRead::ParseLong("NA", l));
    EXPECT_EQ(l, 0);
    EXPECT_TRUE(CIniRead::ParseLong("7", l));
    EXPECT_EQ(l, 7);
    EXPECT_TRUE(CIniRead::ParseLong("-1039334291", l));
    EXPECT_EQ(l, -1039334291L);
    EXPECT_TRUE(CIniRead::ParseLong("4294967296", l));
    EXPECT_EQ(l, static_cast<long>(INT32_MAX));
    EXPECT_FALSE(CIniRead::ParseLong("", l));
    EXPECT_FALSE(CIniRead::ParseLong("123456789012345678901", l));
    int i = -1;
    EXPECT_TRUE(CIniRead::ParseInt("12abc", i));
    EXPECT_EQ(i, 12);
    EXPECT_FALSE(CIniRead::ParseInt("", i));

    EXPECT_TRUE(CIniRead::IsTrueText("TRUE"));
    EXPECT_TRUE(CIniRead::IsTrueText("isTrueish"));
    EXPECT_FALSE(CIniRead::IsTrueText("tRuE"));
    EXPECT_FALSE(CIniRead::IsTrueText("true0000000"));
    EXPECT_TRUE(CIniRead::IsTrueText("true000000"));
    EXPECT_FALSE(CIniRead::IsTrueText(""));
}

// [RESPONSE_CURVES] in the joystick configuration file: absent without
// curves (the file as before, byte for byte), after [ACCESS] with them, the
// same set-up for the described reader either way, and every bad value one
// note with the axis left LINEAR.
#include "config/Ini_File_Reader.h"
#include "mapping/CockpitAxes.h"
#include "support/Paths.h"
#include "tests/config/configuration_fixture.h"

#include <string>

namespace Block = GenericSimBlock;
using ConfigTest::ConfigurationFixture;
using ConfigTest::ReadBytes;
using ConfigTest::WithLineEnds;
using ConfigTest::WriteBytes;

namespace {

ResponseCurve Curve(const char* text)
{
    ResponseCurve curve;
    EXPECT_EQ(ResponseCurve::Parse(text, curve), nullptr) << text;
    return curve;
}

int Row(std::int32_t axis)
{
    return CockpitAxisTable::IndexOf(axis);
}

std::string WithoutReturns(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c != '\r') {
            out += c;
        }
    }
    return out;
}

class ResponseCurvesFile : public ConfigurationFixture {
protected:
    void SetUp() override
    {
        ConfigurationFixture::SetUp();
        SetAxis(Block::kPitchRecord, 4660, InputY);
        SetAxis(Block::kRollRecord, 4660, InputX);
        SetAxis(Block::kEyeViewRecord, 4660, 1);
        SetButton(ButtonParkBrk, 4660, 7);
        SetSetting(Block::kPitchSensitivity, 0.002);
    }

    std::string Save(const char* name)
    {
        const std::string path = folder.File(name);
        EXPECT_TRUE(processor.SaveConfiguration(1, path.c_str())) << processor.GetErrorText();
        return ReadBytes(path);
    }

    void ClearCurves()
    {
        for (int row = 0; row < CockpitAxisTable::kRowCount; ++row) {
            processor.SetResponseCurve(row, ResponseCurve());
        }
    }
};

} // namespace

TEST_F(ResponseCurvesFile, TheSectionFollowsAccessOnlyWhenACurveIsNotPlainLinear)
{
    const std::string plain = Save("plain.ini");
    ASSERT_NE(plain.find("[ACCESS]"), std::string::npos);
    EXPECT_EQ(plain.find("RESPONSE_CURVES"), std::string::npos);

    processor.SetResponseCurve(Row(AxisPitch), Curve("EXPO 0.35"));
    processor.SetResponseCurve(Row(AxisRoll), Curve("POINTS -1 -1 -0.5 -0.3 0 0 0.5 0.3 1 1"));
    processor.SetResponseCurve(Row(AxisTiller), Curve("LINEAR INVERT"));
    processor.SetResponseCurve(Row(AxisThrLvrR), Curve("POINTS -1 0 1 1 INVERT"));
    const std::string curved = Save("curved.ini");
    // The described sections keep every byte; the new one comes last.
    ASSERT_EQ(curved.substr(0, plain.size()), plain);
    EXPECT_EQ(WithoutReturns(curved.substr(plain.size())),
        "[RESPONSE_CURVES]\n"
        "PITCH_CURVE\t= EXPO 0.350000\n"
        "ROLL_CURVE\t= POINTS -1.000000 -1.000000 -0.500000 -0.300000 0.000000 0.000000 0.500000 0.300000 "
        "1.000000 1.000000\n"
        "TILLER_CURVE\t= LINEAR INVERT\n"
        "TLA_R_CURVE\t= POINTS -1.000000 0.000000 1.000000 1.000000 INVERT\n"
        "#\n");
    EXPECT_EQ(curved.substr(plain.size()).find("\r") != std::string::npos, Paths::NativeLineEnd()[0] == '\r');

    // Curves put back to plain LINEAR: the file is again as before.
    ClearCurves();
    EXPECT_EQ(Save("again.ini"), plain);
}

TEST_F(ResponseCurvesFile, SaveAndLoadGiveBackTheCurvesAndTheDescribedReaderTheSameSetUp)
{
    const std::string plainPath = folder.File("plain.ini");
    Save("plain.ini");
    processor.SetResponseCurve(Row(AxisPitch), Curve("EXPO 0.35 INVERT"));
    processor.SetResponseCurve(Row(AxisRoll), Curve("POINTS -1 -1 -0.5 -0.3 0 0 0.5 0.3 1 1"));
    processor.SetResponseCurve(Row(AxisPedals), Curve("LINEAR INVERT"));
    const std::string curvedPath = folder.File("curved.ini");
    Save("curved.ini");

    // The keyed reader: every key of every described section reads the same
    // in both files, and no curve key is seen in [ACCESS].
    Ini_File_Reader plainReader;
    Ini_File_Reader curvedReader;
    ASSERT_TRUE(plainReader.OpenFile(plainPath));
    ASSERT_TRUE(curvedReader.OpenFile(curvedPath));
    for (const CockpitAxisRow& row : CockpitAxisTable::kRows) {
        for (const char* key : { row.keys.joystick, row.keys.input, row.keys.firstTuning, row.keys.secondTuning }) {
            char a[256] = {};
            char b[256] = {};
            const bool inPlain = plainReader.LookForValue(row.keys.section, key, a, sizeof a);
            ASSERT_EQ(curvedReader.LookForValue(row.keys.section, key, b, sizeof b), inPlain) << key;
            EXPECT_STREQ(a, b) << key;
        }
    }
    char value[256] = {};
    EXPECT_FALSE(curvedReader.LookForValue("ACCESS", "PITCH_CURVE", value, sizeof value));

    // Loaded: the same set-up in the block from both files, the curves only from one.
    ClearCurves();
    ASSERT_TRUE(processor.LoadConfiguration(plainPath.c_str()));
    const SetUpValues fromPlain = processor.SetUpInBlock().Take();
    for (int row = 0; row < CockpitAxisTable::kRowCount; ++row) {
        EXPECT_TRUE(processor.GetResponseCurve(row).IsPlainLinear()) << row;
    }
    ASSERT_TRUE(processor.LoadConfiguration(curvedPath.c_str()));
    EXPECT_TRUE(processor.SetUpInBlock().Take().SavesAs(fromPlain));
    EXPECT_TRUE(Warnings().empty());
    EXPECT_TRUE(processor.GetResponseCurve(Row(AxisPitch)) == Curve("EXPO 0.35 INVERT"));
    EXPECT_TRUE(processor.GetResponseCurve(Row(AxisRoll)) == Curve("POINTS -1 -1 -0.5 -0.3 0 0 0.5 0.3 1 1"));
    EXPECT_TRUE(processor.GetResponseCurve(Row(AxisPedals)) == Curve("LINEAR INVERT"));
    EXPECT_TRUE(processor.GetResponseCurve(Row(AxisTiller)).IsPlainLinear());

    // Loading the plain file again leaves no curve behind from the other.
    ASSERT_TRUE(processor.LoadConfiguration(plainPath.c_str()));
    EXPECT_TRUE(processor.GetResponseCurve(Row(AxisPitch)).IsPlainLinear());
}

TEST_F(ResponseCurvesFile, EveryBadValueIsOneNoteAndItsAxisStaysLinear)
{
    const std::string plain = WithoutReturns(Save("plain.ini"));
    const std::string longText = "EXPO 0.5" + std::string(520, ' ') + "INVERT";
    const std::string section = "[RESPONSE_CURVES]\n"
                                "PITCH_CURVE\t= POINTS -1 -1 0.5 0 0.2 0.1 1 1\n"
                                "ROLL_CURVE  =   EXPO 0.5   \n" // read: blanks and tabs around the words
                                "PEDAL_CURVE\t= EXPO 1.5\n"
                                "TILLER_CURVE\t= POINTS -1 nan 1 1\n"
                                "TLA_L_CURVE\t= "
        + longText
        + "\n"
          "TLA_R_CURVE\t= EXPO 0.5 [x]\n"
          "#\n";
    const std::string path = folder.File("Joystick1.ini");
    WriteBytes(path, WithLineEnds(plain + section, "\r\n"));
    for (int row = 0; row < CockpitAxisTable::kRowCount; ++row) {
        processor.SetResponseCurve(row, Curve("EXPO 0.1"));
    }
    ASSERT_TRUE(processor.LoadConfiguration(path.c_str())) << processor.GetErrorText();

    EXPECT_FALSE(processor.HasWarnings()) << "notes, never the described pending flag";
    const std::vector<std::string> notes = Warnings();
    ASSERT_EQ(notes.size(), 5u);
    const char* keys[] = { "PITCH_CURVE", "PEDAL_CURVE", "TILLER_CURVE", "TLA_L_CURVE", "TLA_R_CURVE" };
    const char* texts[] = { "POINTS -1 -1 0.5 0 0.2 0.1 1 1", "EXPO 1.5", "POINTS -1 nan 1 1",
        "EXPO 0.5 could not be read (longer", "EXPO 0.5 [x]" };
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(notes[i].rfind("Joystick1.ini: ", 0), 0u) << notes[i];
        EXPECT_NE(notes[i].find(std::string(keys[i]) + " = " + texts[i]), std::string::npos) << notes[i];
        EXPECT_NE(notes[i].find("LINEAR taken"), std::string::npos) << notes[i];
    }
    for (const std::int32_t axis : { AxisPitch, AxisPedals, AxisTiller, AxisThrLvrL, AxisThrLvrR }) {
        EXPECT_TRUE(processor.GetResponseCurve(Row(axis)).IsPlainLinear()) << axis;
    }
    EXPECT_TRUE(processor.GetResponseCurve(Row(AxisRoll)) == Curve("EXPO 0.5"));

    // Saved again, only what was read comes back; the rest of the file is untouched.
    const std::string saved = WithoutReturns(Save("saved.ini"));
    EXPECT_EQ(saved, plain + "[RESPONSE_CURVES]\nROLL_CURVE\t= EXPO 0.500000\n#\n");
}

// The configuration files against an unlucky environment: a decimal-comma
// locale, oversized files and folders in their place, links and leftovers
// beside them, and the simulator's copy of the button numbers after a load.
#include "config/Ini_File_Reader.h"
#include "config/SettingsFile.h"
#include "mapping/Assignments.h"
#include "mapping/GenericSimBlock.h"
#include "support/Paths.h"
#include "tests/config/configuration_fixture.h"
#include "tests/support/CommaLocale.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace Block = GenericSimBlock;
using ConfigTest::ReadBytes;
using ConfigTest::WriteBytes;

namespace {

// Pitch and roll (the two entries a load needs) with tuning values that a
// comma locale would read as 0, and the three mirrored buttons.
const char* const kSmallFile = "[CONFIG_DETAILS]\n"
                               "NAME = SMALL\n"
                               "JOY_ID = 7\n"
                               "[FLIGHT_CONTROLS]\n"
                               "SIDE_STICK_P_CNTL\t= 7\n"
                               "PITCH_SENS\t\t= 0.002500\n"
                               "PITCH_DB\t\t= 0.750000\n"
                               "PITCH_CNTL\t\t= 1\n"
                               "SIDE_STICK_R_CNTL\t= 7\n"
                               "ROLL_SENS\t\t= 1.5\n"
                               "ROLL_DB\t\t= 0.25\n"
                               "ROLL_CNTL\t\t= 0\n"
                               "[BUTTON_CONTROLS]\n"
                               "AP_BTN_CNTL\t= 7\n"
                               "AP_BTN\t\t= 1\n"
                               "AT_BTN_CNTL\t= 7\n"
                               "AT_BTN\t\t= 258\n"
                               "PTT_BTN_CNTL\t= 7\n"
                               "PTT_BTN\t\t= NA\n";

// Counts the bytes every stream opened for reading delivers.
std::size_t g_bytesRead = 0;

class CountingStream final : public SettingsStream {
public:
    explicit CountingStream(std::unique_ptr<SettingsStream> real)
        : m_real(std::move(real))
    {
    }
    int GetChar() override
    {
        const int c = m_real->GetChar();
        g_bytesRead += c >= 0 ? 1 : 0;
        return c;
    }
    void UngetChar(int character) override
    {
        m_real->UngetChar(character);
        --g_bytesRead;
    }
    bool ReadFailed() const override { return m_real->ReadFailed(); }
    bool Write(const char* data, std::size_t size) override { return m_real->Write(data, size); }
    bool Flush() override { return m_real->Flush(); }
    bool Rewind() override { return m_real->Rewind(); }
    bool Close() override { return m_real->Close(); }

private:
    std::unique_ptr<SettingsStream> m_real;
};

std::unique_ptr<SettingsStream> OpenCounting(const char* fileName, int mode, std::string& reason)
{
    auto real = SettingsFileClass::OpenStandardStream(fileName, mode, reason);
    if (real == nullptr) {
        return nullptr;
    }
    return std::make_unique<CountingStream>(std::move(real));
}

class ConfigurationSafety : public ConfigTest::ConfigurationFixture {
protected:
    std::string Write(const std::string& name, const std::string& text)
    {
        const std::string path = folder.File(name);
        WriteBytes(path, text);
        return path;
    }
};

} // namespace

TEST_F(ConfigurationSafety, ACommaLocaleReadsAndWritesTheSameNumbers)
{
    testlocale::CommaLocale comma;
    if (!comma.Active()) {
        GTEST_SKIP() << comma.Reason();
    }
    const std::string path = Write("comma.ini", kSmallFile);
    ASSERT_TRUE(processor.LoadConfiguration(path.c_str())) << processor.GetErrorText();
    EXPECT_DOUBLE_EQ(Setting(Block::kPitchSensitivity), 0.0025);
    EXPECT_DOUBLE_EQ(Setting(Block::kPitchDeadBand), 0.75);
    EXPECT_DOUBLE_EQ(Setting(Block::kRollSensitivity), 1.5);
    EXPECT_DOUBLE_EQ(Setting(Block::kRollDeadBand), 0.25);

    SetSetting(Block::kThrLvrLOffset, -2.5);
    const std::string saved = folder.File("saved.ini");
    ASSERT_TRUE(processor.SaveConfiguration(1, saved.c_str())) << processor.GetErrorText();
    const std::string text = ReadBytes(saved);
    const std::string lineEnd = Paths::NativeLineEnd();
    EXPECT_NE(text.find("PITCH_SENS\t\t= 0.002500" + lineEnd), std::string::npos);
    EXPECT_NE(text.find("ROLL_SENS\t\t= 1.500000" + lineEnd), std::string::npos);
    EXPECT_NE(text.find("TLA_L_OFFSET\t\t= -2.500000" + lineEnd), std::string::npos);
    EXPECT_EQ(text.find(','), std::string::npos) << text;
}

TEST_F(ConfigurationSafety, ALoadWritesTheMirroredButtonNumbersAsTheSettersWould)
{
    for (const std::size_t mirror :
        { Block::kApDiscButtonMirror, Block::kAtDiscButtonMirror, Block::kPttButtonMirror }) {
        Block::StoreByte(block, mirror, 0x5A);
    }
    const std::string path = Write("buttons.ini", kSmallFile);
    ASSERT_TRUE(processor.LoadConfiguration(path.c_str())) << processor.GetErrorText();
    EXPECT_EQ(Block::LoadByte(block, Block::kApDiscButtonMirror), 1);
    EXPECT_EQ(Block::LoadByte(block, Block::kAtDiscButtonMirror), 258 & 0xFF) << "the low byte";
    EXPECT_EQ(Block::LoadByte(block, Block::kPttButtonMirror), 255) << "NA";

    // A file without the entries unassigns them, and the mirrors say so.
    std::string without = kSmallFile;
    without.resize(without.find("[BUTTON_CONTROLS]"));
    const std::string second = Write("no-buttons.ini", without);
    ASSERT_TRUE(processor.LoadConfiguration(second.c_str())) << processor.GetErrorText();
    EXPECT_EQ(Block::LoadByte(block, Block::kApDiscButtonMirror), 255);
    EXPECT_EQ(Block::LoadByte(block, Block::kAtDiscButtonMirror), 255);
    EXPECT_EQ(ButtonNumber(ButtonApDisc), -1);
}

TEST_F(ConfigurationSafety, OversizedFilesAndFoldersAreRefusedWithAText)
{
    // Up to 1 MiB is read; the set-up at the top still counts.
    std::string padded = std::string(kSmallFile) + "# padding\n";
    padded += std::string(Ini_File_Reader::kMaxFileSize - padded.size(), '#');
    const std::string fits = Write("fits.ini", padded);
    EXPECT_TRUE(processor.LoadConfiguration(fits.c_str())) << processor.GetErrorText();
    EXPECT_DOUBLE_EQ(Setting(Block::kPitchSensitivity), 0.0025);

    const std::string large = Write("large.ini", std::string(kSmallFile) + std::string(2u << 20, '#'));
    SetSetting(Block::kPitchSensitivity, 0.5);
    EXPECT_FALSE(processor.LoadConfiguration(large.c_str()));
    EXPECT_EQ(processor.FullErrorText(),
        "SettingsFileClass::ReadFromSettingsFile\nFile is larger than 1 MiB: not read\n" + large);
    EXPECT_DOUBLE_EQ(Setting(Block::kPitchSensitivity), 0.5) << "nothing of the refused file was used";

    const std::filesystem::path folderInPlace = folder.Path() / "Joystick.ini";
    std::filesystem::create_directory(folderInPlace);
    EXPECT_FALSE(processor.LoadConfiguration(folderInPlace.string().c_str()));
    const std::string text = processor.FullErrorText();
    EXPECT_NE(text.find(folderInPlace.string()), std::string::npos) << text;
    EXPECT_NE(text.find("SettingsFileClass::"), std::string::npos) << text;

    // Saving onto a folder fails and leaves it as it was.
    EXPECT_FALSE(processor.SaveConfiguration(0, folderInPlace.string().c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(folderInPlace));
}

TEST_F(ConfigurationSafety, ALoadReadsTheFileOnceWhateverItsSize)
{
    // Every lookup used to read the file again from its top: a large file froze the polling.
    std::string text = "# " + std::string(200000, '#') + "\n" + kSmallFile;
    for (int i = 0; i < 2000; ++i) {
        text += "FILLER_" + std::to_string(i) + " = " + std::to_string(i) + "\n";
    }
    const std::string path = Write("large-but-allowed.ini", text);
    g_bytesRead = 0;
    SettingsFileClass::SetStreamOpener(&OpenCounting);
    const bool loaded = processor.LoadConfiguration(path.c_str());
    SettingsFileClass::SetStreamOpener(nullptr);
    ASSERT_TRUE(loaded) << processor.GetErrorText();
    EXPECT_EQ(g_bytesRead, text.size());
    EXPECT_DOUBLE_EQ(Setting(Block::kPitchSensitivity), 0.0025);
    EXPECT_EQ(ButtonNumber(ButtonApDisc), 1);
}

TEST_F(ConfigurationSafety, SavesNeverOpenAnExistingTemporaryName)
{
    const std::string path = Write("Joystick.ini", kSmallFile);
    ASSERT_TRUE(processor.LoadConfiguration(path.c_str()));
    // A save that died left its temporary file: it is not written into, and the save still works.
    const std::string leftover = path + ".tmp";
    WriteBytes(leftover, "left over\n");
    ASSERT_TRUE(processor.SaveConfiguration(0, path.c_str())) << processor.GetErrorText();
    EXPECT_EQ(ReadBytes(leftover), "left over\n");
    EXPECT_NE(ReadBytes(path).find("DEFAULT_JOYSTICK_SETUP"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp1")) << "the second name was moved over the file";
}

#if !defined(_WIN32)
TEST_F(ConfigurationSafety, SavesKeepLinksAndModesAndNeverFollowATemporaryLink)
{
    namespace fs = std::filesystem;
    const std::string real = Write("real.ini", kSmallFile);
    const std::string victim = Write("victim.txt", "precious\n");
    ASSERT_TRUE(processor.LoadConfiguration(real.c_str()));
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);

    // Joystick.ini is a link to real.ini; someone planted Joystick.ini.tmp -> victim.txt
    // and real.ini.tmp -> victim.txt.
    const fs::path link = folder.Path() / "Joystick.ini";
    fs::create_symlink("real.ini", link);
    fs::create_symlink(victim, link.string() + ".tmp");
    fs::create_symlink(victim, real + ".tmp");

    ASSERT_TRUE(processor.SaveConfiguration(0, link.string().c_str())) << processor.GetErrorText();
    EXPECT_EQ(ReadBytes(victim), "precious\n") << "a link at the temporary name was followed";
    EXPECT_TRUE(fs::is_symlink(link)) << "the link became a plain file";
    EXPECT_EQ(fs::read_symlink(link), "real.ini");
    EXPECT_NE(ReadBytes(real).find("NAME = DEFAULT_JOYSTICK_SETUP"), std::string::npos);
    struct stat info { };
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_TRUE(fs::is_symlink(real + ".tmp")) << "the planted link is left alone";

    // A named pipe in the file's place: refused at once, not waited on for a writer.
    const std::string pipe = folder.File("pipe.ini");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_FALSE(processor.LoadConfiguration(pipe.c_str()));
    EXPECT_EQ(processor.FullErrorText(), "SettingsFileClass::OpenFileForReading\nNot a regular file\n" + pipe);

    // A file of its own, newly made, gets the usual mode of new files.
    const std::string fresh = folder.File("fresh.ini");
    const mode_t mask = umask(022);
    ASSERT_TRUE(processor.SaveConfiguration(2, fresh.c_str()));
    umask(mask);
    ASSERT_EQ(stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
}
#endif

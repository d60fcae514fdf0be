#include "tests/app/main_window_fixture.h"

#include "support/Paths.h"
#include "tests/support/os_helpers.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

struct ButtonKeys {
    const char* joystickKey;
    const char* buttonKey;
    int number; // -1: NA
};

// In the order the writer puts them.
constexpr ButtonKeys kButtons[] = {
    { "PTT_BTN_CNTL", "PTT_BTN", -1 },
    { "AP_BTN_CNTL", "AP_BTN", 1 },
    { "AT_BTN_CNTL", "AT_BTN", 2 },
    { "BRK_L_BTN_CNTL", "BRK_L_BTN", 3 },
    { "BRK_R_BTN_CNTL", "BRK_R_BTN", 4 },
    { "REV_L_BTN_CNTL", "REV_L_BTN", 5 },
    { "REV_R_BTN_CNTL", "REV_R_BTN", 6 },
    { "FLAP_IN_BTN_CNTL", "FLAP_IN_BTN", 7 },
    { "FLAP_OUT_BTN_CNTL", "FLAP_OUT_BTN", 8 },
    { "SBRK_IN_BTN_CNTL", "SBRK_IN_BTN", 9 },
    { "SBRK_OUT_BTN_CNTL", "SBRK_OUT_BTN", 10 },
    { "STAB_UP_CNTL", "STAB_UP_BTN", 11 },
    { "STAB_DN_CNTL", "STAB_DN_BTN", 12 },
    { "FD_L_CNTL", "FD_L_BTN", 13 },
    { "FD_R_CNTL", "FD_R_BTN", 14 },
    { "GEAR_BTN_CNTL", "GEAR_BTN", 15 },
    { "PARK_BRK_CNTL", "PARK_BRK_BTN", 16 },
};

void AxisBlock(std::ostringstream& out, const char* joystickKey, std::uint32_t joystick, const char* firstKey,
    double first, const char* secondKey, double second, const char* inputKey, int input)
{
    char line[256];
    std::snprintf(line, sizeof line, "%s\t= %u\n%s\t\t= %f\n%s\t\t= %f\n%s\t\t= %d\n#\n", joystickKey, joystick,
        firstKey, first, secondKey, second, inputKey, input);
    out << line;
}

} // namespace

void MainWindowTest::SetUp()
{
    m_shmName = ShmTestOs::UniqueName("window");
    ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", m_shmName.c_str());
    const auto home = std::filesystem::temp_directory_path() / ("tavelin_window_" + m_shmName);
    m_configHome = home.string();
    ShmTestOs::SetEnvironment("XDG_CONFIG_HOME", m_configHome.c_str());

    m_simulator = std::make_unique<KQ_P_0001_02_Shm>(m_shmName.c_str());
    ASSERT_TRUE(m_simulator->IsReady()) << m_simulator->GetErrorText();

    Paths::CreateFolders(Paths::ConfigurationFolder());
    for (int index = 0; index < 4; ++index) {
        m_hadFile[index] = std::filesystem::is_regular_file(ConfigurationPath(index));
        m_savedFile[index] = m_hadFile[index] ? ReadConfiguration(index) : std::string();
        std::error_code ignored;
        std::filesystem::remove_all(ConfigurationPath(index), ignored);
    }
    m_hadCalibration = std::filesystem::is_regular_file(CalibrationPath());
    if (m_hadCalibration) {
        std::ifstream file(CalibrationPath(), std::ios::binary);
        m_savedCalibration.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    std::error_code ignored;
    std::filesystem::remove_all(CalibrationPath(), ignored);
    WriteConfiguration(0, Configuration());
}

std::string MainWindowTest::CalibrationPath() const
{
    return Paths::ConfigurationFolder() + Paths::Separator() + "Calibration.ini";
}

void MainWindowTest::TearDown()
{
    if (m_view != nullptr) {
        for (std::int32_t id : m_view->unknownIds) {
            ADD_FAILURE() << "the window has no control " << id;
        }
    }
    m_view.reset();
    m_dialog.reset();
    m_simulator.reset();
    std::error_code ignored;
    for (int index = 0; index < 4; ++index) {
        std::filesystem::remove_all(ConfigurationPath(index), ignored);
        if (m_hadFile[index]) {
            WriteConfiguration(index, m_savedFile[index]);
        }
    }
    std::filesystem::remove_all(CalibrationPath(), ignored);
    if (m_hadCalibration) {
        std::ofstream file(CalibrationPath(), std::ios::binary | std::ios::trunc);
        file << m_savedCalibration;
    }
    std::filesystem::remove_all(m_configHome, ignored);
    ShmTestOs::UnsetEnvironment("TAVELIN_SHM_NAME");
    ShmTestOs::UnsetEnvironment("XDG_CONFIG_HOME");
}

std::string MainWindowTest::Configuration(
    std::int32_t pitchInput, std::uint32_t pitchJoystick, double thrustTimeConstant)
{
    std::ostringstream out;
    out << "#\n[CONFIG_DETAILS]\nNAME = DEFAULT_JOYSTICK_SETUP\nJOY_ID = 0\n#\n[FLIGHT_CONTROLS]\n";
    AxisBlock(out, "SIDE_STICK_P_CNTL", pitchJoystick, "PITCH_SENS", 0.002, "PITCH_DB", 0.5, "PITCH_CNTL", pitchInput);
    AxisBlock(out, "SIDE_STICK_R_CNTL", 0, "ROLL_SENS", 0.0025, "ROLL_DB", 0.5, "ROLL_CNTL", 0);
    AxisBlock(out, "COCKPIT_PEDAL", 0, "PEDAL_SENS", 0.0025, "PEDAL_DB", 0.5, "PEDAL_CNTL", 5);
    AxisBlock(out, "COCKPIT_TILLER", 0, "TILLER_SENS", 0.0015, "TILLER_DB", 0.5, "TILLER_CNTL", 2);
    AxisBlock(out, "THRUST_LVR_1", 0, "TLA_L_SENS", 1.0, "TLA_L_OFFSET", 0.0, "TLA_L_CNTL", 6);
    AxisBlock(out, "THRUST_LVR_2", 0, "TLA_R_SENS", 1.0, "TLA_R_OFFSET", 0.0, "TLA_R_CNTL", 7);
    AxisBlock(out, "THRUST_LVR", 0, "TLA_1_TC", thrustTimeConstant, "TLA_2_TC", thrustTimeConstant, "TLA_CNTL", 0);
    out << "#\n[BUTTON_CONTROLS]\n#\n";
    for (const auto& button : kButtons) {
        out << button.joystickKey << "\t= 0\n" << button.buttonKey << "\t\t= ";
        if (button.number < 0) {
            out << "NA\n#\n";
        } else {
            out << button.number << "\n#\n";
        }
    }
    out << "[ACCESS]\n";
    AxisBlock(out, "CKPT_EYE_POV", 0, "N/A", 0.0, "N/A", 0.0, "EYE_POV_CNTL", 1);
    return out.str();
}

std::string MainWindowTest::ConfigurationPath(int index) const
{
    return Paths::ConfigurationFile(index);
}

void MainWindowTest::WriteConfiguration(int index, const std::string& text)
{
    std::ofstream file(ConfigurationPath(index), std::ios::binary | std::ios::trunc);
    file << text;
    ASSERT_TRUE(file.good()) << ConfigurationPath(index);
}

std::string MainWindowTest::ReadConfiguration(int index) const
{
    std::ifstream file(ConfigurationPath(index), std::ios::binary);
    if (!file) {
        return {};
    }
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void MainWindowTest::Open()
{
    m_dialog = std::make_unique<CTavelinDlg>();
    m_view = std::make_unique<RecordingDialogView>(CTavelinDlg::Template(), *m_dialog);
    m_view->Open();
}

void MainWindowTest::Tick(int times)
{
    for (int i = 0; i < times; ++i) {
        m_view->Tick();
    }
}

std::string MainWindowTest::SetUpName() const
{
    char name[GenericSimBlock::kConfigurationNameLength + 1] = {};
    GenericSimBlock::LoadText(
        Block(), GenericSimBlock::kConfigurationName, GenericSimBlock::kConfigurationNameLength, name, sizeof name);
    return name;
}

// The installed tavelin.exe as a process under Wine: virtual joysticks in, a
// private block out, read back by the installed simblock.exe; a polite close
// (WM_CLOSE, as taskkill without /F sends it) ends it and releases the block.
// Needs the setup installed first (the win32ui_setup_install test does that).
#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "tests/support/os_helpers.h"
#include "tests/support/poll.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace block = GenericSimBlock;
using Clock = std::chrono::steady_clock;

const std::string kProgramFolder = "C:\\Program Files\\Orrelane\\Tavelin";
const std::string kConfigurationFile = "C:\\Program Files\\Orrelane\\Shared\\Joystick.ini";

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(20))
{
    return testpoll::Until(done, timeout, std::chrono::milliseconds(20));
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFileWhole(const std::string& path, const std::string& text)
{
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
    }
    MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// The one-stick virtual joystick file: the default configuration reads
// pitch from slot 0's Y (sensitivity 0.002, dead band 0.5), A/P Disc from
// button 1 and Brakes L from button 3.
std::string Stick(int y, const char* pressed = "")
{
    std::ostringstream out;
    out << "[JOYSTICK_0]\nJOY_ID = 305419896\nNAME = Virtual Stick\nBUTTONS = 12\nY = " << y << "\n";
    if (*pressed != '\0') {
        out << "PRESSED = " << pressed << "\n";
    }
    return out.str();
}

double SettledPitch(int y)
{
    const double x = y * 0.002;
    return x > 0.5 ? x - 0.5 : (x < -0.5 ? x + 0.5 : 0.0);
}

// A number from simblock's JSON: `"key": value` on the line of `"section"`.
std::optional<double> JsonNumber(const std::string& json, const std::string& section, const std::string& key)
{
    std::istringstream lines(json);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find("\"" + section + "\"") == std::string::npos) {
            continue;
        }
        const std::size_t at = line.find("\"" + key + "\": ");
        if (at == std::string::npos) {
            return std::nullopt;
        }
        return std::strtod(line.c_str() + at + key.size() + 4, nullptr);
    }
    return std::nullopt;
}

// The default configuration in place for the test; what was there comes back.
class DefaultConfiguration {
public:
    DefaultConfiguration()
    {
        const DWORD attributes = GetFileAttributesA(kConfigurationFile.c_str());
        m_had = attributes != INVALID_FILE_ATTRIBUTES;
        if (m_had) {
            m_saved = ReadFile(kConfigurationFile);
        }
        WriteFileWhole(
            kConfigurationFile, ReadFile(ShmTestOs::NativePath(TAVELIN_SOURCE_DIR "/examples/Joystick.ini")));
    }
    ~DefaultConfiguration()
    {
        if (m_had) {
            WriteFileWhole(kConfigurationFile, m_saved);
        } else {
            DeleteFileA(kConfigurationFile.c_str());
        }
    }

private:
    bool m_had = false;
    std::string m_saved;
};

// tavelin.exe with its own joystick file and block name.
class Tavelin {
public:
    // sameBlockAs: the block name of a program already running (a second copy).
    explicit Tavelin(const std::string& tag, const std::string& sameBlockAs = std::string())
        : m_shmName(sameBlockAs.empty() ? ShmTestOs::UniqueName(tag.c_str()) : sameBlockAs)
    {
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        m_joysticks = std::string(folder) + m_shmName + "-joysticks.ini";
        ShmTestOs::SetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS", m_joysticks.c_str());
        ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", m_shmName.c_str());
    }
    ~Tavelin()
    {
        if (m_program.handle != -1) {
            TerminateProcess(Handle(), 1);
            ShmTestOs::WaitProgram(m_program);
        }
        ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
        ShmTestOs::UnsetEnvironment("TAVELIN_SHM_NAME");
        DeleteFileA(m_joysticks.c_str());
        std::remove(m_program.outFile.c_str());
        std::remove(m_program.errFile.c_str());
    }
    Tavelin(const Tavelin&) = delete;
    Tavelin& operator=(const Tavelin&) = delete;

    void MoveStick(const std::string& text) const { WriteFileWhole(m_joysticks, text); }
    bool Start()
    {
        m_program = ShmTestOs::StartProgram(kProgramFolder + "\\tavelin.exe", {});
        return m_program.handle != -1;
    }
    const std::string& ShmName() const { return m_shmName; }
    HANDLE Handle() const { return reinterpret_cast<HANDLE>(m_program.handle); }
    DWORD ProcessId() const { return GetProcessId(Handle()); }
    bool Running() const { return WaitForSingleObject(Handle(), 0) == WAIT_TIMEOUT; }
    std::optional<DWORD> WaitForExit(std::chrono::milliseconds timeout = std::chrono::seconds(20)) const
    {
        if (WaitForSingleObject(Handle(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
            return std::nullopt;
        }
        DWORD code = 0;
        GetExitCodeProcess(Handle(), &code);
        return code;
    }
    std::string ErrorOutput() const { return ReadFile(m_program.errFile); }

    // The process's top-level dialog with this caption (null: none yet).
    HWND Dialog(const wchar_t* caption) const
    {
        struct Search {
            DWORD process;
            const wchar_t* caption;
            HWND found;
        } search { ProcessId(), caption, nullptr };
        EnumWindows(
            [](HWND window, LPARAM parameter) -> BOOL {
                auto* s = reinterpret_cast<Search*>(parameter);
                DWORD owner = 0;
                GetWindowThreadProcessId(window, &owner);
                wchar_t className[16] = {};
                wchar_t text[128] = {};
                GetClassNameW(window, className, 16);
                GetWindowTextW(window, text, 128);
                if (owner == s->process && IsWindowVisible(window) && std::wcscmp(className, L"#32770") == 0
                    && std::wcscmp(text, s->caption) == 0) {
                    s->found = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

private:
    std::string m_shmName;
    std::string m_joysticks;
    ShmTestOs::RunningProgram m_program;
};

// Wine's per-program DLL override (the DllOverrides key under
// HKCU Software\Wine\AppDefaults\<program>): the library counts as missing
// for that program while this lives.
class WineDllDisabled {
public:
    WineDllDisabled(const char* program, const char* library)
    {
        const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        if (ntdll == nullptr || GetProcAddress(ntdll, "wine_get_version") == nullptr) {
            return;
        }
        m_key = std::string("Software\\Wine\\AppDefaults\\") + program;
        HKEY key = nullptr;
        const std::string overrides = m_key + "\\DllOverrides";
        if (RegCreateKeyExA(HKEY_CURRENT_USER, overrides.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)
            == ERROR_SUCCESS) {
            m_active = RegSetValueExA(key, library, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1) == ERROR_SUCCESS;
            RegCloseKey(key);
        }
    }
    ~WineDllDisabled()
    {
        if (!m_key.empty()) {
            RegDeleteTreeA(HKEY_CURRENT_USER, m_key.c_str());
        }
    }
    WineDllDisabled(const WineDllDisabled&) = delete;
    WineDllDisabled& operator=(const WineDllDisabled&) = delete;

    bool Active() const { return m_active; }

private:
    std::string m_key;
    bool m_active = false;
};

std::string SimblockJson(const std::string& shmName)
{
    const ShmTestOs::ProgramResult result
        = ShmTestOs::RunProgram(kProgramFolder + "\\simblock.exe", { "--open-only", "--name", shmName, "json" });
    return result.exitCode == 0 ? result.out : std::string();
}

bool Near(std::optional<double> value, double wanted)
{
    return value.has_value() && std::fabs(*value - wanted) < 1e-6;
}

int Occurrences(const std::string& text, const std::string& part)
{
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

TEST(InstalledProgram, PublishesWhatSimblockReadsFollowsTheFileAndLeavesCleanlyOnWmClose)
{
    DefaultConfiguration configuration;
    Tavelin tavelin("e2e");
    tavelin.MoveStick(Stick(2000));
    ASSERT_TRUE(tavelin.Start()) << "the installed tavelin.exe did not start";

    std::string json;
    ASSERT_TRUE(WaitFor([&] {
        json = SimblockJson(tavelin.ShmName());
        return !tavelin.Running() || Near(JsonNumber(json, "outputs", "pitch"), SettledPitch(2000));
    })) << json;
    ASSERT_TRUE(tavelin.Running()) << tavelin.ErrorOutput();
    EXPECT_TRUE(Near(JsonNumber(json, "outputs", "pitch"), SettledPitch(2000))) << json;
    EXPECT_TRUE(Near(JsonNumber(json, "controlSettings", "pitchSensitivity"), 0.002)) << json;
    EXPECT_TRUE(Near(JsonNumber(json, "buttons", "apDisc"), 0)) << json;

    // A rewritten joystick file moves the outputs and presses the buttons.
    tavelin.MoveStick(Stick(-7000, "1 3"));
    EXPECT_TRUE(WaitFor([&] {
        json = SimblockJson(tavelin.ShmName());
        return Near(JsonNumber(json, "outputs", "pitch"), SettledPitch(-7000))
            && Near(JsonNumber(json, "buttons", "apDisc"), 1) && Near(JsonNumber(json, "buttons", "brakeL"), 1);
    })) << json;

    // This test's own view keeps the block while the program leaves.
    KQ_P_0001_02_Shm view(tavelin.ShmName().c_str(), true);
    ASSERT_TRUE(view.IsReady()) << view.GetErrorText();
    EXPECT_EQ(block::LoadUserCount(view.GetBlock()), 3); // the window, the processor and this test

    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = tavelin.Dialog(L"Version 1.6")) != nullptr; }));
    PostMessageW(window, WM_CLOSE, 0, 0);
    const std::optional<DWORD> code = tavelin.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "WM_CLOSE did not end the program";
    EXPECT_EQ(*code, 0u);
    EXPECT_EQ(block::LoadUserCount(view.GetBlock()), 1) << "both of the program's views detached";
    EXPECT_EQ(Occurrences(tavelin.ErrorOutput(), "CTavelinDlg::"), 0) << tavelin.ErrorOutput();
}

TEST(InstalledProgram, WithoutJoysticksShowsTheBoxOnceAndTheWindowStillWorks)
{
    DefaultConfiguration configuration;
    Tavelin tavelin("e2enone");
    tavelin.MoveStick("; no joysticks attached\n");
    ASSERT_TRUE(tavelin.Start());

    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = tavelin.Dialog(L"CTavelinDlg::OnJoyStick")) != nullptr; }))
        << tavelin.ErrorOutput();
    PostMessageW(box, WM_COMMAND, IDOK, 0);

    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = tavelin.Dialog(L"Version 1.6")) != nullptr; }));
    // The window runs: it publishes (no stick, so a centred pitch) with both
    // of its views attached (simblock is the third user).
    std::string json;
    EXPECT_TRUE(WaitFor([&] {
        json = SimblockJson(tavelin.ShmName());
        return Near(JsonNumber(json, "outputs", "pitch"), 0.0) && Near(JsonNumber(json, "userCount", "userCount"), 3);
    })) << json;
    EXPECT_EQ(tavelin.Dialog(L"CTavelinDlg::OnJoyStick"), nullptr) << "the box came back";

    // A polite close from outside: taskkill without /F.
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const ShmTestOs::ProgramResult kill = ShmTestOs::RunProgram(
        std::string(system) + "\\taskkill.exe", { "/pid", std::to_string(tavelin.ProcessId()) });
    EXPECT_EQ(kill.exitCode, 0) << kill.out << kill.err;
    const std::optional<DWORD> code = tavelin.WaitForExit();
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
    EXPECT_EQ(Occurrences(tavelin.ErrorOutput(), "CTavelinDlg::OnJoyStick"), 1) << tavelin.ErrorOutput();
}

TEST(InstalledProgram, WithoutDirectInputSaysWhyAndTheWindowStillStarts)
{
    DefaultConfiguration configuration;
    Tavelin tavelin("e2enodi");
    // The real DirectInput, switched off for the installed program.
    WineDllDisabled noDirectInput("tavelin.exe", "dinput");
    if (!noDirectInput.Active()) {
        GTEST_SKIP() << "only Wine can take DirectInput away from one program";
    }
    ShmTestOs::UnsetEnvironment("TAVELIN_VIRTUAL_JOYSTICKS");
    ASSERT_TRUE(tavelin.Start()) << "the program needs dinput.dll to start";

    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = tavelin.Dialog(L"CTavelinDlg::OnJoyStick")) != nullptr; }))
        << tavelin.ErrorOutput();
    EXPECT_NE(tavelin.ErrorOutput().find("REGDB_E_CLASSNOTREG"), std::string::npos) << tavelin.ErrorOutput();
    PostMessageW(box, WM_COMMAND, IDOK, 0);

    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = tavelin.Dialog(L"Version 1.6")) != nullptr; }));
    PostMessageW(window, WM_CLOSE, 0, 0);
    const std::optional<DWORD> code = tavelin.WaitForExit();
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(*code, 0u);
}

TEST(InstalledProgram, ASaveThatCannotBeWrittenNamesTheReasonAndTheFileAndLosesNothing)
{
    DefaultConfiguration configuration;
    const std::string alternate = "C:\\Program Files\\Orrelane\\Shared\\Joystick3.ini";
    // The file cannot be replaced: a folder holds its name. (A name taken
    // beside it no longer stops a save: the temporary file takes the next
    // free one.) A Joystick3.ini already there waits aside meanwhile.
    struct FolderInPlace {
        std::string path;
        std::string aside = path + ".aside";
        bool hadFile = MoveFileExA(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
        bool made = CreateDirectoryA(path.c_str(), nullptr) != 0;
        ~FolderInPlace()
        {
            RemoveDirectoryA(path.c_str());
            if (hadFile) {
                MoveFileExA(aside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
            }
        }
    } folderInPlace { alternate };
    ASSERT_TRUE(folderInPlace.made);

    Tavelin tavelin("e2esave");
    tavelin.MoveStick(Stick(0));
    ASSERT_TRUE(tavelin.Start());
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = tavelin.Dialog(L"Version 1.6")) != nullptr; }));

    PostMessageW(GetDlgItem(window, 1028), BM_CLICK, 0, 0); // Save Assignments
    HWND choice = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (choice = tavelin.Dialog(L"Choose Configuration")) != nullptr; }));
    PostMessageW(GetDlgItem(choice, 1203), BM_CLICK, 0, 0); // Alternate 3
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(choice, IDOK)) != FALSE; }));
    PostMessageW(GetDlgItem(choice, IDOK), BM_CLICK, 0, 0);

    HWND box = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (box = tavelin.Dialog(L"CTavelinDlg::OnSave")) != nullptr; }))
        << tavelin.ErrorOutput();
    const std::string said = tavelin.ErrorOutput();
    const std::size_t line = said.find("CTavelinDlg::OnSave: ");
    ASSERT_NE(line, std::string::npos) << said;
    const std::string text = said.substr(line, said.find('\n', line) - line);
    EXPECT_NE(text.find("Joystick3.ini"), std::string::npos) << text;
    EXPECT_GT(text.size(), std::string("CTavelinDlg::OnSave: ").size() + alternate.size())
        << "no reason given: " << text;
    if (box != nullptr) {
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
    const std::optional<DWORD> code = tavelin.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "the window no longer answered after the failed save";
    EXPECT_EQ(*code, 0u);
    const DWORD inPlace = GetFileAttributesA(alternate.c_str());
    EXPECT_TRUE(inPlace != INVALID_FILE_ATTRIBUTES && (inPlace & FILE_ATTRIBUTE_DIRECTORY) != 0)
        << "what was in place was changed";
    EXPECT_EQ(GetFileAttributesA((alternate + ".tmp").c_str()), INVALID_FILE_ATTRIBUTES) << "a temporary file was left";
}

TEST(InstalledProgram, ASecondProgramOnTheSameBlockSaysSoAndLeavesTheBlockAlone)
{
    DefaultConfiguration configuration;
    Tavelin first("e2esecond");
    first.MoveStick(Stick(2000));
    ASSERT_TRUE(first.Start());
    std::string json;
    ASSERT_TRUE(WaitFor([&] {
        json = SimblockJson(first.ShmName());
        return !first.Running() || Near(JsonNumber(json, "outputs", "pitch"), SettledPitch(2000));
    })) << json;
    KQ_P_0001_02_Shm view(first.ShmName().c_str(), true);
    ASSERT_TRUE(view.IsReady()) << view.GetErrorText();
    // What the second program's configuration load would overwrite.
    block::StoreDouble(view.GetBlock(), block::kPitchSensitivity, 0.004);

    Tavelin second("e2esecond", first.ShmName());
    ASSERT_TRUE(second.Start());
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = second.Dialog(L"CTavelinApp::InitInstance")) != nullptr; }))
        << second.ErrorOutput();
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    const std::optional<DWORD> code = second.WaitForExit();
    ASSERT_TRUE(code.has_value()) << "the second program kept running";
    EXPECT_EQ(*code, 1u);
    EXPECT_NE(second.ErrorOutput().find("Another Tavelin publishes into the shared block \"" + first.ShmName() + "\""),
        std::string::npos)
        << second.ErrorOutput();
    EXPECT_EQ(block::LoadUserCount(view.GetBlock()), 3) << "the first program's two views and this test";
    EXPECT_EQ(block::LoadDouble(view.GetBlock(), block::kPitchSensitivity), 0.004);
    EXPECT_TRUE(first.Running());

    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = first.Dialog(L"Version 1.6")) != nullptr; }));
    PostMessageW(window, WM_CLOSE, 0, 0);
    const std::optional<DWORD> firstCode = first.WaitForExit();
    ASSERT_TRUE(firstCode.has_value());
    EXPECT_EQ(*firstCode, 0u);
}

} // namespace

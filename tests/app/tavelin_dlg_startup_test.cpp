// The main window's start-up and its failures, and the polling cycle:
// readouts, first-cycle fills, indicators and what reaches the window.
#include "tests/app/main_window_fixture.h"

#include "config/WhichConfig.h"
#include "support/Paths.h"
#include "tests/support/os_helpers.h"

#include <cmath>
#include <filesystem>

using namespace MainIds;
namespace GSB = GenericSimBlock;

TEST_F(MainWindowTest, StartUpBuildsTheWindowInOrderAndTheFirstCycleFillsIt)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    m_input.AddJoystick(kStickB, "Pedals B", 8);
    Open();
    RecordingDialogView& view = *m_view;

    EXPECT_TRUE(m_dialog->StartedOk());
    EXPECT_TRUE(view.messageBoxes.empty()) << view.messageBoxes.front().first;
    EXPECT_EQ(view.Title(), "Version 1.6");
    ASSERT_EQ(view.systemMenu.size(), 1u);
    EXPECT_EQ(view.systemMenu[0].first, kAboutCommand);
    EXPECT_EQ(view.systemMenu[0].second, "&About Tavelin...");
    EXPECT_EQ(view.iconResource, 128);
    ASSERT_EQ(view.timers.count(CTavelinDlg::CycleTimerId), 1u);
    EXPECT_EQ(view.timers.at(CTavelinDlg::CycleTimerId), 8);
    EXPECT_EQ(Users(), 3); // the simulator, the window and the joystick set

    EXPECT_EQ(view.Text(kDeviceName[0]), "Stick A");
    EXPECT_EQ(view.Text(kDeviceName[1]), "Pedals B");
    EXPECT_EQ(view.Text(kDeviceName[2]), "No Device");
    EXPECT_EQ(view.Text(kDeviceName[3]), "No Device");
    EXPECT_FALSE(view.Control(kEnumerate).enabled);
    EXPECT_TRUE(view.Control(kSaveAssignments).enabled);
    EXPECT_EQ(view.Text(kBanner), " KQ_P_0001_02_genericSim $Revision: 5.5.5");
    EXPECT_EQ(m_dialog->GetStartFile(), Paths::ConfigurationFile(0));

    const RecordedControl& list = view.Control(kWarningList);
    ASSERT_EQ(list.columns.size(), 2u);
    EXPECT_EQ(list.columns[0], "Item");
    EXPECT_EQ(list.columnWidths[0], 5);
    EXPECT_EQ(list.columns[1], "Warning Message");
    EXPECT_EQ(list.columnWidths[1], 500);

    // The readouts: 30 lines per slot, all greyed with "----" until the first cycle.
    for (int slot = 0; slot < 4; ++slot) {
        for (int line = 0; line < 30; ++line) {
            const RecordedControl& value = view.Control(ReadoutValueId(slot, line));
            EXPECT_TRUE(value.runtime);
            EXPECT_EQ(value.kind, ControlKind::Edit);
            EXPECT_EQ(value.text, "----");
            EXPECT_FALSE(value.enabled);
            EXPECT_EQ(value.parentGroupId, kSlotGroup[slot]);
            EXPECT_EQ(value.pixelRect.y, 2 + 20 * line);
            EXPECT_EQ(view.Text(ReadoutUnitId(slot, line)), "-");
        }
    }
    EXPECT_EQ(view.Text(ReadoutLabelId(2, 11)), "BTN   ");
    EXPECT_EQ(view.Text(ReadoutLabelId(2, 29)), "POV3");
    const RecordedControl& idBox = view.Control(ReadoutValueId(0, 0));
    EXPECT_EQ(idBox.pixelRect.x, 54);
    EXPECT_EQ(idBox.pixelRect.width, 90);
    EXPECT_EQ(view.Control(ReadoutUnitId(0, 0)).pixelRect.x, 2 + 50 + 90 + 4);
    EXPECT_EQ(view.Control(ReadoutUnitId(0, 0)).pixelRect.width, 2);
    EXPECT_EQ(view.Control(ReadoutValueId(0, 1)).pixelRect.width, 70);
    EXPECT_EQ(view.Control(ReadoutUnitId(0, 1)).pixelRect.width, 10);

    // The combos and the set-up texts wait for the first cycle.
    EXPECT_TRUE(view.Control(kAxisRows[0].inputCombo).entries.empty());
    EXPECT_EQ(view.Text(kCurrentFile), "");

    m_input.joystick(0).state.rgbButtons[3] = 0x80;
    m_input.joystick(0).state.rgbButtons[7] = 0x80;
    m_input.joystick(0).state.lX = 10000;
    Tick();
    EXPECT_EQ(m_dialog->GetCycleCount(), 1);
    for (int line = 0; line < 30; ++line) {
        EXPECT_TRUE(view.Control(ReadoutValueId(0, line)).enabled);
        EXPECT_TRUE(view.Control(ReadoutValueId(1, line)).enabled);
        EXPECT_FALSE(view.Control(ReadoutValueId(2, line)).enabled);
        EXPECT_EQ(view.Text(ReadoutValueId(3, line)), "----");
    }
    EXPECT_EQ(view.Text(ReadoutValueId(0, 0)), std::to_string(kStickA));
    EXPECT_EQ(view.Text(ReadoutValueId(0, 1)), "10000");
    EXPECT_EQ(view.Text(ReadoutValueId(0, 2)), "0");
    EXPECT_EQ(view.Text(ReadoutValueId(0, 10)), "12");
    EXPECT_EQ(m_dialog->GetFirstButton(0), 4);
    EXPECT_EQ(view.Text(ReadoutValueId(0, 11)), "4");
    EXPECT_EQ(m_dialog->GetFirstButton(1), 0);
    EXPECT_EQ(view.Text(ReadoutValueId(1, 11)), "0");
    EXPECT_EQ(view.Text(ReadoutValueId(1, 10)), "8");
    EXPECT_EQ(m_dialog->GetFirstButton(2), 0);

    const RecordedControl& pitchInput = view.Control(kAxisRows[0].inputCombo);
    ASSERT_EQ(pitchInput.entries.size(), 24u);
    EXPECT_EQ(pitchInput.entries[3], "Rx");
    EXPECT_EQ(pitchInput.entries[8], " vX");
    EXPECT_EQ(pitchInput.text, " Y");
    EXPECT_EQ(view.Text(kAxisRows[2].inputCombo), "Rz");
    EXPECT_EQ(view.Control(kAxisRows[0].joystickCombo).entries.size(), 4u);
    EXPECT_EQ(view.Text(kAxisRows[0].joystickCombo), "0");
    EXPECT_TRUE(view.Control(kAxisRows[4].progress).colourSet);
    EXPECT_EQ(view.Control(kAxisRows[4].progress).colour.red, 204);
    const RecordedControl& apButton = view.Control(kButtonRows[1].buttonCombo);
    // The button numbers, then the joystick's axes with their thresholds.
    ASSERT_EQ(apButton.entries.size(), 32u + 64u);
    EXPECT_EQ(apButton.entries[0], "NA");
    EXPECT_EQ(apButton.entries[31], "31");
    EXPECT_EQ(apButton.entries[32], "X+25");
    EXPECT_EQ(apButton.text, "1");
    EXPECT_EQ(view.Text(kButtonRows[16].buttonCombo), "16");
    EXPECT_TRUE(view.Control(kButtonRows[0].buttonCombo).entries.empty()); // PTT is never filled
    EXPECT_EQ(view.Control(kEyePovCombo).entries.size(), 4u);
    EXPECT_EQ(view.Text(kEyePovCombo), "1");
    EXPECT_EQ(view.Text(kCurrentFile), Paths::ConfigurationFile(0));
    EXPECT_EQ(view.Text(kSetUpName), "DEFAULT_JOYSTICK_SETUP");
    EXPECT_EQ(view.Control(kWarningLamp).lamp, LampPicture::On);
    EXPECT_TRUE(view.Control(kWarningList).rows.empty());

    // Later cycles only show values: the lists are filled once.
    TickPeriod();
    EXPECT_EQ(view.Control(kAxisRows[0].inputCombo).entries.size(), 24u);
    EXPECT_EQ(view.Control(kButtonRows[1].buttonCombo).entries.size(), 32u + 64u);
    m_input.joystick(0).state.rgbButtons[3] = 0;
    m_input.joystick(0).state.rgbButtons[7] = 0;
    TickPeriod();
    EXPECT_EQ(m_dialog->GetFirstButton(0), 0);
    EXPECT_EQ(view.Text(ReadoutValueId(0, 11)), "0");
}

TEST_F(MainWindowTest, WarningsOfTheLoadAreListedOnceByTheFirstCycle)
{
    // A pitch joystick ID that matches nothing attached: one warning at the first resolution.
    WriteConfiguration(0, Configuration(1, 4242));
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    Tick();
    const RecordedControl& list = m_view->Control(kWarningList);
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[0][0], " ");
    EXPECT_EQ(list.rows[0][1], "JoyStick Id for PITCH in the ini file has no match with any attached Joy sticks");
    EXPECT_TRUE(list.rowSelected[0]);
    EXPECT_EQ(list.ensuredVisible, 0);
    EXPECT_EQ(m_view->Control(kWarningLamp).lamp, LampPicture::Warning);
    Tick(3);
    EXPECT_EQ(m_view->Control(kWarningList).rows.size(), 1u);
}

TEST_F(MainWindowTest, WhatAFileLacksAndAJoystickLostAreNotesThatClaimNoMismatch)
{
    // The whole set-up but the pedals' input key.
    const std::string lacksPedalInput = [](std::string text) {
        const std::string line = "PEDAL_CNTL\t\t= 5\n";
        text.erase(text.find(line), line.size());
        return text;
    }(Configuration());
    WriteConfiguration(0, lacksPedalInput);
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    Tick();
    const RecordedControl& list = m_view->Control(kWarningList);
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_NE(list.rows[0][1].find("PEDAL_CNTL missing"), std::string::npos) << list.rows[0][1];
    EXPECT_EQ(m_view->Control(kWarningLamp).lamp, LampPicture::On);
    std::string warning = "unread";
    const auto saveDialogWarning = [&] {
        m_view->QueueChild([&](RecordingDialogView& child) {
            warning = child.Text(CWhichConfigDlg::kWarningText);
            child.Click(kIdCancel);
        });
        m_view->Click(kSaveAssignments);
        return warning;
    };
    EXPECT_EQ(saveDialogWarning(), "") << "no joystick ID went without a match";

    // A joystick lost: listed, and still no mismatch to claim.
    m_input.joystick(0).attached = false;
    TickPeriod();
    ASSERT_TRUE(m_dialog->GetJoySticks()->IsSlotLost(0));
    ASSERT_FALSE(list.rows.empty());
    EXPECT_NE(list.rows.back().at(1).find("is lost"), std::string::npos);
    EXPECT_EQ(m_view->Control(kWarningLamp).lamp, LampPicture::On);
    EXPECT_EQ(saveDialogWarning(), "");
    m_input.joystick(0).attached = true;
    TickPeriod();

    // A joystick ID that matches nothing attached is the described warning, notes or not beside it.
    WriteConfiguration(1, [&] {
        std::string text = Configuration(1, 4242);
        const std::string line = "PEDAL_CNTL\t\t= 5\n";
        text.erase(text.find(line), line.size());
        return text;
    }());
    m_view->QueueChild([](RecordingDialogView& child) {
        child.Click(CWhichConfigDlg::kAlternate1Button);
        child.Click(kIdOk);
    });
    m_view->Click(kReadAlternate);
    ASSERT_GE(list.rows.size(), 2u);
    EXPECT_NE(list.rows[0][1].find("PEDAL_CNTL missing"), std::string::npos) << list.rows[0][1];
    EXPECT_EQ(list.rows[1][1], "JoyStick Id for PITCH in the ini file has no match with any attached Joy sticks");
    EXPECT_EQ(m_view->Control(kWarningLamp).lamp, LampPicture::Warning);
    EXPECT_EQ(saveDialogWarning().rfind("Some Joystick IDs in the ini file that was read, do not match any currently "
                                        "attached Joystick(s)\n",
                  0),
        0u)
        << warning;
}

TEST_F(MainWindowTest, AListOfMoreThanTenWarningsSaysHowManyWereNotShown)
{
    // Only the two mandatory entries: thirteen warnings, ten of them shown.
    WriteConfiguration(0, "[FLIGHT_CONTROLS]\nSIDE_STICK_P_CNTL = 0\nPITCH_CNTL = 1\nSIDE_STICK_R_CNTL = 0\n");
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();
    Tick();
    const RecordedControl& list = m_view->Control(kWarningList);
    ASSERT_EQ(list.rows.size(), 11u);
    EXPECT_EQ(list.rows[0][1], "No data for Left thrust lever, please setup control and re-save");
    EXPECT_EQ(list.rows[10][1], "3 more warnings were not shown");
    EXPECT_EQ(m_view->Control(kWarningLamp).lamp, LampPicture::Warning);
}

TEST_F(MainWindowTest, StartUpFailuresAreReportedOnceAndLeaveASafeWindow)
{
    {
        SCOPED_TRACE("no timer: start-up stops without a word");
        m_input.AddJoystick(kStickA, "Stick A", 12);
        m_dialog = std::make_unique<CTavelinDlg>();
        m_view = std::make_unique<RecordingDialogView>(CTavelinDlg::Template(), *m_dialog);
        m_view->failTimers = true;
        m_view->Open();
        EXPECT_FALSE(m_dialog->StartedOk());
        EXPECT_TRUE(m_view->messageBoxes.empty());
        EXPECT_EQ(m_dialog->GetJoySticks(), nullptr);
        EXPECT_FALSE(m_view->Has(ReadoutValueId(0, 0)));
        EXPECT_FALSE(m_dialog->OnCycle());
        m_view->Click(kOk);
        EXPECT_TRUE(m_view->Destroyed());
        EXPECT_EQ(Users(), 1);
        m_view.reset();
        m_dialog.reset();
    }
    {
        SCOPED_TRACE("a configuration file that cannot be read");
        // There is a Joystick.ini (a link to nothing; where links cannot be
        // made, a folder), so a first start's default is not written over it.
        std::filesystem::remove(ConfigurationPath(0));
        std::error_code noLinks;
        std::filesystem::create_symlink(ConfigurationPath(0) + ".gone", ConfigurationPath(0), noLinks);
        if (noLinks) {
            std::filesystem::create_directory(ConfigurationPath(0));
        }
        Open();
        EXPECT_FALSE(m_dialog->StartedOk());
        ASSERT_EQ(m_view->messageBoxes.size(), 1u);
        EXPECT_EQ(m_view->messageBoxes[0].second, "CTavelinDlg::Initialise");
        EXPECT_NE(m_view->messageBoxes[0].first.find("SettingsFileClass::OpenFileForReading"), std::string::npos);
        Tick(2);
        EXPECT_EQ(m_dialog->GetCycleCount(), 0);
        EXPECT_EQ(m_view->Text(kCurrentFile), ConfigurationPath(0)) << "the start file, even though it failed";
        m_view->Close();
        EXPECT_EQ(Users(), 1);
        m_view.reset();
        m_dialog.reset();
        std::filesystem::remove(ConfigurationPath(0));
        WriteConfiguration(0, Configuration());
    }
}

TEST_F(MainWindowTest, NoJoystickAttachedStillCompletesStartUp)
{
    Open();
    ASSERT_EQ(m_view->messageBoxes.size(), 1u);
    EXPECT_EQ(m_view->messageBoxes[0].second, "CTavelinDlg::OnJoyStick");
    EXPECT_EQ(m_view->messageBoxes[0].first, "There appears to be no joysticks attached");
    for (int slot = 0; slot < 4; ++slot) {
        EXPECT_EQ(m_view->Text(kDeviceName[slot]), "No Device");
    }
    EXPECT_TRUE(m_dialog->StartedOk());
    Tick(2);
    EXPECT_EQ(m_dialog->GetCycleCount(), 2);
    EXPECT_FALSE(m_view->Control(ReadoutValueId(0, 0)).enabled);
    EXPECT_EQ(m_view->Text(ReadoutValueId(0, 0)), "----");
    EXPECT_EQ(m_view->messageBoxes.size(), 1u);

    // Beside the box, one note says what to try; the lamp stays green.
    const RecordedControl& list = m_view->Control(kWarningList);
    ASSERT_EQ(list.rows.size(), 1u);
    const std::string& note = list.rows[0][1];
    EXPECT_EQ(note.rfind("No joystick found. To try Tavelin without one: ", 0), 0u) << note;
    EXPECT_NE(note.find("TAVELIN_VIRTUAL_JOYSTICKS"), std::string::npos) << note;
#ifdef _WIN32
    EXPECT_NE(note.find("joy.cpl"), std::string::npos) << note;
#else
    EXPECT_NE(note.find("tavelin --list-devices"), std::string::npos) << note;
#endif
    EXPECT_EQ(m_view->Control(kWarningLamp).lamp, LampPicture::On);
}

TEST_F(MainWindowTest, AJoystickPluggedInLaterGetsItsNameAndReadoutsAndALostOneWarns)
{
    Open();
    ASSERT_EQ(m_view->messageBoxes.size(), 1u); // none attached yet
    Tick();
    m_input.AddJoystick(kStickA, "Late Stick", 4).state.lX = 1234;
    m_dialog->OnDevicesChanged(); // WM_DEVICECHANGE
    TickPeriod(); // numbers are shown at their own rate
    EXPECT_EQ(m_view->Text(kDeviceName[0]), "Late Stick");
    EXPECT_EQ(m_view->Text(kDeviceName[1]), "No Device");
    EXPECT_TRUE(m_view->Control(ReadoutValueId(0, 1)).enabled);
    EXPECT_EQ(m_view->Text(ReadoutValueId(0, 1)), "1234");
    EXPECT_FALSE(m_view->Control(ReadoutValueId(1, 1)).enabled);
    EXPECT_EQ(m_view->messageBoxes.size(), 1u);

    // Unplugged: the slot keeps its name and last reading, and the warning is listed.
    m_input.joystick(0).attached = false;
    m_input.joystick(0).state.lX = 99;
    TickPeriod();
    EXPECT_TRUE(m_dialog->GetJoySticks()->IsSlotLost(0));
    EXPECT_EQ(m_view->Text(kDeviceName[0]), "Late Stick (lost)");
    EXPECT_EQ(m_view->Text(ReadoutValueId(0, 1)), "1234");
    const std::vector<std::vector<std::string>>& rows = m_view->Control(kWarningList).rows;
    ASSERT_FALSE(rows.empty());
    EXPECT_NE(rows.back().at(1).find("slot 0 (Late Stick) is lost"), std::string::npos);

    // Back: the same slot, its name without the mark, fresh readings, and one line that says so.
    const std::size_t listed = rows.size();
    m_input.joystick(0).attached = true;
    TickPeriod();
    EXPECT_FALSE(m_dialog->GetJoySticks()->IsSlotLost(0));
    EXPECT_EQ(m_view->Text(kDeviceName[0]), "Late Stick");
    EXPECT_EQ(m_view->Text(ReadoutValueId(0, 1)), "99");
    ASSERT_EQ(rows.size(), listed + 1);
    EXPECT_EQ(rows.back().at(1), "JoyStick in slot 0 (Late Stick) is back");
    TickPeriod();
    EXPECT_EQ(rows.size(), listed + 1);
}

TEST_F(MainWindowTest, WithoutTheBlockNothingReadsOrStoresThroughIt)
{
    // Something else holds the name with a mapping too small to be the block
    // (and holds it, so that nobody may repair it).
    m_simulator.reset();
    const std::string name = ShmTestOs::UniqueName("small");
    ShmTestOs::SetEnvironment("TAVELIN_SHM_NAME", name.c_str());
    const std::intptr_t raw = ShmTestOs::CreateRawMapping(name, 4096);
    ASSERT_NE(raw, -1);
    const std::intptr_t held = ShmTestOs::HoldLockShared(name);
    m_input.AddJoystick(kStickA, "Stick A", 12);
    Open();

    ASSERT_GE(m_view->messageBoxes.size(), 1u);
    EXPECT_EQ(m_view->messageBoxes[0].second, "CTavelinDlg::SetSharedmemory");
    int attachBoxes = 0;
    for (const auto& box : m_view->messageBoxes) {
        attachBoxes += box.second == "CTavelinDlg::SetSharedmemory" ? 1 : 0;
    }
    EXPECT_EQ(attachBoxes, 1);
    EXPECT_EQ(m_dialog->GetBlock(), nullptr);
    EXPECT_TRUE(m_dialog->HasSharedMemory());
    EXPECT_EQ(m_dialog->GetStartFile(), Paths::ConfigurationFile(0));
    EXPECT_FALSE(m_view->Control(kSetDeadBands).enabled);
    EXPECT_FALSE(m_view->Control(kThrustLeverData).enabled);
    EXPECT_FALSE(m_view->Control(kAxisRows[0].spin).enabled);

    // Handlers that would touch the block do nothing.
    m_dialog->OnSetDeadBands();
    m_dialog->OnThrustLeverData();
    EXPECT_EQ(m_view->ChildrenRun(), 0);
    EXPECT_EQ(m_dialog->OnSpinDelta(kAxisRows[0].spin, -1), 0);
    Tick(3);
    m_view->Click(kOk);
    EXPECT_TRUE(m_view->Destroyed());
    m_view.reset();
    m_dialog.reset();
    ShmTestOs::ReleaseLock(held);
    ShmTestOs::DestroyRawMapping(name, raw);
}

TEST_F(MainWindowTest, ConfigurationIndexInTheBlockChoosesTheStartFile)
{
    m_input.AddJoystick(kStickA, "Stick A", 12);
    GSB::StoreInt32(Block(), GSB::kConfigurationIndex, 7);
    Open();
    EXPECT_EQ(m_dialog->GetStartFile(), Paths::ConfigurationFile(0));
    m_view->Click(kOk);
    m_view.reset();
    m_dialog.reset();

    WriteConfiguration(2, Configuration(3));
    GSB::StoreInt32(Block(), GSB::kConfigurationIndex, 2);
    Open();
    EXPECT_EQ(m_dialog->GetStartFile(), Paths::ConfigurationFile(2));
    EXPECT_EQ(m_dialog->GetJoySticks()->GetAxisInput(AxisPitch), 3);
    Tick();
    EXPECT_EQ(m_view->Text(kCurrentFile), Paths::ConfigurationFile(2));
    EXPECT_EQ(m_view->Text(kAxisRows[0].inputCombo), "Rx");
}

TEST_F(MainWindowTest, AxisRowsAndTheSideStickLampFollowTheBlock)
{
    // No joystick: the processing leaves the outputs to whoever writes them.
    Open();
    TickPeriod();
    const RecordedControl& pitchBar = m_view->Control(kAxisRows[0].progress);
    const RecordedControl& rollBar = m_view->Control(kAxisRows[1].progress);

    SetDouble(GSB::kPitchOutput, -20.0);
    SetDouble(GSB::kRollOutput, 12.5);
    SetDouble(GSB::kPitchDeadBand, 0.5);
    TickPeriod();
    EXPECT_EQ(pitchBar.progress, 0);
    EXPECT_EQ(rollBar.progress, 75);
    EXPECT_EQ(m_view->Text(kAxisRows[1].valueText), " 12.500 Deg");
    EXPECT_EQ(m_view->Text(kAxisRows[0].valueText), "-20.000 Deg");
    EXPECT_EQ(m_view->Text(kAxisRows[0].sensitivityText), "0.0020");
    EXPECT_EQ(m_view->Control(kSideStickLamp).lamp, LampPicture::On);
    EXPECT_TRUE(m_dialog->SideStickLit());

    SetDouble(GSB::kPitchOutput, 0.0);
    SetDouble(GSB::kRollOutput, 0.0);
    SetDouble(GSB::kThrLvrLOutput, 37.5);
    TickPeriod();
    EXPECT_EQ(pitchBar.progress, 50);
    EXPECT_EQ(m_view->Control(kAxisRows[4].progress).progress, 37);
    EXPECT_EQ(m_view->Text(kAxisRows[4].valueText), " 37.500 Deg");
    EXPECT_EQ(m_view->Control(kSideStickLamp).lamp, LampPicture::Off);
    const int lampSets = m_view->Control(kSideStickLamp).lampSets;
    Tick(3);
    EXPECT_EQ(m_view->Control(kSideStickLamp).lampSets, lampSets); // back to grey once

    // Inside the band (0.5 is not beyond it) the lamp stays grey.
    SetDouble(GSB::kPitchOutput, 0.5);
    TickPeriod();
    EXPECT_EQ(m_view->Control(kSideStickLamp).lamp, LampPicture::Off);
    SetDouble(GSB::kPitchOutput, 20.0);
    TickPeriod();
    EXPECT_EQ(pitchBar.progress, 100);

    // Whatever another program writes, the bar stays in its range.
    SetDouble(GSB::kPitchOutput, std::nan(""));
    SetDouble(GSB::kRollOutput, 1e300);
    TickPeriod();
    EXPECT_EQ(pitchBar.progress, 0);
    EXPECT_EQ(rollBar.progress, 100);
}

TEST_F(MainWindowTest, ButtonLampsGearMessagesAndTheEyeText)
{
    m_input.AddJoystick(kStickA, "Stick A", 20);
    Open();
    TickPeriod();
    EXPECT_EQ(m_view->Control(kButtonRows[1].lamp).lamp, LampPicture::Off);

    auto& state = m_input.joystick(0).state;
    state.rgbButtons[0] = 0x80; // A/P Disc: button 1
    state.rgbButtons[6] = 0x80; // Flaps In: button 7
    state.rgbButtons[14] = 0x80; // Gear Lever: button 15
    state.rgdwPOV[0] = 9000;
    TickPeriod();
    EXPECT_EQ(m_view->Control(kButtonRows[ButtonApDisc].lamp).lamp, LampPicture::On);
    EXPECT_EQ(m_view->Control(kButtonRows[ButtonFlapIn].lamp).lamp, LampPicture::On);
    EXPECT_EQ(m_view->Control(kButtonRows[ButtonAtDisc].lamp).lamp, LampPicture::Off);
    EXPECT_EQ(m_view->Control(kButtonRows[ButtonGearLvr].lamp).lamp, LampPicture::On);
    EXPECT_EQ(m_view->Text(kGearMessage), "Gear Lever set to UP");
    EXPECT_EQ(m_view->Text(kEyeText), "Looking  Right");

    state.rgbButtons[0] = 0;
    state.rgbButtons[14] = 0;
    state.rgdwPOV[0] = 4500;
    TickPeriod();
    EXPECT_EQ(m_view->Control(kButtonRows[ButtonApDisc].lamp).lamp, LampPicture::Off);
    EXPECT_EQ(m_view->Control(kButtonRows[ButtonGearLvr].lamp).lamp, LampPicture::Off);
    EXPECT_EQ(m_view->Text(kGearMessage), "Gear Lever set to UP"); // stays until replaced
    EXPECT_EQ(m_view->Text(kEyeText), "Looking  Front Right");

    GSB::StoreByte(Block(), GSB::kGearFlag1, 1);
    state.rgbButtons[14] = 0x80;
    TickPeriod();
    EXPECT_EQ(m_view->Text(kGearMessage), "Gear Lever set to DOWN");
}

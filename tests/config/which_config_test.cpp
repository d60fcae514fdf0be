// The configuration choice dialog through the recording view: what it says,
// when OK can be pressed and what index leaves it.
#include "config/WhichConfig.h"
#include "tests/fakes/RecordingDialogView.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const std::string kHelp = "Select the configuration required. \n\n"
                          "The default will read/write the default comnfiguration \n"
                          "for the joy stick set up. \n\n"
                          "Configuration 1,2,3 will read/write configuration for\n"
                          "Different set ups.\n"
                          "\n"
                          "The Simlation program always starts with the defualt configuration\n"
                          "But can be changed here for a different configuration if required\n\n";

ConfigChoiceRequest Request(const char* path, const char* slotZero, bool warnings, bool showSlotZero)
{
    ConfigChoiceRequest request;
    std::strcpy(request.currentPath, path);
    std::strcpy(request.slotZeroText, slotZero);
    request.warnings = warnings ? 1 : 0;
    request.showSlotZero = showSlotZero ? 1 : 0;
    return request;
}

} // namespace

TEST(WhichConfig, OpensWithOkDisabledAndTheTextsOfTheRequest)
{
    const char* path = "/home/pilot/.config/Orrelane/Shared/Joystick2.ini";
    {
        ConfigChoiceRequest request = Request(path, "Stick", false, false);
        CWhichConfigDlg dialog;
        dialog.SetRequest(&request);
        RecordingDialogView view(CWhichConfigDlg::Template(), dialog);
        view.Open();
        EXPECT_FALSE(view.Control(kIdOk).enabled);
        EXPECT_EQ(view.Text(CWhichConfigDlg::kHelpText), kHelp);
        EXPECT_EQ(view.Text(CWhichConfigDlg::kStatusText), std::string("Currently using ") + path);
        EXPECT_EQ(view.Text(CWhichConfigDlg::kWarningText), "");
        // OK cannot be pressed before a choice.
        view.Click(kIdOk);
        EXPECT_FALSE(view.Ended());
    }
    {
        ConfigChoiceRequest request = Request(path, "No Device", true, true);
        CWhichConfigDlg dialog;
        dialog.SetRequest(&request);
        RecordingDialogView view(CWhichConfigDlg::Template(), dialog);
        view.Open();
        EXPECT_EQ(
            view.Text(CWhichConfigDlg::kHelpText), kHelp + "Currently the Joystick at Slot zero is :>No Device <:\n");
        EXPECT_EQ(view.Text(CWhichConfigDlg::kWarningText),
            "Some Joystick IDs in the ini file that was read, do not match any currently attached Joystick(s)\n"
            "When saving, thoes Joystick IDs will be replaced by the Joystick ID of Slot zero :>No Device<:\n");
    }
}

TEST(WhichConfig, LastChoiceWinsAndSurvivesCancel)
{
    ConfigChoiceRequest request = Request("x", "", false, false);
    request.chosenIndex = 0;
    CWhichConfigDlg dialog;
    dialog.SetRequest(&request);
    RecordingDialogView view(CWhichConfigDlg::Template(), dialog);
    view.Open();

    view.Click(CWhichConfigDlg::kAlternate1Button);
    EXPECT_EQ(request.chosenIndex, 1);
    EXPECT_EQ(view.Text(CWhichConfigDlg::kStatusText), "Use Alternate JoyStick1.ini");
    EXPECT_TRUE(view.Control(kIdOk).enabled);

    view.Click(CWhichConfigDlg::kDefaultButton);
    EXPECT_EQ(request.chosenIndex, 0);
    EXPECT_EQ(view.Text(CWhichConfigDlg::kStatusText), "Use default JoyStick.ini");

    view.Click(CWhichConfigDlg::kAlternate2Button);
    EXPECT_EQ(view.Text(CWhichConfigDlg::kStatusText), "Use Alternate JoyStick2.ini");
    view.Click(CWhichConfigDlg::kAlternate3Button);
    EXPECT_EQ(view.Text(CWhichConfigDlg::kStatusText), "Use Alternate JoyStick3.ini");
    EXPECT_EQ(request.chosenIndex, 3);
    EXPECT_FALSE(view.Ended());

    view.Click(kIdCancel);
    EXPECT_TRUE(view.Ended());
    EXPECT_EQ(view.Result(), kIdCancel);
    EXPECT_EQ(request.chosenIndex, 3);
}

TEST(WhichConfig, UnterminatedRequestTextsAreReadWithinTheirBuffers)
{
    ConfigChoiceRequest request;
    std::memset(request.currentPath, 'p', sizeof request.currentPath);
    std::memset(request.slotZeroText, 's', sizeof request.slotZeroText);
    request.showSlotZero = 1;
    CWhichConfigDlg dialog;
    dialog.SetRequest(&request);
    RecordingDialogView view(CWhichConfigDlg::Template(), dialog);
    view.Open();
    EXPECT_EQ(
        view.Text(CWhichConfigDlg::kStatusText), "Currently using " + std::string(sizeof request.currentPath, 'p'));
    EXPECT_NE(view.Text(CWhichConfigDlg::kHelpText).find(":>" + std::string(256, 's') + " <:\n"), std::string::npos);
}

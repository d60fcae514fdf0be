// The network dialog: what it shows of the settings, what OK accepts from the
// fields, and that a bad field keeps the dialog open behind a box naming it.
#include "dialogs/NetworkDlg.h"
#include "tests/fakes/RecordingDialogView.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(NetworkDlg, ShowsTheSettingsAndOkTakesTheFieldsOnlyWhenTheyHold)
{
    NetworkSettings settings;
    settings.enabled = true;
    settings.domain = 12;
    settings.peers = { "sim-pc", "10.0.0.2:7400" };
    settings.interfaceName = "eth1";
    CNetworkDlg dialog(settings);
    RecordingDialogView view(CNetworkDlg::Template(), dialog);
    ASSERT_TRUE(view.Open());
    EXPECT_EQ(view.Title(), "Network");
    EXPECT_EQ(view.Control(CNetworkDlg::kSwitch).entries, (std::vector<std::string> { "Off", "On" }));
    EXPECT_EQ(view.Text(CNetworkDlg::kSwitch), "On");
    EXPECT_EQ(view.Text(CNetworkDlg::kDomain), "12");
    EXPECT_EQ(view.Text(CNetworkDlg::kPeers), "sim-pc, 10.0.0.2:7400");
    EXPECT_EQ(view.Text(CNetworkDlg::kKeys), "");

    // Each bad field in turn: a box naming it, the dialog still open, nothing taken.
    const struct {
        std::int32_t field;
        const char* typed;
        const char* says;
    } bad[] = {
        { CNetworkDlg::kDomain, "233", "The domain must be a whole number from 0 to 232, not \"233\"." },
        { CNetworkDlg::kDomain, "seven", "not \"seven\"" },
        { CNetworkDlg::kDomain, "", "not \"\"" },
        { CNetworkDlg::kPeers, "sim<pc", "the peer \"sim<pc\" is no host name or address" },
        { CNetworkDlg::kSwitch, "Maybe", "The network link must be On or Off, not \"Maybe\"." },
        { CNetworkDlg::kKeys, "/no/such/key/folder", "The key folder cannot be used:" },
    };
    for (const auto& field : bad) {
        char before[256];
        view.GetControlText(field.field, before, sizeof before);
        view.SetControlText(field.field, field.typed);
        const std::size_t boxes = view.messageBoxes.size();
        view.Click(kIdOk);
        EXPECT_FALSE(view.Ended()) << field.typed;
        ASSERT_EQ(view.messageBoxes.size(), boxes + 1) << field.typed;
        EXPECT_TRUE(Contains(view.messageBoxes.back().first, field.says)) << view.messageBoxes.back().first;
        EXPECT_EQ(view.messageBoxes.back().second, "Network");
        EXPECT_EQ(dialog.Settings(), settings) << field.typed;
        view.SetControlText(field.field, before);
    }

    view.Select(CNetworkDlg::kSwitch, 0);
    view.SetControlText(CNetworkDlg::kDomain, " 7 ");
    view.SetControlText(CNetworkDlg::kPeers, "a.example,b.example  c.example, ");
    view.SetControlText(CNetworkDlg::kKeys, "/no/such/key/folder");
    view.Click(kIdOk);
    ASSERT_TRUE(view.Ended()) << (view.messageBoxes.empty() ? "" : view.messageBoxes.back().first);
    EXPECT_EQ(view.Result(), kIdOk);
    EXPECT_FALSE(dialog.Settings().enabled);
    EXPECT_EQ(dialog.Settings().domain, 7);
    EXPECT_EQ(dialog.Settings().peers, (std::vector<std::string> { "a.example", "b.example", "c.example" }));
    EXPECT_EQ(dialog.Settings().keys, "/no/such/key/folder") << "a link that is off uses no keys: kept as typed";
    EXPECT_EQ(dialog.Settings().interfaceName, "eth1") << "what the dialog does not show is kept";
}

TEST(NetworkDlg, CancelKeepsTheSettingsAndBoxesGoWhereTheWindowSaysItsBoxesGo)
{
    NetworkSettings settings;
    std::vector<std::string> shown;
    CNetworkDlg dialog(settings, [&](DialogView& view, const char* text, const char* caption) {
        shown.push_back(std::string(caption) + ": " + text);
        view.ShowMessageBox(text, caption);
    });
    RecordingDialogView view(CNetworkDlg::Template(), dialog);
    ASSERT_TRUE(view.Open());
    EXPECT_EQ(view.Text(CNetworkDlg::kSwitch), "Off");
    EXPECT_EQ(view.Text(CNetworkDlg::kDomain), "0");
    view.SetControlText(CNetworkDlg::kDomain, "-1");
    view.Click(kIdOk);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(Contains(shown[0], "Network: The domain must be")) << shown[0];
    view.Select(CNetworkDlg::kSwitch, 1);
    view.Click(kIdCancel);
    EXPECT_EQ(view.Result(), kIdCancel);
    EXPECT_EQ(dialog.Settings(), settings);

    // A key folder that holds the keys is taken only when it passes the check.
    const std::filesystem::path empty = std::filesystem::temp_directory_path() / "tavelin-empty-key-folder";
    std::filesystem::create_directories(empty);
    NetworkSettings read;
    std::string error;
    EXPECT_FALSE(CNetworkDlg::ReadFields("On", "0", "", empty.string(), read, error));
    EXPECT_TRUE(Contains(error, "The key folder cannot be used:")) << error;
    EXPECT_TRUE(CNetworkDlg::ReadFields("On", "0", "", "", read, error)) << error;
    EXPECT_TRUE(read.enabled);
    EXPECT_TRUE(read.keys.empty());
    std::filesystem::remove_all(empty);
}

} // namespace

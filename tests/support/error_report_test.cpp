#include "support/KQ_ErrorReport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A service that fails through its own member, as the owners in the system do.
class Owner : public KQ_ErrorReport {
public:
    bool Fail()
    {
        SetErrorText(member.GetErrorText());
        return false;
    }
    KQ_ErrorReport member;
};

} // namespace

TEST(ErrorReport, PartsAreJoinedByNewlines)
{
    KQ_ErrorReport report;
    EXPECT_STREQ(report.GetErrorText(), "");

    report.ReportError("SettingsFileClass::OpenFileForReading", "No such file or directory", "/tmp/Joystick.ini");
    EXPECT_STREQ(
        report.GetErrorText(), "SettingsFileClass::OpenFileForReading\nNo such file or directory\n/tmp/Joystick.ini");

    report.ReportError("KQ_P_0001_02_Shm::KQ_P_0001_02_Shm", "Shared Memory Version Mismatch\nPlease rebuild software");
    EXPECT_STREQ(report.GetErrorText(),
        "KQ_P_0001_02_Shm::KQ_P_0001_02_Shm\nShared Memory Version Mismatch\nPlease rebuild software");

    report.SetErrorText(std::string("replaced whole"));
    EXPECT_STREQ(report.GetErrorText(), "replaced whole");
    report.SetErrorText(static_cast<const char*>(nullptr));
    EXPECT_STREQ(report.GetErrorText(), "");
}

TEST(ErrorReport, ReadOutIsCutTo255AndTravelsUpwardSo)
{
    Owner owner;
    const std::string text300(300, 'e');
    owner.member.SetErrorText(text300.c_str());
    EXPECT_EQ(std::string(owner.member.GetErrorText()), text300.substr(0, 255));

    EXPECT_FALSE(owner.Fail());
    EXPECT_EQ(std::string(owner.GetErrorText()), text300.substr(0, 255));

    // The pointer handed out stays valid, and unchanged, until the next read-out.
    const char* first = owner.GetErrorText();
    const std::string copy = first;
    owner.SetErrorText("later");
    EXPECT_EQ(std::string(first), copy);
    EXPECT_STREQ(owner.GetErrorText(), "later");
}

TEST(ErrorReport, OverlongPartsAreCutBeforeJoining)
{
    KQ_ErrorReport report;
    const std::string part1025(1025, 'a');
    const std::string part1024(1024, 'b');
    const std::string part1023(1023, 'a');

    report.ReportError("where", part1025.c_str(), part1024.c_str());
    EXPECT_EQ(report.FullErrorText(), "where\n" + part1023 + "\n" + part1024);

    report.ReportError(part1025.c_str(), "what");
    EXPECT_EQ(report.FullErrorText(), part1023 + "\nwhat");
    EXPECT_EQ(std::string(report.GetErrorText()), part1023.substr(0, 255));

    // The caller's strings are not changed.
    EXPECT_EQ(part1025.size(), 1025u);

    // Replacing the text takes it whole, however long.
    report.SetErrorText(part1025);
    EXPECT_EQ(report.FullErrorText(), part1025);
}

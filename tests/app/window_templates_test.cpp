// The five dialog templates: ids, captions and flags the presenters and the
// operator rely on, and a main window whose controls neither collide nor
// leave the readouts without room.
#include "app/TavelinDlgIds.h"
#include "ui/DialogTemplate.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace {

bool Overlap(const DialogRect& a, const DialogRect& b)
{
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

bool Inside(const DialogRect& inner, const DialogRect& outer)
{
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width
        && inner.y + inner.height <= outer.y + outer.height;
}

const ControlTemplate& Get(const DialogTemplate& dialog, std::int32_t id)
{
    const ControlTemplate* control = dialog.Find(id);
    if (control == nullptr) {
        ADD_FAILURE() << "template " << dialog.id << " has no control " << id;
        static const ControlTemplate missing {};
        return missing;
    }
    return *control;
}

std::vector<const DialogTemplate*> AllTemplates()
{
    return { &AboutDialogTemplate(), &MainDialogTemplate(), &DeadBandDialogTemplate(), &ConfigChoiceDialogTemplate(),
        &ThrustLeverDialogTemplate(), &NetworkDialogTemplate(), &ResponseCurvesDialogTemplate(),
        &CalibrateDialogTemplate() };
}

} // namespace

TEST(DialogTemplates, EveryTemplateHasUniqueIdsInsideItsBounds)
{
    const std::vector<std::pair<std::int32_t, std::string>> expected = { { 100, "About Tavelin" }, { 102, "Tavelin" },
        { 131, "Adjust axis dead bands" }, { 132, "Choose Configuration" }, { 134, "Thrust Lever Dialog" },
        { 140, "Network" }, { 141, "Response Curves" }, { 150, "Calibrate joystick axes" } };
    const auto templates = AllTemplates();
    ASSERT_EQ(templates.size(), expected.size());
    for (std::size_t i = 0; i < templates.size(); ++i) {
        const DialogTemplate& dialog = *templates[i];
        EXPECT_EQ(dialog.id, expected[i].first);
        EXPECT_EQ(dialog.caption, expected[i].second);
        std::set<std::int32_t> ids;
        const DialogRect bounds { 0, 0, dialog.width, dialog.height };
        for (const auto& control : dialog.controls) {
            if (control.id != kNoControlId) {
                EXPECT_TRUE(ids.insert(control.id).second) << "id " << control.id << " twice in " << dialog.id;
            }
            EXPECT_TRUE(Inside(control.rect, bounds))
                << "control " << control.id << " (" << control.text << ") outside template " << dialog.id;
        }
        const ControlTemplate& ok = Get(dialog, 1);
        EXPECT_EQ(ok.kind, ControlKind::PushButton);
        EXPECT_STREQ(ok.text, "OK");
        EXPECT_NE(ok.flags & FlagDefault, 0u);
    }
    EXPECT_EQ(MainDialogTemplate().width, 775); // ten more for the "Move" buttons
    EXPECT_EQ(MainDialogTemplate().height, 494);
    EXPECT_EQ(DeadBandDialogTemplate().width, 336);
    EXPECT_EQ(ConfigChoiceDialogTemplate().height, 202);
    EXPECT_EQ(ThrustLeverDialogTemplate().width, 378);
}

TEST(DialogTemplates, SetUpDialogsKeepTheirGeometryAndSpinKinds)
{
    const DialogTemplate& deadBand = DeadBandDialogTemplate();
    for (std::int32_t id = 1094; id <= 1097; ++id) {
        const ControlTemplate& spin = Get(deadBand, id);
        EXPECT_EQ(spin.kind, ControlKind::Spin);
        EXPECT_NE(spin.flags & FlagHorizontalSpin, 0u) << id;
        EXPECT_EQ(spin.rect.x, 150);
        EXPECT_EQ(spin.rect.y, 6 + 13 * (id - 1094));
        EXPECT_EQ(Get(deadBand, id - 4).kind, ControlKind::Static);
    }

    const DialogTemplate& thrust = ThrustLeverDialogTemplate();
    for (std::int32_t id : { 1512, 1513, 1514, 1515, 1516, 1518 }) {
        EXPECT_EQ(Get(thrust, id).kind, ControlKind::Spin);
        EXPECT_EQ(Get(thrust, id).flags & FlagHorizontalSpin, 0u) << id;
    }
    const DialogRect help = Get(thrust, 1096).rect;
    EXPECT_EQ(help.x, 168);
    EXPECT_EQ(help.width, 200);
    EXPECT_EQ(help.height, 114);
    EXPECT_EQ(Get(thrust, 1511).rect.y, 54);
    EXPECT_EQ(Get(thrust, 1517).rect.y, 146);

    const DialogTemplate& choice = ConfigChoiceDialogTemplate();
    EXPECT_STREQ(Get(choice, 1202).text, "Alternate  2");
    EXPECT_EQ(Get(choice, 1203).rect.y, 85);
    EXPECT_EQ(Get(choice, 1103).rect.width, 300);
    EXPECT_STREQ(Get(choice, 2).text, "Cancel");
}

TEST(DialogTemplates, MainWindowRolesIdsAndFlags)
{
    using namespace MainIds;
    const DialogTemplate& main = MainDialogTemplate();

    EXPECT_NE(Get(main, kCancel).flags & FlagHidden, 0u);
    EXPECT_NE(Get(main, kCancel).flags & FlagDisabled, 0u);
    EXPECT_NE(Get(main, kEnumerate).flags & (FlagHidden | FlagDisabled), 0u);
    EXPECT_LE(Get(main, kEnumerate).rect.width, 8);
    EXPECT_NE(Get(main, kSaveAssignments).flags & FlagDisabled, 0u);
    EXPECT_STREQ(Get(main, kSaveAssignments).text, "Save Assignments");
    EXPECT_STREQ(Get(main, kReadAlternate).text, "Read Alternate");
    EXPECT_STREQ(Get(main, kSetDeadBands).text, "Set Dead Bands");
    EXPECT_STREQ(Get(main, kThrustLeverData).text, "Thrust Lever Data");
    EXPECT_STREQ(Get(main, kControlPanel).text, "Control Panel");
    EXPECT_STREQ(Get(main, kAssignmentGroup).text, "Flight Controls Assignments");
    EXPECT_STREQ(Get(main, kEyeText).text, "Look");
    EXPECT_EQ(Get(main, kWarningLamp).image, 133);
    EXPECT_EQ(Get(main, kSideStickLamp).image, 129);
    EXPECT_EQ(Get(main, kWarningList).kind, ControlKind::ListView);
    // OK sits at the top right.
    EXPECT_GE(Get(main, kOk).rect.x + Get(main, kOk).rect.width, main.width - 20);
    EXPECT_LE(Get(main, kOk).rect.y, 10);

    bool currentSetUpGroup = false;
    for (const auto& control : main.controls) {
        if (control.kind == ControlKind::GroupBox && std::string(control.text) == "Current Set Up : ") {
            currentSetUpGroup = true;
            EXPECT_TRUE(Inside(Get(main, kCurrentFile).rect, control.rect));
            EXPECT_TRUE(Inside(Get(main, kSetUpName).rect, control.rect));
        }
    }
    EXPECT_TRUE(currentSetUpGroup);

    for (int i = 0; i < kAxisRowCount; ++i) {
        const auto& row = kAxisRows[i];
        // The thrust levers are tuned in their own dialog.
        const bool thrustLever = CockpitAxisTable::InWindowRow(i).kind == AxisKind::ThrustLever;
        EXPECT_EQ(Get(main, row.progress).kind, ControlKind::ProgressBar);
        EXPECT_EQ(Get(main, row.spin).kind, ControlKind::Spin);
        EXPECT_EQ(Get(main, row.inputCombo).kind, ControlKind::ComboBox);
        EXPECT_EQ(Get(main, row.joystickCombo).kind, ControlKind::ComboBox);
        const bool hidden = (Get(main, row.spin).flags & FlagHidden) != 0;
        EXPECT_EQ(hidden, thrustLever) << row.label;
        EXPECT_EQ((Get(main, row.sensitivityText).flags & FlagHidden) != 0, thrustLever) << row.label;
    }
    for (const auto& row : kButtonRows) {
        EXPECT_EQ(Get(main, row.lamp).kind, ControlKind::Lamp) << row.label;
        const bool disabled = (Get(main, row.buttonCombo).flags & FlagDisabled) != 0;
        EXPECT_EQ(disabled, row.button == 0) << row.label;
        EXPECT_EQ((Get(main, row.joystickCombo).flags & FlagDisabled) != 0, row.button == 0) << row.label;
    }
}

TEST(DialogTemplates, MainWindowLayoutIsCleanAndHoldsTheReadouts)
{
    using namespace MainIds;
    const DialogTemplate& main = MainDialogTemplate();

    // Nothing visible lies on top of anything else (group boxes frame others).
    std::vector<const ControlTemplate*> solid;
    for (const auto& control : main.controls) {
        if (control.kind != ControlKind::GroupBox && (control.flags & FlagHidden) == 0) {
            solid.push_back(&control);
        }
    }
    for (std::size_t i = 0; i < solid.size(); ++i) {
        for (std::size_t j = i + 1; j < solid.size(); ++j) {
            EXPECT_FALSE(Overlap(solid[i]->rect, solid[j]->rect))
                << solid[i]->id << " '" << solid[i]->text << "' and " << solid[j]->id << " '" << solid[j]->text << "'";
        }
    }

    const DialogRect assignment = Get(main, kAssignmentGroup).rect;
    for (int slot = 0; slot < 4; ++slot) {
        const DialogRect box = Get(main, kSlotGroup[slot]).rect;
        EXPECT_EQ(box.width, 104);
        EXPECT_EQ(box.height, 454);
        EXPECT_FALSE(Overlap(box, assignment));
        // The device name stands above its box.
        const DialogRect name = Get(main, kDeviceName[slot]).rect;
        EXPECT_LE(name.y + name.height, box.y);
        EXPECT_STREQ(Get(main, kDeviceName[slot]).text, "Device Not Found");
        if (slot > 0) {
            EXPECT_GE(box.x, Get(main, kSlotGroup[slot - 1]).rect.x + 104);
        }
        // 30 readout lines of 20 px below a 2 px margin, 148 px wide with the
        // ID's wider box, at the usual dialog font (6 by 13 base units).
        EXPECT_GE(box.height * 13 / 8, 2 + 30 * 20);
        EXPECT_GE(box.width * 6 / 4, 2 + 50 + 90 + 4 + 2);
    }
    // Everything of the assignment area lies inside its group.
    for (const auto* id :
        { &kEyePovCombo, &kEyeJoystickCombo, &kSideStickLamp, &kSetDeadBands, &kThrustLeverData, &kSaveAssignments,
            &kReadAlternate, &kWarningList, &kWarningLamp, &kGearMessage, &kNetwork, &kNetworkState }) {
        EXPECT_TRUE(Inside(Get(main, *id).rect, assignment)) << *id;
    }
    for (const auto& row : kButtonRows) {
        EXPECT_TRUE(Inside(Get(main, row.joystickCombo).rect, assignment)) << row.label;
    }
}

TEST(DialogTemplates, EveryControlTheOperatorCanPointAtHasAOneSentenceTooltip)
{
    for (const DialogTemplate* dialog : { &MainDialogTemplate(), &AboutDialogTemplate(), &DeadBandDialogTemplate(),
             &ConfigChoiceDialogTemplate(), &ThrustLeverDialogTemplate(), &NetworkDialogTemplate(),
             &ResponseCurvesDialogTemplate(), &CalibrateDialogTemplate() }) {
        int tips = 0;
        for (const auto& control : dialog->controls) {
            if (control.id == kNoControlId) {
                continue; // labels and frames say what they are themselves
            }
            ASSERT_NE(control.toolTip, nullptr) << "control " << control.id << " of template " << dialog->id;
            const std::string tip = control.toolTip;
            EXPECT_GT(tip.size(), 10u) << control.id;
            EXPECT_EQ(tip.back(), '.') << control.id << ": " << tip;
            EXPECT_EQ(tip.find(". "), std::string::npos) << control.id << " has more than one sentence: " << tip;
            EXPECT_TRUE(std::isupper(static_cast<unsigned char>(tip.front()))) << control.id << ": " << tip;
            ++tips;
        }
        EXPECT_GT(tips, 0) << dialog->id;
    }
}

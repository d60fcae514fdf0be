// The control registry alone: which id answers, which run-time controls
// become readout cells of which group, and the text answer of GetControlText
// that every renderer gives the same way.
#include "ui/ControlRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Registry = ControlRegistry<std::string>;

constexpr std::int32_t kBoxA = 10;
constexpr std::int32_t kBoxB = 11;
constexpr std::int32_t kLabel = 12;
constexpr std::int32_t kButton = 13;

const ControlTemplate kControls[] = {
    { kBoxA, ControlKind::GroupBox, "Slot 0", { 0, 0, 100, 100 } },
    { kBoxB, ControlKind::GroupBox, "Slot 1", { 100, 0, 100, 100 } },
    { kLabel, ControlKind::Static, "Pitch", { 0, 0, 20, 8 } },
    { kLabel, ControlKind::Edit, "", { 0, 10, 20, 8 } }, // a repeated id
    { kNoControlId, ControlKind::Static, "unaddressed", { 0, 20, 20, 8 } },
    { kButton, ControlKind::PushButton, "Move", { 0, 30, 20, 8 } },
};

Registry Filled()
{
    Registry registry;
    for (const ControlTemplate& control : kControls) {
        registry.AddTemplateControl(control, control.text);
    }
    return registry;
}

RuntimeControl Runtime(std::int32_t id, ControlKind kind, std::int32_t parent)
{
    return { id, kind, "----", parent, { 0, 0, 10, 10 } };
}

} // namespace

TEST(ControlRegistry, TheFirstOfRepeatedIdsAnswersAndAnIdIsMadeOnce)
{
    Registry registry = Filled();
    EXPECT_EQ(registry.Size(), 4u) << "unaddressed texts are nobody's business";
    EXPECT_FALSE(registry.Has(kNoControlId));
    ASSERT_NE(registry.Find(kLabel), nullptr);
    EXPECT_EQ(registry.Find(kLabel)->kind, ControlKind::Static);
    EXPECT_EQ(registry.Find(kLabel)->native, "Pitch");
    EXPECT_FALSE(registry.Find(kLabel)->runtime);
    // A call meant for another kind finds nothing.
    EXPECT_EQ(registry.Find(kLabel, ControlKind::Edit), nullptr);
    EXPECT_NE(registry.Find(kLabel, ControlKind::Static), nullptr);
    EXPECT_EQ(registry.Find(999), nullptr);

    // Run time: a new id is taken once, and never one of the template's.
    Registry::Entry* made = registry.AddRuntimeControl(Runtime(500, ControlKind::PushButton, kBoxA), "button");
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->runtime);
    EXPECT_FALSE(made->IsCell());
    EXPECT_EQ(registry.AddRuntimeControl(Runtime(500, ControlKind::Static, kBoxA), "again"), nullptr);
    EXPECT_EQ(registry.AddRuntimeCell(Runtime(kButton, ControlKind::Static, kBoxA), 0, 0), nullptr);
    EXPECT_EQ(registry.Find(500)->native, "button");
    EXPECT_EQ(registry.Find(kButton)->kind, ControlKind::PushButton);

    // Entries stay where they are while many more are added (a renderer
    // holds one across the calls that add its neighbours).
    const Registry::Entry* held = registry.Find(500);
    for (std::int32_t id = 1000; id < 3000; ++id) {
        registry.AddRuntimeControl(Runtime(id, ControlKind::Static, kNoControlId), std::to_string(id));
    }
    EXPECT_EQ(registry.Find(500), held);
    EXPECT_EQ(held->native, "button");
}

TEST(ControlRegistry, LabelsAndValueBoxesInAGroupBoxBecomeCellsOfOneGroupPerBox)
{
    Registry registry = Filled();
    std::vector<std::int32_t> made; // the group boxes a group was made for, in order
    auto makeGroup = [&](const Registry::Entry& box) {
        made.push_back(box.id);
        return true;
    };

    // A box's first cell makes its group; later cells join it.
    EXPECT_EQ(registry.CellGroupFor(Runtime(100, ControlKind::Static, kBoxA), makeGroup), 0);
    EXPECT_EQ(registry.CellGroupFor(Runtime(101, ControlKind::Edit, kBoxA), makeGroup), 0);
    EXPECT_EQ(registry.CellGroupFor(Runtime(102, ControlKind::Edit, kBoxB), makeGroup), 1);
    EXPECT_EQ(made, (std::vector<std::int32_t> { kBoxA, kBoxB }));
    EXPECT_EQ(registry.GroupCount(), 2);
    EXPECT_EQ(registry.GroupOf(kBoxB), 1);
    EXPECT_EQ(registry.GroupOwner(0), kBoxA);

    // Controls of their own: a button in a box, a value box outside any box
    // or in something that is not a group box; no group is made for them.
    EXPECT_EQ(registry.CellGroupFor(Runtime(103, ControlKind::PushButton, kBoxA), makeGroup), Registry::kNoGroup);
    EXPECT_EQ(registry.CellGroupFor(Runtime(104, ControlKind::Edit, kLabel), makeGroup), Registry::kNoGroup);
    EXPECT_EQ(registry.CellGroupFor(Runtime(105, ControlKind::Edit, 999), makeGroup), Registry::kNoGroup);
    EXPECT_EQ(registry.CellGroupFor(Runtime(106, ControlKind::Edit, kNoControlId), makeGroup), Registry::kNoGroup);
    EXPECT_EQ(made.size(), 2u);

    // A group that belongs to no box (a renderer's own, such as stacked
    // bars) takes the next number and no run-time control.
    EXPECT_EQ(registry.AddGroup(kNoControlId), 2);
    EXPECT_EQ(registry.GroupOf(kNoControlId), Registry::kNoGroup);

    // A cell is registered with its group and its index there.
    Registry::Entry* cell = registry.AddRuntimeCell(Runtime(101, ControlKind::Edit, kBoxA), 0, 1);
    ASSERT_NE(cell, nullptr);
    EXPECT_TRUE(cell->IsCell());
    EXPECT_TRUE(cell->runtime);
    EXPECT_EQ(cell->group, 0);
    EXPECT_EQ(cell->cell, 1);
}

TEST(ControlRegistry, AGroupThatCannotBeMadeLeavesANativeControlAndIsTriedAgain)
{
    Registry registry = Filled();
    int attempts = 0;
    bool canMake = false;
    auto makeGroup = [&](const Registry::Entry&) {
        ++attempts;
        return canMake;
    };
    EXPECT_EQ(registry.CellGroupFor(Runtime(100, ControlKind::Edit, kBoxA), makeGroup), Registry::kNoGroup);
    EXPECT_EQ(registry.GroupCount(), 0) << "no group whose widget is missing";
    canMake = true;
    EXPECT_EQ(registry.CellGroupFor(Runtime(101, ControlKind::Edit, kBoxA), makeGroup), 0);
    EXPECT_EQ(registry.CellGroupFor(Runtime(102, ControlKind::Edit, kBoxA), makeGroup), 0);
    EXPECT_EQ(attempts, 2);
}

TEST(ControlRegistry, ControlTextIsCutToTheBufferAndAlwaysTerminated)
{
    char buffer[6] = { 'x', 'x', 'x', 'x', 'x', 'x' };
    EXPECT_EQ(CopyControlText("-10000", buffer, sizeof buffer), 5);
    EXPECT_STREQ(buffer, "-1000");
    EXPECT_EQ(CopyControlText("12", buffer, sizeof buffer), 2);
    EXPECT_STREQ(buffer, "12");
    EXPECT_EQ(CopyControlText("12", buffer, 1), 0);
    EXPECT_STREQ(buffer, "");
    buffer[0] = 'x';
    EXPECT_EQ(CopyControlText("12", buffer, 0), 0);
    EXPECT_EQ(buffer[0], 'x') << "no room, nothing written";
    EXPECT_EQ(CopyControlText("12", nullptr, 6), 0);
}

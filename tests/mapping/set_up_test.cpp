// The typed set-up on a block of the test's own: taken and put back field by
// field (the simulator's stretches of the area are never written), what a
// saved file would tell apart, and the typed reads the window makes.
#include "mapping/CockpitButtons.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/SetUp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace GSB = GenericSimBlock;

namespace {

struct Block {
    std::vector<unsigned char> bytes = std::vector<unsigned char>(GSB::kSize);
    BlockSetUp view { bytes.data() };

    // Every byte of the set-up area and the tuning values, from `seed`.
    void Fill(unsigned char seed)
    {
        for (std::size_t at = GSB::kJoystickSetup; at < GSB::kSize; ++at) {
            bytes[at] = static_cast<unsigned char>(seed + at * 7);
        }
        for (std::size_t v = 0; v < GSB::kControlSettingsCount; ++v) {
            GSB::StoreDouble(bytes.data(), GSB::kControlSettings + 8 * v, seed + 0.25 * static_cast<double>(v));
        }
    }
};

// The set-up area's stretches that belong to the simulator, and the four
// bytes after each button record's number.
std::vector<std::size_t> SimulatorBytes()
{
    std::vector<std::size_t> offsets;
    const auto stretch = [&](std::size_t from, std::size_t to) {
        for (std::size_t at = from; at < to; ++at) {
            offsets.push_back(GSB::kJoystickSetup + at);
        }
    };
    stretch(292, 420);
    stretch(452, 644);
    stretch(1256, 1420);
    for (std::size_t b = 0; b < GSB::kButtonRecordCount; ++b) {
        for (std::size_t i = 32; i < 36; ++i) {
            offsets.push_back(GSB::ButtonRecord(b) + i);
        }
    }
    return offsets;
}

} // namespace

TEST(SetUpValues, PutBackRestoresWhatTheProgramOwnsAndNothingElse)
{
    Block block;
    block.Fill(3);
    const std::vector<unsigned char> taken = block.bytes;
    const SetUpValues setUp = block.view.Take();

    // Another file half read, and the simulator writing its own stretches.
    block.Fill(101);
    const std::vector<unsigned char> meanwhile = block.bytes;
    block.view.PutBack(setUp);

    for (const std::size_t at : SimulatorBytes()) {
        ASSERT_EQ(block.bytes[at], meanwhile[at]) << "the simulator's byte at " << at;
        block.bytes[at] = taken[at];
    }
    EXPECT_EQ(block.bytes, taken) << "every field the program owns is back as it was";

    // A view of no block takes zeros and writes nothing.
    BlockSetUp none;
    const SetUpValues empty = none.Take();
    EXPECT_EQ(empty.configurationIndex, 0);
    EXPECT_EQ(empty.buttons[ButtonParkBrk].buttonNumber, 0);
    none.PutBack(setUp);
    none.SetConfigurationIndex(2);
    none.Set(TuningValue::PitchDeadBand, 1.0);
    EXPECT_EQ(none.ConfigurationName(), "");
    EXPECT_EQ(none.Get(TuningValue::PitchDeadBand), 0.0);
}

TEST(SetUpValues, OnlyWhatAFileHoldsCountsAsAChange)
{
    Block block;
    block.Fill(9);
    const SetUpValues loaded = block.view.Take();
    EXPECT_TRUE(block.view.Take().SavesAs(loaded));

    // Resolution moves slots, Read Alternate names the configuration: a file saved now would be the same.
    GSB::StoreInt32(block.bytes.data(), GSB::kRollRecord + GSB::kRecordSlot, 3);
    GSB::StoreInt32(block.bytes.data(), GSB::ButtonRecord(5) + GSB::kRecordSlot, 2);
    block.view.SetConfigurationIndex(2);
    block.view.SetConfigurationName("ALTN 2 JOY STICK SET UP ");
    block.bytes[GSB::kTillerRecord] = 'x'; // the joystick text
    EXPECT_TRUE(block.view.Take().SavesAs(loaded));

    // A joystick, an input, a button number or a tuning value is a change.
    const auto changed = [&](std::size_t offset, std::int32_t value) {
        Block copy = block;
        copy.view = BlockSetUp(copy.bytes.data());
        GSB::StoreInt32(copy.bytes.data(), offset, value);
        return !copy.view.Take().SavesAs(loaded);
    };
    EXPECT_TRUE(changed(GSB::kEyeViewRecord + GSB::kRecordInput, 3));
    EXPECT_TRUE(changed(GSB::kThrustLeverFilterRecord + GSB::kRecordJoystickId, 77));
    EXPECT_TRUE(changed(GSB::ButtonRecord(ButtonParkBrk) + GSB::kRecordInput, 12));
    const double sensitivity = block.view.Get(TuningValue::ThrLvrRSensitivity);
    block.view.Set(TuningValue::ThrLvrRSensitivity, sensitivity + 1e-9);
    EXPECT_FALSE(block.view.Take().SavesAs(loaded));

    // A NaN another program wrote is the same NaN a moment later.
    block.view.Set(TuningValue::ThrLvrRSensitivity, std::nan(""));
    const SetUpValues withNan = block.view.Take();
    EXPECT_TRUE(block.view.Take().SavesAs(withNan));
}

TEST(SetUpValues, TypedReadsNameTheFieldsTheWindowShows)
{
    Block block;
    block.Fill(0);
    // Tuning by name and by axis: the sensitivity is the axis's first value.
    block.view.SetSensitivity(AxisTiller, 0.0042);
    EXPECT_EQ(GSB::LoadDouble(block.bytes.data(), GSB::kTillerSensitivity), 0.0042);
    EXPECT_EQ(block.view.Get(TuningValue::TillerSensitivity), 0.0042);
    block.view.Set(TuningValue::ThrLvrLTimeConstant, 0.75);
    EXPECT_EQ(GSB::LoadDouble(block.bytes.data(), GSB::kThrLvrLFilterTimeConstant), 0.75);
    const std::vector<unsigned char> before = block.bytes;
    block.view.SetSensitivity(AxisEyeView, 9.0); // no tuning values
    block.view.SetSensitivity(42, 9.0);
    EXPECT_EQ(block.bytes, before);
    EXPECT_EQ(block.view.Sensitivity(AxisEyeView), 0.0);

    GSB::StoreDouble(block.bytes.data(), GSB::kPedalsOutput, -12.5);
    EXPECT_EQ(block.view.Output(AxisPedals), -12.5);
    EXPECT_EQ(block.view.Output(AxisEyeView), 0.0);

    // The reversers publish one byte between them; PTT has its own.
    GSB::StoreByte(block.bytes.data(), GSB::kReverserPressed, 1);
    EXPECT_TRUE(block.view.ButtonPublished(ButtonReverseL));
    EXPECT_TRUE(block.view.ButtonPublished(ButtonReverseR));
    EXPECT_FALSE(block.view.ButtonPublished(ButtonFlapIn)); // carried by the switch panel only
    GSB::StoreByte(block.bytes.data(), GSB::kPttPressed, 1);
    EXPECT_TRUE(block.view.ButtonPublished(ButtonPtt));
    EXPECT_FALSE(block.view.ButtonPublished(ButtonApDisc));
    EXPECT_FALSE(block.view.ButtonPublished(kCockpitButtonCount));

    // Each simulator flag is set by either of its bytes.
    for (const std::size_t flag : { GSB::kGearFlag1, GSB::kGearFlag2, GSB::kParkBrakeFlag1, GSB::kParkBrakeFlag2 }) {
        Block flags;
        EXPECT_FALSE(flags.view.GearFlag() || flags.view.ParkBrakeFlag());
        GSB::StoreByte(flags.bytes.data(), flag, 200);
        const bool gear = flag == GSB::kGearFlag1 || flag == GSB::kGearFlag2;
        EXPECT_EQ(flags.view.GearFlag(), gear) << flag;
        EXPECT_EQ(flags.view.ParkBrakeFlag(), !gear) << flag;
    }

    // The name: bounded to 59 characters, read up to its NUL or the field's end.
    block.view.SetConfigurationName(std::string(80, 'n').c_str());
    EXPECT_EQ(block.view.ConfigurationName(), std::string(59, 'n'));
    for (std::size_t i = 0; i < GSB::kConfigurationNameLength; ++i) {
        block.bytes[GSB::kConfigurationName + i] = 'm';
    }
    EXPECT_EQ(block.view.ConfigurationName(), std::string(60, 'm'));
}

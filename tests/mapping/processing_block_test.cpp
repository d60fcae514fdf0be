// Many cycles against a block full of foreign bytes and garbage records:
// only the fields the processing owns change, every state read stays inside
// the four records (the sanitizer build checks that), and every published
// value is finite.
#include "tests/mapping/processor_fixture.h"

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace Block = GenericSimBlock;
using ProcessorTest::kJoystickIds;
using ProcessorTest::ProcessorFixture;

namespace {

// The bytes a cycle may write: the six outputs, the six button bytes, and
// the joystick ID and slot of every record that is resolved.
std::vector<bool> WritableByCycles()
{
    std::vector<bool> writable(Block::kSize, false);
    const auto mark = [&](std::size_t offset, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i) {
            writable[offset + i] = true;
        }
    };
    for (const std::size_t output : { Block::kPitchOutput, Block::kRollOutput, Block::kPedalsOutput,
             Block::kThrLvrLOutput, Block::kThrLvrROutput, Block::kTillerOutput }) {
        mark(output, sizeof(double));
    }
    for (const std::size_t byte : { Block::kApDiscPressed, Block::kAtDiscPressed, Block::kPttPressed,
             Block::kBrakeLPressed, Block::kBrakeRPressed, Block::kReverserPressed }) {
        mark(byte, 1);
    }
    for (const std::size_t record : { Block::kPitchRecord, Block::kRollRecord, Block::kPedalsRecord,
             Block::kTillerRecord, Block::kThrLvrLRecord, Block::kThrLvrRRecord, Block::kEyeViewRecord }) {
        mark(record + Block::kRecordJoystickId, 8);
    }
    for (std::size_t button = 0; button < Block::kButtonRecordCount; ++button) {
        mark(Block::ButtonRecord(button) + Block::kRecordJoystickId, 8);
    }
    return writable;
}

} // namespace

TEST_F(ProcessorFixture, CyclesTouchOnlyTheirOwnFieldsOfAGarbageBlock)
{
    auto* bytes = static_cast<std::uint8_t*>(block);
    // Everything but the version text and the user count becomes a pattern.
    for (std::size_t i = Block::kVersionLength; i < Block::kSize; ++i) {
        if (i < Block::kUserCount || i >= Block::kUserCount + 4) {
            bytes[i] = static_cast<std::uint8_t>(i * 131u + 17u);
        }
    }
    std::vector<std::uint8_t> expected(bytes, bytes + Block::kSize);
    // Writes of "another program": into the block and into the expectation.
    const auto foreignInt = [&](std::size_t offset, std::int32_t value) {
        Block::StoreInt32(block, offset, value);
        Block::StoreInt32(expected.data(), offset, value);
    };
    const auto foreignDouble = [&](std::size_t offset, double value) {
        Block::StoreDouble(block, offset, value);
        Block::StoreDouble(expected.data(), offset, value);
    };

    std::mt19937 random(20240611u);
    const auto anyInt = [&]() { return static_cast<std::int32_t>(random()); };
    const auto smallInt = [&]() { return static_cast<std::int32_t>(random() % 44) - 6; }; // -6..37
    const auto pick = [&]() { return (random() & 1u) != 0 ? anyInt() : smallInt(); };
    const double oddValues[] = { std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(), 1e308, -1e308, 0.0, 0.002, 1.0, -5.0 };

    const std::size_t axisRecords[] = { Block::kPitchRecord, Block::kRollRecord, Block::kPedalsRecord,
        Block::kTillerRecord, Block::kThrLvrLRecord, Block::kThrLvrRRecord, Block::kEyeViewRecord };
    const std::vector<bool> writable = WritableByCycles();
    for (int cycle = 0; cycle < 3000; ++cycle) {
        if (cycle % 50 == 0) {
            for (const std::size_t record : axisRecords) {
                foreignInt(record + Block::kRecordSlot, pick());
                foreignInt(record + Block::kRecordInput, pick());
                foreignInt(record + Block::kRecordJoystickId,
                    (random() & 1u) != 0 ? static_cast<std::int32_t>(kJoystickIds[random() % 4]) : anyInt());
            }
            for (std::size_t button = 0; button < Block::kButtonRecordCount; ++button) {
                foreignInt(Block::ButtonRecord(button) + Block::kRecordSlot, pick());
                foreignInt(Block::ButtonRecord(button) + Block::kRecordInput, pick());
            }
            for (std::size_t i = 0; i < Block::kControlSettingsCount; ++i) {
                foreignDouble(Block::kControlSettings + 8 * i, oddValues[random() % std::size(oddValues)]);
            }
            processor.ApplyFilterTimeConstants();
        }
        if (cycle % 333 == 0) {
            processor.ResetCycleCount();
        }
        // Moving inputs, including ranges and button counts the devices would never report.
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            JoystickState& state = states[slot];
            for (int i = 0; i < 8; ++i) {
                state.axes[i] = static_cast<std::int32_t>(random() % 20001) - 10000;
                state.velocities[i] = anyInt();
                state.accelerations[i] = anyInt();
            }
            for (auto& pov : state.pov) {
                pov = static_cast<std::uint32_t>(random() % 8) * 45u;
            }
            for (auto& button : state.buttons) {
                button = static_cast<std::uint8_t>(random() % 3);
            }
            state.buttonCount = cycle % 7 == 0 ? anyInt() : static_cast<std::int32_t>(random() % 33);
            if (cycle % 11 == 0) {
                state.axisMinimum = anyInt();
                state.axisMaximum = (random() & 1u) != 0 ? state.axisMinimum : anyInt();
            }
        }
        table[3] = cycle % 13 == 0 ? nullptr : &states[3];
        const int count = 1 + static_cast<int>((cycle / 40) % 4);
        Cycle(count, cycle % 17 == 0 ? 0.0 : 0.01);

        for (const std::size_t output : { Block::kPitchOutput, Block::kRollOutput, Block::kPedalsOutput,
                 Block::kThrLvrLOutput, Block::kThrLvrROutput, Block::kTillerOutput }) {
            ASSERT_TRUE(std::isfinite(Output(output))) << "cycle " << cycle << " offset " << output;
        }
        for (const std::size_t byte : { Block::kApDiscPressed, Block::kAtDiscPressed, Block::kPttPressed,
                 Block::kBrakeLPressed, Block::kBrakeRPressed, Block::kReverserPressed }) {
            ASSERT_LE(Byte(byte), 1) << "cycle " << cycle;
        }
        ASSERT_LE(panel.gearState, 1);
        ASSERT_LE(panel.flapIn, 1);
    }

    std::size_t changed = 0;
    for (std::size_t i = 0; i < Block::kSize; ++i) {
        if (!writable[i] && bytes[i] != expected[i]) {
            ADD_FAILURE() << "byte " << i << " changed from " << int(expected[i]) << " to " << int(bytes[i]);
            if (++changed == 20) {
                break;
            }
        }
    }
    // The cycles did run: the outputs no longer hold the pattern.
    EXPECT_NE(std::memcmp(bytes + Block::kPitchOutput, expected.data() + Block::kPitchOutput, 8), 0);
}

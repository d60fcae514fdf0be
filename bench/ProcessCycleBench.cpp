// The cost of one processing cycle with four joysticks and every control
// assigned, and beside it the least such a cycle can cost: the same six inputs
// and button states read from the same records and stored at the block's
// offsets, with no tuning, no filter and no checks; and the cycle with every
// axis calibrated before it. Runs against the block
// named by TAVELIN_SHM_NAME and refuses to run without it, so it never writes
// into a simulator's live block.
#include "mapping/Assignments.h"
#include "mapping/Calibration.h"
#include "mapping/CockpitButtons.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/JoystickState.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iterator>

namespace {

namespace Block = GenericSimBlock;

constexpr std::uint32_t kIds[kJoystickSlots] = { 0x10001u, 0x20002u, 0x30003u, 0x40004u };

constexpr std::int32_t kAxes[] = { AxisPitch, AxisRoll, AxisPedals, AxisTiller, AxisThrLvrL, AxisThrLvrR };

// The axis outputs in kAxes's order.
constexpr std::size_t kOutputs[] = { Block::kPitchOutput, Block::kRollOutput, Block::kPedalsOutput,
    Block::kTillerOutput, Block::kThrLvrLOutput, Block::kThrLvrROutput };

void FillStates(JoystickState (&states)[kJoystickSlots], const JoystickState* (&table)[kJoystickSlots])
{
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        states[slot] = {};
        states[slot].joystickId = kIds[slot];
        states[slot].axisMinimum = -10000;
        states[slot].axisMaximum = 10000;
        states[slot].axisSpan = 20000;
        states[slot].buttonCount = 32;
        table[slot] = &states[slot];
    }
}

// Inputs move every cycle, as a held stick would.
void MoveInputs(JoystickState (&states)[kJoystickSlots], std::int32_t tick)
{
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        states[slot].axes[slot] = (tick * 37 + slot * 5000) % 20001 - 10000;
        states[slot].buttons[tick & 31] = static_cast<std::uint8_t>(tick & 1);
        states[slot].pov[0] = static_cast<std::uint32_t>((tick & 7) * 45);
    }
}

// Axis i is input i of slot i % 4, cockpit button b is button 1 + b of slot b % 4:
// the assignment both benchmarks use.
std::int32_t ReadInput(const JoystickState& state, int input)
{
    const std::int32_t* inputs = input < 8 ? state.axes : input < 16 ? state.velocities : state.accelerations;
    return inputs[input % 8];
}

// The processor attached to the block named by TAVELIN_SHM_NAME, or null
// with the benchmark skipped.
void* AttachToPrivateBlock(benchmark::State& bench, ControlProcessor& processor)
{
    const char* name = std::getenv("TAVELIN_SHM_NAME");
    if (name == nullptr || name[0] == '\0') {
        bench.SkipWithError("set TAVELIN_SHM_NAME to a private block name");
        return nullptr;
    }
    if (!processor.Attach()) {
        bench.SkipWithError(processor.GetErrorText());
        return nullptr;
    }
    return processor.GetBlock();
}

// Axis i on input i of slot i % 4, the eye view on POV 1 of slot 3, cockpit
// button b on button 1 + b of slot b % 4, stick sensitivities 0.002.
void AssignEveryControl(ControlProcessor& processor, void* block, SwitchPanelState& panel)
{
    for (int i = 0; i < 6; ++i) {
        processor.SetAxisAssignment(kAxes[i], i % 4, static_cast<std::int32_t>(kIds[i % 4]), i);
    }
    processor.SetCounts(kJoystickSlots, ControlProcessor::kInputCount);
    processor.SetEyeViewJoystick(3, static_cast<std::int32_t>(kIds[3]));
    processor.SetEyeViewInput(1);
    for (int button = 0; button < kCockpitButtonCount; ++button) {
        processor.SetButtonAssignment(button, button % 4, 1 + button, static_cast<std::int32_t>(kIds[button % 4]));
    }
    for (const std::size_t sensitivity :
        { Block::kPitchSensitivity, Block::kRollSensitivity, Block::kPedalsSensitivity, Block::kTillerSensitivity }) {
        Block::StoreDouble(block, sensitivity, 0.002);
    }
    Block::StoreDouble(block, Block::kThrLvrLSensitivity, 1.0);
    Block::StoreDouble(block, Block::kThrLvrRSensitivity, 1.0);
    processor.SetSwitchPanel(&panel);
}

void BM_ProcessCycle(benchmark::State& bench)
{
    ControlProcessor processor;
    void* block = AttachToPrivateBlock(bench, processor);
    if (block == nullptr) {
        return;
    }

    JoystickState states[kJoystickSlots];
    const JoystickState* table[kJoystickSlots];
    FillStates(states, table);
    SwitchPanelState panel {};
    AssignEveryControl(processor, block, panel);

    std::int32_t tick = 0;
    for (auto _ : bench) {
        MoveInputs(states, tick++);
        processor.ProcessCycle(0.01, table, kJoystickSlots - 1);
        benchmark::DoNotOptimize(Block::LoadDouble(block, Block::kPitchOutput));
        benchmark::ClobberMemory();
    }
}

// The same cycle with every axis of the four joysticks calibrated, as the
// joystick set does it after polling: the raw axes kept, the record's axes
// calibrated in place (centred axes and axes resting at an end alike). The
// record's raw axes are put back before each move, so that calibration is
// applied to raw values only, as in the program.
void BM_ProcessCycleCalibrated(benchmark::State& bench)
{
    ControlProcessor processor;
    void* block = AttachToPrivateBlock(bench, processor);
    if (block == nullptr) {
        return;
    }

    JoystickState states[kJoystickSlots];
    const JoystickState* table[kJoystickSlots];
    FillStates(states, table);
    SwitchPanelState panel {};
    AssignEveryControl(processor, block, panel);

    CalibrationTable calibration;
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        JoystickCalibration& entry = calibration.Entry(static_cast<std::int32_t>(kIds[slot]));
        for (int axis = 0; axis < kCalibratedAxes; ++axis) {
            entry.axes[axis] = axis % 2 == 0 ? AxisCalibration::Centred(-9500 + axis, 120, 9700 - axis)
                                             : AxisCalibration::RestsAtEnd(-9800, 9900 - axis);
        }
    }
    PreparedCalibration slotCalibration[kJoystickSlots];
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        slotCalibration[slot] = PreparedCalibration(*calibration.Find(static_cast<std::int32_t>(kIds[slot])));
    }
    std::int32_t rawAxes[kJoystickSlots][kCalibratedAxes] = {};

    std::int32_t tick = 0;
    for (auto _ : bench) {
        // The records as the devices deliver them (raw), then calibrated as the set keeps them.
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            std::copy(std::begin(rawAxes[slot]), std::end(rawAxes[slot]), std::begin(states[slot].axes));
        }
        MoveInputs(states, tick++);
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            std::copy(std::begin(states[slot].axes), std::end(states[slot].axes), std::begin(rawAxes[slot]));
            slotCalibration[slot].Apply(states[slot]);
        }
        processor.ProcessCycle(0.01, table, kJoystickSlots - 1);
        benchmark::DoNotOptimize(rawAxes);
        benchmark::DoNotOptimize(Block::LoadDouble(block, Block::kPitchOutput));
        benchmark::ClobberMemory();
    }
}

void BM_CycleFloor(benchmark::State& bench)
{
    ControlProcessor processor;
    void* block = AttachToPrivateBlock(bench, processor);
    if (block == nullptr) {
        return;
    }
    JoystickState states[kJoystickSlots];
    const JoystickState* table[kJoystickSlots];
    FillStates(states, table);
    // Which buttons each published byte carries (the reversers share one).
    struct PublishedByte {
        std::size_t offset = 0;
        int count = 0;
        int slot[2] = {};
        int index[2] = {};
    };
    PublishedByte bytes[CockpitButtonTable::kPublishedByteCount];
    int filled = 0;
    for (int b = 0; b < kCockpitButtonCount; ++b) {
        if (!CockpitButtonTable::FirstToPublish(b)) {
            continue;
        }
        PublishedByte& byte = bytes[filled++];
        byte.offset = CockpitButtonTable::kRows[b].published;
        for (int other = b; other < kCockpitButtonCount && byte.count < 2; ++other) {
            if (CockpitButtonTable::kRows[other].published == byte.offset) {
                byte.slot[byte.count] = other % 4;
                byte.index[byte.count] = other % 32;
                ++byte.count;
            }
        }
    }

    std::int32_t tick = 0;
    for (auto _ : bench) {
        MoveInputs(states, tick++);
        for (int i = 0; i < 6; ++i) {
            const double value = ReadInput(*table[i % 4], i) * (1.0 / 10000.0);
            Block::StoreDouble(block, kOutputs[i], value);
        }
        for (const PublishedByte& byte : bytes) {
            std::uint8_t pressed = 0;
            for (int i = 0; i < byte.count; ++i) {
                pressed |= table[byte.slot[i]]->buttons[byte.index[i]];
            }
            static_cast<std::uint8_t*>(block)[byte.offset] = pressed;
        }
        benchmark::DoNotOptimize(Block::LoadDouble(block, Block::kPitchOutput));
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(BM_ProcessCycle);
BENCHMARK(BM_ProcessCycleCalibrated);
BENCHMARK(BM_CycleFloor);
BENCHMARK_MAIN();

// The cost of one processing cycle with four joysticks and every control
// assigned; the same with a response curve on each of the six axes, with
// every axis of the four joysticks calibrated, and with both, the last side by
// side with the plain cycle as a ratio; and the least such a cycle can cost: the same
// six inputs and button states read from the same records and stored at the
// block's offsets, with no tuning, no filter and no checks. Runs against the block
// named by TAVELIN_SHM_NAME and refuses to run without it, so it never writes
// into a simulator's live block.
#include "mapping/Assignments.h"
#include "mapping/Calibration.h"
#include "mapping/CockpitAxes.h"
#include "mapping/CockpitButtons.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/JoystickState.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>

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

// The assignment and tuning both processing benchmarks use; false when
// there is no private block to run on.
bool PrepareCycle(benchmark::State& bench, ControlProcessor& processor, JoystickState (&states)[kJoystickSlots],
    const JoystickState* (&table)[kJoystickSlots], SwitchPanelState& panel)
{
    void* block = AttachToPrivateBlock(bench, processor);
    if (block == nullptr) {
        return false;
    }
    FillStates(states, table);
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
    return true;
}

// A response curve on each of the six axes, the longest kinds first.
void SetSixCurves(ControlProcessor& processor)
{
    const char* curves[] = { "POINTS -1 -1 -0.8 -0.5 -0.6 -0.3 -0.4 -0.15 -0.2 -0.05 0 0 0.2 0.05 0.4 0.15 0.6 "
                             "0.3 0.8 0.5 1 1",
        "POINTS -1 -1 -0.5 -0.3 0 0 0.5 0.3 1 1 INVERT", "EXPO 0.35", "EXPO 0.6 INVERT", "LINEAR INVERT",
        "POINTS -1 0 0.2 0.9 1 1" };
    for (int i = 0; i < 6; ++i) {
        ResponseCurve curve;
        ResponseCurve::Parse(curves[i], curve);
        processor.SetResponseCurve(CockpitAxisTable::IndexOf(kAxes[i]), curve);
    }
}

// Every axis of the four joysticks calibrated, centred axes and axes resting
// at an end in turn, as the joystick set does it after polling: the records'
// raw axes kept, their axes calibrated in place.
struct CalibratedStates {
    CalibratedStates()
    {
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            JoystickCalibration joystick;
            for (int axis = 0; axis < kCalibratedAxes; ++axis) {
                joystick.axes[axis] = axis % 2 == 0 ? AxisCalibration::Centred(-9500 + axis, 120, 9700 - axis)
                                                    : AxisCalibration::RestsAtEnd(-9800, 9900 - axis);
            }
            prepared[slot] = PreparedCalibration(joystick);
        }
    }
    // The records as the devices deliver them (their raw axes put back, then
    // moved), then calibrated.
    void Move(JoystickState (&states)[kJoystickSlots], std::int32_t tick)
    {
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            std::copy(std::begin(raw[slot]), std::end(raw[slot]), std::begin(states[slot].axes));
        }
        MoveInputs(states, tick);
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            std::copy(std::begin(states[slot].axes), std::end(states[slot].axes), std::begin(raw[slot]));
            prepared[slot].Apply(states[slot]);
        }
    }
    PreparedCalibration prepared[kJoystickSlots];
    std::int32_t raw[kJoystickSlots][kCalibratedAxes] = {};
};

void RunCycles(benchmark::State& bench, bool curves, bool calibrated)
{
    ControlProcessor processor;
    JoystickState states[kJoystickSlots];
    const JoystickState* table[kJoystickSlots];
    SwitchPanelState panel {};
    if (!PrepareCycle(bench, processor, states, table, panel)) {
        return;
    }
    if (curves) {
        SetSixCurves(processor);
    }
    void* block = processor.GetBlock();
    CalibratedStates calibration;
    std::int32_t tick = 0;
    for (auto _ : bench) {
        if (calibrated) {
            calibration.Move(states, tick++);
        } else {
            MoveInputs(states, tick++);
        }
        processor.ProcessCycle(0.01, table, kJoystickSlots - 1);
        benchmark::DoNotOptimize(Block::LoadDouble(block, Block::kPitchOutput));
        benchmark::ClobberMemory();
    }
}

void BM_ProcessCycle(benchmark::State& bench)
{
    RunCycles(bench, false, false);
}

void BM_ProcessCycleSixCurves(benchmark::State& bench)
{
    RunCycles(bench, true, false);
}

void BM_ProcessCycleCalibrated(benchmark::State& bench)
{
    RunCycles(bench, false, true);
}

// The plain cycle and the one with six curves and every axis calibrated,
// side by side in one run, in alternating batches so that both meet the same
// machine: the cost of the two as a ratio (goal: at most 1.3).
void BM_FeelAgainstPlainCycle(benchmark::State& bench)
{
    ControlProcessor plain;
    ControlProcessor curved;
    JoystickState plainStates[kJoystickSlots];
    JoystickState curvedStates[kJoystickSlots];
    const JoystickState* plainTable[kJoystickSlots];
    const JoystickState* curvedTable[kJoystickSlots];
    SwitchPanelState plainPanel {};
    SwitchPanelState curvedPanel {};
    // Both on the one private block: only the cycle's own work is measured.
    if (!PrepareCycle(bench, plain, plainStates, plainTable, plainPanel)
        || !PrepareCycle(bench, curved, curvedStates, curvedTable, curvedPanel)) {
        return;
    }
    SetSixCurves(curved);

    constexpr int kBatch = 256;
    using Clock = std::chrono::steady_clock;
    Clock::duration plainTime {};
    Clock::duration curvedTime {};
    std::int64_t batches = 0;
    std::int32_t tick = 0;
    CalibratedStates calibration;
    const auto batch = [&tick, &calibration](ControlProcessor& processor, JoystickState(&states)[kJoystickSlots],
                           const JoystickState*(&table)[kJoystickSlots], bool calibrated) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
            if (calibrated) {
                calibration.Move(states, tick + i);
            } else {
                MoveInputs(states, tick + i);
            }
            processor.ProcessCycle(0.01, table, kJoystickSlots - 1);
            benchmark::ClobberMemory();
        }
        return Clock::now() - start;
    };
    for (auto _ : bench) {
        plainTime += batch(plain, plainStates, plainTable, false);
        curvedTime += batch(curved, curvedStates, curvedTable, true);
        tick += kBatch;
        ++batches;
    }
    const double cycles = static_cast<double>(batches) * kBatch;
    const double plainNs = std::chrono::duration<double, std::nano>(plainTime).count() / cycles;
    const double curvedNs = std::chrono::duration<double, std::nano>(curvedTime).count() / cycles;
    bench.counters["plain_ns"] = plainNs;
    bench.counters["curves_and_calibration_ns"] = curvedNs;
    bench.counters["ratio"] = plainNs > 0.0 ? curvedNs / plainNs : 0.0;
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
BENCHMARK(BM_ProcessCycleSixCurves);
BENCHMARK(BM_ProcessCycleCalibrated);
BENCHMARK(BM_FeelAgainstPlainCycle);
BENCHMARK(BM_CycleFloor);
BENCHMARK_MAIN();

// The cost of one processing cycle with four joysticks and every control
// assigned. Runs against the block named by TAVELIN_SHM_NAME and refuses to
// run without it, so it never writes into a simulator's live block.
#include "mapping/Assignments.h"
#include "mapping/ControlProcessor.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/JoystickState.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

namespace {

namespace Block = GenericSimBlock;

constexpr std::uint32_t kIds[kJoystickSlots] = { 0x10001u, 0x20002u, 0x30003u, 0x40004u };

void BM_ProcessCycle(benchmark::State& bench)
{
    const char* name = std::getenv("TAVELIN_SHM_NAME");
    if (name == nullptr || name[0] == '\0') {
        bench.SkipWithError("set TAVELIN_SHM_NAME to a private block name");
        return;
    }
    ControlProcessor processor;
    if (!processor.Attach()) {
        bench.SkipWithError(processor.GetErrorText());
        return;
    }
    void* block = processor.GetBlock();

    JoystickState states[kJoystickSlots] = {};
    const JoystickState* table[kJoystickSlots] = {};
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        states[slot].joystickId = kIds[slot];
        states[slot].axisMinimum = -10000;
        states[slot].axisMaximum = 10000;
        states[slot].axisSpan = 20000;
        states[slot].buttonCount = 32;
        table[slot] = &states[slot];
    }
    const std::int32_t axes[] = { AxisPitch, AxisRoll, AxisPedals, AxisTiller, AxisThrLvrL, AxisThrLvrR };
    for (int i = 0; i < 6; ++i) {
        processor.SetAxisAssignment(axes[i], i % 4, static_cast<std::int32_t>(kIds[i % 4]), i);
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
    SwitchPanelState panel {};
    processor.SetSwitchPanel(&panel);

    std::int32_t tick = 0;
    for (auto _ : bench) {
        // Inputs move every cycle, as a held stick would.
        for (int slot = 0; slot < kJoystickSlots; ++slot) {
            states[slot].axes[slot] = (tick * 37 + slot * 5000) % 20001 - 10000;
            states[slot].buttons[tick & 31] = static_cast<std::uint8_t>(tick & 1);
            states[slot].pov[0] = static_cast<std::uint32_t>((tick & 7) * 45);
        }
        ++tick;
        processor.ProcessCycle(0.01, table, kJoystickSlots - 1);
        benchmark::DoNotOptimize(Block::LoadDouble(block, Block::kPitchOutput));
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK(BM_ProcessCycle);
BENCHMARK_MAIN();

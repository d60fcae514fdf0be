// One polling cycle of the main window with four moving joysticks, through the
// recording view: polling, processing, readouts, widgets and indicators.
#include "app/TavelinDlg.h"
#include "config/DefaultConfiguration.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "support/Paths.h"
#include "tests/fakes/RecordingDialogView.h"
#include "tests/fakes/ScriptedDirectInput.h"

#include <benchmark/benchmark.h>

#include <chrono>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

void BM_WindowCycleFourMovingJoysticks(benchmark::State& run)
{
    // A private block and configuration folder, whoever starts the program.
    const std::string id
        = std::to_string(static_cast<long>(std::chrono::steady_clock::now().time_since_epoch().count()));
    if (std::getenv("TAVELIN_SHM_NAME") == nullptr) {
        setenv("TAVELIN_SHM_NAME", ("TavelinBenchWindow" + id).c_str(), 1);
    }
    const auto home = std::filesystem::temp_directory_path() / ("tavelin_bench_window_" + id);
    setenv("XDG_CONFIG_HOME", home.string().c_str(), 1);
    // The whole default set-up: a partial file would fill the output with its notes.
    Paths::CreateFolders(Paths::ConfigurationFolder());
    KQ_ErrorReport written;
    if (!DefaultConfiguration::Write(Paths::ConfigurationFile(0).c_str(), written)) {
        run.SkipWithError(written.GetErrorText());
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
        return;
    }

    {
        KQ_P_0001_02_Shm simulator;
        ScriptedDirectInput input;
        for (std::uint32_t i = 0; i < 4; ++i) {
            input.AddJoystick(0x1000 + i, "Bench Stick", 16);
        }
        input.SetLogging(false);
        auto dialog = std::make_unique<CTavelinDlg>();
        RecordingDialogView view(CTavelinDlg::Template(), *dialog);
        view.Open();
        if (!dialog->StartedOk()) {
            run.SkipWithError("the window did not start");
        }
        view.Tick();

        std::int32_t step = 0;
        for (auto _ : run) {
            step = (step + 37) % 20000;
            for (int j = 0; j < 4; ++j) {
                auto& state = input.joystick(j).state;
                state.lX = step - 10000;
                state.lY = 10000 - step;
                state.lZ = (step * 3) % 20000 - 10000;
                state.lRz = (step * 7) % 20000 - 10000;
                state.rglSlider[0] = step - 10000;
                state.rglSlider[1] = (step * 5) % 20000 - 10000;
                state.rgdwPOV[0] = static_cast<std::uint32_t>((step / 1000) % 8) * 4500;
                state.rgbButtons[(step / 100) % 16] ^= 0x80;
            }
            view.Tick();
        }
        run.counters["window calls/cycle"]
            = benchmark::Counter(static_cast<double>(view.CallCount()), benchmark::Counter::kAvgIterations);
        view.Click(kIdOk);
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

} // namespace

BENCHMARK(BM_WindowCycleFourMovingJoysticks);
BENCHMARK_MAIN();

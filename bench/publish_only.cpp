// The yardstick for a hidden window: a Qt program that runs the joysticks,
// the processing and the block every 8 ms exactly as the program does, with
// no window at all. scripts/test-extras/cpu.sh runs it until it is stopped.
#include "devices/JoystickSet.h"
#include "support/Paths.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    JoystickSet joysticks;
    SwitchPanelState switchPanel = {};
    if (!joysticks.Initialise(Paths::ConfigurationFile(0).c_str())) {
        std::fprintf(stderr, "publish_only: %s\n", joysticks.GetLastErrorText());
        return 1;
    }
    joysticks.SetSwitchPanel(&switchPanel);
    if (!joysticks.CreateDevices(nullptr, nullptr)) {
        std::fprintf(stderr, "publish_only: %s\n", joysticks.GetLastErrorText());
    }
    joysticks.PublishSlotNames();

    JoystickState states[kJoystickSlots] = {};
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        joysticks.PollAll(0.01);
        const int count = joysticks.GetJoystickCount();
        for (int slot = 0; slot < count && slot < kJoystickSlots; ++slot) {
            joysticks.GetSlotState(slot, states[slot]);
        }
    });
    timer.start(8);
    return QApplication::exec();
}

// The yardstick for a hidden window: a Qt program that runs the joysticks,
// the processing and the block every 8 ms exactly as the program does, with
// no window at all. scripts/test-extras/cpu.sh runs it until it stops it with
// a termination signal, upon which it lets the block go as the program does.
// With --net [--net-domain N] [--net-peer HOST]... [--net-keys DIR] it also
// publishes through the network link, calling its seam in the tick as the
// program does (the network CPU figure compares it with and without).
#include "devices/JoystickSet.h"
#include "net/NetworkLink.h"
#include "net/NetworkSettings.h"
#include "support/CloseRequest.h"
#include "support/Paths.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    NetworkOverrides overrides;
    for (int i = 1; i < argc; ++i) {
        std::string problem;
        if (TakeNetworkOption(argc, argv, i, overrides, problem) != NetworkOption::Taken) {
            std::fprintf(stderr, "publish_only: bad option %s %s\n", argv[i], problem.c_str());
            return 64;
        }
    }
    NetworkSettings network;
    overrides.ApplyTo(network);
    // A signal ends the loop, so the set detaches and the last one out removes the block.
    std::unique_ptr<CloseRequestSource> closeRequests = CloseRequestSource::Create();
    std::unique_ptr<QSocketNotifier> closeNotifier;
    if (closeRequests && closeRequests->Descriptor() >= 0) {
        closeNotifier = std::make_unique<QSocketNotifier>(closeRequests->Descriptor(), QSocketNotifier::Read);
        QObject::connect(closeNotifier.get(), &QSocketNotifier::activated, [&closeRequests] {
            if (closeRequests->TakeRequests()) {
                QApplication::quit();
            }
        });
    }
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
    NetworkLink link;
    if (!link.Start(network)) {
        std::fprintf(stderr, "publish_only: %s\n", link.FullErrorText().c_str());
        return 3;
    }

    JoystickState states[kJoystickSlots] = {};
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        joysticks.PollAll(0.01);
        link.OnTickPublished(joysticks.GetBlock());
        const int count = joysticks.GetJoystickCount();
        for (int slot = 0; slot < count && slot < kJoystickSlots; ++slot) {
            joysticks.GetSlotState(slot, states[slot]);
        }
    });
    timer.start(8);
    return QApplication::exec();
}

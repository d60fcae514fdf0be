// The yardstick for the program's CPU figure: a Qt program that runs nothing
// but the same 8 ms precise timer.
#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    unsigned long ticks = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(8);
    return QApplication::exec() == 0 && ticks > 0 ? 0 : 1;
}

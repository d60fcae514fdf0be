// Shared by the Qt tests: one offscreen QApplication for the whole run,
// bounded waits that keep the event loop turning, and finding the windows
// and controls the renderer made.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>

namespace qttest {

inline QApplication& Application()
{
    static int argc = 1;
    static char name[] = "tavelin_qt_tests";
    static char* argv[] = { name, nullptr };
    static QApplication* application = [] {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        }
        auto* made = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        return made;
    }();
    return *application;
}

// Turns the event loop until `done` holds or `timeoutMs` has passed.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    return QTest::qWaitFor(done, timeoutMs);
}

// A visible top-level dialog by its object name ("template131", "messageBox").
template <typename T = QDialog> T* FindWindow(const QString& objectName)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == objectName && widget->isVisible()) {
            if (auto* typed = qobject_cast<T*>(widget)) {
                return typed;
            }
        }
    }
    return nullptr;
}

template <typename T> T* Control(QWidget* window, int id)
{
    return window != nullptr ? window->findChild<T*>(QStringLiteral("id%1").arg(id)) : nullptr;
}

// Runs `script` from inside whatever modal loop is running next, once the
// window called `objectName` is up (or gives up after the timeout).
inline void WhenShown(const QString& objectName, std::function<void(QDialog*)> script, int timeoutMs = 5000)
{
    QTimer::singleShot(0, [objectName, script = std::move(script), timeoutMs] {
        QDialog* window = nullptr;
        WaitFor([&] { return (window = FindWindow(objectName)) != nullptr; }, timeoutMs);
        script(window);
    });
}

} // namespace qttest

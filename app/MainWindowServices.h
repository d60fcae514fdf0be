// What a part of the main window may ask of the window it belongs to: to run
// a child dialog, whether a way out has been taken, and which joystick set is
// in use. The window owns the child dialogs' count and the set's lifetime, so
// a part asks again after every child dialog instead of keeping either.
#pragma once

#include "ui/DialogView.h"

class JoystickSet;

class MainWindowServices {
public:
    // Runs a child dialog modally and returns its result. A way out taken
    // meanwhile ends the window once the last child dialog has closed.
    virtual int RunChild(const DialogTemplate& dialogTemplate, DialogPresenter& presenter) = 0;
    // A way out has been taken (or a close request has come from outside):
    // nothing may be stored, loaded or asked any more.
    virtual bool Closing() const = 0;
    // The joystick set in use, or null.
    virtual JoystickSet* JoySticks() const = 0;

protected:
    MainWindowServices() = default;
    ~MainWindowServices() = default;
    MainWindowServices(const MainWindowServices&) = delete;
    MainWindowServices& operator=(const MainWindowServices&) = delete;
};

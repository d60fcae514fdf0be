// What to try when no joystick is attached: the one line the warning list
// (and with it standard error) gets beside the box that says so. A note of
// Tavelin's own, never a described warning.
#pragma once

#include <string>

// `virtualFile`: the file TAVELIN_VIRTUAL_JOYSTICKS names, or null;
// `demoFile`: the demo's virtual joystick file, or "" when there is none.
std::string NoJoystickAdvice(const char* virtualFile, const std::string& demoFile);

// The [JOYSTICK_INSTANCES] section of a joystick configuration file: for each
// control whose joystick has an identical twin attached, which of them it is
// ("THRUST_LVR_2\t= serial:D4E5F6"). Written after every other section and
// only when it holds a line, so a set-up without identical joysticks saves
// as it always did; a file without it reads as it always did.
#pragma once

#include <string>

class CIniRead;
class ControlProcessor;

// The section's lines, header first, or "" when no control needs one.
std::string JoystickInstancesSection(const ControlProcessor& processor);

// Gives every control the instance the file names for it (none without the
// section). A value holding "[" or longer than 200 characters is ignored
// with a note naming the file and the key.
void ReadJoystickInstances(CIniRead& reader, ControlProcessor& processor);

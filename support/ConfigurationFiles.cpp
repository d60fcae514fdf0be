// The four configuration file names, shared by both platforms.
#include "support/Paths.h"

namespace Paths {

std::string ConfigurationFile(int index)
{
    static const char* const names[] = { "Joystick.ini", "Joystick1.ini", "Joystick2.ini", "Joystick3.ini" };
    const char* name = index >= 0 && index <= 3 ? names[index] : names[0];
    return ConfigurationFolder() + Separator() + name;
}

} // namespace Paths

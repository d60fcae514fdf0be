#include "app/JoystickAdvice.h"

std::string NoJoystickAdvice(const char* virtualFile, const std::string& demoFile)
{
    if (virtualFile != nullptr && virtualFile[0] != '\0') {
        return std::string("No joystick in ") + virtualFile
            + ", the virtual joystick file TAVELIN_VIRTUAL_JOYSTICKS names: give it a [JOYSTICK_0] section, or unset "
              "the variable to use the joysticks plugged in.";
    }
#ifdef _WIN32
    const std::string without = demoFile.empty()
        ? "set TAVELIN_VIRTUAL_JOYSTICKS to a virtual joystick file and start it again"
        : "set TAVELIN_VIRTUAL_JOYSTICKS=" + demoFile + " and start it again";
    const char* check = "Game Controllers (joy.cpl) shows whether Windows sees it";
#else
    const std::string without = demoFile.empty()
        ? "set TAVELIN_VIRTUAL_JOYSTICKS to a virtual joystick file (tavelin(1) describes it)"
        : "TAVELIN_VIRTUAL_JOYSTICKS=" + demoFile + " tavelin";
    const char* check = "tavelin --list-devices says whether it can be read";
#endif
    return "No joystick found. To try Tavelin without one: " + without + ". For a joystick that is plugged in, " + check
        + ".";
}

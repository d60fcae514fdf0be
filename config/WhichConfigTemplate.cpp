// Template 132, the configuration choice dialog.
#include "ui/DialogTemplate.h"

#include <array>

namespace {

constexpr std::array<ControlTemplate, 9> kChoiceControls = { {
    { 1, ControlKind::PushButton, "OK", { 312, 158, 50, 14 }, FlagDefault, 0,
        "Uses the configuration file chosen on the left." },
    { 2, ControlKind::PushButton, "Cancel", { 312, 176, 50, 14 }, FlagNone, 0,
        "Closes this window without reading or saving anything." },
    { 1000, ControlKind::PushButton, "Default", { 4, 4, 64, 16 }, FlagNone, 0,
        "Chooses the default configuration file, Joystick.ini." },
    { 1201, ControlKind::PushButton, "Alternate 1", { 4, 31, 64, 16 }, FlagNone, 0,
        "Chooses the first alternate configuration file, Joystick1.ini." },
    { 1202, ControlKind::PushButton, "Alternate  2", { 4, 58, 64, 16 }, FlagNone, 0,
        "Chooses the second alternate configuration file, Joystick2.ini." },
    { 1203, ControlKind::PushButton, "Alternate 3", { 4, 85, 64, 16 }, FlagNone, 0,
        "Chooses the third alternate configuration file, Joystick3.ini." },
    { 1096, ControlKind::Static, "", { 112, 4, 254, 110 }, FlagNone, 0,
        "What this choice does and which file each button stands for." },
    { 1098, ControlKind::Static, "", { 0, 126, 218, 26 }, FlagNone, 0, "The file chosen right now." },
    { 1103, ControlKind::Static, "", { 0, 160, 300, 36 }, FlagNone, 0,
        "What to look out for before this file is saved or read." },
} };

} // namespace

const DialogTemplate& ConfigChoiceDialogTemplate()
{
    static const DialogTemplate dialog { kConfigChoiceTemplateId, "Choose Configuration", 366, 202, kChoiceControls };
    return dialog;
}

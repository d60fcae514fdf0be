// Template 100, the About box.
#include "ui/DialogTemplate.h"

#include <array>

namespace {

constexpr std::array<ControlTemplate, 4> kAboutControls = { {
    { kNoControlId, ControlKind::Icon, "", { 11, 17, 20, 20 }, FlagNone, kApplicationIcon },
    { kNoControlId, ControlKind::Static, "Tavelin Version 1.0", { 40, 10, 119, 8 } },
    { kNoControlId, ControlKind::Static, "Joysticks into the simulator's cockpit controls", { 40, 25, 180, 8 } },
    { 1, ControlKind::PushButton, "OK", { 178, 7, 50, 14 }, FlagDefault, 0, "Closes this window." },
} };

} // namespace

const DialogTemplate& AboutDialogTemplate()
{
    static const DialogTemplate dialog { kAboutTemplateId, "About Tavelin", 235, 55, kAboutControls };
    return dialog;
}

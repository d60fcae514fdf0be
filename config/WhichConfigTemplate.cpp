// Template 132, the configuration choice dialog.
#include "ui/DialogTemplate.h"

#include <array>

namespace {

constexpr std::array<ControlTemplate, 9> kChoiceControls = { {
    { 1, ControlKind::PushButton, "OK", { 312, 158, 50, 14 }, FlagDefault },
    { 2, ControlKind::PushButton, "Cancel", { 312, 176, 50, 14 } },
    { 1000, ControlKind::PushButton, "Default", { 4, 4, 64, 16 } },
    { 1201, ControlKind::PushButton, "Alternate 1", { 4, 31, 64, 16 } },
    { 1202, ControlKind::PushButton, "Alternate  2", { 4, 58, 64, 16 } },
    { 1203, ControlKind::PushButton, "Alternate 3", { 4, 85, 64, 16 } },
    { 1096, ControlKind::Static, "", { 112, 4, 254, 110 } },
    { 1098, ControlKind::Static, "", { 0, 126, 218, 26 } },
    { 1103, ControlKind::Static, "", { 0, 160, 300, 36 } },
} };

} // namespace

const DialogTemplate& ConfigChoiceDialogTemplate()
{
    static const DialogTemplate dialog { kConfigChoiceTemplateId, "Choose Configuration", 366, 202, kChoiceControls };
    return dialog;
}

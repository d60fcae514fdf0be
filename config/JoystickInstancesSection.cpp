// Writing and reading [JOYSTICK_INSTANCES]. Keys are the controls' joystick
// keys, in the order the file's blocks have them: the axes of
// [FLIGHT_CONTROLS], the buttons, the eye view of [ACCESS]. The thrust-lever
// filter block drives nothing and is never resolved, so it has no instance.
#include "config/JoystickInstancesSection.h"

#include "config/Ini_File_Reader.h"
#include "devices/InstanceKeys.h"
#include "mapping/CockpitAxes.h"
#include "mapping/CockpitButtons.h"
#include "mapping/ControlProcessor.h"

#include <cstring>
#include <functional>

namespace Axes = CockpitAxisTable;
namespace Buttons = CockpitButtonTable;

namespace {

constexpr const char* kSection = "JOYSTICK_INSTANCES";
constexpr int kLineLength = 512;

struct InstanceControl {
    const char* key;
    bool isButton;
    std::int32_t control;
    std::int32_t slot;
    std::int32_t joystickId;
};

// Every control that can have an instance, in the file's order.
void ForEachControl(const ControlProcessor& processor, const std::function<void(const InstanceControl&)>& visit)
{
    const auto axesOf = [&](const char* section) {
        for (int index = 0; index < Axes::kRowCount; ++index) {
            const CockpitAxisRow& row = Axes::kRows[index];
            if (row.axis != kNoCockpitAxis && std::strcmp(row.keys.section, section) == 0) {
                const AxisAssignment record = processor.GetAxisRecord(index);
                visit({ row.keys.joystick, false, row.axis, record.slot, record.joystickId });
            }
        }
    };
    axesOf(kFlightControlsSection);
    for (const std::int32_t button : Buttons::kFileOrder) {
        const ButtonAssignment record = processor.GetButtonRecord(button);
        visit({ Buttons::kRows[button].joystickKey, true, button, record.slot, record.joystickId });
    }
    axesOf(kAccessSection);
}

std::string FileNameOf(const char* path)
{
    const std::string text = path != nullptr ? path : "";
    const std::size_t cut = text.find_last_of("/\\");
    return cut == std::string::npos ? text : text.substr(cut + 1);
}

} // namespace

std::string JoystickInstancesSection(const ControlProcessor& processor)
{
    std::string lines;
    ForEachControl(processor, [&](const InstanceControl& control) {
        // Only for a record that names the joystick its slot holds (the
        // block is shared: anyone may have written either).
        const char* instance = processor.GetSlotInstance(control.slot);
        const bool slotsJoystick
            = static_cast<std::uint32_t>(control.joystickId) == processor.GetSlotJoystickId(control.slot);
        if (slotsJoystick && processor.SlotHasTwin(control.slot) && IsStorableInstanceKey(instance)) {
            lines += std::string(control.key) + "\t= " + instance + "\n";
        }
    });
    return lines.empty() ? lines : "[JOYSTICK_INSTANCES]\n" + lines;
}

void ReadJoystickInstances(CIniRead& reader, ControlProcessor& processor)
{
    processor.ClearControlInstances();
    const std::string fileName = FileNameOf(processor.GetCurrentConfigurationPath());
    ForEachControl(processor, [&](const InstanceControl& control) {
        char value[kLineLength] = {};
        InitDataRequest request;
        request.section = kSection;
        request.key = control.key;
        request.destination = value;
        request.length = kLineLength;
        if (!reader.GetInitData(request)) {
            return;
        }
        const std::string instance(TrimInstanceText(value));
        if (instance.empty()) {
            return;
        }
        if (!IsStorableInstanceKey(instance)) {
            const char* why = instance.find('[') != std::string::npos ? "it holds \"[\""
                : instance.size() > kMaxInstanceKeyLength             ? "it is longer than 200 characters"
                                                                      : "it holds a control character";
            const std::string note = fileName + ": [JOYSTICK_INSTANCES] " + control.key + " ignored: " + why;
            processor.AddNote(note.c_str(), NoteKind::GivesWay);
            return;
        }
        processor.SetControlInstance(control.isButton, control.control, instance.c_str());
    });
}

// Template 102, the main window: four slot columns on the left (their readouts
// are added at run time, 30 lines of 20 px: a 454 DU box holds them from about
// 1.33 px per vertical unit, the usual dialog font gives 1.6), the assignment
// area on the right.
#include "app/TavelinDlgIds.h"
#include "mapping/ControlProcessor.h"
#include "ui/DialogTemplate.h"

#include <array>
#include <cstddef>

namespace {

using namespace MainIds;

constexpr std::int32_t kLampOff = static_cast<std::int32_t>(LampPicture::Off);
constexpr std::int32_t kLampWarning = static_cast<std::int32_t>(LampPicture::Warning);

constexpr std::size_t kControlsPerAxisRow = 8;
constexpr std::size_t kMainControlCount = 114 + kControlsPerAxisRow * kAxisRowCount + kCockpitButtonCount + 1;

struct Builder {
    std::array<ControlTemplate, kMainControlCount> controls {};
    std::size_t count = 0;

    constexpr void Add(std::int32_t id, ControlKind kind, const char* text, DialogRect rect,
        std::uint32_t flags = FlagNone, std::int32_t image = 0)
    {
        controls[count++] = ControlTemplate { id, kind, text, rect, flags, image, nullptr };
    }
    // Gives the control added last its tooltip.
    constexpr void Tip(const char* tip) { controls[count - 1].toolTip = tip; }
    constexpr void Label(const char* text, DialogRect rect) { Add(kNoControlId, ControlKind::Static, text, rect); }
};

// Button rows in the order they appear: two columns of the fifteen buttons.
constexpr int kLeftColumn[8] = { 1, 2, 0, 3, 4, 7, 8, 9 };
constexpr int kRightColumn[7] = { 10, 5, 6, 12, 13, 14, 15 };

constexpr void AddButtonRow(Builder& b, const ButtonRowIds& row, std::int32_t x, std::int32_t y)
{
    const bool ptt = row.button == 0;
    b.Add(row.lamp, ControlKind::Lamp, "", { x, y + 2, 8, 8 }, FlagNone, kLampOff);
    b.Tip("Lights while the switch is on in the simulator's block.");
    b.Label(row.label, { x + 10, y + 2, 50, 8 });
    // Wide enough for an axis entry ("SL2-90"); the slot combo needs only one digit.
    b.Add(row.buttonCombo, ControlKind::ComboBox, "", { x + 62, y, 44, 12 }, ptt ? FlagDisabled : FlagNone);
    b.Tip("Which button (1 to 31) of the chosen joystick works this switch, NA for none, or one of its axes: "
          "X+50 presses while X is at 5000 or above (half way from centre to its end) and lets go at 4500, "
          "X-50 the same below -5000.");
    b.Add(row.joystickCombo, ControlKind::ComboBox, "", { x + 108, y, 22, 12 }, ptt ? FlagDisabled : FlagNone);
    b.Tip("Which joystick slot (0 to 3) this switch's button belongs to; rest the pointer on a number in the list "
          "to see its device.");
    b.Add(ButtonDetectId(row.button), ControlKind::PushButton, kDetectText, { x + 132, y, 24, 12 },
        ptt ? FlagDisabled : FlagNone);
    b.Tip("Click, then press the button you want here, or push an axis (a toe brake) past half its travel: the "
          "first newly pressed button or pushed axis is taken, and Escape or five seconds without one cancel.");
}

constexpr void AddTopAndSlots(Builder& b)
{
    b.Add(kOk, ControlKind::PushButton, "OK", { 715, 2, 50, 14 }, FlagDefault);
    b.Tip("Ends Tavelin: the joysticks are let go and the simulator keeps the set-up it has.");
    b.Add(kCancel, ControlKind::PushButton, "Cancel", { 650, 2, 50, 14 }, FlagHidden | FlagDisabled);
    b.Tip("Ends Tavelin like OK.");
    b.Add(kEnumerate, ControlKind::PushButton, "Enumerate", { 434, 4, 4, 4 }, FlagHidden | FlagDisabled);
    b.Tip("Looks for attached joysticks again.");
    b.Add(kBanner, ControlKind::Static, "", { 4, 4, 420, 8 });
    b.Tip("What the program has to say about its state.");

    const char* const groupNames[4] = { "JoyStick 0", "JoyStick 1", "JoyStick 2", "JoyStick 3" };
    for (int slot = 0; slot < 4; ++slot) {
        const std::int32_t x = 4 + 108 * slot;
        b.Add(kDeviceName[slot], ControlKind::Static, "Device Not Found", { x, 16, 104, 18 });
        b.Tip("The name of the joystick in this slot, as its driver gives it.");
        b.Add(kSlotGroup[slot], ControlKind::GroupBox, groupNames[slot], { x, 36, 104, 454 });
        b.Tip("The raw inputs of the joystick in this slot: axes from -10000 to 10000, hats in degrees, buttons by "
              "number; a value that moves is highlighted.");
    }
}

constexpr void AddEyePointAndAxisRows(Builder& b)
{
    b.Add(kAssignmentGroup, ControlKind::GroupBox, "Flight Controls Assignments", { 440, 20, 330, 470 });
    b.Tip("Which joystick input drives each cockpit control, and what each control sends now.");

    b.Label("Visual POV", { 448, 32, 40, 8 });
    b.Label("POV ID", { 492, 32, 26, 8 });
    b.Add(kEyePovCombo, ControlKind::ComboBox, "", { 520, 30, 34, 12 });
    b.Tip("Which hat (1 to 3) of the chosen joystick turns the eye point; NA for none.");
    b.Label("Joy Stick", { 560, 32, 30, 8 });
    b.Add(kEyeJoystickCombo, ControlKind::ComboBox, "", { 592, 30, 30, 12 });
    b.Tip("Which joystick slot (0 to 3) the eye-point hat belongs to; rest the pointer on a number in the list to see "
          "its device.");
    b.Add(kEyeDetect, ControlKind::PushButton, kDetectText, { 624, 30, 24, 12 });
    b.Tip("Click, then push the hat you want for the eye point: the first hat that leaves centre is taken, and Escape "
          "or five seconds without one cancel.");
    b.Add(kEyeText, ControlKind::Static, "Look", { 652, 32, 112, 8 });
    b.Tip("Where the eye point looks, after the hat's direction in degrees.");

    b.Add(kSideStickLamp, ControlKind::Lamp, "", { 448, 46, 8, 8 }, FlagNone, kLampOff);
    b.Tip("Lights while pitch, roll or the pedals are moved beyond their dead band.");
    b.Label("Side Stick input detected", { 460, 46, 100, 8 });

    b.Label("Control title", { 448, 60, 70, 8 });
    b.Label("Sensitivity", { 628, 60, 40, 8 });
    b.Label("Control Id", { 670, 60, 36, 8 });
    b.Label("Joy Stick", { 710, 60, 30, 8 });
    for (int i = 0; i < kAxisRowCount; ++i) {
        const AxisRowIds& row = kAxisRows[i];
        const std::int32_t y = 72 + 14 * i;
        const std::uint32_t hidden = SensitivityHidden(i) ? FlagHidden : FlagNone;
        b.Label(row.label, { 448, y + 2, 70, 8 });
        // Signed outputs (stick axes) mark their centre.
        const bool signedOutput = CockpitAxisTable::InWindowRow(i).barLow < 0.0;
        b.Add(row.progress, ControlKind::ProgressBar, "", { 520, y + 1, 60, 10 },
            signedOutput ? FlagCentreMark : FlagNone);
        b.Tip(signedOutput ? "The control's output as the simulator receives it, in degrees across the bar's range; "
                             "the mark in the middle is 0."
                           : "The thrust lever's output as the simulator receives it, in percent of its travel.");
        b.Add(row.valueText, ControlKind::Static, "", { 582, y + 2, 44, 8 });
        b.Tip(signedOutput ? "The control's output as the simulator receives it, in degrees."
                           : "The thrust lever's output as the simulator receives it, in percent of its travel.");
        b.Add(row.sensitivityText, ControlKind::Static, "", { 628, y + 2, 28, 8 }, hidden);
        b.Tip("The sensitivity: degrees of output per step of the joystick's input.");
        b.Add(row.spin, ControlKind::Spin, "", { 657, y, 10, 12 }, hidden);
        b.Tip("Raises or lowers the sensitivity by 0.0001 degrees per input step for each click.");
        b.Add(row.inputCombo, ControlKind::ComboBox, "", { 670, y, 36, 12 });
        b.Tip("Which input of the chosen joystick drives this control: an axis, or its velocity (v) or "
              "acceleration (a).");
        b.Add(row.joystickCombo, ControlKind::ComboBox, "", { 710, y, 28, 12 });
        b.Tip("Which joystick slot (0 to 3) drives this control; rest the pointer on a number in the list to see its "
              "device.");
        b.Add(AxisDetectId(i), ControlKind::PushButton, kDetectText, { 740, y, 24, 12 });
        b.Tip("Click, then move the axis you want here: the first input that moves by a fifth of its range is "
              "taken, and Escape or five seconds without one cancel.");
    }
}

constexpr void AddButtonRowsAndFiles(Builder& b)
{
    b.Add(kSetDeadBands, ControlKind::PushButton, "Set Dead Bands", { 448, 160, 72, 14 });
    b.Tip("Opens the dead bands of pitch, roll, pedals and tiller, in degrees.");
    b.Add(kThrustLeverData, ControlKind::PushButton, "Thrust Lever Data", { 524, 160, 72, 14 });
    b.Tip("Opens the thrust levers' sensitivity, offset in percent and filter time constant in seconds.");
    b.Add(kNetwork, ControlKind::PushButton, "Network...", { 600, 160, 50, 14 });
    b.Tip("Sends the controls to a simulator on another computer too: on or off, the domain, peers and the key "
          "folder.");
    b.Add(kNetworkState, ControlKind::Static, "off", { 654, 163, 112, 8 });
    b.Tip("The network link: off, starting, no receiver (nobody answers yet), receiving with the round trip, or "
          "lost (the receiver stopped answering; the controls still go out).");

    b.Label("Joy Stick Buttons", { 448, 180, 80, 8 });
    for (std::int32_t x : { 448, 608 }) {
        b.Label("Button", { x + 62, 190, 44, 8 });
        b.Label("Joy Stick", { x + 108, 190, 30, 8 });
    }
    for (int i = 0; i < 8; ++i) {
        AddButtonRow(b, kButtonRows[kLeftColumn[i]], 448, 200 + 14 * i);
    }
    for (int i = 0; i < 7; ++i) {
        AddButtonRow(b, kButtonRows[kRightColumn[i]], 608, 200 + 14 * i);
    }

    b.Label("Joy Stick Switches", { 448, 318, 80, 8 });
    AddButtonRow(b, kButtonRows[11], 448, 330);
    b.Add(kGearMessage, ControlKind::Static, "", { 608, 332, 156, 8 });
    b.Tip("The gear lever's position as the simulator receives it.");
    AddButtonRow(b, kButtonRows[16], 448, 344);
    b.Add(kParkBrakeMessage, ControlKind::Static, "", { 608, 346, 156, 8 });
    b.Tip("The parking brake's state as the simulator receives it.");

    b.Add(kSaveAssignments, ControlKind::PushButton, "Save Assignments", { 448, 362, 80, 14 }, FlagDisabled);
    b.Tip("Saves the assignments and tuning values to the configuration file you choose.");
    b.Add(kReadAlternate, ControlKind::PushButton, "Read Alternate", { 532, 362, 80, 14 });
    b.Tip("Reads another configuration file into the simulator's block.");
    b.Add(kControlPanel, ControlKind::PushButton, "Control Panel", { 616, 362, 80, 14 });
    b.Tip("Opens the system's joystick settings, to calibrate or test the joysticks.");
    b.Add(kRecord, ControlKind::PushButton, "Record", { 700, 362, 52, 14 });
    b.Tip("Records what the four joysticks do, with the time of every change, into a new file in the "
          "configuration folder that the warning list names, until you click again.");
    b.Add(kNoControlId, ControlKind::GroupBox, "Current Set Up : ", { 448, 380, 304, 36 });
    b.Add(kCurrentFile, ControlKind::Static, "", { 454, 392, 292, 8 });
    b.Tip("The configuration file the set-up was last read from or saved to.");
    b.Add(kSetUpName, ControlKind::Static, "", { 454, 404, 292, 8 });
    b.Tip("The name of the current set-up, as its configuration file gives it.");

    b.Add(kWarningLamp, ControlKind::Lamp, "", { 448, 424, 8, 8 }, FlagNone, kLampWarning);
    b.Tip("Red while the warning list beside it holds a warning: a configured joystick that matched none attached, "
          "or a thrust-lever entry the file lacks.");
    b.Add(kWarningList, ControlKind::ListView, "", { 460, 422, 292, 64 }, FlagSunken);
    b.Tip("Warnings of the last configuration read and of joysticks that matched no assignment, and notes on what "
          "a file lacked and on joysticks that came or went.");
}

constexpr Builder BuildMain()
{
    Builder b;
    AddTopAndSlots(b);
    AddEyePointAndAxisRows(b);
    AddButtonRowsAndFiles(b);
    return b;
}

constexpr Builder kMain = BuildMain();
static_assert(kMain.count == kMainControlCount, "every control of the main window has its place");

} // namespace

const DialogTemplate& MainDialogTemplate()
{
    static const DialogTemplate dialog { kMainTemplateId, "Tavelin", 775, 494,
        std::span<const ControlTemplate>(kMain.controls.data(), kMain.count) };
    return dialog;
}

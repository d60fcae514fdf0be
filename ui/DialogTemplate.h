// Dialog templates as data: what a renderer needs to build a dialog window
// (caption, size and every control with its id, kind, text, rectangle and
// flags). Positions are dialog units; a renderer converts them with its font's
// base units (about 1.5 px across and 1.6 px down at the usual dialog font).
#pragma once

#include <cstdint>
#include <span>

// Control id of texts that are never addressed (labels, group boxes).
inline constexpr int kNoControlId = -1;

enum class ControlKind : std::int32_t {
    PushButton,
    GroupBox,
    Static, // a text; "sunken" draws it in a sunken frame
    Edit, // a text box; the readouts' value boxes
    ComboBox, // drop-down with an edit field: entries inserted at positions, edit text set directly
    ProgressBar, // range 0..100
    Spin, // up-down arrows without buddy or range; only its deltas are used
    Lamp, // an 11 by 11 pixel picture: LampPicture in `image`
    ListView, // report style, columns added at run time
    Icon, // the application icon (`image` = icon resource)
    CheckBox, // a box with its text; a click is a command, DialogView::SetCheck / IsChecked its state
    CurveGraph, // a response curve on -1..1 by -1..1 (ui/CurveGraph.h); its points can be dragged
};

enum ControlFlag : std::uint32_t {
    FlagNone = 0,
    FlagHidden = 1u << 0,
    FlagDisabled = 1u << 1,
    FlagDefault = 1u << 2, // the default push button (Enter)
    FlagHorizontalSpin = 1u << 3, // left/right arrows instead of up/down
    FlagSunken = 1u << 4, // sunken client edge with a border
    FlagCentreMark = 1u << 5, // a progress bar of a signed value: its middle is marked
    FlagEditable = 1u << 6, // a text box the operator types into (otherwise it only shows)
};

struct DialogRect {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height; // for a combo box: the closed height, the list drops below it
};

struct ControlTemplate {
    std::int32_t id;
    ControlKind kind;
    const char* text; // caption, label or initial text; "" for none
    DialogRect rect;
    std::uint32_t flags = FlagNone;
    std::int32_t image = 0; // lamp picture (129, 130, 133) or icon resource (128)
    // One sentence saying what the control does and in what unit, shown when
    // the pointer rests on it; null or "" for none (labels).
    const char* toolTip = nullptr;
};

struct DialogTemplate {
    std::int32_t id;
    const char* caption;
    std::int32_t width; // dialog units
    std::int32_t height; // dialog units
    std::span<const ControlTemplate> controls;

    // The control with this id, or null (the first one when ids repeat).
    const ControlTemplate* Find(std::int32_t controlId) const
    {
        for (const auto& control : controls) {
            if (control.id == controlId) {
                return &control;
            }
        }
        return nullptr;
    }
};

// Template ids.
inline constexpr std::int32_t kAboutTemplateId = 100;
inline constexpr std::int32_t kMainTemplateId = 102;
inline constexpr std::int32_t kDeadBandTemplateId = 131;
inline constexpr std::int32_t kConfigChoiceTemplateId = 132;
inline constexpr std::int32_t kThrustLeverTemplateId = 134;
inline constexpr std::int32_t kNetworkTemplateId = 140;
inline constexpr std::int32_t kResponseCurvesTemplateId = 141;
inline constexpr std::int32_t kCalibrateTemplateId = 150;

// Resources the templates refer to.
inline constexpr std::int32_t kApplicationIcon = 128;

// The templates (defined beside their presenters).
const DialogTemplate& AboutDialogTemplate(); // 100
const DialogTemplate& MainDialogTemplate(); // 102
const DialogTemplate& DeadBandDialogTemplate(); // 131
const DialogTemplate& ConfigChoiceDialogTemplate(); // 132
const DialogTemplate& ThrustLeverDialogTemplate(); // 134
const DialogTemplate& NetworkDialogTemplate(); // 140
const DialogTemplate& ResponseCurvesDialogTemplate(); // 141
const DialogTemplate& CalibrateDialogTemplate(); // 150

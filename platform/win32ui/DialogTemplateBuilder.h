// Turns a dialog template of ui/ into the in-memory extended dialog template
// (DLGTEMPLATEEX and its items) that DialogBoxIndirectParam runs, so the
// dialog manager places every control in dialog units of the dialog font.
#pragma once

#include "ui/DialogTemplate.h"

#include <cstdint>
#include <string>
#include <vector>

// How a template's control becomes a window: its class, styles and caption.
struct NativeControlStyle {
    const wchar_t* className;
    std::uint32_t style;
    std::uint32_t exStyle;
    std::int32_t height; // in dialog units; a combo box's includes its dropped list
};

NativeControlStyle StyleFor(const ControlTemplate& control);

// The memory block for DialogBoxIndirectParam: DWORD-aligned, as the dialog
// manager requires. `topLevel` gives the window a minimise box and a task bar button.
std::vector<std::uint32_t> BuildDialogTemplate(const DialogTemplate& dialogTemplate, bool topLevel);

// The dialog font (point size and face) a template is built with when the
// system names none.
inline constexpr std::uint16_t kDialogFontPoints = 8;
inline constexpr const wchar_t* kDialogFontFace = L"MS Shell Dlg";

// The system's message font at the screen's DPI, as a dialog template names
// it, so that a larger desktop font scales every dialog evenly.
struct DialogFontChoice {
    std::uint16_t points = kDialogFontPoints;
    std::wstring face = kDialogFontFace;
};
DialogFontChoice SystemDialogFont();

// Dialog units to pixels, computed from the dialog font the way the Windows
// dialog manager does, so a template keeps its proportions at any font size.
#pragma once

#include "ui/DialogTemplate.h"

#include <QFont>
#include <QRect>

struct DialogBaseUnits {
    int cx = 6; // average character width
    int cy = 13; // character height

    static DialogBaseUnits FromFont(const QFont& font);

    int ToPixelsX(int units) const;
    int ToPixelsY(int units) const;
    // Maps the rectangle's edges (not its size), as MapDialogRect does, so
    // that adjacent controls stay adjacent after rounding.
    QRect ToPixels(const DialogRect& rect) const;
};

// The font every dialog of the program uses.
QFont DialogFont();

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

    // Pixel sizes drawn for the usual dialog font (base units 6 x 13), such
    // as the readouts', scaled to this font.
    static constexpr int kDesignCx = 6;
    static constexpr int kDesignCy = 13;
    int ScaleDesignX(int pixels) const;
    int ScaleDesignY(int pixels) const;
};

// The font every dialog of the program uses: the desktop's.
QFont DialogFont();

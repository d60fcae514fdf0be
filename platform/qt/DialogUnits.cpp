#include "platform/qt/DialogUnits.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QString>

namespace {

// MulDiv: rounded to the nearest, halves away from zero.
int MulDiv(int value, int multiplier, int divisor)
{
    const long long product = static_cast<long long>(value) * multiplier;
    const long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor : -((-product + half) / divisor));
}

} // namespace

DialogBaseUnits DialogBaseUnits::FromFont(const QFont& font)
{
    // The same sample and rounding as the dialog manager: the width of the
    // 52 letters, halved per letter and rounded.
    const QFontMetrics metrics(font);
    const int letters
        = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogBaseUnits units;
    units.cx = (letters / 26 + 1) / 2;
    units.cy = metrics.height();
    if (units.cx < 1) {
        units.cx = 1;
    }
    if (units.cy < 1) {
        units.cy = 1;
    }
    return units;
}

int DialogBaseUnits::ToPixelsX(int units) const
{
    return MulDiv(units, cx, 4);
}

int DialogBaseUnits::ToPixelsY(int units) const
{
    return MulDiv(units, cy, 8);
}

QRect DialogBaseUnits::ToPixels(const DialogRect& rect) const
{
    const int left = ToPixelsX(rect.x);
    const int top = ToPixelsY(rect.y);
    const int right = ToPixelsX(rect.x + rect.width);
    const int bottom = ToPixelsY(rect.y + rect.height);
    return QRect(left, top, right - left, bottom - top);
}

QFont DialogFont()
{
    // The desktop's own font, so that a larger desktop font scales the whole
    // layout evenly; dialog units follow from it.
    return QGuiApplication::font();
}

int DialogBaseUnits::ScaleDesignX(int pixels) const
{
    return MulDiv(pixels, cx, kDesignCx);
}

int DialogBaseUnits::ScaleDesignY(int pixels) const
{
    return MulDiv(pixels, cy, kDesignCy);
}

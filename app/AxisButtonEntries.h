// The Button combo's entries after the button numbers: an axis of the row's
// joystick and a threshold in percent of the way from centre to the end
// ("X+50": pressed at 5000 or above, released at 4500 or below; "Ry-75":
// pressed at -7500 or below). A threshold that no entry has (from a file) is
// shown in the same form.
#pragma once

#include "mapping/AxisButtons.h"
#include "support/TextFunctions.h"

#include <cstdint>

namespace AxisButtonEntries {

inline constexpr int kFirst = 32; // after "NA" and "1" to "31"
inline constexpr std::int32_t kLevels[] = { 2500, 5000, 7500, 9000 };
inline constexpr int kLevelCount = 4;
inline constexpr int kPerAxis = 2 * kLevelCount; // the levels above, then below
inline constexpr int kCount = AxisButtons::kAxisCount * kPerAxis;
inline constexpr const char* kAxisNames[AxisButtons::kAxisCount] = { "X", "Y", "Z", "Rx", "Ry", "Rz", "SL1", "SL2" };

constexpr bool IsEntry(int position)
{
    return position >= kFirst && position < kFirst + kCount;
}

constexpr AxisButtonSetting SettingAt(int position)
{
    if (!IsEntry(position)) {
        return AxisButtonSetting {};
    }
    const int index = position - kFirst;
    const int within = index % kPerAxis;
    const std::int32_t level = kLevels[within % kLevelCount];
    return AxisButtonSetting { index / kPerAxis, within < kLevelCount ? level : -level };
}

// The entry of this setting, or -1 when it has none.
constexpr int PositionOf(const AxisButtonSetting& setting)
{
    for (int position = kFirst; position < kFirst + kCount; ++position) {
        const AxisButtonSetting entry = SettingAt(position);
        if (entry.axis == setting.axis && entry.threshold == setting.threshold) {
            return position;
        }
    }
    return -1;
}

// "X+50", "SL2-12.5": the axis, the side and the percentage without trailing zeros.
inline void Text(const AxisButtonSetting& setting, char* out, int size)
{
    if (setting.axis < 0 || setting.axis >= AxisButtons::kAxisCount) {
        FormatBounded(out, size, "?");
        return;
    }
    const std::int32_t magnitude = setting.threshold < 0 ? -setting.threshold : setting.threshold;
    const char sign = setting.threshold < 0 ? '-' : '+';
    const int hundredths = static_cast<int>(magnitude % 100);
    if (hundredths == 0) {
        FormatBounded(out, size, "%s%c%d", kAxisNames[setting.axis], sign, static_cast<int>(magnitude / 100));
    } else if (hundredths % 10 == 0) {
        FormatBounded(
            out, size, "%s%c%d.%d", kAxisNames[setting.axis], sign, static_cast<int>(magnitude / 100), hundredths / 10);
    } else {
        FormatBounded(
            out, size, "%s%c%d.%02d", kAxisNames[setting.axis], sign, static_cast<int>(magnitude / 100), hundredths);
    }
}

} // namespace AxisButtonEntries

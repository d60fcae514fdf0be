// The physical limits of the control outputs. No finite, sane input gives a
// value beyond them, so one beyond is garbage (typically a tuning value
// another program wrote into the block, or a damaged network sample) and is
// never published, kept in a filter or written into a remote block:
// - pitch, roll, pedals, tiller: degrees of deflection. Half a turn is far
//   beyond every control's travel (the window's bars end at 15 to 25 degrees)
//   yet clips no sensitivity a person would choose;
// - thrust levers: percent of travel. The gates never give more than 100, and
//   a negative sensitivity or offset reaches below 0 by at most one whole travel;
// - a thrust-lever filter's time constant: a lag of more than a minute is no
//   filter but a frozen lever, and is refused like a negative one.
#pragma once

namespace OutputLimits {

inline constexpr double kStickLimitDegrees = 180.0;
inline constexpr double kThrustLeverLowest = -100.0;
inline constexpr double kThrustLeverHighest = 100.0;
inline constexpr double kLongestThrustLeverTimeConstant = 60.0;

} // namespace OutputLimits

// The calibration formula and the table's lookup. Integer arithmetic only, so
// a value reads the same on every platform and every tick.
#include "mapping/Calibration.h"

#include <algorithm>
#include <tuple>

namespace {

constexpr bool InRange(std::int32_t value)
{
    return value >= -kAxisLimit && value <= kAxisLimit;
}

// round(numerator / denominator) for numerator >= 0 and denominator > 0,
// halves up. Within -10000..10000 every term stays below 2^31 (at most
// 2 * 20000 * 20000 + 20000), so 32 bits do, and divide faster than 64.
constexpr std::int32_t RoundedQuotient(std::int32_t numerator, std::int32_t denominator)
{
    return (2 * numerator + denominator) / (2 * denominator);
}

} // namespace

bool AxisCalibration::Valid() const
{
    switch (kind) {
    case Kind::None:
        return true;
    case Kind::Centred:
        return InRange(minimum) && InRange(centre) && InRange(maximum) && minimum < centre && centre < maximum;
    case Kind::RestsAtEnd:
        return InRange(minimum) && InRange(maximum) && minimum < maximum;
    }
    return false;
}

std::int32_t AxisCalibration::Apply(std::int32_t raw) const
{
    if (kind == Kind::None || !Valid()) {
        return raw;
    }
    if (raw <= minimum) {
        return -kAxisLimit;
    }
    if (raw >= maximum) {
        return kAxisLimit;
    }
    if (kind == Kind::RestsAtEnd) {
        return -kAxisLimit + RoundedQuotient((raw - minimum) * 2 * kAxisLimit, maximum - minimum);
    }
    if (raw >= centre) {
        return RoundedQuotient((raw - centre) * kAxisLimit, maximum - centre);
    }
    return -RoundedQuotient((centre - raw) * kAxisLimit, centre - minimum);
}

bool JoystickCalibration::Calibrates() const
{
    return std::any_of(
        axes.begin(), axes.end(), [](const AxisCalibration& axis) { return axis.kind != AxisCalibration::Kind::None; });
}

void JoystickCalibration::Apply(JoystickState& state) const
{
    for (int axis = 0; axis < kCalibratedAxes; ++axis) {
        state.axes[axis] = axes[axis].Apply(state.axes[axis]);
    }
}

namespace {

// floor(2^64 / divisor) + 1: with it, (numerator * inverse) >> 64 is
// numerator / divisor, rounded down, for every 32-bit numerator and every
// divisor from 2 up.
constexpr std::uint64_t InverseOf(std::uint32_t divisor)
{
    return ~std::uint64_t { 0 } / divisor + 1;
}

// The product's high half; g++ and mingw-w64 have a 128-bit integer for it.
__extension__ typedef unsigned __int128 Product;

constexpr std::int32_t Quotient(std::uint32_t numerator, std::uint64_t inverse)
{
    return static_cast<std::int32_t>((static_cast<Product>(numerator) * inverse) >> 64);
}

} // namespace

PreparedCalibration::PreparedCalibration(const JoystickCalibration& calibration)
{
    for (int i = 0; i < kCalibratedAxes; ++i) {
        const AxisCalibration& source = calibration.axes[i];
        if (source.kind == AxisCalibration::Kind::None || !source.Valid()) {
            continue;
        }
        Axis& axis = m_axes[i];
        axis.kind = source.kind;
        axis.minimum = source.minimum;
        axis.centre = source.kind == AxisCalibration::Kind::Centred ? source.centre : source.minimum;
        axis.maximum = source.maximum;
        // The spans of AxisCalibration::Apply, doubled for its rounding.
        if (source.kind == AxisCalibration::Kind::Centred) {
            axis.lowDivisor = 2u * static_cast<std::uint32_t>(source.centre - source.minimum);
            axis.highDivisor = 2u * static_cast<std::uint32_t>(source.maximum - source.centre);
        } else {
            axis.lowDivisor = axis.highDivisor = 2u * static_cast<std::uint32_t>(source.maximum - source.minimum);
        }
        axis.lowInverse = InverseOf(axis.lowDivisor);
        axis.highInverse = InverseOf(axis.highDivisor);
    }
}

std::int32_t PreparedCalibration::Apply(int index, std::int32_t raw) const
{
    const Axis& axis = m_axes[index];
    if (axis.kind == AxisCalibration::Kind::None) {
        return raw;
    }
    if (raw <= axis.minimum) {
        return -kAxisLimit;
    }
    if (raw >= axis.maximum) {
        return kAxisLimit;
    }
    // round(n / (d / 2)) = floor((2n + d / 2) / d) with d the doubled span, as RoundedQuotient.
    if (axis.kind == AxisCalibration::Kind::RestsAtEnd) {
        const auto numerator = static_cast<std::uint32_t>(2 * (raw - axis.minimum) * 2 * kAxisLimit);
        return -kAxisLimit + Quotient(numerator + axis.highDivisor / 2, axis.highInverse);
    }
    if (raw >= axis.centre) {
        const auto numerator = static_cast<std::uint32_t>(2 * (raw - axis.centre) * kAxisLimit);
        return Quotient(numerator + axis.highDivisor / 2, axis.highInverse);
    }
    const auto numerator = static_cast<std::uint32_t>(2 * (axis.centre - raw) * kAxisLimit);
    return -Quotient(numerator + axis.lowDivisor / 2, axis.lowInverse);
}

void PreparedCalibration::Apply(JoystickState& state) const
{
    for (int axis = 0; axis < kCalibratedAxes; ++axis) {
        if (m_axes[axis].kind == AxisCalibration::Kind::None) {
            continue;
        }
        const std::int32_t raw = state.axes[axis];
        if (!m_known[axis] || m_lastRaw[axis] != raw) {
            m_lastRaw[axis] = raw;
            m_lastValue[axis] = Apply(axis, raw);
            m_known[axis] = true;
        }
        state.axes[axis] = m_lastValue[axis];
    }
}

const JoystickCalibration* CalibrationTable::Find(std::int32_t joystickId, const std::string& instance) const
{
    const JoystickCalibration* plain = nullptr;
    for (const JoystickCalibration& entry : m_entries) {
        if (entry.joystickId != joystickId) {
            continue;
        }
        if (!instance.empty() && entry.instance == instance) {
            return &entry;
        }
        if (entry.instance.empty()) {
            plain = &entry;
        }
    }
    return plain;
}

JoystickCalibration& CalibrationTable::Entry(std::int32_t joystickId, const std::string& instance)
{
    const auto key = [](const JoystickCalibration& entry) { return std::tie(entry.joystickId, entry.instance); };
    JoystickCalibration wanted;
    wanted.joystickId = joystickId;
    wanted.instance = instance;
    const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), wanted,
        [&key](const JoystickCalibration& a, const JoystickCalibration& b) { return key(a) < key(b); });
    if (at != m_entries.end() && key(*at) == key(wanted)) {
        return *at;
    }
    return *m_entries.insert(at, std::move(wanted));
}

void CalibrationTable::DropEmpty()
{
    std::erase_if(m_entries, [](const JoystickCalibration& entry) {
        return !entry.Calibrates()
            && std::all_of(
                entry.unreadText.begin(), entry.unreadText.end(), [](const std::string& text) { return text.empty(); });
    });
}

// Calibration of a joystick's eight position axes: for each axis the raw
// minimum, centre and maximum (or minimum and maximum for an axis that rests
// at one end), mapped piecewise linearly onto -10000..10000 and clamped. The
// table holds what Calibration.ini says, per joystick ID; the joystick set
// applies it to every reading before anything else sees it.
#pragma once

#include "mapping/JoystickState.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kCalibratedAxes = 8;
inline constexpr std::int32_t kAxisLimit = 10000;

// The axes' keys, in JoystickState::axes order (the names of the virtual joystick file).
inline constexpr const char* kCalibrationAxisKeys[kCalibratedAxes] = { "X", "Y", "Z", "RX", "RY", "RZ", "SL1", "SL2" };

struct AxisCalibration {
    enum class Kind : std::uint8_t {
        None, // the value goes on as read
        Centred, // minimum -> -10000, centre -> 0, maximum -> 10000
        RestsAtEnd, // minimum -> -10000, maximum -> 10000 in one straight line
    };
    Kind kind = Kind::None;
    std::int32_t minimum = -kAxisLimit;
    std::int32_t centre = 0;
    std::int32_t maximum = kAxisLimit;

    static AxisCalibration Centred(std::int32_t minimum, std::int32_t centre, std::int32_t maximum)
    {
        return { Kind::Centred, minimum, centre, maximum };
    }
    static AxisCalibration RestsAtEnd(std::int32_t minimum, std::int32_t maximum)
    {
        return { Kind::RestsAtEnd, minimum, 0, maximum };
    }

    // Every number in -10000..10000 and strictly increasing (the centre
    // counts only for a centred axis); None is always valid.
    bool Valid() const;
    // The calibrated value, rounded to the nearest unit (halves away from
    // the centre). An invalid calibration gives the value unchanged.
    std::int32_t Apply(std::int32_t raw) const;

    bool operator==(const AxisCalibration&) const = default;
};

// One joystick's axes. `instance` is empty for an entry that holds for every
// joystick with the ID; a per-instance entry (one of several identical
// joysticks) is looked up before it.
struct JoystickCalibration {
    std::int32_t joystickId = 0;
    std::string instance;
    std::array<AxisCalibration, kCalibratedAxes> axes {};
    // The text of a value that could not be read, per axis: kept so that a
    // save writes it back as it was unless the axis is calibrated anew.
    std::array<std::string, kCalibratedAxes> unreadText {};

    bool Calibrates() const;
    // Calibrates the eight axes of `state` in place.
    void Apply(JoystickState& state) const;

    bool operator==(const JoystickCalibration&) const = default;
};

// One joystick's calibration made ready for the tick: the same values as
// JoystickCalibration::Apply gives, bit for bit, with each division replaced
// by a multiplication by its divisor's precomputed inverse (exact for every
// numerator the axes can give). Axes that are not calibrated, or whose
// calibration is not valid, are left as they are.
class PreparedCalibration {
public:
    PreparedCalibration() = default;
    explicit PreparedCalibration(const JoystickCalibration& calibration);

    // The record's eight axes in place. An axis that reads what it read last
    // time gives what it gave then: most axes rest most of the time.
    void Apply(JoystickState& state) const;
    std::int32_t Apply(int axis, std::int32_t raw) const;

private:
    struct Axis {
        AxisCalibration::Kind kind = AxisCalibration::Kind::None;
        std::int32_t minimum = 0;
        std::int32_t centre = 0;
        std::int32_t maximum = 0;
        // Below and above the centre (or along the whole travel): twice the
        // divisor, and the inverse of twice the divisor.
        std::uint32_t lowDivisor = 1;
        std::uint32_t highDivisor = 1;
        std::uint64_t lowInverse = 0;
        std::uint64_t highInverse = 0;
    };
    std::array<Axis, kCalibratedAxes> m_axes {};
    // The last raw value of each axis and what it gave (m_known: there is one).
    mutable std::array<std::int32_t, kCalibratedAxes> m_lastRaw {};
    mutable std::array<std::int32_t, kCalibratedAxes> m_lastValue {};
    mutable std::array<bool, kCalibratedAxes> m_known {};
};

class CalibrationTable {
public:
    // The entry for a joystick: the one of its instance when there is one,
    // else the one of its ID; null when neither is held.
    const JoystickCalibration* Find(std::int32_t joystickId, const std::string& instance = {}) const;
    // The entry for (ID, instance), made empty if it is not held yet.
    JoystickCalibration& Entry(std::int32_t joystickId, const std::string& instance = {});
    // Drops entries that neither calibrate an axis nor keep an unread value.
    void DropEmpty();

    const std::vector<JoystickCalibration>& Entries() const { return m_entries; }
    bool Empty() const { return m_entries.empty(); }
    bool operator==(const CalibrationTable&) const = default;

private:
    // In ID order, the plain entry of an ID before its instances.
    std::vector<JoystickCalibration> m_entries;
};

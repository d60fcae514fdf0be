// The one description of the cockpit axes: for each axis block of the joystick
// configuration file, its keys, its record and tuning values in the block, how
// the cycle processes it and where the main window shows it. The processing,
// the configuration files and the window all read this table.
#pragma once

#include "mapping/Assignments.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/StepOrder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>

// How the cycle turns the row's input into its output.
enum class AxisKind : std::uint8_t {
    NoOutput, // loaded and saved only
    StickAxis, // input * sensitivity, filtered, less the dead band
    ThrustLever, // percent of travel with detents, filtered, published when its flag is set
    PovHat, // the eye view: a POV hat read into the switch panel
};

enum class AxisFilter : std::uint8_t {
    None,
    Fixed, // ControlProcessor::kPitchRollTimeConstant
    TimeConstantSetting, // starts as Fixed, then follows the ControlSettings value `filterTimeConstant`
};

// What the loader does when the row's joystick key is missing.
enum class WhenMissing : std::uint8_t {
    FailsLoad,
    Ignored, // record and tuning values stay as they are
    TakesDefaults, // the tuning values take `missingDefaults`, and `missingWarning` is queued
};

struct AxisFileKeys {
    const char* section;
    const char* joystick;
    const char* input;
    const char* firstTuning;
    const char* secondTuning;
    // The line of [RESPONSE_CURVES] (Tavelin's own section); null: never curved.
    const char* curve = nullptr;
};

struct CockpitAxisRow {
    // A CockpitAxis, or kNoCockpitAxis for the thrust-lever filter pair, which
    // has a record and two tuning values but drives nothing and is never resolved.
    std::int32_t axis = 0;
    const char* name = ""; // the display name of the warnings

    // The configuration file.
    AxisFileKeys keys {};
    WhenMissing whenMissing = WhenMissing::Ignored;
    double missingDefaults[2] = {};
    const char* missingWarning = nullptr;

    // The block: AxisAssignment record, the two ControlSettings values (0: the
    // row has none, the file shows 0.0) and the output.
    std::size_t record = 0;
    std::size_t first = 0;
    std::size_t second = 0;
    double secondOnAttach = 0.0; // what every attach writes into `second`
    std::size_t output = 0;

    // The processing.
    AxisKind kind = AxisKind::NoOutput;
    AxisFilter filter = AxisFilter::None;
    std::size_t filterTimeConstant = 0;
    int publishFlag = -1; // ControlProcessor's publish flag that gates the output
    int cycleStep = -1; // position in the cycle
    bool lightsSideStickLamp = false; // deflection past the dead band lights the side-stick lamp

    // The main window: the row of the axis panel and the bar's range.
    int windowRow = -1;
    double barLow = 0.0;
    double barHigh = 0.0;

    constexpr bool HasTuning() const { return first != 0; }
};

inline constexpr std::int32_t kNoCockpitAxis = 0;
inline constexpr const char* kFlightControlsSection = "FLIGHT_CONTROLS";
inline constexpr const char* kAccessSection = "ACCESS";

namespace CockpitAxisTable {
namespace B = GenericSimBlock;

// In file order: the seven blocks of [FLIGHT_CONTROLS], then [ACCESS]. The
// axes are resolved (and their warnings queued) in this order too.
inline constexpr CockpitAxisRow kRows[] = {
    {
        .axis = AxisPitch,
        .name = "PITCH",
        .keys = { kFlightControlsSection, "SIDE_STICK_P_CNTL", "PITCH_CNTL", "PITCH_SENS", "PITCH_DB", "PITCH_CURVE" },
        .whenMissing = WhenMissing::FailsLoad,
        .record = B::kPitchRecord,
        .first = B::kPitchSensitivity,
        .second = B::kPitchDeadBand,
        .secondOnAttach = 0.5,
        .output = B::kPitchOutput,
        .kind = AxisKind::StickAxis,
        .filter = AxisFilter::Fixed,
        .cycleStep = 0,
        .lightsSideStickLamp = true,
        .windowRow = 0,
        .barLow = -20.0,
        .barHigh = 20.0,
    },
    {
        .axis = AxisRoll,
        .name = "ROLL",
        .keys = { kFlightControlsSection, "SIDE_STICK_R_CNTL", "ROLL_CNTL", "ROLL_SENS", "ROLL_DB", "ROLL_CURVE" },
        .whenMissing = WhenMissing::FailsLoad,
        .record = B::kRollRecord,
        .first = B::kRollSensitivity,
        .second = B::kRollDeadBand,
        .secondOnAttach = 0.5,
        .output = B::kRollOutput,
        .kind = AxisKind::StickAxis,
        .filter = AxisFilter::Fixed,
        .cycleStep = 1,
        .lightsSideStickLamp = true,
        .windowRow = 1,
        .barLow = -25.0,
        .barHigh = 25.0,
    },
    {
        .axis = AxisPedals,
        .name = "PEDALS",
        .keys = { kFlightControlsSection, "COCKPIT_PEDAL", "PEDAL_CNTL", "PEDAL_SENS", "PEDAL_DB", "PEDAL_CURVE" },
        .record = B::kPedalsRecord,
        .first = B::kPedalsSensitivity,
        .second = B::kPedalsDeadBand,
        .secondOnAttach = 0.5,
        .output = B::kPedalsOutput,
        .kind = AxisKind::StickAxis,
        .cycleStep = 4,
        .lightsSideStickLamp = true,
        .windowRow = 2,
        .barLow = -25.0,
        .barHigh = 25.0,
    },
    {
        .axis = AxisTiller,
        .name = "TILLER",
        .keys = { kFlightControlsSection, "COCKPIT_TILLER", "TILLER_CNTL", "TILLER_SENS", "TILLER_DB", "TILLER_CURVE" },
        .record = B::kTillerRecord,
        .first = B::kTillerSensitivity,
        .second = B::kTillerDeadBand,
        .secondOnAttach = 0.5,
        .output = B::kTillerOutput,
        .kind = AxisKind::StickAxis,
        .cycleStep = 5,
        .windowRow = 3,
        .barLow = -15.0,
        .barHigh = 15.0,
    },
    {
        .axis = AxisThrLvrL,
        .name = "THR LVR L",
        .keys = { kFlightControlsSection, "THRUST_LVR_1", "TLA_L_CNTL", "TLA_L_SENS", "TLA_L_OFFSET", "TLA_L_CURVE" },
        .whenMissing = WhenMissing::TakesDefaults,
        .missingDefaults = { 1.0, 0.0 },
        .missingWarning = "No data for Left thrust lever, please setup control and re-save",
        .record = B::kThrLvrLRecord,
        .first = B::kThrLvrLSensitivity,
        .second = B::kThrLvrLOffset,
        .secondOnAttach = 0.0,
        .output = B::kThrLvrLOutput,
        .kind = AxisKind::ThrustLever,
        .filter = AxisFilter::TimeConstantSetting,
        .filterTimeConstant = B::kThrLvrLFilterTimeConstant,
        .publishFlag = 0,
        .cycleStep = 2,
        .windowRow = 4,
        .barLow = 0.0,
        .barHigh = 100.0,
    },
    {
        .axis = AxisThrLvrR,
        .name = "THR LVR R",
        .keys = { kFlightControlsSection, "THRUST_LVR_2", "TLA_R_CNTL", "TLA_R_SENS", "TLA_R_OFFSET", "TLA_R_CURVE" },
        .whenMissing = WhenMissing::TakesDefaults,
        .missingDefaults = { 1.0, 0.0 },
        .missingWarning = "No data for Right thrust lever, please setup control and re-save",
        .record = B::kThrLvrRRecord,
        .first = B::kThrLvrRSensitivity,
        .second = B::kThrLvrROffset,
        .secondOnAttach = 0.0,
        .output = B::kThrLvrROutput,
        .kind = AxisKind::ThrustLever,
        .filter = AxisFilter::TimeConstantSetting,
        .filterTimeConstant = B::kThrLvrRFilterTimeConstant,
        .publishFlag = 1,
        .cycleStep = 3,
        .windowRow = 5,
        .barLow = 0.0,
        .barHigh = 100.0,
    },
    {
        // The two thrust-lever filter time constants: first the right lever's,
        // then the left lever's.
        .axis = kNoCockpitAxis,
        .keys = { kFlightControlsSection, "THRUST_LVR", "TLA_CNTL", "TLA_1_TC", "TLA_2_TC" },
        .whenMissing = WhenMissing::TakesDefaults,
        .missingDefaults = { 0.0, 0.0 },
        .missingWarning = "No data for thrust lever filters, please setup thrust lvr control and re-save",
        .record = B::kThrustLeverFilterRecord,
        .first = B::kThrLvrRFilterTimeConstant,
        .second = B::kThrLvrLFilterTimeConstant,
        .secondOnAttach = 0.5,
    },
    {
        // Its input is a POV number; the file's two tuning lines are placeholders.
        .axis = AxisEyeView,
        .name = "EYE_VIEW",
        .keys = { kAccessSection, "CKPT_EYE_POV", "EYE_POV_CNTL", "N/A", "N/A" },
        .record = B::kEyeViewRecord,
        .kind = AxisKind::PovHat,
    },
};

inline constexpr int kRowCount = static_cast<int>(std::size(kRows));
inline constexpr int kCycleSteps = StepOrder::CountSteps(kRows, &CockpitAxisRow::cycleStep);
inline constexpr int kWindowRows = StepOrder::CountSteps(kRows, &CockpitAxisRow::windowRow);

// Row indexes in the order of the processing cycle, and by window row.
inline constexpr std::array<std::int32_t, kCycleSteps> kCycleOrder
    = StepOrder::Rows<kCycleSteps>(kRows, &CockpitAxisRow::cycleStep);
inline constexpr std::array<std::int32_t, kWindowRows> kWindowOrder
    = StepOrder::Rows<kWindowRows>(kRows, &CockpitAxisRow::windowRow);

// The row of a CockpitAxis value, or -1 for any other value.
constexpr int IndexOf(std::int32_t axis)
{
    if (axis == kNoCockpitAxis) {
        return -1;
    }
    for (int i = 0; i < kRowCount; ++i) {
        if (kRows[i].axis == axis) {
            return i;
        }
    }
    return -1;
}

constexpr const CockpitAxisRow* Find(std::int32_t axis)
{
    const int index = IndexOf(axis);
    return index < 0 ? nullptr : &kRows[index];
}

constexpr const CockpitAxisRow& InWindowRow(int windowRow)
{
    return kRows[kWindowOrder[static_cast<std::size_t>(windowRow)]];
}

constexpr bool IsControlSetting(std::size_t offset)
{
    return offset >= B::kControlSettings && offset < B::kControlSettings + 8 * B::kControlSettingsCount
        && (offset - B::kControlSettings) % 8 == 0;
}

constexpr bool IsConsistent()
{
    for (int i = 0; i < kRowCount; ++i) {
        const CockpitAxisRow& row = kRows[i];
        if (row.axis != kNoCockpitAxis && IndexOf(row.axis) != i) {
            return false; // an axis described twice
        }
        if (row.HasTuning() != (row.second != 0)
            || (row.HasTuning() && (!IsControlSetting(row.first) || !IsControlSetting(row.second)))) {
            return false;
        }
        const bool processed = row.kind == AxisKind::StickAxis || row.kind == AxisKind::ThrustLever;
        if (processed != (row.cycleStep >= 0) || processed != (row.output != 0) || (processed && !row.HasTuning())) {
            return false;
        }
        if ((row.filter == AxisFilter::TimeConstantSetting) != IsControlSetting(row.filterTimeConstant)
            || (row.filter != AxisFilter::None && !processed)) {
            return false;
        }
        if (processed != (row.keys.curve != nullptr)) {
            return false; // every processed axis, and only those, can have a response curve
        }
        if ((row.kind == AxisKind::ThrustLever) != (row.publishFlag >= 0) || row.publishFlag > 1) {
            return false;
        }
        if (row.windowRow >= 0 && (!processed || !(row.barLow < row.barHigh))) {
            return false;
        }
        if ((row.whenMissing == WhenMissing::TakesDefaults) != (row.missingWarning != nullptr)) {
            return false;
        }
        if (row.record == 0 || row.keys.section == nullptr || row.keys.joystick == nullptr || row.keys.input == nullptr
            || row.keys.firstTuning == nullptr || row.keys.secondTuning == nullptr) {
            return false;
        }
    }
    return true;
}

// No record, output or tuning value belongs to two rows.
constexpr bool OffsetsAreOwn()
{
    for (int i = 0; i < kRowCount; ++i) {
        for (int j = i + 1; j < kRowCount; ++j) {
            const CockpitAxisRow& a = kRows[i];
            const CockpitAxisRow& b = kRows[j];
            if (a.record == b.record || (a.output != 0 && a.output == b.output)) {
                return false;
            }
            for (const std::size_t setting : { b.first, b.second }) {
                if (a.HasTuning() && b.HasTuning() && (setting == a.first || setting == a.second)) {
                    return false;
                }
            }
        }
    }
    return true;
}

static_assert(OffsetsAreOwn());
static_assert(StepOrder::IsOrder(kRows, &CockpitAxisRow::cycleStep), "every processed axis has its own cycle step");
static_assert(StepOrder::IsOrder(kRows, &CockpitAxisRow::windowRow), "every window row shows one axis");
static_assert(IsConsistent());

} // namespace CockpitAxisTable

// CCalibrateDlg: calibrates the axes of one joystick slot at a time. The
// operator moves each axis to both ends and lets a centred axis go; the dialog
// captures the raw minimum, the centre it comes to rest at and the maximum,
// and shows them live with the raw value and what the axis would give. OK
// writes what was captured into the caller's table; Cancel leaves it alone.
#pragma once

#include "mapping/Calibration.h"
#include "mapping/JoystickState.h"
#include "ui/DialogView.h"

#include <array>
#include <cstdint>
#include <string>

class JoystickSet;

// Where the dialog reads the joysticks: raw, before any calibration.
class CalibrationInputs {
public:
    virtual ~CalibrationInputs() = default;
    // False for a slot without a joystick.
    virtual bool ReadRaw(int slot, std::int32_t (&axes)[kCalibratedAxes]) const = 0;
    virtual std::int32_t JoystickId(int slot) const = 0;
    // The slot's instance where another attached joystick has its ID (its
    // calibration is then its own), else "".
    virtual std::string Instance(int /*slot*/) const { return {}; }
    virtual const char* SlotName(int slot) const = 0;
};

// The joystick set in use as the dialog's inputs.
class JoystickSetInputs final : public CalibrationInputs {
public:
    explicit JoystickSetInputs(const JoystickSet& set)
        : m_set(set)
    {
    }
    bool ReadRaw(int slot, std::int32_t (&axes)[kCalibratedAxes]) const override;
    std::int32_t JoystickId(int slot) const override;
    std::string Instance(int slot) const override;
    const char* SlotName(int slot) const override;

private:
    const JoystickSet& m_set;
};

class CCalibrateDlg : public DialogPresenter {
public:
    static constexpr std::int32_t kSlotCombo = 1701;
    static constexpr std::int32_t kDeviceText = 1702;
    static constexpr std::int32_t kStartAgain = 1704;
    static constexpr std::int32_t kRowBase = 1710;
    enum Column { ColumnRaw, ColumnMinimum, ColumnCentre, ColumnMaximum, ColumnKind, ColumnOutput, ColumnState };
    static constexpr std::int32_t RowId(int axis, Column column) { return kRowBase + 10 * axis + column; }

    // The kind combo's entries, by position.
    enum KindChoice { ChoiceCentred, ChoiceRestsAtEnd, ChoiceAsRead };
    static constexpr const char* kKindTexts[3] = { "Centred", "Rests at an end", "Not calibrated" };

    static constexpr std::int32_t kSampleTimer = 1;
    static constexpr int kSamplePeriodMs = 24;
    // An axis counts as moved once its captured travel is this long.
    static constexpr std::int32_t kMinimumTravel = 2000;
    // Resting: within this of where it stopped, for this many samples (half a second).
    static constexpr std::int32_t kStillBand = 60;
    static constexpr int kStillSamples = 20;

    CCalibrateDlg() = default;

    static const DialogTemplate& Template() { return CalibrateDialogTemplate(); }

    // Both must outlive the dialog; the table is changed only by OK.
    void SetInputs(const CalibrationInputs& inputs) { m_inputs = &inputs; }
    void SetTable(CalibrationTable& table) { m_table = &table; }

    bool OnInitDialog() override;
    void OnCommand(std::int32_t id) override;
    void OnSelectionChange(std::int32_t id, int position) override;
    void OnTimer(std::int32_t id) override;
    void OnFrame(bool numbers) override;
    void OnOK() override;
    void OnDestroy() override;

    int SelectedSlot() const { return m_slot; }

private:
    struct AxisCapture {
        bool seen = false;
        std::int32_t minimum = 0;
        std::int32_t maximum = 0;
        std::int32_t centre = 0;
        std::int32_t rest = 0;
        int stillSamples = 0;
    };
    struct SlotCapture {
        std::array<AxisCapture, kCalibratedAxes> axes {};
        std::array<KindChoice, kCalibratedAxes> kinds {};
        std::int32_t raw[kCalibratedAxes] = {};
        bool present = false;
        bool kindsChosen = false;
    };
    enum class AxisState { MoveIt, LetItGo, Captured, Kept, AsRead };

    void Sample(int slot);
    void SelectSlot(int slot);
    void ChooseKinds(int slot);
    // What OK would store for the axis (Kind::None: leave it as it is), and why.
    AxisCalibration Captured(int slot, int axis, AxisState& state) const;
    void ShowSlot();
    void ShowRows(bool numbers);
    void SetText(std::int32_t id, const char* text);

    const CalibrationInputs* m_inputs = nullptr;
    CalibrationTable* m_table = nullptr;
    int m_slot = 0;
    std::array<SlotCapture, kJoystickSlots> m_captures {};
    // What each row's texts show now, so that only changes are sent.
    char m_shown[kCalibratedAxes][7][24] = {};
};

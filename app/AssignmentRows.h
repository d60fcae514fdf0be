// AssignmentRows: the right half of the main window, where the assignment is
// seen and changed: the six axis rows (bar, value and sensitivity texts,
// spin, Control Id and Joy Stick combos), the button and switch rows, the
// eye-point row, and assigning a row by moving its control (the Move
// buttons). A choice goes straight into the joystick set's model; the
// window's own view of the block gives the bars and texts.
#pragma once

#include "app/InputDetector.h"
#include "app/ScreenTexts.h"
#include "app/SlotStates.h"
#include "app/TavelinDlgIds.h"
#include "mapping/SetUp.h"
#include "ui/DialogView.h"

#include <climits>
#include <cstdint>

class JoystickSet;

class AssignmentRows {
public:
    // The Control Id combos' entries, in AxisInput order.
    static const char* const AxisInputNames[kAxisInputCount];

    AssignmentRows(const SlotStates& slots, const BlockSetUp& block);
    AssignmentRows(const AssignmentRows&) = delete;
    AssignmentRows& operator=(const AssignmentRows&) = delete;

    void Bind(DialogView* view) { m_view = view; }

    // Each fills its combos when `initial` and shows the model's values;
    // `model` is the joystick set, or null while it cannot be asked (then
    // the rows keep what they showed).
    void SetUpAxisPanels(const JoystickSet* model, bool initial);
    void SetUpButtonRows(const JoystickSet* model, bool initial);
    void SetUpEyePointRow(const JoystickSet* model, bool initial);
    // The bar at once; its texts too when `withTexts` (they are numbers,
    // paced as such). Nothing for an axis without a row, or without the block.
    void RefreshAxisPanel(std::int32_t axis, bool withTexts);
    void RefreshAxisPanels(bool withTexts);
    // The device behind each slot number, as the Joy Stick combos' tooltips.
    void ShowSlotNamesInCombos(const JoystickSet& set);

    // A combo of a row chose `position`; the model must be attached.
    void OnSelectionChange(JoystickSet& model, std::int32_t id, int position);
    // A sensitivity spin of an axis row; false for any other control.
    bool OnSpinDelta(std::int32_t id, int delta);

    // Assignment by moving: a Move button waits for its row's control (and
    // gives up after five seconds), then assigns it as its combos would. The
    // countdown is written only while the window is `visible`.
    bool IsDetectButton(std::int32_t id) const;
    void OnDetectButton(JoystickSet& model, std::int32_t id, std::int64_t nowMs, bool visible);
    void StepDetection(JoystickSet& model, int count, std::int64_t nowMs, bool visible);
    void EndDetection();
    bool Detecting() const { return m_detector.Active(); }

    void SendTexts();

private:
    struct AxisPanel {
        std::int32_t axis = 0;
        const MainIds::AxisRowIds* ids = nullptr;
        double step = 0.001;
        std::int32_t input = 0;
        std::int32_t slot = 0;
        double low = 0.0;
        double high = 0.0;
        int progressSent = INT_MIN;
        // The block values behind the row's texts: unchanged values are not formatted again.
        double outputShown = 0.0;
        double settingShown = 0.0;
        bool textsValid = false;
    };
    // The texts: one value text per axis row, then one sensitivity text per row.
    static constexpr int kTextCount = 2 * MainIds::kAxisRowCount;
    static int SensitivityText(int row) { return MainIds::kAxisRowCount + row; }

    AxisPanel* FindAxisPanel(std::int32_t axis);
    void ApplyAxisAssignment(JoystickSet& model, AxisPanel& panel);
    void ShowButtonChoice(const JoystickSet& model, std::int32_t button);
    void OnButtonNumberChange(JoystickSet& model, std::int32_t button, int position);
    void OnButtonJoystickChange(JoystickSet& model, std::int32_t button, int position);
    void StartDetection(JoystickSet& model, InputDetector::Kind kind, int row, std::int64_t nowMs, bool visible);
    std::int32_t DetectButton() const;
    void ApplyDetected(JoystickSet& model, const InputDetector::Found& found);

    const SlotStates& m_slots;
    const BlockSetUp& m_block;
    DialogView* m_view = nullptr;
    AxisPanel m_axisPanels[MainIds::kAxisRowCount];
    ScreenTexts<kTextCount> m_texts;
    InputDetector m_detector;
    int m_detectSecondsShown = -1;
};

// CTlaSetUp: tunes both thrust levers (sensitivity, offset, filter time
// constant) live in the shared block; every step is seen by the next cycle, and
// a time-constant step is handed to the filters at once.
#pragma once

#include "ui/DialogView.h"

#include <cstddef>
#include <cstdint>

class JoystickSet;

// Where the dialog edits: the block (the main window's own view) and the
// offsets of its values; each pair is a sensitivity followed by its offset.
struct ThrustLeverRefs {
    void* block = nullptr;
    std::size_t leftPair = 0; // L sensitivity, then L offset 8 bytes on
    std::size_t rightPair = 0; // R sensitivity, then R offset
    std::size_t leftTimeConstant = 0; // L filter time constant, seconds
    std::size_t rightTimeConstant = 0; // R filter time constant
    JoystickSet* joySticks = nullptr; // its filters take the new time constants
};

class CTlaSetUp : public DialogPresenter {
public:
    static constexpr std::int32_t kLeftSensitivity = 1507;
    static constexpr std::int32_t kLeftOffset = 1508;
    static constexpr std::int32_t kRightSensitivity = 1509;
    static constexpr std::int32_t kRightOffset = 1510;
    static constexpr std::int32_t kLeftTimeConstant = 1511;
    static constexpr std::int32_t kRightTimeConstant = 1517;
    static constexpr std::int32_t kLeftSensitivitySpin = 1512;
    static constexpr std::int32_t kLeftOffsetSpin = 1513;
    static constexpr std::int32_t kLeftTimeConstantSpin = 1516;
    static constexpr std::int32_t kRightSensitivitySpin = 1514;
    static constexpr std::int32_t kRightOffsetSpin = 1515;
    static constexpr std::int32_t kRightTimeConstantSpin = 1518;
    static constexpr std::int32_t kHelpText = 1096;
    static constexpr double kStep = 0.01;
    // A time constant stepped below this turns filtering off.
    static constexpr double kSmallestTimeConstant = 0.01;

    static const char* const kHelp;

    CTlaSetUp() = default;

    static const DialogTemplate& Template() { return ThrustLeverDialogTemplate(); }

    void SetRefs(const ThrustLeverRefs& refs) { m_refs = refs; }

    bool OnInitDialog() override;
    int OnSpinDelta(std::int32_t id, int delta) override;

private:
    void Refresh();

    ThrustLeverRefs m_refs;
    char m_texts[6][32] = {};
};

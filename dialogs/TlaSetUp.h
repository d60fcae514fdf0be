// CTlaSetUp: tunes both thrust levers (sensitivity, offset, filter time
// constant) live in the shared block; every step is seen by the next cycle, and
// a time-constant step is handed to the filters at once.
#pragma once

#include "mapping/SetUp.h"
#include "ui/DialogView.h"

#include <cstdint>

class JoystickSet;

// Where the dialog edits: the block (the main window's own view), and the
// joystick set whose filters take a new time constant at once.
struct ThrustLeverRefs {
    BlockSetUp block;
    JoystickSet* joySticks = nullptr;
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
    // The tuning value a spin steps, and whether it is a time constant; false for another id.
    static bool SpinValue(std::int32_t id, TuningValue& value, bool& timeConstant);
    void Refresh();

    ThrustLeverRefs m_refs;
    char m_texts[6][32] = {};
};

// Calibrations: the main window's part that owns the calibration of the
// joystick axes. It reads Calibration.ini once at start-up (what cannot be
// used is listed as notes), hands the calibration to every joystick set the
// window makes, and runs the calibration dialog, whose OK saves the file and
// puts the new calibration to use at once.
#pragma once

#include "app/MainWindowServices.h"
#include "mapping/Calibration.h"
#include "ui/DialogView.h"

#include <string>

class JoystickSet;

class Calibrations {
public:
    explicit Calibrations(MainWindowServices& window);
    Calibrations(const Calibrations&) = delete;
    Calibrations& operator=(const Calibrations&) = delete;

    void Bind(DialogView* view) { m_view = view; }

    // The first set of the run reads the file (its notes go to the set's
    // list); every set is given the calibration.
    void ApplyTo(JoystickSet& set);
    // The calibration dialog; nothing without a joystick set.
    void OnCalibrate();

    const CalibrationTable& Table() const { return m_table; }
    const std::string& Path() const { return m_path; }

private:
    MainWindowServices& m_window;
    DialogView* m_view = nullptr;
    bool m_read = false;
    std::string m_path;
    CalibrationTable m_table;
};

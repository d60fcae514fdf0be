// The main window under test: a private block (with a second attacher in the
// simulator's place), scripted joysticks, configuration files in a folder of
// the test's own, and the window driven through the recording view.
#pragma once

#include "app/TavelinDlg.h"
#include "mapping/GenericSimBlock.h"
#include "mapping/KQ_P_0001_02_Shm.h"
#include "tests/fakes/RecordingDialogView.h"
#include "tests/fakes/ScriptedDirectInput.h"
#include "ui/FramePacer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

class MainWindowTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kStickA = 0x00C2046D; // slot 0
    static constexpr std::uint32_t kStickB = 0x0404044F; // slot 1

    // The window's frames at the cycle's period: bars and lamps every
    // kFrameCycles ticks, numbers every kNumberCycles.
    static constexpr int kFrameCycles = FramePacer::FrameTicksFor(CTavelinDlg::kCyclePeriodMs);
    static constexpr int kNumberCycles = FramePacer::NumberTicksFor(CTavelinDlg::kCyclePeriodMs);

    void SetUp() override;
    void TearDown() override;

    // A complete configuration: every control on joystick ID 0 (the joystick
    // in slot 0), pitch on Y, roll on X, pedals on Rz, tiller on Z, thrust
    // levers on the sliders, eye view on POV 1, button n on the n-th control.
    static std::string Configuration(
        std::int32_t pitchInput = 1, std::uint32_t pitchJoystick = 0, double thrustTimeConstant = 0.5);
    void WriteConfiguration(int index, const std::string& text);
    std::string ReadConfiguration(int index) const;
    std::string ConfigurationPath(int index) const;

    // Opens the window (construction and initialisation).
    void Open();
    // One timer tick of the window.
    void Tick(int times = 1);
    // Enough ticks for every change to reach the window (numbers are sent at
    // most once in that many cycles).
    void TickPeriod() { Tick(kNumberCycles); }

    // The simulator's view of the block.
    void* Block() const { return m_simulator->GetBlock(); }
    double Double(std::size_t offset) const { return GenericSimBlock::LoadDouble(Block(), offset); }
    void SetDouble(std::size_t offset, double value) { GenericSimBlock::StoreDouble(Block(), offset, value); }
    std::int32_t Users() const { return GenericSimBlock::LoadUserCount(Block()); }
    std::string SetUpName() const;

    // Files found in the configuration folder before the test (Windows keeps
    // them in one fixed folder): put back afterwards.
    bool m_hadFile[4] = {};
    std::string m_savedFile[4];
    // The calibration file likewise: a test starts without one.
    bool m_hadCalibration = false;
    std::string m_savedCalibration;
    std::string CalibrationPath() const;

    std::string m_shmName;
    std::string m_configHome;
    std::unique_ptr<KQ_P_0001_02_Shm> m_simulator;
    ScriptedDirectInput m_input;
    std::unique_ptr<CTavelinDlg> m_dialog;
    std::unique_ptr<RecordingDialogView> m_view;
};

// One part of the main window on its own: the main window's template in a
// recording view behind a presenter that does nothing, a joystick set of the
// test's own on the scripted joysticks, the slot copies, the switch panel and
// the window's view of the block that the conductor would lend the part, and
// the window services it would be given. The block and the configuration
// folder are MainWindowTest's.
#pragma once

#include "app/MainWindowServices.h"
#include "app/SlotStates.h"
#include "devices/JoystickSet.h"
#include "mapping/SetUp.h"
#include "tests/app/main_window_fixture.h"

#include <memory>

class WindowPartTest : public MainWindowTest, protected MainWindowServices {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        m_windowBlock = BlockSetUp(Block());
        m_partView = std::make_unique<RecordingDialogView>(MainDialogTemplate(), m_blank);
        m_partView->Open();
    }
    void TearDown() override
    {
        for (std::int32_t id : m_partView->unknownIds) {
            ADD_FAILURE() << "the window has no control " << id;
        }
        m_set.reset();
        m_partView.reset();
        MainWindowTest::TearDown();
    }

    // A joystick set that has read configuration `index` and taken the
    // scripted joysticks, after one cycle; the slot copies follow it.
    void StartSet(int index = 0)
    {
        m_set = std::make_unique<JoystickSet>();
        ASSERT_TRUE(m_set->Initialise(ConfigurationPath(index).c_str())) << m_set->GetLastErrorText();
        m_set->SetSwitchPanel(&m_panel);
        m_set->CreateDevices(nullptr, nullptr);
        Cycle();
    }
    void Cycle()
    {
        m_set->PollAll(0.01);
        m_slots.Copy(*m_set, m_set->GetJoystickCount());
    }

    RecordingDialogView& View() { return *m_partView; }
    const RecordedControl& Shown(std::int32_t id) const { return m_partView->Control(id); }

    // MainWindowServices.
    int RunChild(const DialogTemplate& dialogTemplate, DialogPresenter& presenter) override
    {
        ++m_childrenRun;
        return m_partView->RunModalChild(dialogTemplate, presenter);
    }
    bool Closing() const override { return m_closing; }
    JoystickSet* JoySticks() const override { return m_set.get(); }

    struct Blank : DialogPresenter { };
    Blank m_blank;
    std::unique_ptr<RecordingDialogView> m_partView;
    std::unique_ptr<JoystickSet> m_set;
    BlockSetUp m_windowBlock;
    SlotStates m_slots;
    SwitchPanelState m_panel {};
    bool m_closing = false;
    int m_childrenRun = 0;
};

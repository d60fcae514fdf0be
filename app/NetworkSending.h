// NetworkSending: the main window's network link to a simulator on another
// computer. It reads Network.ini from the configuration folder, lays the
// command line's options over it, starts the link when it is on, hands the
// link every tick's block right after the tick wrote it (the link sends it in
// that same tick and writes the simulator flags that came back into the
// block, both bytes of each pair, only while it runs), lists the link's notes,
// shows its state beside the "Network..." button and runs that button's
// dialog, which saves Network.ini and starts the link again. The link is
// stopped on every way out (a released stick goes first).
//
// Starting and stopping a link means name lookups and the engine's own
// set-up, which may take long: they run on a thread of their own, and the
// tick goes on publishing meanwhile; the next tick after they are done takes
// the new link up (and tells in a box when it could not start).
#pragma once

#include "app/MainWindowServices.h"
#include "net/NetworkLink.h"
#include "net/NetworkSettings.h"
#include "ui/DialogView.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

class JoystickSet;

class NetworkSending {
public:
    static constexpr int kStateLength = 64;
    static constexpr const char* kNotInBuild = "not in this build";

    explicit NetworkSending(MainWindowServices& window);
    ~NetworkSending();
    NetworkSending(const NetworkSending&) = delete;
    NetworkSending& operator=(const NetworkSending&) = delete;

    void Bind(DialogView* view) { m_view = view; }

    // Before the window starts: the command line's options, and the engine
    // the link is to use (null: the one this build has).
    void Configure(const NetworkOverrides& overrides, NetworkLink::TransportFactory factory);

    // Start-up: Network.ini, the options, and the link when on. A file that
    // cannot be read or used is told in a box at once, a link that cannot
    // start once Poll learns it; the link stays off then, and the block is
    // never touched for it.
    void Start();
    // Every tick, after the cycle: takes up a link that finished starting.
    void Poll() { FinishSwitch(false, true); }
    // Every tick, right after the block was written: no allocation, no wait.
    void OnTickPublished(void* block)
    {
        if (m_link != nullptr) {
            m_link->OnTickPublished(block);
        }
    }
    // Every tick: the link's notes go to the set's list (and so to standard error).
    void TakeNotes(JoystickSet* set);
    // A frame with the numbers: the state text, when it changed.
    void RefreshState();
    // The "Network..." button.
    void OnNetworkButton();
    // Every way out: the link sends a released stick and ends.
    void Stop();

    const NetworkSettings& Settings() const { return m_settings; }
    // A start or stop is under way, and whether it is done (Poll takes it up).
    bool Switching() const { return m_switch != nullptr; }
    bool SwitchDone() const { return m_switch != nullptr && m_switch->done.load(std::memory_order_acquire); }
    bool Running() const { return m_link != nullptr && m_link->Running(); }
    LinkState State() const { return m_link != nullptr ? m_link->State() : LinkState {}; }
    const char* StateText() const { return m_stateText; }
    // Network.ini in the configuration folder.
    static std::string FilePath();

private:
    // The link in use handed to a thread that stops it, and a new one started there.
    struct Switch {
        std::thread worker;
        std::atomic<bool> done { false };
        std::unique_ptr<NetworkLink> retiring;
        std::unique_ptr<NetworkLink> starting;
        bool started = false;
        std::string error;
    };

    // Stops the link and starts one with `settings`, off the tick's thread.
    void Restart(const NetworkSettings& settings);
    // Takes up a finished switch (waiting for it when `wait`); a link that
    // could not start is told in a box when `tell`, else on standard error.
    void FinishSwitch(bool wait, bool tell);
    void ShowBox(const char* text) const;

    MainWindowServices& m_window;
    DialogView* m_view = nullptr;
    NetworkOverrides m_overrides;
    NetworkLink::TransportFactory m_factory;
    std::unique_ptr<NetworkLink> m_link;
    std::unique_ptr<Switch> m_switch;
    NetworkSettings m_settings;
    char m_stateText[kStateLength] = {};
    char m_shownState[kStateLength] = {};
    bool m_stateShown = false;
    char m_note[NetworkLink::kNoteLength] = {};
};

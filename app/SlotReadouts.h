// SlotReadouts: the four slot columns on the left of the main window. One
// readout line per value of a slot's reading, from one table (label, value,
// tooltip, how far it moves): made at start-up, enabled for the attached
// slots, refreshed at the numbers' pace and highlighted while they move. Also
// the device names above the columns and the columns' headers (name, lost
// mark).
#pragma once

#include "app/MovementWindow.h"
#include "app/ScreenTexts.h"
#include "app/SlotStates.h"
#include "ui/DialogView.h"

#include <cstdint>

class JoystickSet;

// Where a readout line's value comes from in a slot's reading.
enum class ReadoutSource : std::uint8_t {
    JoystickId,
    Axis, // axes[index]
    Pov, // pov[index]
    ButtonCount,
    FirstButton, // the lowest button held (SlotStates)
    Velocity, // velocities[index]
    Acceleration, // accelerations[index]
};

struct ReadoutLine {
    const char* label;
    ReadoutSource source;
    int index;
    const char* tip;
};

class SlotReadouts {
public:
    static constexpr int kLines = 30;
    static const ReadoutLine kReadoutLines[kLines];

    explicit SlotReadouts(const SlotStates& slots);
    SlotReadouts(const SlotReadouts&) = delete;
    SlotReadouts& operator=(const SlotReadouts&) = delete;

    void Bind(DialogView* view) { m_view = view; }

    // Makes the 30 lines of a slot 0..3, all disabled and showing "----".
    void Create(int slot);
    // Enables the value boxes of slots 0..attached-1 and disables the others.
    void Enable(int attached);
    // The values of slots 0..attached-1 that changed, and their highlight.
    void Refresh(int attached, std::int64_t nowMs);

    // The device names above the columns; with `markLost` a lost slot's
    // name carries " (lost)".
    void ShowDeviceNames(const JoystickSet& set, bool markLost);
    // The columns' headers: "JoyStick n", with the device's name while one is
    // attached and a lost mark (highlighted) while it is gone. Only what
    // changed since the last call, unless HeadersChanged was called.
    void ShowHeaders(const JoystickSet& set);
    void HeadersChanged() { m_headersShown = false; }

    void SendTexts();

private:
    struct Item {
        char sent[16] = {};
        // The raw value behind `sent`: an unchanged value is not formatted again.
        std::uint32_t sentValue = 0;
        bool sentValid = false;
        bool created = false;
        MovementWindow movement;
        bool highlighted = false;
    };

    std::uint32_t RawValue(int slot, int line) const;
    void RefreshValue(int slot, int line);
    void RefreshHighlight(int slot, int line, std::int64_t nowMs);

    const SlotStates& m_slots;
    DialogView* m_view = nullptr;
    Item m_items[kJoystickSlots][kLines];
    ScreenTexts<kJoystickSlots> m_names;
    bool m_lostShown[kJoystickSlots] = {};
    bool m_headersShown = false;
};

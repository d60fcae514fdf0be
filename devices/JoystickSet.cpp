// The joystick set: enumeration into four slots, the per-tick poll that feeds
// the processing, and the program's last-error text.
#include "devices/JoystickSet.h"

#include "devices/DirectInput.h"
#include "devices/JoystickDevice.h"
#include "support/TextFunctions.h"

#include <cstring>

namespace {

// One text for the whole program, not one per set: a set that is replaced
// after a failure must not take the reason with it.
char g_lastErrorText[1024] = {};

const char* FailureDetail(const IDirectInputA* directInput)
{
    const char* detail = directInput != nullptr ? directInput->GetFailureDetail() : nullptr;
    return detail != nullptr ? detail : "";
}

constexpr const char* kNoJoysticks = "There appears to be no joysticks attached";

} // namespace

struct JoystickSetEnumeration {
    JoystickSet* set;
    std::int32_t counter;

    static int Callback(const DIDEVICEINSTANCEA* instance, void* reference)
    {
        auto* enumeration = static_cast<JoystickSetEnumeration*>(reference);
        if (instance != nullptr) {
            enumeration->set->AddDevice(enumeration->counter, instance);
            ++enumeration->counter;
        }
        return DIENUM_CONTINUE;
    }
};

JoystickSet::JoystickSet()
{
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        m_stateTable[slot] = &m_states[slot];
    }
}

JoystickSet::~JoystickSet()
{
    ReleaseDevices();
}

// The text, followed by what the backend knows beyond a result code.
void JoystickSet::SetLastError(const char* text, const char* detail)
{
    if (detail[0] == '\0') {
        CopyBounded(g_lastErrorText, text, static_cast<int>(sizeof(g_lastErrorText)));
    } else {
        FormatBounded(g_lastErrorText, static_cast<int>(sizeof(g_lastErrorText)), "%s\n%s", text, detail);
    }
    m_ownTextAtLastError = FullErrorText();
}

void JoystickSet::ReleaseDevices()
{
    for (std::unique_ptr<JoystickDevice>& device : m_slots) {
        device.reset();
    }
    if (m_directInput != nullptr) {
        try {
            m_directInput->Release();
        } catch (...) {
        }
        m_directInput = nullptr;
    }
}

bool JoystickSet::Initialise(const char* path)
{
    if (!Attach()) {
        SetLastError(FullErrorText().c_str());
        return false;
    }
    if (!ReadConfigurationFile(path)) {
        SetLastError(FullErrorText().c_str());
        return false;
    }
    return true;
}

bool JoystickSet::CreateDevices(void* window, void* instance)
{
    // Enumeration runs once per set; a second call starts from empty slots.
    ReleaseDevices();
    for (JoystickState& state : m_states) {
        state = JoystickState {};
    }
    m_joystickCount = 0;
    m_window = window;
    m_instance = instance;

    HRESULT result = DirectInputCreateA(m_instance, DIRECTINPUT_VERSION_5, &m_directInput, nullptr);
    if (FAILED(result)) {
        m_directInput = nullptr;
        SetLastError(JoystickDevice::ResultText(result));
        return false;
    }
    JoystickSetEnumeration enumeration { this, 0 };
    result = m_directInput->EnumDevices(
        DIDEVTYPE_JOYSTICK, &JoystickSetEnumeration::Callback, &enumeration, DIEDFL_ATTACHEDONLY);
    if (FAILED(result)) {
        m_joystickCount = enumeration.counter;
        SetLastError(JoystickDevice::ResultText(result), FailureDetail(m_directInput));
        return false;
    }
    m_joystickCount = enumeration.counter;
    if (enumeration.counter < 1) {
        SetLastError(kNoJoysticks, FailureDetail(m_directInput));
        return false;
    }
    return true;
}

void JoystickSet::AddDevice(int slot, const void* deviceInstance)
{
    if (slot < 0 || slot >= kJoystickSlots) {
        return;
    }
    auto device = std::make_unique<JoystickDevice>(m_instance);
    device->SetWindow(m_window);
    // A joystick whose set-up failed keeps its slot: it shows as one that does not move.
    device->Open(*static_cast<const DIDEVICEINSTANCEA*>(deviceInstance));
    if (slot == 0) {
        SetSlotZeroJoystickId(device->GetJoystickId());
    }
    m_slots[slot] = std::move(device);
}

void JoystickSet::PollAll(double period)
{
    if (m_joystickCount < 1) {
        return;
    }
    std::int32_t counted = 0;
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        if (!m_slots[slot]) {
            continue;
        }
        m_slots[slot]->Poll();
        m_slots[slot]->GetState(m_states[slot]);
        ++counted;
    }
    SetCounts(counted, kInputCount);
    ProcessCycle(period, m_stateTable, counted - 1);
}

bool JoystickSet::GetSlotState(int slot, JoystickState& out) const
{
    if (slot < 0 || slot >= kJoystickSlots || !m_slots[slot]) {
        return false;
    }
    out = m_states[slot];
    return true;
}

const char* JoystickSet::GetDeviceName(int slot) const
{
    if (slot < 0 || slot >= kJoystickSlots) {
        return "Out Of Range";
    }
    if (!m_slots[slot]) {
        return "No Device";
    }
    return m_slots[slot]->GetName();
}

std::int32_t JoystickSet::GetButtonCount(int slot) const
{
    if (slot < 0 || slot >= kJoystickSlots || !m_slots[slot]) {
        return 0;
    }
    return m_slots[slot]->GetButtonCount();
}

void JoystickSet::PublishSlotNames()
{
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        char name[256];
        // Copied as text, never used as a format: device names come from drivers.
        CopyBounded(
            name, m_slots[slot] ? m_slots[slot]->GetName() : "No Joy Stick Attached", static_cast<int>(sizeof(name)));
        SetSlotName(name, slot);
    }
}

void JoystickSet::RunControlPanel()
{
    if (m_directInput != nullptr) {
        m_directInput->RunControlPanel(m_window, 0);
    }
}

const char* JoystickSet::GetLastErrorText() const
{
    if (g_lastErrorText[0] != '\0' && FullErrorText() == m_ownTextAtLastError) {
        return g_lastErrorText;
    }
    return GetErrorText();
}

void JoystickSet::ClearLastErrorText()
{
    g_lastErrorText[0] = '\0';
}

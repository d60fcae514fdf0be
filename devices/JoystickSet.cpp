// The joystick set: enumeration into four slots, enumeration again when
// joysticks come or go, the per-tick poll that feeds the processing, and the
// program's last-error text.
#include "devices/JoystickSet.h"

#include "devices/DirectInput.h"
#include "devices/InstanceKeys.h"
#include "devices/JoystickDevice.h"
#include "mapping/Assignments.h"
#include "mapping/GenericSimBlock.h"
#include "support/TextFunctions.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

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

// The block offset of resolved record i: the axis control values first
// (those without a record give 0), then the buttons. Asked of the assignment
// model, so no list of axes is kept here.
constexpr int kAxisControlValues = 16;
static_assert(kAxisControlValues + kCockpitButtonCount == JoystickSet::kResolvedRecords);

std::size_t ResolvedRecord(int index)
{
    return index < kAxisControlValues
        ? AxisRecordOffset(index)
        : GenericSimBlock::ButtonRecord(static_cast<std::size_t>(index - kAxisControlValues));
}

int CollectRecord(const DIDEVICEINSTANCEA* instance, void* reference)
{
    if (instance != nullptr) {
        static_cast<std::vector<DIDEVICEINSTANCEA>*>(reference)->push_back(*instance);
    }
    return DIENUM_CONTINUE;
}

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
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        m_calibrated[slot] = false;
        m_taken[slot] = false;
    }
    if (m_directInput != nullptr) {
        try {
            m_directInput->Release();
        } catch (...) {
        }
        m_directInput = nullptr;
    }
    PublishSlotIdentities();
    // Without devices nothing is polled or published: leave no deflection behind.
    ReleaseControls();
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

JoystickSet::Replacement JoystickSet::ReadOrKeep(
    const char* path, std::int32_t index, const char* name, const BlockSetUp& inUse)
{
    // A failed load leaves a part of the other file behind, and the new
    // set's attachment writes default tuning values: what was in use is put
    // back whole then.
    const SetUpValues kept = inUse.Take();
    inUse.SetConfigurationIndex(index);
    inUse.SetConfigurationName(name);
    Replacement replacement;
    replacement.setUpName = inUse.ConfigurationName();
    auto set = std::make_unique<JoystickSet>();
    if (!set->Initialise(path)) {
        replacement.reason = set->GetLastErrorText();
        set.reset();
        inUse.PutBack(kept);
        return replacement;
    }
    replacement.set = std::move(set);
    return replacement;
}

bool JoystickSet::InitialiseAtStartUp(const char* path, bool defaultSetUp)
{
    if (!Attach()) {
        WaitForBlock();
    }
    if (!(defaultSetUp ? ReadDefaultConfiguration(path) : ReadConfigurationFile(path))) {
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
    for (bool& lost : m_lost) {
        lost = false;
    }
    m_devicesChanged = false;
    ++m_slotChanges;
    m_joystickCount = 0;
    m_foundNone = false;
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
    TakeInstanceKeys();
    if (enumeration.counter < 1) {
        m_foundNone = true;
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
    FindSlotCalibration(slot);
}

void JoystickSet::FindSlotCalibration(int slot)
{
    // One of identical joysticks takes the entry of its own instance where
    // there is one; every other joystick the entry of its ID.
    const JoystickCalibration* entry = m_slots[slot]
        ? m_calibration.Find(static_cast<std::int32_t>(m_slots[slot]->GetJoystickId()),
            IsOneOfIdenticalJoysticks(slot) ? std::string(GetInstanceKey(slot)) : std::string())
        : nullptr;
    m_calibrated[slot] = entry != nullptr && entry->Calibrates();
    m_slotCalibration[slot] = m_calibrated[slot] ? PreparedCalibration(*entry) : PreparedCalibration();
}

void JoystickSet::TakeState(int slot)
{
    JoystickState& state = m_states[slot];
    m_slots[slot]->GetState(state);
    std::copy(std::begin(state.axes), std::end(state.axes), std::begin(m_rawAxes[slot]));
    m_taken[slot] = true;
    if (m_calibrated[slot]) {
        m_slotCalibration[slot].Apply(state);
    }
}

void JoystickSet::SetCalibration(const CalibrationTable& table)
{
    m_calibration = table;
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        FindSlotCalibration(slot);
        // A slot not polled yet keeps its empty record.
        if (m_taken[slot]) {
            JoystickState& state = m_states[slot];
            std::copy(std::begin(m_rawAxes[slot]), std::end(m_rawAxes[slot]), std::begin(state.axes));
            if (m_calibrated[slot]) {
                m_slotCalibration[slot].Apply(state);
            }
        }
    }
}

bool JoystickSet::GetRawAxes(int slot, std::int32_t (&out)[kCalibratedAxes]) const
{
    if (slot < 0 || slot >= kJoystickSlots || !m_slots[slot]) {
        return false;
    }
    std::copy(std::begin(m_rawAxes[slot]), std::end(m_rawAxes[slot]), std::begin(out));
    return true;
}

void JoystickSet::Rescan()
{
    std::vector<DIDEVICEINSTANCEA> found;
    found.reserve(kJoystickSlots);
    if (FAILED(m_directInput->EnumDevices(DIDEVTYPE_JOYSTICK, &CollectRecord, &found, DIEDFL_ATTACHEDONLY))) {
        return; // nothing learnt: every joystick stays where it is
    }
    // The same device is where it was; a serial shared since may have changed its key.
    TakeInstanceKeys();
    bool claimed[kJoystickSlots] = {};
    std::vector<const DIDEVICEINSTANCEA*> arrived;
    for (const DIDEVICEINSTANCEA& record : found) {
        bool known = false;
        for (int slot = 0; slot < kJoystickSlots && !known; ++slot) {
            if (m_slots[slot] && !claimed[slot] && m_slots[slot]->GetInstanceGuid() == record.guidInstance) {
                claimed[slot] = true;
                known = true;
            }
        }
        if (!known) {
            arrived.push_back(&record);
        }
    }
    bool changed = false;
    std::int32_t unplaced = 0;
    for (const DIDEVICEINSTANCEA* record : arrived) {
        // A joystick back under another instance GUID (another node, another
        // port) takes the slot its own serial or port left, else one that
        // its ID left; anything else the next free slot, as the first
        // enumeration would have given it.
        const char* key = m_directInput->GetInstanceKey(record->guidInstance);
        int chosen = -1;
        for (int pass = key[0] != '\0' ? 0 : 1; pass < 2 && chosen < 0; ++pass) {
            for (int slot = 0; slot < kJoystickSlots && chosen < 0; ++slot) {
                if (m_slots[slot] && !claimed[slot] && m_slots[slot]->GetJoystickId() == record->guidProduct.Data1
                    && (pass == 1 || std::strcmp(m_slots[slot]->GetInstanceKey(), key) == 0)) {
                    chosen = slot;
                }
            }
        }
        for (int slot = 0; slot < kJoystickSlots && chosen < 0; ++slot) {
            if (!m_slots[slot]) {
                chosen = slot;
            }
        }
        if (chosen < 0) {
            ++unplaced; // counted, as a fifth joystick is
            continue;
        }
        claimed[chosen] = true;
        AddDevice(chosen, record);
        m_slots[chosen]->SetInstanceKey(key);
        if (m_lost[chosen]) {
            m_lost[chosen] = false;
            NoteReturn(chosen);
        }
        changed = true;
    }
    std::int32_t count = unplaced;
    for (const std::unique_ptr<JoystickDevice>& device : m_slots) {
        count += device ? 1 : 0;
    }
    changed = changed || count != m_joystickCount;
    m_joystickCount = count;
    PublishSlotIdentities();
    if (changed) {
        PublishSlotNames();
        ++m_slotChanges;
    }
}

void JoystickSet::TakeInstanceKeys()
{
    for (const std::unique_ptr<JoystickDevice>& device : m_slots) {
        if (device && m_directInput != nullptr) {
            const char* key = m_directInput->GetInstanceKey(device->GetInstanceGuid());
            // A device the enumeration did not list (it is lost) keeps its key.
            if (key[0] != '\0') {
                device->SetInstanceKey(key);
            }
        }
    }
    PublishSlotIdentities();
}

void JoystickSet::PublishSlotIdentities()
{
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        const JoystickDevice* device = m_slots[slot].get();
        SetSlotIdentity(slot, device != nullptr, device != nullptr ? device->GetJoystickId() : 0,
            device != nullptr ? device->GetInstanceKey() : "");
    }
    // A twin arriving or leaving decides whether a joystick's own instance picks its calibration.
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        FindSlotCalibration(slot);
    }
}

const char* JoystickSet::GetInstanceKey(int slot) const
{
    return slot >= 0 && slot < kJoystickSlots && m_slots[slot] ? m_slots[slot]->GetInstanceKey() : "";
}

bool JoystickSet::IsOneOfIdenticalJoysticks(int slot) const
{
    return SlotHasTwin(slot) && GetInstanceKey(slot)[0] != '\0';
}

std::string JoystickSet::GetDisplayName(int slot) const
{
    std::string name = GetDeviceName(slot);
    if (IsOneOfIdenticalJoysticks(slot)) {
        name += " (" + InstanceKeyForDisplay(GetInstanceKey(slot)) + ")";
    }
    return name;
}

void JoystickSet::NoteLoss(int slot)
{
    char text[kWarningLength];
    FormatBounded(text, static_cast<int>(sizeof(text)),
        "JoyStick in slot %d (%s) is lost: it keeps its slot and its last reading until it is plugged in again", slot,
        m_slots[slot]->GetName());
    // Tavelin's own news: the choice dialog must not read it as a joystick ID without a match.
    AddNote(text, NoteKind::Stays);
}

void JoystickSet::NoteReturn(int slot)
{
    char text[kWarningLength];
    FormatBounded(
        text, static_cast<int>(sizeof(text)), "JoyStick in slot %d (%s) is back", slot, m_slots[slot]->GetName());
    AddNote(text, NoteKind::Stays);
}

void JoystickSet::TakeBackendNotes()
{
    char text[kWarningLength];
    while (m_directInput->TakeNote(text, sizeof text)) {
        AddNote(text, NoteKind::Stays);
    }
}

void JoystickSet::PollAll(double period)
{
    KeepBlock();
    if (m_directInput != nullptr) {
        // The backend's own watch is read every tick, so that it never holds old news.
        const bool changed = m_directInput->DevicesChanged();
        if (changed || m_devicesChanged) {
            m_devicesChanged = false;
            Rescan();
        }
        TakeBackendNotes();
    }
    if (m_joystickCount < 1) {
        return;
    }
    std::int32_t counted = 0;
    for (int slot = 0; slot < kJoystickSlots; ++slot) {
        if (!m_slots[slot]) {
            continue;
        }
        m_slots[slot]->Poll();
        TakeState(slot);
        const bool lost = m_slots[slot]->IsLost();
        if (lost != m_lost[slot]) {
            m_lost[slot] = lost;
            ++m_slotChanges;
            if (lost) {
                NoteLoss(slot);
            } else {
                NoteReturn(slot);
            }
        }
        ++counted;
    }
    SetCounts(counted, kInputCount);
    // The processing resolves on its first cycle and whenever the count changed.
    void* block = GetBlock();
    const bool resolving = block != nullptr && (GetCycleCount() == 0 || counted - 1 != m_lastTopIndex);
    std::int32_t before[kResolvedRecords] = {};
    if (resolving) {
        GiveBackConfiguredIds(counted);
        for (int i = 0; i < kResolvedRecords; ++i) {
            const std::size_t record = ResolvedRecord(i);
            before[i]
                = record != 0 ? GenericSimBlock::LoadInt32(block, record + GenericSimBlock::kRecordJoystickId) : 0;
        }
    }
    ProcessCycle(period, m_stateTable, counted - 1);
    if (resolving) {
        NoteSubstitutions(before);
    }
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

void JoystickSet::GiveBackConfiguredIds(std::int32_t attached)
{
    void* block = GetBlock();
    for (int i = 0; i < kResolvedRecords; ++i) {
        Substitution& substitution = m_substitutions[i];
        if (!substitution.active) {
            continue;
        }
        // A first cycle follows a configuration read: what it wrote is what counts.
        const std::size_t field = ResolvedRecord(i) + GenericSimBlock::kRecordJoystickId;
        if (GetCycleCount() == 0 || GenericSimBlock::LoadInt32(block, field) != substitution.substitute) {
            substitution.active = false; // changed since: the user's choice stands
            continue;
        }
        for (int slot = 0; slot < attached && slot < kJoystickSlots; ++slot) {
            if (m_states[slot].joystickId == static_cast<std::uint32_t>(substitution.configured)) {
                GenericSimBlock::StoreInt32(block, field, substitution.configured);
                substitution.active = false;
                break;
            }
        }
    }
}

void JoystickSet::NoteSubstitutions(const std::int32_t (&before)[kResolvedRecords])
{
    void* block = GetBlock();
    for (int i = 0; i < kResolvedRecords; ++i) {
        const std::size_t record = ResolvedRecord(i);
        if (record == 0) {
            continue;
        }
        const std::int32_t after = GenericSimBlock::LoadInt32(block, record + GenericSimBlock::kRecordJoystickId);
        // An ID of 0 named no joystick: nothing to give back.
        if (after != before[i] && before[i] != 0) {
            m_substitutions[i] = { true, before[i], after };
        }
    }
}

bool JoystickSet::IsSlotLost(int slot) const
{
    return slot >= 0 && slot < kJoystickSlots && m_slots[slot] && m_lost[slot];
}

const char* JoystickSet::RunControlPanel()
{
    if (m_directInput == nullptr) {
        return "";
    }
    const HRESULT result = m_directInput->RunControlPanel(m_window, 0);
    return FAILED(result) ? FailureDetail(m_directInput) : "";
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
